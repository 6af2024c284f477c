#include "MemberReports.h"

#include "ReportParts.h"
#include "store/StoreError.h"

namespace reports {

using namespace parts;

ReportResult memberRoster(const ReportContext& context) {
    const store::ShapedRows rows =
        store::shape(QStringLiteral("SHAPE {SELECT * FROM `Members_tbl`} AS Memb_R ") +
                         QStringLiteral("COMPUTE COUNT(Memb_R.'Mem Num') AS RecCnt, Memb_R"),
                     context.organisationConnection);
    ReportResult result;
    result.recordCountText = recordCount(rows);
    Layout layout = Layout::load(QStringLiteral(":/layouts/MemRostRpt.json"));
    bindFields(layout, section::Detail, QStringLiteral("Memb_R"),
               {{"MR1", "Mem Num"},
                {"MR2", "Mem Reg No"},
                {"MR3", "Mem Nam"},
                {"MR4", "Mem Horse"},
                {"MR5", "Mem City"},
                {"MR6", "Mem State"},
                {"MR7", "Mem Phone"},
                {"MR8", "Mem Points"}});
    setStandardCaptions(layout, context);
    const QString title = QStringLiteral("Member Roster");
    layout.setCaption(QStringLiteral("RptTypN6"), title);
    layout.setSectionVisible(section::ReportHeader, context.printTitleSheet);
    layout.setCaption(QStringLiteral("RptTypN5"), title);
    layout.setCaption(QStringLiteral("TRecs"), result.recordCountText);
    result.pages = layOut(layout, rows, context);
    result.pages.documentName = title;
    return result;
}

ReportResult memberProfile(const ReportContext& context, const QString& memberNumber) {
    // The number is looked for as a value: an apostrophe or a bracket in it finds its member and
    // never changes the query.
    const store::ShapedRows member =
        store::queryRows(QStringLiteral("SELECT * FROM [Members_tbl] WHERE [Mem Num] = ?"),
                         context.organisationConnection, {store::Value(memberNumber)});
    ReportResult result;
    Layout layout = Layout::load(QStringLiteral(":/layouts/MemProfRpt.json"));
    const QString title = QStringLiteral("Member Profile");
    setStandardCaptions(layout, context);
    layout.setCaption(QStringLiteral("RptTypN7"), title);
    const char* fields[] = {"Mem Nam",   "Mem Num",    "Mem Add_1",    "Mem Add_2",
                            "Mem City",  "Mem State",  "Mem Zip",      "Mem Phone",
                            "Mem Email", "Mem Reg No", "Mem Amat No",  "Mem Misc ID",
                            "Mem Horse", "Mem Points", "Mem StartDat", "Mem FeeBal"};
    for (int i = 0; i < 16; ++i) {
        try {
            const QString format = i == 15 ? QStringLiteral("$##,##0.00") : QString();
            layout.setCaption(QStringLiteral("Label%1").arg(i + 1),
                              captionOf(member, 0, QLatin1String(fields[i]), format));
        } catch (const store::StoreError& error) {
            result.problems << QStringLiteral("The member's %1 could not be read: %2")
                                   .arg(QLatin1String(fields[i]), error.message());
        }
    }
    result.pages = layOut(layout, member, context);
    result.pages.documentName = QStringLiteral("Member Profile %1").arg(memberNumber);
    return result;
}

} // namespace reports
