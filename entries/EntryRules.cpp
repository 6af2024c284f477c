#include "EntryRules.h"

#include "store/Value.h"

#include <cmath>

namespace twl {

QString withoutApostrophes(const QString& text) {
    QString result = text;
    result.replace(QLatin1Char('\''), QLatin1Char(' '));
    return result;
}

bool isNumeric(const QString& text, double* value) {
    double parsed = 0;
    if (text.trimmed().isEmpty() || !store::parseNumber(text, &parsed) || !std::isfinite(parsed))
        return false;
    if (value)
        *value = parsed;
    return true;
}

qint64 roundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5)
        return qint64(floor) + 1;
    if (fraction < 0.5)
        return qint64(floor);
    return std::fmod(floor, 2.0) == 0 ? qint64(floor) : qint64(floor) + 1;
}

QString numberLiteral(double value) {
    if (value == std::floor(value) && std::abs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 17);
}

QString quotedLiteral(const QString& text) {
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

namespace {

bool classNumberFails(const EntryCheck& check, EntryLookups& lookups) {
    double value = 0;
    if (!isNumeric(check.fields[ClassNoField], &value))
        return true;
    const qint64 classNo = roundHalfEven(value);
    if (classNo < 1 || classNo > check.totClassUsed)
        return true;
    // An entry whose class is kept can still be corrected after its class has ended.
    if (!check.adding && classNo == check.shownClass)
        return false;
    if (lookups.classEnded(classNo))
        return true;
    double exhibitorNo = 0;
    isNumeric(check.fields[ExhibitorNoField], &exhibitorNo);
    return lookups.exhibitorEntered(double(roundHalfEven(exhibitorNo)), classNo);
}

constexpr qint64 MaxExhibitorNo = 32767; // the largest whole number the field holds

} // namespace

EntryCheckResult checkEntry(const EntryCheck& check, EntryLookups& lookups) {
    const auto fail = [](int field) { return EntryCheckResult{true, field}; };
    // The number is checked as it will be stored: a whole number, rounded as the engine rounds
    // (so "0.4" is 0 and refused, "5.5" is 6 and checked against exhibitor 6's entries).
    double exhibitorNo = 0;
    if (!isNumeric(check.fields[ExhibitorNoField], &exhibitorNo) ||
        roundHalfEven(exhibitorNo) < 1 || roundHalfEven(exhibitorNo) > MaxExhibitorNo)
        return fail(ExhibitorNoField);
    if (check.fields[HorseNameField].isEmpty())
        return fail(HorseNameField);
    if (check.fields[ExhibitorNameField].isEmpty())
        return fail(ExhibitorNameField);
    if (check.classFieldEnabled && classNumberFails(check, lookups))
        return fail(ClassNoField);
    if (check.fields[OwnerNameField].isEmpty())
        return fail(OwnerNameField);
    if (check.fields[OwnerStateField].isEmpty())
        return fail(OwnerStateField);
    return {};
}

QString addedMessage(const QString& exhibitorNo, const QString& exhibitorName, int classCount,
                     const QString& classNo) {
    const QString start = QStringLiteral("Exh. ") + exhibitorNo + QStringLiteral("  (") +
                          exhibitorName + QStringLiteral(") was added to ");
    if (classCount == 1)
        return start + QStringLiteral("class ") + classNo;
    return start + QLatin1Char(' ') + QString::number(classCount) + QStringLiteral(" Classes");
}

QString updatedMessage(const QString& exhibitorNo, const QString& exhibitorName) {
    return QStringLiteral("Exh. ") + exhibitorNo + QStringLiteral("  (") + exhibitorName +
           QStringLiteral(") was updated");
}

QString recordCaption(int position, int count) {
    return QStringLiteral("Record  %1  of  %2").arg(position).arg(count);
}

} // namespace twl
