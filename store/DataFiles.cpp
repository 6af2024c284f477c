#include "DataFiles.h"

#include "Connection.h"
#include "StoreError.h"
#include "Transaction.h"

#include <QFile>
#include <array>
#include <cmath>
#include <functional>
#include <sqlite3.h>

namespace store {

namespace {

using Code = StoreError::Code;

// How much of a class's entry fees comes back as prizes, and how it is shared by place.
constexpr double PrizeShareOfFees = 0.6;
constexpr std::array<double, 6> PlaceWeights{0.30, 0.22, 0.17, 0.13, 0.10, 0.08};
constexpr int PointsPlaces = 10;

int revisionOf(Connection& connection) {
    Statement statement = connection.prepare(QStringLiteral("PRAGMA user_version"));
    statement.step();
    return int(statement.columnInt64(0));
}

void setRevision(Connection& connection, int revision) {
    connection.execute(QStringLiteral("PRAGMA user_version = %1").arg(revision));
}

void fillShowTemplate(Connection& connection, const QDate& showDate) {
    Statement show = connection.prepare(QStringLiteral(
        "INSERT INTO ShowData_tbl (ShoName, ShoCity, ShoState, DateOfEvent, TotClassUsed, "
        "FootNote, Version) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    show.bind(1, Value("New Horse Show"));
    show.bind(2, Value(""));
    show.bind(3, Value(""));
    show.bind(4, Value(showDate));
    show.bind(5, Value(ClassCount));
    show.bind(6, Value(""));
    show.bind(7, Value(double(ShowFileVersion)));
    show.step();

    Statement classRow = connection.prepare(QStringLiteral(
        "INSERT INTO Class_tbl ([Class No], [Class Name], [Class Fee], [Class Multi], "
        "[Class Ended]) VALUES (?, 'Blank', 0, 1, 0)"));
    Statement selectRow = connection.prepare(QStringLiteral(
        "INSERT INTO MultiSelect_tbl ([Class No], Selected, OtherExhNa) VALUES (?, 0, 0)"));
    for (int classNo = 1; classNo <= ClassCount; ++classNo) {
        classRow.reset();
        classRow.bind(1, Value(classNo));
        classRow.step();
        selectRow.reset();
        selectRow.bind(1, Value(classNo));
        selectRow.step();
    }
}

void fillSchedule(Connection& connection, const QString& table, QChar column,
                  const std::function<double(int, int)>& value) {
    QStringList names{QStringLiteral("[Place]")};
    QStringList parameterMarks{QStringLiteral("?")};
    for (int n = 1; n <= SchedulePlaces; ++n) {
        names << QString(column) + QString::number(n);
        parameterMarks << QStringLiteral("?");
    }
    Statement row = connection.prepare(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(table, names.join(QLatin1Char(',')), parameterMarks.join(QLatin1Char(','))));
    for (int place = 1; place <= SchedulePlaces; ++place) {
        row.reset();
        row.bind(1, Value(place));
        for (int n = 1; n <= SchedulePlaces; ++n)
            row.bind(n + 1, Value(value(place, n)));
        row.step();
    }
}

void fillOrganisation(Connection& connection) {
    connection.execute(QStringLiteral(
        "INSERT INTO OrgData_tbl (OrgName, OrgAdd1, OrgAdd2, OrgCity, OrgState, OrgZip, "
        "OrgPhone, OrgFax, OrgEmail, OrgMemFee, CutOff, MinMultiP, IsPrcnt) VALUES "
        "('Horse Show Association', '', '', '', '', '', '', '', '', 25, 3, 0.5, 1)"));
    fillSchedule(connection, QStringLiteral("Points_tbl"), QLatin1Char('X'), defaultPoints);
    fillSchedule(connection, QStringLiteral("PaySch_tbl"), QLatin1Char('P'), defaultPayoutFactor);
}

void buildFile(const QString& file, const QString& password, const QString& schemaSql, int revision,
               bool replace, const std::function<void(Connection&)>& fill) {
    if (!replace && QFile::exists(file))
        return;
    const QString partial = file + QStringLiteral(".part");
    QFile::remove(partial);
    try {
        {
            Connection connection(partial, password, Connection::Mode::Create);
            Transaction transaction(connection);
            executeScript(connection, schemaSql);
            fill(connection);
            transaction.commit();
            setRevision(connection, revision);
        }
        releaseConnection(file);
        QFile::remove(file);
        if (!QFile::rename(partial, file))
            throw StoreError(Code::Sql, QStringLiteral("\"%1\" could not be written.").arg(file));
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
}

} // namespace

double defaultPoints(int place, int exhibitors) {
    const int placed = std::min(exhibitors, PointsPlaces);
    return place <= placed ? double(placed + 1 - place) : 0.0;
}

double defaultPayoutFactor(int place, int exhibitors) {
    const int paid = std::min<int>(exhibitors, int(PlaceWeights.size()));
    if (place > paid)
        return 0.0;
    double weights = 0;
    for (int p = 0; p < paid; ++p)
        weights += PlaceWeights[p];
    const double factor = PrizeShareOfFees * exhibitors * PlaceWeights[place - 1] / weights;
    return std::round(factor * 100.0) / 100.0;
}

void createShowTemplate(const QString& file, const QString& password, const QString& schemaSql,
                        const QDate& showDate, bool replace) {
    buildFile(file, password, schemaSql, ShowSchemaRevision, replace,
              [&](Connection& connection) { fillShowTemplate(connection, showDate); });
}

void createOrganisationFile(const QString& file, const QString& password, const QString& schemaSql,
                            bool replace) {
    buildFile(file, password, schemaSql, OrganisationSchemaRevision, replace, fillOrganisation);
}

const std::vector<MigrationStep>& organisationMigrations() {
    // Revision 1 is the first; each later schema change adds its step here, and the schema of a
    // new file makes the same objects.
    static const std::vector<MigrationStep> steps{
        {2, QStringLiteral("CREATE TABLE IF NOT EXISTS PointsLedger_tbl ("
                           "[Entry Id] INTEGER PRIMARY KEY, "
                           "[Season] INTEGER NOT NULL DEFAULT 0, "
                           "[Mem Num] TEXT(25) NOT NULL, "
                           "[Show Name] TEXT(150), "
                           "[Show Date] DATETIME, "
                           "[Class No] SHORT, "
                           "[Class Name] TEXT(100), "
                           "[Place] SHORT, "
                           "[Class Entries] INTEGER, "
                           "[Points Base] DOUBLE, "
                           "[Multiplier] DOUBLE, "
                           "[Points] DOUBLE);"
                           "CREATE INDEX IF NOT EXISTS PointsLedger_Member ON PointsLedger_tbl "
                           "([Mem Num] COLLATE NOCASE, [Season]);")},
    };
    return steps;
}

const std::vector<MigrationStep>& showMigrations() {
    // Revision 1 is the first; a show made before revisions were kept records 0 and is of the
    // same schema. Each later schema change adds its step here, creating what the template's
    // schema creates (a show that has the objects already keeps them).
    static const std::vector<MigrationStep> steps{
        {2, QStringLiteral( // the office's money: charges, payments and settled accounts
                "CREATE TABLE IF NOT EXISTS Charges_tbl ("
                "[Charge No] INTEGER PRIMARY KEY, [Show Exh No] SHORT NOT NULL, "
                "[Written At] DATETIME NOT NULL, [Charge Kind] TEXT(20) NOT NULL, "
                "[Charge Text] TEXT(100), [Amount Cents] LONG NOT NULL, [Reverses No] LONG);"
                "CREATE INDEX IF NOT EXISTS Charges_Exhibitor ON Charges_tbl ([Show Exh No]);"
                "CREATE UNIQUE INDEX IF NOT EXISTS Charges_Reversal ON Charges_tbl ([Reverses No]);"
                "CREATE TABLE IF NOT EXISTS Payments_tbl ("
                "[Payment No] INTEGER PRIMARY KEY, [Show Exh No] SHORT NOT NULL, "
                "[Written At] DATETIME NOT NULL, [Pay Method] TEXT(10) NOT NULL, "
                "[Pay Reference] TEXT(30), [Received By] TEXT(50), [Amount Cents] LONG NOT NULL, "
                "[Reverses No] LONG);"
                "CREATE INDEX IF NOT EXISTS Payments_Exhibitor ON Payments_tbl ([Show Exh No]);"
                "CREATE UNIQUE INDEX IF NOT EXISTS Payments_Reversal "
                "ON Payments_tbl ([Reverses No]);"
                "CREATE TABLE IF NOT EXISTS Settled_tbl ("
                "[Show Exh No] SHORT NOT NULL UNIQUE, [Settled At] DATETIME NOT NULL);")},
    };
    return steps;
}

int migrate(Connection& connection, const std::vector<MigrationStep>& steps, int newest) {
    const int revision = revisionOf(connection);
    if (revision > newest)
        throw StoreError(Code::NotADatabase,
                         QStringLiteral("\"%1\" was made by a newer version of the program.")
                             .arg(connection.file()));
    if (revision == newest)
        return revision;
    Transaction transaction(connection);
    for (const MigrationStep& step : steps) {
        if (step.toRevision > revision && step.toRevision <= newest)
            executeScript(connection, step.sql);
    }
    setRevision(connection, newest);
    transaction.commit();
    return revision;
}

void executeScript(Connection& connection, const QString& sql) {
    char* message = nullptr;
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_exec(connection.handle(), text.constData(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const QString reason = QString::fromUtf8(message ? message : "unknown error");
        sqlite3_free(message);
        throw StoreError(Code::Sql, reason, rc);
    }
}

} // namespace store
