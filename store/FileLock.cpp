#include "FileLock.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

QString FileLock::lockFileName(const QString& file) {
    // One name however the folder is reached (relative path, symbolic link).
    const QFileInfo info(file);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName() +
           QStringLiteral(".lock");
}

namespace {

// How often a lock is tried again when its companion file was removed under it.
constexpr int LockAttempts = 10;

bool sameFile(int descriptor, const QByteArray& name) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(descriptor, &opened) == 0 && ::stat(name.constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

} // namespace

FileLock::FileLock(const QString& file) : m_file(file) {
    const QByteArray name = QFile::encodeName(lockFileName(file));
    for (int attempt = 0; attempt < LockAttempts; ++attempt) {
        // Close-on-exec: a program started from this one must not inherit the claim.
        int descriptor = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (descriptor < 0)
            descriptor = ::open(name.constData(), O_RDONLY | O_CLOEXEC); // locks work read-only
        if (descriptor < 0) {
            m_state = State::NotPossible;
            return;
        }
        int rc = 0;
        do {
            rc = ::flock(descriptor, LOCK_EX | LOCK_NB);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            m_state = errno == EWOULDBLOCK ? State::HeldElsewhere : State::NotPossible;
            ::close(descriptor);
            return;
        }
        // The holder before us removes the companion file as it lets go: a lock on a file that
        // no longer has the name guards nothing, so it is taken again on the file that does.
        if (!sameFile(descriptor, name)) {
            ::close(descriptor);
            continue;
        }
        m_descriptor = descriptor;
        m_state = State::Held;
        return;
    }
    m_state = State::NotPossible;
}

FileLock::~FileLock() {
    release();
}

FileLock::FileLock(FileLock&& other) noexcept
    : m_file(std::move(other.m_file)), m_descriptor(other.m_descriptor), m_state(other.m_state) {
    other.m_descriptor = -1;
    other.m_state = State::None;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        m_file = std::move(other.m_file);
        m_descriptor = other.m_descriptor;
        m_state = other.m_state;
        other.m_descriptor = -1;
        other.m_state = State::None;
    }
    return *this;
}

void FileLock::release() {
    if (m_descriptor >= 0) {
        // Removed while still held, so that nobody can lock the old file after us (a read-only
        // folder keeps it, which is harmless).
        ::unlink(QFile::encodeName(lockFileName(m_file)).constData());
        ::close(m_descriptor); // closing the only descriptor drops the lock
    }
    m_descriptor = -1;
    m_state = State::None;
}

} // namespace store
