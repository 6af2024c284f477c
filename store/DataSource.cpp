#include "DataSource.h"

#include "Connection.h"
#include "ConnectionText.h"
#include "StoreError.h"

#include <QRegularExpression>

namespace store {

void DataSource::refresh() {
    m_recordSet.close();
    m_recordSet.open(m_recordSource, m_connectionText);
    emit refreshed();
}

void DataSource::closeRecordSet() { m_recordSet.close(); }

bool loadThroughDataSource(DataSource& source, const QString& connectionText,
                           const QString& query) {
    source.setConnectionText(connectionText);
    source.setRecordSource(query);
    try {
        source.refresh();
        source.recordSet().moveFirst();
        return true;
    } catch (const StoreError&) {
        return false;
    }
}

void clearWorkTable(const QString& showPath, const QString& password, const QString& table) {
    static const QRegularExpression plainName(QStringLiteral("^\\w+$"));
    if (!plainName.match(table).hasMatch())
        throw StoreError(StoreError::Code::Sql,
                         QStringLiteral("\"%1\" is not a work table name.").arg(table));
    execute(reportConnectionText(showPath, password), QStringLiteral("DELETE from ") + table);
}

} // namespace store
