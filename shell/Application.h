#pragma once

#include "MainDataSources.h"
#include "Services.h"
#include "ShowFileCommands.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "store/DataSource.h"

#include <QObject>
#include <memory>

namespace twl {

class MainTWL;

// The running program: one instance per program folder, its main window and its exit steps.
class Application : public QObject {
    Q_OBJECT
public:
    Application(Services& services, const QString& programFolder, QObject* parent = nullptr);
    ~Application() override;

    // Runs start-up; false when the program must end at once (a second instance, a missing
    // file). Nothing is written then.
    bool start();
    MainTWL* mainWindow() const { return m_window.get(); }
    MainDataSources& dataSources() { return m_sources; }
    ShowFileCommands* showFiles() const { return m_showFiles.get(); }

private:
    void bringForward();
    void onUnloading();
    void connectCommands();

    Services& m_services;
    QString m_programFolder;
    SingleInstance m_instance;
    MainDataSources m_sources;
    Startup m_startup;
    std::unique_ptr<MainTWL> m_window;
    std::unique_ptr<ShowFileCommands> m_showFiles;
};

} // namespace twl
