#pragma once

#include "Field.h"
#include "Value.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace store {

// One level of a shaped result: rows of fields, and for each row its chapters (the child
// levels) by member name. Read-only.
class ShapedRows {
public:
    const Fields& fields() const { return m_fields; }
    const QStringList& members() const { return m_members; }
    int rowCount() const { return int(m_rows.size()); }

    // Throw StoreError (UnknownField) for a name the level does not have.
    int fieldIndex(const QString& field) const;
    const Value& value(int row, int field) const;
    const Value& value(int row, const QString& field) const;
    const ShapedRows& chapter(int row, const QString& member) const;

    struct Row {
        store::Row values;
        std::vector<std::shared_ptr<const ShapedRows>> chapters; // in the order of members()
    };

private:
    friend class ShapeEvaluator;

    Fields m_fields;
    QStringList m_members;
    std::vector<Row> m_rows;
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
