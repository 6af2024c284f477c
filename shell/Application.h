#pragma once

#include "Services.h"
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

private:
    void bringForward();
    void onUnloading();

    Services& m_services;
    QString m_programFolder;
    SingleInstance m_instance;
    store::DataSource m_adoTmp;
    Startup m_startup;
    std::unique_ptr<MainTWL> m_window;
};

} // namespace twl
