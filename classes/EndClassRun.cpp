#include "EndClassRun.h"

#include "common/Formats.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace twl::EndClassRun {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString DashLine = QStringLiteral("----------------------------------");

class LogWriter {
public:
    void line(const QString& text = QString()) { m_text += text + CrLf; }
    void line(const char* label, const QString& value) { line(QLatin1String(label) + value); }
    void line(const char* label, double value) { line(label, logNumber(value)); }
    void line(const char* label, qint64 value) { line(label, QString::number(value)); }
    QString text() const { return m_text; }

private:
    QString m_text;
};

void writeHeader(LogWriter& log, const ClassData& data, const Result& result,
                 const PayoutSettings& settings) {
    log.line("Class No. = ", data.classNumber);
    log.line("Class Name = ", data.className);
    log.line("Total Exh. = ", qint64(result.exhibitorCount));
    log.line("Total Winners. = ", qint64(result.winnerCount));
    log.line("Points Multiplier = ", data.multiplier);
    log.line("Class Fee = ", data.classFee);
    log.line("Percentage = ",
             settings.isPercent ? QStringLiteral("True") : QStringLiteral("False"));
    log.line("Min Exh in Class = ", qint64(settings.cutOff));
    log.line("Min Exh Multiplier = ", settings.minMultiplier);
    log.line(DashLine);
    log.line();
    log.line();
}

void writeWinner(LogWriter& log, const WinnerResult& winner) {
    log.line("Exhibitor = ", winner.entry.exhibitorNumber.toText());
    log.line("Member No. = ", winner.entry.memberNumber);
    log.line("Place = ", qint64(winner.place));
    log.line("Original Points = ", winner.previousTotal);
    log.line("Points Base = ", winner.pointsBase);
    log.line("New Points = ", winner.pointsEarned);
    log.line("FinalPoints = ", winner.newTotal);
    log.line("Payout Base = ", winner.payoutBase);
    log.line("Payout = ", winner.payout);
    log.line(DashLine);
    log.line();
}

std::vector<Entry> placedInOrder(const std::vector<Entry>& entries) {
    std::vector<Entry> placed;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(placed),
                 [](const Entry& entry) { return entry.place > 0; });
    std::stable_sort(placed.begin(), placed.end(),
                     [](const Entry& a, const Entry& b) { return a.place < b.place; });
    return placed;
}

WinnerResult workOut(const Entry& entry, const ClassData& data, int exhibitors,
                     const Schedule& points, const Schedule& payouts,
                     const PayoutSettings& settings, MemberRegister& members) {
    WinnerResult winner;
    winner.entry = entry;
    winner.place = entry.place;
    if (entry.place <= ScheduleSize) {
        winner.scored = true;
        winner.pointsBase = points.value(entry.place, exhibitors);
        winner.pointsEarned = roundHalfAway(winner.pointsBase * data.multiplier);
        winner.newTotal = winner.pointsEarned;
        // An empty member number, or one that matches no member, changes no season total.
        if (!entry.memberNumber.isEmpty()) {
            if (MemberRegister::Member* member = members.find(entry.memberNumber)) {
                winner.previousTotal = member->points;
                winner.newTotal = member->points + winner.pointsEarned;
                member->points = winner.newTotal;
                winner.memberId = member->id;
            }
        }
        winner.payoutBase = payouts.value(entry.place, exhibitors);
    }
    double payout = winner.payoutBase;
    if (settings.isPercent)
        payout *= data.classFee;
    // The minimum-exhibitor rule reduces payouts only, never points.
    if (exhibitors < settings.cutOff)
        payout *= settings.minMultiplier;
    winner.payout = roundHalfAway(payout);
    return winner;
}

} // namespace

double roundHalfAway(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double sign = value > 0 ? 1.0 : (value < 0 ? -1.0 : 0.0);
    return std::trunc(value * scale + sign * RoundingGuard) / scale;
}

QString logNumber(double value) {
    if (value == 0)
        return QStringLiteral("0"); // never "-0"
    return QString::number(value, 'g', 15).toUpper();
}

QString logFolder(const QString& appFolder) {
    return appFolder + QStringLiteral("TWL Class Log/");
}

QString logFilePath(const QString& appFolder, const QString& classNumber, const QDate& showDate) {
    return logFolder(appFolder) + QStringLiteral("Class ") + classNumber + QStringLiteral(" Log ") +
           format::shortDate(showDate) + QStringLiteral(".txt");
}

bool placeAccepted(const QString& text) {
    if (text.isEmpty())
        return true;
    double number = 0;
    return store::parseNumber(text, &number) && number >= 0 &&
           number < std::numeric_limits<qint16>::max() + 0.5;
}

void Schedule::set(int place, int exhibitors, double value) {
    m_cells.try_emplace({place, exhibitors}, value);
}

double Schedule::value(int place, int exhibitors) const {
    const auto found = m_cells.find({place, exhibitors});
    return found == m_cells.end() ? 0.0 : found->second;
}

void MemberRegister::add(qint64 id, const QString& number, double points) {
    m_members.push_back(Member{id, number, points});
    const QString key = number.toCaseFolded();
    if (!m_byNumber.contains(key))
        m_byNumber.insert(key, int(m_members.size()) - 1);
}

MemberRegister::Member* MemberRegister::find(const QString& number) {
    const auto found = m_byNumber.constFind(number.toCaseFolded());
    return found == m_byNumber.cend() ? nullptr : &m_members[size_t(found.value())];
}

Result endClass(const ClassData& data, const Schedule& points, const Schedule& payouts,
                const PayoutSettings& settings, MemberRegister& members) {
    Result result;
    result.exhibitorCount = std::min(int(data.entries.size()), ScheduleSize);
    result.multiplier = data.multiplier;
    result.classFee = data.classFee;
    const std::vector<Entry> placed = placedInOrder(data.entries);
    result.winnerCount = int(placed.size());

    LogWriter log;
    writeHeader(log, data, result, settings);
    for (const Entry& entry : placed) {
        result.winners.push_back(
            workOut(entry, data, result.exhibitorCount, points, payouts, settings, members));
        writeWinner(log, result.winners.back());
    }
    result.log = log.text();
    return result;
}

} // namespace twl::EndClassRun
