#include "ChangeNotifier.h"

#include "ConnectionText.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <vector>

namespace store {

namespace {

// The notifiers that exist, in the order they were made. Like the connection cache this is a
// list of listeners on the program's connections, not program state.
std::vector<ChangeNotifier*>& listeners() {
    static std::vector<ChangeNotifier*> all;
    return all;
}

} // namespace

ChangeNotifier::ChangeNotifier(QObject* parent) : QObject(parent) {
    listeners().push_back(this);
}

ChangeNotifier::~ChangeNotifier() {
    auto& all = listeners();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

QString ChangeNotifier::fileOf(const QString& connectionText) {
    const QString file = parseConnectionText(connectionText).file;
    return file.isEmpty() ? QString() : QFileInfo(file).absoluteFilePath();
}

void publishCommittedChanges(const QString& file, const QSet<QString>& tables) {
    if (tables.isEmpty())
        return;
    QStringList names(tables.cbegin(), tables.cend());
    names.sort(Qt::CaseInsensitive);
    // A listener may go away (or another come) while the notice is handed round.
    std::vector<QPointer<ChangeNotifier>> now;
    for (ChangeNotifier* notifier : listeners())
        now.emplace_back(notifier);
    for (const QPointer<ChangeNotifier>& notifier : now) {
        if (!notifier)
            continue;
        if (notifier->thread() == QThread::currentThread()) {
            emit notifier->tablesChanged(file, names);
            continue;
        }
        // Notices belong to the thread that owns the notifier: a commit made on another thread
        // breaks that rule, which is said, and the notice goes to the owner's thread instead of
        // running its screens' handlers here.
        qCritical("A change notice for %s was published on a thread that does not own its "
                  "notifier; it is handed to the notifier's thread.",
                  qPrintable(file));
        ChangeNotifier* target = notifier.data();
        QMetaObject::invokeMethod(
            target, [target, file, names] { emit target->tablesChanged(file, names); },
            Qt::QueuedConnection);
    }
}

} // namespace store
