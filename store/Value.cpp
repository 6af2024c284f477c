#include "Value.h"

#include "StoreError.h"

#include <QLocale>
#include <QTime>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace store {

namespace {

constexpr qint64 kIntegerMin = -32768;
constexpr qint64 kIntegerMax = 32767;
// The engine's money range: about +/- 922 trillion, the limit of the ten-thousandths count.
constexpr double kCurrencyLimit = 922337203685477.0;

// Round half to even, as the engine does when a number goes into a whole-number field.
double roundHalfEven(double v) {
    const double lower = std::floor(v);
    const double diff = v - lower;
    if (diff > 0.5)
        return lower + 1.0;
    if (diff < 0.5)
        return lower;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

qint64 clampToInt64(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= 9.2233720368547748e18)
        return std::numeric_limits<qint64>::max();
    if (v <= -9.2233720368547748e18)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(v);
}

qint64 currencyToIntHalfEven(qint64 tenThousandths) {
    qint64 whole = tenThousandths / 10000;
    qint64 rest = tenThousandths % 10000; // same sign as the amount
    if (rest < 0) {
        whole -= 1;
        rest += 10000;
    }
    if (rest > 5000 || (rest == 5000 && whole % 2 != 0))
        whole += 1;
    return whole;
}

QString numberText(double v) {
    if (v == 0.0)
        return QStringLiteral("0"); // also for -0
    // Fifteen significant digits print without an exponent below 1e15 ("1000000", "12.5").
    return QString::number(v, 'g', 15);
}

QString currencyText(Currency c) {
    const qint64 amount = c.tenThousandths;
    const quint64 magnitude =
        amount < 0 ? static_cast<quint64>(0) - static_cast<quint64>(amount) : quint64(amount);
    QString text = QString::number(magnitude / 10000);
    quint64 fraction = magnitude % 10000;
    if (fraction != 0) {
        QString digits = QStringLiteral("%1").arg(fraction, 4, 10, QLatin1Char('0'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += QLatin1Char('.') + digits;
    }
    return amount < 0 ? QLatin1Char('-') + text : text;
}

// "True"/"False", "Yes"/"No", "On"/"Off" in any case.
std::optional<bool> boolFromWord(QStringView text) {
    static constexpr std::array<const char*, 3> trueWords{"true", "yes", "on"};
    static constexpr std::array<const char*, 3> falseWords{"false", "no", "off"};
    for (const char* w : trueWords) {
        if (text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0)
            return true;
    }
    for (const char* w : falseWords) {
        if (text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0)
            return false;
    }
    return std::nullopt;
}

std::optional<bool> boolFromText(const QString& text) {
    const QString trimmed = text.trimmed();
    if (auto word = boolFromWord(trimmed))
        return word;
    double number = 0;
    if (parseNumber(trimmed, &number))
        return number != 0.0;
    return std::nullopt;
}

// ---- numbers in text ----

bool skipPrefix(QString& s, const QString& prefix) {
    if (prefix.isEmpty() || !s.startsWith(prefix))
        return false;
    s = s.mid(prefix.size()).trimmed();
    return true;
}

bool skipSuffix(QString& s, const QString& suffix) {
    if (suffix.isEmpty() || !s.endsWith(suffix))
        return false;
    s.chop(suffix.size());
    s = s.trimmed();
    return true;
}

bool skipCurrencySign(QString& s, const QString& localSign) {
    return skipPrefix(s, QStringLiteral("$")) || skipPrefix(s, localSign);
}

bool trailingCurrencySign(QString& s, const QString& localSign) {
    return skipSuffix(s, QStringLiteral("$")) || skipSuffix(s, localSign);
}

// A sign in front: '+', '-' or the system locale's own signs. Returns -1, +1 or 0 (no sign).
int skipSign(QString& s, const QLocale& system) {
    if (skipPrefix(s, QStringLiteral("-")) || skipPrefix(s, system.negativeSign()))
        return -1;
    if (skipPrefix(s, QStringLiteral("+")) || skipPrefix(s, system.positiveSign()))
        return 1;
    return 0;
}

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Digits with optional group separators (each followed by exactly three digits), an optional
// decimal point and fraction, and an optional exponent ("1e3"). Returns the plain C form
// ("1234.5") or nothing. An empty group means no separators are allowed.
std::optional<std::string> plainNumber(QStringView s, QStringView point, QStringView group) {
    std::string out;
    qsizetype i = 0;
    auto digitAt = [s](qsizetype at) { return at < s.size() && isAsciiDigit(s[at]); };
    auto takeDigits = [&]() {
        int n = 0;
        for (; digitAt(i); ++i, ++n)
            out += char(s[i].unicode());
        return n;
    };
    int digits = takeDigits();
    while (digits > 0 && !group.isEmpty() && s.mid(i).startsWith(group)) {
        i += group.size();
        const int run = takeDigits();
        if (run != 3)
            return std::nullopt;
        digits += run;
    }
    if (i < s.size() && s.mid(i).startsWith(point)) {
        i += point.size();
        out += '.';
        digits += takeDigits();
    }
    if (digits == 0)
        return std::nullopt;
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
        out += 'e';
        ++i;
        if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
            out += char(s[i++].unicode());
        if (takeDigits() == 0)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;
    return out;
}

std::optional<double> numberBody(const QString& s, const QLocale& system) {
    // The program's own form "12.5" first, so that a number's text always reads back as that
    // number, even where the system locale groups with a point. Then the system locale (where
    // "1,5" is one and a half), then the C form with groups, "1,234.50".
    const QString point = QStringLiteral(".");
    auto plain = plainNumber(s, point, QStringView());
    if (!plain)
        plain = plainNumber(s, system.decimalPoint(), system.groupSeparator());
    if (!plain)
        plain = plainNumber(s, point, QStringLiteral(","));
    if (!plain)
        return std::nullopt;
    double value = 0;
    const char* begin = plain->data();
    const char* end = begin + plain->size();
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// ---- dates in text ----

// The engine's two-digit years: 00-29 are 2000-2029, 30-99 are 1930-1999.
int fullYear(int year, qsizetype digits) {
    if (digits > 2)
        return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

// The order of day, month and year in a date format, e.g. "dMy" for "dd.MM.yy".
QString partOrder(const QString& format) {
    QString order;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted &&
                   (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) &&
                   !order.contains(c)) {
            order += c;
        }
    }
    return order;
}

// Three groups of digits separated by '/', '-', '.' or a blank, read in the given order.
QDate numericDate(const QString& text, const QString& order) {
    if (order.size() != 3)
        return {};
    std::array<QString, 3> parts;
    int part = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isAsciiDigit(c)) {
            parts[size_t(part)] += c;
        } else if (c == QLatin1Char('/') || c == QLatin1Char('-') || c == QLatin1Char('.') ||
                   c == QLatin1Char(' ')) {
            if (parts[size_t(part)].isEmpty() || ++part > 2)
                return {};
        } else {
            return {};
        }
    }
    if (part != 2 || parts[2].isEmpty())
        return {};
    int day = 0, month = 0, year = 0;
    for (size_t k = 0; k < 3; ++k) {
        const QString& p = parts[k];
        const int n = p.toInt();
        if (order[qsizetype(k)] == QLatin1Char('y')) {
            if (p.size() != 2 && p.size() != 4 && p.size() != 1)
                return {};
            year = fullYear(n, p.size());
        } else if (p.size() > 2) {
            return {};
        } else if (order[qsizetype(k)] == QLatin1Char('d')) {
            day = n;
        } else {
            month = n;
        }
    }
    return QDate(year, month, day); // invalid for impossible days
}

QDate isoDate(const QString& s) {
    if (s.size() < 10 || s[4] != QLatin1Char('-'))
        return {};
    const QDate date = QDate::fromString(s.left(10), Qt::ISODate);
    if (!date.isValid() || s.size() == 10)
        return date;
    // A stored date-and-time: "2024-05-01 00:00:00" or "2024-05-01T10:30".
    if (s[10] != QLatin1Char(' ') && s[10] != QLatin1Char('T'))
        return {};
    return QTime::fromString(s.mid(11), Qt::ISODate).isValid() ? date : QDate();
}

// The system locale's short format as written, for forms with month names ("d MMM yyyy").
QDate formattedDate(const QString& s, const QString& format) {
    QDate date = QDate::fromString(s, format);
    if (date.isValid())
        return date;
    if (!format.contains(QLatin1String("yyyy")))
        return {};
    QString shortYear = format;
    shortYear.replace(QLatin1String("yyyy"), QLatin1String("yy"));
    date = QDate::fromString(s, shortYear);
    if (date.isValid() && date.year() < 1930)
        date = date.addYears(100);
    return date;
}

// ---- conversions for fields ----

[[noreturn]] void conversionError(const QString& message) {
    throw StoreError(StoreError::Code::Conversion, message);
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The value as a number for a numeric field: null for blank text, an error for anything else
// that is not a number.
std::optional<double> numberForField(const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Boolean:
    case Value::Kind::Integer:
    case Value::Kind::Number:
    case Value::Kind::Currency:
        return v.toDouble();
    case Value::Kind::Text: {
        const QString text = v.toText().trimmed();
        if (text.isEmpty())
            return std::nullopt;
        double number = 0;
        if (!parseNumber(text, &number))
            conversionError(quoted(text) + QStringLiteral(" is not a number"));
        return number;
    }
    case Value::Kind::Date:
        conversionError(QStringLiteral("The date %1 is not a number").arg(v.toText()));
    case Value::Kind::Null:
        break;
    }
    return std::nullopt;
}

QString outOfRange(const QString& number) {
    return QStringLiteral("%1 is outside the range of a whole-number field (-32768 to 32767)")
        .arg(number);
}

Value toIntegerField(const Value& v) {
    if (v.kind() == Value::Kind::Integer) {
        const qint64 n = v.toInt();
        if (n < kIntegerMin || n > kIntegerMax)
            conversionError(outOfRange(QString::number(n)));
        return Value(n);
    }
    if (v.kind() == Value::Kind::Currency)
        return toIntegerField(Value(currencyToIntHalfEven(v.toCurrency().tenThousandths)));
    const auto number = numberForField(v);
    if (!number)
        return {};
    const double rounded = roundHalfEven(*number);
    if (rounded < double(kIntegerMin) || rounded > double(kIntegerMax))
        conversionError(outOfRange(v.toText()));
    return Value(static_cast<qint64>(rounded));
}

Value toNumberField(const Value& v) {
    const auto number = numberForField(v);
    if (!number)
        return {};
    if (!std::isfinite(*number))
        conversionError(quoted(v.toText()) + QStringLiteral(" is not a number"));
    return Value(*number);
}

Value toCurrencyField(const Value& v) {
    if (v.kind() == Value::Kind::Currency)
        return v;
    const auto number = numberForField(v);
    if (!number)
        return {};
    if (!(std::abs(*number) < kCurrencyLimit))
        conversionError(QStringLiteral("%1 is too large for a money field").arg(v.toText()));
    return Value(Currency::fromDouble(*number));
}

Value toBooleanField(const Value& v) {
    if (v.kind() == Value::Kind::Boolean)
        return v;
    if (v.isNumeric())
        return Value(v.toDouble() != 0.0);
    if (v.kind() == Value::Kind::Text) {
        const QString text = v.toText().trimmed();
        if (text.isEmpty())
            return {};
        if (const auto flag = boolFromText(text))
            return Value(*flag);
        conversionError(quoted(text) + QStringLiteral(" is not a yes/no value"));
    }
    conversionError(QStringLiteral("The date %1 is not a yes/no value").arg(v.toText()));
}

Value toDateField(const Value& v) {
    if (v.kind() == Value::Kind::Date)
        return v.toDate().isValid() ? v : Value(); // an invalid date means "no date"
    if (v.kind() == Value::Kind::Text) {
        const QString text = v.toText().trimmed();
        if (text.isEmpty())
            return {};
        QDate date;
        if (!parseDate(text, &date))
            conversionError(quoted(text) + QStringLiteral(" is not a date"));
        return Value(date);
    }
    conversionError(QStringLiteral("%1 is not a date").arg(v.toText()));
}

qsizetype characterCount(const QString& text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
            ++count;
    }
    return count;
}

Value toTextField(const Value& v, int maxLength) {
    const QString text = v.toText();
    if (maxLength > 0) {
        const qsizetype length = characterCount(text);
        if (length > maxLength)
            throw StoreError(StoreError::Code::TooLong,
                             QStringLiteral("The text %1 has %2 characters; the field holds at "
                                            "most %3")
                                 .arg(quoted(text))
                                 .arg(length)
                                 .arg(maxLength));
    }
    return Value(text);
}

// ---- ordering ----

template <typename T> int threeWay(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int compareNumbers(const Value& a, const Value& b) {
    using K = Value::Kind;
    if (a.kind() == K::Currency && b.kind() == K::Currency)
        return threeWay(a.toCurrency(), b.toCurrency());
    if (a.kind() != K::Number && b.kind() != K::Number && a.kind() != K::Currency &&
        b.kind() != K::Currency)
        return threeWay(a.toInt(), b.toInt()); // integers and booleans: exact
    return threeWay(a.toDouble(), b.toDouble());
}

int compareTexts(const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareMixed(const Value& a, const Value& b) {
    using K = Value::Kind;
    if (a.kind() == K::Text && b.isNumeric()) {
        double n = 0;
        if (parseNumber(a.toText(), &n))
            return compareNumbers(Value(n), b);
    } else if (b.kind() == K::Text && a.isNumeric()) {
        double n = 0;
        if (parseNumber(b.toText(), &n))
            return compareNumbers(a, Value(n));
    } else if (a.kind() == K::Date && b.kind() == K::Text) {
        QDate d;
        if (parseDate(b.toText(), &d))
            return threeWay(a.toDate().toJulianDay(), d.toJulianDay());
    } else if (b.kind() == K::Date && a.kind() == K::Text) {
        QDate d;
        if (parseDate(a.toText(), &d))
            return threeWay(d.toJulianDay(), b.toDate().toJulianDay());
    }
    return compareTexts(a.toText(), b.toText());
}

} // namespace

Currency Currency::fromDouble(double value) {
    if (!std::isfinite(value))
        return {};
    const double scaled = value * 10000.0;
    // A hair away from zero first, so that 1.00005 (stored as 1.0000499999...) still rounds up.
    const double nudged = scaled + std::copysign(std::abs(scaled) * 1e-13, scaled);
    return Currency{clampToInt64(std::round(nudged))};
}

bool Value::isNumeric() const {
    const Kind k = kind();
    return k == Kind::Boolean || k == Kind::Integer || k == Kind::Number || k == Kind::Currency;
}

QString Value::toText() const {
    switch (kind()) {
    case Kind::Null:
        return {};
    case Kind::Boolean:
        return std::get<bool>(m_data) ? QStringLiteral("True") : QStringLiteral("False");
    case Kind::Integer:
        return QString::number(std::get<qint64>(m_data));
    case Kind::Number:
        return numberText(std::get<double>(m_data));
    case Kind::Currency:
        return currencyText(std::get<store::Currency>(m_data));
    case Kind::Date:
        return std::get<QDate>(m_data).toString(Qt::ISODate);
    case Kind::Text:
        return std::get<QString>(m_data);
    }
    return {};
}

qint64 Value::toInt() const {
    switch (kind()) {
    case Kind::Boolean:
        return std::get<bool>(m_data) ? 1 : 0; // the engine stores yes/no as 1/0
    case Kind::Integer:
        return std::get<qint64>(m_data);
    case Kind::Number:
        return clampToInt64(roundHalfEven(std::get<double>(m_data)));
    case Kind::Currency:
        return currencyToIntHalfEven(std::get<store::Currency>(m_data).tenThousandths);
    case Kind::Text: {
        double n = 0;
        return parseNumber(std::get<QString>(m_data), &n) ? clampToInt64(roundHalfEven(n)) : 0;
    }
    case Kind::Null:
    case Kind::Date:
        break;
    }
    return 0;
}

double Value::toDouble() const {
    switch (kind()) {
    case Kind::Boolean:
        return std::get<bool>(m_data) ? 1.0 : 0.0;
    case Kind::Integer:
        return static_cast<double>(std::get<qint64>(m_data));
    case Kind::Number:
        return std::get<double>(m_data);
    case Kind::Currency:
        return std::get<store::Currency>(m_data).toDouble();
    case Kind::Text: {
        double n = 0;
        return parseNumber(std::get<QString>(m_data), &n) ? n : 0.0;
    }
    case Kind::Null:
    case Kind::Date:
        break;
    }
    return 0.0;
}

bool Value::toBool() const {
    switch (kind()) {
    case Kind::Boolean:
        return std::get<bool>(m_data);
    case Kind::Integer:
    case Kind::Number:
    case Kind::Currency:
        return toDouble() != 0.0;
    case Kind::Text:
        return boolFromText(std::get<QString>(m_data)).value_or(false);
    case Kind::Null:
    case Kind::Date:
        break;
    }
    return false;
}

QDate Value::toDate() const {
    if (kind() == Kind::Date)
        return std::get<QDate>(m_data);
    QDate date;
    if (kind() == Kind::Text && parseDate(std::get<QString>(m_data), &date))
        return date;
    return {};
}

Currency Value::toCurrency() const {
    switch (kind()) {
    case Kind::Currency:
        return std::get<store::Currency>(m_data);
    case Kind::Integer: {
        const qint64 n = std::get<qint64>(m_data);
        constexpr qint64 limit = std::numeric_limits<qint64>::max() / 10000;
        return n > limit || n < -limit ? store::Currency{} : store::Currency{n * 10000};
    }
    case Kind::Boolean:
    case Kind::Number:
    case Kind::Text: {
        const double n = toDouble();
        return std::abs(n) < kCurrencyLimit ? Currency::fromDouble(n) : store::Currency{};
    }
    case Kind::Null:
    case Kind::Date:
        break;
    }
    return {};
}

Value Value::convertedTo(FieldType type, int maxLength) const {
    if (isNull())
        return {};
    switch (type) {
    case FieldType::Text:
        return toTextField(*this, maxLength);
    case FieldType::Integer:
        return toIntegerField(*this);
    case FieldType::Number:
        return toNumberField(*this);
    case FieldType::Currency:
        return toCurrencyField(*this);
    case FieldType::Boolean:
        return toBooleanField(*this);
    case FieldType::Date:
        return toDateField(*this);
    }
    return {};
}

int compareValues(const Value& a, const Value& b) {
    using K = Value::Kind;
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    if (a.isNumeric() && b.isNumeric())
        return compareNumbers(a, b);
    if (a.kind() == K::Text && b.kind() == K::Text)
        return compareTexts(a.toText(), b.toText());
    if (a.kind() == K::Date && b.kind() == K::Date)
        return threeWay(a.toDate().toJulianDay(), b.toDate().toJulianDay());
    return compareMixed(a, b);
}

// Accepted: "12", "-3.5", "+7", "1,234.50", "$25.00", "-$5", "$-5", "($5.00)", "25 $", the
// system locale's separators, signs and currency sign, and an exponent ("1e3", "2.5E-2") so
// that the text of any number reads back as that number.
bool parseNumber(const QString& text, double* out) {
    const QLocale system = QLocale::system();
    const QString localSign = system.currencySymbol();
    QString s = text.trimmed();
    int sign = 0;
    if (s.size() > 2 && s.startsWith(QLatin1Char('(')) && s.endsWith(QLatin1Char(')'))) {
        s = s.mid(1, s.size() - 2).trimmed(); // accounting form for a negative amount
        sign = -1;
    }
    if (sign == 0)
        sign = skipSign(s, system);
    const bool hadCurrency = skipCurrencySign(s, localSign);
    if (sign == 0 && hadCurrency)
        sign = skipSign(s, system);
    if (!hadCurrency)
        trailingCurrencySign(s, localSign);
    const auto value = numberBody(s, system);
    if (!value)
        return false;
    if (out)
        *out = sign < 0 ? -*value : *value;
    return true;
}

bool parseDate(const QString& text, QDate* out) {
    const QString s = text.trimmed();
    if (s.isEmpty())
        return false;
    const QString systemFormat = QLocale::system().dateFormat(QLocale::ShortFormat);
    // Numbers alone follow the system's short form when it is itself numeric ("dd/MM/yyyy");
    // otherwise, and as a second try, the engine's own "M/d/yyyy".
    const bool namedMonths = systemFormat.contains(QLatin1String("MMM"));
    QDate date = isoDate(s);
    if (!date.isValid() && !namedMonths)
        date = numericDate(s, partOrder(systemFormat));
    if (!date.isValid())
        date = numericDate(s, QStringLiteral("Mdy"));
    if (!date.isValid() && namedMonths)
        date = formattedDate(s, systemFormat);
    if (!date.isValid())
        return false;
    if (out)
        *out = date;
    return true;
}

} // namespace store
