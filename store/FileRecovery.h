#pragma once

#include "FileChecks.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace store {

// What an interrupted compaction may have left beside a data file, and what was done about it.
struct Recovery {
    QStringList removed;     // incomplete compacted copies, and backups beside a good file
    QString restoredFrom;    // the backup that was put back under the file's name
    QString unusableKeptAs;  // where the unusable file went when a backup replaced it
    QStringList backupsLeft; // backups beside an unusable file that none could replace it
    FileCheck check;         // the file under its own name, as it is now
    // The check of the file's pages while it still runs on a worker thread (recoverBeforeReading
    // only): nothing read from the file may be used before awaitPageCheck() has answered.
    std::unique_ptr<PageCheckInBackground> pageCheck;

    // Waits for the page check still running, if one is, and takes its answer into `check`.
    // False when it found the pages damaged or unreadable.
    bool awaitPageCheck();
};

// The files a compaction of the given file names in its folder: "<stem> <n>.<extension>" with
// the file's name less its last four characters as the stem and n from 1 to 100000 (the
// backup: extension "BAK"; the compacted copy being written: "CMP"). Newest first.
QStringList compactionLeftovers(const QString& file, const QString& extension);

// Settles the leftovers of an interrupted compaction of the file: a compacted copy that was
// being written is incomplete and is deleted; beside a good file every backup is deleted (the
// compaction finished, only the clean-up was lost); beside a missing or unusable file the
// newest backup that passes the file check is put back under the file's name (an unusable file
// is kept under "<file>.damaged"), and when no backup passes, they are all left where they are
// for the user to be told. Connections to these files are released first.
Recovery recoverAfterCompaction(const QString& file, const QString& password,
                                const QStringList& requiredObjects, int newestRevision);

// recoverAfterCompaction for a file that is about to be read: when no compaction left anything
// beside it and the file is good but for its pages, which are not looked at yet, and of the
// newest revision, its page check is started in the background (Recovery::pageCheck) instead of
// being waited for, and the caller uses nothing read from the file until it has answered. In
// every other case it is recoverAfterCompaction, with the page check done.
Recovery recoverBeforeReading(const QString& file, const QString& password,
                              const QStringList& requiredObjects, int newestRevision);

} // namespace store
