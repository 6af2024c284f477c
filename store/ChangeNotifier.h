#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace store {

// Says what a write changed once it has committed: the data file and the tables written (a
// rolled-back write says nothing). Every notifier hears every commit made through this program's
// connections, whoever made it; a screen keeps one and looks only at the files it shows. The
// notice comes on the thread that committed, before the committing call returns; that is the
// thread that owns the notifier (the program commits on its user-interface thread only). A
// commit on another thread is reported, and its notice is queued to the notifier's thread.
class ChangeNotifier : public QObject {
    Q_OBJECT
public:
    explicit ChangeNotifier(QObject* parent = nullptr);
    ~ChangeNotifier() override;
    ChangeNotifier(const ChangeNotifier&) = delete;
    ChangeNotifier& operator=(const ChangeNotifier&) = delete;

    // The file name a notice gives for the file of a connection text; empty when the text
    // names no file.
    static QString fileOf(const QString& connectionText);

signals:
    // `tables` as the statements named them, each once.
    void tablesChanged(const QString& file, const QStringList& tables);
};

// Tells every notifier that a commit on `file` changed `tables`. The store calls it.
void publishCommittedChanges(const QString& file, const QSet<QString>& tables);

} // namespace store
