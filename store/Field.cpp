#include "Field.h"

namespace store {

namespace {

QStringView bareView(QStringView name) {
    name = name.trimmed();
    if (name.size() >= 2 &&
        ((name.front() == QLatin1Char('[') && name.back() == QLatin1Char(']')) ||
         (name.front() == QLatin1Char('`') && name.back() == QLatin1Char('`'))))
        name = name.mid(1, name.size() - 2).trimmed();
    return name;
}

} // namespace

int findField(const Fields& fields, const QString& name) {
    const QStringView bare = bareView(name);
    for (size_t i = 0; i < fields.size(); ++i) {
        const QStringView field = bareView(fields[i].name);
        // Case never changes a name's length: most fields are passed over without comparing.
        if (field.size() == bare.size() && field.compare(bare, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QString bareFieldName(const QString& name) {
    return bareView(name).toString();
}

} // namespace store
