#include "ReportCommands.h"

#include "ReportPreview.h"
#include "common/Printer.h"
#include "common/Services.h"
#include "reports/MemberReports.h"
#include "reports/ReportError.h"
#include "reports/SheetReports.h"
#include "reports/ShowReports.h"
#include "store/StoreError.h"

#include <QCoreApplication>
#include <QDir>
#include <QScopeGuard>
#include <QWidget>

namespace reports {
namespace {

const QString Title = QStringLiteral("Trotwell");

enum Kind {
    ScoreSheet = 0,
    EndOfShow = 1,
    ClassList = 2,
    Exhibitor = 3,
    MemberRoster = 4,
    MemberProfile = 5,
    ShowRoster = 6,
    PayoutSheet = 8
};

const char* titleOf(int kind) {
    switch (kind) {
    case ScoreSheet:
        return "Score Sheet";
    case EndOfShow:
        return "End of Show Report";
    case ClassList:
        return "Class Description List";
    case Exhibitor:
        return "Exhibitor Report";
    case MemberRoster:
        return "Member Roster";
    case MemberProfile:
        return "Member Profile";
    case ShowRoster:
        return "Show Roster";
    case PayoutSheet:
        return "Payout Sheet";
    default:
        return nullptr; // no report of this kind
    }
}

// The current directory is the same after a report as before it, whatever a file dialog did.
class CurrentDirectoryKept {
public:
    CurrentDirectoryKept() : m_path(QDir::currentPath()) {}
    ~CurrentDirectoryKept() { QDir::setCurrent(m_path); }
    CurrentDirectoryKept(const CurrentDirectoryKept&) = delete;
    CurrentDirectoryKept& operator=(const CurrentDirectoryKept&) = delete;

private:
    QString m_path;
};

class PrintingFlag {
public:
    explicit PrintingFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~PrintingFlag() { m_flag = false; }
    PrintingFlag(const PrintingFlag&) = delete;
    PrintingFlag& operator=(const PrintingFlag&) = delete;

private:
    bool& m_flag;
};

} // namespace

ReportCommands::ReportCommands(twl::Services& services, QWidget* mainWindow)
    : m_services(services), m_mainWindow(mainWindow) {}

ReportContext ReportCommands::context() const {
    const twl::TWL_public& shared = m_services.shared;
    ReportContext c;
    c.showPath = shared.session.ShowPath;
    c.password = shared.session.DbPassword;
    c.organisationConnection = shared.session.OrgConnString;
    c.ShoName = shared.session.ShoName;
    c.ShoCity = shared.session.ShoCity;
    c.ShoState = shared.session.ShoState;
    c.FootNote = shared.session.FootNote;
    c.DateOfEvent = shared.session.DateOfEvent;
    c.TotClassUsed = shared.session.TotClassUsed;
    c.OrgName = shared.org.OrgName;
    c.OrgAdd1 = shared.org.OrgAdd1;
    c.OrgAdd2 = shared.org.OrgAdd2;
    c.OrgPhone = shared.org.OrgPhone;
    c.OrgEmail = shared.org.OrgEmail;
    c.printDate = m_services.clock.today();
    c.printTitleSheet = shared.report.PrintTitleSheet;
    c.averagePerClass = m_average ? m_average() : 0.0;
    return c;
}

void ReportCommands::scoreSheetCommand() {
    const CurrentDirectoryKept directory;
    if (m_scoreSheetDialog && m_scoreSheetDialog())
        runReport();
    clearWorkTable(QStringLiteral("ScrSht2Prnt_tbl"));
    if (m_showLastClass)
        m_showLastClass(m_services.shared.report.LastClassPrinted);
    bringMainWindowForward();
}

void ReportCommands::payoutSheetCommand() {
    const CurrentDirectoryKept directory;
    if (m_payoutSheetDialog && m_payoutSheetDialog()) {
        m_services.shared.report.ReportKind = PayoutSheet;
        runReport();
    }
    bringMainWindowForward();
}

void ReportCommands::reportsCommand() {
    const CurrentDirectoryKept directory;
    if (m_reportsDialog && m_reportsDialog())
        runReport();
}

void ReportCommands::memberRosterCommand() {
    m_services.shared.report.ReportKind = MemberRoster;
    const CurrentDirectoryKept directory;
    runReport();
}

void ReportCommands::memberProfileCommand() {
    twl::ReportState& report = m_services.shared.report;
    report.MemberProfileOnly = true;
    reportsCommand();
    report.MemberProfileOnly = false;
}

void ReportCommands::bringMainWindowForward() {
    if (m_mainWindow) {
        m_mainWindow->raise();
        m_mainWindow->activateWindow();
    }
}

void ReportCommands::runReport() {
    twl::ReportState& report = m_services.shared.report;
    const PrintingFlag printing(report.Printing);
    QCoreApplication::processEvents();
    const char* title = titleOf(report.ReportKind);
    if (!title)
        return;
    report.ReportTitle = QLatin1String(title);
    try {
        if (report.ReportKind == ScoreSheet)
            runScoreSheet();
        else if (report.ReportKind == PayoutSheet)
            runPayoutSheet();
        else
            runShowOrMemberReport(report.ReportKind);
    } catch (const ReportError& error) {
        reportFailure(error.text());
    } catch (const store::StoreError& error) {
        reportFailure(error.message());
    } catch (const std::exception& error) {
        reportFailure(QString::fromLocal8Bit(error.what()));
    }
}

void ReportCommands::runScoreSheet() {
    twl::TWL_public& shared = m_services.shared;
    ReportResult result = scoreSheet(context(), shared.report.ScoreClass);
    result.pages.title = shared.report.ReportTitle;
    shared.report.RecordCountText = result.recordCountText;
    present(result.pages, shared.settings.ScoreSkipPreview, shared.settings.ScoreCopies);
    shared.report.LastClassPrinted = shared.report.ScoreClass;
}

void ReportCommands::runPayoutSheet() {
    twl::TWL_public& shared = m_services.shared;
    ReportResult result = payoutSheet(context(), shared.report.PayoutClass);
    result.pages.title = shared.report.ReportTitle;
    shared.report.RecordCountText = result.recordCountText;
    present(result.pages, shared.settings.PaySkipPreview, 1);
}

void ReportCommands::runShowOrMemberReport(int kind) {
    twl::TWL_public& shared = m_services.shared;
    const ReportContext c = context();
    // The exhibitor chosen for the exhibitor report is let go after its run, whatever happened.
    const auto releaseExhibitor = qScopeGuard([&] {
        if (kind == Exhibitor)
            clearWorkTable(QStringLiteral("Exh2Prnt_tbl"));
    });
    ReportResult result;
    switch (kind) {
    case EndOfShow:
        result = endOfShowReport(c);
        break;
    case ClassList:
        result = classDescriptionList(c);
        break;
    case Exhibitor:
        result = exhibitorReport(c);
        break;
    case MemberRoster:
        result = memberRoster(c);
        break;
    case MemberProfile:
        result = memberProfile(c, shared.report.ReportSubject);
        break;
    case ShowRoster:
        result = showRoster(c);
        break;
    default:
        return;
    }
    result.pages.title = shared.report.ReportTitle;
    shared.report.RecordCountText = result.recordCountText;
    present(result.pages, false, 1);
    tellProblems(result.problems);
}

void ReportCommands::tellProblems(const QStringList& problems) {
    if (problems.isEmpty())
        return;
    m_services.prompt.show(
        Title,
        QStringLiteral("Parts of the %1 could not be read and were left out:\n%2")
            .arg(m_services.shared.report.ReportTitle, problems.join(QLatin1Char('\n'))),
        twl::Prompt::Icon::Exclamation);
}

void ReportCommands::present(const PagedReport& report, bool skipPreview, int copies) {
    if (skipPreview) {
        m_services.printer.printDirect(report, std::clamp(copies, 1, 99));
        return;
    }
    ReportPreview preview(report, m_services, m_mainWindow);
    preview.exec();
}

void ReportCommands::clearWorkTable(const QString& table) {
    if (m_services.shared.session.ShowPath.isEmpty())
        return;
    try {
        clearReportWorkTable(context(), table);
    } catch (const store::StoreError& error) {
        m_services.prompt.show(Title,
                               QStringLiteral("The report's work table %1 could not be emptied: %2")
                                   .arg(table, error.message()),
                               twl::Prompt::Icon::Exclamation);
    }
}

void ReportCommands::reportFailure(const QString& reason) {
    m_services.prompt.show(Title,
                           QStringLiteral("The %1 could not be printed.\n%2")
                               .arg(m_services.shared.report.ReportTitle, reason),
                           twl::Prompt::Icon::Exclamation);
}

} // namespace reports
