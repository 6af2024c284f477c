#pragma once

#include "store/FileChecks.h"
#include "store/FileRecovery.h"

#include <QString>

namespace twl {

// What the user is told about a data file that cannot be used, or that was put back from its
// backup. `kind` names the file as the user knows it ("show file", "organisation file");
// `advice` says what the user can do about a damaged or missing file.
QString fileProblemText(const QString& kind, const QString& path, const store::FileCheck& check,
                        const QStringList& backupsLeft, const QString& advice);
QString fileRecoveredText(const QString& kind, const QString& path,
                          const store::Recovery& recovery);

inline constexpr const char* DamagedFileTitle = "Trotwell, Damaged File";
inline constexpr const char* RecoveredFileTitle = "Trotwell, File Recovered";
inline constexpr const char* FileInUseTitle = "Trotwell, File In Use";
inline constexpr const char* FileErrorTitle = "Trotwell, File Error";
inline constexpr const char* IncompatibleFileTitle = "Trotwell, Incompatible File";

} // namespace twl
