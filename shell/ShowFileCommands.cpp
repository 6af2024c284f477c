#include "ShowFileCommands.h"

#include "FileProblems.h"
#include "classes/EndClassWriter.h"
#include "common/MainDataSources.h"
#include "common/MainWindowFrame.h"
#include "common/Prompt.h"
#include "common/Services.h"
#include "common/widgets/BusyCursor.h"
#include "store/Compaction.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/DataFiles.h"
#include "store/Details.h"
#include "store/FileChecks.h"
#include "store/FileRecovery.h"
#include "store/FileWrites.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>

namespace twl {

namespace {

const QString FileCreationError = QStringLiteral("Trotwell, File Creation Error");
// The entry list's record source, as the main data sources name it.
const QString EntryListSource = QStringLiteral("SELECT * FROM Entries_tbl");

// How opening a name for reading failed, as the file system reports it.
struct OpenTest {
    bool opened = false;
    bool notFound = false;
    int number = 0;
    QString description;
};

OpenTest testOpenForReading(const QString& path) {
    OpenTest test;
    const QFileInfo info(path);
    if (!info.exists()) {
        if (!QFileInfo(info.absolutePath()).isDir()) {
            test.number = 76;
            test.description = QStringLiteral("Path not found");
        } else {
            test.notFound = true;
        }
        return test;
    }
    QFile file(path);
    if (!info.isDir() && file.open(QIODevice::ReadOnly)) {
        test.opened = true;
        return test;
    }
    test.number = 75;
    test.description = QStringLiteral("Path/File access error");
    return test;
}

bool isShowOfThisVersion(store::Connection& connection) {
    try {
        store::Statement version =
            connection.prepare(QStringLiteral("SELECT Version FROM ShowData_tbl"));
        return version.step() && version.columnValue(0, store::FieldType::Number).toDouble() ==
                                     store::ShowFileVersion;
    } catch (const store::StoreError&) {
        return false; // no show table, or no version in it
    }
}

// The scratch copy of the template that the data sources point at while no show is open.
void makeScratchCopy(const QString& scratch) {
    store::releaseConnection(scratch);
    store::removeLeftoverTemporaries(scratch);
    try {
        store::copyFileWhole(QFileInfo(scratch).absolutePath() + QStringLiteral("/Base.dat"),
                             scratch, true);
        QFile(scratch).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    } catch (const store::StoreError&) {
        // Without the template the data sources find no tables: with no show open they show
        // nothing either way, and no user data is behind them.
    }
}

void refreshOnScratchCopy(store::DataSource& source) {
    try {
        source.refresh();
    } catch (const store::StoreError&) {
        // The scratch copy holds no user data: an empty list is all it would show.
    }
}

void applyShowInformation(const store::ShowInformation& show, ShowSession& session) {
    session.ShoName = show.name;
    session.ShoCity = show.city;
    session.ShoState = show.state;
    session.FootNote = show.footNote;
    session.TotClassUsed = show.totClassUsed;
    session.DateOfEvent = show.dateOfEvent;
    session.ShowVersion = show.version;
}

} // namespace

QString normaliseShowFileName(const QString& chosen) {
    QString name = chosen;
    if (name.right(4).toUpper() != QLatin1String(".TWL"))
        name += QStringLiteral(".twl");
    // The dialog gives a full path: the rule is about the name typed into it.
    return QFileInfo(name).fileName().size() < 5 ? QString() : name;
}

ShowFileCommands::ShowFileCommands(MainWindowFrame& window, MainDataSources& sources,
                                   QObject* parent)
    : QObject(parent), m_window(window), m_sources(sources), m_shared(window.services().shared) {}

QString ShowFileCommands::chooseShowFile(const QString& title) {
    FileChooser::Request request;
    request.title = title;
    request.presetName = QStringLiteral("*.twl");
    request.filter = QStringLiteral("Show files (*.twl);;All files (*)");
    const QString chosen = m_window.services().files.choose(request);
    // The file dialog's own answer: a flag left set by an earlier dialog must not turn a chosen
    // file into a cancelled one.
    m_shared.session.DialogCancelled = chosen.isEmpty();
    if (chosen.isEmpty())
        return {};
    return normaliseShowFileName(chosen);
}

bool ShowFileCommands::testNewFileName(const QString& path) {
    Prompt& prompt = m_window.services().prompt;
    const OpenTest test = testOpenForReading(path);
    if (test.opened) {
        prompt.beep();
        prompt.show(FileCreationError, QStringLiteral("File Exists"), Prompt::Icon::Critical);
        return false;
    }
    if (test.notFound) {
        const QString base = m_shared.session.AppFolder + QStringLiteral("Base.dat");
        if (!QFileInfo::exists(base)) {
            prompt.beep();
            prompt.show(FileCreationError, QStringLiteral("Missing Program File(s) B001"),
                        Prompt::Icon::Critical);
            return false;
        }
        store::removeLeftoverTemporaries(path);
        try {
            store::copyFileWhole(base, path, false);
            QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                       QFile::ReadOther);
        } catch (const store::StoreError&) {
            // Not reported here: the open that follows refuses the missing file.
        }
        return true;
    }
    prompt.beep();
    prompt.show(QStringLiteral("Trotwell, File Error"),
                QStringLiteral("System Error ") + QString::number(test.number) + QLatin1Char(' ') +
                    test.description,
                Prompt::Icon::Critical);
    prompt.show(FileCreationError,
                QStringLiteral("Filename would not open for testing - try a new name"),
                Prompt::Icon::Critical);
    return false;
}

void ShowFileCommands::newShow() {
    m_shared.session.RequestedPath = chooseShowFile(QStringLiteral("File Name for NEW Horse Show"));
    if (!m_shared.session.RequestedPath.isEmpty()) {
        if (testNewFileName(m_shared.session.RequestedPath))
            openShow();
        else
            m_shared.session.RequestedPath.clear();
    }
    m_shared.session.DialogCancelled = false;
}

void ShowFileCommands::openShow() {
    const QString path = showFileToOpen();
    if (path.isEmpty())
        return keepShowOpenBefore();
    // Reopening after a compaction keeps the claim that the compaction held throughout.
    store::FileLock lock = m_showLock.held() && m_showLock.file() == path ? std::move(m_showLock)
                                                                          : store::FileLock(path);
    std::optional<store::Recovery> recovery = admitShowFile(path, lock);
    if (!recovery)
        return keepShowOpenBefore();
    const QString connection = store::dataConnectionText(path, m_shared.session.DbPassword);
    std::optional<store::RecordSet> entryList =
        readEntriesWhilePagesAreChecked(path, connection, *recovery);
    if (!entryList)
        return keepShowOpenBefore();
    store::ShowInformation show;
    if (!readShowInformation(connection, show))
        return keepShowOpenBefore();
    takeShow(std::move(lock), connection, show, std::move(*entryList));
    finishOpening();
}

QString ShowFileCommands::showFileToOpen() {
    ShowSession& session = m_shared.session;
    if (session.RequestedPath.isEmpty())
        session.RequestedPath = chooseShowFile(QStringLiteral("Open Data Base File"));
    else
        session.DialogCancelled = false; // New Show or compaction chose the file: no dialog was
                                         // cancelled
    return session.DialogCancelled ? QString() : session.RequestedPath;
}

void ShowFileCommands::keepShowOpenBefore() {
    m_shared.session.RequestedPath = m_shared.session.ShowPath;
    m_shared.session.DialogCancelled = false;
}

std::optional<store::RecordSet>
ShowFileCommands::readEntriesWhilePagesAreChecked(const QString& path, const QString& connection,
                                                  store::Recovery& recovery) {
    store::RecordSet entryList;
    if (!recovery.pageCheck)
        return entryList;
    try {
        entryList.open(EntryListSource, connection);
    } catch (const store::StoreError&) {
        // Only a head start: the list's own refresh reads the entries once the show is open.
    }
    if (recovery.awaitPageCheck())
        return entryList;
    const bool unreadable = recovery.check.state == store::FileCheck::State::Inaccessible;
    refuseShowFile(path, QLatin1String(unreadable ? FileErrorTitle : DamagedFileTitle),
                   recovery.check, {});
    return std::nullopt;
}

bool ShowFileCommands::readShowInformation(const QString& connection,
                                           store::ShowInformation& show) {
    store::loadShowInformation(m_sources.adoTmp, connection, show);
    if (show.version == store::ShowFileVersion)
        return true;
    // A refused file changes nothing: the show information in memory and the connection text
    // stay as they were.
    m_window.services().prompt.show(QStringLiteral("Trotwell, Incompatible File"),
                                    QStringLiteral("Show database file version ") +
                                        QStringLiteral("2") + QStringLiteral(" required."),
                                    Prompt::Icon::Critical);
    return false;
}

void ShowFileCommands::takeShow(store::FileLock lock, const QString& connection,
                                const store::ShowInformation& show, store::RecordSet entryList) {
    ShowSession& session = m_shared.session;
    m_showLock = std::move(lock);
    session.ShowConnString = connection;
    applyShowInformation(show, session);
    session.ShowPath = session.RequestedPath;
    session.RequestedPath.clear();
    m_window.window().setWindowTitle(QStringLiteral(" Trotwell   ") + session.ShowPath);
    pointDataSourcesAtShow();
    if (entryList.isOpen())
        m_sources.priAdo.adopt(std::move(entryList));

    m_window.setSortKeyIndex(1);
    if (m_entryLists.sortAndRefresh)
        m_entryLists.sortAndRefresh();
    if (m_entryLists.calEntries)
        m_entryLists.calEntries();
    const bool hasEntries = m_entryLists.entryCount && m_entryLists.entryCount() > 0;
    m_window.applyShowState(hasEntries ? ShowState::ShowWithEntries : ShowState::ShowNoEntries,
                            true);
}

void ShowFileCommands::finishOpening() {
    ShowSession& session = m_shared.session;
    m_shared.report.LastClassPrinted = 0;
    try {
        store::clearWorkTable(session.ShowPath, session.DbPassword, QStringLiteral("Exh2Prnt_tbl"));
    } catch (const store::StoreError&) {
        // A work table that cannot be emptied now is emptied before its next use.
    }
    finishPendingClassLogs();
    m_window.lastActionLabel()->setText(QStringLiteral("Open show named ") + session.ShowPath);
    emit showOpened();
}

void ShowFileCommands::finishPendingClassLogs() {
    QStringList failures;
    try {
        failures = twl::finishPendingClassLogs(m_shared.session.ShowConnString,
                                               m_shared.session.AppFolder);
    } catch (const store::StoreError& error) {
        failures << error.message();
    }
    if (failures.isEmpty())
        return;
    m_window.services().prompt.show(
        QLatin1String(FileErrorTitle),
        QStringLiteral("Class logs of classes ended in this show could not be put in the class "
                       "log folder; they are tried again when the show is next opened.\n\n") +
            failures.join(QLatin1Char('\n')),
        Prompt::Icon::Exclamation);
}

bool ShowFileCommands::refuseShowFile(const QString& path, const QString& title,
                                      const store::FileCheck& check,
                                      const QStringList& backupsLeft) {
    Prompt& prompt = m_window.services().prompt;
    prompt.beep();
    prompt.show(title,
                fileProblemText(QStringLiteral("show file"), path, check, backupsLeft,
                                QStringLiteral("Open your most recent backup copy of the "
                                               "show instead.")),
                Prompt::Icon::Critical);
    return false;
}

std::optional<store::Recovery> ShowFileCommands::admitShowFile(const QString& path,
                                                               const store::FileLock& lock) {
    using State = store::FileCheck::State;
    Prompt& prompt = m_window.services().prompt;
    const QString kind = QStringLiteral("show file");
    if (lock.state() == store::FileLock::State::HeldElsewhere) {
        // Leftovers beside a show that another program holds are that program's business.
        prompt.beep();
        prompt.show(QLatin1String(FileInUseTitle),
                    QStringLiteral("The show file ") + path +
                        QStringLiteral(" is open in another Trotwell program. Close it there, "
                                       "then open it here."),
                    Prompt::Icon::Critical);
        return std::nullopt;
    }
    // In a folder where no lock can be made (read-only) the show opens without one: no program
    // can write to a show there, so none can lose another's work.
    store::removeLeftoverTemporaries(path);
    store::Recovery recovery = store::recoverBeforeReading(
        path, m_shared.session.DbPassword, store::showSchemaObjects(), store::ShowSchemaRevision);
    if (!recovery.restoredFrom.isEmpty())
        prompt.show(QLatin1String(RecoveredFileTitle), fileRecoveredText(kind, path, recovery),
                    Prompt::Icon::Information);
    store::FileCheck& check = recovery.check;
    const auto refuse = [&](const char* title) -> std::optional<store::Recovery> {
        refuseShowFile(path, QLatin1String(title), check, recovery.backupsLeft);
        return std::nullopt;
    };
    switch (check.state) {
    case State::Missing:
    case State::Unreadable:
        // Not a show of this program at all, unless copies of it were kept.
        if (!recovery.backupsLeft.isEmpty())
            return refuse(DamagedFileTitle);
        return recovery;
    case State::MissingObjects:
        // A file without show information is no show: the version check refuses it.
        if (!check.missingObjects.contains(QStringLiteral("ShowData_tbl")))
            return refuse(DamagedFileTitle);
        return recovery;
    case State::Damaged:
        return refuse(DamagedFileTitle);
    case State::Inaccessible:
        return refuse(FileErrorTitle);
    case State::Newer:
        return refuse(IncompatibleFileTitle);
    case State::Good:
        break;
    }
    if (check.revision != store::ShowSchemaRevision &&
        !bringUpToDate(path, check, recovery.backupsLeft))
        return std::nullopt;
    return recovery;
}

bool ShowFileCommands::bringUpToDate(const QString& path, store::FileCheck& check,
                                     const QStringList& backupsLeft) {
    using State = store::FileCheck::State;
    try {
        store::Connection& connection =
            *store::connectionFor(store::dataConnectionText(path, m_shared.session.DbPassword));
        // A file that is no show of this version is left, unwritten, to the version check.
        if (!isShowOfThisVersion(connection))
            return true;
        store::migrate(connection, store::showMigrations(), store::ShowSchemaRevision);
        check.missingObjects = store::missingObjects(connection, store::showSchemaObjects());
    } catch (const store::StoreError& error) {
        // A show that cannot be written where it lies opens as it is: everything it holds reads
        // as before, and nothing can be written to it anyway.
        if (error.notWritable())
            return true;
        check.state =
            error.code() == store::StoreError::Code::FileIo ? State::Inaccessible : State::Damaged;
        check.detail = error.message();
        return refuseShowFile(
            path,
            QLatin1String(check.state == State::Inaccessible ? FileErrorTitle : DamagedFileTitle),
            check, backupsLeft);
    }
    if (check.missingObjects.isEmpty() ||
        check.missingObjects.contains(QStringLiteral("ShowData_tbl")))
        return true;
    check.state = State::MissingObjects;
    return refuseShowFile(path, QLatin1String(DamagedFileTitle), check, backupsLeft);
}

void ShowFileCommands::pointDataSourcesAtShow() {
    // Only pointed here: the entry list's refresh reads the entries once, and the exhibitor
    // grid reads just the current exhibitor's rows when the list moves.
    m_sources.pointAt(m_shared.session.ShowConnString, QStringLiteral("SELECT * FROM Entries_tbl"));
}

void ShowFileCommands::closeShow() {
    m_window.enableTabStrip(false);
    if (m_entryLists.clearClassCounts)
        m_entryLists.clearClassCounts();
    if (m_entryLists.clearEntryForm)
        m_entryLists.clearEntryForm();
    {
        SuppressDataEvents suppress(m_sources);
        m_sources.priAdo.closeRecordSet();
        m_sources.secAdo.closeRecordSet();
        const QString scratch = m_shared.session.AppFolder + QStringLiteral("~Vdb.dat");
        makeScratchCopy(scratch);
        m_shared.session.ShowConnString =
            store::dataConnectionText(scratch, m_shared.session.DbPassword);
        m_sources.pointAt(m_shared.session.ShowConnString,
                          QStringLiteral("SELECT * FROM Class_tbl"));
        for (store::DataSource* source : {&m_sources.priAdo, &m_sources.secAdo})
            refreshOnScratchCopy(*source);
    }
    refreshOnScratchCopy(m_sources.adoTmp);
    m_window.window().setWindowTitle(QStringLiteral(" Trotwell"));
    m_window.applyShowState(ShowState::NoShow);
    m_window.lastActionLabel()->setText(QStringLiteral("Closed show named ") +
                                        m_shared.session.ShowPath);
    m_sources.priAdo.setCaption(QString());
    // The closed show's connection stays cached: keying it again costs more than anything else
    // in Open. The cache notices a file that is replaced or removed, and compaction releases it.
    m_shared.session.RequestedPath.clear();
    m_shared.session.ShowPath.clear();
    m_showLock.release();
    emit showClosed();
}

void ShowFileCommands::compactShow() {
    const QString file = m_shared.session.ShowPath;
    const int number = store::compactionRandomNumber();
    bool compacted = false;
    // The show stays claimed while it is closed for compaction and reopened: no other program
    // may open it in between.
    store::FileLock lock = std::move(m_showLock);
    {
        BusyCursor busy;
        closeShow();
        m_shared.session.ShowConnString.clear();
        m_sources.pointAt(QString(), QStringLiteral("SELECT * FROM Class_tbl"));
        m_sources.adoTmp.closeRecordSet();
        try {
            store::compactFileInPlace(file, m_shared.session.DbPassword, number);
            compacted = true;
        } catch (const store::StoreError& error) {
            m_window.services().prompt.show(
                QStringLiteral("Error when repairing/Compressing database"),
                QString::number(error.number()) + QStringLiteral("   ") + error.message(),
                Prompt::Icon::Critical);
        }
    }
    if (!compacted)
        return;
    m_window.services().prompt.show(QStringLiteral("Trotwell"),
                                    QStringLiteral("Database Repaired / Compressed successfully"),
                                    Prompt::Icon::Information);
    m_showLock = std::move(lock);
    m_shared.session.RequestedPath = file;
    openShow();
}

} // namespace twl
