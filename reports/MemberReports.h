#pragma once

#include "ReportContext.h"

namespace reports {

// The members of the organisation file with their main fields and season points.
ReportResult memberRoster(const ReportContext& context);

// One page with every field of the member whose number is `memberNumber`.
ReportResult memberProfile(const ReportContext& context, const QString& memberNumber);

} // namespace reports
