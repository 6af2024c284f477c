#pragma once

#include "Value.h"

#include <QString>
#include <vector>

namespace store {

// A column of a record set as the engine declares it.
struct Field {
    QString name;
    FieldType type = FieldType::Text;
    int maxLength = 0; // texts only; 0 means no limit
};

using Fields = std::vector<Field>;
using Row = std::vector<Value>;

// The index of a field by name: case-insensitive, square brackets or back-quotes optional.
// Returns -1 when there is no such field.
int findField(const Fields& fields, const QString& name);

// A field name without its square brackets or back-quotes, outer blanks removed.
QString bareFieldName(const QString& name);

} // namespace store
