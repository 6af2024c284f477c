#include "DetailsRules.h"

#include "store/RecordSet.h"
#include "store/Value.h"

#include <QLocale>
#include <cmath>

namespace twl {

namespace {

// Half to even, as the engine rounds a number into a whole-number field.
double roundHalfEven(double v) {
    const double lower = std::floor(v);
    const double diff = v - lower;
    if (diff != 0.5)
        return diff > 0.5 ? lower + 1.0 : lower;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

constexpr int TwipsPerPixel = 15;
constexpr int MarkerBelowTopTwips = 75;
constexpr int MarkerLeftOfBoxTwips = 200;

} // namespace

QPoint DetailsRules::errorMarkerPosition(const QPoint& boxTopLeft) {
    return boxTopLeft +
           QPoint(-MarkerLeftOfBoxTwips / TwipsPerPixel, MarkerBelowTopTwips / TwipsPerPixel);
}

qsizetype DetailsRules::characterCount(const QString& text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
            ++count;
    }
    return count;
}

bool DetailsRules::fitsLimit(const QString& text, int limit) {
    return characterCount(text) <= limit;
}

std::optional<qint16> DetailsRules::totalClasses(const QString& text) {
    double number = 0;
    if (!store::parseNumber(text, &number) || !std::isfinite(number))
        return std::nullopt;
    const double rounded = roundHalfEven(number);
    if (rounded < 1.0 || rounded > double(MaxClasses))
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

std::optional<QDate> DetailsRules::showDate(const QString& text) {
    QDate date;
    if (store::parseDate(text, &date) && date.isValid())
        return date;
    // The system's short form as Qt reads it, for forms the engine's reader does not cover.
    date = QLocale::system().toDate(text.trimmed(), QLocale::ShortFormat);
    if (date.isValid())
        return date;
    return std::nullopt;
}

QString DetailsRules::showDateText(const QDate& date) {
    if (!date.isValid())
        return {};
    QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return QLocale::system().toString(date, format);
}

std::optional<double> DetailsRules::membershipFee(const QString& text) {
    double fee = 0;
    if (!store::parseNumber(text, &fee) || !std::isfinite(fee))
        return std::nullopt;
    return fee;
}

std::optional<DetailsRules::Failure>
DetailsRules::checkShowInformation(const ShowBoxes& boxes, const EntriesAbove& entriesAbove) {
    for (int box = 0; box < ShowBoxCount; ++box) {
        const QString& text = boxes[size_t(box)];
        if (box == ShowDate) {
            if (!showDate(text))
                return Failure{box, false};
        } else if (box == ShowClasses) {
            const auto total = totalClasses(text);
            if (!total)
                return Failure{box, false};
            if (entriesAbove && entriesAbove(*total))
                return Failure{box, true};
        } else if (!fitsLimit(text, ShowLimits[size_t(box)])) {
            return Failure{box, false};
        }
    }
    return std::nullopt;
}

std::optional<DetailsRules::Failure> DetailsRules::checkOrganisation(const OrgBoxes& boxes) {
    for (int box = 0; box < OrgBoxCount; ++box) {
        const QString& text = boxes[size_t(box)];
        const bool passes = box == OrgFeeBox ? membershipFee(text).has_value()
                                             : fitsLimit(text, OrgLimits[size_t(box)]);
        if (!passes)
            return Failure{box, false};
    }
    return std::nullopt;
}

bool DetailsRules::entriesAboveClass(const QString& showConnString, int n) {
    store::RecordSet entries;
    entries.open(QStringLiteral("SELECT * FROM Entries_tbl WHERE [Class No] > ") +
                     QString::number(n),
                 showConnString);
    return entries.recordCount() > 0;
}

} // namespace twl
