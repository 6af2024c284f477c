#include "EndClassWriter.h"

#include "store/AttachedDatabase.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/FileWrites.h"
#include "store/StoreError.h"
#include "store/Transaction.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>

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

// The log is written under a temporary name now and takes its own name at the save file's
// commit. Unbuffered and synced before the run commits: a full disk then fails the run, instead
// of a buffered write failing unnoticed while committing and an empty log taking the log's place.
// Returns the reason it cannot be written; empty when it can.
QString prepareLog(QSaveFile& file, const QString& text) {
    QDir().mkpath(QFileInfo(file.fileName()).absolutePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    if (QString reason = store::writeAll(file, text.toUtf8()); !reason.isEmpty())
        return reason;
    return store::syncToDisk(file);
}

QString cannotWriteLog(const QString& path, const QString& reason) {
    return QStringLiteral("The class log \"%1\" cannot be written: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

// The log's text goes into the show file with the results, and stays there until the show is
// next opened: a program ending before the log is in place leaves nothing to chance. No write of
// its own follows the run, which would cost a second commit.
void keepLogText(Connection& show, const QString& logFile, const QString& text) {
    Statement kept = show.prepare(QStringLiteral(
        "INSERT INTO PendingLog_tbl ([Log Name], [Log Text], [Ended At]) VALUES (?, ?, ?)"));
    kept.bind(1, Value(QFileInfo(logFile).fileName()));
    kept.bind(2, Value(text));
    kept.bind(3, Value(double(QDateTime::currentMSecsSinceEpoch())));
    kept.step();
}

struct KeptLog {
    qint64 id = 0;
    QString name;
    QString text;
    double endedAt = 0;
};

std::vector<KeptLog> keptLogs(Connection& show) {
    Statement rows = show.prepare(QStringLiteral(
        "SELECT rowid, [Log Name], [Log Text], [Ended At] FROM PendingLog_tbl ORDER BY rowid"));
    std::vector<KeptLog> logs;
    while (rows.step())
        logs.push_back({rows.columnInt64(0), rows.columnValue(1, store::FieldType::Text).toText(),
                        rows.columnValue(2, store::FieldType::Text).toText(),
                        rows.columnValue(3, store::FieldType::Number).toDouble()});
    return logs;
}

// Whether the run left its log in place, or a later run replaced it with its own.
bool logSettled(const QString& path, const KeptLog& log) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.readAll() == log.text.toUtf8())
        return true;
    return double(QFileInfo(file).lastModified().toMSecsSinceEpoch()) > log.endedAt;
}

void forgetLogs(Connection& show, const std::vector<qint64>& ids) {
    if (ids.empty())
        return;
    store::Transaction transaction(show);
    Statement forget = show.prepare(QStringLiteral("DELETE FROM PendingLog_tbl WHERE rowid = ?"));
    for (const qint64 id : ids) {
        forget.reset();
        forget.bind(1, Value(id));
        forget.step();
    }
    transaction.commit();
}

// A pending log names a file of the class-log folder and nothing else: a show file that says
// otherwise makes no file anywhere.
bool isLogFileName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           name.endsWith(QLatin1String(".txt"));
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

EndClassWriter::Outcome EndClassWriter::run(const Request& request, const Progress& progress) {
    const auto reached = [&progress](Step step) {
        if (progress)
            progress(step);
    };
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
        keepLogText(*m_show, outcome.logFile, outcome.result.log);
        if (const QString reason = prepareLog(log, outcome.result.log); !reason.isEmpty())
            throw Failure(cannotWriteLog(outcome.logFile, reason));
        transaction.commit();
    } catch (const store::StoreError& error) {
        throw Failure(error.message());
    }
    reached(Step::Committed);
    if (!log.commit()) {
        outcome.logError = log.errorString();
        return outcome;
    }
    reached(Step::LogInPlace);
    return outcome;
}

QStringList finishPendingClassLogs(const QString& showConnectionText, const QString& appFolder) {
    const std::shared_ptr<Connection> show = store::connectionFor(showConnectionText);
    QStringList failures;
    std::vector<qint64> settled;
    for (const KeptLog& log : keptLogs(*show)) {
        if (!isLogFileName(log.name)) {
            failures << QStringLiteral("\"%1\" is no name of a class log; it was left out.")
                            .arg(log.name);
            settled.push_back(log.id);
            continue;
        }
        const QString path = logFolder(appFolder) + log.name;
        if (!logSettled(path, log)) {
            QSaveFile file(path);
            QString reason = prepareLog(file, log.text);
            if (reason.isEmpty() && !file.commit())
                reason = file.errorString();
            if (!reason.isEmpty()) {
                failures << cannotWriteLog(path, reason);
                continue;
            }
        }
        settled.push_back(log.id);
    }
    forgetLogs(*show, settled);
    return failures;
}

} // namespace twl
