#pragma once

#include "BenchFolder.h"
#include "DataPassword.h"
#include "SampleData.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QString>
#include <stdexcept>

// A sample show written from the bench folder's template: `entries` entries of `exhibitors`
// exhibitors in 150 classes. Returns the show's path.
inline QString writeBenchShow(const BenchFolder& folder, const QString& name, int entries,
                              int exhibitors) {
    const QString show = folder.file(name);
    sample::ShowSample shape;
    shape.entries = entries;
    shape.exhibitors = exhibitors;
    if (!sample::writeSampleShow(folder.file(QStringLiteral("Base.dat")), show, dataFilePassword(),
                                 shape))
        throw std::runtime_error("cannot write the sample show");
    return show;
}

// Runs every pending event and timer that is due, until the event loop is idle.
inline void drainEvents() {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    do {
        QCoreApplication::sendPostedEvents();
    } while (dispatcher->processEvents(QEventLoop::AllEvents));
}
