#include "PointsLedger.h"

#include "Connection.h"
#include "Value.h"

namespace store::PointsLedger {

namespace {

QString table(const QString& schema) {
    const QString name = QStringLiteral("PointsLedger_tbl");
    return schema.isEmpty() ? name : schema + QLatin1Char('.') + name;
}

} // namespace

void append(Connection& connection, const QString& schema, const std::vector<Credit>& credits) {
    if (credits.empty())
        return;
    Statement insert = connection.prepare(
        QStringLiteral("INSERT INTO ") + table(schema) +
        QStringLiteral(" ([Season], [Mem Num], [Show Name], [Show Date], [Class No], "
                       "[Class Name], [Place], [Class Entries], [Points Base], [Multiplier], "
                       "[Points]) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const Credit& credit : credits) {
        insert.reset();
        insert.bind(1, Value(CurrentSeason));
        insert.bind(2, Value(credit.memberNumber));
        insert.bind(3, Value(credit.showName));
        insert.bind(4, credit.showDate.isValid() ? Value(credit.showDate) : Value());
        insert.bind(5, Value(credit.classNo));
        insert.bind(6, Value(credit.className));
        insert.bind(7, Value(credit.place));
        insert.bind(8, Value(credit.entries));
        insert.bind(9, Value(credit.pointsBase));
        insert.bind(10, Value(credit.multiplier));
        insert.bind(11, Value(credit.points));
        insert.step();
    }
}

int closeSeason(Connection& connection, const QString& schema) {
    Statement last =
        connection.prepare(QStringLiteral("SELECT IFNULL(MAX([Season]), 0) FROM ") + table(schema));
    last.step();
    const int closed = int(last.columnInt64(0)) + 1;
    Statement close = connection.prepare(QStringLiteral("UPDATE ") + table(schema) +
                                         QStringLiteral(" SET [Season] = ? WHERE [Season] = ?"));
    close.bind(1, Value(closed));
    close.bind(2, Value(CurrentSeason));
    close.step();
    return closed;
}

void forgetMember(Connection& connection, const QString& memberNumber, const QString& schema) {
    Statement forget = connection.prepare(QStringLiteral("DELETE FROM ") + table(schema) +
                                          QStringLiteral(" WHERE [Mem Num] = ? COLLATE NOCASE"));
    forget.bind(1, Value(memberNumber));
    forget.step();
}

void renumberMember(Connection& connection, const QString& from, const QString& to,
                    const QString& schema) {
    Statement renumber =
        connection.prepare(QStringLiteral("UPDATE ") + table(schema) +
                           QStringLiteral(" SET [Mem Num] = ? WHERE [Mem Num] = ?"));
    renumber.bind(1, Value(to));
    renumber.bind(2, Value(from));
    renumber.step();
}

std::vector<Credit> credits(Connection& connection, const QString& memberNumber, int season,
                            const QString& schema) {
    Statement read = connection.prepare(
        QStringLiteral("SELECT [Mem Num], [Show Name], [Show Date], [Class No], [Class Name], "
                       "[Place], [Class Entries], [Points Base], [Multiplier], [Points] FROM ") +
        table(schema) +
        QStringLiteral(" WHERE [Mem Num] = ? COLLATE NOCASE AND [Season] = ? ORDER BY [Entry Id]"));
    read.bind(1, Value(memberNumber));
    read.bind(2, Value(season));
    std::vector<Credit> rows;
    while (read.step()) {
        Credit credit;
        credit.memberNumber = read.columnValue(0, FieldType::Text).toText();
        credit.showName = read.columnValue(1, FieldType::Text).toText();
        credit.showDate = read.columnValue(2, FieldType::Date).toDate();
        credit.classNo = int(read.columnInt64(3));
        credit.className = read.columnValue(4, FieldType::Text).toText();
        credit.place = int(read.columnInt64(5));
        credit.entries = int(read.columnInt64(6));
        credit.pointsBase = read.columnValue(7, FieldType::Number).toDouble();
        credit.multiplier = read.columnValue(8, FieldType::Number).toDouble();
        credit.points = read.columnValue(9, FieldType::Number).toDouble();
        rows.push_back(credit);
    }
    return rows;
}

} // namespace store::PointsLedger
