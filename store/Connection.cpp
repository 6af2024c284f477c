#include "Connection.h"
#include "ChangeNotifier.h"

#include "ConnectionText.h"
#include "Dialect.h"
#include "StoreError.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <openssl/evp.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace store {

namespace {

using Code = StoreError::Code;

QString engineMessage(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

// Declared types follow the engine's names: TEXT(100), SHORT, DOUBLE, CURRENCY, BIT, DATETIME.
Field fieldFromDeclaration(const QString& name, const char* declared) {
    Field field;
    field.name = name;
    if (!declared) {
        field.type = FieldType::Number;
        return field;
    }
    const QString decl = QString::fromUtf8(declared).toUpper();
    if (decl.contains(QLatin1String("CHAR")) || decl.startsWith(QLatin1String("TEXT")) ||
        decl.contains(QLatin1String("MEMO"))) {
        field.type = FieldType::Text;
        static const QRegularExpression size(QStringLiteral("\\((\\d+)\\)"));
        const auto match = size.match(decl);
        if (match.hasMatch())
            field.maxLength = match.captured(1).toInt();
    } else if (decl.startsWith(QLatin1String("CURRENCY")) ||
               decl.startsWith(QLatin1String("MONEY"))) {
        field.type = FieldType::Currency;
    } else if (decl.startsWith(QLatin1String("BIT")) || decl.startsWith(QLatin1String("BOOL")) ||
               decl.startsWith(QLatin1String("YESNO"))) {
        field.type = FieldType::Boolean;
    } else if (decl.startsWith(QLatin1String("DATE"))) {
        field.type = FieldType::Date;
    } else if (decl.startsWith(QLatin1String("SHORT")) || decl.contains(QLatin1String("INT")) ||
               decl.startsWith(QLatin1String("LONG"))) {
        field.type = FieldType::Integer;
    } else {
        field.type = FieldType::Number;
    }
    return field;
}

bool hasPlainSqliteHeader(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return f.read(16) == QByteArray("SQLite format 3\0", 16);
}

// The engine derives a file's key from the password and the salt in the file's first bytes, which
// is slow on purpose. Every show file is a copy of the template and shares its salt, so the
// derived key is kept per salt and handed to the engine as a raw key.
constexpr int SaltSize = 16;
constexpr int KdfIterations = 64000; // the engine's default for files of this format
constexpr int KeySize = 32;

std::map<QByteArray, QByteArray>& derivedKeys() {
    static std::map<QByteArray, QByteArray> derived;
    return derived;
}

QByteArray derivedKeyText(const QByteArray& salt, const QByteArray& password) {
    auto& derived = derivedKeys();
    const QByteArray cacheKey = salt + '\0' + password;
    auto found = derived.find(cacheKey);
    if (found != derived.end())
        return found->second;
    unsigned char key[KeySize];
    if (PKCS5_PBKDF2_HMAC_SHA1(password.constData(), int(password.size()),
                               reinterpret_cast<const unsigned char*>(salt.constData()),
                               int(salt.size()), KdfIterations, KeySize, key) != 1)
        return {};
    const QByteArray text =
        "x'" + QByteArray(reinterpret_cast<const char*>(key), KeySize).toHex().toUpper() + "'";
    derived.emplace(cacheKey, text);
    return text;
}

void classifyOpenFailure(const QString& file, qint64 size) {
    if (size < 1024 || size % 512 != 0)
        throw StoreError(Code::NotADatabase, QStringLiteral("\"%1\" is not a database.").arg(file));
    if (hasPlainSqliteHeader(file))
        throw StoreError(
            Code::WrongPassword,
            QStringLiteral("\"%1\" is not protected by the database password.").arg(file));
    throw StoreError(Code::WrongPassword,
                     QStringLiteral("\"%1\" cannot be opened with the database password "
                                    "(a wrong password, or not a database).")
                         .arg(file));
}

// A file that is there but cannot be read fails for its permissions or its device, which the
// engine would only call "unable to open database file".
void requireReadable(const QString& file) {
    QFile probe(file);
    if (!probe.open(QIODevice::ReadOnly))
        throw StoreError(
            Code::FileIo,
            QStringLiteral("\"%1\" cannot be read: %2").arg(file, probe.errorString()));
}

} // namespace

StoreError::Code engineFailureCode(int resultCode) {
    switch (resultCode & 0xff) {
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
        return Code::FileIo;
    default:
        return Code::Sql;
    }
}

QByteArray keyTextFor(const QString& file, const QString& password) {
    const QByteArray plain = password.toUtf8();
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return plain;
    const QByteArray salt = f.read(SaltSize);
    if (salt.size() < SaltSize || salt == QByteArray("SQLite format 3\0", 16) || f.size() < 1024)
        return plain;
    const QByteArray raw = derivedKeyText(salt, plain);
    return raw.isEmpty() ? plain : raw;
}

// ---- Statement ---------------------------------------------------------------------------

Statement::Statement(Connection& connection, sqlite3_stmt* handle)
    : m_connection(&connection), m_handle(handle) {}

Statement::Statement(Statement&& other) noexcept
    : m_connection(other.m_connection), m_handle(other.m_handle),
      m_writes(std::move(other.m_writes)), m_writesNoted(other.m_writesNoted) {
    other.m_handle = nullptr;
}

Statement::~Statement() {
    if (m_handle)
        sqlite3_finalize(m_handle);
}

void Statement::bind(int index, const Value& value) {
    int rc = SQLITE_OK;
    switch (value.kind()) {
    case Value::Kind::Null:
        rc = sqlite3_bind_null(m_handle, index);
        break;
    case Value::Kind::Boolean:
        rc = sqlite3_bind_int(m_handle, index, value.toBool() ? 1 : 0);
        break;
    case Value::Kind::Integer:
        rc = sqlite3_bind_int64(m_handle, index, value.toInt());
        break;
    case Value::Kind::Number:
    case Value::Kind::Currency:
        rc = sqlite3_bind_double(m_handle, index, value.toDouble());
        break;
    case Value::Kind::Date:
    case Value::Kind::Text: {
        const QByteArray text = value.toText().toUtf8();
        rc = sqlite3_bind_text(m_handle, index, text.constData(), int(text.size()),
                               SQLITE_TRANSIENT);
        break;
    }
    }
    if (rc != SQLITE_OK)
        m_connection->fail(rc, QStringLiteral("binding a value"));
}

bool Statement::step() {
    const int rc = sqlite3_step(m_handle);
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) {
        if (!m_writes.empty() && !m_writesNoted) {
            m_writesNoted = true;
            m_connection->noteWrites(m_writes);
        }
        return rc == SQLITE_ROW;
    }
    m_connection->fail(rc, QString::fromUtf8(sqlite3_sql(m_handle)));
}

void Statement::reset() {
    m_writesNoted = false;
    sqlite3_reset(m_handle);
    sqlite3_clear_bindings(m_handle);
}

int Statement::columnCount() const {
    return sqlite3_column_count(m_handle);
}

QString Statement::columnName(int column) const {
    return QString::fromUtf8(sqlite3_column_name(m_handle, column));
}

Field Statement::columnField(int column) const {
    return fieldFromDeclaration(columnName(column), sqlite3_column_decltype(m_handle, column));
}

QString Statement::columnTable(int column) const {
    const char* table = sqlite3_column_table_name(m_handle, column);
    return table ? QString::fromUtf8(table) : QString();
}

QString Statement::columnOrigin(int column) const {
    const char* origin = sqlite3_column_origin_name(m_handle, column);
    return origin ? QString::fromUtf8(origin) : QString();
}

qint64 Statement::columnInt64(int column) const {
    return sqlite3_column_int64(m_handle, column);
}

Value Statement::columnValue(int column, FieldType type) const {
    const int storage = sqlite3_column_type(m_handle, column);
    if (storage == SQLITE_NULL)
        return {};
    auto text = [&] {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_handle, column));
        return QString::fromUtf8(bytes, sqlite3_column_bytes(m_handle, column));
    };
    switch (type) {
    case FieldType::Text:
        return Value(text());
    case FieldType::Integer:
        if (storage == SQLITE_INTEGER)
            return Value(static_cast<qint64>(sqlite3_column_int64(m_handle, column)));
        return Value(sqlite3_column_double(m_handle, column)).convertedTo(FieldType::Integer);
    case FieldType::Number:
        if (storage == SQLITE_INTEGER)
            return Value(static_cast<qint64>(sqlite3_column_int64(m_handle, column)));
        if (storage == SQLITE_TEXT)
            return Value(text());
        return Value(sqlite3_column_double(m_handle, column));
    case FieldType::Currency:
        return Value(Currency::fromDouble(sqlite3_column_double(m_handle, column)));
    case FieldType::Boolean:
        return Value(sqlite3_column_int64(m_handle, column) != 0);
    case FieldType::Date: {
        QDate date;
        if (storage == SQLITE_TEXT && parseDate(text().left(10), &date))
            return Value(date);
        return {};
    }
    }
    return {};
}

// ---- Connection --------------------------------------------------------------------------

Connection::Connection(const QString& file, const QString& password, Mode mode) : m_file(file) {
    const QFileInfo info(file);
    if (mode == Mode::ReadWrite && !info.exists())
        throw StoreError(Code::FileMissing,
                         QStringLiteral("The database file \"%1\" does not exist.").arg(file));
    // An empty file would be taken for a new, empty database.
    if (mode == Mode::ReadWrite && info.size() == 0)
        throw StoreError(Code::NotADatabase, QStringLiteral("\"%1\" is empty.").arg(file));
    if (mode == Mode::ReadWrite)
        requireReadable(file);

    m_keyText = keyTextFor(file, password);
    if (!openKeyed(m_keyText, mode)) {
        const QByteArray plain = password.toUtf8();
        if (m_keyText == plain || !openKeyed(plain, mode))
            classifyOpenFailure(file, info.size());
        m_keyText = plain;
    }
    sqlite3_exec(m_db, "PRAGMA foreign_keys = OFF", nullptr, nullptr, nullptr);
    sqlite3_update_hook(m_db, &Connection::countRowWritten, this);
    // Every statement is looked at as it is prepared, for the tables it writes.
    sqlite3_set_authorizer(m_db, &Connection::collectWrites, this);
}

Connection::Connection(SiblingOf of)
    : m_file(of.connection.m_file), m_keyText(of.connection.m_keyText),
      m_pageSize(of.connection.m_pageSize) {
    if (!openKeyed(m_keyText, Mode::ReadWrite))
        throw StoreError(Code::FileIo,
                         QStringLiteral("\"%1\" cannot be opened a second time.").arg(m_file));
    sqlite3_exec(m_db, "PRAGMA foreign_keys = OFF", nullptr, nullptr, nullptr);
    sqlite3_update_hook(m_db, &Connection::countRowWritten, this);
    sqlite3_set_authorizer(m_db, &Connection::collectWrites, this);
}

std::unique_ptr<Connection> Connection::sibling() const {
    return std::unique_ptr<Connection>(new Connection(SiblingOf{*this}));
}

int Connection::collectWrites(void* connection, int action, const char* table,
                              const char* /*column*/, const char* database,
                              const char* /*trigger*/) {
    switch (action) {
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
    case SQLITE_CREATE_TABLE:
    case SQLITE_DROP_TABLE:
        break;
    default:
        return SQLITE_OK;
    }
    if (!table || !database || qstrncmp(table, "sqlite_", 7) == 0)
        return SQLITE_OK;
    auto* self = static_cast<Connection*>(connection);
    QString file;
    if (qstrcmp(database, "main") == 0) {
        file = self->m_file;
    } else {
        // An attached file (the organisation file beside a show, a compaction target).
        const char* attached = sqlite3_db_filename(self->m_db, database);
        if (!attached || !*attached)
            return SQLITE_OK; // the temporary database
        file = QFile::decodeName(attached);
    }
    std::pair<QString, QString> write{QFileInfo(file).absoluteFilePath(), QString::fromUtf8(table)};
    auto& writes = self->m_preparedWrites;
    if (std::find(writes.begin(), writes.end(), write) == writes.end())
        writes.push_back(std::move(write));
    return SQLITE_OK;
}

void Connection::noteWrites(const std::vector<std::pair<QString, QString>>& writes) {
    for (const auto& [file, table] : writes)
        m_uncommitted[file].insert(table);
    if (m_transactionDepth == 0)
        publishChanges();
}

void Connection::publishChanges() {
    // Taken first: a listener may write again.
    std::map<QString, QSet<QString>> changed;
    changed.swap(m_uncommitted);
    for (const auto& [file, tables] : changed)
        publishCommittedChanges(file, tables);
}

void Connection::countRowWritten(void* connection, int, const char* database, const char* table,
                                 long long) {
    auto* self = static_cast<Connection*>(connection);
    ++self->m_rowsWritten;
    const bool mainFile = !database || qstrcmp(database, "main") == 0;
    const QByteArray name = mainFile ? QByteArray::fromRawData(table, qsizetype(qstrlen(table)))
                                     : QByteArray(database) + '.' + table;
    for (auto& [written, rows] : self->m_rowsWrittenByTable) {
        if (written == name) {
            ++rows;
            return;
        }
    }
    // A deep copy: the engine's text lives only for the call.
    self->m_rowsWrittenByTable.emplace_back(QByteArray(name.constData(), name.size()), 1);
}

qint64 Connection::rowsWrittenTo(const QString& table) const {
    const QByteArray name = table.toUtf8();
    for (const auto& [written, rows] : m_rowsWrittenByTable) {
        if (qstricmp(written.constData(), name.constData()) == 0)
            return rows;
    }
    return 0;
}

void Connection::abandonTransaction() noexcept {
    if (!m_db || sqlite3_get_autocommit(m_db))
        return;
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (sqlite3_get_autocommit(m_db))
        return;
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    try {
        if (openKeyed(m_keyText, Mode::ReadWrite)) {
            sqlite3_exec(m_db, "PRAGMA foreign_keys = OFF", nullptr, nullptr, nullptr);
            sqlite3_set_authorizer(m_db, &Connection::collectWrites, this);
            sqlite3_update_hook(m_db, &Connection::countRowWritten, this);
        }
    } catch (...) {
        m_db = nullptr;
    }
}

bool Connection::openKeyed(const QByteArray& key, Mode mode) {
    const QFileInfo info(m_file);
    const bool newFile = !info.exists() || info.size() == 0;
    if (newFile)
        return openKeyedWith(key, mode, NewFilePageSize);
    if (m_pageSize != 0 && openKeyedWith(key, mode, m_pageSize))
        return true;
    for (const int pageSize : FilePageSizes) {
        if (pageSize != m_pageSize && openKeyedWith(key, mode, pageSize)) {
            m_pageSize = pageSize;
            return true;
        }
    }
    return false;
}

bool Connection::openKeyedWith(const QByteArray& key, Mode mode, int pageSize) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (mode == Mode::Create)
        flags |= SQLITE_OPEN_CREATE;
    const QByteArray path = QFile::encodeName(m_file);
    int rc = sqlite3_open_v2(path.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = engineMessage(m_db);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StoreError(Code::NotADatabase,
                         QStringLiteral("\"%1\" cannot be opened: %2").arg(m_file, message));
    }
    sqlite3_key(m_db, key.constData(), int(key.size()));
    const QByteArray setPageSize = "PRAGMA cipher_page_size = " + QByteArray::number(pageSize);
    sqlite3_exec(m_db, setPageSize.constData(), nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(m_db, 2000);
    // The key and the page size are only tried by the first statement that reads the file.
    rc = sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        m_pageSize = pageSize;
        return true;
    }
    sqlite3_close(m_db);
    m_db = nullptr;
    return false;
}

Connection::~Connection() {
    if (m_db)
        sqlite3_close_v2(m_db);
}

void Connection::fail(int rc, const QString& what) const {
    const QString message = engineMessage(m_db);
    throw StoreError(engineFailureCode(rc), QStringLiteral("%1: %2").arg(message, what), rc);
}

Statement Connection::prepare(const QString& sql) {
    const QByteArray text = rewriteJetSql(sql).toUtf8();
    sqlite3_stmt* handle = nullptr;
    const char* tail = nullptr;
    m_preparedWrites.clear();
    const int rc = sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &handle, &tail);
    if (rc != SQLITE_OK)
        fail(rc, sql);
    Statement statement(*this, handle);
    statement.m_writes = std::move(m_preparedWrites);
    m_preparedWrites.clear();
    if (!handle)
        throw StoreError(Code::Sql, QStringLiteral("No statement in \"%1\".").arg(sql));
    for (const char* p = tail; p && *p; ++p) {
        if (*p != ';' && !QChar::isSpace(static_cast<unsigned char>(*p)))
            throw StoreError(Code::Sql,
                             QStringLiteral("More than one statement in \"%1\".").arg(sql));
    }
    return statement;
}

int Connection::execute(const QString& sql) {
    Statement statement = prepare(sql);
    while (statement.step()) {
    }
    return sqlite3_changes(m_db);
}

bool Connection::isTable(const QString& name) {
    Statement statement =
        prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? "
                               "COLLATE NOCASE"));
    statement.bind(1, Value(name));
    return statement.step();
}

// ---- The connection cache ----------------------------------------------------------------

namespace {

struct CachedConnection {
    QString password;
    dev_t device = 0;
    ino_t inode = 0;
    std::shared_ptr<Connection> connection;
};

QString cacheKey(const QString& file) {
    return QFileInfo(file).absoluteFilePath();
}

bool fileIdentity(const QString& file, dev_t* device, ino_t* inode) {
    struct stat st {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0)
        return false;
    *device = st.st_dev;
    *inode = st.st_ino;
    return true;
}

// The one cache of the program: it holds engine resources, not program state.
std::map<QString, CachedConnection>& cache() {
    static std::map<QString, CachedConnection> connections;
    return connections;
}

} // namespace

std::shared_ptr<Connection> connectionForFile(const QString& file, const QString& password) {
    const QString key = cacheKey(file);
    dev_t device = 0;
    ino_t inode = 0;
    const bool exists = fileIdentity(key, &device, &inode);
    auto& connections = cache();
    auto found = connections.find(key);
    if (found != connections.end()) {
        const CachedConnection& cached = found->second;
        // A file replaced or removed behind the cache's back gets a fresh connection.
        if (exists && cached.password == password && cached.device == device &&
            cached.inode == inode)
            return cached.connection;
        connections.erase(found);
    }
    auto connection = std::make_shared<Connection>(key, password);
    connections[key] = CachedConnection{password, device, inode, connection};
    return connection;
}

std::shared_ptr<Connection> connectionFor(const QString& connectionText) {
    const ConnectionTarget target = parseConnectionText(connectionText);
    if (target.file.isEmpty())
        throw StoreError(Code::FileMissing,
                         QStringLiteral("The connection text names no database file."));
    return connectionForFile(target.file, target.password);
}

void releaseConnection(const QString& file) {
    cache().erase(cacheKey(file));
}

void releaseAllConnections() {
    cache().clear();
}

void forgetDerivedKeys() {
    derivedKeys().clear();
}

int execute(const QString& connectionText, const QString& sql) {
    return connectionFor(connectionText)->execute(sql);
}

} // namespace store
