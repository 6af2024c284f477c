#include "Cells.h"

#include "Connection.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <sqlite3.h>

namespace store {

Value CellTexts::valueOf(const Cell& cell) const {
    switch (cell.kind) {
    case Cell::Kind::Null:
        break;
    case Cell::Kind::Boolean:
        return Value(cell.whole != 0);
    case Cell::Kind::Integer:
        return Value(cell.whole);
    case Cell::Kind::Number:
        return Value(cell.number);
    case Cell::Kind::Currency:
        return Value(Currency{cell.whole});
    case Cell::Kind::Date:
        return Value(QDate::fromJulianDay(cell.whole));
    case Cell::Kind::Utf8:
        return Value(QString::fromUtf8(m_utf8.data() + cell.whole, qsizetype(cell.size)));
    case Cell::Kind::Held:
        return Value(m_held[std::size_t(cell.whole)]);
    }
    return {};
}

Cell CellTexts::cellOf(const Value& value) {
    Cell cell;
    switch (value.kind()) {
    case Value::Kind::Null:
        break;
    case Value::Kind::Boolean:
        cell.kind = Cell::Kind::Boolean;
        cell.whole = value.toBool() ? 1 : 0;
        break;
    case Value::Kind::Integer:
        cell.kind = Cell::Kind::Integer;
        cell.whole = value.toInt();
        break;
    case Value::Kind::Number:
        cell.kind = Cell::Kind::Number;
        cell.number = value.toDouble();
        break;
    case Value::Kind::Currency:
        cell.kind = Cell::Kind::Currency;
        cell.whole = value.toCurrency().tenThousandths;
        break;
    case Value::Kind::Date:
        cell.kind = Cell::Kind::Date;
        cell.whole = value.toDate().toJulianDay();
        break;
    case Value::Kind::Text:
        cell.kind = Cell::Kind::Held;
        cell.whole = qint64(m_held.size());
        m_held.push_back(value.toText());
        break;
    }
    return cell;
}

namespace {

// The vector's own insert copies one byte at a time, because it builds each byte through the
// allocator; the bytes are copied here as one block.
void appendBytes(BulkVector<char>& to, const char* bytes, std::size_t size) {
    if (size == 0)
        return; // an empty text may come with no bytes at all, and memcpy takes no null pointer
    const std::size_t at = to.size();
    to.resize(at + size);
    std::memcpy(to.data() + at, bytes, size);
}

} // namespace

void CellTexts::readRow(const Statement& statement, int first, const std::vector<FieldType>& types,
                        CellVector& cells, std::vector<char>* converted) {
    sqlite3_stmt* handle = statement.handle();
    const std::size_t fieldCount = types.size();
    for (std::size_t c = 0; c < fieldCount; ++c) {
        const int column = int(c) + first;
        // Each column's value is fetched once and read through the value calls: the column calls
        // would look the column up again for its type, its text and its length. A connection is
        // used by one thread and opened without a mutex, so the value needs no protection.
        sqlite3_value* value = sqlite3_column_value(handle, column);
        const int storage = sqlite3_value_type(value);
        Cell& cell = cells.emplace_back();
        if (storage == SQLITE_NULL)
            continue;
        // The usual pairs of field type and stored value are read here; the rest as the
        // statement converts them.
        switch (types[c]) {
        case FieldType::Text:
            if (storage == SQLITE_TEXT) {
                const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
                const int size = sqlite3_value_bytes(value);
                cell.kind = Cell::Kind::Utf8;
                cell.whole = qint64(m_utf8.size());
                cell.size = quint32(size);
                appendBytes(m_utf8, bytes, std::size_t(size));
                continue;
            }
            break;
        case FieldType::Integer:
        case FieldType::Number:
            if (storage == SQLITE_INTEGER) {
                cell.kind = Cell::Kind::Integer;
                cell.whole = sqlite3_value_int64(value);
                continue;
            }
            if (storage == SQLITE_FLOAT && types[c] == FieldType::Number) {
                cell.kind = Cell::Kind::Number;
                cell.number = sqlite3_value_double(value);
                continue;
            }
            break;
        case FieldType::Boolean: {
            const qint64 stored = sqlite3_value_int64(value);
            cell.kind = Cell::Kind::Boolean;
            cell.whole = stored != 0 ? 1 : 0;
            if (converted && (storage != SQLITE_INTEGER || stored != cell.whole))
                (*converted)[c] = 1;
            continue;
        }
        case FieldType::Currency:
        case FieldType::Date:
            break;
        }
        cell = cellOf(statement.columnValue(column, types[c]));
        if (converted)
            (*converted)[c] = 1;
    }
}

QString wholeTableOf(const QString& sql) {
    static const QRegularExpression wholeTable(
        QStringLiteral("^SELECT\\s+\\*\\s+FROM\\s+(\\[[^\\]]+\\]|`[^`]+`|\\w+)\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = wholeTable.match(sql);
    return match.hasMatch() ? bareFieldName(match.captured(1)) : QString();
}

std::size_t expectedRows(Connection& connection, const QString& table) {
    constexpr qint64 Plausible = 10'000'000;
    Statement statement = connection.prepare(QStringLiteral("SELECT max(_rowid_) FROM [") + table +
                                             QStringLiteral("]"));
    if (!statement.step())
        return 0;
    const qint64 highest = statement.columnInt64(0);
    return highest > 0 && highest <= Plausible ? std::size_t(highest) : 0;
}

void CellTexts::append(CellTexts&& other, const CellVector& otherCells, CellVector& cells) {
    const auto utf8Base = qint64(m_utf8.size());
    const auto heldBase = qint64(m_held.size());
    appendBytes(m_utf8, other.m_utf8.data(), other.m_utf8.size());
    std::move(other.m_held.begin(), other.m_held.end(), std::back_inserter(m_held));
    other.release();
    cells.reserve(cells.size() + otherCells.size());
    for (Cell cell : otherCells) {
        if (cell.kind == Cell::Kind::Utf8)
            cell.whole += utf8Base;
        else if (cell.kind == Cell::Kind::Held)
            cell.whole += heldBase;
        cells.push_back(cell);
    }
}

void CellTexts::release() {
    BulkVector<char>().swap(m_utf8);
    std::vector<QString>().swap(m_held);
}

} // namespace store
