#pragma once

#include "ReportContext.h"

namespace reports {

// The reports of the open show. Each reads the show file named in the context; the class pages
// take the classes 1 to TotClassUsed.

// Totals, sales, payouts and balance, the ten most popular classes and the ten high-point
// exhibitors on the title sheet, then every class with its entries, placings and points.
ReportResult endOfShowReport(const ReportContext& context);

// Every class used with its description and number of exhibitors.
ReportResult classDescriptionList(const ReportContext& context);

// One exhibitor (the one written into Exh2Prnt_tbl) with all of its entries. Empties
// Exh2Prnt_tbl afterwards.
ReportResult exhibitorReport(const ReportContext& context);

// All entries by exhibitor number, then class number.
ReportResult showRoster(const ReportContext& context);

// The class shaping command over the classes 1 to `classesUsed`.
QString classShapingCommand(int classesUsed);

} // namespace reports
