#include "ShapedRowsBuilder.h"

#include <stdexcept>

namespace store {
namespace {

FieldType typeOf(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Boolean:
        return FieldType::Boolean;
    case Value::Kind::Integer:
        return FieldType::Integer;
    case Value::Kind::Number:
        return FieldType::Number;
    case Value::Kind::Currency:
        return FieldType::Currency;
    case Value::Kind::Date:
        return FieldType::Date;
    case Value::Kind::Null:
    case Value::Kind::Text:
        break;
    }
    return FieldType::Text;
}

} // namespace

ShapedRowsBuilder::ShapedRowsBuilder(const QStringList& fields, const QStringList& members) {
    for (const QString& name : fields)
        m_rows.m_fields.push_back(Field{name, FieldType::Text, 0});
    m_rows.m_members = members;
    m_typed.assign(m_rows.m_fields.size(), false);
}

ShapedRowsBuilder& ShapedRowsBuilder::row(std::initializer_list<Value> values,
                                          std::initializer_list<ShapedRows> chapters) {
    return row(std::vector<Value>(values), std::vector<ShapedRows>(chapters));
}

ShapedRowsBuilder& ShapedRowsBuilder::row(const std::vector<Value>& values,
                                          const std::vector<ShapedRows>& chapters) {
    if (values.size() != m_rows.m_fields.size() ||
        chapters.size() != std::size_t(m_rows.m_members.size()))
        throw std::invalid_argument("a shaped row needs one value per field and one chapter per "
                                    "member");
    for (std::size_t f = 0; f < values.size(); ++f) {
        if (!m_typed[f] && !values[f].isNull()) {
            m_rows.m_fields[f].type = typeOf(values[f]);
            m_typed[f] = true;
        }
        m_cells.push_back(m_rows.m_texts->cellOf(values[f]));
    }
    if (!chapters.empty()) {
        m_rows.m_chapters.resize(std::size_t(m_rows.m_rowCount));
        std::vector<std::shared_ptr<const ShapedRows>> rowChapters;
        for (const ShapedRows& chapter : chapters)
            rowChapters.push_back(std::make_shared<const ShapedRows>(chapter));
        m_rows.m_chapters.push_back(std::move(rowChapters));
    }
    ++m_rows.m_rowCount;
    return *this;
}

ShapedRows ShapedRowsBuilder::build() const {
    ShapedRows rows = m_rows;
    // The rows built so far; rows added to the builder later do not change them.
    rows.m_cells = std::make_shared<const CellVector>(m_cells);
    return rows;
}

} // namespace store
