#include "ReportParts.h"

#include "Pagination.h"
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

void setStandardCaptions(Layout& layout, const ReportContext& context) {
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
    };
    for (const auto& [name, caption] : captions)
        if (layout.hasControl(QLatin1String(name)))
            layout.setCaption(QLatin1String(name), caption);
}

void bindFields(Layout& layout, const QString& sectionName, const QString& member,
                std::initializer_list<std::pair<const char*, const char*>> bindings) {
    layout.setDataMember(sectionName, member);
    for (const auto& [control, field] : bindings)
        layout.bind(QLatin1String(control), QLatin1String(field));
}

QString captionOf(const store::ShapedRows& rows, int row, const QString& field,
                  const QString& format) {
    if (row >= rows.rowCount())
        return {};
    return valueText(rows.value(row, field), format);
}

PagedReport layOut(Layout& layout, const store::ShapedRows& data, const ReportContext& context) {
    return paginate(layout, data, context.printDate);
}

} // namespace reports::parts
