#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace twl {

// The hourglass for as long as it lives; nested ones restore in turn.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace twl
