#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QFileDevice;

// Writing the user's files whole, with the system's own reason when it cannot be done.
namespace store {

// Writes all of `bytes` to a file opened unbuffered, through its handle. Returns the system's
// reason when they cannot all be written (a disk that takes only part of them is full), empty
// when they were.
QString writeAll(QFileDevice& file, const QByteArray& bytes);

// Puts what was written to the file on the disk; the system's reason when it cannot, else empty.
QString syncToDisk(QFileDevice& file);

// Puts the names in the folder of `file` on the disk. A folder whose names cannot be synced (some
// network file systems) still has them: only a failing disk gives a reason; else empty.
QString syncFolderOf(const QString& file);

// Copies `from` to `to` through a temporary file beside `to` (".<name>.writing-XXXXXX"), which
// is on the disk before it takes its name: `to` holds either the whole copy or what it held
// before, never part of a copy. An existing `to` is replaced only when `replace` is true.
// Throws StoreError (FileIo, with the system's reason; FileMissing when `from` is not there).
void copyFileWhole(const QString& from, const QString& to, bool replace);

// Removes the temporary files that copies to `file` left beside it when they were stopped before
// they finished; returns their names. Only the program that holds the file may call it.
QStringList removeLeftoverTemporaries(const QString& file);

} // namespace store
