#include "PayoutChoice.h"

#include "store/RecordSet.h"

#include <limits>

namespace reports::PayoutChoice {

std::vector<int> classesWithPayouts(const QString& showConnection) {
    store::RecordSet classes;
    classes.open(ClassesWithPayoutsQuery, showConnection);
    std::vector<int> numbers;
    for (classes.moveFirst(); !classes.eof(); classes.moveNext()) {
        const store::Value number = classes.value(0);
        // A payout row without a class cannot be chosen: no sheet could select it.
        if (!number.isNull())
            numbers.push_back(int(number.toInt()));
    }
    return numbers;
}

QString classNameQuery(int classNo) {
    return QStringLiteral("SELECT [Class No],[Class Name] FROM Class_tbl Where [Class No] = ") +
           QString::number(classNo);
}

std::optional<QString> className(const QString& showConnection, int classNo) {
    store::RecordSet row;
    row.open(classNameQuery(classNo), showConnection);
    if (row.eof())
        return std::nullopt;
    return row.value(QStringLiteral("Class Name")).toText();
}

std::optional<int> listedClass(const QString& text) {
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (!ok || number < std::numeric_limits<qint16>::min() ||
        number > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return number;
}

} // namespace reports::PayoutChoice
