#include "PrintoutsChoice.h"

#include "store/Connection.h"
#include "store/StoreError.h"
#include "store/Transaction.h"
#include "store/Value.h"

#include <algorithm>
#include <vector>

namespace reports::PrintoutsChoice {
namespace {

// The first column of every row of a query, as text; null values are left out.
QStringList firstColumn(store::Statement& statement) {
    QStringList values;
    const store::FieldType type = statement.columnField(0).type;
    while (statement.step()) {
        const store::Value value = statement.columnValue(0, type);
        if (!value.isNull())
            values << value.toText();
    }
    return values;
}

} // namespace

QString notEndedClassesQuery(int totClassUsed) {
    return QStringLiteral("SELECT [Class Ended], [Class No] FROM Class_tbl WHERE [Class Ended] = "
                          "FALSE AND [Class No] < ") +
           QString::number(qint64(totClassUsed) + 1);
}

int notEndedClasses(const QString& showConnection, int totClassUsed) {
    const auto connection = store::connectionFor(showConnection);
    store::Statement statement = connection->prepare(notEndedClassesQuery(totClassUsed));
    int count = 0;
    while (statement.step())
        ++count;
    return count;
}

QStringList exhibitorNumbers(const QString& showConnection) {
    const auto connection = store::connectionFor(showConnection);
    store::Statement statement =
        connection->prepare(QStringLiteral("SELECT DISTINCT [Show Exh No] FROM [Entries_tbl]"));
    const store::FieldType type = statement.columnField(0).type;
    std::vector<store::Value> numbers;
    while (statement.step()) {
        store::Value value = statement.columnValue(0, type);
        if (!value.isNull())
            numbers.push_back(std::move(value));
    }
    std::sort(numbers.begin(), numbers.end(), [](const store::Value& a, const store::Value& b) {
        return a.toDouble() < b.toDouble();
    });
    QStringList texts;
    for (const store::Value& number : numbers)
        texts << number.toText();
    return texts;
}

std::optional<qint64> exhibitorNumber(const QString& text) {
    bool ok = false;
    const qint64 number = text.trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

QStringList exhibitorNames(const QString& showConnection, const QString& number) {
    const std::optional<qint64> exhibitor = exhibitorNumber(number);
    if (!exhibitor)
        return {};
    const auto connection = store::connectionFor(showConnection);
    store::Statement statement = connection->prepare(QStringLiteral(
        "SELECT DISTINCT [Show Exh Nam] FROM [Entries_tbl] WHERE [Show Exh No] = ?"));
    statement.bind(1, store::Value(*exhibitor));
    return firstColumn(statement);
}

QStringList memberNumbers(const QString& orgConnection) {
    const auto connection = store::connectionFor(orgConnection);
    store::Statement statement =
        connection->prepare(QStringLiteral("SELECT [Mem Num] FROM [Members_tbl]"));
    return firstColumn(statement);
}

QStringList memberNames(const QString& orgConnection, const QString& number) {
    const auto connection = store::connectionFor(orgConnection);
    store::Statement statement = connection->prepare(
        QStringLiteral("SELECT [Mem Nam] FROM [Members_tbl] WHERE [Mem Num] = ?"));
    statement.bind(1, store::Value(number));
    return firstColumn(statement);
}

void writeChosenExhibitor(const QString& showConnection, const QString& number,
                          const QString& name) {
    const std::optional<qint64> exhibitor = exhibitorNumber(number);
    if (!exhibitor)
        throw store::StoreError(store::StoreError::Code::Conversion,
                                QStringLiteral("\"%1\" is not an exhibitor number.").arg(number));
    const auto connection = store::connectionFor(showConnection);
    store::Transaction transaction(*connection);
    // A row left over from a report that failed would add that exhibitor's entries to this one.
    connection->execute(QStringLiteral("DELETE from Exh2Prnt_tbl"));
    store::Statement insert = connection->prepare(
        QStringLiteral("INSERT INTO Exh2Prnt_tbl (S_ExhNo, S_ExhNam) VALUES (?, ?)"));
    insert.bind(1, store::Value(*exhibitor));
    insert.bind(2, store::Value(name));
    insert.step();
    transaction.commit();
}

} // namespace reports::PrintoutsChoice
