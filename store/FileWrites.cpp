#include "FileWrites.h"

#include "StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace store {

namespace {

using Code = StoreError::Code;

constexpr qint64 CopyBlock = 1 << 20;

QString temporaryPrefix(const QFileInfo& target) {
    return QLatin1Char('.') + target.fileName() + QStringLiteral(".writing-");
}

[[noreturn]] void failCopy(const QString& to, const QString& reason) {
    throw StoreError(Code::FileIo, QStringLiteral("\"%1\" could not be written: %2")
                                       .arg(QDir::toNativeSeparators(to), reason));
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString writeAll(QFileDevice& file, const QByteArray& bytes) {
    const int fd = file.handle();
    if (fd < 0)
        return file.errorString();
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        // A write that takes nothing, and says nothing, found no room.
        if (written <= 0)
            return systemReason(written < 0 ? errno : ENOSPC);
        done += written;
    }
    return {};
}

QString syncToDisk(QFileDevice& file) {
    const int fd = file.handle();
    if (fd < 0)
        return file.errorString();
    return ::fsync(fd) == 0 ? QString() : systemReason(errno);
}

QString syncFolderOf(const QString& file) {
    const int folder = ::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return {};
    const int rc = ::fsync(folder);
    const int error = errno;
    ::close(folder);
    return rc != 0 && error == EIO ? systemReason(error) : QString();
}

namespace {

// The copy's data, written whole and through to the disk.
void writeThrough(QFile& source, QTemporaryFile& copy, const QString& to) {
    for (QByteArray block; !(block = source.read(CopyBlock)).isEmpty();) {
        if (const QString reason = writeAll(copy, block); !reason.isEmpty())
            failCopy(to, reason);
    }
    if (source.error() != QFileDevice::NoError)
        throw StoreError(Code::FileIo, QStringLiteral("\"%1\" could not be read: %2")
                                           .arg(source.fileName(), source.errorString()));
    if (const QString reason = syncToDisk(copy); !reason.isEmpty())
        failCopy(to, reason);
}

} // namespace

void copyFileWhole(const QString& from, const QString& to, bool replace) {
    QFile source(from);
    if (!source.exists())
        throw StoreError(Code::FileMissing,
                         QStringLiteral("The file \"%1\" does not exist.").arg(from));
    if (!source.open(QIODevice::ReadOnly))
        throw StoreError(
            Code::FileIo,
            QStringLiteral("\"%1\" could not be read: %2").arg(from, source.errorString()));
    const QFileInfo target(to);
    QTemporaryFile copy(
        target.absoluteDir().filePath(temporaryPrefix(target) + QStringLiteral("XXXXXX")));
    if (!copy.open()) // written through its handle only: nothing is buffered
        failCopy(to, copy.errorString());
    writeThrough(source, copy, to);
    copy.setPermissions(source.permissions());
    const QByteArray temporaryName = QFile::encodeName(copy.fileName());
    const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());
    // A second name that cannot exist already, then the temporary one goes; or the temporary
    // takes the place of the file in one step.
    const int rc = replace ? ::rename(temporaryName.constData(), targetName.constData())
                           : ::link(temporaryName.constData(), targetName.constData());
    if (rc != 0)
        failCopy(to, systemReason(errno));
    if (replace)
        copy.setAutoRemove(false);
    if (const QString reason = syncFolderOf(to); !reason.isEmpty())
        failCopy(to, reason);
}

QStringList removeLeftoverTemporaries(const QString& file) {
    const QFileInfo target(file);
    const QString prefix = temporaryPrefix(target);
    const QRegularExpression pattern(QLatin1Char('^') + QRegularExpression::escape(prefix) +
                                     QStringLiteral("[A-Za-z0-9]{6}$"));
    QStringList removed;
    const QFileInfoList candidates = target.absoluteDir().entryInfoList(
        {prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& candidate : candidates) {
        if (pattern.match(candidate.fileName()).hasMatch() &&
            QFile::remove(candidate.absoluteFilePath()))
            removed << candidate.absoluteFilePath();
    }
    return removed;
}

} // namespace store
