#pragma once

#include <QString>

namespace twl {

// Marks a program folder that an installation shares between users: the program then keeps
// each user's files in a folder of that user's own.
inline constexpr const char* SharedFolderMarker = "shared-program-folder";
// The user's folder, under the user's data folder ($XDG_DATA_HOME, else ~/.local/share).
inline constexpr const char* UserFolderName = "trotwell";

struct ProgramFolder {
    QString path;    // with a trailing slash
    QString problem; // why the user's folder cannot be made; empty when it stands
};

// The folder the program runs in. A build's folder (or any folder the program was copied into)
// is the program's folder itself. From an installed, shared folder, the user's own folder under
// userDataFolder is made on first start: TWL.org copied from the installed one (never over the
// user's), and TWL.dll and Base.dat as links to the installed ones, so that an update of the
// program reaches them.
ProgramFolder chooseProgramFolder(const QString& executableFolder, const QString& userDataFolder);

} // namespace twl
