#pragma once

#include "ReportContext.h"

namespace reports {

// The judge's score sheet of one class: the class is put into the sheet's work table for the
// run (the caller empties it afterwards), the entries come from the sheet's stored query.
// Throws ReportError or the store's errors.
ReportResult scoreSheet(const ReportContext& context, int scoreClass);

// What an ended class pays, from its payout rows, with the count and the total.
ReportResult payoutSheet(const ReportContext& context, int payoutClass);

// Empties one of the work tables that pass a choice to a report ("DELETE from " + table).
void clearReportWorkTable(const ReportContext& context, const QString& table);

} // namespace reports
