#include "Shape.h"

#include "Connection.h"
#include "StoreError.h"

#include <optional>
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

Value ShapedRows::value(int row, int field) const {
    if (row < 0 || row >= rowCount() || field < 0 || field >= int(m_fields.size()))
        throw StoreError(Code::NoCurrentRecord, QStringLiteral("There is no such shaped row."));
    return valueAt(row, field);
}

Value ShapedRows::value(int row, const QString& field) const {
    return value(row, fieldIndex(field));
}

const ShapedRows& ShapedRows::chapter(int row, const QString& member) const {
    const int index = indexIgnoringCase(m_members, member);
    if (index < 0)
        throw StoreError(Code::UnknownField,
                         QStringLiteral("The shaped rows have no member \"%1\".").arg(member));
    if (row < 0 || row >= rowCount())
        throw StoreError(Code::NoCurrentRecord, QStringLiteral("There is no such shaped row."));
    return *m_chapters[std::size_t(row)][std::size_t(index)];
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

// Grouping and relating compare values exactly: numbers by value, everything else as stored.
struct ValueKey {
    QString text;
    bool operator==(const ValueKey&) const = default;
};

ValueKey keyOf(const Value& value) {
    if (value.isNull())
        return {QStringLiteral("\x01null")};
    if (value.isNumeric() && value.kind() != Value::Kind::Text)
        return {QStringLiteral("\x01n") + QString::number(value.toDouble(), 'g', 17)};
    return {value.toText()};
}

struct ValueKeyHash {
    std::size_t operator()(const ValueKey& key) const { return qHash(key.text); }
};

} // namespace

class ShapeEvaluator {
public:
    explicit ShapeEvaluator(std::shared_ptr<Connection> connection)
        : m_connection(std::move(connection)) {}

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
        Statement statement = m_connection->prepare(sql);
        for (std::size_t i = 0; i < parameters.size(); ++i)
            statement.bind(int(i) + 1, parameters[i]);
        ShapedRows rows;
        const int columns = statement.columnCount();
        std::vector<FieldType> types;
        for (int c = 0; c < columns; ++c) {
            rows.m_fields.push_back(statement.columnField(c));
            types.push_back(rows.m_fields.back().type);
        }
        if (parameters.empty()) {
            const QString table = wholeTableOf(sql);
            if (!table.isEmpty() && m_connection->isTable(table))
                rows.m_cells.reserve(expectedRows(*m_connection, table) * types.size());
        }
        while (statement.step()) {
            rows.m_texts->readRow(statement, 0, types, rows.m_cells);
            ++rows.m_rowCount;
        }
        rows.m_chapters.resize(std::size_t(rows.m_rowCount));
        return rows;
    }

    // A level with the fields and members of `like` and the given rows of it.
    static std::shared_ptr<const ShapedRows> subset(const ShapedRows& like,
                                                    const std::vector<int>& rowIndexes) {
        auto part = std::make_shared<ShapedRows>();
        part->m_fields = like.m_fields;
        part->m_members = like.m_members;
        part->m_texts = like.m_texts;
        const std::size_t width = like.m_fields.size();
        part->m_cells.reserve(rowIndexes.size() * width);
        part->m_chapters.reserve(rowIndexes.size());
        for (int i : rowIndexes) {
            const Cell* cells = like.cellsOf(i);
            part->m_cells.insert(part->m_cells.end(), cells, cells + width);
            part->m_chapters.push_back(like.m_chapters[std::size_t(i)]);
        }
        part->m_rowCount = int(rowIndexes.size());
        return part;
    }

    static std::unordered_map<ValueKey, std::vector<int>, ValueKeyHash>
    rowsByValue(const ShapedRows& rows, int field) {
        std::unordered_map<ValueKey, std::vector<int>, ValueKeyHash> groups;
        for (int i = 0; i < rows.rowCount(); ++i)
            groups[keyOf(rows.valueAt(i, field))].push_back(i);
        return groups;
    }

    void relate(ShapedRows& parent, const Relation& relation) {
        const ShapedRows child = evaluateSource(relation.child);
        const int parentField = parent.fieldIndex(relation.parentField);
        const auto children = rowsByValue(child, child.fieldIndex(relation.childField));
        const auto none = subset(child, {});
        parent.m_members << relation.member;
        for (int row = 0; row < parent.m_rowCount; ++row) {
            const auto found = children.find(keyOf(parent.valueAt(row, parentField)));
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

    // Widens every row of the level by one field holding the row's value of `values`.
    static void appendField(ShapedRows& level, const Field& field,
                            const std::vector<Value>& values) {
        const std::size_t width = level.m_fields.size();
        std::vector<Cell> cells;
        cells.reserve(std::size_t(level.m_rowCount) * (width + 1));
        for (int row = 0; row < level.m_rowCount; ++row) {
            const Cell* old = level.cellsOf(row);
            cells.insert(cells.end(), old, old + width);
            cells.push_back(level.m_texts->cellOf(values[std::size_t(row)]));
        }
        level.m_cells = std::move(cells);
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
            const Value v = over.valueAt(row, field);
            if (v.isNull())
                continue;
            any = true;
            if (money)
                moneySum += v.toCurrency().tenThousandths;
            else
                sum += v.toDouble();
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
        for (const auto& group : groups) {
            std::vector<std::shared_ptr<const ShapedRows>>& chapters =
                parent.m_chapters.emplace_back();
            for (const auto& item : node.computed) {
                if (std::holds_alternative<QString>(item))
                    chapters.push_back(group);
                else
                    parent.m_cells.push_back(
                        parent.m_texts->cellOf(aggregateOver(*group, std::get<Aggregate>(item))));
            }
            for (int index : groupFieldIndexes)
                parent.m_cells.push_back(group->cellsOf(0)[index]);
            ++parent.m_rowCount;
        }
        return parent;
    }

    // The rows of each distinct combination of the fields, groups in the order of their first row.
    static std::vector<std::vector<int>> groupsInOrder(const ShapedRows& rows,
                                                       const QStringList& fields) {
        std::vector<int> indexes;
        for (const QString& name : fields)
            indexes.push_back(rows.fieldIndex(name));
        std::unordered_map<ValueKey, std::size_t, ValueKeyHash> groupOf;
        std::vector<std::vector<int>> groups;
        for (int i = 0; i < rows.rowCount(); ++i) {
            QString key;
            for (int field : indexes)
                key += keyOf(rows.valueAt(i, field)).text + QChar(0x1F);
            const auto [at, added] = groupOf.try_emplace(ValueKey{key}, groups.size());
            if (added)
                groups.emplace_back();
            groups[at->second].push_back(i);
        }
        return groups;
    }

    std::shared_ptr<Connection> m_connection;
};

ShapedRows shape(const QString& command, const QString& connectionText) {
    const auto tree = Parser(command).parseCommand();
    return ShapeEvaluator(connectionFor(connectionText)).evaluate(*tree);
}

ShapedRows queryRows(const QString& sql, const QString& connectionText,
                     const std::vector<Value>& parameters) {
    return ShapeEvaluator(connectionFor(connectionText)).plainQuery(sql, parameters);
}

} // namespace store
