#pragma once

#include "Shape.h"

#include <initializer_list>
#include <utility>

namespace store {

// Shaped rows made by hand, as the shaping evaluator would give them: one level's fields and
// member names, then its rows, each with a value per field and a chapter per member. Tests of
// whatever walks shaped rows (the paginator) build their data with it, without a file.
//
//   const ShapedRows classes = ShapedRowsBuilder({"Class No"}, {"Exhtors"})
//       .row({1}, {ShapedRowsBuilder({"Show Exh No"}).row({101}).row({102}).build()})
//       .build();
class ShapedRowsBuilder {
public:
    explicit ShapedRowsBuilder(const QStringList& fields, const QStringList& members = {});

    // Throws std::invalid_argument when the row has not one value per field and one chapter per
    // member.
    ShapedRowsBuilder& row(std::initializer_list<Value> values,
                           std::initializer_list<ShapedRows> chapters = {});
    ShapedRowsBuilder& row(const std::vector<Value>& values,
                           const std::vector<ShapedRows>& chapters = {});

    ShapedRows build() const;

private:
    ShapedRows m_rows;
    CellVector m_cells;
    std::vector<bool> m_typed; // whether a field's type was taken from a value yet
};

} // namespace store
