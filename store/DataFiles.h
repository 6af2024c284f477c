#pragma once

#include <QDate>
#include <QString>
#include <vector>

namespace store {

class Connection;

// The show-file format version that the program opens.
inline constexpr int ShowFileVersion = 2;
inline constexpr int ClassCount = 150;
inline constexpr int SchedulePlaces = 20;

// Schema revisions, kept in each file (PRAGMA user_version). The organisation file outlives
// program versions and is migrated step by step.
inline constexpr int ShowSchemaRevision = 2;
inline constexpr int OrganisationSchemaRevision = 2; // 2: the member points ledger

// The schedules a new organisation file starts with: a place earns more than any place below
// it, and nothing when the class has fewer exhibitors than the place.
double defaultPoints(int place, int exhibitors);
double defaultPayoutFactor(int place, int exhibitors); // a factor of the class's entry fee

// Builds a data file from its schema text under a temporary name and moves it into place only
// when complete. Throws StoreError. An existing file is replaced only when replace is true.
void createShowTemplate(const QString& file, const QString& password, const QString& schemaSql,
                        const QDate& showDate, bool replace);
void createOrganisationFile(const QString& file, const QString& password, const QString& schemaSql,
                            bool replace);

struct MigrationStep {
    int toRevision;
    QString sql; // one or more statements
};
// The steps from each older organisation-file or show-file revision to the next.
const std::vector<MigrationStep>& organisationMigrations();
const std::vector<MigrationStep>& showMigrations();

// Brings a file up to the newest revision of the given steps inside one transaction; a file
// newer than the steps know is refused. Returns the revision the file had.
int migrate(Connection& connection, const std::vector<MigrationStep>& steps, int newest);

// Runs a trusted script of several statements (the schemas and migrations of this program).
void executeScript(Connection& connection, const QString& sql);

} // namespace store
