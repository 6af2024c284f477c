#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sched.h>
#include <sys/mount.h>

// A tiny file system of its own, mounted over a folder for one test and filled to the last
// block: a full disk. Mounting needs the right to do so; without it `mounted()` is false.
class FullDisk {
public:
    // `size` as the file system takes it ("64k", "1m"): room for what the test puts there first.
    explicit FullDisk(const QString& folder, const char* size = "64k")
        : m_folder(QFile::encodeName(folder)) {
        // In a mount namespace of its own the disk is never seen outside this test process,
        // and goes away with it.
        if (::unshare(CLONE_NEWNS) == 0)
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
        const QByteArray options = QByteArray("size=") + size;
        m_mounted = ::mount("tmpfs", m_folder.constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~FullDisk() {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    // Writes a filler file until the disk takes no more; true when it is full.
    bool fill() const {
        QFile filler(QFile::decodeName(m_folder) + "/filler");
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'f');
        for (int i = 0; i < 65536; ++i) {
            if (filler.write(block) != block.size())
                return true;
        }
        return false;
    }

    // Gives back some of a filled disk: a write of more than that finds room for part of it.
    bool leaveFree(qint64 bytes) const {
        QFile filler(QFile::decodeName(m_folder) + "/filler");
        return filler.resize(filler.size() - bytes);
    }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};
