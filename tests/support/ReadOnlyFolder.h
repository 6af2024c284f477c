#pragma once

#include <QFile>
#include <QString>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

// Makes a folder unwritable for the test, even for root (by the immutable flag), and undoes it.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& path) : m_path(path) {
        m_oldPermissions = QFile::permissions(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        if (!writable())
            return;
#ifdef Q_OS_LINUX
        setImmutable(true);
#endif
    }
    ~ReadOnlyFolder() {
#ifdef Q_OS_LINUX
        if (m_immutable)
            setImmutable(false);
#endif
        QFile::setPermissions(m_path, m_oldPermissions);
    }
    bool writable() const {
        QFile probe(m_path + "/probe");
        const bool ok = probe.open(QIODevice::WriteOnly);
        if (ok)
            probe.remove();
        return ok;
    }

private:
#ifdef Q_OS_LINUX
    void setImmutable(bool on) {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return;
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0)
                m_immutable = on;
        }
        ::close(fd);
    }
    bool m_immutable = false;
#endif
    QString m_path;
    QFile::Permissions m_oldPermissions;
};
