#include "ReportDefinitions.h"

#include "MemberReports.h"
#include "OfficeReports.h"
#include "Pagination.h"
#include "ReportParts.h"
#include "SheetReports.h"
#include "ShowReports.h"

#include <algorithm>
#include <iterator>

namespace reports {
namespace {

using enum ReportFile;
using enum SubjectList;

// One row per report. A new report is a row here, its data function and its layout file.
const ReportDefinition Definitions[] = {
    // kind, title, layout, file, data function, Print Menu option, subject, work table
    {kind::EndOfShow, "End of Show Report", "ShoEndRPT", Show, endOfShowReport,
     "&End of Show Report"},
    {kind::ClassList, "Class Description List", "ShoClassListRpt", Show, classDescriptionList,
     "&Class List Report"},
    {kind::Exhibitor, "Exhibitor Report", "ExhRPT", Show, exhibitorReport, "E&xhibitor Report",
     Exhibitors, "Exh2Prnt_tbl"},
    {kind::MemberRoster, "Member Roster", "MemRostRpt", Organisation, memberRoster,
     "&Member Roster"},
    {kind::MemberProfile, "Member Profile", "MemProfRpt", Organisation, memberProfile,
     "Member &Profile", Members},
    {kind::ShowRoster, "Show Roster", "ShoRostRpt", Show, showRoster, "&Show Roster"},
    {kind::PointsStatement, "Points Statement", "PointStmtRpt", Organisation, pointsStatement,
     "Poi&nts Statement", Members},
    {kind::ScoreSheet, "Score Sheet", "ScoreShtRpt", Show, scoreSheet},
    {kind::PayoutSheet, "Payout Sheet", "PayOutShtRpt", Show, payoutSheet},
    {kind::Statement, "Exhibitor Statement", "ExhStmtRpt", Show, exhibitorStatement,
     "Exhibitor S&tatement", Exhibitors},
    {kind::AllStatements, "All Exhibitor Statements", "ExhStmtRpt", Show, allStatements,
     "&All Statements"},
    {kind::BalancesDue, "Balances Due", "BalDueRpt", Show, balancesDue, "&Balances Due"},
    {kind::DailyTakings, "Daily Takings", "TakingsRpt", Show, dailyTakings, "&Daily Takings",
     PaymentDays},
};

} // namespace

std::span<const ReportDefinition> reportDefinitions() {
    return Definitions;
}

const ReportDefinition* findReport(int kind) {
    for (const ReportDefinition& report : Definitions)
        if (report.kind == kind)
            return &report;
    return nullptr;
}

const ReportDefinition* findReport(const QString& title) {
    for (const ReportDefinition& report : Definitions)
        if (title == QString::fromUtf8(report.title))
            return &report;
    return nullptr;
}

ReportResult makeReport(const ReportDefinition& report, const ReportContext& context,
                        ReportProgress* progress) {
    Layout layout = Layout::load(QStringLiteral(":/layouts/%1.json").arg(report.layout));
    ReportData data = report.data(layout, context);
    const QString title = QString::fromUtf8(report.title);
    parts::setStandardCaptions(layout, context, title, data.recordCountText);
    ReportResult result;
    if (data.pagedApart.empty()) {
        result.pages = paginateOnDemand(std::move(layout), std::move(data.rows), context.printDate);
    } else {
        result.pages.paper = layout.paper();
        const int parts = int(data.pagedApart.size());
        const auto step = [&](int i) {
            advanceOrStop(
                progress, i, parts,
                QStringLiteral("Document %1 of %2").arg(std::min(i + 1, parts)).arg(parts));
        };
        for (int i = 0; i < parts; ++i) {
            step(i);
            PagedReport pages = paginate(layout, data.pagedApart[size_t(i)], context.printDate);
            std::move(pages.pages.begin(), pages.pages.end(),
                      std::back_inserter(result.pages.pages));
        }
        step(parts);
    }
    result.pages.title = title;
    result.pages.documentName = data.documentName.isEmpty() ? title : data.documentName;
    result.recordCountText = std::move(data.recordCountText);
    result.problems = std::move(data.problems);
    return result;
}

} // namespace reports
