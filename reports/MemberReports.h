#pragma once

#include "Layout.h"
#include "ReportContext.h"

// The data functions of the reports of the organisation file (see ReportDefinitions.h).
namespace reports {

// The members of the organisation file with their main fields and season points.
ReportData memberRoster(Layout& layout, const ReportContext& context);

// One page with every field of the member whose number is `ReportSubject`.
ReportData memberProfile(Layout& layout, const ReportContext& context);

} // namespace reports
