#include "FileChecks.h"

#include "Connection.h"
#include "StoreError.h"
#include "store/SchemaObjects.h"

#include <QFileInfo>
#include <QSet>

namespace store {

namespace {

// The page check stops after this many findings: the first few say enough.
constexpr int PageCheckFindings = 5;

} // namespace

QStringList showSchemaObjects() {
    return schema::showObjects();
}

QStringList organisationSchemaObjects() {
    return schema::organisationObjects();
}

QString pageCheckFailure(Connection& connection) {
    try {
        Statement check =
            connection.prepare(QStringLiteral("PRAGMA quick_check(%1)").arg(PageCheckFindings));
        QStringList findings;
        while (check.step()) {
            const QString finding = check.columnValue(0, FieldType::Text).toText();
            if (finding != QLatin1String("ok"))
                findings << finding;
        }
        return findings.join(QStringLiteral("; "));
    } catch (const StoreError& error) {
        return error.message();
    }
}

QStringList missingObjects(Connection& connection, const QStringList& requiredObjects) {
    QSet<QString> present;
    Statement names = connection.prepare(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table', 'view')"));
    while (names.step())
        present.insert(names.columnValue(0, FieldType::Text).toText().toLower());
    QStringList missing;
    for (const QString& name : requiredObjects) {
        if (!present.contains(name.toLower()))
            missing << name;
    }
    return missing;
}

int schemaRevision(Connection& connection) {
    Statement statement = connection.prepare(QStringLiteral("PRAGMA user_version"));
    statement.step();
    return int(statement.columnInt64(0));
}

FileCheck checkDataFile(const QString& file, const QString& password,
                        const QStringList& requiredObjects, int newestRevision) {
    FileCheck result;
    if (!QFileInfo(file).isFile()) {
        result.state = FileCheck::State::Missing;
        return result;
    }
    try {
        Connection connection(file, password);
        if (const QString failure = pageCheckFailure(connection); !failure.isEmpty()) {
            result.state = FileCheck::State::Damaged;
            result.detail = failure;
            return result;
        }
        result.revision = schemaRevision(connection);
        if (result.revision > newestRevision) {
            result.state = FileCheck::State::Newer;
            return result;
        }
        if (result.revision == newestRevision)
            result.missingObjects = missingObjects(connection, requiredObjects);
        result.state = result.missingObjects.isEmpty() ? FileCheck::State::Good
                                                       : FileCheck::State::MissingObjects;
    } catch (const StoreError& error) {
        // A file whose first page is damaged cannot be told from one that is no database.
        result.state = error.code() == StoreError::Code::FileMissing
                           ? FileCheck::State::Missing
                           : (error.code() == StoreError::Code::Sql ? FileCheck::State::Damaged
                                                                    : FileCheck::State::Unreadable);
        result.detail = error.message();
    }
    return result;
}

} // namespace store
