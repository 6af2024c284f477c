#pragma once

#include <QString>
#include <QtGlobal>

namespace twl {

// The settings file "TWL.ini" in the program's folder is an initialisation file: "[Section]"
// lines, each followed by its "key=value" lines. Names are matched ignoring case and blanks
// around them, only the first section of a name counts, and a value between double quotes is
// read without them.

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

// Writes a settings file whole beside the old one and puts it in its place; false when it cannot.
bool writeSettingsFile(const QString& path, const QByteArray& bytes);

AppSettings readAppSettings(const QString& iniPath);
bool writeAppSettings(const QString& iniPath, const AppSettings& s);

// A number behind a sign position: blank when not negative, '-' otherwise (1 -> " 1").
QString formatSignedSetting(qint16 value);

} // namespace twl
