#pragma once

#include "store/FileLock.h"
#include "store/FileRecovery.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace store {
class RecordSet;
struct FileCheck;
struct ShowInformation;
} // namespace store

namespace twl {

class MainDataSources;
class MainWindowFrame;
struct TWL_public;

// A chosen show-file path as the program takes it: ".twl" appended when the name does not end
// in it (any case); a file name of fewer than 5 characters (just the extension) counts as no
// choice (empty text).
QString normaliseShowFileName(const QString& chosen);

// The File menu's show commands: New Show, Open Show, Close Show and Repair / Compress. They
// keep the shared values, the window's title, last-action line, command states
// and data sources in step.
class ShowFileCommands : public QObject {
    Q_OBJECT
public:
    // What Open and Close ask of the entry screen; an unset hook is skipped (Open then takes
    // the show as one without entries).
    struct EntryListHooks {
        std::function<void()> sortAndRefresh;
        std::function<void()> calEntries;
        std::function<void()> clearEntryForm; // ShowEntryFields(0), EnableEntryFields(false)
        std::function<int()> entryCount;
        std::function<void()> clearClassCounts; // the count lists beside the class lists
    };

    ShowFileCommands(MainWindowFrame& window, MainDataSources& sources, QObject* parent = nullptr);

    void setEntryListHooks(EntryListHooks hooks) { m_entryLists = std::move(hooks); }

    void newShow();
    void openShow();
    void closeShow();
    void compactShow();

    // Asks for a show file with the given dialog title; empty text when none was chosen.
    QString chooseShowFile(const QString& title);

signals:
    // A show was opened (after its data sources point at it) or closed.
    void showOpened();
    void showClosed();

private:
    bool testNewFileName(const QString& path);
    // Open's steps, in their order.
    // The file to open: the one New Show or compaction asked for, else the user's choice; empty
    // when none was chosen.
    QString showFileToOpen();
    // Everything asked of a file before its show information is read: that no other program
    // holds it, what an interrupted compaction or copy left beside it, a sound file with every
    // table and stored query, of this program's schema revision (an older show is brought up to
    // date). Nothing when the user has been told why it is not opened; a file that is not a show
    // at all is left to the version check that follows, unwritten. The check of a sound file's
    // pages may still be running in the recovery returned: nothing read from the file may be
    // shown before it has answered.
    std::optional<store::Recovery> admitShowFile(const QString& path, const store::FileLock& lock);
    // An older show brought up to this program's revision; false after telling the user why not.
    bool bringUpToDate(const QString& path, store::FileCheck& check,
                       const QStringList& backupsLeft);
    // The entries, read while the file's pages are checked; nothing when the check failed (the
    // user has been told). A list that cannot be read now is read by the list's refresh.
    std::optional<store::RecordSet> readEntriesWhilePagesAreChecked(const QString& path,
                                                                    const QString& connection,
                                                                    store::Recovery& recovery);
    // The show information of a file of the version this program opens; false after the
    // version message.
    bool readShowInformation(const QString& connection, store::ShowInformation& show);
    // The file becomes the open show: its lock, connection text, information, title and data
    // sources, then the entry list, the command states and the last steps of Open.
    void takeShow(store::FileLock lock, const QString& connection,
                  const store::ShowInformation& show, store::RecordSet entryList);
    void finishOpening();
    // Puts in place the class logs that a program ended before it could; tells what failed.
    void finishPendingClassLogs();
    // A refused or cancelled Open: the show that was open (if any) stays the one to open.
    void keepShowOpenBefore();
    // Tells the user that the show file cannot be opened; always false.
    bool refuseShowFile(const QString& path, const QString& title, const store::FileCheck& check,
                        const QStringList& backupsLeft);
    void pointDataSourcesAtShow();

    MainWindowFrame& m_window;
    MainDataSources& m_sources;
    TWL_public& m_shared;
    EntryListHooks m_entryLists;
    store::FileLock m_showLock; // held while the show is open
};

} // namespace twl
