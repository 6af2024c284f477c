#include "EndClassWriter.h"

#include "store/AttachedDatabase.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/FileWrites.h"
#include "store/PointsLedger.h"
#include "store/StoreError.h"
#include "store/Transaction.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScopeGuard>
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

// Every figure of ending the class, from what both files hold now: the class as read, its
// members with their totals after the run, and the run's result.
struct Worked {
    ClassData data;
    MemberRegister members;
    Result result;
};

Worked workOut(Connection& show, int classNo, const EndClassWriter::Request& request) {
    const ClassRow row = readClass(show, classNo, request.classNumber);
    Worked worked{
        {request.classNumber, row.name, row.fee, row.multiplier, readEntries(show, classNo)},
        {},
        {}};
    worked.members = readMembers(show, worked.data.entries);
    worked.result = endClass(worked.data, readSchedule(show, QStringLiteral("Points_tbl"), 'X'),
                             readSchedule(show, QStringLiteral("PaySch_tbl"), 'P'),
                             request.settings, worked.members);
    return worked;
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

// Before the run commits, its log waits beside the show file, complete and on the disk: a file
// named after the show and the class, holding the log's file name on its first line and then the
// log's text. It goes once the log has its own name. A class is ended once, so at most one waits
// for each class, and opening the show again settles it: the log of an ended class is put in
// place, that of a run that did not commit is dropped.
QString pendingLogPrefix(const QString& showFile) {
    return QLatin1Char('.') + QFileInfo(showFile).fileName() + QStringLiteral(".class-log-");
}

QString pendingLogPath(const QString& showFile, int classNo) {
    return QFileInfo(showFile).absoluteDir().filePath(pendingLogPrefix(showFile) +
                                                      QString::number(classNo));
}

QString writePendingLog(const QString& path, const QString& logFile, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return file.errorString();
    const QByteArray bytes = QFileInfo(logFile).fileName().toUtf8() + '\n' + text.toUtf8();
    if (QString reason = store::writeAll(file, bytes); !reason.isEmpty())
        return reason;
    if (QString reason = store::syncToDisk(file); !reason.isEmpty())
        return reason;
    return store::syncFolderOf(path);
}

// A pending log names a file of the class-log folder and nothing else: a file that says
// otherwise makes no file anywhere.
bool isLogFileName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           name.endsWith(QLatin1String(".txt"));
}

bool classEnded(Connection& show, int classNo) {
    Statement ended =
        show.prepare(QStringLiteral("SELECT [Class Ended] FROM Class_tbl WHERE [Class No] = ?"));
    ended.bind(1, Value(classNo));
    return ended.step() && columnValue(ended, 0).toBool();
}

// Whether the log is in place already, or a later run (another show of the same date) has
// written its own log under the name since.
bool logSettled(const QString& path, const QByteArray& text, const QDateTime& pendingSince) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.readAll() == text || QFileInfo(file).lastModified() > pendingSince;
}

QString putLogInPlace(const QString& path, const QByteArray& text) {
    QSaveFile file(path);
    QString reason = prepareLog(file, QString::fromUtf8(text));
    if (reason.isEmpty() && !file.commit())
        reason = file.errorString();
    return reason.isEmpty() ? QString() : cannotWriteLog(path, reason);
}

// Puts the pending log of an ended class in place and removes it; the reason when it cannot.
QString settlePendingLog(Connection& show, const QFileInfo& pending, int classNo,
                         const QString& appFolder) {
    QFile file(pending.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("\"%1\" cannot be read: %2")
            .arg(QDir::toNativeSeparators(file.fileName()), file.errorString());
    const QByteArray bytes = file.readAll();
    file.close();
    const qsizetype nameEnd = bytes.indexOf('\n');
    const QString name = QString::fromUtf8(bytes.left(nameEnd));
    QString failure;
    if (!classEnded(show, classNo)) {
        // The run did not commit: the class is not ended, and its log is no log.
    } else if (nameEnd < 0 || !isLogFileName(name)) {
        failure = QStringLiteral("\"%1\" is no name of a class log; it was left out.").arg(name);
    } else {
        const QString path = logFolder(appFolder) + name;
        const QByteArray text = bytes.mid(nameEnd + 1);
        if (!logSettled(path, text, pending.lastModified()))
            failure = putLogInPlace(path, text);
        if (!failure.isEmpty())
            return failure; // kept for the next time
    }
    if (!QFile::remove(pending.absoluteFilePath()))
        failure += QStringLiteral("\"%1\" could not be removed.")
                       .arg(QDir::toNativeSeparators(pending.absoluteFilePath()));
    return failure;
}
} // namespace

EndClassWriter::EndClassWriter(const QString& showConnectionText,
                               const QString& orgConnectionText) {
    try {
        m_showFile = store::parseConnectionText(showConnectionText).file;
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
    QString pending;
    bool committed = false;
    const auto dropPending = qScopeGuard([&] {
        if (!committed && !pending.isEmpty())
            QFile::remove(pending);
    });
    try {
        const int classNo = classNumberOf(request.classNumber);
        store::Transaction transaction(*m_show);
        Worked worked = workOut(*m_show, classNo, request);
        outcome.result = worked.result;
        writeResults(*m_show, classNo, outcome.result);
        store::PointsLedger::append(*m_show, OrgSchema,
                                    ledgerCredits(*m_show, worked.data, classNo, request.showDate,
                                                  outcome.result, worked.members));
        pending = pendingLogPath(m_showFile, classNo);
        if (const QString reason = writePendingLog(pending, outcome.logFile, outcome.result.log);
            !reason.isEmpty())
            throw Failure(cannotWriteLog(pending, reason));
        if (const QString reason = prepareLog(log, outcome.result.log); !reason.isEmpty())
            throw Failure(cannotWriteLog(outcome.logFile, reason));
        transaction.commit();
        committed = true;
    } catch (const store::StoreError& error) {
        throw Failure(error.message());
    }
    reached(Step::Committed);
    if (!log.commit()) {
        // The pending log stays: the show's next opening puts it in place.
        outcome.logError = log.errorString();
        return outcome;
    }
    reached(Step::LogInPlace);
    QFile::remove(pending); // left behind, it is settled again at the next opening
    return outcome;
}

QStringList finishPendingClassLogs(const QString& showConnectionText, const QString& appFolder) {
    const QString showFile = store::parseConnectionText(showConnectionText).file;
    const QString prefix = pendingLogPrefix(showFile);
    const QFileInfoList files = QFileInfo(showFile).absoluteDir().entryInfoList(
        {prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    QStringList failures;
    if (files.isEmpty())
        return failures;
    const std::shared_ptr<Connection> show = store::connectionFor(showConnectionText);
    for (const QFileInfo& file : files) {
        bool isNumber = false;
        const int classNo = file.fileName().mid(prefix.size()).toInt(&isNumber);
        if (!isNumber)
            continue; // no pending log of this program
        if (const QString failure = settlePendingLog(*show, file, classNo, appFolder);
            !failure.isEmpty())
            failures << failure;
    }
    return failures;
}

EndClassRun::Result EndClassWriter::preview(const Request& request) {
    try {
        return workOut(*m_show, classNumberOf(request.classNumber), request).result;
    } catch (const store::StoreError& error) {
        throw Failure(error.message());
    }
}

} // namespace twl
