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

namespace twl {

class EntryScreen;
class MainTWL;
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

private:
    void bringForward();
    void onUnloading();
    void connectFrame();
    void connectShowCommands();
    void connectDialogs();
    void connectReports();
    void connectResultsAndStatements();
    void runMemberRegister();
    void onCommand(const char* item, std::function<void()> command);
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
    bool m_fileCommandRunning = false;
};

} // namespace twl
