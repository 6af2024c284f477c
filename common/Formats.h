#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>

// The display formats used across the screens and reports, in one place. They print the forms
// of the show's paperwork ("$1,234.50", "April 8, 2026") whatever the system locale is.
namespace twl::format {

// "$##,##0.00": 25 -> "$25.00", 1234.5 -> "$1,234.50", 0 -> "$0.00", -5 -> "-$5.00".
QString currency(double value);

// "##,###": 1234 -> "1,234", 12 -> "12", and 0 -> "" (nothing is printed for zero).
QString count(qint64 value);

// "###0.00": 2.5 -> "2.50", 0 -> "0.00", 1234.567 -> "1234.57".
QString twoDecimals(double value);

// "mmmm d, yyyy": "April 8, 2026", English month names. An invalid date gives "".
QString longDate(const QDate& date);

// "mm-dd-yy": "04-08-26". An invalid date gives "".
QString shortDate(const QDate& date);

// "@@@@": the text right-aligned in `width` characters; a longer text is kept whole.
QString rightAligned(const QString& text, int width = 4);
QString rightAligned(qint64 value, int width = 4);

} // namespace twl::format
