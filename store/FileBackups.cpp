#include "FileBackups.h"

#include "Connection.h"
#include "StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

constexpr auto TimeFormat = "yyyy-MM-dd HH.mm.ss";
constexpr auto PartialSuffix = ".part";

QString systemMessage(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void failFileIo(const QString& what, int error) {
    throw StoreError(StoreError::Code::FileIo, what + QStringLiteral(": ") + systemMessage(error));
}

// The name without its extension and the extension with its dot ("Spring.twl": "Spring",
// ".twl"); a name without a dot has no extension.
std::pair<QString, QString> splitName(const QString& file) {
    const QString name = QFileInfo(file).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {name, QString()};
    return {name.left(dot), name.mid(dot)};
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now, reporting what the close reports (a delayed write error).
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

void syncFolder(const QString& folder) {
    Descriptor fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY));
    if (fd.get() >= 0)
        ::fsync(fd.get()); // a folder that cannot be synced still holds the rename
}

// Copies `from` into the new file `to` and puts it on the disk. A partial `to` is removed.
void copyToNewFile(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    Descriptor in(::open(source.constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        failFileIo(QStringLiteral("\"%1\" could not be read").arg(from), errno);
    struct stat status {};
    ::fstat(in.get(), &status);
    Descriptor out(
        ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 0777));
    if (out.get() < 0)
        failFileIo(QStringLiteral("\"%1\" could not be made").arg(to), errno);
    auto fail = [&](int error) {
        out.close();
        ::unlink(target.constData());
        failFileIo(QStringLiteral("\"%1\" could not be written").arg(to), error);
    };
    bool inKernel = true;
    std::vector<char> buffer;
    for (;;) {
        ssize_t copied = -1;
        if (inKernel) {
            copied = ::copy_file_range(in.get(), nullptr, out.get(), nullptr, 1 << 24, 0);
            if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL)) {
                inKernel = false; // a file system that copies no ranges: block by block
                buffer.resize(1 << 20);
                continue;
            }
        } else {
            copied = ::read(in.get(), buffer.data(), buffer.size());
            if (copied > 0) {
                for (ssize_t done = 0; done < copied;) {
                    const ssize_t wrote = ::write(out.get(), buffer.data() + done, copied - done);
                    if (wrote < 0)
                        fail(errno);
                    done += wrote;
                }
            }
        }
        if (copied < 0)
            fail(errno);
        if (copied == 0)
            break;
    }
    if (::fsync(out.get()) != 0)
        fail(errno);
    if (!out.close()) {
        const int error = errno;
        ::unlink(target.constData());
        failFileIo(QStringLiteral("\"%1\" could not be written").arg(to), error);
    }
}

void renameInto(const QString& from, const QString& to) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        const int error = errno;
        QFile::remove(from);
        failFileIo(QStringLiteral("\"%1\" could not take the name \"%2\"").arg(from, to), error);
    }
    syncFolder(QFileInfo(to).absolutePath());
}

// Holds the engine's shared lock on a data file for as long as it lives: no write of this or
// any other connection can be half-done in the file meanwhile.
class ReadLock {
public:
    ReadLock(const QString& file, const QString& password)
        : m_connection(connectionForFile(file, password)) {
        // Reading settles a journal left by an interrupted write and takes the shared lock,
        // which the open transaction keeps.
        if (sqlite3_exec(m_connection->handle(), "BEGIN; SELECT count(*) FROM sqlite_master;",
                         nullptr, nullptr, nullptr) != SQLITE_OK) {
            sqlite3_exec(m_connection->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
            m_connection->fail(sqlite3_errcode(m_connection->handle()),
                               QStringLiteral("reading %1 for its backup").arg(file));
        }
    }
    ~ReadLock() { sqlite3_exec(m_connection->handle(), "COMMIT", nullptr, nullptr, nullptr); }
    ReadLock(const ReadLock&) = delete;
    ReadLock& operator=(const ReadLock&) = delete;

private:
    std::shared_ptr<Connection> m_connection;
};

// The copy must open with the file's password and show its schema.
void checkOpens(const QString& copy, const QString& password) {
    try {
        Connection connection(copy, password);
        Statement schema = connection.prepare(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        schema.step();
        if (schema.columnInt64(0) > 0)
            return;
    } catch (const StoreError&) {
        // Reported below, as a copy that does not open.
    }
    QFile::remove(copy);
    throw StoreError(StoreError::Code::FileIo,
                     QStringLiteral("The backup copy \"%1\" does not open.").arg(copy));
}

} // namespace

QString backupFolderFor(const QString& file) {
    return QFileInfo(file).absolutePath() + QLatin1Char('/') + QLatin1String(BackupFolderName) +
           QLatin1Char('/');
}

QString backupPathFor(const QString& file, const QDateTime& taken, int sequence) {
    const auto [stem, extension] = splitName(file);
    QString name = stem + QLatin1Char(' ') + taken.toString(QLatin1String(TimeFormat));
    if (sequence > 1)
        name += QStringLiteral(" (%1)").arg(sequence);
    return backupFolderFor(file) + name + extension;
}

std::vector<BackupFile> listBackups(const QString& file) {
    const auto [stem, extension] = splitName(file);
    const QRegularExpression pattern(
        QLatin1Char('^') + QRegularExpression::escape(stem) +
        QStringLiteral(" (\\d{4}-\\d\\d-\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d)(?: \\((\\d+)\\))?") +
        QRegularExpression::escape(extension) + QLatin1Char('$'));
    std::vector<BackupFile> found;
    const QDir folder(backupFolderFor(file));
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files)) {
        const QRegularExpressionMatch match = pattern.match(info.fileName());
        if (!match.hasMatch())
            continue;
        BackupFile backup;
        backup.path = info.absoluteFilePath();
        backup.taken = QDateTime::fromString(match.captured(1), QLatin1String(TimeFormat));
        backup.sequence = match.captured(2).isEmpty() ? 1 : match.captured(2).toInt();
        backup.size = info.size();
        if (backup.taken.isValid())
            found.push_back(backup);
    }
    std::sort(found.begin(), found.end(), [](const BackupFile& a, const BackupFile& b) {
        return a.taken != b.taken ? a.taken > b.taken : a.sequence > b.sequence;
    });
    return found;
}

QStringList pruneBackups(const QString& file, int keep) {
    QStringList deleted;
    const std::vector<BackupFile> backups = listBackups(file);
    for (std::size_t i = std::size_t(std::max(keep, 1)); i < backups.size(); ++i) {
        if (QFile::remove(backups[i].path))
            deleted << backups[i].path;
    }
    return deleted;
}

QString writeBackup(const QString& file, const QString& password, const QDateTime& taken,
                    int keep) {
    const QString folder = backupFolderFor(file);
    if (!QDir().mkpath(folder))
        failFileIo(QStringLiteral("The folder \"%1\" could not be made").arg(folder), errno);
    // What an interrupted backup of this file left is no backup: it goes.
    const QString stem = splitName(file).first;
    for (const QString& partial : QDir(folder).entryList(
             {stem + QStringLiteral(" *") + QLatin1String(PartialSuffix)}, QDir::Files))
        QFile::remove(folder + partial);
    // After the newest of the same second: a number freed by pruning an older one of that second
    // is not taken again, or the new copy would sort as the oldest.
    const QDateTime second =
        QDateTime::fromString(taken.toString(QLatin1String(TimeFormat)), QLatin1String(TimeFormat));
    int sequence = 1;
    for (const BackupFile& backup : listBackups(file)) {
        if (backup.taken == second)
            sequence = std::max(sequence, backup.sequence + 1);
    }
    while (QFileInfo::exists(backupPathFor(file, taken, sequence)))
        ++sequence;
    const QString target = backupPathFor(file, taken, sequence);
    const QString partial = target + QLatin1String(PartialSuffix);
    {
        const ReadLock consistent(file, password);
        copyToNewFile(file, partial);
    }
    checkOpens(partial, password);
    renameInto(partial, target);
    pruneBackups(file, keep);
    return target;
}

QString stageReplacement(const QString& backup, const QString& file) {
    const QString staged = file + QStringLiteral(".restoring");
    QFile::remove(staged);
    copyToNewFile(backup, staged);
    return staged;
}

void putStagedInPlace(const QString& staged, const QString& file) {
    releaseConnection(file);
    renameInto(staged, file);
}

qint64 countRowsInFile(const QString& file, const QString& password, const QString& table) {
    try {
        Connection connection(file, password);
        if (!connection.isTable(table))
            return -1;
        Statement count =
            connection.prepare(QStringLiteral("SELECT count(*) FROM [%1]").arg(table));
        count.step();
        return count.columnInt64(0);
    } catch (const StoreError&) {
        return -1; // shown as a count that cannot be read
    }
}

} // namespace store
