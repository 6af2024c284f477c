#include "ShowSafetyCommands.h"

#include "ShowFileCommands.h"
#include "Startup.h"
#include "common/Clock.h"
#include "common/Prompt.h"
#include "common/TWL_public.h"
#include "common/widgets/BusyCursor.h"
#include "shell/ui/MainTWL.h"
#include "shell/ui/RestoreBackup.h"
#include "store/ConnectionText.h"
#include "store/DataSource.h"
#include "store/FileBackups.h"
#include "store/FileLock.h"
#include "store/StoreError.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

namespace twl {

namespace {

const QString FileErrorTitle = QStringLiteral("Trotwell, File Error");

} // namespace

ShowSafetyCommands::ShowSafetyCommands(MainTWL& window, ShowFileCommands& showFiles,
                                       store::DataSource& adoTmp, RunAlone runAlone,
                                       QObject* parent)
    : QObject(parent), m_window(window), m_showFiles(showFiles), m_adoTmp(adoTmp),
      m_shared(window.services().shared), m_runAlone(std::move(runAlone)) {}

QString ShowSafetyCommands::settingsPath() const {
    return m_shared.session.AppFolder + QLatin1String(ExtraSettingsFileName);
}

QString ShowSafetyCommands::organisationFile() const {
    return m_shared.session.AppFolder + QStringLiteral("TWL.org");
}

void ShowSafetyCommands::install() {
    m_settings = readExtraSettings(settingsPath());
    QMenu* file = m_window.menu(QStringLiteral("mnuFile"));
    QAction* exit = m_window.command(QStringLiteral("mnuFileExit"));
    const QList<QAction*> items = file->actions();
    const qsizetype exitAt = items.indexOf(exit);
    QAction* separator = exitAt > 0 ? items.at(exitAt - 1) : exit;

    auto* restore = new QAction(QStringLiteral("Restore from Backup..."), file);
    restore->setObjectName(QStringLiteral("restoreBackupAction"));
    file->insertAction(separator, restore);
    connect(restore, &QAction::triggered, this,
            [this] { m_runAlone([this] { restoreFromBackup(); }); });

    for (int i = 1; i <= RecentShowsKept; ++i) {
        auto* item = new QAction(file);
        item->setObjectName(QStringLiteral("recentShow%1Action").arg(i));
        file->insertAction(exit, item);
        connect(item, &QAction::triggered, this,
                [this, item] { openRecent(item->data().toString()); });
        m_recentItems << item;
    }
    m_recentSeparator = file->insertSeparator(exit);
    // A recent show opens when Open Show could.
    QAction* open = m_window.command(QStringLiteral("mnuOpenShow"));
    connect(open, &QAction::changed, this, [this, open] {
        for (QAction* item : std::as_const(m_recentItems))
            item->setEnabled(open->isEnabled());
    });
    rebuildRecentItems();

    connect(&m_showFiles, &ShowFileCommands::showOpened, this, &ShowSafetyCommands::onShowOpened);
    connect(&m_showFiles, &ShowFileCommands::showClosed, this, &ShowSafetyCommands::onShowClosed);
}

void ShowSafetyCommands::rebuildRecentItems() {
    const QAction* open = m_window.command(QStringLiteral("mnuOpenShow"));
    for (int i = 0; i < m_recentItems.size(); ++i) {
        QAction* item = m_recentItems[i];
        const bool listed = i < m_settings.recentShows.size();
        item->setVisible(listed);
        item->setEnabled(open->isEnabled());
        const QString show = listed ? m_settings.recentShows[i] : QString();
        item->setData(show);
        item->setText(listed ? recentShowCaption(i + 1, show) : QString());
        item->setToolTip(show);
        item->setStatusTip(show);
    }
    m_recentSeparator->setVisible(!m_settings.recentShows.isEmpty());
    m_window.menu(QStringLiteral("mnuFile"))->setToolTipsVisible(true);
}

void ShowSafetyCommands::openRecent(const QString& show) {
    if (!QFileInfo::exists(show)) {
        m_settings.recentShows.removeAll(show);
        rebuildRecentItems();
        saveSettings();
        m_window.services().prompt.show(
            QStringLiteral("Trotwell"),
            QStringLiteral("The show file %1 is no longer there. It is taken off the list of "
                           "recent shows.")
                .arg(show),
            Prompt::Icon::Exclamation);
        return;
    }
    m_runAlone([this, show] {
        m_shared.session.RequestedPath = show;
        m_showFiles.openShow();
    });
}

void ShowSafetyCommands::openFromCommandLine(const QString& path) {
    if (path.isEmpty())
        return;
    const QString show = normaliseShowFileName(QFileInfo(path).absoluteFilePath());
    if (show.isEmpty())
        return;
    m_runAlone([this, show] {
        m_shared.session.RequestedPath = show;
        m_showFiles.openShow();
    });
}

void ShowSafetyCommands::onShowOpened() {
    m_openShow = m_shared.session.ShowPath;
    m_settings.recentShows = withRecentShow(m_settings.recentShows, m_openShow);
    rebuildRecentItems();
    saveSettings();
}

// The recent list is saved as it changes, so that it outlives a program that never exits
// normally. A failed write is not reported: the list is a convenience, the next change or the
// exit writes it again, and the show itself is safe.
void ShowSafetyCommands::saveSettings() {
    writeExtraSettings(settingsPath(), m_settings);
}

void ShowSafetyCommands::onShowClosed() {
    if (m_openShow.isEmpty())
        return;
    const QString show = std::exchange(m_openShow, QString());
    m_lastBackupFailed = !backUp(show);
}

bool ShowSafetyCommands::backUp(const QString& file) {
    try {
        // The day as the program sees it, at the time of day it is.
        const QDateTime taken(m_window.services().clock.today(), QTime::currentTime());
        store::writeBackup(file, m_shared.session.DbPassword, taken, m_settings.backupsKept);
        return true;
    } catch (const store::StoreError& error) {
        m_window.services().prompt.show(
            FileErrorTitle,
            QStringLiteral("No backup copy of %1 could be written into %2.\n%3\n\nThe file "
                           "itself is unchanged.")
                .arg(file, store::backupFolderFor(file), error.message()),
            Prompt::Icon::Exclamation);
        return false;
    }
}

void ShowSafetyCommands::restoreWindowPlace(bool keepDesignedPlace) {
    if (keepDesignedPlace || m_settings.windowPlace.isEmpty())
        return;
    QScreen* screen = QGuiApplication::screenAt(m_settings.windowPlace.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    m_window.setGeometry(fitOnScreen(m_settings.windowPlace, screen->availableGeometry()));
    if (m_settings.windowMaximized)
        m_window.setWindowState(m_window.windowState() | Qt::WindowMaximized);
}

void ShowSafetyCommands::atExit() {
    if (!m_openShow.isEmpty())
        backUp(m_openShow);
    const QString organisation = organisationFile();
    const std::vector<store::BackupFile> backups = store::listBackups(organisation);
    const QDate today = m_window.services().clock.today();
    if (QFileInfo::exists(organisation) &&
        (backups.empty() || backups.front().taken.date() != today))
        backUp(organisation);
    m_settings.windowMaximized = m_window.isMaximized();
    m_settings.windowPlace = m_window.normalGeometry();
    saveSettings();
}

void ShowSafetyCommands::restoreFromBackup() {
    const bool isShow = !m_shared.session.ShowPath.isEmpty();
    const QString file = isShow ? m_shared.session.ShowPath : organisationFile();
    const QString table = isShow ? QStringLiteral("Entries_tbl") : QStringLiteral("Members_tbl");
    std::vector<BackupRow> rows;
    {
        // Each count is read from the copy itself: a fifth of a second for twenty copies of a
        // 100,000-entry show.
        BusyCursor busy;
        for (const store::BackupFile& backup : store::listBackups(file)) {
            rows.push_back({backup.path, backup.taken.toString(QStringLiteral("yyyy-MM-dd")),
                            backup.taken.toString(QStringLiteral("HH:mm:ss")),
                            store::countRowsInFile(backup.path, m_shared.session.DbPassword, table),
                            backup.size});
        }
    }
    RestoreBackup dialog(QFileInfo(file).fileName(),
                         isShow ? QStringLiteral("Entries") : QStringLiteral("Members"), rows,
                         &m_window);
    dialog.exec();
    if (!dialog.chosen().isEmpty())
        replaceWithBackup(dialog.chosen(), file, isShow);
}

bool ShowSafetyCommands::replaceWithBackup(const QString& backup, const QString& file,
                                           bool isShow) {
    Prompt& prompt = m_window.services().prompt;
    const auto refuse = [&](const QString& why) {
        prompt.show(FileErrorTitle,
                    QStringLiteral("%1 was not restored from %2.\n%3").arg(file, backup, why),
                    Prompt::Icon::Exclamation);
        return false;
    };
    // The chosen copy is put beside the file first: keeping the current file as one more
    // backup may prune the oldest, the chosen one among them.
    QString staged;
    try {
        staged = store::stageReplacement(backup, file);
    } catch (const store::StoreError& error) {
        return refuse(error.message());
    }
    if (isShow) {
        m_showFiles.closeShow(); // which keeps the current file as a backup
    } else {
        // No data source may hold the organisation file while it is replaced.
        store::loadThroughDataSource(
            m_adoTmp,
            store::dataConnectionText(m_shared.session.AppFolder + QStringLiteral("Base.dat"),
                                      m_shared.session.DbPassword),
            QStringLiteral("SELECT Place FROM Entries_tbl"));
        m_adoTmp.closeRecordSet();
        m_lastBackupFailed = !backUp(file);
    }
    const auto reopen = [&] {
        if (isShow) {
            m_shared.session.RequestedPath = file;
            m_showFiles.openShow();
        } else {
            loadOrganisationDetailsIntoMemory(m_adoTmp, m_shared);
        }
    };
    store::FileLock lock(file);
    if (m_lastBackupFailed || lock.state() == store::FileLock::State::HeldElsewhere) {
        QFile::remove(staged);
        lock.release();
        reopen();
        return refuse(m_lastBackupFailed
                          ? QStringLiteral("The current file could not be kept as a backup.")
                          : QStringLiteral("Another Trotwell program holds it."));
    }
    try {
        store::putStagedInPlace(staged, file);
    } catch (const store::StoreError& error) {
        lock.release();
        reopen();
        return refuse(error.message());
    }
    lock.release();
    reopen();
    return true;
}

} // namespace twl
