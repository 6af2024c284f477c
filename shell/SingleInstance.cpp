#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace twl {

namespace {

constexpr QByteArrayView kActivateRequest("activate\n");
constexpr int kConnectTimeoutMs = 500;
constexpr int kWriteTimeoutMs = 1000;

QString folderKey(const QString& appFolder) {
    const QFileInfo info(appFolder);
    QString path = info.canonicalFilePath();
    if (path.isEmpty())
        path = QDir::cleanPath(info.absoluteFilePath());
#ifdef Q_OS_WIN
    path = path.toLower(); // the same folder may be spelled in any case
#endif
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("TWL-") + QString::fromLatin1(hash.toHex().left(16));
}

} // namespace

SingleInstance::SingleInstance(const QString& appFolder, QObject* parent)
    : QObject(parent), m_key(folderKey(appFolder)) {}

SingleInstance::~SingleInstance() {
    if (m_server)
        m_server->close();
}

bool SingleInstance::claim() {
    if (m_lock && m_lock->isLocked())
        return true;
    // The lock decides which instance runs; the local server only carries the request to come
    // forward. A lock left by an instance that crashed is taken over (its process is gone).
    m_lock = std::make_unique<QLockFile>(QDir::temp().filePath(m_key + QStringLiteral(".lock")));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        askRunningInstance();
        return false;
    }
    // Any server name left is from an instance that crashed.
    QLocalServer::removeServer(m_key);
    if (!listen())
        qWarning("SingleInstance: cannot listen on %s; a second instance cannot bring this one "
                 "forward",
                 qPrintable(m_key));
    return true;
}

bool SingleInstance::askRunningInstance() const {
    QLocalSocket socket;
    socket.connectToServer(m_key);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(kActivateRequest.data(), kActivateRequest.size());
    socket.waitForBytesWritten(kWriteTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen() {
    if (!m_server) {
        m_server = new QLocalServer(this);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    }
    return m_server->listen(m_key);
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        readRequest(socket);
        if (socket->state() == QLocalSocket::UnconnectedState)
            socket->deleteLater(); // gone before we saw it, so no disconnected() will follow
    }
}

void SingleInstance::readRequest(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        // A request is one short line; anything longer without a line end is not ours.
        if (socket->bytesAvailable() > kActivateRequest.size())
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(kActivateRequest.size() + 1);
    if (line == kActivateRequest)
        emit activationRequested();
    socket->disconnectFromServer();
}

} // namespace twl
