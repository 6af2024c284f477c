#include "Shape.h"

#include "Connection.h"
#include "HalvesRead.h"
#include "StoreError.h"

#include <QRegularExpression>
#include <algorithm>
#include <bit>
#include <cmath>
#include <deque>
#include <limits>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>

namespace store {

using Code = StoreError::Code;

// ---- the level's read access ----

namespace {

int indexIgnoringCase(const QStringList& names, const QString& name) {
    for (int i = 0; i < names.size(); ++i) {
        if (names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

int ShapedRows::fieldIndex(const QString& field) const {
    const int index = findField(m_fields, field);
    if (index < 0)
        throw StoreError(Code::UnknownField,
                         QStringLiteral("The shaped rows have no field \"%1\".").arg(field));
    return index;
}

int ShapedRows::memberIndex(const QString& member) const {
    const int index = indexIgnoringCase(m_members, member);
    if (index < 0)
        throw StoreError(Code::UnknownField,
                         QStringLiteral("The shaped rows have no member \"%1\".").arg(member));
    return index;
}

Value ShapedRows::value(int row, int field) const {
    if (row < 0 || row >= rowCount() || field < 0 || field >= int(m_fields.size()))
        throw StoreError(Code::NoCurrentRecord, QStringLiteral("There is no such shaped row."));
    return valueAt(row, field);
}

Value ShapedRows::value(int row, const QString& field) const {
    return value(row, fieldIndex(field));
}

const ShapedRows& ShapedRows::chapter(int row, int member) const {
    if (member < 0 || member >= m_members.size())
        throw StoreError(Code::UnknownField,
                         QStringLiteral("The shaped rows have no such member."));
    if (row < 0 || row >= rowCount())
        throw StoreError(Code::NoCurrentRecord, QStringLiteral("There is no such shaped row."));
    return *m_chapters[std::size_t(row)][std::size_t(member)];
}

const ShapedRows& ShapedRows::chapter(int row, const QString& member) const {
    return chapter(row, memberIndex(member));
}

namespace {

// ---- tokens ----

struct Token {
    enum Kind { Sql, Open, Close, Comma, Dot, Word, Name, End } kind = End;
    QString text;     // the SQL, the word, or the name without its quotes
    int position = 0; // 1-based character position in the command
};

[[noreturn]] void syntaxError(int position, const QString& what) {
    throw StoreError(Code::FilterSyntax,
                     QStringLiteral("The shaping command does not parse at position %1: %2.")
                         .arg(position)
                         .arg(what));
}

// A quoted run from `from` (the opening character) to its closing character; a doubled
// closing quote stands for itself.
qsizetype readQuoted(const QString& text, qsizetype from, QChar close, QString& out) {
    for (qsizetype i = from + 1; i < text.size(); ++i) {
        if (text[i] != close) {
            out += text[i];
        } else if (close == QLatin1Char('\'') && i + 1 < text.size() && text[i + 1] == close) {
            out += close;
            ++i;
        } else {
            return i + 1;
        }
    }
    syntaxError(int(from) + 1, QStringLiteral("a quoted name is not closed"));
}

std::vector<Token> tokenize(const QString& text) {
    std::vector<Token> tokens;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        Token token;
        token.position = int(i) + 1;
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('{')) {
            const qsizetype end = text.indexOf(QLatin1Char('}'), i + 1);
            if (end < 0)
                syntaxError(token.position, QStringLiteral("the query in braces is not closed"));
            token.kind = Token::Sql;
            token.text = text.mid(i + 1, end - i - 1).trimmed();
            i = end + 1;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('[') || c == QLatin1Char('`')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            token.kind = Token::Name;
            i = readQuoted(text, i, close, token.text);
        } else if (c == QLatin1Char('(') || c == QLatin1Char(')') || c == QLatin1Char(',') ||
                   c == QLatin1Char('.')) {
            token.kind = c == QLatin1Char('(')   ? Token::Open
                         : c == QLatin1Char(')') ? Token::Close
                         : c == QLatin1Char(',') ? Token::Comma
                                                 : Token::Dot;
            ++i;
        } else if (c.isLetterOrNumber() || c == QLatin1Char('_')) {
            token.kind = Token::Word;
            while (i < text.size() && (text[i].isLetterOrNumber() || text[i] == QLatin1Char('_')))
                token.text += text[i++];
        } else {
            syntaxError(token.position, QStringLiteral("unexpected \"%1\"").arg(c));
        }
        tokens.push_back(std::move(token));
    }
    tokens.push_back({Token::End, {}, int(text.size()) + 1});
    return tokens;
}

// ---- the command's tree ----

struct Aggregate {
    enum Kind { Count, Sum } kind = Count;
    QString member;
    QString field;
    QString name;
    int position = 0;
};

struct ShapeNode;

struct Source {
    QString sql;                      // a query in braces, or
    std::unique_ptr<ShapeNode> shape; // a shaping command in parentheses
};

struct Relation {
    Source child;
    QString parentField;
    QString childField;
    QString member;
};

struct ShapeNode {
    Source source;
    QString alias;
    std::vector<std::variant<Relation, Aggregate>> appended;
    bool computes = false;
    std::vector<std::variant<QString, Aggregate>> computed; // members and aggregates
    QStringList groupFields;
};

class Parser {
public:
    explicit Parser(const QString& text) : m_tokens(tokenize(text)) {}

    // Every name in the command outside its queries, quoted or bare: its fields among them.
    QStringList names() const {
        QStringList names;
        for (const Token& token : m_tokens)
            if (token.kind == Token::Word || token.kind == Token::Name)
                names << token.text;
        return names;
    }

    std::unique_ptr<ShapeNode> parseCommand() {
        auto node = parseShape();
        if (peek().kind != Token::End)
            unexpected("the end of the command");
        return node;
    }

private:
    const Token& peek() const { return m_tokens[m_next]; }
    const Token& take() { return m_tokens[m_next++]; }
    bool peekWord(const char* word) const {
        return peek().kind == Token::Word &&
               peek().text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    [[noreturn]] void unexpected(const QString& expected) const {
        syntaxError(peek().position, QStringLiteral("expected %1").arg(expected));
    }
    void expectWord(const char* word) {
        if (!peekWord(word))
            unexpected(QStringLiteral("\"%1\"").arg(QLatin1String(word)));
        take();
    }
    void expect(Token::Kind kind, const char* what) {
        if (peek().kind != kind)
            unexpected(QLatin1String(what));
        take();
    }
    // A field or alias: a bare word, 'quoted', [bracketed] or `back-quoted`.
    QString name(const char* what) {
        if (peek().kind != Token::Word && peek().kind != Token::Name)
            unexpected(QLatin1String(what));
        return take().text;
    }
    bool nextIsShapeWord() const {
        return m_tokens[m_next].kind == Token::Open && m_tokens[m_next + 1].kind == Token::Word &&
               m_tokens[m_next + 1].text.compare(QLatin1String("SHAPE"), Qt::CaseInsensitive) == 0;
    }

    std::unique_ptr<ShapeNode> parseShape() {
        expectWord("SHAPE");
        auto node = std::make_unique<ShapeNode>();
        node->source = parseSource();
        if (peekWord("AS")) {
            take();
            node->alias = name("an alias");
        } else if (node->source.shape) {
            node->alias = node->source.shape->alias;
        }
        if (peekWord("APPEND")) {
            take();
            do {
                node->appended.push_back(parseAppended());
            } while (peek().kind == Token::Comma && (take(), true));
        }
        if (peekWord("COMPUTE")) {
            take();
            node->computes = true;
            do {
                node->computed.push_back(parseComputed());
            } while (peek().kind == Token::Comma && (take(), true));
            if (peekWord("BY")) {
                take();
                do {
                    node->groupFields << name("a field to group by");
                } while (peek().kind == Token::Comma && (take(), true));
            }
        }
        return node;
    }

    Source parseSource() {
        Source source;
        if (peek().kind == Token::Sql) {
            source.sql = take().text;
        } else if (nextIsShapeWord()) {
            take();
            source.shape = parseShape();
            expect(Token::Close, "\")\"");
        } else {
            unexpected(QStringLiteral("a query in braces or a shaping command in parentheses"));
        }
        return source;
    }

    std::variant<Relation, Aggregate> parseAppended() {
        if (peek().kind != Token::Open || nextIsShapeWord())
            return parseAggregate();
        take();
        Relation relation;
        relation.child = parseSource();
        if (peekWord("AS")) {
            take();
            name("an alias");
        }
        expectWord("RELATE");
        relation.parentField = name("a field of the parent");
        expectWord("TO");
        relation.childField = name("a field of the child");
        expect(Token::Close, "\")\"");
        expectWord("AS");
        relation.member = name("the member's name");
        return relation;
    }

    std::variant<QString, Aggregate> parseComputed() {
        if (peekWord("COUNT") || peekWord("SUM"))
            return parseAggregate();
        return name("a member or an aggregate");
    }

    Aggregate parseAggregate() {
        Aggregate aggregate;
        aggregate.position = peek().position;
        if (peekWord("COUNT"))
            aggregate.kind = Aggregate::Count;
        else if (peekWord("SUM"))
            aggregate.kind = Aggregate::Sum;
        else
            unexpected(QStringLiteral("COUNT or SUM"));
        take();
        expect(Token::Open, "\"(\"");
        aggregate.member = name("a member");
        expect(Token::Dot, "\".\"");
        aggregate.field = name("a field");
        expect(Token::Close, "\")\"");
        expectWord("AS");
        aggregate.name = name("the aggregate's name");
        return aggregate;
    }

    std::vector<Token> m_tokens;
    std::size_t m_next = 0;
};

// ---- evaluation ----

// A value as grouping and relating compare it, exactly as stored: null, a number (whole numbers,
// fractions, money and yes/no alike, by value) or a text (a date as its text).
struct CellKey {
    enum class Kind : quint8 { Null, Number, Text };
    Kind kind = Kind::Null;
    double number = 0;
    std::string_view text;

    // Numbers are the same key when they print the same with 17 digits: when they are equal,
    // except that 0 and -0 differ and every NaN is the same.
    bool operator==(const CellKey& other) const {
        if (kind != other.kind)
            return false;
        if (kind == Kind::Number)
            return std::isnan(number)
                       ? std::isnan(other.number)
                       : std::bit_cast<quint64>(number) == std::bit_cast<quint64>(other.number);
        return kind == Kind::Null || text == other.text;
    }
};

struct CellKeyHash {
    std::size_t operator()(const CellKey& key) const {
        switch (key.kind) {
        case CellKey::Kind::Null:
            break;
        case CellKey::Kind::Number:
            return std::isnan(key.number)
                       ? 1
                       : std::hash<quint64>()(std::bit_cast<quint64>(key.number));
        case CellKey::Kind::Text:
            return std::hash<std::string_view>()(key.text);
        }
        return 0;
    }
};

// The keys of one level's cells. Texts that the level does not keep in UTF-8 are spelled out
// and kept here for as long as their keys are used.
class KeyMaker {
public:
    explicit KeyMaker(const CellTexts& texts) : m_texts(texts) {}

    CellKey of(const Cell& cell) {
        switch (cell.kind) {
        case Cell::Kind::Null:
            return {};
        case Cell::Kind::Boolean:
        case Cell::Kind::Integer:
            return number(double(cell.whole));
        case Cell::Kind::Number:
            return number(cell.number);
        case Cell::Kind::Currency:
            return number(m_texts.valueOf(cell).toDouble());
        case Cell::Kind::Utf8:
            return text(m_texts.utf8Of(cell));
        case Cell::Kind::Date:
        case Cell::Kind::Held:
            break;
        }
        return text(m_spelled.emplace_back(m_texts.valueOf(cell).toText().toStdString()));
    }

private:
    static CellKey number(double value) { return {CellKey::Kind::Number, value, {}}; }
    static CellKey text(std::string_view value) { return {CellKey::Kind::Text, 0, value}; }

    const CellTexts& m_texts;
    std::deque<std::string> m_spelled;
};

template <typename T> using KeyMap = std::unordered_map<CellKey, T, CellKeyHash>;

// A whole table as a query names it, and the fields it is to be ordered by.
struct TableQuery {
    QString table;
    QStringList orderBy;
};

// "SELECT * FROM T" or "SELECT * FROM T ORDER BY f, g" (each field bare, [bracketed] or
// `back-quoted`, optionally ASC); nothing for any other query.
std::optional<TableQuery> tableQueryOf(const QString& sql) {
    static const QRegularExpression whole(
        QStringLiteral("^\\s*SELECT\\s+\\*\\s+FROM\\s+(\\[[^\\]]+\\]|`[^`]+`|\\w+)"
                       "(?:\\s+ORDER\\s+BY\\s+(.+?))?\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression key(QStringLiteral("^\\s*(\\[[^\\]]+\\]|`[^`]+`|\\w+)"
                                                       "(?:\\s+ASC)?\\s*$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto match = whole.match(sql);
    if (!match.hasMatch())
        return std::nullopt;
    TableQuery query{bareFieldName(match.captured(1)), {}};
    if (match.hasCaptured(2)) {
        for (const QString& part : match.captured(2).split(QLatin1Char(','))) {
            const auto keyMatch = key.match(part);
            if (!keyMatch.hasMatch())
                return std::nullopt;
            query.orderBy << bareFieldName(keyMatch.captured(1));
        }
    }
    return query;
}

// Dense ranks of one key over the rows (0 for null, then 1, 2, ... in the engine's order), or
// nothing when a value is not one whose order is known here.
template <typename CellAt>
std::optional<BulkVector<int>> ranksOf(int count, CellAt cellAt, const CellTexts& texts,
                                       bool textField) {
    BulkVector<int> ranks(static_cast<std::size_t>(count), 0);
    if (textField) {
        // Texts by their bytes: each distinct text ranked once.
        std::unordered_map<std::string_view, int> distinct;
        std::vector<std::string_view> spellings;
        BulkVector<int> ids(static_cast<std::size_t>(count), -1);
        for (int r = 0; r < count; ++r) {
            const Cell& cell = cellAt(r);
            if (cell.kind == Cell::Kind::Null)
                continue;
            if (cell.kind != Cell::Kind::Utf8)
                return std::nullopt;
            const std::string_view text = texts.utf8Of(cell);
            const auto [at, added] = distinct.try_emplace(text, int(spellings.size()));
            if (added)
                spellings.push_back(text);
            ids[std::size_t(r)] = at->second;
        }
        std::vector<int> byText(spellings.size());
        for (std::size_t i = 0; i < byText.size(); ++i)
            byText[i] = int(i);
        std::sort(byText.begin(), byText.end(), [&](int a, int b) {
            return spellings[std::size_t(a)] < spellings[std::size_t(b)];
        });
        std::vector<int> rankOfId(spellings.size());
        for (std::size_t i = 0; i < byText.size(); ++i)
            rankOfId[std::size_t(byText[i])] = int(i) + 1;
        for (int r = 0; r < count; ++r)
            if (ids[std::size_t(r)] >= 0)
                ranks[std::size_t(r)] = rankOfId[std::size_t(ids[std::size_t(r)])];
        return ranks;
    }
    // Whole numbers alone, within a range not much wider than the rows (class and exhibitor
    // numbers): ranked through a table of the values present, without a sort.
    // The rows' cells are read once, into a column of their own.
    bool wholeOnly = true;
    bool any = false;
    qint64 low = 0;
    qint64 high = 0;
    BulkVector<qint64> wholes(static_cast<std::size_t>(count));
    std::vector<char> present(std::size_t(count), 0);
    for (int r = 0; r < count && wholeOnly; ++r) {
        const Cell& cell = cellAt(r);
        if (cell.kind == Cell::Kind::Null)
            continue;
        wholeOnly = cell.kind == Cell::Kind::Integer;
        wholes[std::size_t(r)] = cell.whole;
        present[std::size_t(r)] = 1;
        low = any ? std::min(low, cell.whole) : cell.whole;
        high = any ? std::max(high, cell.whole) : cell.whole;
        any = true;
    }
    if (wholeOnly && (!any || high - low <= qint64(count) + 65536)) {
        BulkVector<int> rankOf(any ? std::size_t(high - low + 1) : 0, 0);
        for (std::size_t r = 0; r < wholes.size(); ++r)
            if (present[r])
                rankOf[std::size_t(wholes[r] - low)] = 1;
        int rank = 0;
        for (int& seen : rankOf)
            if (seen)
                seen = ++rank;
        for (std::size_t r = 0; r < wholes.size(); ++r)
            if (present[r])
                ranks[r] = rankOf[std::size_t(wholes[r] - low)];
        return ranks;
    }
    // Numbers by value, whole numbers and fractions compared exactly.
    std::vector<std::pair<long double, int>> values;
    values.reserve(std::size_t(count));
    for (int r = 0; r < count; ++r) {
        const Cell& cell = cellAt(r);
        if (cell.kind == Cell::Kind::Integer)
            values.emplace_back(static_cast<long double>(cell.whole), r);
        else if (cell.kind == Cell::Kind::Number)
            values.emplace_back(static_cast<long double>(cell.number), r);
        else if (cell.kind != Cell::Kind::Null)
            return std::nullopt;
    }
    std::sort(values.begin(), values.end());
    int rank = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i == 0 || values[i].first != values[i - 1].first)
            ++rank;
        ranks[std::size_t(values[i].second)] = rank;
    }
    return ranks;
}

// The positions 0 ... n-1 stably ordered by the keys' ranks, first key first: one counting pass
// per key, from the last key to the first.
BulkVector<int> orderByRanks(const std::vector<BulkVector<int>>& keys, int count) {
    BulkVector<int> order(static_cast<std::size_t>(count));
    for (int p = 0; p < count; ++p)
        order[std::size_t(p)] = p;
    BulkVector<int> next(static_cast<std::size_t>(count));
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        const int buckets = count == 0 ? 0 : *std::max_element(key->begin(), key->end()) + 1;
        std::vector<int> starts(std::size_t(buckets) + 1, 0);
        for (int p = 0; p < count; ++p)
            ++starts[std::size_t((*key)[std::size_t(p)]) + 1];
        for (int b = 1; b <= buckets; ++b)
            starts[std::size_t(b)] += starts[std::size_t(b) - 1];
        for (int p : order)
            next[std::size_t(starts[std::size_t((*key)[std::size_t(p)])]++)] = p;
        order.swap(next);
    }
    return order;
}

} // namespace

// A whole table as it was read, in the file's order, and what is known about its values.
struct ShapeReader::TableRead {
    QString table;
    QStringList fields; // the fields read, in the table's order; empty: all of them
    std::shared_ptr<const ShapedRows> rows;
    std::vector<char> converted; // per field: some value was converted to the field's type
    qint64 rowsWritten = 0;      // the connection's count of rows written to it, then
    qint64 otherChanges = 0;     // and of changes to no table it could name
};

class ShapeEvaluator {
public:
    explicit ShapeEvaluator(ShapeReader& reader, QStringList named = {})
        : m_reader(reader), m_connection(*reader.m_connection), m_named(std::move(named)) {}

    ShapedRows plainQuery(const QString& sql, const std::vector<Value>& parameters) {
        return query(sql, parameters);
    }

    ShapedRows evaluate(const ShapeNode& node) {
        ShapedRows rows = evaluateSource(node.source);
        for (const auto& item : node.appended) {
            if (const auto* relation = std::get_if<Relation>(&item))
                relate(rows, *relation);
            else
                appendAggregate(rows, std::get<Aggregate>(item));
        }
        if (!node.computes)
            return rows;
        return compute(node, std::make_shared<const ShapedRows>(std::move(rows)));
    }

private:
    ShapedRows evaluateSource(const Source& source) {
        return source.shape ? evaluate(*source.shape) : query(source.sql);
    }

    ShapedRows query(const QString& sql, const std::vector<Value>& parameters = {}) {
        if (parameters.empty()) {
            if (const auto whole = tableQueryOf(sql); whole && m_connection.isTable(whole->table)) {
                if (std::optional<ShapedRows> rows = tableInOrder(*whole))
                    return std::move(*rows);
            }
        }
        return read(sql, parameters);
    }

    ShapedRows read(const QString& sql, const std::vector<Value>& parameters,
                    std::vector<char>* converted = nullptr, std::size_t expected = 0) {
        RowsRead part = readRows(m_connection, sql, parameters, expected);
        if (converted)
            *converted = std::move(part.converted);
        return std::move(part).rows();
    }

    // The rows of one query as cells not yet shared, with the flags of the fields of which some
    // value was converted.
    struct RowsRead {
        Fields fields;
        std::shared_ptr<CellTexts> texts = std::make_shared<CellTexts>();
        CellVector cells;
        std::size_t count = 0;
        std::vector<char> converted;

        ShapedRows rows() && {
            ShapedRows rows;
            rows.m_fields = std::move(fields);
            rows.m_texts = std::move(texts);
            rows.m_rowCount = int(count);
            rows.m_cells = std::make_shared<const CellVector>(std::move(cells));
            return rows;
        }
    };

    static RowsRead readRows(Connection& connection, const QString& sql,
                             const std::vector<Value>& parameters, std::size_t expected) {
        Statement statement = connection.prepare(sql);
        for (std::size_t i = 0; i < parameters.size(); ++i)
            statement.bind(int(i) + 1, parameters[i]);
        RowsRead part;
        const int columns = statement.columnCount();
        std::vector<FieldType> types;
        for (int c = 0; c < columns; ++c) {
            part.fields.push_back(statement.columnField(c));
            types.push_back(part.fields.back().type);
        }
        part.converted.assign(types.size(), 0);
        part.cells.reserve(expected * types.size());
        while (statement.step()) {
            part.texts->readRow(statement, 0, types, part.cells, &part.converted);
            part.texts->expectRows(++part.count, expected);
        }
        return part;
    }

    // Puts the rows that another reader read after these.
    static void join(RowsRead& first, RowsRead&& later) {
        first.texts->append(std::move(*later.texts), later.cells, first.cells);
        first.count += later.count;
        for (std::size_t c = 0; c < first.converted.size(); ++c)
            first.converted[c] = char(first.converted[c] | later.converted[c]);
    }

    // The table read whole, or as read before while it has not been written since and holds the
    // fields the query needs.
    ShapeReader::TableRead& tableRead(const TableQuery& query) {
        const QString& table = query.table;
        const qint64 written = m_connection.rowsWrittenTo(table);
        const qint64 other = otherChanges();
        const QStringList needed = fieldsToRead(query);
        for (ShapeReader::TableRead& read : m_reader.m_tables) {
            if (read.table.compare(table, Qt::CaseInsensitive) != 0)
                continue;
            const bool current = read.rowsWritten == written && read.otherChanges == other;
            if (current && holdsAll(read.fields, needed)) {
                ++m_reader.m_reused;
                return read;
            }
            // A read that lacks fields keeps them in the next, so that commands needing
            // different fields do not read the table by turns.
            read =
                fresh(table, current ? fieldsToRead(query, read.fields) : needed, written, other);
            return read;
        }
        return m_reader.m_tables.emplace_back(fresh(table, needed, written, other));
    }

    static bool holdsAll(const QStringList& held, const QStringList& wanted) {
        if (held.isEmpty())
            return true;
        if (wanted.isEmpty())
            return false;
        return std::all_of(wanted.begin(), wanted.end(), [&](const QString& field) {
            return indexIgnoringCase(held, field) >= 0;
        });
    }

    // The fields of a whole read of the query's table, in the table's order: empty for all of
    // them, which is every read unless the reader was told the only fields read of the table.
    QStringList fieldsToRead(const TableQuery& query, const QStringList& also = {}) {
        const auto only = std::find_if(
            m_reader.m_onlyFields.begin(), m_reader.m_onlyFields.end(), [&](const auto& named) {
                return named.first.compare(query.table, Qt::CaseInsensitive) == 0;
            });
        if (only == m_reader.m_onlyFields.end())
            return {};
        QStringList wanted;
        for (const QString& name : only->second + m_named + query.orderBy + also)
            wanted << bareFieldName(name);
        Statement all = m_connection.prepare(wholeRead(query.table, {}));
        QStringList fields;
        for (int c = 0; c < all.columnCount(); ++c) {
            const QString name = all.columnName(c);
            if (name.contains(QLatin1Char(']')))
                return {}; // a name that cannot be put in brackets: the table is read whole
            if (indexIgnoringCase(wanted, name) >= 0)
                fields << name;
        }
        return fields.size() == all.columnCount() ? QStringList() : fields;
    }

    static QString wholeRead(const QString& table, const QStringList& fields) {
        if (fields.isEmpty())
            return QStringLiteral("SELECT * FROM [") + table + QLatin1Char(']');
        return QStringLiteral("SELECT [") + fields.join(QStringLiteral("], [")) +
               QStringLiteral("] FROM [") + table + QLatin1Char(']');
    }

    ShapeReader::TableRead fresh(const QString& table, const QStringList& fields, qint64 written,
                                 qint64 other) {
        ShapeReader::TableRead read;
        read.table = table;
        read.fields = fields;
        read.rowsWritten = written;
        read.otherChanges = other;
        const std::size_t expected = expectedRows(m_connection, table);
        const QString whole = wholeRead(table, fields);
        RowsRead part = readsInHalves(m_connection, expected)
                            ? readInHalves(m_connection, whole, expected, readRows, join)
                            : readRows(m_connection, whole, {}, expected);
        read.converted = std::move(part.converted);
        read.rows = std::make_shared<const ShapedRows>(std::move(part).rows());
        return read;
    }

    qint64 otherChanges() const {
        return sqlite3_total_changes(m_connection.handle()) - m_connection.rowsWrittenInAll();
    }

    // The whole table in the order asked for, or nothing when its order cannot be told here.
    std::optional<ShapedRows> tableInOrder(const TableQuery& query) {
        const ShapeReader::TableRead& read = tableRead(query);
        ShapedRows rows = *read.rows;
        if (query.orderBy.isEmpty())
            return rows;
        std::vector<BulkVector<int>> keys;
        for (const QString& name : query.orderBy) {
            const int field = findField(rows.m_fields, name);
            if (field < 0 || read.converted[std::size_t(field)])
                return std::nullopt;
            const FieldType type = rows.m_fields[std::size_t(field)].type;
            const bool text = type == FieldType::Text;
            if (!text && type != FieldType::Integer && type != FieldType::Number)
                return std::nullopt;
            if (text && !comparesBytes(query.table, rows.m_fields[std::size_t(field)].name))
                return std::nullopt;
            auto ranks = ranksOf(
                rows.m_rowCount, [&](int r) -> const Cell& { return rows.cellsOf(r)[field]; },
                *rows.m_texts, text);
            if (!ranks)
                return std::nullopt;
            keys.push_back(std::move(*ranks));
        }
        rows.m_rows = orderByRanks(keys, rows.m_rowCount);
        return rows;
    }

    // Whether the engine orders the column's texts by their UTF-8 bytes: a column of the plain
    // collation in a file that keeps its texts in UTF-8.
    bool comparesBytes(const QString& table, const QString& column) {
        if (!m_utf8File) {
            Statement encoding = m_connection.prepare(QStringLiteral("PRAGMA encoding"));
            m_utf8File = encoding.step() && encoding.columnValue(0, FieldType::Text).toText() ==
                                                QLatin1String("UTF-8");
        }
        if (!*m_utf8File)
            return false;
        const char* collation = nullptr;
        const QByteArray tableName = table.toUtf8();
        const QByteArray columnName = column.toUtf8();
        if (sqlite3_table_column_metadata(m_connection.handle(), "main", tableName.constData(),
                                          columnName.constData(), nullptr, &collation, nullptr,
                                          nullptr, nullptr) != SQLITE_OK)
            return false;
        return collation && qstricmp(collation, "BINARY") == 0;
    }

    // A level with the fields and members of `like` and the given rows of it, sharing its cells.
    static std::shared_ptr<const ShapedRows> subset(const ShapedRows& like,
                                                    const std::vector<int>& rowIndexes) {
        auto part = std::make_shared<ShapedRows>();
        part->m_fields = like.m_fields;
        part->m_members = like.m_members;
        part->m_texts = like.m_texts;
        part->m_cells = like.m_cells;
        part->m_rows.reserve(rowIndexes.size());
        for (int i : rowIndexes)
            part->m_rows.push_back(int(like.cellRow(i)));
        if (!like.m_chapters.empty()) {
            part->m_chapters.reserve(rowIndexes.size());
            for (int i : rowIndexes)
                part->m_chapters.push_back(like.m_chapters[std::size_t(i)]);
        }
        part->m_rowCount = int(rowIndexes.size());
        return part;
    }

    static KeyMap<std::vector<int>> rowsByValue(const ShapedRows& rows, int field, KeyMaker& keys) {
        KeyMap<std::vector<int>> groups;
        const RowEntries<std::vector<int>> rowGroups(rows, field, keys, groups, {});
        for (int i = 0; i < rows.rowCount(); ++i)
            rowGroups[i].push_back(i);
        return groups;
    }

    // Each row's entry of `map` for its value of one field, the entry made with `initial` when
    // there is none. A level that holds all the rows of its cells in an order of its own (a table
    // sorted here) is read in the order the cells are stored: read in the level's order, each
    // row's cell would be a miss of the memory cache. The entries are found for every row of the
    // cells, so a row that such a level leaves out may leave an entry of its own. They are kept in
    // bulk memory, which a large level fills without a page fault for each page.
    template <typename T> class RowEntries {
    public:
        RowEntries(const ShapedRows& rows, int field, KeyMaker& keys, KeyMap<T>& map,
                   const T& initial)
            : m_rows(rows) {
            const std::size_t width = rows.m_fields.size();
            const std::size_t count = std::size_t(rows.m_rowCount);
            m_byCellRow = !rows.m_rows.empty() && count * width == rows.m_cells->size();
            m_entries.reserve(count);
            const auto entryOf = [&](const Cell& cell) {
                return &map.try_emplace(keys.of(cell), initial).first->second;
            };
            if (!m_byCellRow) {
                for (int i = 0; i < rows.m_rowCount; ++i)
                    m_entries.push_back(entryOf(rows.cellsOf(i)[field]));
                return;
            }
            const Cell* cells = rows.m_cells->data() + field;
            for (std::size_t stored = 0; stored < count; ++stored)
                m_entries.push_back(entryOf(cells[stored * width]));
        }
        T& operator[](int row) const {
            return *m_entries[m_byCellRow ? m_rows.cellRow(row) : std::size_t(row)];
        }

    private:
        const ShapedRows& m_rows;
        bool m_byCellRow = false;
        BulkVector<T*> m_entries;
    };

    void relate(ShapedRows& parent, const Relation& relation) {
        const ShapedRows child = evaluateSource(relation.child);
        const int parentField = parent.fieldIndex(relation.parentField);
        KeyMaker childKeys(*child.m_texts);
        const auto children = rowsByValue(child, child.fieldIndex(relation.childField), childKeys);
        const auto none = subset(child, {});
        KeyMaker parentKeys(*parent.m_texts);
        parent.m_members << relation.member;
        parent.m_chapters.resize(std::size_t(parent.m_rowCount));
        for (int row = 0; row < parent.m_rowCount; ++row) {
            const auto found = children.find(parentKeys.of(parent.cellsOf(row)[parentField]));
            parent.m_chapters[std::size_t(row)].push_back(
                found == children.end() ? none : subset(child, found->second));
        }
    }

    void appendAggregate(ShapedRows& parent, const Aggregate& aggregate) {
        const int member = memberIndex(parent, aggregate);
        std::optional<Field> field;
        std::vector<Value> values;
        for (int row = 0; row < parent.m_rowCount; ++row) {
            const ShapedRows& chapter = *parent.m_chapters[std::size_t(row)][std::size_t(member)];
            values.push_back(aggregateOver(chapter, aggregate));
            if (!field)
                field = aggregateField(chapter, aggregate);
        }
        if (!field) {
            // No parent rows: no member to read the field's type from.
            field = Field{aggregate.name, aggregate.kind == Aggregate::Count ? FieldType::Integer
                                                                             : FieldType::Number};
        }
        appendField(parent, *field, values);
    }

    // Widens every row of the level by one field holding the row's value of `values`; the level
    // then has cells of its own.
    static void appendField(ShapedRows& level, const Field& field,
                            const std::vector<Value>& values) {
        const std::size_t width = level.m_fields.size();
        CellVector cells;
        cells.reserve(std::size_t(level.m_rowCount) * (width + 1));
        for (int row = 0; row < level.m_rowCount; ++row) {
            const Cell* old = level.cellsOf(row);
            cells.insert(cells.end(), old, old + width);
            cells.push_back(level.m_texts->cellOf(values[std::size_t(row)]));
        }
        level.m_cells = std::make_shared<const CellVector>(std::move(cells));
        level.m_rows.clear();
        level.m_fields.push_back(field);
    }

    static int memberIndex(const ShapedRows& parent, const Aggregate& aggregate) {
        const int index = indexIgnoringCase(parent.m_members, aggregate.member);
        if (index < 0)
            syntaxError(aggregate.position,
                        QStringLiteral("\"%1\" is not a member here").arg(aggregate.member));
        return index;
    }

    static Field aggregateField(const ShapedRows& over, const Aggregate& aggregate) {
        if (aggregate.kind == Aggregate::Count)
            return {aggregate.name, FieldType::Integer, 0};
        const FieldType type = over.m_fields[std::size_t(over.fieldIndex(aggregate.field))].type;
        return {aggregate.name,
                type == FieldType::Currency ? FieldType::Currency : FieldType::Number, 0};
    }

    static Value aggregateOver(const ShapedRows& over, const Aggregate& aggregate) {
        const int field = over.fieldIndex(aggregate.field);
        if (aggregate.kind == Aggregate::Count)
            return Value(qint64(over.rowCount()));
        const bool money = over.m_fields[std::size_t(field)].type == FieldType::Currency;
        bool any = false;
        double sum = 0;
        qint64 moneySum = 0;
        for (int row = 0; row < over.m_rowCount; ++row) {
            const Cell& cell = over.cellsOf(row)[field];
            if (cell.kind == Cell::Kind::Null)
                continue;
            any = true;
            if (money)
                moneySum += cell.kind == Cell::Kind::Currency
                                ? cell.whole
                                : over.m_texts->valueOf(cell).toCurrency().tenThousandths;
            else if (cell.kind == Cell::Kind::Number)
                sum += cell.number;
            else if (cell.kind == Cell::Kind::Integer)
                sum += double(cell.whole);
            else
                sum += over.m_texts->valueOf(cell).toDouble();
        }
        if (!any)
            return Value();
        return money ? Value(Currency{moneySum}) : Value(sum);
    }

    ShapedRows compute(const ShapeNode& node, const std::shared_ptr<const ShapedRows>& child) {
        for (const auto& item : node.computed) {
            if (const auto* aggregate = std::get_if<Aggregate>(&item)) {
                if (aggregate->member.compare(node.alias, Qt::CaseInsensitive) != 0)
                    syntaxError(aggregate->position,
                                QStringLiteral("\"%1\" is not the shaped query's alias")
                                    .arg(aggregate->member));
                child->fieldIndex(aggregate->field);
            }
        }
        std::vector<std::shared_ptr<const ShapedRows>> groups;
        if (node.groupFields.isEmpty()) {
            groups.push_back(child);
        } else {
            for (const std::vector<int>& rows : groupsInOrder(*child, node.groupFields))
                groups.push_back(subset(*child, rows));
        }

        ShapedRows parent;
        for (const auto& item : node.computed) {
            if (const auto* member = std::get_if<QString>(&item)) {
                if (member->compare(node.alias, Qt::CaseInsensitive) != 0)
                    throw StoreError(
                        Code::UnknownField,
                        QStringLiteral("The shaping command has no member \"%1\".").arg(*member));
                parent.m_members << *member;
            } else {
                parent.m_fields.push_back(aggregateField(*child, std::get<Aggregate>(item)));
            }
        }
        std::vector<int> groupFieldIndexes;
        for (const QString& name : node.groupFields) {
            groupFieldIndexes.push_back(child->fieldIndex(name));
            parent.m_fields.push_back(child->m_fields[std::size_t(groupFieldIndexes.back())]);
        }

        // The group fields' cells are the child's, so the parent reads the child's texts.
        parent.m_texts = child->m_texts;
        CellVector cells;
        for (const auto& group : groups) {
            std::vector<std::shared_ptr<const ShapedRows>>& chapters =
                parent.m_chapters.emplace_back();
            for (const auto& item : node.computed) {
                if (std::holds_alternative<QString>(item))
                    chapters.push_back(group);
                else
                    cells.push_back(
                        parent.m_texts->cellOf(aggregateOver(*group, std::get<Aggregate>(item))));
            }
            for (int index : groupFieldIndexes)
                cells.push_back(group->cellsOf(0)[index]);
            ++parent.m_rowCount;
        }
        parent.m_cells = std::make_shared<const CellVector>(std::move(cells));
        return parent;
    }

    // The rows of each distinct combination of the fields, groups in the order of their first row.
    static std::vector<std::vector<int>> groupsInOrder(const ShapedRows& rows,
                                                       const QStringList& fields) {
        std::vector<int> indexes;
        for (const QString& name : fields)
            indexes.push_back(rows.fieldIndex(name));
        KeyMaker keys(*rows.m_texts);
        std::vector<std::vector<int>> groups;
        if (indexes.size() == 1) {
            constexpr std::size_t NoGroup = std::numeric_limits<std::size_t>::max();
            KeyMap<std::size_t> groupOf;
            const RowEntries<std::size_t> rowGroups(rows, indexes[0], keys, groupOf, NoGroup);
            for (int i = 0; i < rows.rowCount(); ++i) {
                std::size_t& group = rowGroups[i];
                if (group == NoGroup) {
                    group = groups.size();
                    groups.emplace_back();
                }
                groups[group].push_back(i);
            }
            return groups;
        }
        // Several fields: their keys spelled one after another.
        std::unordered_map<std::string, std::size_t> groupOf;
        for (int i = 0; i < rows.rowCount(); ++i) {
            std::string combined;
            for (int field : indexes) {
                const CellKey key = keys.of(rows.cellsOf(i)[field]);
                combined += char(key.kind);
                if (key.kind == CellKey::Kind::Number) {
                    const double number = std::isnan(key.number) ? std::nan("") : key.number;
                    combined.append(reinterpret_cast<const char*>(&number), sizeof number);
                } else if (key.kind == CellKey::Kind::Text) {
                    const quint64 size = key.text.size();
                    combined.append(reinterpret_cast<const char*>(&size), sizeof size);
                    combined.append(key.text);
                }
            }
            const auto [at, added] = groupOf.try_emplace(std::move(combined), groups.size());
            if (added)
                groups.emplace_back();
            groups[at->second].push_back(i);
        }
        return groups;
    }

    ShapeReader& m_reader;
    Connection& m_connection;
    const QStringList m_named; // the names in the command being evaluated
    std::optional<bool> m_utf8File;
};

ShapeReader::ShapeReader(const QString& connectionText)
    : m_connection(connectionFor(connectionText)) {}

ShapeReader::~ShapeReader() = default;

ShapedRows ShapeReader::shape(const QString& command) {
    Parser parser(command);
    const auto tree = parser.parseCommand();
    return ShapeEvaluator(*this, parser.names()).evaluate(*tree);
}

void ShapeReader::readOnlyFields(const QString& table, const QStringList& fields) {
    m_onlyFields.emplace_back(table, fields);
}

ShapedRows ShapeReader::queryRows(const QString& sql, const std::vector<Value>& parameters) {
    return ShapeEvaluator(*this).plainQuery(sql, parameters);
}

ShapedRows shape(const QString& command, const QString& connectionText) {
    return ShapeReader(connectionText).shape(command);
}

ShapedRows queryRows(const QString& sql, const QString& connectionText,
                     const std::vector<Value>& parameters) {
    return ShapeReader(connectionText).queryRows(sql, parameters);
}

} // namespace store
