#pragma once

#include "ExtraSettings.h"

#include <QObject>
#include <QString>
#include <functional>

class QAction;

namespace store {
class DataSource;
}

namespace twl {

class MainTWL;
class ShowFileCommands;
struct TWL_public;

// What keeps a season's work safe and close at hand: a backup of a show each time it is closed
// (and so before every compaction) and of the organisation file once a day at exit, File >
// "Restore from Backup...", the File menu's recent shows, the main window's place, and a show
// given on the command line. Its settings live in "TWL Extra.ini" beside TWL.ini.
class ShowSafetyCommands : public QObject {
    Q_OBJECT
public:
    // Runs a file command unless another one is running.
    using RunAlone = std::function<void(const std::function<void()>&)>;

    ShowSafetyCommands(MainTWL& window, ShowFileCommands& showFiles, store::DataSource& adoTmp,
                       RunAlone runAlone, QObject* parent = nullptr);

    // Reads the settings file, adds the File menu's items and follows the show commands.
    void install();
    // Puts the main window where it was, fitted onto the screen; the designed place is kept
    // when the display check chose the screen's mode (its layout is made for that mode).
    void restoreWindowPlace(bool keepDesignedPlace);
    // Opens a show named on the command line, as if Open Show had chosen it.
    void openFromCommandLine(const QString& path);
    // At exit, before the organisation file is compacted: the open show's backup, the
    // organisation file's backup of the day, and the settings file.
    void atExit();

    void restoreFromBackup();
    const ExtraSettings& settings() const { return m_settings; }
    QString settingsPath() const;

private:
    QString organisationFile() const;
    // Writes a backup; a failure is reported and goes no further. False when none was written.
    bool backUp(const QString& file);
    void onShowOpened();
    void onShowClosed();
    void rebuildRecentItems();
    void openRecent(const QString& show);
    void saveSettings();
    bool replaceWithBackup(const QString& backup, const QString& file, bool isShow);

    MainTWL& m_window;
    ShowFileCommands& m_showFiles;
    store::DataSource& m_adoTmp;
    TWL_public& m_shared;
    RunAlone m_runAlone;
    ExtraSettings m_settings;
    QString m_openShow; // the open show, remembered for its backup when it is closed
    bool m_lastBackupFailed = false;
    QList<QAction*> m_recentItems;
    QAction* m_recentSeparator = nullptr;
};

} // namespace twl
