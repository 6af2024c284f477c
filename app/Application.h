#pragma once

#include "common/MainDataSources.h"
#include "common/Services.h"
#include "shell/DisplayCheck.h"
#include "shell/DisplayModes.h"
#include "shell/ShowFileCommands.h"
#include "shell/SingleInstance.h"
#include "shell/Startup.h"
#include "store/DataSource.h"

#include <QObject>
#include <functional>
#include <memory>

class QAction;

namespace twl {

class EntryScreen;
class MainTWL;
class ShowSafetyCommands;
} // namespace twl
namespace reports {
class ReportCommands;
}
namespace twl {

// The running program: one instance per program folder, its main window and its exit steps.
class Application : public QObject {
    Q_OBJECT
public:
    // The program keeps its own shared values; the seams are the caller's.
    Application(const Seams& seams, const QString& programFolder, QObject* parent = nullptr);
    ~Application() override;

    // The display seams; by default the platform's modes and the real BadRes dialog. Set them
    // before start().
    void setDisplay(std::unique_ptr<DisplayModes> modes, DisplayCheck::AskBadRes askBadRes);

    // Runs start-up; false when the program must end at once (a second instance, a missing
    // file, Exit in the display dialog). Nothing is written then.
    bool start();
    MainTWL* mainWindow() const { return m_window.get(); }
    MainDataSources& dataSources() { return m_sources; }
    ShowFileCommands* showFiles() const { return m_showFiles.get(); }
    TWL_public& shared() { return m_shared; }

    // Backups, recent shows, the window's place and a show named on the command line.
    ShowSafetyCommands* safety() const { return m_safety.get(); }
    // Opens a show named on the command line, as if Open Show had chosen it (after start()).
    void openShowFromCommandLine(const QString& path);

private:
    void bringForward();
    void onUnloading();
    void connectFrame();
    void connectShowCommands();
    void connectDialogs();
    void connectReports();
    void connectOffice();
    void openExhibitorAccount(const QString& exhibitorNo);
    // Runs the command when its menu item is triggered, unless another command is running or
    // the item is not available.
    void connectResultsAndStatements();
    void runMemberRegister();
    void onCommand(const char* item, std::function<void()> command);
    // The item and every menu it lies in are switched on.
    static bool commandAvailable(const QAction& item);
    void connectSafety();
    // Runs a file command unless one is running already.
    void runFileCommandAlone(const std::function<void()>& command);
    // Runs a modal dialog over the main window.
    template <typename Dialog, typename... Args> void runDialog(Args&... args);
    template <typename Dialog> void runWithoutSortMarker();

    TWL_public m_shared;
    Services m_services;
    QString m_programFolder;
    SingleInstance m_instance;
    MainDataSources m_sources;
    std::unique_ptr<DisplayModes> m_displayModes;
    std::unique_ptr<DisplayCheck> m_displayCheck;
    Startup m_startup;
    std::unique_ptr<MainTWL> m_window;
    std::unique_ptr<ShowFileCommands> m_showFiles;
    EntryScreen* m_entries = nullptr; // owned by the main window
    std::unique_ptr<reports::ReportCommands> m_reports;
    bool m_commandRunning = false;
    std::unique_ptr<ShowSafetyCommands> m_safety;
};

} // namespace twl
