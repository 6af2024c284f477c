#include "ReportParts.h"

#include "ValueText.h"
#include "common/Formats.h"
#include "store/ConnectionText.h"

namespace reports::parts {

QString showConnection(const ReportContext& context) {
    return store::reportConnectionText(context.showPath, context.password);
}

QString recordCount(const store::ShapedRows& rows) {
    return rows.rowCount() > 0 ? twl::format::count(rows.value(0, QStringLiteral("RecCnt")).toInt())
                               : QString();
}

void setStandardCaptions(Layout& layout, const ReportContext& context, const QString& title,
                         const QString& recordCountText) {
    const std::pair<const char*, QString> captions[] = {
        {"Org1", context.OrgName},
        {"Org2", context.OrgAdd1},
        {"Org3", context.OrgAdd2},
        {"Org4", context.OrgPhone},
        {"Org5", context.OrgEmail},
        {"Org1B", context.OrgName},
        {"ShoNam", context.ShoName},
        {"ShoCtyNsta", context.ShoCity + QStringLiteral(", ") + context.ShoState},
        {"DateOfEvent", defaultDate(context.DateOfEvent)},
        {"ShoDat", defaultDate(context.DateOfEvent)},
        {"Fnote", context.FootNote},
        {"RptTypN2", title},
        {"RptTypN4", title},
        {"RptTypN5", title},
        {"RptTypN6", title},
        {"RptTypN7", title},
        {"RptTypS5", title},
        {"RptTypS6", title},
        {"TRecs", recordCountText},
        {"TRecs1", recordCountText},
        {"TRecs2", recordCountText},
    };
    for (const auto& [name, caption] : captions)
        if (layout.hasControl(QLatin1String(name)))
            layout.setCaption(QLatin1String(name), caption);
    if (layout.section(section::ReportHeader))
        layout.setSectionVisible(section::ReportHeader, context.printTitleSheet);
}

QString captionOf(const store::ShapedRows& rows, int row, const QString& field,
                  const QString& format) {
    if (row >= rows.rowCount())
        return {};
    return valueText(rows.value(row, field), format);
}

} // namespace reports::parts
