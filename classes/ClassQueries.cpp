#include "ClassQueries.h"

#include "store/Connection.h"
#include "store/StoreError.h"

namespace twl::ClassQueries {

QStringList endableClasses(const QString& showConnection, int totClassUsed, ClassListRead read) {
    const QString columns =
        read == ClassListRead::WholeRows ? QStringLiteral("*") : QStringLiteral("[Class No]");
    const auto connection = store::connectionFor(showConnection);
    store::Statement statement =
        connection->prepare(QStringLiteral("SELECT ") + columns +
                            QStringLiteral(" FROM EndClass_Q WHERE [Class No] < ?"));
    statement.bind(1, store::Value(qint64(totClassUsed) + 1));
    int classColumn = 0;
    for (int c = 0; c < statement.columnCount(); ++c) {
        if (statement.columnName(c).compare(QLatin1String("Class No"), Qt::CaseInsensitive) == 0)
            classColumn = c;
    }
    QStringList classes;
    while (statement.step())
        classes
            << statement.columnValue(classColumn, statement.columnField(classColumn).type).toText();
    return classes;
}

qint64 classNumber(const QString& text) {
    bool ok = false;
    const qint64 number = text.trimmed().toLongLong(&ok);
    if (!ok)
        throw store::StoreError(store::StoreError::Code::Conversion,
                                QStringLiteral("\"%1\" is not a class number.").arg(text));
    return number;
}

ClassSummary classSummary(const QString& showConnection, qint64 classNo) {
    const auto connection = store::connectionFor(showConnection);
    ClassSummary summary;
    store::Statement row = connection->prepare(
        QStringLiteral("SELECT [Class No], [Class Name] FROM Class_tbl WHERE [Class No] = ?"));
    row.bind(1, store::Value(classNo));
    if (row.step())
        summary.name = row.columnValue(1, store::FieldType::Text).toText();
    store::Statement winners = connection->prepare(
        QStringLiteral("SELECT [Place] FROM Entries_tbl Where [Class No] = ? And [Place] > 0"));
    winners.bind(1, store::Value(classNo));
    while (winners.step())
        ++summary.winners;
    return summary;
}

QString classEntriesQuery(qint64 classNo) {
    return QStringLiteral("SELECT [Show Exh No], [Show Exh Nam], [Class No], [Place] "
                          "FROM Entries_tbl WHERE [Class No] = ") +
           QString::number(classNo);
}

QString scheduleTable(Schedule schedule) {
    return schedule == Schedule::Points ? QStringLiteral("Points_tbl")
                                        : QStringLiteral("PaySch_tbl");
}

QString scheduleQuery(Schedule schedule) {
    return QStringLiteral("SELECT * FROM ") + scheduleTable(schedule) +
           QStringLiteral(" ORDER BY [Place]");
}

} // namespace twl::ClassQueries
