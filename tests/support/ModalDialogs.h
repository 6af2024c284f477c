#pragma once

#include <QApplication>
#include <QTimer>

// Acts on the next modal dialog of the given kind as soon as it is up; `act` returns false to
// be asked again a moment later (a dialog that fills itself after it is shown). Tests start
// it before the command that shows the dialog, which then runs its own event loop.
template <typename Dialog, typename Act> void onModal(Act act) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog && act(*dialog)) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start();
}
