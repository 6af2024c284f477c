#include "MainDataSources.h"

namespace twl {

MainDataSources::MainDataSources(QObject* parent) : QObject(parent) {
    priAdo.setObjectName(QStringLiteral("PriAdo"));
    secAdo.setObjectName(QStringLiteral("SecAdo"));
    adoTmp.setObjectName(QStringLiteral("AdoTmp"));
}

void MainDataSources::pointAt(const QString& connectionText, const QString& secondarySource) {
    for (store::DataSource* source : {&priAdo, &secAdo, &adoTmp})
        source->setConnectionText(connectionText);
    priAdo.setRecordSource(QStringLiteral("SELECT * FROM Entries_tbl"));
    secAdo.setRecordSource(secondarySource);
    adoTmp.setRecordSource(QStringLiteral("SELECT * FROM Class_tbl"));
}

} // namespace twl
