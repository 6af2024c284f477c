#pragma once

#include "Field.h"
#include "StoreError.h"
#include "Value.h"

#include <QSet>
#include <QString>
#include <map>
#include <memory>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

// The page sizes of the data files, in the order they are tried when a file is opened. Files this
// program writes have pages of 4096 bytes: every page is decrypted and checked on its own, so a
// quarter of the pages of the engine's default of 1024 bytes reads a large show far faster.
// Files written with 1024-byte pages open as before (and a compaction rewrites them).
inline constexpr int FilePageSizes[] = {4096, 1024};
inline constexpr int NewFilePageSize = FilePageSizes[0];

class Connection;

// What a failure the engine reports (its result code, extended or not) is to the caller: the
// file could not be read or written (a full disk, permissions, a failing device), or the engine
// refused the statement or found the file damaged.
StoreError::Code engineFailureCode(int resultCode);

// One prepared statement; finalised with the object.
class Statement {
public:
    Statement(Connection& connection, sqlite3_stmt* handle);
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&&) = delete;
    ~Statement();

    void bind(int index, const Value& value); // 1-based
    bool step();                              // true while a row is ready; throws on error
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    // The column's field as declared in its table; computed columns are numbers or texts.
    Field columnField(int column) const;
    QString columnTable(int column) const;  // empty for a computed column
    QString columnOrigin(int column) const; // the table column behind it; empty if computed
    Value columnValue(int column, FieldType type) const;
    qint64 columnInt64(int column) const;
    sqlite3_stmt* handle() const { return m_handle; }

private:
    friend class Connection;
    Connection* m_connection;
    sqlite3_stmt* m_handle;
    // The tables this statement writes, as (file, table); noted once per run.
    std::vector<std::pair<QString, QString>> m_writes;
    bool m_writesNoted = false;
};

// An open, keyed database file.
class Connection {
public:
    enum class Mode { ReadWrite, Create };

    // Throws StoreError: FileMissing, FileIo (an existing file that cannot be read),
    // NotADatabase or WrongPassword.
    Connection(const QString& file, const QString& password, Mode mode = Mode::ReadWrite);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const QString& file() const { return m_file; }
    sqlite3* handle() const { return m_db; }

    // A second connection to this file, keyed as this one was, for a read on another thread
    // (a connection is used by one thread at a time). Throws StoreError as the constructor.
    std::unique_ptr<Connection> sibling() const;

    // Prepares exactly one statement (after the dialect rewriting); a text holding a second
    // statement is refused, so that a concatenated value can never run one.
    Statement prepare(const QString& sql);
    // Runs one statement and returns the number of rows it changed.
    int execute(const QString& sql);
    bool isTable(const QString& name);

    // Rows inserted, changed or deleted through this connection since it was opened, in one
    // table of the main file and in all tables, as the engine reports each row written (rolled
    // back rows count too). total_changes() minus rowsWrittenInAll() is what the engine changed
    // without naming a table, such as a whole table emptied at once.
    qint64 rowsWrittenTo(const QString& table) const;
    qint64 rowsWrittenInAll() const { return m_rowsWritten; }

    [[noreturn]] void fail(int rc, const QString& what) const;

private:
    struct SiblingOf {
        const Connection& connection;
    };
    explicit Connection(SiblingOf of);
    // Opens the file with the key, trying each page size (the one that opened it before first).
    bool openKeyed(const QByteArray& key, Mode mode);
    bool openKeyedWith(const QByteArray& key, Mode mode, int pageSize);
    static void countRowWritten(void* connection, int operation, const char* database,
                                const char* table, long long rowId);
    // Ends a transaction that the engine refused to roll back, by closing the engine's handle
    // (which undoes it) and opening the file again. Never throws; a file that no longer opens
    // leaves the connection closed, and every later statement on it fails.
    void abandonTransaction() noexcept;
    static int collectWrites(void* connection, int action, const char* table, const char* column,
                             const char* database, const char* trigger);
    // A statement that writes has run: its tables are told once the write commits (at once
    // outside a transaction).
    void noteWrites(const std::vector<std::pair<QString, QString>>& writes);
    void publishChanges();

    friend class Statement;
    friend class Transaction;
    QString m_file;
    QByteArray m_keyText; // the key that opened the file
    int m_pageSize = 0;   // the page size that opened it
    sqlite3* m_db = nullptr;
    int m_transactionDepth = 0;
    std::vector<std::pair<QByteArray, qint64>> m_rowsWrittenByTable; // "table" or "db.table"
    qint64 m_rowsWritten = 0;
    bool m_rollbackOnly = false; // an inner transaction could not undo its writes
    // Filled while a statement is prepared: the tables it writes, as (file, table).
    std::vector<std::pair<QString, QString>> m_preparedWrites;
    // Tables written in the open transaction, per file.
    std::map<QString, QSet<QString>> m_uncommitted;
};

// Connections are kept per file for the life of the program, because keying an encrypted file
// is slow. A file's connection must be released before the file is copied over, moved,
// compacted or closed as a show.
std::shared_ptr<Connection> connectionFor(const QString& connectionText);
std::shared_ptr<Connection> connectionForFile(const QString& file, const QString& password);
void releaseConnection(const QString& file);
void releaseAllConnections();
// Forgets the keys derived so far, as a freshly started program has none (for measurements).
void forgetDerivedKeys();

// The key text the engine is given for an existing file: the raw key derived from the password
// and the file's salt, worked out once per salt and kept (keying another file with the same salt
// then costs nothing); the password itself for a file without a salt.
QByteArray keyTextFor(const QString& file, const QString& password);

// Runs one statement through a connection text; returns the number of rows changed.
int execute(const QString& connectionText, const QString& sql);

} // namespace store
