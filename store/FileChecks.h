#pragma once

#include <QString>
#include <QStringList>

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
    };
    State state = State::Missing;
    int revision = 0;           // the file's schema revision, where it could be read
    QStringList missingObjects; // MissingObjects: the names that are not in the file
    QString detail;             // the engine's own words about the failure

    bool good() const { return state == State::Good; }
    // A file that cannot be used as it is, which a good backup may replace. A newer file is
    // sound: it is only not this program's to read.
    bool unusable() const { return state != State::Good && state != State::Newer; }
};

// Opens the file on a connection of its own, runs the engine's page check (every page of every
// table and index is read and decrypted, so a damaged page fails its authentication) and looks
// for the required objects. The objects are looked for only in a file of the newest revision:
// an older file gets them from its migration, and is looked at again after it (missingObjects).
// Nothing is written.
FileCheck checkDataFile(const QString& file, const QString& password,
                        const QStringList& requiredObjects, int newestRevision);

// The engine's page check on an open connection: empty when every page is sound, else its first
// findings (or the error that stopped it).
QString pageCheckFailure(Connection& connection);

// The required tables and stored queries that the file lacks (names compared ignoring case).
QStringList missingObjects(Connection& connection, const QStringList& requiredObjects);

// The schema revision recorded in the file (PRAGMA user_version).
int schemaRevision(Connection& connection);

} // namespace store
