#include "FileChecks.h"

#include "Connection.h"
#include "StoreError.h"
#include "store/SchemaObjects.h"

#include <QFileInfo>
#include <QSet>
#include <sqlite3.h>
#include <system_error>

namespace store {

namespace {

// The page check stops after this many findings: the first few say enough.
constexpr int PageCheckFindings = 5;

FileCheck::State stateAfter(const StoreError& error) {
    switch (error.code()) {
    case StoreError::Code::FileMissing:
        return FileCheck::State::Missing;
    case StoreError::Code::FileIo:
        return FileCheck::State::Inaccessible;
    case StoreError::Code::Sql:
        return FileCheck::State::Damaged;
    default:
        // A file whose first page is damaged cannot be told from one that is no database.
        return FileCheck::State::Unreadable;
    }
}

} // namespace

QStringList showSchemaObjects() {
    return schema::showObjects();
}

QStringList organisationSchemaObjects() {
    return schema::organisationObjects();
}

FileCheck::State PageCheckResult::state() const {
    if (sound())
        return FileCheck::State::Good;
    return diskError ? FileCheck::State::Inaccessible : FileCheck::State::Damaged;
}

PageCheckResult pageCheck(Connection& connection) {
    // The engine's own calls only: this runs on the page check's worker thread too.
    const QByteArray sql = "PRAGMA quick_check(" + QByteArray::number(PageCheckFindings) + ')';
    sqlite3* db = connection.handle();
    const auto stoppedBy = [&](int rc) {
        const QString message =
            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        return PageCheckResult{message + QStringLiteral(": ") + QString::fromUtf8(sql),
                               engineFailureCode(rc) == StoreError::Code::FileIo};
    };
    sqlite3_stmt* handle = nullptr;
    if (!db)
        return stoppedBy(SQLITE_NOMEM);
    if (const int rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &handle, nullptr);
        rc != SQLITE_OK) {
        sqlite3_finalize(handle);
        return stoppedBy(rc);
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> check(handle, &sqlite3_finalize);
    QStringList findings;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(check.get())) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0));
        const QString finding = QString::fromUtf8(text, sqlite3_column_bytes(check.get(), 0));
        if (finding != QLatin1String("ok"))
            findings << finding;
    }
    if (rc != SQLITE_DONE)
        return stoppedBy(sqlite3_extended_errcode(db));
    return PageCheckResult{findings.join(QStringLiteral("; ")), false};
}

PageCheckInBackground::PageCheckInBackground(const QString& file, const QString& password)
    : m_connection(std::make_unique<Connection>(file, password)) {
    Connection* connection = m_connection.get();
    const auto check = [connection] { return pageCheck(*connection); };
    if (sqlite3_threadsafe() != 0) {
        try {
            m_result = std::async(std::launch::async, check);
            return;
        } catch (const std::system_error&) {
            // No thread to be had: the check runs here.
        }
    }
    m_answer = check();
}

PageCheckInBackground::~PageCheckInBackground() {
    if (m_result.valid())
        m_result.wait();
}

PageCheckResult PageCheckInBackground::result() {
    if (m_result.valid())
        m_answer = m_result.get();
    return m_answer;
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
                        const QStringList& requiredObjects, int newestRevision,
                        PageCheck pageCheckTime) {
    FileCheck result;
    if (!QFileInfo(file).isFile()) {
        result.state = FileCheck::State::Missing;
        return result;
    }
    try {
        Connection connection(file, password);
        if (pageCheckTime == PageCheck::Now) {
            if (const PageCheckResult pages = pageCheck(connection); !pages.sound()) {
                result.state = pages.state();
                result.detail = pages.failure;
                return result;
            }
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
        result.state = stateAfter(error);
        result.detail = error.message();
    }
    return result;
}

} // namespace store
