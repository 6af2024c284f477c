#pragma once

#include "Layout.h"
#include "ReportContext.h"

// The data functions of the reports of the organisation file (see ReportDefinitions.h).
namespace reports {

// The members of the organisation file with their main fields and season points.
ReportData memberRoster(Layout& layout, const ReportContext& context);

// One page with every field of the member whose number is `ReportSubject`.
ReportData memberProfile(Layout& layout, const ReportContext& context);

// Every credit of the season in progress of the member whose number is `ReportSubject`, with the
// running total; points earned before the ledger was kept open it as one line "carried forward".
ReportData pointsStatement(Layout& layout, const ReportContext& context);

} // namespace reports
