#include "ReportCommands.h"

#include "ReportPreview.h"
#include "ReportProgressDialog.h"
#include "common/Printer.h"
#include "common/Services.h"
#include "reports/ReportDefinitions.h"
#include "reports/ReportError.h"
#include "reports/ReportProgress.h"
#include "reports/ResultsExport.h"
#include "reports/SheetReports.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QWidget>

namespace reports {
namespace {

const QString Title = QStringLiteral("Trotwell");

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
    c.ScoreClass = shared.report.ScoreClass;
    c.PayoutClass = shared.report.PayoutClass;
    c.ReportSubject = shared.report.ReportSubject;
    return c;
}

void ReportCommands::scoreSheetCommand() {
    const CurrentDirectoryKept directory;
    if (m_scoreSheetDialog && m_scoreSheetDialog() && runReport())
        m_services.shared.report.LastClassPrinted = m_services.shared.report.ScoreClass;
    clearWorkTable(QStringLiteral("ScrSht2Prnt_tbl"));
    if (m_showLastClass)
        m_showLastClass(m_services.shared.report.LastClassPrinted);
    bringMainWindowForward();
}

void ReportCommands::payoutSheetCommand() {
    const CurrentDirectoryKept directory;
    if (m_payoutSheetDialog && m_payoutSheetDialog()) {
        m_services.shared.report.ReportKind = kind::PayoutSheet;
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
    m_services.shared.report.ReportKind = kind::MemberRoster;
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

bool ReportCommands::runReport() {
    twl::ReportState& report = m_services.shared.report;
    const PrintingFlag printing(report.Printing);
    const ReportDefinition* definition = findReport(report.ReportKind);
    if (!definition)
        return false;
    report.ReportTitle = QString::fromUtf8(definition->title);
    return reportingFailures([&] { run(*definition); });
}

bool ReportCommands::reportingFailures(const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const ReportCancelled&) {
        // The user stopped the report: nothing was printed, and nothing went wrong.
        tellCancelled(
            QStringLiteral("The %1 was cancelled").arg(m_services.shared.report.ReportTitle));
    } catch (const ReportError& error) {
        reportFailure(error.text());
    } catch (const store::StoreError& error) {
        reportFailure(error.message());
    } catch (const std::exception& error) {
        reportFailure(QString::fromLocal8Bit(error.what()));
    }
    return false;
}

bool ReportCommands::printStatement(int exhibitorNumber) {
    const ReportDefinition* statement = findReport(kind::Statement);
    twl::ReportState& report = m_services.shared.report;
    const PrintingFlag printing(report.Printing);
    report.ReportTitle = QString::fromUtf8(statement->title);
    return reportingFailures([&] {
        ReportContext c = context();
        c.ReportSubject = QString::number(exhibitorNumber);
        m_services.printer.printDirect(makeReport(*statement, c).pages, 1);
    });
}

void ReportCommands::run(const ReportDefinition& definition) {
    // The subject handed over in a work table is let go after the run, whatever happened.
    const auto releaseSubject = qScopeGuard([&] {
        if (definition.workTable)
            clearWorkTable(QString::fromUtf8(definition.workTable));
    });
    const ReportResult result = [&] {
        ReportProgressDialog progress(
            m_mainWindow,
            QStringLiteral("Preparing %1...").arg(QString::fromUtf8(definition.title)));
        return makeReport(definition, context(), &progress);
    }();
    m_services.shared.report.RecordCountText = result.recordCountText;
    const Delivery delivery = deliveryOf(definition.kind);
    present(result.pages, delivery.skipPreview, delivery.copies);
    tellProblems(result.problems);
}

// The sheets of the Tools menu go straight to the printer when their dialogs say so; every
// other report is previewed.
ReportCommands::Delivery ReportCommands::deliveryOf(int reportKind) const {
    const twl::SettingValues& settings = m_services.shared.settings;
    if (reportKind == kind::ScoreSheet)
        return {settings.ScoreSkipPreview, settings.ScoreCopies};
    if (reportKind == kind::PayoutSheet)
        return {settings.PaySkipPreview, 1};
    return {};
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
    QObject::connect(&preview, &ReportPreview::actionCancelled,
                     [this](const QString& text) { tellCancelled(text); });
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

void ReportCommands::tellCancelled(const QString& text) {
    if (m_showLastAction)
        m_showLastAction(text);
}

void ReportCommands::reportFailure(const QString& reason) {
    m_services.prompt.show(Title,
                           QStringLiteral("The %1 could not be printed.\n%2")
                               .arg(m_services.shared.report.ReportTitle, reason),
                           twl::Prompt::Icon::Exclamation);
}

// ---- the points statement and the results export ----

void ReportCommands::pointsStatementCommand() {
    m_services.shared.report.LastPrintoutKind = kind::PointsStatement;
    reportsCommand();
}

void ReportCommands::pointsStatementOf(const QString& memberNumber) {
    twl::ReportState& report = m_services.shared.report;
    report.ReportKind = kind::PointsStatement;
    report.ReportSubject = memberNumber;
    const CurrentDirectoryKept directory;
    runReport();
}

void ReportCommands::exportResultsCommand() {
    const QString showPath = m_services.shared.session.ShowPath;
    if (showPath.isEmpty())
        return;
    const CurrentDirectoryKept directory;
    // The page is named in a save dialog; the CSV files go beside it under the same name.
    twl::FileChooser::Request request;
    request.title = QStringLiteral("Export Results");
    request.presetName = QFileInfo(showPath).completeBaseName() + QStringLiteral(".html");
    request.filter = QStringLiteral("Web pages (*.html)");
    request.forSaving = true;
    const QString chosen = m_services.files.choose(request);
    if (chosen.isEmpty())
        return;
    const QFileInfo page(chosen);
    const bool html = page.suffix().compare(QLatin1String("html"), Qt::CaseInsensitive) == 0;
    QString failure;
    try {
        const QStringList files =
            results::writeResults(results::readShowResults(context()), page.absolutePath(),
                                  html ? page.completeBaseName() : page.fileName());
        QStringList names;
        for (const QString& file : files)
            names << QDir::toNativeSeparators(file);
        m_services.prompt.show(Title,
                               QStringLiteral("The results were written to:\n\n") +
                                   names.join(QLatin1Char('\n')),
                               twl::Prompt::Icon::Information);
        return;
    } catch (const ReportError& error) {
        failure = error.text();
    } catch (const store::StoreError& error) {
        failure = error.message();
    }
    m_services.prompt.show(Title, QStringLiteral("The results could not be exported.\n") + failure,
                           twl::Prompt::Icon::Exclamation);
}

} // namespace reports
