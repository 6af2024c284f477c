#include "Filter.h"

#include "StoreError.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

namespace store {

enum class CompareOp { Equal, NotEqual, Less, Greater, LessOrEqual, GreaterOrEqual, Like, NotLike };

struct Filter::Node {
    virtual ~Node() = default;
    virtual bool matches(const FilterRow& row) const = 0;
};

std::optional<std::string_view> FilterRow::utf8(int) const {
    return std::nullopt;
}

namespace {

using NodePtr = std::unique_ptr<Filter::Node>;

// Deeper nesting than this is not a filter anyone writes; refusing it keeps the parser's
// recursion bounded.
constexpr int kMaxNesting = 100;

// ---- errors ----

[[noreturn]] void syntaxError(const QString& text, const QString& what, qsizetype position) {
    const QString where = position >= text.size()
                              ? QStringLiteral("at the end")
                              : QStringLiteral("at character %1").arg(position + 1);
    throw StoreError(
        StoreError::Code::FilterSyntax,
        QStringLiteral("The text \"%1\" cannot be read (%2): %3.").arg(text, where, what));
}

[[noreturn]] void unknownField(const QString& text, const QString& name) {
    throw StoreError(StoreError::Code::UnknownField,
                     QStringLiteral("The text \"%1\" names the field \"%2\", which the record set "
                                    "does not have.")
                         .arg(text, name));
}

// ---- evaluation ----

int threeWay(double a, double b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

bool holds(CompareOp op, int order) {
    switch (op) {
    case CompareOp::Equal:
        return order == 0;
    case CompareOp::NotEqual:
        return order != 0;
    case CompareOp::Less:
        return order < 0;
    case CompareOp::Greater:
        return order > 0;
    case CompareOp::LessOrEqual:
        return order <= 0;
    case CompareOp::GreaterOrEqual:
        return order >= 0;
    case CompareOp::Like:
    case CompareOp::NotLike:
        break;
    }
    return false;
}

// Values by field index; a field beyond the row's end is null.
class ValueRow final : public FilterRow {
public:
    explicit ValueRow(std::span<const Value> values) : m_values(values) {}
    Value value(int field) const override {
        return static_cast<size_t>(field) < m_values.size() ? m_values[static_cast<size_t>(field)]
                                                            : Value();
    }

private:
    std::span<const Value> m_values;
};

// ---- ASCII texts ----
// Case folding turns A to Z into a to z and no other ASCII character, and no character outside
// ASCII into one inside it once folded, so an ASCII text against an ASCII pattern compares
// byte by byte with the capitals lowered, exactly as the folded texts would.

bool isAsciiText(std::string_view text) {
    unsigned char any = 0;
    for (char c : text)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

bool isAsciiText(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

inline char loweredAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

// `folded` is lower case already.
bool equalsFolded(std::string_view text, std::string_view folded) {
    if (text.size() != folded.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (loweredAscii(text[i]) != folded[i])
            return false;
    }
    return true;
}

int compareFolded(std::string_view text, std::string_view folded) {
    const size_t n = std::min(text.size(), folded.size());
    for (size_t i = 0; i < n; ++i) {
        const char x = loweredAscii(text[i]);
        if (x != folded[i])
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(folded[i]) ? -1 : 1;
    }
    return text.size() == folded.size() ? 0 : (text.size() < folded.size() ? -1 : 1);
}

// Where `folded` (not empty, lower case) first occurs in text from `from` on, or npos.
size_t findFolded(std::string_view text, std::string_view folded, size_t from) {
    if (folded.size() > text.size())
        return std::string_view::npos;
    const char first = folded.front();
    const size_t lastStart = text.size() - folded.size();
    for (size_t at = from; at <= lastStart; ++at) {
        if (loweredAscii(text[at]) == first && equalsFolded(text.substr(at, folded.size()), folded))
            return at;
    }
    return std::string_view::npos;
}

class AllOf : public Filter::Node {
public:
    explicit AllOf(std::vector<NodePtr> parts) : m_parts(std::move(parts)) {}
    bool matches(const FilterRow& row) const override {
        return std::all_of(m_parts.begin(), m_parts.end(),
                           [&row](const NodePtr& p) { return p->matches(row); });
    }

private:
    std::vector<NodePtr> m_parts;
};

class AnyOf : public Filter::Node {
public:
    explicit AnyOf(std::vector<NodePtr> parts) : m_parts(std::move(parts)) {}
    bool matches(const FilterRow& row) const override {
        return std::any_of(m_parts.begin(), m_parts.end(),
                           [&row](const NodePtr& p) { return p->matches(row); });
    }

private:
    std::vector<NodePtr> m_parts;
};

class NullTest : public Filter::Node {
public:
    NullTest(int field, bool wantNull) : m_field(field), m_wantNull(wantNull) {}
    bool matches(const FilterRow& row) const override {
        return row.value(m_field).isNull() == m_wantNull;
    }

private:
    int m_field;
    bool m_wantNull;
};

// Whole numbers, numbers, money and yes/no fields: compared as numbers, no text work per row.
class NumberCompare : public Filter::Node {
public:
    NumberCompare(int field, CompareOp op, double literal)
        : m_field(field), m_op(op), m_literal(literal), m_value(literal) {}
    bool matches(const FilterRow& row) const override {
        const Value v = row.value(m_field);
        if (v.isNull())
            return false;
        if (v.isNumeric())
            return holds(m_op, threeWay(v.toDouble(), m_literal));
        return holds(m_op, compareValues(v, m_value));
    }

private:
    int m_field;
    CompareOp m_op;
    double m_literal;
    Value m_value;
};

class DateCompare : public Filter::Node {
public:
    DateCompare(int field, CompareOp op, const QDate& literal)
        : m_field(field), m_op(op), m_day(literal.toJulianDay()), m_value(literal) {}
    bool matches(const FilterRow& row) const override {
        const Value v = row.value(m_field);
        if (v.isNull())
            return false;
        if (v.kind() == Value::Kind::Date) {
            const qint64 day = v.toDate().toJulianDay();
            return holds(m_op, day < m_day ? -1 : (day > m_day ? 1 : 0));
        }
        return holds(m_op, compareValues(v, m_value));
    }

private:
    int m_field;
    CompareOp m_op;
    qint64 m_day;
    Value m_value;
};

class TextCompare : public Filter::Node {
public:
    TextCompare(int field, CompareOp op, const QString& literal)
        : m_field(field), m_op(op), m_literal(literal) {
        if (isAsciiText(literal))
            m_asciiFolded = literal.toCaseFolded().toStdString();
    }
    bool matches(const FilterRow& row) const override {
        if (m_asciiFolded) {
            if (const std::optional<std::string_view> text = row.utf8(m_field);
                text && isAsciiText(*text))
                return holds(m_op, compareFolded(*text, *m_asciiFolded));
        }
        const Value v = row.value(m_field);
        if (v.isNull())
            return false;
        const int c = QString::compare(v.toText(), m_literal, Qt::CaseInsensitive);
        return holds(m_op, c < 0 ? -1 : (c > 0 ? 1 : 0));
    }

private:
    int m_field;
    CompareOp m_op;
    QString m_literal;
    std::optional<std::string> m_asciiFolded; // an ASCII literal, folded
};

// LIKE: '*' and '%' stand for any run of characters; "[c]" is the character c itself (so "[*]",
// "[%]" and "[[]" search for those characters); the rest must match ignoring case, over the
// whole value.
class LikeMatch : public Filter::Node {
public:
    LikeMatch(int field, bool negated, const QString& pattern)
        : m_field(field), m_negated(negated) {
        const QString folded = pattern.toCaseFolded();
        auto isWild = [](QChar c) { return c == QLatin1Char('*') || c == QLatin1Char('%'); };
        QString segment;
        bool lastWasWild = false;
        for (qsizetype i = 0; i < folded.size(); ++i) {
            const QChar c = folded[i];
            const bool escaped =
                c == QLatin1Char('[') && i + 2 < folded.size() && folded[i + 2] == QLatin1Char(']');
            if (escaped) {
                segment += folded[i + 1];
                i += 2;
                lastWasWild = false;
            } else if (!isWild(c)) {
                segment += c;
                lastWasWild = false;
            } else {
                m_hasWildcard = true;
                if (i == 0)
                    m_openStart = true;
                lastWasWild = true;
                if (!segment.isEmpty()) {
                    m_segments.push_back(segment);
                    segment.clear();
                }
            }
        }
        m_openEnd = lastWasWild;
        if (!segment.isEmpty() || m_segments.empty())
            m_segments.push_back(segment);
        m_asciiSegments = std::all_of(m_segments.begin(), m_segments.end(),
                                      [](const QString& s) { return isAsciiText(s); });
        if (m_asciiSegments) {
            for (const QString& s : m_segments)
                m_asciiFolded.push_back(s.toStdString());
        }
    }
    bool matches(const FilterRow& row) const override {
        if (m_asciiSegments) {
            if (const std::optional<std::string_view> text = row.utf8(m_field);
                text && isAsciiText(*text))
                return matchesAscii(*text) != m_negated;
        }
        const Value v = row.value(m_field);
        if (v.isNull())
            return false;
        return matchesText(v.toText()) != m_negated;
    }

private:
    // matchesText for an ASCII text and pattern, on the bytes.
    bool matchesAscii(std::string_view text) const {
        if (!m_hasWildcard)
            return equalsFolded(text, m_asciiFolded.front());
        size_t first = 0;
        size_t last = m_asciiFolded.size();
        size_t pos = 0;
        size_t limit = text.size();
        if (!m_openStart) {
            const std::string& head = m_asciiFolded.front();
            if (text.size() < head.size() || !equalsFolded(text.substr(0, head.size()), head))
                return false;
            pos = head.size();
            first = 1;
        }
        if (!m_openEnd) {
            const std::string& tail = m_asciiFolded.back();
            if (text.size() - pos < tail.size() ||
                !equalsFolded(text.substr(text.size() - tail.size()), tail))
                return false;
            limit = text.size() - tail.size();
            last -= 1;
        }
        for (size_t i = first; i < last; ++i) {
            const std::string& segment = m_asciiFolded[i];
            if (segment.empty())
                continue;
            const size_t at = findFolded(text, segment, pos);
            if (at == std::string_view::npos || at + segment.size() > limit)
                return false;
            pos = at + segment.size();
        }
        return true;
    }

    bool matchesText(QStringView text) const {
        constexpr auto ci = Qt::CaseInsensitive;
        if (!m_hasWildcard)
            return text.compare(m_segments.front(), ci) == 0;
        size_t first = 0;
        size_t last = m_segments.size();
        qsizetype pos = 0;
        qsizetype limit = text.size();
        if (!m_openStart) {
            if (!text.startsWith(m_segments.front(), ci))
                return false;
            pos = m_segments.front().size();
            first = 1;
        }
        if (!m_openEnd) {
            const QString& tail = m_segments.back();
            if (text.size() - pos < tail.size() || !text.endsWith(tail, ci))
                return false;
            limit = text.size() - tail.size();
            last -= 1;
        }
        for (size_t i = first; i < last; ++i) {
            const qsizetype at = text.indexOf(m_segments[i], pos, ci);
            if (at < 0 || at + m_segments[i].size() > limit)
                return false;
            pos = at + m_segments[i].size();
        }
        return true;
    }

    int m_field;
    bool m_negated;
    bool m_hasWildcard = false;
    bool m_openStart = false;
    bool m_openEnd = false;
    std::vector<QString> m_segments;
    bool m_asciiSegments = false;
    std::vector<std::string> m_asciiFolded; // m_segments in UTF-8 when all are ASCII
};

// ---- tokens ----

enum class Tok { Field, Word, Text, Number, Date, Op, LParen, RParen, End };

struct Token {
    Tok type = Tok::End;
    QString text; // field name, word, text literal or the number as written
    qsizetype position = 0;
    CompareOp op = CompareOp::Equal;
    double number = 0;
    QDate date;
};

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// A date between #...#: ISO "2024-05-01" or the engine's "M/d/yyyy" whatever the system locale.
QDate literalDate(const QString& text) {
    const QString s = text.trimmed();
    QDate date = QDate::fromString(s, Qt::ISODate);
    if (date.isValid())
        return date;
    const QStringList parts = s.split(QLatin1Char('/'));
    if (parts.size() != 3)
        return {};
    bool ok[3] = {false, false, false};
    const int month = parts[0].toInt(&ok[0]);
    const int day = parts[1].toInt(&ok[1]);
    int year = parts[2].toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || parts[0].size() > 2 || parts[1].size() > 2)
        return {};
    if (parts[2].size() == 2)
        year += year < 30 ? 2000 : 1900; // the engine's two-digit year window
    else if (parts[2].size() != 4)
        return {};
    return QDate(year, month, day);
}

class Lexer {
public:
    explicit Lexer(const QString& text) : m_text(text) {}

    std::vector<Token> tokens() {
        std::vector<Token> out;
        for (;;) {
            while (m_pos < m_text.size() && m_text[m_pos].isSpace())
                ++m_pos;
            if (m_pos >= m_text.size())
                break;
            out.push_back(next());
        }
        Token end;
        end.position = m_text.size();
        out.push_back(end);
        return out;
    }

private:
    Token next() {
        const QChar c = m_text[m_pos];
        Token t;
        t.position = m_pos;
        if (c == QLatin1Char('(') || c == QLatin1Char(')')) {
            t.type = c == QLatin1Char('(') ? Tok::LParen : Tok::RParen;
            ++m_pos;
        } else if (c == QLatin1Char('[')) {
            t.type = Tok::Field;
            t.text = delimited(QLatin1Char(']'), QStringLiteral("a field name"));
        } else if (c == QLatin1Char('`')) {
            t.type = Tok::Field;
            t.text = delimited(QLatin1Char('`'), QStringLiteral("a field name"));
        } else if (c == QLatin1Char('\'')) {
            t.type = Tok::Text;
            t.text = quotedText();
        } else if (c == QLatin1Char('#')) {
            t.type = Tok::Date;
            t.text = delimited(QLatin1Char('#'), QStringLiteral("a date"));
            t.date = literalDate(t.text);
            if (!t.date.isValid())
                syntaxError(m_text, QStringLiteral("#%1# is not a date").arg(t.text), t.position);
        } else if (c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('=')) {
            t.type = Tok::Op;
            t.op = comparison();
            t.text = m_text.mid(t.position, m_pos - t.position);
        } else if (startsNumber()) {
            return number();
        } else if (isNameChar(c)) {
            t.type = Tok::Word;
            t.text = word();
        } else {
            syntaxError(m_text, QStringLiteral("the character '%1' is not expected").arg(c), m_pos);
        }
        return t;
    }

    QString delimited(QChar close, const QString& what) {
        const qsizetype start = m_pos;
        const qsizetype end = m_text.indexOf(close, start + 1);
        if (end < 0)
            syntaxError(m_text, what + QStringLiteral(" has no closing ") + close, start);
        m_pos = end + 1;
        const QString inside = m_text.mid(start + 1, end - start - 1);
        if (inside.trimmed().isEmpty())
            syntaxError(m_text, QStringLiteral("%1 is empty").arg(what), start);
        return inside;
    }

    QString quotedText() {
        const qsizetype start = m_pos++;
        QString out;
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos++];
            if (c != QLatin1Char('\''))
                out += c;
            else if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('\''))
                out += m_text[m_pos++]; // '' is one quote
            else
                return out;
        }
        syntaxError(m_text, QStringLiteral("the text has no closing quote"), start);
    }

    CompareOp comparison() {
        const QChar c = m_text[m_pos++];
        const QChar n = m_pos < m_text.size() ? m_text[m_pos] : QChar();
        if (c == QLatin1Char('=')) {
            return CompareOp::Equal;
        }
        if (c == QLatin1Char('<')) {
            if (n == QLatin1Char('>') || n == QLatin1Char('=')) {
                ++m_pos;
                return n == QLatin1Char('>') ? CompareOp::NotEqual : CompareOp::LessOrEqual;
            }
            return CompareOp::Less;
        }
        if (n == QLatin1Char('=')) {
            ++m_pos;
            return CompareOp::GreaterOrEqual;
        }
        return CompareOp::Greater;
    }

    bool startsNumber() const {
        qsizetype i = m_pos;
        if (m_text[i] == QLatin1Char('+') || m_text[i] == QLatin1Char('-'))
            ++i;
        if (i < m_text.size() && m_text[i] == QLatin1Char('.'))
            ++i;
        return i < m_text.size() && isDigit(m_text[i]);
    }

    // A number: optional sign, digits, optional decimals. A run like "1st" is a bare name.
    Token number() {
        Token t;
        t.position = m_pos;
        const qsizetype start = m_pos;
        const bool signed_ = !isDigit(m_text[m_pos]) && m_text[m_pos] != QLatin1Char('.');
        if (signed_)
            ++m_pos;
        skipDigits();
        const bool decimals = m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('.');
        if (decimals) {
            ++m_pos;
            skipDigits();
        }
        if (m_pos < m_text.size() && isNameChar(m_text[m_pos])) {
            if (signed_ || decimals)
                syntaxError(m_text, QStringLiteral("a number is expected"), start);
            m_pos = start;
            t.type = Tok::Word;
            t.text = word();
            return t;
        }
        t.type = Tok::Number;
        t.text = m_text.mid(start, m_pos - start);
        const std::string ascii = t.text.toStdString();
        const char* begin = ascii.data() + (ascii.front() == '+' ? 1 : 0);
        std::from_chars(begin, ascii.data() + ascii.size(), t.number);
        return t;
    }

    void skipDigits() {
        while (m_pos < m_text.size() && isDigit(m_text[m_pos]))
            ++m_pos;
    }

    QString word() {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && isNameChar(m_text[m_pos]))
            ++m_pos;
        return m_text.mid(start, m_pos - start);
    }

    const QString& m_text;
    qsizetype m_pos = 0;
};

// ---- parser ----

bool isKeyword(const Token& t, const char* keyword) {
    return t.type == Tok::Word && t.text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

bool isLiteralWord(const Token& t) {
    return isKeyword(t, "null") || isKeyword(t, "true") || isKeyword(t, "false");
}

bool isReservedWord(const Token& t) {
    return isLiteralWord(t) || isKeyword(t, "and") || isKeyword(t, "or") || isKeyword(t, "like") ||
           isKeyword(t, "not");
}

CompareOp mirrored(CompareOp op) {
    switch (op) {
    case CompareOp::Less:
        return CompareOp::Greater;
    case CompareOp::Greater:
        return CompareOp::Less;
    case CompareOp::LessOrEqual:
        return CompareOp::GreaterOrEqual;
    case CompareOp::GreaterOrEqual:
        return CompareOp::LessOrEqual;
    default:
        return op;
    }
}

QString describe(const Token& t) {
    switch (t.type) {
    case Tok::End:
        break;
    case Tok::Field:
        return QStringLiteral("[%1]").arg(t.text);
    case Tok::Text:
        return QStringLiteral("'%1'").arg(t.text);
    case Tok::Date:
        return QStringLiteral("#%1#").arg(t.text);
    case Tok::LParen:
        return QStringLiteral("\"(\"");
    case Tok::RParen:
        return QStringLiteral("\")\"");
    case Tok::Op:
    case Tok::Word:
    case Tok::Number:
        break;
    }
    return QLatin1Char('"') + t.text + QLatin1Char('"');
}

class Parser {
public:
    Parser(const QString& text, const Fields& fields)
        : m_text(text), m_fields(fields), m_tokens(Lexer(text).tokens()) {}

    NodePtr parse() {
        if (peek().type == Tok::End)
            return nullptr;
        NodePtr root = expression(0);
        if (peek().type != Tok::End)
            fail(QStringLiteral("%1 is not expected").arg(describe(peek())));
        return root;
    }
    std::vector<int> fieldsRead() && { return std::move(m_fieldsRead); }

private:
    const Token& peek() const { return m_tokens[m_next]; }
    const Token& take() { return m_tokens[m_next++]; }

    [[noreturn]] void fail(const QString& what) const {
        syntaxError(m_text, what, peek().position);
    }

    // "a value is expected instead of "AND"", or without the "instead" at the end of the text.
    [[noreturn]] void expected(const QString& what) const {
        if (peek().type == Tok::End)
            fail(what + QStringLiteral(" is expected"));
        fail(QStringLiteral("%1 is expected instead of %2").arg(what, describe(peek())));
    }

    NodePtr expression(int depth) {
        std::vector<NodePtr> parts;
        parts.push_back(term(depth));
        while (isKeyword(peek(), "or")) {
            take();
            parts.push_back(term(depth));
        }
        return parts.size() == 1 ? std::move(parts.front())
                                 : std::make_unique<AnyOf>(std::move(parts));
    }

    NodePtr term(int depth) {
        std::vector<NodePtr> parts;
        parts.push_back(factor(depth));
        while (isKeyword(peek(), "and")) {
            take();
            parts.push_back(factor(depth));
        }
        return parts.size() == 1 ? std::move(parts.front())
                                 : std::make_unique<AllOf>(std::move(parts));
    }

    NodePtr factor(int depth) {
        if (peek().type != Tok::LParen)
            return comparison();
        if (depth >= kMaxNesting)
            fail(QStringLiteral("the parentheses are nested too deeply"));
        take();
        if (peek().type == Tok::RParen)
            fail(QStringLiteral("a comparison is expected inside the parentheses"));
        NodePtr inner = expression(depth + 1);
        if (peek().type != Tok::RParen)
            expected(QStringLiteral("a closing parenthesis"));
        take();
        return inner;
    }

    bool atField() const {
        const Token& t = peek();
        return t.type == Tok::Field || (t.type == Tok::Word && !isReservedWord(t));
    }

    bool atLiteral() const {
        const Tok t = peek().type;
        return t == Tok::Text || t == Tok::Number || t == Tok::Date || isLiteralWord(peek());
    }

    NodePtr comparison() {
        if (atField()) {
            const Token& field = take();
            const CompareOp op = comparisonSign();
            if (!atLiteral())
                expected(QStringLiteral("a value"));
            return build(field, op, take());
        }
        if (!atLiteral())
            expected(QStringLiteral("a field name"));
        const Token& literal = take();
        const CompareOp op = comparisonSign();
        if (op == CompareOp::Like || op == CompareOp::NotLike)
            fail(QStringLiteral("LIKE needs the field on its left"));
        if (!atField())
            expected(QStringLiteral("a field name"));
        return build(take(), mirrored(op), literal);
    }

    CompareOp comparisonSign() {
        if (peek().type == Tok::Op)
            return take().op;
        if (isKeyword(peek(), "like")) {
            take();
            return CompareOp::Like;
        }
        if (isKeyword(peek(), "not") && isKeyword(m_tokens[m_next + 1], "like")) {
            m_next += 2;
            return CompareOp::NotLike;
        }
        expected(QStringLiteral("a comparison (=, <>, <, >, <=, >= or LIKE)"));
    }

    NodePtr build(const Token& fieldToken, CompareOp op, const Token& literal) {
        const int index = findField(m_fields, fieldToken.text);
        if (index < 0)
            unknownField(m_text, bareFieldName(fieldToken.text));
        if (std::find(m_fieldsRead.begin(), m_fieldsRead.end(), index) == m_fieldsRead.end())
            m_fieldsRead.push_back(index);
        const Field& field = m_fields[static_cast<size_t>(index)];
        if (isKeyword(literal, "null")) {
            if (op != CompareOp::Equal && op != CompareOp::NotEqual)
                syntaxError(m_text, QStringLiteral("Null can only be compared with = or <>"),
                            literal.position);
            return std::make_unique<NullTest>(index, op == CompareOp::Equal);
        }
        if (op == CompareOp::Like || op == CompareOp::NotLike)
            return std::make_unique<LikeMatch>(index, op == CompareOp::NotLike,
                                               literalText(literal));
        try {
            return typedComparison(field, index, op, literal);
        } catch (const StoreError& e) {
            syntaxError(m_text, QStringLiteral("%1 (field \"%2\")").arg(e.message(), field.name),
                        literal.position);
        }
    }

    static QString literalText(const Token& literal) {
        if (literal.type == Tok::Date)
            return literal.date.toString(Qt::ISODate);
        if (literal.type == Tok::Word)
            return literalValue(literal).toText(); // True, False
        return literal.text;                       // texts, and numbers as written
    }

    static Value literalValue(const Token& literal) {
        switch (literal.type) {
        case Tok::Number:
            return Value(literal.number);
        case Tok::Date:
            return Value(literal.date);
        case Tok::Word:
            return Value(isKeyword(literal, "true"));
        default:
            return Value(literal.text);
        }
    }

    // The literal converted toward the field's type, once, so that each row costs a plain
    // comparison. Throws StoreError when the literal is not of the field's type.
    static NodePtr typedComparison(const Field& field, int index, CompareOp op,
                                   const Token& literal) {
        const Value value = literalValue(literal);
        switch (field.type) {
        case FieldType::Text:
            return std::make_unique<TextCompare>(index, op, literalText(literal));
        case FieldType::Date:
            return std::make_unique<DateCompare>(index, op,
                                                 required(value, FieldType::Date).toDate());
        case FieldType::Boolean:
            return std::make_unique<NumberCompare>(
                index, op, required(value, FieldType::Boolean).toBool() ? 1.0 : 0.0);
        case FieldType::Integer:
        case FieldType::Number:
        case FieldType::Currency:
            break;
        }
        return std::make_unique<NumberCompare>(index, op,
                                               required(value, FieldType::Number).toDouble());
    }

    static Value required(const Value& value, FieldType type) {
        const Value converted = value.convertedTo(type);
        if (converted.isNull())
            throw StoreError(StoreError::Code::Conversion,
                             QStringLiteral("'%1' is not a value").arg(value.toText()));
        return converted;
    }

    const QString& m_text;
    const Fields& m_fields;
    std::vector<Token> m_tokens;
    size_t m_next = 0;
    std::vector<int> m_fieldsRead;
};

// ---- sort texts ----

bool endsWithWord(const QString& text, const char* word, QString* before) {
    const qsizetype at = text.size() - qsizetype(qstrlen(word));
    if (at <= 0 || !text[at - 1].isSpace() ||
        QStringView(text).mid(at).compare(QLatin1String(word), Qt::CaseInsensitive) != 0)
        return false;
    *before = text.left(at).trimmed();
    return true;
}

} // namespace

Filter::Filter() = default;
Filter::~Filter() = default;
Filter::Filter(Filter&&) noexcept = default;
Filter& Filter::operator=(Filter&&) noexcept = default;

Filter Filter::parse(const QString& text, const Fields& fields) {
    Filter filter;
    Parser parser(text, fields);
    filter.m_root = parser.parse();
    filter.m_fieldsRead = std::move(parser).fieldsRead();
    return filter;
}

bool Filter::matches(std::span<const Value> row) const {
    return !m_root || m_root->matches(ValueRow(row));
}

bool Filter::matches(const FilterRow& row) const {
    return !m_root || m_root->matches(row);
}

bool Filter::isEmpty() const {
    return !m_root;
}

SortKeys parseSort(const QString& text, const Fields& fields) {
    SortKeys keys;
    if (text.trimmed().isEmpty())
        return keys;
    qsizetype pos = 0;
    for (;;) {
        while (pos < text.size() && text[pos].isSpace())
            ++pos;
        const qsizetype start = pos;
        QString name;
        QString rest;
        const QChar open = pos < text.size() ? text[pos] : QChar();
        if (open == QLatin1Char('[') || open == QLatin1Char('`')) {
            const QChar close = open == QLatin1Char('[') ? QLatin1Char(']') : open;
            const qsizetype end = text.indexOf(close, pos + 1);
            if (end < 0)
                syntaxError(text, QStringLiteral("the field name has no closing ") + close, pos);
            name = text.mid(pos + 1, end - pos - 1).trimmed();
            pos = end + 1;
        }
        qsizetype comma = text.indexOf(QLatin1Char(','), pos);
        if (comma < 0)
            comma = text.size();
        rest = text.mid(pos, comma - pos).trimmed();
        if (name.isEmpty() && (open == QLatin1Char('[') || open == QLatin1Char('`')))
            syntaxError(text, QStringLiteral("the field name is empty"), start);
        SortKey key;
        if (name.isEmpty()) {
            // A bare name may contain blanks: everything before a trailing ASC or DESC.
            QString before;
            if (endsWithWord(rest, "desc", &before)) {
                key.descending = true;
                name = before;
            } else if (endsWithWord(rest, "asc", &before)) {
                name = before;
            } else {
                name = rest;
            }
            if (name.isEmpty())
                syntaxError(text, QStringLiteral("a field name is expected"), start);
        } else if (rest.compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0) {
            key.descending = true;
        } else if (!rest.isEmpty() && rest.compare(QLatin1String("asc"), Qt::CaseInsensitive)) {
            syntaxError(text, QStringLiteral("ASC or DESC is expected after [%1]").arg(name), pos);
        }
        key.field = findField(fields, name);
        if (key.field < 0)
            unknownField(text, name);
        keys.push_back(key);
        if (comma >= text.size())
            return keys;
        pos = comma + 1;
    }
}

} // namespace store
