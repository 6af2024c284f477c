#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace twl {

// One running instance of the program per program folder. The first instance holds a lock file
// named after the folder and listens on a local socket of the same name; a later one asks it to
// come to the front and gives way.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(const QString& appFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the first instance for the folder (it then listens for later ones);
    // false after the running instance has been asked to activate.
    bool claim();

    QString key() const { return m_key; }

signals:
    void activationRequested();

private:
    bool askRunningInstance() const;
    bool listen();
    void acceptConnections();
    void readRequest(QLocalSocket* socket);

    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace twl
