#pragma once

#include "store/FileBackups.h"

#include <QRect>
#include <QString>
#include <QStringList>

namespace twl {

// The program's settings beyond TWL.ini's four keys, in a file of their own beside it, so that
// TWL.ini keeps exactly its keys. Read once at start-up, written once at exit, replaced
// atomically as TWL.ini is:
//
//   [Recent]   Show1 to Show8: the shows opened last, the newest first (full paths, quoted)
//   [Window]   Left, Top, Width, Height: the main window's place and size; Maximized: True/False
//   [Backups]  Keep: how many backups of each file are kept (at least 1)
inline constexpr const char* ExtraSettingsFileName = "TWL Extra.ini";
inline constexpr int RecentShowsKept = 8;

struct ExtraSettings {
    QStringList recentShows;
    QRect windowPlace; // empty: never saved, the window keeps its designed place
    bool windowMaximized = false;
    int backupsKept = store::DefaultBackupsKept;
};

// A missing file or key gives the default; a value that is not a number does too.
ExtraSettings readExtraSettings(const QString& path);
bool writeExtraSettings(const QString& path, const ExtraSettings& settings);

// The recent list after a show was opened: the show at the top, once, and at most eight.
QStringList withRecentShow(const QStringList& recent, const QString& show);
// The File menu's caption of a recent show: "&1 Spring Classic" (the name without ".twl").
QString recentShowCaption(int number, const QString& show);

// A saved window place fitted onto the screen's available area: no larger than the area, and
// moved inside it. An empty place stays empty.
QRect fitOnScreen(const QRect& place, const QRect& available);

} // namespace twl
