#include "shell/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

using namespace twl;

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void secondInstanceActivatesFirst() {
        SingleInstance first(m_dir.path());
        QSignalSpy activated(&first, &SingleInstance::activationRequested);
        QVERIFY(first.claim());
        SingleInstance second(m_dir.path() + "/./");
        QCOMPARE(second.key(), first.key());
        QVERIFY(!second.claim());
        QTRY_COMPARE(activated.count(), 1);

        SingleInstance third(m_dir.path());
        QVERIFY(!third.claim());
        QTRY_COMPARE(activated.count(), 2);
    }

    void differentFoldersBothClaim() {
        QTemporaryDir other;
        SingleInstance first(m_dir.path());
        SingleInstance second(other.path());
        QVERIFY(first.key() != second.key());
        QVERIFY(first.claim());
        QVERIFY(second.claim());
    }

    void claimAfterFirstIsGone() {
        auto first = std::make_unique<SingleInstance>(m_dir.path());
        QVERIFY(first->claim());
        first.reset();
        SingleInstance next(m_dir.path());
        QVERIFY(next.claim());
        QVERIFY(!SingleInstance(m_dir.path()).claim());
    }

#ifdef Q_OS_UNIX
    void staleSocketDoesNotBlock() {
        const QString socketPath =
            QDir(QDir::tempPath()).filePath(SingleInstance(m_dir.path()).key());
        {
            SingleInstance crashed(m_dir.path());
            QVERIFY(crashed.claim());
            QVERIFY(QFile::exists(socketPath));
        }
        leaveStaleSocket(socketPath);
        QVERIFY(QFile::exists(socketPath));

        SingleInstance next(m_dir.path());
        QSignalSpy activated(&next, &SingleInstance::activationRequested);
        QVERIFY(next.claim());
        QVERIFY(!SingleInstance(m_dir.path()).claim());
        QTRY_COMPARE(activated.count(), 1);
    }
#endif

private:
#ifdef Q_OS_UNIX
    // What a crashed instance leaves behind: a socket file nobody listens on.
    static void leaveStaleSocket(const QString& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        QVERIFY(size_t(name.size()) < sizeof(address.sun_path));
        qstrcpy(address.sun_path, name.constData());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        const int bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::close(fd);
        QCOMPARE(bound, 0);
    }
#endif

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
