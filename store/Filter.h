#pragma once

#include "Field.h"

#include <QString>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace store {

// A row as a filter reads it: a field at a time, and only the fields a test reaches, so that a
// row whose first condition holds costs no conversion of the others.
class FilterRow {
public:
    virtual ~FilterRow() = default;
    // Null for a field the row does not have.
    virtual Value value(int field) const = 0;
    // The field's text in UTF-8 when the row keeps it so (tested as it stands, without a
    // conversion); nothing for a null or any other value.
    virtual std::optional<std::string_view> utf8(int field) const;
};

// The record-set filter language, evaluated in memory:
//   [Class No] = 75 AND ([Show Exh Nam] LIKE 'smi*' OR [Horse Name] <> 'Blaze')
// comparisons = <> < > <= >=, LIKE with * or % wildcards, AND (binds tighter than OR),
// parentheses, 'text' ('' for a quote), numbers, #dates#, Null. Text comparisons ignore case.
class Filter {
public:
    Filter(); // matches every row
    ~Filter();
    Filter(Filter&&) noexcept;
    Filter& operator=(Filter&&) noexcept;

    // Throws StoreError (FilterSyntax) for a text that does not parse, (UnknownField) for a
    // field the record set does not have. An empty text matches every row.
    static Filter parse(const QString& text, const Fields& fields);

    // The row's values by field index; a field beyond the row's end counts as null.
    bool matches(std::span<const Value> row) const;
    bool matches(const FilterRow& row) const;
    bool isEmpty() const;
    // The fields the filter reads, each once: a row needs only these to be tested.
    const std::vector<int>& fieldsRead() const { return m_fieldsRead; }

    struct Node;

private:
    std::unique_ptr<Node> m_root;
    std::vector<int> m_fieldsRead;
};

// A sort text: "[Show Exh Nam] DESC, [Class No]" (ASC is the default).
struct SortKey {
    int field = -1;
    bool descending = false;
};
using SortKeys = std::vector<SortKey>;

// Throws StoreError (FilterSyntax) or (UnknownField). An empty text gives no keys.
SortKeys parseSort(const QString& text, const Fields& fields);

} // namespace store
