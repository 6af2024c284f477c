#include "Clock.h"

namespace twl {

QDate SystemClock::today() const {
    return QDate::currentDate();
}

QDateTime SystemClock::now() const {
    const QDateTime current = QDateTime::currentDateTime();
    return QDateTime(current.date(), QTime(current.time().hour(), current.time().minute(),
                                           current.time().second()));
}

} // namespace twl
