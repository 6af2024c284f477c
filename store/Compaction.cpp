#include "Compaction.h"

#include "Connection.h"
#include "ConnectionText.h"
#include "StoreError.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <optional>
#include <sqlite3.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace store {

namespace {

using Code = StoreError::Code;

// What a faithful copy must have as well: the number of schema objects (tables, views,
// indexes) and every table with its row count.
struct Census {
    int objects = 0;
    std::vector<std::pair<QString, qint64>> rows;
    bool operator==(const Census&) const = default;
};

Census takeCensus(Connection& connection) {
    Census census;
    Statement objects = connection.prepare(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name NOT LIKE 'sqlite_%'"));
    objects.step();
    census.objects = int(objects.columnInt64(0));
    QStringList tables;
    Statement names =
        connection.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                          "AND name NOT LIKE 'sqlite_%' ORDER BY name"));
    while (names.step())
        tables.append(names.columnValue(0, FieldType::Text).toText());
    for (const QString& table : tables) {
        Statement count =
            connection.prepare(QStringLiteral("SELECT count(*) FROM [%1]").arg(table));
        count.step();
        census.rows.emplace_back(table, count.columnInt64(0));
    }
    return census;
}

int countSchemaObjects(Connection& connection) {
    Statement statement = connection.prepare(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name NOT LIKE 'sqlite_%'"));
    statement.step();
    return int(statement.columnInt64(0));
}

QString systemMessage(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes a file's data, or a folder's list of names, through to the disk.
bool syncToDisk(const QByteArray& path, bool folder) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

// The copy is a new file that nobody reads until it is complete and on disk: it needs no
// rollback journal (which would be left beside it by a crash) and no syncing of its own.
void exportInto(Connection& source, const QString& target, const QString& password) {
    Statement attach = source.prepare(QStringLiteral("ATTACH DATABASE ? AS compacted KEY ?"));
    attach.bind(1, Value(target));
    attach.bind(2, Value(password));
    attach.step();
    try {
        source.execute(
            QStringLiteral("PRAGMA compacted.cipher_page_size = %1").arg(NewFilePageSize));
        source.execute(QStringLiteral("PRAGMA compacted.journal_mode = OFF"));
        source.execute(QStringLiteral("PRAGMA compacted.synchronous = OFF"));
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

// Writes the compacted copy of `source` to `target` (which must not exist) and puts it on disk;
// returns what the copy must hold. A partial target is left for the caller to remove.
Census exportCopy(const ConnectionTarget& from, const QString& target, const QString& password) {
    Census census;
    {
        // Attaching a new file needs a connection that may create files.
        Connection source(from.file, from.password, Connection::Mode::Create);
        census = takeCensus(source);
        exportInto(source, target, password);
    }
    // The copy gets the original's permissions, as the file it will replace had them.
    QFile::setPermissions(target, QFile::permissions(from.file));
    if (!syncToDisk(QFile::encodeName(target), false))
        throw StoreError(Code::Sql, QStringLiteral("The compacted copy \"%1\" could not be "
                                                   "written to the disk: %2")
                                        .arg(target, systemMessage(errno)));
    return census;
}

void verifyCopy(const QString& original, const QString& copy, const QString& password,
                const Census& expected) {
    Connection check(copy, password);
    if (expected.objects == 0 || takeCensus(check) != expected)
        throw StoreError(
            Code::NotADatabase,
            QStringLiteral("The compacted copy of \"%1\" is incomplete.").arg(original));
}

// One compaction in place, and what it has changed on the disk so far, so that a failure at any
// point can be undone.
class InPlaceCompaction {
public:
    InPlaceCompaction(const QString& file, const QString& password, int number)
        : m_file(file), m_password(password), m_temporary(compactionTemporaryName(file, number)),
          m_backup(compactionBackupName(file, number)), m_fileName(QFile::encodeName(file)),
          m_temporaryName(QFile::encodeName(m_temporary)),
          m_backupName(QFile::encodeName(m_backup)),
          m_folderName(QFile::encodeName(QFileInfo(file).absolutePath())) {}

    void run(const CompactionProgress& progress);
    // Brings the original back under its own name and removes what the compaction wrote.
    // Returns false when the original could not be put back (it is then under the backup name).
    bool undo() noexcept;
    const QString& backup() const { return m_backup; }

private:
    void step(const CompactionProgress& progress, CompactionStep step) const {
        if (progress)
            progress(step);
    }
    void makeBackup();
    void copyToBackup();

    QString m_file;
    QString m_password;
    QString m_temporary;
    QString m_backup;
    // Worked out beforehand, so that undoing needs no memory.
    QByteArray m_fileName;
    QByteArray m_temporaryName;
    QByteArray m_backupName;
    QByteArray m_folderName;
    bool m_temporaryWritten = false;
    bool m_backupMade = false;
    bool m_replaced = false;
};

void InPlaceCompaction::run(const CompactionProgress& progress) {
    if (!QFileInfo::exists(m_file))
        throw StoreError(Code::FileMissing,
                         QStringLiteral("The database file \"%1\" does not exist.").arg(m_file));
    if (QFileInfo::exists(m_backup))
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" could not be moved to \"%2\": the "
                                                   "name is taken.")
                                        .arg(m_file, m_backup));
    // A copy left by an interrupted compaction is incomplete by its name.
    if (::unlink(m_temporaryName.constData()) != 0 && errno != ENOENT)
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" could not be removed: %2")
                                        .arg(m_temporary, systemMessage(errno)));

    m_temporaryWritten = true;
    const Census census = exportCopy(ConnectionTarget{m_file, m_password}, m_temporary, m_password);
    step(progress, CompactionStep::Exported);
    verifyCopy(m_file, m_temporary, m_password, census);
    step(progress, CompactionStep::Verified);

    makeBackup();
    step(progress, CompactionStep::BackedUp);

    if (::rename(m_temporaryName.constData(), m_fileName.constData()) != 0)
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" could not take the place of \"%2\": %3")
                                        .arg(m_temporary, m_file, systemMessage(errno)));
    m_temporaryWritten = false;
    m_replaced = true;
    // A folder whose names cannot be synced (some network file systems) still has the new name;
    // only a failing disk is a failure.
    if (!syncToDisk(m_folderName, true) && errno == EIO)
        throw StoreError(Code::Sql, QStringLiteral("The folder of \"%1\" could not be written to "
                                                   "the disk: %2")
                                        .arg(m_file, systemMessage(EIO)));
    step(progress, CompactionStep::Replaced);

    {
        Connection check(m_file, m_password);
        if (countSchemaObjects(check) != census.objects)
            throw StoreError(Code::NotADatabase,
                             QStringLiteral("\"%1\" does not read back as compacted.").arg(m_file));
    }
    step(progress, CompactionStep::Checked);

    // The compaction is complete; a backup that cannot be deleted is a stray copy, not a failure.
    m_replaced = false;
    m_backupMade = false;
    ::unlink(m_backupName.constData());
}

void InPlaceCompaction::makeBackup() {
    if (::link(m_fileName.constData(), m_backupName.constData()) == 0) {
        m_backupMade = true;
        return;
    }
    if (errno == EEXIST)
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" could not be moved to \"%2\": the "
                                                   "name is taken.")
                                        .arg(m_file, m_backup));
    // A file system without links gets a copy.
    copyToBackup();
}

void InPlaceCompaction::copyToBackup() {
    QFile original(m_file);
    QFile backup(m_backup);
    if (!original.open(QIODevice::ReadOnly))
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" could not be read for its backup: %2")
                                        .arg(m_file, original.errorString()));
    if (!backup.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" could not be moved to \"%2\": %3")
                                        .arg(m_file, m_backup, backup.errorString()));
    m_backupMade = true;
    QByteArray block;
    while (!(block = original.read(1 << 20)).isEmpty()) {
        if (backup.write(block) != block.size())
            break;
    }
    if (original.error() != QFileDevice::NoError || !backup.flush() ||
        backup.error() != QFileDevice::NoError || ::fsync(backup.handle()) != 0)
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" could not be moved to \"%2\": %3")
                                        .arg(m_file, m_backup, backup.errorString()));
}

bool InPlaceCompaction::undo() noexcept {
    bool putBack = true;
    if (m_replaced) {
        // The original goes back under its own name in one step.
        putBack = ::rename(m_backupName.constData(), m_fileName.constData()) == 0;
        if (putBack)
            syncToDisk(m_folderName, true);
        // Either way the backup name is no longer ours to remove: it is gone, or it holds the
        // only copy of the original.
        m_backupMade = false;
        m_replaced = false;
    }
    if (m_backupMade) {
        // Until the file is replaced the backup is a second name of the original.
        ::unlink(m_backupName.constData());
        m_backupMade = false;
    }
    if (m_temporaryWritten) {
        ::unlink(m_temporaryName.constData());
        m_temporaryWritten = false;
    }
    return putBack;
}

} // namespace

QString compactionBackupName(const QString& file, int number) {
    const qsizetype slash =
        std::max(file.lastIndexOf(QLatin1Char('/')), file.lastIndexOf(QLatin1Char('\\')));
    const QString folder = file.left(slash + 1);
    const QString name = file.mid(slash + 1);
    return folder + name.left(name.size() - 4) + QLatin1Char(' ') + QString::number(number) +
           QStringLiteral(".BAK");
}

QString compactionTemporaryName(const QString& file, int number) {
    QString name = compactionBackupName(file, number);
    name.replace(name.size() - 4, 4, QStringLiteral(".CMP"));
    return name;
}

int compactionRandomNumber() {
    return int(QRandomGenerator::global()->bounded(100000)) + 1;
}

void compactFileInPlace(const QString& file, const QString& password, int number,
                        const CompactionProgress& progress) {
    releaseConnection(file);
    std::optional<InPlaceCompaction> compaction;
    // Every handler undoes first: building the message may itself fail.
    const auto undo = [&compaction]() noexcept { return !compaction || compaction->undo(); };
    const auto failure = [&](bool putBack, Code code, const QString& message, int engineNumber) {
        if (putBack)
            return StoreError(code, message, engineNumber);
        return StoreError(
            code,
            message + QStringLiteral(" The original is kept as \"%1\".").arg(compaction->backup()),
            engineNumber);
    };
    try {
        compaction.emplace(file, password, number);
        compaction->run(progress);
    } catch (const StoreError& error) {
        const bool putBack = undo();
        throw failure(putBack, error.code(), error.message(), error.number());
    } catch (const std::bad_alloc&) {
        const bool putBack = undo();
        throw failure(putBack, Code::Sql,
                      QStringLiteral("There was not enough memory to compact \"%1\".").arg(file),
                      0);
    } catch (const std::exception& error) {
        const bool putBack = undo();
        throw failure(putBack, Code::Sql,
                      QStringLiteral("\"%1\" could not be compacted: %2")
                          .arg(file, QString::fromLocal8Bit(error.what())),
                      0);
    } catch (...) {
        const bool putBack = undo();
        throw failure(putBack, Code::Sql,
                      QStringLiteral("\"%1\" could not be compacted.").arg(file), 0);
    }
}

} // namespace store
