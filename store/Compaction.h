#pragma once

#include <QString>
#include <functional>

namespace store {

// The backup name of a file being compacted: its folder, its name without the last four
// characters, a blank, the number and ".BAK" ("/shows/Spring.twl", 4711 ->
// "/shows/Spring 4711.BAK"). While a compaction runs it holds the original; once the file's own
// name holds the compacted copy and that copy has been read back, it is deleted. A leftover one
// beside a good file is a complete, stray copy of the file as it was before.
QString compactionBackupName(const QString& file, int number);

// The name the compacted copy is written under before it replaces the file: the backup name
// with ".CMP" in place of ".BAK" ("/shows/Spring 4711.CMP"). A leftover one is incomplete.
QString compactionTemporaryName(const QString& file, int number);

// A random whole number from 1 to 100000.
int compactionRandomNumber();

// The steps of compacting a file in place, in the order they are reached.
enum class CompactionStep {
    Exported, // the compacted copy is on disk under the temporary name
    Verified, // the copy was read back: every table with all its rows
    BackedUp, // the backup name holds the original as well (a second link, or a copy)
    Replaced, // the file's own name holds the compacted copy
    Checked,  // the copy was opened under the file's own name
};

// Told of each step as it is reached; what it throws fails the compaction like any error.
using CompactionProgress = std::function<void(CompactionStep)>;

// Compacts a file in place. The file's own name holds a complete file at every instant: the
// copy is written under the temporary name and read back, the backup name is given the original,
// the copy is renamed over the file, read back under the file's name, and the backup is
// deleted. Connections to the file are released first.
// Any failure (of whatever kind) removes the temporary file, leaves the original under its own
// name and throws StoreError; when the original cannot be put back, the message names the
// backup that holds it.
void compactFileInPlace(const QString& file, const QString& password, int number,
                        const CompactionProgress& progress = {});

} // namespace store
