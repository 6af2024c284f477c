#pragma once

#include <QString>
#include <QStringList>
#include <future>
#include <memory>

namespace store {

class Connection;

// The tables and stored queries each data file must hold, as its schema creates them.
QStringList showSchemaObjects();
QStringList organisationSchemaObjects();

// What a look at a data file found, before anything of the user's is read from it.
struct FileCheck {
    enum class State {
        Good,           // every page is sound and every table and stored query is there
        Missing,        // no file of that name
        Unreadable,     // not a database this engine opens with the password
        Damaged,        // the engine's page check failed
        MissingObjects, // sound pages, but tables or stored queries are missing
        Newer,          // made by a newer program: a schema revision this one does not know
        Inaccessible,   // the file cannot be read: its permissions, or a failing device
    };
    State state = State::Missing;
    int revision = 0;           // the file's schema revision, where it could be read
    QStringList missingObjects; // MissingObjects: the names that are not in the file
    QString detail;             // the engine's own words about the failure

    bool good() const { return state == State::Good; }
    // A file that cannot be used as it is, which a good backup may replace. A newer file is
    // sound: it is only not this program's to read; a file that cannot be read may be sound too,
    // and is no more replaced than it is called damaged.
    bool unusable() const {
        return state != State::Good && state != State::Newer && state != State::Inaccessible;
    }
};

// When the page check runs: Now, or Later, by the caller (PageCheckInBackground), who then
// uses nothing read from the file before it has passed.
enum class PageCheck { Now, Later };

// Opens the file on a connection of its own, runs the engine's page check (every page of every
// table and index is read and decrypted, so a damaged page fails its authentication) and looks
// for the required objects. The objects are looked for only in a file of the newest revision:
// an older file gets them from its migration, and is looked at again after it (missingObjects).
// Nothing is written.
FileCheck checkDataFile(const QString& file, const QString& password,
                        const QStringList& requiredObjects, int newestRevision,
                        PageCheck pageCheckTime = PageCheck::Now);

// What the engine's page check found.
struct PageCheckResult {
    QString failure;        // empty when every page is sound, else the first findings
    bool diskError = false; // the pages could not be read at all: that says nothing of damage

    bool sound() const { return failure.isEmpty(); }
    // The state a file check gives a file with these findings.
    FileCheck::State state() const;
};

// The engine's page check on an open connection (every page of every table and index is read
// and decrypted). It uses nothing but the connection and the engine.
PageCheckResult pageCheck(Connection& connection);

// The page check of a file on a worker thread, so that the caller can read the file meanwhile.
// The worker uses nothing but a connection of its own, opened here on the caller's thread, and
// the engine; failure() waits for its answer, and so does the destructor: the worker never
// outlives the step of the caller that started it. Where the engine is built without thread
// support, the check runs here, before the constructor returns.
class PageCheckInBackground {
public:
    // Throws StoreError when the file does not open.
    PageCheckInBackground(const QString& file, const QString& password);
    ~PageCheckInBackground();
    PageCheckInBackground(const PageCheckInBackground&) = delete;
    PageCheckInBackground& operator=(const PageCheckInBackground&) = delete;

    // Waits for the check's answer.
    PageCheckResult result();

private:
    std::unique_ptr<Connection> m_connection;
    std::future<PageCheckResult> m_result; // while the worker has not been asked for its answer
    PageCheckResult m_answer;
};

// The required tables and stored queries that the file lacks (names compared ignoring case).
QStringList missingObjects(Connection& connection, const QStringList& requiredObjects);

// The schema revision recorded in the file (PRAGMA user_version).
int schemaRevision(Connection& connection);

} // namespace store
