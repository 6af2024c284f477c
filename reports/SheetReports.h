#pragma once

#include "Layout.h"
#include "ReportContext.h"

// The data functions of the sheets of the Tools menu (see ReportDefinitions.h).
namespace reports {

// The judge's score sheet of `ScoreClass`: the class is put into the sheet's work table for
// the run (the caller empties it afterwards), the entries come from the sheet's stored query.
ReportData scoreSheet(Layout& layout, const ReportContext& context);

// What the ended class `PayoutClass` pays, from its payout rows, with the count and the total.
ReportData payoutSheet(Layout& layout, const ReportContext& context);

// Empties one of the work tables that pass a choice to a report ("DELETE from " + table).
void clearReportWorkTable(const ReportContext& context, const QString& table);

} // namespace reports
