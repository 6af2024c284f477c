#pragma once

#include "store/Value.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// Ending a class: the points and payouts of its placed entries and the text of its class log,
// worked out from values already read. Nothing here reads or writes a file.
namespace twl::EndClassRun {

// The schedules have a column for 1 to 20 exhibitors and a row for places 1 to 20: a larger
// class uses the column for 20, and a place above 20 earns no points and pays nothing.
inline constexpr int ScheduleSize = 20;

// Rounds half away from zero. The guard is a hair above one half so that a product that should
// end in 5 but is stored just below it (2.345 × 100 = 234.49999999999997) still rounds up.
inline constexpr double RoundingGuard = 0.500000000001;
double roundHalfAway(double value, int decimals = 2);

// A number as the class log writes it: up to 15 significant digits, no thousands separator, no
// trailing zeros (7.5, 10, 0.13; 1E-05 and 1E+15 at the extremes).
QString logNumber(double value);

// TWL Class Log/Class 12 Log 06-18-05.txt in the program's folder (which ends in a separator).
QString logFolder(const QString& appFolder);
QString logFilePath(const QString& appFolder, const QString& classNumber, const QDate& showDate);

// A placing typed into the placings grid: empty (not placed), or a number that is not negative
// and fits a place.
bool placeAccepted(const QString& text);
inline const QString PlaceRefused = QStringLiteral("Enter positive numbers only.");

struct Entry {
    qint64 id = 0; // the row its points are written to
    store::Value exhibitorNumber;
    store::Value exhibitorName;
    QString memberNumber;
    int place = 0; // 0 (or less): not placed
};

// A points or payout schedule: a value by place and number of exhibitors.
class Schedule {
public:
    // The first value given for a cell counts, as the first row found for a place does.
    void set(int place, int exhibitors, double value);
    // 0 for a place or a column the schedule does not have.
    double value(int place, int exhibitors) const;

private:
    std::map<std::pair<int, int>, double> m_cells;
};

// The organisation's members with their season totals. A member number is found whatever the
// letter case it was typed in; of two numbers that differ only in case, the first one counts.
class MemberRegister {
public:
    struct Member {
        qint64 id = 0;
        QString number;
        double points = 0;
    };

    void add(qint64 id, const QString& number, double points);
    Member* find(const QString& number);
    int size() const { return int(m_members.size()); }

private:
    std::vector<Member> m_members;
    QHash<QString, int> m_byNumber;
};

struct PayoutSettings {
    bool isPercent = false; // the payout schedule holds factors of the class fee, not dollars
    qint16 cutOff = 0;      // a class of fewer exhibitors pays minMultiplier times as much
    double minMultiplier = 0;
};

struct ClassData {
    QString classNumber; // as the class list shows it
    QString className;
    double classFee = 0;
    double multiplier = 0;
    std::vector<Entry> entries; // every entry of the class, placed or not, in table order
};

struct WinnerResult {
    Entry entry;
    int place = 0;
    double pointsBase = 0;
    double pointsEarned = 0;
    double previousTotal = 0; // the member's season total before this class
    double newTotal = 0;      // after it; the points earned when there is no member
    double payoutBase = 0;
    double payout = 0;
    bool scored = false;            // placed 1 to 20: the entry's points are written
    std::optional<qint64> memberId; // the member whose total becomes newTotal
};

struct Result {
    int exhibitorCount = 0; // capped at ScheduleSize
    int winnerCount = 0;
    double multiplier = 0; // the class's, as the points were worked out with
    double classFee = 0;
    std::vector<WinnerResult> winners; // in place order; equal places keep table order
    QString log;                       // every line ends in CR LF
};

// Works out every figure of ending the class. Member totals are brought up to date in the
// register as the winners are worked through, so that a member placed twice in the class adds
// both placings.
Result endClass(const ClassData& data, const Schedule& points, const Schedule& payouts,
                const PayoutSettings& settings, MemberRegister& members);

} // namespace twl::EndClassRun
