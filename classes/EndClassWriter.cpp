#include "EndClassWriter.h"

#include "store/AttachedDatabase.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/PointsLedger.h"
#include "store/StoreError.h"
#include "store/Transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <unistd.h>

namespace twl {

namespace {

using namespace EndClassRun;
using store::Connection;
using store::Statement;
using store::Value;
using Failure = EndClassWriter::Failure;

const QString OrgSchema = QStringLiteral("org");

struct ClassRow {
    QString name;
    double fee = 0;
    double multiplier = 0;
    bool ended = false;
};

Value columnValue(const Statement& statement, int column) {
    return statement.columnValue(column, statement.columnField(column).type);
}

int classNumberOf(const QString& text) {
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (!ok)
        throw Failure(QStringLiteral("\"%1\" is not a class number.").arg(text));
    return number;
}

ClassRow readClass(Connection& show, int classNo, const QString& classText) {
    Statement statement = show.prepare(QStringLiteral(
        "SELECT [Class Name], [Class Fee], [Class Multi], [Class Ended] FROM Class_tbl "
        "WHERE [Class No] = ?"));
    statement.bind(1, Value(classNo));
    if (!statement.step())
        throw Failure(QStringLiteral("There is no class %1 in the show.").arg(classText));
    ClassRow row{columnValue(statement, 0).toText(), columnValue(statement, 1).toDouble(),
                 columnValue(statement, 2).toDouble(), columnValue(statement, 3).toBool()};
    // The check is made inside the run's transaction, so a class is never ended twice.
    if (row.ended)
        throw Failure(QStringLiteral("Class %1 has already been ended.").arg(classText));
    return row;
}

std::vector<Entry> readEntries(Connection& show, int classNo) {
    Statement statement = show.prepare(QStringLiteral(
        "SELECT rowid, [Show Exh No], [Show Exh Nam], [Member Number], [Place] FROM Entries_tbl "
        "WHERE [Class No] = ? ORDER BY rowid"));
    statement.bind(1, Value(classNo));
    std::vector<Entry> entries;
    while (statement.step()) {
        entries.push_back(Entry{statement.columnInt64(0), columnValue(statement, 1),
                                columnValue(statement, 2), columnValue(statement, 3).toText(),
                                int(columnValue(statement, 4).toInt())});
    }
    return entries;
}

// Value columns are named by a letter and the number of exhibitors: X1 to X20, P1 to P20.
Schedule readSchedule(Connection& connection, const QString& table, QChar letter) {
    Statement statement =
        connection.prepare(QStringLiteral("SELECT * FROM ") + OrgSchema + QLatin1Char('.') + table +
                           QStringLiteral(" ORDER BY rowid"));
    const QRegularExpression valueColumn(QStringLiteral("^%1(\\d+)$").arg(letter),
                                         QRegularExpression::CaseInsensitiveOption);
    int placeColumn = -1;
    std::vector<std::pair<int, int>> columns; // statement column, exhibitors
    for (int c = 0; c < statement.columnCount(); ++c) {
        const QString name = statement.columnName(c);
        const auto match = valueColumn.match(name);
        if (name.compare(QLatin1String("Place"), Qt::CaseInsensitive) == 0)
            placeColumn = c;
        else if (match.hasMatch())
            columns.emplace_back(c, match.captured(1).toInt());
    }
    Schedule schedule;
    if (placeColumn < 0)
        return schedule;
    while (statement.step()) {
        const Value place = columnValue(statement, placeColumn);
        if (place.isNull())
            continue;
        for (const auto& [column, exhibitors] : columns)
            schedule.set(int(place.toInt()), exhibitors,
                         statement.columnValue(column, store::FieldType::Number).toDouble());
    }
    return schedule;
}

// Only the members whose numbers the class's entries name are kept: a run looks up at most a
// few of the organisation's thousands.
MemberRegister readMembers(Connection& connection, const std::vector<Entry>& entries) {
    QSet<QString> wanted;
    for (const Entry& entry : entries) {
        if (entry.place > 0 && !entry.memberNumber.isEmpty())
            wanted.insert(entry.memberNumber.toCaseFolded());
    }
    MemberRegister members;
    if (wanted.isEmpty())
        return members;
    Statement statement =
        connection.prepare(QStringLiteral("SELECT rowid, [Mem Num], [Mem Points] FROM ") +
                           OrgSchema + QStringLiteral(".Members_tbl ORDER BY rowid"));
    while (statement.step()) {
        const QString number = statement.columnValue(1, store::FieldType::Text).toText();
        if (wanted.contains(number.toCaseFolded()))
            members.add(statement.columnInt64(0), number,
                        statement.columnValue(2, store::FieldType::Number).toDouble());
    }
    return members;
}

void writeResults(Connection& connection, int classNo, const Result& result) {
    Statement points = connection.prepare(
        QStringLiteral("UPDATE Entries_tbl SET [Show Points] = ? WHERE rowid = ?"));
    Statement member = connection.prepare(QStringLiteral("UPDATE ") + OrgSchema +
                                          QStringLiteral(".Members_tbl SET [Mem Points] = ? "
                                                         "WHERE rowid = ?"));
    Statement payout = connection.prepare(QStringLiteral(
        "INSERT INTO PayOut_tbl ([PY Class No], [PY Exh No], [PY Exh Nam], [PY Place], [PY Amt]) "
        "VALUES (?, ?, ?, ?, ?)"));
    for (const WinnerResult& winner : result.winners) {
        if (winner.scored) {
            points.reset();
            points.bind(1, Value(winner.pointsEarned));
            points.bind(2, Value(winner.entry.id));
            points.step();
        }
        if (winner.memberId) {
            member.reset();
            member.bind(1, Value(winner.newTotal));
            member.bind(2, Value(*winner.memberId));
            member.step();
        }
        payout.reset();
        payout.bind(1, Value(classNo));
        payout.bind(2, winner.entry.exhibitorNumber);
        payout.bind(3, winner.entry.exhibitorName);
        payout.bind(4, Value(winner.place));
        payout.bind(5, Value(store::Currency::fromDouble(winner.payout)));
        payout.step();
    }
    Statement ended = connection.prepare(QStringLiteral("UPDATE Class_tbl SET [Class Ended] = 1 "
                                                        "WHERE [Class No] = ?"));
    ended.bind(1, Value(classNo));
    ended.step();
}

QString showName(Connection& show) {
    Statement statement = show.prepare(QStringLiteral("SELECT ShoName FROM ShowData_tbl"));
    return statement.step() ? columnValue(statement, 0).toText() : QString();
}

// One ledger row for every member total the run changes, beside that total in the same
// transaction: the season total stays the sum of its rows.
std::vector<store::PointsLedger::Credit> ledgerCredits(Connection& show, const ClassData& data,
                                                       int classNo, const QDate& showDate,
                                                       const Result& result,
                                                       MemberRegister& members) {
    std::vector<store::PointsLedger::Credit> credits;
    const QString name = showName(show);
    for (const WinnerResult& winner : result.winners) {
        const MemberRegister::Member* member =
            winner.memberId ? members.find(winner.entry.memberNumber) : nullptr;
        if (!member)
            continue;
        credits.push_back({member->number, name, showDate, classNo, data.className, winner.place,
                           int(data.entries.size()), winner.pointsBase, data.multiplier,
                           winner.pointsEarned});
    }
    return credits;
}

// The log is written under a temporary name now and takes its own name at commitLog().
// Unbuffered and synced before the run commits: a full disk then fails the run, instead of a
// buffered write failing unnoticed while committing and an empty log taking the log's place.
void prepareLog(QSaveFile& file, const QString& text) {
    QDir().mkpath(QFileInfo(file.fileName()).absolutePath());
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(bytes) != bytes.size() || ::fsync(file.handle()) != 0)
        throw Failure(QStringLiteral("The class log \"%1\" cannot be written: %2")
                          .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
}

} // namespace

EndClassWriter::EndClassWriter(const QString& showConnectionText,
                               const QString& orgConnectionText) {
    try {
        m_show = store::connectionFor(showConnectionText);
        const store::ConnectionTarget org = store::parseConnectionText(orgConnectionText);
        m_org =
            std::make_unique<store::AttachedDatabase>(m_show, org.file, org.password, OrgSchema);
    } catch (const store::StoreError& error) {
        throw Failure(error.message());
    }
}

EndClassWriter::~EndClassWriter() = default;

EndClassWriter::Outcome EndClassWriter::run(const Request& request) {
    Outcome outcome;
    outcome.logFile = logFilePath(request.appFolder, request.classNumber, request.showDate);
    QSaveFile log(outcome.logFile);
    try {
        const int classNo = classNumberOf(request.classNumber);
        store::Transaction transaction(*m_show);
        const ClassRow row = readClass(*m_show, classNo, request.classNumber);
        ClassData data{request.classNumber, row.name, row.fee, row.multiplier,
                       readEntries(*m_show, classNo)};
        MemberRegister members = readMembers(*m_show, data.entries);
        outcome.result = endClass(data, readSchedule(*m_show, QStringLiteral("Points_tbl"), 'X'),
                                  readSchedule(*m_show, QStringLiteral("PaySch_tbl"), 'P'),
                                  request.settings, members);
        writeResults(*m_show, classNo, outcome.result);
        store::PointsLedger::append(
            *m_show, OrgSchema,
            ledgerCredits(*m_show, data, classNo, request.showDate, outcome.result, members));
        prepareLog(log, outcome.result.log);
        transaction.commit();
    } catch (const store::StoreError& error) {
        throw Failure(error.message());
    }
    if (!log.commit())
        outcome.logError = log.errorString();
    return outcome;
}

} // namespace twl
