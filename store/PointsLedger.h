#pragma once

#include <QDate>
#include <QString>
#include <vector>

namespace store {

class Connection;

// The member points ledger of the organisation file (PointsLedger_tbl): one row for every season
// credit that ending a class adds to a member's [Mem Points]. A row belongs to the season in
// progress (season 0) until the season is reset; the reset numbers the closed season 1, 2, ...
// so that its rows stay readable under it. A member's season total equals the sum of the
// points of its rows of season 0, except for what was earned before the ledger existed.
namespace PointsLedger {

inline constexpr int CurrentSeason = 0;

struct Credit {
    QString memberNumber; // as Members_tbl stores it
    QString showName;
    QDate showDate;
    int classNo = 0;
    QString className;
    int place = 0;
    int entries = 0; // every entry of the class, placed or not
    double pointsBase = 0;
    double multiplier = 0;
    double points = 0;
};

// Every function below runs on the caller's connection and inside the caller's transaction, if
// any; schema names the attached organisation file ("org"), or is empty when the connection is
// the organisation file's own. All throw StoreError.

void append(Connection& connection, const QString& schema, const std::vector<Credit>& credits);

// Numbers the season in progress as closed and returns its number (rows of season 0 move to it).
int closeSeason(Connection& connection, const QString& schema = {});
// A member's rows go with the member.
void forgetMember(Connection& connection, const QString& memberNumber, const QString& schema = {});
// A member whose number changes keeps its rows.
void renumberMember(Connection& connection, const QString& from, const QString& to,
                    const QString& schema = {});

// The member's credits of one season, in the order they were written.
std::vector<Credit> credits(Connection& connection, const QString& memberNumber,
                            int season = CurrentSeason, const QString& schema = {});

} // namespace PointsLedger
} // namespace store
