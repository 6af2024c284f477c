#include "ValueText.h"

#include "common/Formats.h"

namespace reports {
namespace {

const QString Currency = QStringLiteral("\"$\"#,##0.00");
const QString CurrencyPlain = QStringLiteral("$##,##0.00");
const QString Count = QStringLiteral("##,###");
const QString TwoDecimals = QStringLiteral("###0.00");
const QString LongDate = QStringLiteral("mmmm d, yyyy");

} // namespace

bool isKnownFormat(const QString& format) {
    return format.isEmpty() || format == Currency || format == CurrencyPlain || format == Count ||
           format == TwoDecimals || format == LongDate;
}

QString defaultDate(const QDate& date) {
    return date.isValid() ? date.toString(QStringLiteral("M/d/yyyy")) : QString();
}

QString valueText(const store::Value& value, const QString& format) {
    if (value.isNull())
        return {};
    if (format == Currency || format == CurrencyPlain)
        return twl::format::currency(value.toDouble());
    if (format == Count)
        return twl::format::count(value.toInt());
    if (format == TwoDecimals)
        return twl::format::twoDecimals(value.toDouble());
    if (format == LongDate)
        return twl::format::longDate(value.toDate());
    if (value.kind() == store::Value::Kind::Date)
        return defaultDate(value.toDate());
    return value.toText();
}

} // namespace reports
