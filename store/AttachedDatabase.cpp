#include "AttachedDatabase.h"

#include "Connection.h"
#include "StoreError.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace store {

namespace {

using Code = StoreError::Code;

bool plainName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return pattern.match(name).hasMatch();
}

} // namespace

AttachedDatabase::AttachedDatabase(std::shared_ptr<Connection> connection, const QString& file,
                                   const QString& password, const QString& schema)
    : m_connection(std::move(connection)), m_file(QFileInfo(file).absoluteFilePath()),
      m_schema(schema) {
    if (!plainName(schema))
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" is not a schema name.").arg(schema));
    const QFileInfo info(m_file);
    // Attaching a missing file would create an empty database in its place.
    if (!info.exists())
        throw StoreError(Code::FileMissing,
                         QStringLiteral("The database file \"%1\" does not exist.").arg(m_file));
    if (info.size() == 0)
        throw StoreError(Code::NotADatabase, QStringLiteral("\"%1\" is empty.").arg(m_file));

    const QByteArray key = keyTextFor(m_file, password);
    // The key and the page size are only tried by the first statement that reads the file.
    QString failure;
    int failureNumber = 0;
    // Attaching reads the file at once, with the page size the engine takes for files attached
    // (a setting of the whole process, which only attaching uses: every connection of this
    // program sets its own page size). It is set for each try and left at the size of new files.
    const auto attachDefault = [this](int pageSize) {
        m_connection->execute(QStringLiteral("PRAGMA cipher_default_page_size = ") +
                              QString::number(pageSize));
    };
    for (const int pageSize : FilePageSizes) {
        try {
            attachDefault(pageSize);
            Statement attach = m_connection->prepare(QStringLiteral("ATTACH DATABASE ? AS ") +
                                                     schema + QStringLiteral(" KEY ?"));
            attach.bind(1, Value(m_file));
            attach.bind(2, Value(QString::fromUtf8(key)));
            attach.step();
            m_attached = true;
            Statement probe = m_connection->prepare(QStringLiteral("SELECT count(*) FROM ") +
                                                    schema + QStringLiteral(".sqlite_master"));
            probe.step();
            attachDefault(NewFilePageSize);
            return;
        } catch (const StoreError& error) {
            failure = error.message();
            failureNumber = error.number();
            try {
                detach();
            } catch (const StoreError&) {
                // Still attached under the same name: another try would fail on the name alone,
                // so the failure above is the one reported.
                break;
            }
        }
    }
    attachDefault(NewFilePageSize);
    throw StoreError(Code::WrongPassword,
                     QStringLiteral("\"%1\" cannot be opened with the database password "
                                    "(a wrong password, or not a database): %2")
                         .arg(m_file, failure),
                     failureNumber);
}

AttachedDatabase::~AttachedDatabase() {
    try {
        detach();
    } catch (...) {
        // A destructor must not throw; the file stays attached until the connection closes.
    }
}

void AttachedDatabase::detach() {
    if (!m_attached)
        return;
    m_connection->execute(QStringLiteral("DETACH DATABASE ") + m_schema);
    m_attached = false;
}

} // namespace store
