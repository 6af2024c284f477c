#include "Formats.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace twl::format {

namespace {

// Digits of a whole number with a comma before every group of three.
QString groupedDigits(quint64 magnitude) {
    QString digits = QString::number(magnitude);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

// A number rounded half away from zero to hundredths, as whole cents. The hair added first
// makes amounts such as 2.675 (stored as 2.67499999...) round up as they were typed.
qint64 hundredths(double value) {
    const double scaled = value * 100.0;
    const double nudged = scaled + std::copysign(std::abs(scaled) * 1e-13, scaled);
    const double rounded = std::round(nudged);
    constexpr double limit = 9.2e18;
    if (std::isnan(rounded))
        return 0;
    if (std::abs(rounded) >= limit)
        return rounded < 0 ? -qint64(limit) : qint64(limit);
    return static_cast<qint64>(rounded);
}

quint64 magnitudeOf(qint64 value) {
    return value < 0 ? quint64(0) - quint64(value) : quint64(value);
}

QString centsPart(quint64 cents) {
    return QStringLiteral("%1").arg(cents % 100, 2, 10, QLatin1Char('0'));
}

} // namespace

QString currency(double value) {
    const qint64 cents = hundredths(value);
    const quint64 magnitude = magnitudeOf(cents);
    const QString body =
        QLatin1Char('$') + groupedDigits(magnitude / 100) + QLatin1Char('.') + centsPart(magnitude);
    return cents < 0 ? QLatin1Char('-') + body : body;
}

QString count(qint64 value) {
    if (value == 0)
        return {};
    const QString digits = groupedDigits(magnitudeOf(value));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

QString twoDecimals(double value) {
    const qint64 cents = hundredths(value);
    const quint64 magnitude = magnitudeOf(cents);
    const QString body = QString::number(magnitude / 100) + QLatin1Char('.') + centsPart(magnitude);
    return cents < 0 ? QLatin1Char('-') + body : body;
}

QString longDate(const QDate& date) {
    if (!date.isValid())
        return {};
    return QLocale(QLocale::English, QLocale::UnitedStates)
        .toString(date, QStringLiteral("MMMM d, yyyy"));
}

QString shortDate(const QDate& date) {
    if (!date.isValid())
        return {};
    return date.toString(QStringLiteral("MM-dd-yy"));
}

QString rightAligned(const QString& text, int width) {
    return text.rightJustified(width, QLatin1Char(' '));
}

QString rightAligned(qint64 value, int width) {
    return rightAligned(QString::number(value), width);
}

} // namespace twl::format
