#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

namespace store {

// Time-stamped copies of a data file, kept in the folder "Backups" beside it:
// "Spring Classic.twl" taken on 8 December 2026 at 14:32:05 is backed up as
// "Backups/Spring Classic 2026-12-08 14.32.05.twl". A second copy taken in the same second gets
// " (2)" before the extension, a third " (3)", and so on. A copy is written under a temporary
// name, put on the disk and opened before it takes its name, so that a name of this form always
// holds a complete copy.
inline constexpr const char* BackupFolderName = "Backups";
inline constexpr int DefaultBackupsKept = 20;

struct BackupFile {
    QString path;
    QDateTime taken;
    int sequence = 1; // 2 and up for further copies taken in the same second
    qint64 size = 0;  // bytes
};

// The folder that holds the backups of a file, with a trailing slash.
QString backupFolderFor(const QString& file);
QString backupPathFor(const QString& file, const QDateTime& taken, int sequence = 1);

// The backups of a file, newest first; files of other names in the folder are no backups of it.
std::vector<BackupFile> listBackups(const QString& file);

// Writes a backup of the file as it stands and keeps only the newest `keep` backups of it (at
// least one). The copy is taken while the engine's shared lock on the file is held, so no write
// is half-done in it, and a journal left by an interrupted write is settled first. Returns the
// backup's path. Throws StoreError (FileIo for a full disk or a folder that cannot be written);
// the file itself is never changed, and no partial copy is left under a backup's name.
QString writeBackup(const QString& file, const QString& password, const QDateTime& taken, int keep);

// Deletes the oldest backups of the file beyond the newest `keep` (at least one); returns the
// paths deleted.
QStringList pruneBackups(const QString& file, int keep);

// Replacing a file with a backup, in two steps so that the backup may be pruned in between:
// a copy of the backup is first put on the disk beside the file under a temporary name
// (returned), then renamed over the file in one step. Both throw StoreError(FileIo); a failed
// step leaves the file as it was and removes the temporary copy.
QString stageReplacement(const QString& backup, const QString& file);
void putStagedInPlace(const QString& staged, const QString& file);

// The rows of a table of a data file, read through a connection of its own (not the cache);
// -1 when the file cannot be opened or has no such table.
qint64 countRowsInFile(const QString& file, const QString& password, const QString& table);

} // namespace store
