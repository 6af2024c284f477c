#pragma once

#include "Cells.h"
#include "Field.h"
#include "Value.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <utility>
#include <vector>

namespace store {

// One level of a shaped result: rows of fields, and for each row its chapters (the child
// levels) by member name. Read-only. The values are kept as compact cells whose texts stay in
// the file's UTF-8 until asked for: a level of ten thousand rows is read about as fast as a
// record set of them. The levels made from a level's rows (its groups, the chapters related to
// other rows, the same rows in another order) share its cells and keep only which rows they hold.
class ShapedRows {
public:
    const Fields& fields() const { return m_fields; }
    const QStringList& members() const { return m_members; }
    int rowCount() const { return m_rowCount; }

    // Throw StoreError (UnknownField) for a name the level does not have.
    int fieldIndex(const QString& field) const;
    int memberIndex(const QString& member) const;
    Value value(int row, int field) const;
    Value value(int row, const QString& field) const;
    const ShapedRows& chapter(int row, int member) const;
    const ShapedRows& chapter(int row, const QString& member) const;

private:
    friend class ShapeEvaluator;
    friend class ShapedRowsBuilder;

    std::size_t cellRow(int row) const {
        return m_rows.empty() ? std::size_t(row) : std::size_t(m_rows[std::size_t(row)]);
    }
    const Cell* cellsOf(int row) const { return m_cells->data() + cellRow(row) * m_fields.size(); }
    Value valueAt(int row, int field) const { return m_texts->valueOf(cellsOf(row)[field]); }

    Fields m_fields;
    QStringList m_members;
    int m_rowCount = 0;
    // The rows' values, one field after another; shared with the levels made from these rows.
    std::shared_ptr<const CellVector> m_cells = std::make_shared<const CellVector>();
    // Which rows of m_cells this level holds, in its order; empty: all of them, in theirs.
    BulkVector<int> m_rows;
    // Shared with the levels made from this one's rows (groups, related chapters, parents).
    std::shared_ptr<CellTexts> m_texts = std::make_shared<CellTexts>();
    // Each row's chapters, in the order of members(); empty for a level without members.
    std::vector<std::vector<std::shared_ptr<const ShapedRows>>> m_chapters;
};

// Evaluates a data-shaping command over the database of the connection text:
//   SHAPE {SELECT * FROM `PayOut_tbl`} AS Pay COMPUTE COUNT(Pay.'PY Exh No') AS RecCnt, Pay
//   SHAPE {select * from Entries_tbl} AS H COMPUTE H, SUM(H.[Show Points]) AS S BY 'Show Exh Nam'
//   SHAPE {parent} AS P APPEND ({child} AS C RELATE 'k' TO 'k') AS C, COUNT(C.'f') AS N
// and their nesting ("SHAPE (SHAPE ... APPEND ...) COMPUTE P BY 'k'"). The inner queries give
// the rows every query of the store gives; child rows keep the inner query's order and groups
// keep the order in which their first row appears. COUNT counts rows (0 for none); SUM adds the
// values that are not null and is null when there are none. Grouping and relating compare values
// exactly (texts with their case).
// Throws StoreError: FilterSyntax naming the position for a text that does not parse,
// UnknownField for a field or member that is not there, and the engine's errors.
ShapedRows shape(const QString& command, const QString& connectionText);

// A plain query as one level of rows (no members), its `?` bound to `parameters` in order: the
// data of a report that needs no shaping, with the values it looks for never in its text.
ShapedRows queryRows(const QString& sql, const QString& connectionText,
                     const std::vector<Value>& parameters = {});

// Runs the shaping commands and plain queries of one report over one file. A whole table that
// its queries read ("SELECT * FROM T", also in the order of some of its fields) is read once
// and kept while the reader lives, so that a report reading the same table for several commands
// reads the file once; a table written through the connection since is read again.
//
// A whole table asked for in the order of fields ("... ORDER BY [Show Exh No], [Class No]") is
// read in the file's order and sorted here, as the engine would order it (nulls first, numbers
// by value, texts by their bytes, equal keys in the file's order): the engine would walk an
// index and fetch each row from a page of its own.
class ShapeReader {
public:
    explicit ShapeReader(const QString& connectionText);
    ~ShapeReader();
    ShapeReader(const ShapeReader&) = delete;
    ShapeReader& operator=(const ShapeReader&) = delete;

    // As store::shape and store::queryRows.
    ShapedRows shape(const QString& command);
    ShapedRows queryRows(const QString& sql, const std::vector<Value>& parameters = {});

    // Whole reads of `table` hold from now on only `fields` and the fields that a command of the
    // reader names (quoted or bare, or in the ORDER BY of the table's own query): for a report
    // that knows every field it reads of a large table, which is then read in less time. A field
    // left out is not in the rows.
    void readOnlyFields(const QString& table, const QStringList& fields);

    // Whole-table reads served from what was read before (for tests).
    int tableReadsReused() const { return m_reused; }

private:
    friend class ShapeEvaluator;
    struct TableRead;

    std::shared_ptr<Connection> m_connection;
    std::vector<TableRead> m_tables;
    std::vector<std::pair<QString, QStringList>> m_onlyFields;
    int m_reused = 0;
};

} // namespace store
