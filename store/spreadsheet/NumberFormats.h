#pragma once

// What a workbook's number format makes of a number cell: a number, or a date, a time or both
// (a day count from the workbook's epoch with the time of day as its fraction).

#include "store/Value.h"

#include <QString>

namespace store::workbook::detail {

enum class NumberKind { Number, Date, Time, DateTime };

// The kind a format shows its numbers as: `code` is the format's text where the workbook gives
// one, else the built-in format `id` decides (14 to 17 dates, 18 to 21 and 45 to 47 times, 22
// a date with its time).
NumberKind numberKind(int id, const QString& code);

// A number cell as its format shows it: a date as a date; a time ("14:30:00") or a date with
// its time ("2024-03-15 14:30:00") as text; a number that is no day of the calendar stays the
// number. `date1904`: the workbook counts days from 1904-01-01 rather than from 1900.
Value numberCell(double number, NumberKind kind, bool date1904);

} // namespace store::workbook::detail
