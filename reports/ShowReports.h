#pragma once

#include "Layout.h"
#include "ReportContext.h"

namespace reports {

// The data functions of the reports of the open show (see ReportDefinitions.h). Each reads the
// show file named in the context; the class pages take the classes 1 to TotClassUsed.

// Totals, sales, payouts and balance, the ten most popular classes and the ten high-point
// exhibitors on the title sheet, then every class with its entries, placings and points.
ReportData endOfShowReport(Layout& layout, const ReportContext& context);

// Every class used with its description and number of exhibitors.
ReportData classDescriptionList(Layout& layout, const ReportContext& context);

// One exhibitor (the one written into Exh2Prnt_tbl) with all of its entries; every step that
// fails is skipped and named in the problems.
ReportData exhibitorReport(Layout& layout, const ReportContext& context);

// All entries by exhibitor number, then class number.
ReportData showRoster(Layout& layout, const ReportContext& context);

// The class shaping command over the classes 1 to `classesUsed`.
QString classShapingCommand(int classesUsed);

} // namespace reports
