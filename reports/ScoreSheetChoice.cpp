#include "ScoreSheetChoice.h"

#include "store/RecordSet.h"

#include <QRegularExpression>

namespace reports::ScoreSheetChoice {

std::vector<int> classesWithEntries(const QString& showConnection) {
    store::RecordSet classes;
    classes.open(ClassesWithEntriesQuery, showConnection);
    std::vector<int> numbers;
    for (classes.moveFirst(); !classes.eof(); classes.moveNext()) {
        const store::Value number = classes.value(0);
        if (number.isNull())
            continue;
        const qint64 classNo = number.toInt();
        if (classNo >= FirstClass && classNo <= LastClass)
            numbers.push_back(int(classNo));
    }
    return numbers;
}

Copies checkCopies(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    const QString trimmed = text.trimmed();
    const QString limits =
        QStringLiteral("The number of copies must be a whole number from 1 to %1.").arg(MostCopies);
    if (trimmed.isEmpty())
        return {0, QStringLiteral("Please type the number of copies to print.\n\n") + limits};
    if (!digits.match(trimmed).hasMatch())
        return {0, QStringLiteral("\"%1\" is not a number of copies.\n\n").arg(trimmed) + limits};
    bool fits = false;
    const qint64 count = trimmed.toLongLong(&fits); // more digits than fit: far too many
    if (!fits || count < 1 || count > MostCopies)
        return {0, QStringLiteral("%1 copies cannot be printed.\n\n").arg(trimmed) + limits};
    return {int(count), QString()};
}

} // namespace reports::ScoreSheetChoice
