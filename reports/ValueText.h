#pragma once

#include "store/Value.h"

#include <QString>

namespace reports {

// The display formats a layout may give a text box, as written in the layouts:
//   "$"#,##0.00   "$##,##0.00"   ##,###   ###0.00   mmmm d, yyyy   (none)
bool isKnownFormat(const QString& format);

// A value as a report prints it: with the format, or in its own form (dates as 6/18/2005,
// numbers without trailing zeros, null as nothing).
QString valueText(const store::Value& value, const QString& format);

// A date in the default date form of the reports: 6/18/2005.
QString defaultDate(const QDate& date);

} // namespace reports
