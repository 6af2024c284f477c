// twl_makedata show|organisation SCHEMA.sql OUTPUT [--replace]
// Builds a data file from its schema. The template is rebuilt each time; an organisation file
// that exists already is left alone, because it holds the user's members, unless --replace is
// given (for the pristine copies the tests start from).

#include "DataPassword.h"
#include "store/DataFiles.h"
#include "store/StoreError.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    const bool replace = args.size() == 5 && args[4] == QLatin1String("--replace");
    if ((args.size() != 4 && !replace) ||
        (args[1] != QLatin1String("show") && args[1] != QLatin1String("organisation"))) {
        err << "usage: twl_makedata show|organisation SCHEMA.sql OUTPUT [--replace]\n";
        return 2;
    }
    QFile schema(args[2]);
    if (!schema.open(QIODevice::ReadOnly | QIODevice::Text)) {
        err << "cannot read " << args[2] << "\n";
        return 1;
    }
    const QString sql = QString::fromUtf8(schema.readAll());
    try {
        if (args[1] == QLatin1String("show"))
            store::createShowTemplate(args[3], dataFilePassword(), sql, QDate::currentDate(), true);
        else
            store::createOrganisationFile(args[3], dataFilePassword(), sql, replace);
    } catch (const store::StoreError& error) {
        err << args[3] << ": " << error.message() << "\n";
        return 1;
    }
    return 0;
}
