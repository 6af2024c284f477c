#include "Application.h"

#include "TWL_public.h"
#include "ui/AboutTWL.h"
#include "ui/BadRes.h"
#include "ui/MainTWL.h"
#include "ui/OrgDataTWL.h"
#include "ui/ShoDataTWL.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QToolButton>
#include <QGuiApplication>

namespace twl {

Application::Application(Services& services, const QString& programFolder, QObject* parent)
    : QObject(parent), m_services(services), m_programFolder(programFolder),
      m_instance(programFolder), m_startup(services.prompt, m_sources.adoTmp) {}

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
    if (!m_displayCheck->runAtStartup(TWL_public::CheckResolution))
        return false;
    m_startup.loadData();

    m_window = std::make_unique<MainTWL>(m_services);
    m_showFiles = std::make_unique<ShowFileCommands>(*m_window, m_sources);
    connectCommands();
    m_window->show();
    return true;
}

void Application::connectCommands() {
    MainTWL* window = m_window.get();
    connect(window, &MainTWL::unloading, this, &Application::onUnloading);
    ShowFileCommands* files = m_showFiles.get();
    connect(window->command(QStringLiteral("mnuNewShow")), &QAction::triggered, files,
            &ShowFileCommands::newShow);
    connect(window->command(QStringLiteral("mnuOpenShow")), &QAction::triggered, files,
            &ShowFileCommands::openShow);
    connect(window->command(QStringLiteral("mnuCloseShow")), &QAction::triggered, files,
            &ShowFileCommands::closeShow);
    connect(window->command(QStringLiteral("mnuCompact")), &QAction::triggered, files,
            &ShowFileCommands::compactShow);
    connect(window->command(QStringLiteral("mnuAbout")), &QAction::triggered, this,
            &Application::showAbout);
    connect(window->command(QStringLiteral("mnuShowInfo")), &QAction::triggered, this, [this] {
        ShoDataTWL dialog(m_services, m_window.get());
        dialog.exec();
    });
    connect(window->command(QStringLiteral("mnuOrgData")), &QAction::triggered, this, [this] {
        OrgDataTWL dialog(m_services, m_window.get());
        dialog.exec();
    });

    // PriAdo is shown as the entry list's navigation bar.
    const MainTWL::NavigationBar& bar = window->navigationBar();
    store::DataSource* priAdo = &m_sources.priAdo;
    connect(bar.first, &QToolButton::clicked, priAdo, &store::DataSource::moveFirst);
    connect(bar.previous, &QToolButton::clicked, priAdo, &store::DataSource::movePrevious);
    connect(bar.next, &QToolButton::clicked, priAdo, &store::DataSource::moveNext);
    connect(bar.last, &QToolButton::clicked, priAdo, &store::DataSource::moveLast);
    connect(priAdo, &store::DataSource::captionChanged, bar.caption, &QLabel::setText);
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

void Application::showAbout() {
    AboutTWL about(m_window.get());
    about.exec();
}

void Application::onUnloading() {
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
