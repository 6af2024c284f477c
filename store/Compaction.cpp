#include "Compaction.h"

#include "Connection.h"
#include "ConnectionText.h"
#include "StoreError.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <sqlite3.h>

namespace store {

namespace {

using Code = StoreError::Code;

int countSchemaObjects(Connection& connection) {
    Statement statement = connection.prepare(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name NOT LIKE 'sqlite_%'"));
    statement.step();
    return int(statement.columnInt64(0));
}

void exportInto(Connection& source, const QString& target, const QString& password) {
    Statement attach = source.prepare(QStringLiteral("ATTACH DATABASE ? AS compacted KEY ?"));
    attach.bind(1, Value(target));
    attach.bind(2, Value(password));
    attach.step();
    try {
        source.execute(QStringLiteral("SELECT sqlcipher_export('compacted')"));
        // The schema revision travels with the file.
        Statement version = source.prepare(QStringLiteral("PRAGMA main.user_version"));
        version.step();
        source.execute(
            QStringLiteral("PRAGMA compacted.user_version = %1").arg(version.columnInt64(0)));
    } catch (...) {
        source.execute(QStringLiteral("DETACH DATABASE compacted"));
        throw;
    }
    source.execute(QStringLiteral("DETACH DATABASE compacted"));
}

} // namespace

void compactDatabase(const QString& sourceText, const QString& targetText) {
    const ConnectionTarget from = parseConnectionText(sourceText);
    const ConnectionTarget to = parseConnectionText(targetText);
    if (QFileInfo::exists(to.file))
        throw StoreError(Code::Sql,
                         QStringLiteral("The compacted file \"%1\" already exists.").arg(to.file));
    if (!QFileInfo::exists(from.file))
        throw StoreError(Code::FileMissing,
                         QStringLiteral("The database file \"%1\" does not exist.").arg(from.file));
    try {
        int objects = 0;
        {
            // Attaching a new file needs a connection that may create files.
            Connection source(from.file, from.password, Connection::Mode::Create);
            objects = countSchemaObjects(source);
            exportInto(source, to.file, to.password);
        }
        Connection check(to.file, to.password);
        if (objects == 0 || countSchemaObjects(check) != objects)
            throw StoreError(
                Code::NotADatabase,
                QStringLiteral("The compacted copy of \"%1\" is incomplete.").arg(from.file));
    } catch (...) {
        QFile::remove(to.file);
        throw;
    }
}

QString compactionBackupName(const QString& file, int number) {
    const qsizetype slash =
        std::max(file.lastIndexOf(QLatin1Char('/')), file.lastIndexOf(QLatin1Char('\\')));
    const QString folder = file.left(slash + 1);
    const QString name = file.mid(slash + 1);
    return folder + name.left(name.size() - 4) + QLatin1Char(' ') + QString::number(number) +
           QStringLiteral(".BAK");
}

int compactionRandomNumber() {
    return int(QRandomGenerator::global()->bounded(100000)) + 1;
}

void compactFileInPlace(const QString& file, const QString& password, int number) {
    releaseConnection(file);
    const QString backup = compactionBackupName(file, number);
    if (!QFile::rename(file, backup))
        throw StoreError(Code::Sql,
                         QStringLiteral("\"%1\" could not be moved to \"%2\".").arg(file, backup));
    try {
        compactDatabase(compactionSourceText(backup, password),
                        compactionTargetText(file, password));
    } catch (const StoreError& error) {
        QFile::remove(file);
        if (!QFile::rename(backup, file))
            throw StoreError(error.code(),
                             error.message() +
                                 QStringLiteral(" The original is kept as \"%1\".").arg(backup),
                             error.number());
        throw;
    }
    releaseConnection(backup);
    QFile::remove(backup);
}

} // namespace store
