#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>
#include <concepts>
#include <cstddef>
#include <variant>

namespace store {

// Money as the engine keeps it: a whole number of ten-thousandths.
struct Currency {
    qint64 tenThousandths = 0;

    static Currency fromDouble(double value);
    double toDouble() const { return static_cast<double>(tenThousandths) / 10000.0; }
    friend auto operator<=>(const Currency&, const Currency&) = default;
};

// The types of the engine's fields.
enum class FieldType { Text, Integer, Number, Currency, Boolean, Date };

// A field value as the record sets carry it: null, boolean, integer, number, currency, date or
// text. Reading a null into a program variable gives empty text, 0 or false.
class Value {
public:
    enum class Kind { Null, Boolean, Integer, Number, Currency, Date, Text };

    Value() = default;
    // A boolean is written out: anything converts to bool, so an implicit one would take in a
    // stray pointer or number without a word.
    explicit Value(bool v) : m_data(v) {}
    template <std::same_as<bool> B> Value(B) = delete; // nor through int
    Value(int v) : m_data(static_cast<qint64>(v)) {}
    Value(qint64 v) : m_data(v) {}
    Value(double v) : m_data(v) {}
    Value(store::Currency v) : m_data(v) {}
    Value(const QDate& v) : m_data(v) {}
    Value(const QString& v) : m_data(v) {}
    // UTF-8 text, as the program's literals are written; a null pointer is a null value.
    Value(const char* utf8Text) {
        if (utf8Text)
            m_data = QString::fromUtf8(utf8Text);
    }
    // No other pointer is a value, and a character is not a number.
    Value(const void*) = delete;
    Value(std::nullptr_t) = delete;
    Value(char) = delete;

    Kind kind() const { return static_cast<Kind>(m_data.index()); }
    bool isNull() const { return kind() == Kind::Null; }
    bool isNumeric() const;

    // Program-variable reads: never fail; null and unconvertible values give empty, 0, false.
    QString toText() const;
    qint64 toInt() const; // rounded half to even, as the engine converts
    double toDouble() const;
    bool toBool() const;
    QDate toDate() const;
    store::Currency toCurrency() const;

    // The value converted for a field of the given type, as the engine does when a field is
    // set: "12" into an integer field is 12, empty text into a non-text field is null. Throws
    // StoreError (Conversion) for a value that is not of the type, (TooLong) for a text longer
    // than maxLength (0: no limit).
    Value convertedTo(FieldType type, int maxLength = 0) const;

    friend bool operator==(const Value& a, const Value& b) { return a.m_data == b.m_data; }

private:
    std::variant<std::monostate, bool, qint64, double, store::Currency, QDate, QString> m_data;
};

// Ordering as filters and sorts see it: null first, numbers by value, texts ignoring case,
// dates by day. Values of different kinds compare through numbers where both are numeric,
// otherwise through their texts.
int compareValues(const Value& a, const Value& b);

// Text in the engine's number forms: "12", "-3.5", "1,234.50", "$25.00" (the system locale's
// and the C locale's separators and currency sign are accepted). Returns false if not a number.
bool parseNumber(const QString& text, double* out);
// Text in a date form: ISO "yyyy-MM-dd", the system locale's short form, "M/d/yyyy".
bool parseDate(const QString& text, QDate* out);

} // namespace store
