#include "Clock.h"

namespace twl {

QDate SystemClock::today() const {
    return QDate::currentDate();
}

} // namespace twl
