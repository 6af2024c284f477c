#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace twl {

// One running instance of the program per program folder. The first instance listens on a
// local socket named after the folder; a later one asks it to come to the front and gives way.
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
    QLocalServer* m_server = nullptr;
};

} // namespace twl
