#pragma once

#include "store/RecordSet.h"
#include "store/Value.h"

#include <QString>

// The rules of the class table: what a class's cells may hold, how they are shown, and the blank
// state that Clear All gives every class.
namespace twl::ClassRules {

// The columns of the class grid, in order. The first is an unbound, all but invisible column.
enum GridColumn { SpacerColumn, NumberColumn, NameColumn, FeeColumn, MultiColumn, EndedColumn };

inline constexpr int NameMaxLength = 100;
inline constexpr double MinMultiplier = 0.01;

inline const QString NameTooLong = QStringLiteral("Entry is too long.");
inline const QString FeeRefused = QStringLiteral("Positive Numeric value only.");
inline const QString MultiRefused = QStringLiteral("Positive Numeric value greater than .01 only.");

// A class nobody has described yet.
inline const QString BlankName = QStringLiteral("Blank");
inline constexpr double BlankFee = 0;
inline constexpr double BlankMulti = 1;

bool nameAccepted(const QString& text);       // at most 100 characters
bool feeAccepted(const QString& text);        // a number, 0 or more
bool multiplierAccepted(const QString& text); // a number, 0.01 or more

// The message that refuses a cell's new text, or empty text when the text is accepted. Columns
// without a rule accept anything.
QString cellRefusal(int gridColumn, const QString& text);

// "##,##0.00  " and "0.00 ": the forms the grid shows a fee and a multiplier in. A null shows
// nothing.
QString feeDisplay(const store::Value& fee);
QString multiplierDisplay(const store::Value& multiplier);

// The question Clear All asks before it blanks the classes of the show file.
QString clearAllQuestion(const QString& showPath);

// Gives every row of the record set the blank name, fee and multiplier; class numbers and ended
// flags stay. Nothing is written: the caller writes the batch. Leaves the set after the last row.
void blankAll(store::RecordSet& classes);

// The filter text that selects one class by the number shown in the grid.
QString classFilter(const QString& classNumberText);

} // namespace twl::ClassRules
