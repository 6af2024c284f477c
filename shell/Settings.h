#pragma once

#include <QString>
#include <QtGlobal>

namespace twl {

// The settings file "TWL.ini" in the program's folder is a Windows-style initialisation file;
// these read and write it the way the Windows profile-string calls do.

// The value of `key` in `section` (both matched ignoring case), or `defaultValue` when the
// file, section or key is missing. At most 2407 characters are returned.
QString readIniValue(const QString& path, const QString& section, const QString& key,
                     const QString& defaultValue);

// Sets `key` in `section` to `value`, creating file, section or key when missing and keeping
// every other line as it was. The file is replaced atomically; false when that fails.
bool writeIniValue(const QString& path, const QString& section, const QString& key,
                   const QString& value);

struct AppSettings {
    bool checkResolution = true;
    bool scoreSkipPreview = false;
    bool paySkipPreview = false;
    qint16 scoreCopies = 1;
};

AppSettings readAppSettings(const QString& iniPath);
bool writeAppSettings(const QString& iniPath, const AppSettings& s);

// A number behind a sign position: blank when not negative, '-' otherwise (1 -> " 1").
QString formatSignedSetting(qint16 value);

} // namespace twl
