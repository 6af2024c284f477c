#pragma once

#include "Layout.h"
#include "ReportContext.h"
#include "store/Shape.h"

// What the report procedures share: their connections, the record count, and the standard
// captions of the layouts.
namespace reports::parts {

QString showConnection(const ReportContext& context);

// `RecCnt` of the first row formatted "##,###" (empty for 0 or no row).
QString recordCount(const store::ShapedRows& rows);

// The captions every layout may have, each one the layout has: Org1 ... Org5, Org1B, ShoNam,
// ShoCtyNsta, DateOfEvent, ShoDat and Fnote; the report titles RptTypN2 ... RptTypS6; the
// record counts TRecs, TRecs1 and TRecs2; and the title sheet shown when it is to be printed.
void setStandardCaptions(Layout& layout, const ReportContext& context, const QString& title,
                         const QString& recordCountText);

// A value of a row as a caption shows it (default text forms; nothing for null or no row).
QString captionOf(const store::ShapedRows& rows, int row, const QString& field,
                  const QString& format = {});

} // namespace reports::parts
