#pragma once

#include "Cells.h"
#include "Field.h"
#include "Value.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace store {

// One level of a shaped result: rows of fields, and for each row its chapters (the child
// levels) by member name. Read-only. The values are kept as compact cells whose texts stay in
// the file's UTF-8 until asked for: a level of ten thousand rows is read about as fast as a
// record set of them.
class ShapedRows {
public:
    const Fields& fields() const { return m_fields; }
    const QStringList& members() const { return m_members; }
    int rowCount() const { return m_rowCount; }

    // Throw StoreError (UnknownField) for a name the level does not have.
    int fieldIndex(const QString& field) const;
    Value value(int row, int field) const;
    Value value(int row, const QString& field) const;
    const ShapedRows& chapter(int row, const QString& member) const;

private:
    friend class ShapeEvaluator;
    friend class ShapedRowsBuilder;

    const Cell* cellsOf(int row) const {
        return m_cells.data() + std::size_t(row) * m_fields.size();
    }
    Value valueAt(int row, int field) const { return m_texts->valueOf(cellsOf(row)[field]); }

    Fields m_fields;
    QStringList m_members;
    int m_rowCount = 0;
    std::vector<Cell> m_cells; // the rows' values, one field after another
    // Shared with the levels made from this one's rows (groups, related chapters, parents).
    std::shared_ptr<CellTexts> m_texts = std::make_shared<CellTexts>();
    // Each row's chapters, in the order of members().
    std::vector<std::vector<std::shared_ptr<const ShapedRows>>> m_chapters;
};

// Evaluates a data-shaping command over the database of the connection text:
//   SHAPE {SELECT * FROM `PayOut_tbl`} AS Pay COMPUTE COUNT(Pay.'PY Exh No') AS RecCnt, Pay
//   SHAPE {select * from Entries_tbl} AS H COMPUTE H, SUM(H.[Show Points]) AS S BY 'Show Exh Nam'
//   SHAPE {parent} AS P APPEND ({child} AS C RELATE 'k' TO 'k') AS C, COUNT(C.'f') AS N
// and their nesting ("SHAPE (SHAPE ... APPEND ...) COMPUTE P BY 'k'"). The inner queries run as
// every query of the store does; child rows keep the inner query's order and groups keep the
// order in which their first row appears. COUNT counts rows (0 for none); SUM adds the values
// that are not null and is null when there are none. Grouping and relating compare values
// exactly (texts with their case).
// Throws StoreError: FilterSyntax naming the position for a text that does not parse,
// UnknownField for a field or member that is not there, and the engine's errors.
ShapedRows shape(const QString& command, const QString& connectionText);

// A plain query as one level of rows (no members), its `?` bound to `parameters` in order: the
// data of a report that needs no shaping, with the values it looks for never in its text.
ShapedRows queryRows(const QString& sql, const QString& connectionText,
                     const std::vector<Value>& parameters = {});

} // namespace store
