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

// Org1 ... Org5, Org1B, ShoNam, ShoCtyNsta, DateOfEvent, ShoDat and Fnote: each one the
// layout has.
void setStandardCaptions(Layout& layout, const ReportContext& context);

// Binds the text boxes of a section to fields, in pairs of control and field.
void bindFields(Layout& layout, const QString& sectionName, const QString& member,
                std::initializer_list<std::pair<const char*, const char*>> bindings);

// A value of a row as a caption shows it (default text forms; nothing for null or no row).
QString captionOf(const store::ShapedRows& rows, int row, const QString& field,
                  const QString& format = {});

PagedReport layOut(Layout& layout, const store::ShapedRows& data, const ReportContext& context);

} // namespace reports::parts
