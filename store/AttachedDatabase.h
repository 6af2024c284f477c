#pragma once

#include <QString>
#include <memory>

namespace store {

class Connection;

// A second database file attached to a connection under a schema name for as long as the object
// lives: statements on the connection reach its tables as schema.table, and one transaction on
// the connection covers both files, committed or rolled back together.
//
// Attaching an encrypted file derives its key, which takes as long as opening it. The connection
// must not be inside a transaction when the object is made or destroyed.
class AttachedDatabase {
public:
    // Throws StoreError: FileMissing, WrongPassword (or not a database), Sql (the schema name is
    // taken or not a plain name).
    AttachedDatabase(std::shared_ptr<Connection> connection, const QString& file,
                     const QString& password, const QString& schema);
    ~AttachedDatabase();
    AttachedDatabase(const AttachedDatabase&) = delete;
    AttachedDatabase& operator=(const AttachedDatabase&) = delete;

    Connection& connection() const { return *m_connection; }
    const QString& schema() const { return m_schema; }
    const QString& file() const { return m_file; }

    // Detaches now; throws StoreError when the engine refuses (a transaction still open). The
    // destructor detaches quietly when this was not called.
    void detach();

private:
    std::shared_ptr<Connection> m_connection;
    QString m_file;
    QString m_schema;
    bool m_attached = false;
};

} // namespace store
