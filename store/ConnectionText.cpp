#include "ConnectionText.h"

#include <QStringList>

namespace store {

namespace {
const QString DriverTail = QStringLiteral(
    ";Driver={Microsoft Access Driver (*.mdb)};DriverId=281;FIL=MS Access;MaxBufferSize=2048;"
    "MaxScanRows=8;PageTimeout=50;PWD=");
const QString SessionTail =
    QStringLiteral(";SafeTransactions=0;Threads=3;UID=admin;UserCommitSync=Yes;");
} // namespace

QString dataConnectionText(const QString& file, const QString& password) {
    return QStringLiteral("SHAPE Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=True;"
                          "User ID=admin;Extended Properties=;DBQ=") +
           file + DriverTail + password + SessionTail;
}

QString reportConnectionText(const QString& file, const QString& password) {
    return QStringLiteral("SHAPE Provider=MSDASQL;Password=") + password +
           QStringLiteral(";Persist Security Info=True;User ID=admin;Extended Properties=;DBQ=") +
           file + DriverTail + password + SessionTail;
}

QString compactionSourceText(const QString& file, const QString& password) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;") + QStringLiteral("Data Source=") +
           file + QStringLiteral(";Jet OLEDB:Database Password=") + password;
}

QString compactionTargetText(const QString& file, const QString& password) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;") + QStringLiteral("Data Source=") +
           file + QStringLiteral(";Jet OLEDB:Engine Type=5") +
           QStringLiteral(";Jet OLEDB:Database Password=") + password;
}

namespace {

// Every key the program's connection texts hold. The texts are plain concatenations, so a file
// path with a semicolon in it ("Spring; Autumn.twl") is split there: what follows a file's
// value up to the next known key is part of the path.
bool isConnectionKey(const QString& key) {
    static const QStringList keys = {QStringLiteral("provider"),
                                     QStringLiteral("persist security info"),
                                     QStringLiteral("user id"),
                                     QStringLiteral("extended properties"),
                                     QStringLiteral("dbq"),
                                     QStringLiteral("data source"),
                                     QStringLiteral("driver"),
                                     QStringLiteral("driverid"),
                                     QStringLiteral("fil"),
                                     QStringLiteral("maxbuffersize"),
                                     QStringLiteral("maxscanrows"),
                                     QStringLiteral("pagetimeout"),
                                     QStringLiteral("pwd"),
                                     QStringLiteral("password"),
                                     QStringLiteral("safetransactions"),
                                     QStringLiteral("threads"),
                                     QStringLiteral("uid"),
                                     QStringLiteral("usercommitsync"),
                                     QStringLiteral("jet oledb:database password"),
                                     QStringLiteral("jet oledb:engine type")};
    return keys.contains(key);
}

QString keyOf(const QString& part) {
    const qsizetype eq = part.indexOf(QLatin1Char('='));
    if (eq < 0)
        return {};
    QString key = part.left(eq).trimmed().toLower();
    // The data-shaping prefix rides on the first key: "SHAPE Provider=...".
    if (key.startsWith(QLatin1String("shape ")))
        key = key.mid(6).trimmed();
    return key;
}

} // namespace

ConnectionTarget parseConnectionText(const QString& text) {
    ConnectionTarget target;
    bool fileFromDbq = false;
    bool passwordFromPwd = false;
    const QStringList parts = text.split(QLatin1Char(';'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        const QString key = keyOf(part);
        if (key.isEmpty())
            continue;
        QString value = part.mid(part.indexOf(QLatin1Char('=')) + 1);
        if (key == QLatin1String("dbq") || key == QLatin1String("data source")) {
            while (i + 1 < parts.size() && !isConnectionKey(keyOf(parts[i + 1])) &&
                   !(i + 2 == parts.size() && parts[i + 1].isEmpty()))
                value += QLatin1Char(';') + parts[++i];
        }
        if (key == QLatin1String("dbq")) {
            target.file = value;
            fileFromDbq = true;
        } else if (key == QLatin1String("data source") && !fileFromDbq) {
            target.file = value;
        } else if (key == QLatin1String("pwd")) {
            target.password = value;
            passwordFromPwd = true;
        } else if ((key == QLatin1String("password") ||
                    key == QLatin1String("jet oledb:database password")) &&
                   !passwordFromPwd) {
            target.password = value;
        }
    }
    return target;
}

} // namespace store
