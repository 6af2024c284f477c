#pragma once

#include "common/TWL_public.h"
#include "store/FileRecovery.h"

#include <QString>
#include <optional>

namespace store {
class DataSource;
}

namespace twl {

class Prompt;

// The steps from launch to an idle main window, and the program's exit steps. Both work on the
// program's shared values.
class Startup {
public:
    Startup(Prompt& prompt, store::DataSource& adoTmp, TWL_public& shared)
        : m_prompt(prompt), m_adoTmp(adoTmp), m_shared(shared) {}

    // The required-files check: sets AppFolder, makes it the current folder, ends start-up when
    // TWL.dll or TWL.org is missing or TWL.org cannot be used (damaged, empty, without its
    // tables, or of a newer program), and creates the class-log folder when it is missing.
    bool checkRequiredFiles(const QString& programFolder);
    // Reads the four settings of TWL.ini into the shared values.
    void readSettings();
    // Builds the database password and the organisation file's connection text and loads the
    // organisation details. Failing steps leave their values empty.
    void loadData();

    // The exit steps around the display restore: the settings are written first, the
    // organisation file is compacted last (a failure is shown and exit goes on).
    void writeSettings();
    void compactOrganisationFile();

private:
    // Settles an interrupted compaction's leftovers beside the organisation file and checks
    // it; nothing when the password cannot be built.
    std::optional<store::Recovery> recoverOrganisationFile(const QString& organisation);

    Prompt& m_prompt;
    store::DataSource& m_adoTmp;
    TWL_public& m_shared;
};

// The database password, unscrambled by the support library loaded from the program's folder.
// Empty when the library or its export cannot be loaded.
QString buildDbPassword(const QString& appFolder);

// The organisation details read from the organisation file into the shared values.
void loadOrganisationDetailsIntoMemory(store::DataSource& adoTmp, TWL_public& shared);

inline constexpr const char* ProgramTitle = "Trotwell";
inline constexpr const char* SettingsFileName = "TWL.ini";
inline constexpr const char* ClassLogFolderName = "TWL Class Log";

} // namespace twl
