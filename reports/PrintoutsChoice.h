#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What the report-selection dialog reads and writes: the classes still open, the exhibitor and
// member numbers with their names, and the exhibitor chosen for the exhibitor report. No widget
// here; every value a user picked reaches the engine bound, never inside a query's text.
namespace reports::PrintoutsChoice {

// The query of the classes in use (below totClassUsed + 1) that are not ended yet.
QString notEndedClassesQuery(int totClassUsed);
// How many of them there are. Throws store::StoreError.
int notEndedClasses(const QString& showConnection, int totClassUsed);

// The exhibitor numbers of the show's entries, each once, in ascending order. Throws
// store::StoreError.
QStringList exhibitorNumbers(const QString& showConnection);
// An exhibitor number as a list shows it, when it is a whole number.
std::optional<qint64> exhibitorNumber(const QString& text);
// The names entered under one exhibitor number; none for a text that is not a whole number
// (then nothing is asked of the file). Throws store::StoreError.
QStringList exhibitorNames(const QString& showConnection, const QString& number);

// The organisation's member numbers, in the order the file gives them. Throws store::StoreError.
QStringList memberNumbers(const QString& orgConnection);
// The name of the member with this number, whatever characters the number holds. Throws
// store::StoreError.
QStringList memberNames(const QString& orgConnection, const QString& number);

// Leaves the exhibitor chosen for the exhibitor report in Exh2Prnt_tbl, as its only row, in one
// transaction. Throws store::StoreError (Conversion when the number is not a whole number, and
// nothing is written then).
void writeChosenExhibitor(const QString& showConnection, const QString& number,
                          const QString& name);

} // namespace reports::PrintoutsChoice
