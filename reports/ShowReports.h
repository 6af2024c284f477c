#pragma once

#include "Layout.h"
#include "ReportContext.h"
#include "store/Shape.h"

#include <limits>
#include <vector>

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

// The high-point standings: one line per exhibitor name, highest summed points first (equal sums
// in the order the names first appear; names with no points at all last); the number and name
// are those of the name's first entry. At most `limit` lines.
struct RankedExhibitor {
    store::Value points; // null when none of its entries has points
    QString number;
    QString name;
};
std::vector<RankedExhibitor>
rankExhibitorsByPoints(const QString& connection,
                       size_t limit = std::numeric_limits<size_t>::max());
// The same over a reader that has the show's entries already.
std::vector<RankedExhibitor> rankExhibitorsByPoints(store::ShapeReader& reader, size_t limit);

// The class shaping command over the classes 1 to `classesUsed`.
QString classShapingCommand(int classesUsed);

} // namespace reports
