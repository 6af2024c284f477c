#pragma once

#include "BulkMemory.h"
#include "Field.h"
#include "Value.h"

#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace store {

class Connection;
class Statement;

// One value as the row stores keep it: a type tag and the value itself, 16 bytes. A text read
// from the file stays in the engine's UTF-8 in the store's one text buffer until it is asked
// for; a text the program gave is held as it was given.
struct Cell {
    enum class Kind : quint8 { Null, Boolean, Integer, Number, Currency, Date, Utf8, Held };
    Kind kind = Kind::Null;
    quint32 size = 0; // Utf8: the text's bytes
    union {
        qint64 whole = 0; // Boolean (0/1), Integer, Currency (ten-thousandths), Date (day),
                          // Utf8 (where the bytes start), Held (the text's index)
        double number;
    };
};

// The cells of many rows, one row after another.
using CellVector = BulkVector<Cell>;

// The texts behind a store's cells, and the conversions between cells and values.
class CellTexts {
public:
    Value valueOf(const Cell& cell) const;
    Cell cellOf(const Value& value);
    // The UTF-8 bytes of a cell read from the file (Kind::Utf8 only).
    std::string_view utf8Of(const Cell& cell) const {
        return {m_utf8.data() + cell.whole, cell.size};
    }

    // Appends to `cells` the columns first, first + 1, ... of the statement's current row, one
    // for each of `types`, read as fields of those types. A value that had to be converted to its
    // field's type (a text in a number field, a fraction in a whole-number field, any money or
    // date) is held as the field gives it, not as the file holds it: `converted`, when given (one
    // flag per type), has the flags of such columns set.
    void readRow(const Statement& statement, int first, const std::vector<FieldType>& types,
                 CellVector& cells, std::vector<char>* converted = nullptr);
    // Called as rows are read, with the number read so far and the number expected: once a
    // sample of rows has been read, room is made for the texts of all of them at once, rather
    // than the texts being copied each time they outgrow their room.
    void expectRows(std::size_t read, std::size_t expected) {
        if (read == TextSampleRows && expected > read)
            m_utf8.reserve(m_utf8.size() / read * expected / 16 * 17);
    }

    // Appends to `cells` the cells `otherCells` of `other`'s texts, their texts taken over from
    // `other`: the rows that another reader read, put after these.
    void append(CellTexts&& other, const CellVector& otherCells, CellVector& cells);

    void release(); // gives the storage back

private:
    static constexpr std::size_t TextSampleRows = 256;

    BulkVector<char> m_utf8;
    std::vector<QString> m_held;
};

// The table a query reads whole ("SELECT * FROM T"), or empty text.
QString wholeTableOf(const QString& sql);

// How many rows a whole read of the table (a table, not a stored query) will give, from its
// highest row id, to size the storage before reading; 0 when that is not known.
std::size_t expectedRows(Connection& connection, const QString& table);

} // namespace store
