#include "Money.h"

#include <QRegularExpression>

namespace twl::office {

namespace {

constexpr qint64 TenThousandthsPerCent = 100;

QString groupedDigits(quint64 whole) {
    QString digits = QString::number(whole);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

} // namespace

std::optional<Cents> parseAmount(const QString& text) {
    // Dollars with or without commas between groups of three, then up to two decimals; at most
    // nine digits of dollars, so that the sum below cannot overflow before the limit is checked.
    static const QRegularExpression amount(
        QStringLiteral("^\\$?\\s*(\\d{1,3}(?:,\\d{3}){1,2}|\\d{1,9})?(?:\\.(\\d{0,2}))?$"));
    const QRegularExpressionMatch match = amount.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    QString dollars = match.captured(1);
    QString decimals = match.captured(2);
    if (dollars.isEmpty() && decimals.isEmpty())
        return std::nullopt; // "", "$" or "."
    dollars.remove(QLatin1Char(','));
    const Cents cents =
        dollars.toLongLong() * 100 + decimals.leftJustified(2, QLatin1Char('0')).toLongLong();
    if (cents > LargestAmount)
        return std::nullopt;
    return cents;
}

QString moneyText(Cents cents) {
    const quint64 magnitude = cents < 0 ? quint64(0) - quint64(cents) : quint64(cents);
    const QString body = QLatin1Char('$') + groupedDigits(magnitude / 100) + QLatin1Char('.') +
                         QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
    return cents < 0 ? QLatin1Char('-') + body : body;
}

Cents centsOf(store::Currency amount) {
    const qint64 t = amount.tenThousandths;
    const qint64 half = TenThousandthsPerCent / 2;
    return (t >= 0 ? t + half : t - half) / TenThousandthsPerCent;
}

} // namespace twl::office
