#pragma once

#include <QString>

namespace store {

// Copies the database named by the source connection text into a new, compacted file named by
// the target text, with the same password. The target must not exist. On failure nothing is
// left at the target and StoreError is thrown; a copy that cannot be read back, or that lost
// tables, is a failure.
void compactDatabase(const QString& sourceText, const QString& targetText);

// The backup name of a file being compacted: its folder, its name without the last four
// characters, a blank, the number and ".BAK" ("/shows/Spring.twl", 4711 ->
// "/shows/Spring 4711.BAK").
QString compactionBackupName(const QString& file, int number);

// A random whole number from 1 to 100000.
int compactionRandomNumber();

// Compacts a file in place: moves it to its backup name, compacts the backup into the file's
// own name and deletes the backup. On failure the file is put back under its own name before
// StoreError is thrown. Connections to the file are released first.
void compactFileInPlace(const QString& file, const QString& password, int number);

} // namespace store
