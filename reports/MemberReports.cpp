#include "MemberReports.h"

#include "ReportParts.h"

namespace reports {

ReportData memberRoster(Layout&, const ReportContext& context) {
    ReportData data;
    data.rows =
        store::shape(QStringLiteral("SHAPE {SELECT * FROM `Members_tbl`} AS Memb_R ") +
                         QStringLiteral("COMPUTE COUNT(Memb_R.'Mem Num') AS RecCnt, Memb_R"),
                     context.organisationConnection);
    data.recordCountText = parts::recordCount(data.rows);
    return data;
}

ReportData memberProfile(Layout&, const ReportContext& context) {
    ReportData data;
    // The number is looked for as a value: an apostrophe or a bracket in it finds its member and
    // never changes the query.
    data.rows =
        store::queryRows(QStringLiteral("SELECT * FROM [Members_tbl] WHERE [Mem Num] = ?"),
                         context.organisationConnection, {store::Value(context.ReportSubject)});
    data.documentName = QStringLiteral("Member Profile %1").arg(context.ReportSubject);
    return data;
}

} // namespace reports
