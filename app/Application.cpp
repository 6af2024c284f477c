#include "Application.h"

#include "classes/ui/EditClasses.h"
#include "classes/ui/EditWinners.h"
#include "classes/ui/EndClass.h"
#include "classes/ui/PayOutFrm.h"
#include "classes/ui/PointForm.h"
#include "entries/ui/EntryScreen.h"
#include "members/ui/MailMergeCommand.h"
#include "members/ui/MemForm.h"
#include "office/AccountBook.h"
#include "office/ui/ExhAccount.h"
#include "reports/ui/PayOutSht.h"
#include "reports/ui/PrintoutsTWL.h"
#include "reports/ui/ReportCommands.h"
#include "reports/ui/ScoreShtTWL.h"
#include "shell/ShowSafetyCommands.h"
#include "shell/ui/AboutTWL.h"
#include "shell/ui/BadRes.h"
#include "shell/ui/MainTWL.h"
#include "shell/ui/OrgDataTWL.h"
#include "shell/ui/ShoDataTWL.h"
#include "shell/ui/ToolbarIcons.h"
#include "store/StoreError.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScopeGuard>
#include <QToolBar>
#include <QToolButton>

namespace twl {

Application::Application(const Seams& seams, const QString& programFolder, QObject* parent)
    : QObject(parent), m_services{seams, m_shared}, m_programFolder(programFolder),
      m_instance(programFolder), m_startup(seams.prompt, m_sources.adoTmp, m_shared) {}

Application::~Application() = default;

void Application::setDisplay(std::unique_ptr<DisplayModes> modes,
                             DisplayCheck::AskBadRes askBadRes) {
    m_displayModes = std::move(modes);
    m_displayCheck =
        std::make_unique<DisplayCheck>(*m_displayModes, m_services.prompt, std::move(askBadRes));
}

bool Application::start() {
    if (!m_instance.claim()) {
        // The running instance has been asked to come forward.
        m_services.prompt.beep();
        return false;
    }
    connect(&m_instance, &SingleInstance::activationRequested, this, &Application::bringForward);
    if (!m_startup.checkRequiredFiles(m_programFolder))
        return false;
    m_startup.readSettings();
    if (!m_displayCheck)
        setDisplay(DisplayModes::forPlatform(),
                   [](const DisplayMode& saved) { return BadRes::askToContinue(saved); });
    // Leaving the display dialog with Exit ends the program before any database is opened.
    if (!m_displayCheck->runAtStartup(m_shared.settings.CheckResolution))
        return false;
    m_startup.loadData();

    m_window = std::make_unique<MainTWL>(m_services);
    m_showFiles = std::make_unique<ShowFileCommands>(*m_window, m_sources);
    // The entry form and the entry lists, inside the main window (which owns them).
    m_entries = new EntryScreen(*m_window, m_sources, m_window.get());
    m_showFiles->setEntryListHooks(
        {[this] { m_entries->sortAndRefresh(); }, [this] { m_entries->calEntries(); },
         [this] { m_entries->clearEntryForm(); }, [this] { return m_entries->entryCount(); },
         [this] { m_entries->lists().clearClassCounts(); }});
    connectFrame();
    connectShowCommands();
    connectDialogs();
    connectReports();
    connectOffice();
    connectSafety();
    connectResultsAndStatements();
    m_window->show();
    return true;
}

// ---- backups, recent shows, the window's place, a show from the command line ----

void Application::connectSafety() {
    m_safety = std::make_unique<ShowSafetyCommands>(
        *m_window, *m_showFiles, m_sources.adoTmp,
        [this](const std::function<void()>& command) { runFileCommandAlone(command); });
    m_safety->install();
    // The display check's mode keeps the window's designed layout.
    m_safety->restoreWindowPlace(m_displayCheck->savedMode().has_value());
}

void Application::runFileCommandAlone(const std::function<void()>& command) {
    if (m_commandRunning)
        return;
    m_commandRunning = true;
    const auto done = qScopeGuard([this] { m_commandRunning = false; });
    command();
}

void Application::openShowFromCommandLine(const QString& path) {
    if (m_safety)
        m_safety->openFromCommandLine(path);
}

void Application::onCommand(const char* item, std::function<void()> command) {
    QAction* action = m_window->command(QLatin1String(item));
    connect(action, &QAction::triggered, this, [this, action, command = std::move(command)] {
        // A command runs alone: one started from the event loop of another's dialog (a queued
        // click, a timer) is dropped, so that no show is opened or closed, and no entry begun,
        // half-way through another command. So is one whose item or menu was switched off
        // after its click was queued.
        if (m_commandRunning || !commandAvailable(*action))
            return;
        m_commandRunning = true;
        const auto done = qScopeGuard([this] { m_commandRunning = false; });
        command();
    });
}

bool Application::commandAvailable(const QAction& item) {
    if (!item.isEnabled())
        return false;
    for (QObject* holder : item.associatedObjects()) {
        if (auto* menu = qobject_cast<QMenu*>(holder);
            menu && !commandAvailable(*menu->menuAction()))
            return false;
    }
    return true;
}

void Application::connectFrame() {
    MainTWL* window = m_window.get();
    connect(window, &MainTWL::unloading, this, &Application::onUnloading);
    // A toolbar button does what its menu item does.
    connect(window, &MainTWL::commandRequested, this, [window](const QString& key) {
        const ToolbarButton* button = toolbarButtonFor(key);
        if (QAction* item = button ? window->command(QLatin1String(button->menuItem)) : nullptr)
            item->trigger();
    });
    connect(window, &MainTWL::sortRequested, m_entries, &EntryScreen::sortAndRefresh);

    // PriAdo is shown as the entry list's navigation bar.
    const MainTWL::NavigationBar& bar = window->navigationBar();
    store::DataSource* priAdo = &m_sources.priAdo;
    connect(bar.first, &QToolButton::clicked, priAdo, &store::DataSource::moveFirst);
    connect(bar.previous, &QToolButton::clicked, priAdo, &store::DataSource::movePrevious);
    connect(bar.next, &QToolButton::clicked, priAdo, &store::DataSource::moveNext);
    connect(bar.last, &QToolButton::clicked, priAdo, &store::DataSource::moveLast);
    connect(priAdo, &store::DataSource::captionChanged, bar.caption, &QLabel::setText);
}

void Application::connectShowCommands() {
    const auto fileCommand = [this](const char* item, void (ShowFileCommands::*run)()) {
        onCommand(item, [this, run] { (m_showFiles.get()->*run)(); });
    };
    fileCommand("mnuNewShow", &ShowFileCommands::newShow);
    fileCommand("mnuOpenShow", &ShowFileCommands::openShow);
    fileCommand("mnuCloseShow", &ShowFileCommands::closeShow);
    fileCommand("mnuCompact", &ShowFileCommands::compactShow);
    onCommand("mnuEditEnterExh", [this] { m_entries->beginAdding(); });
    onCommand("mnuEditSearch", [this] { m_entries->runSearchCommand(); });
    onCommand("mnuEditDelExh", [this] { m_entries->deleteExhibitor(); });
    connect(m_showFiles.get(), &ShowFileCommands::showOpened, m_entries,
            &EntryScreen::openSearchList);
    connect(m_showFiles.get(), &ShowFileCommands::showClosed, m_entries,
            &EntryScreen::closeSearchList);
}

void Application::connectDialogs() {
    onCommand("mnuAbout", [this] { runDialog<AboutTWL>(); });
    onCommand("mnuShowInfo", [this] { runDialog<ShoDataTWL>(m_services); });
    onCommand("mnuOrgData", [this] { runDialog<OrgDataTWL>(m_services); });
    onCommand("mnuToolsClasses", [this] {
        EditClasses dialog(m_services, m_window.get());
        // A finished import or export says so on the main window's last-action line.
        connect(&dialog, &EditClasses::actionFinished, m_window->lastActionLabel(),
                &QLabel::setText);
        dialog.exec();
    });
    // The entry screen follows the placings and points these write from the store's change
    // notice, when the dialog closes.
    onCommand("mnuToolsWinners", [this] { runDialog<EditWinners>(m_services); });
    onCommand("mnuToolsEnd", [this] {
        m_entries->setBlinking(false);
        runDialog<EndClass>(m_services);
        m_entries->setBlinking(true);
    });
    // The sort marker is hidden while the organisation's own dialogs are open.
    onCommand("mnuOrgMembership", [this] { runMemberRegister(); });
    onCommand("mnuOrgCfgPoints", [this] { runWithoutSortMarker<PointForm>(); });
    onCommand("mnuOrgCfgPayout", [this] { runWithoutSortMarker<PayOutFrm>(); });
    onCommand("mnuOrgPrnMmerge", [this] { createMailMergeFile(m_services); });
}

void Application::connectReports() {
    m_reports = std::make_unique<reports::ReportCommands>(m_services, m_window.get());
    m_reports->setScoreSheetDialog([this] {
        reports::ScoreShtTWL dialog(m_services, m_window.get());
        dialog.exec();
        return !dialog.cancelled();
    });
    m_reports->setPayoutSheetDialog([this] {
        reports::PayOutSht dialog(m_services, m_window.get());
        dialog.exec();
        return !dialog.cancelled();
    });
    m_reports->setReportsDialog([this] {
        reports::PrintoutsTWL dialog(m_services, m_window.get());
        // The exhibitor shown in the main window is chosen for the exhibitor report.
        bool isNumber = false;
        const int exhibitor = m_entries->form().text(ExhibitorNoField).trimmed().toInt(&isNumber);
        if (isNumber)
            dialog.setCurrentExhibitor(exhibitor);
        dialog.setExportResults([this] { m_reports->exportResultsCommand(); });
        dialog.exec();
        return !dialog.cancelled();
    });
    m_reports->setLastClassDisplay(
        [this](int classNo) { m_entries->showLastClassPrinted(classNo); });
    m_reports->setLastActionDisplay(
        [this](const QString& text) { m_window->lastActionLabel()->setText(text); });
    onCommand("mnuToolsScoreSheet", [this] { m_reports->scoreSheetCommand(); });
    onCommand("mnuToolsPaySheet", [this] { m_reports->payoutSheetCommand(); });
    onCommand("mnuFilePrint", [this] { m_reports->reportsCommand(); });
    onCommand("mnuOrgPrnMemRosterRpt", [this] { m_reports->memberRosterCommand(); });
    onCommand("mnuOrgPrnMemProfileRpt", [this] { m_reports->memberProfileCommand(); });
    m_reports->setAveragePerClass([this] { return m_entries->classCountAverage(); });
}

// ---- the office's accounts ----

// Edit / Exhibitor Account..., its toolbar button (usable whenever the Edit menu is) and
// "Account..." on the "Exhibitor" tab open the account of the exhibitor the window shows; the
// tab says when that account is settled.
void Application::connectOffice() {
    QAction* item = m_window->command(QStringLiteral("mnuEditAccount"));
    QAction* button = m_window->toolBar()->addAction(ToolbarIcons::icon(QStringLiteral("Acct")),
                                                     QStringLiteral("Account"));
    button->setObjectName(QStringLiteral("Acct"));
    button->setToolTip(QStringLiteral("Exhibitor Account"));
    QAction* edit = m_window->command(QStringLiteral("mnuEdit"));
    button->setEnabled(edit->isEnabled());
    connect(edit, &QAction::enabledChanged, button, &QAction::setEnabled);
    connect(button, &QAction::triggered, item, &QAction::trigger);
    onCommand("mnuEditAccount",
              [this] { openExhibitorAccount(m_entries->form().text(ExhibitorNoField)); });
    connect(m_entries, &EntryScreen::accountRequested, this, &Application::openExhibitorAccount);
    m_entries->setAccountNote([this](const QString& exhibitorNo) {
        const std::optional<int> number = office::parseExhibitorNumber(exhibitorNo);
        if (!number)
            return QString();
        try {
            return office::accountNote(
                office::AccountBook(m_shared.session.ShowConnString).account(*number));
        } catch (const store::StoreError&) {
            return QStringLiteral("Account unreadable");
        }
    });
}

void Application::openExhibitorAccount(const QString& exhibitorNo) {
    ExhAccount dialog(m_services, m_window.get());
    // Settle hands the exhibitor the statement, printed as the report menu prints it.
    dialog.setStatementPrinter([this](const office::Account& account) {
        m_reports->printStatement(account.exhibitorNumber);
    });
    dialog.setExhibitorNumber(exhibitorNo);
    dialog.exec();
}

// The show's results to hand on, and the members' points statements.
void Application::connectResultsAndStatements() {
    onCommand("mnuFileExportResults", [this] { m_reports->exportResultsCommand(); });
    onCommand("mnuOrgPrnPointsStatement", [this] { m_reports->pointsStatementCommand(); });
}

// The member register, whose button prints the shown member's points statement.
void Application::runMemberRegister() {
    m_window->setSortIndicatorVisible(false);
    MemForm dialog(m_services, m_window.get());
    dialog.setPointsStatement(
        [this](const QString& number) { m_reports->pointsStatementOf(number); });
    dialog.exec();
    m_window->setSortIndicatorVisible(true);
}

template <typename Dialog, typename... Args> void Application::runDialog(Args&... args) {
    Dialog dialog(args..., m_window.get());
    dialog.exec();
}

template <typename Dialog> void Application::runWithoutSortMarker() {
    m_window->setSortIndicatorVisible(false);
    runDialog<Dialog>(m_services);
    m_window->setSortIndicatorVisible(true);
}

void Application::bringForward() {
    // Only a window that still has its design title is found: with a show open the title
    // carries the show's path.
    if (!m_window || m_window->windowTitle() != QLatin1String(ProgramTitle))
        return;
    if (m_window->isMinimized())
        m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}

void Application::onUnloading() {
    // Backups and the window's place, before the organisation file is compacted.
    if (m_safety)
        m_safety->atExit();
    m_startup.writeSettings();
    m_displayCheck->restore();
    m_startup.compactOrganisationFile();
    // Every other window, the most recently opened first.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        if (*it != m_window.get() && (*it)->isVisible())
            (*it)->close();
    }
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

} // namespace twl
