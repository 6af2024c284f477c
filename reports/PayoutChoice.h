#pragma once

#include <QString>
#include <optional>
#include <vector>

// What the payout-sheet dialog offers: the ended classes that pay something, and the name of
// the class chosen.
namespace reports::PayoutChoice {

inline const QString ClassesWithPayoutsQuery =
    QStringLiteral("SELECT DISTINCT [PY Class No] FROM PayOut_tbl");

// The class numbers that have payout rows (a class ended with no placed entry has none), in the
// order the query returns them. Throws store::StoreError when the show file cannot be read.
std::vector<int> classesWithPayouts(const QString& showConnection);

// The class-name look-up's text for one class number.
QString classNameQuery(int classNo);

// The class's [Class Name]; nothing when the class has no row in Class_tbl. Throws
// store::StoreError when the show file cannot be read.
std::optional<QString> className(const QString& showConnection, int classNo);

// A class number as the class list shows it; nothing when the text is not a whole number that
// a class number can hold.
std::optional<int> listedClass(const QString& text);

} // namespace reports::PayoutChoice
