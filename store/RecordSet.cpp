#include "RecordSet.h"

#include "Connection.h"
#include "HalvesRead.h"
#include "StoreError.h"
#include "Transaction.h"

#include <QRegularExpression>
#include <algorithm>
#include <deque>
#include <limits>
#include <map>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <unordered_map>

namespace store {

namespace {

using Code = StoreError::Code;

const QString RowIdColumn = QStringLiteral("_rowid_");

QString quotedName(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

// A source that is not a query is a table name, opened as the whole table.
QString sqlForSource(const QString& source) {
    const QString trimmed = source.trimmed();
    static const QRegularExpression query(QStringLiteral("^(SELECT|WITH)\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    if (query.match(trimmed).hasMatch())
        return trimmed;
    const QString name = bareFieldName(trimmed);
    static const QRegularExpression plainName(QStringLiteral("^[\\w ]+$"));
    if (name.isEmpty() || !plainName.match(name).hasMatch())
        throw StoreError(Code::Sql, QStringLiteral("\"%1\" is not a table name.").arg(source));
    return QStringLiteral("SELECT * FROM ") + quotedName(name);
}

// The table behind a single-table query, or empty text when the query cannot be written back.
QString singleTableOf(const QString& sql) {
    static const QRegularExpression shape(
        QStringLiteral("^SELECT\\s+(.+?)\\s+FROM\\s+(\\[[^\\]]+\\]|`[^`]+`|\\w+)\\s*"
                       "(?:(?:WHERE|ORDER\\s+BY)\\b.*)?;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression notWritable(
        QStringLiteral(
            "\\b(DISTINCT|DISTINCTROW|JOIN|GROUP\\s+BY|UNION|HAVING)\\b|\\(\\s*SELECT\\b"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = shape.match(sql);
    if (!match.hasMatch() || notWritable.match(sql).hasMatch())
        return {};
    return bareFieldName(match.captured(2));
}

// The text a name sorts by: case and accents ignored, so that "Émile" sorts with the E's. A
// text of ASCII characters only is its own key: it is compared with its letters lowered as it
// goes (case folding of ASCII lowers A to Z and nothing else), which spares a folded copy of
// every name.
struct TextKey {
    QString text; // the ASCII text itself, or the folded key of any other
    bool null = false;
};

bool isAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; });
}

QString foldedKeyOf(const QString& text) {
    QString key;
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    key.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            key += c;
    }
    return key.toCaseFolded();
}

TextKey textKeyOf(const QString& text) {
    TextKey key;
    key.text = isAscii(text) ? text : foldedKeyOf(text);
    return key;
}

TextKey textKeyOf(const Value& value) {
    TextKey key = textKeyOf(value.toText());
    key.null = value.isNull();
    return key;
}

// Code units compared with ASCII capitals lowered. A folded key holds no ASCII capitals, so this
// is the order of the folded keys whichever side is plain ASCII.
inline char16_t lowered(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

int compareKeys(const TextKey& a, const TextKey& b) {
    if (a.null != b.null)
        return a.null ? -1 : 1;
    const char16_t* p = reinterpret_cast<const char16_t*>(a.text.constData());
    const char16_t* q = reinterpret_cast<const char16_t*>(b.text.constData());
    const qsizetype n = std::min(a.text.size(), b.text.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = lowered(p[i]);
        const char16_t y = lowered(q[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.text.size() == b.text.size() ? 0 : (a.text.size() < b.text.size() ? -1 : 1);
}

// One sort key's values over the rows being sorted, read once per sort rather than once per
// comparison: whole numbers when every value is one (integers and yes/no compare exactly as
// whole numbers) or ranks of texts, else the values themselves.
struct SortColumn {
    enum class Kind { Wholes, Values };
    Kind kind = Kind::Values;
    bool descending = false;
    int field = -1;
    std::vector<qint64> wholes; // by position in the rows being sorted; nulls flagged in nulls
    std::vector<char> nulls;    // by position
    std::vector<Value> values;  // Values: by position
};

// The positions of a column of whole numbers in sort order, ties in position order, counted
// into one bucket per value when the values span no more than a few times the rows (class
// numbers, ranks of texts): a linear pass instead of a comparison sort. Empty when they span more.
std::vector<int> countingOrder(const SortColumn& column) {
    const std::size_t count = column.wholes.size();
    qint64 low = std::numeric_limits<qint64>::max();
    qint64 high = std::numeric_limits<qint64>::min();
    for (std::size_t p = 0; p < count; ++p) {
        if (column.nulls[p])
            continue;
        low = std::min(low, column.wholes[p]);
        high = std::max(high, column.wholes[p]);
    }
    const bool anyValue = low <= high;
    const quint64 span = anyValue ? quint64(high) - quint64(low) : 0;
    if (span >= 4 * quint64(count) + 64)
        return {};
    // Bucket 0 holds the nulls; values follow, lowest first. Descending reverses the buckets
    // but keeps the rows of one bucket in position order.
    const std::size_t buckets = anyValue ? std::size_t(span) + 2 : 1;
    const auto bucketOf = [&](std::size_t p) -> std::size_t {
        const std::size_t ascending =
            column.nulls[p] ? 0 : std::size_t(quint64(column.wholes[p]) - quint64(low)) + 1;
        return column.descending ? buckets - 1 - ascending : ascending;
    };
    std::vector<int> starts(buckets + 1, 0);
    for (std::size_t p = 0; p < count; ++p)
        ++starts[bucketOf(p) + 1];
    for (std::size_t b = 1; b <= buckets; ++b)
        starts[b] += starts[b - 1];
    std::vector<int> order(count);
    for (std::size_t p = 0; p < count; ++p)
        order[std::size_t(starts[bucketOf(p)]++)] = int(p);
    return order;
}

// A text column sorts by the rank of each row's key among the column's distinct texts: names
// repeat, so the keys are made and compared once per distinct text, and the rows are then
// ordered by whole numbers. Equal keys share a rank; nulls come first. textAt gives a row's text
// in UTF-8, or nothing for a null.
template <typename TextAt> void rankTexts(std::size_t count, TextAt textAt, SortColumn& column) {
    column.kind = SortColumn::Kind::Wholes;
    column.nulls.assign(count, 0);
    column.wholes.assign(count, 0);
    std::unordered_map<std::string_view, int> distinct;
    std::vector<std::string_view> texts;
    std::vector<int> ids(count, -1);
    for (std::size_t p = 0; p < count; ++p) {
        const std::optional<std::string_view> text = textAt(p);
        if (!text) {
            column.nulls[p] = 1;
            continue;
        }
        const auto [found, added] = distinct.try_emplace(*text, int(texts.size()));
        if (added)
            texts.push_back(*text);
        ids[p] = found->second;
    }
    std::vector<TextKey> keys;
    keys.reserve(texts.size());
    for (std::string_view text : texts)
        keys.push_back(textKeyOf(QString::fromUtf8(text.data(), qsizetype(text.size()))));
    std::vector<int> byKey(texts.size());
    for (std::size_t i = 0; i < byKey.size(); ++i)
        byKey[i] = int(i);
    std::sort(byKey.begin(), byKey.end(),
              [&](int a, int b) { return compareKeys(keys[a], keys[b]) < 0; });
    std::vector<qint64> rank(texts.size(), 0);
    qint64 r = 0;
    for (std::size_t i = 0; i < byKey.size(); ++i) {
        if (i > 0 && compareKeys(keys[byKey[i - 1]], keys[byKey[i]]) != 0)
            ++r;
        rank[byKey[i]] = r;
    }
    for (std::size_t p = 0; p < count; ++p) {
        if (ids[p] >= 0)
            column.wholes[p] = rank[ids[p]];
    }
}

// The rows a whole-table read is expected to give: the table's highest row id, which is its
// number of rows unless rows were deleted. Zero when the table is empty or the guess is out of
// all proportion.
} // namespace

void RecordSet::requireOpen() const {
    if (!m_open)
        throw StoreError(Code::Closed, QStringLiteral("The record set is not open."));
}

void RecordSet::open(const QString& source, const QString& connectionText) {
    close();
    m_source = source;
    m_connectionText = connectionText;
    m_sql = sqlForSource(source);
    try {
        load();
    } catch (...) {
        close();
        throw;
    }
    m_open = true;
    rebuildView();
}

void RecordSet::load() {
    auto connection = connectionFor(m_connectionText);
    const std::size_t previousRows = m_records.size();
    m_table.clear();
    QString sql = m_sql;
    const QString candidate = singleTableOf(m_sql);
    const bool withRowId = !candidate.isEmpty() && connection->isTable(candidate);
    if (withRowId)
        sql = QStringLiteral("SELECT ") + RowIdColumn + QStringLiteral(", ") +
              m_sql.trimmed().mid(6).trimmed();

    Statement statement = connection->prepare(sql);
    const int first = withRowId ? 1 : 0;
    const int columns = statement.columnCount();
    m_fields.clear();
    m_columnsInTable.clear();
    bool writable = withRowId;
    for (int c = first; c < columns; ++c) {
        m_fields.push_back(statement.columnField(c));
        m_columnsInTable.push_back(statement.columnOrigin(c));
        if (statement.columnOrigin(c).isEmpty() ||
            statement.columnTable(c).compare(candidate, Qt::CaseInsensitive) != 0)
            writable = false;
    }
    if (writable)
        m_table = candidate;

    // The rows are read into fresh storage: the set's own is replaced only by a complete read.
    struct Rows {
        BulkVector<Record> records;
        CellVector cells;
        CellTexts texts;
    };
    std::vector<FieldType> types;
    for (const Field& field : m_fields)
        types.push_back(field.type);
    const auto readRows = [&types, first, withRowId](Statement& from, std::size_t room) {
        Rows rows;
        rows.records.reserve(room);
        rows.cells.reserve(room * types.size());
        while (from.step()) {
            rows.records.push_back(Record{withRowId ? from.columnInt64(0) : 0, State::Unchanged});
            rows.texts.readRow(from, first, types, rows.cells);
            rows.texts.expectRows(rows.records.size(), room);
        }
        return rows;
    };
    const bool wholeTable = writable && readsWholeTable();
    const std::size_t highest = wholeTable ? expectedRows(*connection, m_table) : 0;
    Rows rows;
    if (wholeTable && readsInHalves(*connection, highest)) {
        const QString select = QStringLiteral("SELECT ") + RowIdColumn +
                               QStringLiteral(", * FROM [") + m_table + QLatin1Char(']');
        const auto readHalf = [&readRows](Connection& from, const QString& text,
                                          const std::vector<Value>& parameters, std::size_t room) {
            Statement half = from.prepare(text);
            for (std::size_t i = 0; i < parameters.size(); ++i)
                half.bind(int(i) + 1, parameters[i]);
            return readRows(half, room);
        };
        const auto join = [](Rows& into, Rows&& later) {
            into.records.insert(into.records.end(), later.records.begin(), later.records.end());
            into.texts.append(std::move(later.texts), later.cells, into.cells);
        };
        rows = readInHalves(*connection, select, highest, readHalf, join);
    } else {
        rows = readRows(statement, previousRows != 0 ? previousRows : highest);
    }
    m_records = std::move(rows.records);
    m_cells = std::move(rows.cells);
    m_texts = std::move(rows.texts);
    m_pending.clear();
}

void RecordSet::requery() {
    requireOpen();
    const QString filterText = m_filterText;
    const QString sortText = m_sortText;
    load();
    m_filter = Filter::parse(filterText, m_fields);
    m_sortKeys = parseSort(sortText, m_fields);
    rebuildView();
}

void RecordSet::close() {
    m_open = false;
    m_table.clear();
    m_fields.clear();
    m_columnsInTable.clear();
    // The rows' storage is given back, not kept for a next read.
    BulkVector<Record>().swap(m_records);
    CellVector().swap(m_cells);
    m_texts.release();
    m_pending.clear();
    std::vector<int>().swap(m_view);
    m_position = -1;
    m_filterText.clear();
    m_filter = Filter();
    m_sortText.clear();
    m_sortKeys.clear();
}

// ---- Navigation --------------------------------------------------------------------------

void RecordSet::moveFirst() {
    requireOpen();
    m_position = 0;
}

void RecordSet::moveLast() {
    requireOpen();
    m_position = int(m_view.size()) - 1;
}

void RecordSet::moveNext() {
    requireOpen();
    if (eof())
        throw StoreError(Code::NoCurrentRecord, QStringLiteral("Already past the last record."));
    ++m_position;
}

void RecordSet::movePrevious() {
    requireOpen();
    if (m_position < 0)
        throw StoreError(Code::NoCurrentRecord, QStringLiteral("Already before the first record."));
    --m_position;
}

int RecordSet::absolutePosition() const {
    return (bof() || eof()) ? 0 : m_position + 1;
}

void RecordSet::setAbsolutePosition(int position) {
    requireOpen();
    if (position < 1 || position > int(m_view.size()))
        throw StoreError(Code::NoCurrentRecord,
                         QStringLiteral("There is no record %1.").arg(position));
    m_position = position - 1;
}

RecordSet::Bookmark RecordSet::bookmark() const {
    if (!m_open || bof() || eof())
        return NoBookmark;
    return m_view[m_position];
}

bool RecordSet::setBookmark(Bookmark bookmark) {
    requireOpen();
    const auto found = std::find(m_view.begin(), m_view.end(), bookmark);
    if (bookmark == NoBookmark || found == m_view.end())
        return false;
    m_position = int(found - m_view.begin());
    return true;
}

// ---- Filter, sort and find ---------------------------------------------------------------

void RecordSet::setFilter(const QString& filter) {
    requireOpen();
    Filter parsed = Filter::parse(filter, m_fields);
    m_filter = std::move(parsed);
    m_filterText = filter;
    rebuildView();
}

void RecordSet::setSort(const QString& sort) {
    requireOpen();
    SortKeys keys = parseSort(sort, m_fields);
    m_sortKeys = std::move(keys);
    m_sortText = sort;
    rebuildView();
}

void RecordSet::rebuildView() {
    m_view.clear();
    m_view.reserve(m_records.size());
    const bool everyRow = m_filter.isEmpty();
    for (int i = 0; i < int(m_records.size()); ++i) {
        const Record& record = m_records[i];
        if (record.state == State::Deleted || record.state == State::Dropped)
            continue;
        if (everyRow || passes(m_filter, i))
            m_view.push_back(i);
    }
    sortView();
    m_position = 0;
}

void RecordSet::sortView() {
    if (m_sortKeys.empty() || m_view.size() < 2)
        return;
    // The view is in record order here (rebuildView), so a row's position breaks ties exactly as
    // a stable sort would.
    const std::size_t count = m_view.size();
    std::vector<SortColumn> columns;
    for (const SortKey& key : m_sortKeys) {
        SortColumn column;
        column.field = key.field;
        column.descending = key.descending;
        const auto cellAt = [&](int index) -> const Cell& { return cellsOf(index)[key.field]; };
        if (m_fields[key.field].type == FieldType::Text) {
            // Texts the set keeps in UTF-8 are ranked as they are; others are spelled out.
            std::deque<std::string> spelled;
            rankTexts(
                count,
                [&](std::size_t p) -> std::optional<std::string_view> {
                    const Cell& cell = cellAt(m_view[p]);
                    if (cell.kind == Cell::Kind::Null)
                        return std::nullopt;
                    if (cell.kind == Cell::Kind::Utf8)
                        return m_texts.utf8Of(cell);
                    return spelled.emplace_back(valueOf(cell).toText().toStdString());
                },
                column);
        } else {
            // Integers and yes/no compare exactly as whole numbers.
            const bool wholes = std::all_of(m_view.begin(), m_view.end(), [&](int index) {
                const Cell::Kind kind = cellAt(index).kind;
                return kind == Cell::Kind::Null || kind == Cell::Kind::Integer ||
                       kind == Cell::Kind::Boolean;
            });
            if (wholes) {
                column.kind = SortColumn::Kind::Wholes;
                column.wholes.reserve(count);
                column.nulls.reserve(count);
                for (int index : m_view) {
                    const Cell& cell = cellAt(index);
                    column.nulls.push_back(cell.kind == Cell::Kind::Null ? 1 : 0);
                    column.wholes.push_back(cell.kind == Cell::Kind::Null ? 0 : cell.whole);
                }
            } else {
                column.values.reserve(count);
                for (int index : m_view)
                    column.values.push_back(valueOf(cellAt(index)));
            }
        }
        columns.push_back(std::move(column));
    }
    if (columns.size() == 1 && columns.front().kind == SortColumn::Kind::Wholes) {
        // One key of whole numbers or ranks, the usual case: the rows are sorted with their key
        // beside them, not through it.
        struct Item {
            char null;
            qint64 whole;
            int position;
        };
        const SortColumn& column = columns.front();
        if (const std::vector<int> order = countingOrder(column); !order.empty()) {
            std::vector<int> sorted(count);
            for (std::size_t p = 0; p < count; ++p)
                sorted[p] = m_view[std::size_t(order[p])];
            m_view = std::move(sorted);
            return;
        }
        std::vector<Item> items(count);
        for (std::size_t p = 0; p < count; ++p)
            items[p] = Item{column.nulls[p], column.wholes[p], int(p)};
        const bool descending = column.descending;
        std::sort(items.begin(), items.end(), [descending](const Item& a, const Item& b) {
            int c = 0;
            if (a.null != b.null)
                c = a.null ? -1 : 1;
            else if (a.whole != b.whole)
                c = a.whole < b.whole ? -1 : 1;
            if (c != 0)
                return descending ? c > 0 : c < 0;
            return a.position < b.position;
        });
        std::vector<int> sorted(count);
        for (std::size_t p = 0; p < count; ++p)
            sorted[p] = m_view[std::size_t(items[p].position)];
        m_view = std::move(sorted);
        return;
    }
    std::vector<int> order(count);
    for (std::size_t p = 0; p < count; ++p)
        order[p] = int(p);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        for (const SortColumn& column : columns) {
            int c;
            switch (column.kind) {
            case SortColumn::Kind::Wholes:
                if (column.nulls[a] != column.nulls[b])
                    c = column.nulls[a] ? -1 : 1;
                else
                    c = column.wholes[a] < column.wholes[b]
                            ? -1
                            : (column.wholes[a] > column.wholes[b] ? 1 : 0);
                break;
            default:
                c = compareValues(column.values[a], column.values[b]);
                break;
            }
            if (c != 0)
                return column.descending ? c > 0 : c < 0;
        }
        return a < b;
    });
    std::vector<int> sorted(count);
    for (std::size_t p = 0; p < count; ++p)
        sorted[p] = m_view[order[p]];
    m_view = std::move(sorted);
}

bool RecordSet::sortsBefore(int a, int b) const {
    for (const SortKey& key : m_sortKeys) {
        const Value x = valueOf(cellsOf(a)[key.field]);
        const Value y = valueOf(cellsOf(b)[key.field]);
        const int c = m_fields[key.field].type == FieldType::Text
                          ? compareKeys(textKeyOf(x), textKeyOf(y))
                          : compareValues(x, y);
        if (c != 0)
            return key.descending ? c > 0 : c < 0;
    }
    return a < b;
}

bool RecordSet::find(const QString& criterion, int skip, bool forward) {
    requireOpen();
    const Filter condition = Filter::parse(criterion, m_fields);
    const int count = int(m_view.size());
    int start = m_position;
    if (forward && start < 0)
        start = 0;
    if (!forward && start >= count)
        start = count - 1;
    const int step = forward ? 1 : -1;
    for (int i = start + step * skip; i >= 0 && i < count; i += step) {
        if (passes(condition, m_view[i])) {
            m_position = i;
            return true;
        }
    }
    m_position = forward ? count : -1;
    return false;
}

// ---- Fields --------------------------------------------------------------------------------

int RecordSet::fieldIndex(const QString& name) const {
    const int index = findField(m_fields, name);
    if (index < 0)
        throw StoreError(Code::UnknownField, QStringLiteral("There is no field %1.").arg(name));
    return index;
}

const RecordSet::Record& RecordSet::current() const {
    requireOpen();
    if (bof() || eof())
        throw StoreError(Code::NoCurrentRecord, QStringLiteral("There is no current record."));
    return m_records[m_view[m_position]];
}

RecordSet::Record& RecordSet::current() {
    return const_cast<Record&>(static_cast<const RecordSet*>(this)->current());
}

int RecordSet::currentIndex() const {
    current();
    return m_view[m_position];
}

// A record's cells as a filter reads them: a field is made into a value only when a test
// reaches it, and a text read from the file is tested in its UTF-8 where it can be.
class RecordSet::CellRow final : public FilterRow {
public:
    CellRow(const Cell* cells, std::size_t count, const CellTexts& texts)
        : m_cells(cells), m_count(count), m_texts(texts) {}
    Value value(int field) const override {
        return std::size_t(field) < m_count ? m_texts.valueOf(m_cells[field]) : Value();
    }
    std::optional<std::string_view> utf8(int field) const override {
        if (std::size_t(field) >= m_count || m_cells[field].kind != Cell::Kind::Utf8)
            return std::nullopt;
        return m_texts.utf8Of(m_cells[field]);
    }

private:
    const Cell* m_cells;
    std::size_t m_count;
    const CellTexts& m_texts;
};

bool RecordSet::passes(const Filter& filter, int record) const {
    return filter.isEmpty() || filter.matches(CellRow(cellsOf(record), m_fields.size(), m_texts));
}

RecordSet::Pending& RecordSet::pendingOf(int record) {
    Pending& pending = m_pending[record];
    if (pending.set.empty())
        pending.set.assign(m_fields.size(), false);
    return pending;
}

Value RecordSet::value(const QString& field) const {
    return value(fieldIndex(field));
}

Value RecordSet::valueAt(int position, int field) const {
    if (position < 0 || position >= int(m_view.size()) || field < 0 ||
        field >= int(m_fields.size()))
        return {};
    return valueOf(cellsOf(m_view[std::size_t(position)])[field]);
}

Value RecordSet::value(int field) const {
    const int record = currentIndex();
    if (field < 0 || field >= int(m_fields.size()))
        throw StoreError(Code::UnknownField, QStringLiteral("There is no field %1.").arg(field));
    return valueOf(cellsOf(record)[field]);
}

void RecordSet::setValue(const QString& field, const Value& value) {
    setValue(fieldIndex(field), value);
}

void RecordSet::setValue(int field, const Value& value) {
    requireOpen();
    if (!isUpdatable())
        throw StoreError(Code::ReadOnly,
                         QStringLiteral("The rows of \"%1\" cannot be changed.").arg(m_source));
    const int index = currentIndex();
    Record& record = m_records[std::size_t(index)];
    if (field < 0 || field >= int(m_fields.size()))
        throw StoreError(Code::UnknownField, QStringLiteral("There is no field %1.").arg(field));
    const Field& target = m_fields[field];
    Value converted;
    try {
        converted = value.convertedTo(target.type, target.maxLength);
    } catch (const StoreError& error) {
        throw StoreError(error.code(), QStringLiteral("%1: %2").arg(target.name, error.message()));
    }
    Pending& pending = pendingOf(index);
    Cell* cells = cellsOf(index);
    if (record.state == State::Unchanged) {
        pending.original.assign(cells, cells + m_fields.size());
        record.state = State::Modified;
    }
    cells[field] = cellOf(converted);
    pending.set[std::size_t(field)] = true;
}

// ---- Changes -------------------------------------------------------------------------------

void RecordSet::addNew() {
    requireOpen();
    if (!isUpdatable())
        throw StoreError(Code::ReadOnly,
                         QStringLiteral("Rows cannot be added to \"%1\".").arg(m_source));
    m_records.push_back(Record{0, State::Inserted});
    m_cells.resize(m_cells.size() + m_fields.size());
    pendingOf(int(m_records.size()) - 1);
    m_view.push_back(int(m_records.size()) - 1);
    m_position = int(m_view.size()) - 1;
}

void RecordSet::deleteCurrent() {
    requireOpen();
    if (!isUpdatable())
        throw StoreError(Code::ReadOnly,
                         QStringLiteral("Rows cannot be deleted from \"%1\".").arg(m_source));
    const int index = currentIndex();
    Record& record = m_records[std::size_t(index)];
    if (record.state == State::Inserted) {
        record.state = State::Dropped;
    } else {
        if (record.state == State::Unchanged) {
            const Cell* cells = cellsOf(index);
            pendingOf(index).original.assign(cells, cells + m_fields.size());
        }
        record.state = State::Deleted;
    }
    m_view.erase(m_view.begin() + m_position);
}

bool RecordSet::hasPendingChanges() const {
    return std::any_of(m_records.begin(), m_records.end(), [](const Record& r) {
        return r.state == State::Modified || r.state == State::Inserted ||
               r.state == State::Deleted;
    });
}

// The prepared statements of one batch, each prepared once and reused for every row.
class RecordSet::BatchStatements {
public:
    explicit BatchStatements(Connection& connection) : m_connection(connection) {}

    Connection& connection() const { return m_connection; }
    Statement& operator[](const QString& sql) {
        auto found = m_statements.find(sql);
        if (found == m_statements.end())
            found = m_statements.emplace(sql, m_connection.prepare(sql)).first;
        found->second.reset();
        return found->second;
    }

private:
    Connection& m_connection;
    std::map<QString, Statement> m_statements;
};

void RecordSet::updateBatch() {
    requireOpen();
    if (!hasPendingChanges())
        return;
    auto connection = connectionFor(m_connectionText);
    std::vector<std::pair<int, qint64>> insertedRowIds;
    {
        // The transaction is declared first so that the statements are finalised before it
        // ends, whether it commits or rolls back.
        Transaction transaction(*connection);
        BatchStatements statements(*connection);
        for (int index = 0; index < int(m_records.size()); ++index) {
            const Record& record = m_records[index];
            switch (record.state) {
            case State::Deleted:
                writeDeletion(statements, record);
                break;
            case State::Modified:
                writeUpdate(statements, index);
                break;
            case State::Inserted:
                insertedRowIds.emplace_back(index, writeInsertion(statements, index));
                break;
            case State::Unchanged:
            case State::Dropped:
                break;
            }
        }
        transaction.commit();
    }
    settleCommittedBatch(insertedRowIds);
}

std::vector<int> RecordSet::writtenFields(int record) const {
    std::vector<int> written;
    const auto pending = m_pending.find(record);
    if (pending == m_pending.end() || pending->second.set.empty())
        return written;
    for (int f = 0; f < int(m_fields.size()); ++f) {
        if (pending->second.set[std::size_t(f)])
            written.push_back(f);
    }
    return written;
}

// A row that another connection has already deleted stays deleted: the batch goes on.
void RecordSet::writeDeletion(BatchStatements& statements, const Record& record) {
    Statement& statement =
        statements[QStringLiteral("DELETE FROM ") + quotedName(m_table) +
                   QStringLiteral(" WHERE ") + RowIdColumn + QStringLiteral(" = ?")];
    statement.bind(1, Value(record.rowId));
    statement.step();
}

// A changed row that no longer exists fails the whole batch: the change has nowhere to go.
void RecordSet::writeUpdate(BatchStatements& statements, int index) {
    const Record& record = m_records[std::size_t(index)];
    const Cell* cells = cellsOf(index);
    const std::vector<int> written = writtenFields(index);
    if (written.empty())
        return;
    QStringList names;
    for (int f : written)
        names << quotedName(m_columnsInTable[f]);
    Statement& statement =
        statements[QStringLiteral("UPDATE ") + quotedName(m_table) + QStringLiteral(" SET ") +
                   names.join(QStringLiteral(" = ?, ")) + QStringLiteral(" = ? WHERE ") +
                   RowIdColumn + QStringLiteral(" = ?")];
    int slot = 1;
    for (int f : written)
        statement.bind(slot++, valueOf(cells[f]));
    statement.bind(slot, Value(record.rowId));
    statement.step();
    if (sqlite3_changes(statements.connection().handle()) != 1)
        throw StoreError(Code::Sql,
                         QStringLiteral("A changed row of %1 no longer exists.").arg(m_table));
}

// Returns the new row's id; the record learns it only when the batch has committed.
qint64 RecordSet::writeInsertion(BatchStatements& statements, int index) {
    const Cell* cells = cellsOf(index);
    const std::vector<int> written = writtenFields(index);
    QString sql = QStringLiteral("INSERT INTO ") + quotedName(m_table);
    if (written.empty()) {
        sql += QStringLiteral(" DEFAULT VALUES");
    } else {
        QStringList names;
        QStringList parameterMarks;
        for (int f : written) {
            names << quotedName(m_columnsInTable[f]);
            parameterMarks << QStringLiteral("?");
        }
        sql += QStringLiteral(" (") + names.join(QStringLiteral(", ")) +
               QStringLiteral(") VALUES (") + parameterMarks.join(QStringLiteral(", ")) +
               QLatin1Char(')');
    }
    Statement& statement = statements[sql];
    int slot = 1;
    for (int f : written)
        statement.bind(slot++, valueOf(cells[f]));
    statement.step();
    return sqlite3_last_insert_rowid(statements.connection().handle());
}

// Only a committed batch changes what the set holds.
void RecordSet::settleCommittedBatch(const std::vector<std::pair<int, qint64>>& insertedRowIds) {
    for (const auto& [index, rowId] : insertedRowIds)
        m_records[index].rowId = rowId;
    for (Record& record : m_records) {
        if (record.state == State::Deleted)
            record.state = State::Dropped;
        else if (record.state == State::Modified || record.state == State::Inserted)
            record.state = State::Unchanged;
    }
    m_pending.clear();
}

std::vector<RecordSet::Bookmark> RecordSet::pendingRows() const {
    std::vector<Bookmark> rows;
    for (int index = 0; index < int(m_records.size()); ++index) {
        const State state = m_records[index].state;
        if (state == State::Modified || state == State::Inserted || state == State::Deleted)
            rows.push_back(index);
    }
    return rows;
}

bool RecordSet::readsWholeTable() const {
    const QString table = wholeTableOf(m_sql);
    return !table.isEmpty() && table.compare(m_table, Qt::CaseInsensitive) == 0;
}

bool RecordSet::placeWrittenRows(const std::vector<Bookmark>& rows) {
    requireOpen();
    if (!isUpdatable() || !readsWholeTable() || hasPendingChanges())
        return false;
    // A fresh read shows the rows in the table's order, which is the records' order only while
    // their row ids rise with it.
    qint64 lastRowId = std::numeric_limits<qint64>::min();
    for (const Record& record : m_records) {
        if (record.state == State::Dropped)
            continue;
        if (record.rowId <= lastRowId)
            return false;
        lastRowId = record.rowId;
    }

    // Every written row is read back before anything changes.
    auto connection = connectionFor(m_connectionText);
    Statement statement = connection->prepare(
        QStringLiteral("SELECT ") + RowIdColumn + QStringLiteral(", * FROM ") +
        quotedName(m_table) + QStringLiteral(" WHERE ") + RowIdColumn + QStringLiteral(" = ?"));
    const int fieldCount = int(m_fields.size());
    if (statement.columnCount() != fieldCount + 1)
        return false;
    // Texts read back are added to the set's own; a read that fails leaves them unused.
    std::vector<std::pair<int, std::vector<Cell>>> readBack;
    std::vector<char> placed(m_records.size(), 0);
    for (Bookmark index : rows) {
        if (index < 0 || index >= int(m_records.size()))
            return false;
        if (placed[index])
            continue;
        placed[index] = 1;
        const Record& record = m_records[index];
        if (record.state == State::Dropped)
            continue; // deleted: it only leaves the view
        statement.reset();
        statement.bind(1, Value(record.rowId));
        if (!statement.step())
            return false;
        std::vector<Cell> values;
        values.reserve(std::size_t(fieldCount));
        for (int c = 0; c < fieldCount; ++c)
            values.push_back(cellOf(statement.columnValue(c + 1, m_fields[c].type)));
        readBack.emplace_back(index, std::move(values));
    }

    const Bookmark current = bookmark();
    std::erase_if(m_view, [&](int index) { return placed[index] != 0; });
    std::sort(readBack.begin(), readBack.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [index, values] : readBack) {
        std::copy(values.begin(), values.end(), cellsOf(index));
        if (!passes(m_filter, index))
            continue;
        const auto at = std::upper_bound(m_view.begin(), m_view.end(), index,
                                         [&](int a, int b) { return sortsBefore(a, b); });
        m_view.insert(at, index);
    }
    if (current == NoBookmark || !setBookmark(current))
        m_position = 0;
    return true;
}

void RecordSet::cancelBatch() {
    requireOpen();
    const Bookmark mark = bookmark();
    for (int index = 0; index < int(m_records.size()); ++index) {
        Record& record = m_records[std::size_t(index)];
        if (record.state == State::Inserted) {
            record.state = State::Dropped;
        } else if (record.state == State::Modified || record.state == State::Deleted) {
            const auto pending = m_pending.find(index);
            if (pending != m_pending.end() && !pending->second.original.empty())
                std::copy(pending->second.original.begin(), pending->second.original.end(),
                          cellsOf(index));
            record.state = State::Unchanged;
        }
    }
    m_pending.clear();
    rebuildView();
    setBookmark(mark);
}

} // namespace store
