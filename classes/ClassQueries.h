#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The show and organisation file reads of the placings, end-of-class and schedule screens.
// Values are bound; the one record-set text that carries a class number gets it from a whole
// number, never from a screen's text.
namespace twl::ClassQueries {

// How a screen reads the class list: the placings screen asks only for the class numbers, the
// end-of-class screen for the whole row. Both list the same classes.
enum class ClassListRead { ClassNumbers, WholeRows };

// The classes that can be placed and ended, limited to the classes in use (`[Class No]` below
// totClassUsed + 1), as text in the order EndClass_Q returns them. Throws store::StoreError.
QStringList endableClasses(const QString& showConnection, int totClassUsed,
                           ClassListRead read = ClassListRead::ClassNumbers);

// A class number as a list shows it. Throws store::StoreError (Conversion) when the text is not
// a whole number.
qint64 classNumber(const QString& text);

// What the end-of-class screen shows of a class. Throws store::StoreError.
struct ClassSummary {
    QString name;    // empty when the class is not in Class_tbl
    int winners = 0; // its entries with a place above 0
};
ClassSummary classSummary(const QString& showConnection, qint64 classNo);

// The placings grid's record set: the entries of one class, in the engine's order.
QString classEntriesQuery(qint64 classNo);

// The two schedules of the organisation file and the record-set text of each, rows by place.
enum class Schedule { Points, Payout };
QString scheduleTable(Schedule schedule);
QString scheduleQuery(Schedule schedule);

} // namespace twl::ClassQueries
