#include "Schedules.h"

#include "store/Value.h"

#include <cmath>
#include <limits>

namespace twl::Schedules {

bool cellAccepted(const QString& text) {
    double number = 0;
    return store::parseNumber(text, &number) && number >= 0;
}

Rgb payoutBackground(bool isPercent) {
    return isPercent ? PercentBackground : DollarBackground;
}

std::optional<qint16> cutOffFromText(const QString& text) {
    double number = 0;
    if (!store::parseNumber(text, &number))
        return std::nullopt;
    const double whole = std::nearbyint(number); // half to even in the default rounding mode
    if (whole < std::numeric_limits<qint16>::min() || whole > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(whole);
}

std::optional<double> multiplierFromText(const QString& text) {
    double number = 0;
    if (!store::parseNumber(text, &number))
        return std::nullopt;
    return number;
}

} // namespace twl::Schedules
