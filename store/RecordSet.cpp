#include "RecordSet.h"

#include "Connection.h"
#include "StoreError.h"
#include "Transaction.h"

#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <sqlite3.h>

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

// Folded texts of one sort key, computed once per sort rather than once per comparison.
struct SortColumn {
    bool descending = false;
    bool folded = false;
    int field = -1;
    std::vector<QString> texts; // by record index; used when folded
    std::vector<bool> nulls;    // by record index; used when folded
};

// The text a name sorts by: case and accents ignored, so that "Émile" sorts with the E's.
QString sortKeyOf(const QString& text) {
    const bool plain =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; });
    if (plain)
        return text.toCaseFolded();
    QString key;
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    key.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            key += c;
    }
    return key.toCaseFolded();
}

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

    m_records.clear();
    const int fieldCount = int(m_fields.size());
    while (statement.step()) {
        Record record;
        record.values.reserve(fieldCount);
        for (int c = 0; c < fieldCount; ++c)
            record.values.push_back(statement.columnValue(c + first, m_fields[c].type));
        if (withRowId)
            record.rowId = statement.columnInt64(0);
        m_records.push_back(std::move(record));
    }
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
    m_records.clear();
    m_view.clear();
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
        if (everyRow || m_filter.matches(record.values))
            m_view.push_back(i);
    }
    sortView();
    m_position = 0;
}

void RecordSet::sortView() {
    if (m_sortKeys.empty() || m_view.size() < 2)
        return;
    std::vector<SortColumn> columns;
    for (const SortKey& key : m_sortKeys) {
        SortColumn column;
        column.field = key.field;
        column.descending = key.descending;
        column.folded = m_fields[key.field].type == FieldType::Text;
        if (column.folded) {
            column.texts.resize(m_records.size());
            column.nulls.resize(m_records.size());
            for (int index : m_view) {
                const Value& v = m_records[index].values[key.field];
                column.nulls[index] = v.isNull();
                column.texts[index] = sortKeyOf(v.toText());
            }
        }
        columns.push_back(std::move(column));
    }
    std::stable_sort(m_view.begin(), m_view.end(), [&](int a, int b) {
        for (const SortColumn& column : columns) {
            int order;
            if (column.folded) {
                if (column.nulls[a] != column.nulls[b])
                    order = column.nulls[a] ? -1 : 1;
                else
                    order = column.texts[a].compare(column.texts[b]);
            } else {
                order = compareValues(m_records[a].values[column.field],
                                      m_records[b].values[column.field]);
            }
            if (order != 0)
                return column.descending ? order > 0 : order < 0;
        }
        return false;
    });
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
        if (condition.matches(m_records[m_view[i]].values)) {
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

Value RecordSet::value(const QString& field) const {
    return value(fieldIndex(field));
}

Value RecordSet::value(int field) const {
    const Record& record = current();
    if (field < 0 || field >= int(record.values.size()))
        throw StoreError(Code::UnknownField, QStringLiteral("There is no field %1.").arg(field));
    return record.values[field];
}

void RecordSet::setValue(const QString& field, const Value& value) {
    setValue(fieldIndex(field), value);
}

void RecordSet::setValue(int field, const Value& value) {
    requireOpen();
    if (!isUpdatable())
        throw StoreError(Code::ReadOnly,
                         QStringLiteral("The rows of \"%1\" cannot be changed.").arg(m_source));
    Record& record = current();
    if (field < 0 || field >= int(m_fields.size()))
        throw StoreError(Code::UnknownField, QStringLiteral("There is no field %1.").arg(field));
    const Field& target = m_fields[field];
    Value converted;
    try {
        converted = value.convertedTo(target.type, target.maxLength);
    } catch (const StoreError& error) {
        throw StoreError(error.code(), QStringLiteral("%1: %2").arg(target.name, error.message()));
    }
    if (record.state == State::Unchanged) {
        record.original = record.values;
        record.state = State::Modified;
    }
    if (record.set.empty())
        record.set.assign(m_fields.size(), false);
    record.values[field] = std::move(converted);
    record.set[field] = true;
}

// ---- Changes -------------------------------------------------------------------------------

void RecordSet::addNew() {
    requireOpen();
    if (!isUpdatable())
        throw StoreError(Code::ReadOnly,
                         QStringLiteral("Rows cannot be added to \"%1\".").arg(m_source));
    Record record;
    record.values.resize(m_fields.size());
    record.set.assign(m_fields.size(), false);
    record.state = State::Inserted;
    m_records.push_back(std::move(record));
    m_view.push_back(int(m_records.size()) - 1);
    m_position = int(m_view.size()) - 1;
}

void RecordSet::deleteCurrent() {
    requireOpen();
    if (!isUpdatable())
        throw StoreError(Code::ReadOnly,
                         QStringLiteral("Rows cannot be deleted from \"%1\".").arg(m_source));
    Record& record = current();
    if (record.state == State::Inserted) {
        record.state = State::Dropped;
    } else {
        if (record.state == State::Unchanged)
            record.original = record.values;
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
                writeUpdate(statements, record);
                break;
            case State::Inserted:
                insertedRowIds.emplace_back(index, writeInsertion(statements, record));
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

std::vector<int> RecordSet::writtenFields(const Record& record) const {
    std::vector<int> written;
    for (int f = 0; f < int(m_fields.size()); ++f) {
        if (!record.set.empty() && record.set[f])
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
void RecordSet::writeUpdate(BatchStatements& statements, const Record& record) {
    const std::vector<int> written = writtenFields(record);
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
        statement.bind(slot++, record.values[f]);
    statement.bind(slot, Value(record.rowId));
    statement.step();
    if (sqlite3_changes(statements.connection().handle()) != 1)
        throw StoreError(Code::Sql,
                         QStringLiteral("A changed row of %1 no longer exists.").arg(m_table));
}

// Returns the new row's id; the record learns it only when the batch has committed.
qint64 RecordSet::writeInsertion(BatchStatements& statements, const Record& record) {
    const std::vector<int> written = writtenFields(record);
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
        statement.bind(slot++, record.values[f]);
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
        record.original.clear();
        record.set.clear();
    }
}

void RecordSet::cancelBatch() {
    requireOpen();
    const Bookmark mark = bookmark();
    for (Record& record : m_records) {
        if (record.state == State::Inserted) {
            record.state = State::Dropped;
        } else if (record.state == State::Modified || record.state == State::Deleted) {
            record.values = record.original;
            record.state = State::Unchanged;
        }
        record.original.clear();
        record.set.clear();
    }
    rebuildView();
    setBookmark(mark);
}

} // namespace store
