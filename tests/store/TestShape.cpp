#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "store/Shape.h"
#include "store/StoreError.h"
#include "store/Transaction.h"
#include "support/TestFolder.h"

#include <QtTest>
#include <optional>

using store::ShapedRows;
using store::StoreError;

namespace {

QString column(const ShapedRows& rows, const QString& field) {
    QStringList values;
    for (int r = 0; r < rows.rowCount(); ++r)
        values << (rows.value(r, field).isNull() ? QStringLiteral("null")
                                                 : rows.value(r, field).toText());
    return values.join(QLatin1Char(','));
}

} // namespace

class TestShape : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> m_folder;
    QString m_show;

    void sql(const QString& text) { store::execute(m_show, text); }
    void entry(int exhibitor, const QString& name, int classNo, const QString& points) {
        sql(QStringLiteral("INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], [Class No], "
                           "[Show Points]) VALUES (%1, '%2', %3, %4)")
                .arg(exhibitor)
                .arg(name)
                .arg(classNo)
                .arg(points));
    }
    void payout(int classNo, int exhibitor, const QString& amount) {
        sql(QStringLiteral("INSERT INTO PayOut_tbl ([PY Class No], [PY Exh No], [PY Amt]) "
                           "VALUES (%1, %2, %3)")
                .arg(classNo)
                .arg(exhibitor)
                .arg(amount));
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_show = store::dataConnectionText(m_folder->newShow(), TestFolder::Password);
    }
    void cleanup() {
        store::releaseAllConnections();
        m_folder.reset();
    }

    void countFormCountsAndSums() {
        payout(4, 12, "30.5");
        payout(4, 7, "20.25");
        payout(5, 9, "99");
        const ShapedRows pay = store::shape(
            "SHAPE {SELECT * FROM `PayOut_tbl` WHERE [PY Class No] = 4} AS Pay "
            "COMPUTE COUNT(Pay.'PY Exh No') AS RecCnt, SUM(Pay.'PY Amt') AS PayTotal , Pay",
            m_show);
        QCOMPARE(pay.rowCount(), 1);
        QCOMPARE(pay.value(0, "RecCnt").toInt(), 2);
        QCOMPARE(pay.value(0, "PayTotal").toCurrency().tenThousandths, 507500);
        const ShapedRows& rows = pay.chapter(0, "Pay");
        QCOMPARE(column(rows, "PY Exh No"), QStringLiteral("12,7")); // stored order

        // Over no rows: a count of 0 and a null sum.
        const ShapedRows none = store::shape(
            "SHAPE {SELECT * FROM `PayOut_tbl` WHERE [PY Class No] = 99} AS Pay "
            "COMPUTE COUNT(Pay.'PY Exh No') AS RecCnt, SUM(Pay.'PY Amt') AS PayTotal , Pay",
            m_show);
        QCOMPARE(none.value(0, "RecCnt").toInt(), 0);
        QVERIFY(none.value(0, "PayTotal").isNull());
        QCOMPARE(none.chapter(0, "Pay").rowCount(), 0);
    }

    void groupFormKeepsFirstAppearanceOrder() {
        entry(5, "Zoe", 1, "3");
        entry(2, "Ann", 1, "2");
        entry(5, "Zoe", 2, "4.5");
        entry(8, "ann", 2, "1");
        entry(2, "Ann", 3, "NULL");
        entry(9, "Bo", 3, "NULL");
        const ShapedRows high = store::shape(
            "SHAPE {select * from Entries_tbl} AS HighPoint "
            "COMPUTE HighPoint, SUM(HighPoint.[Show Points]) AS PointSub BY 'Show Exh Nam'",
            m_show);
        // Names group as they are spelled; a group whose points are all null sums to null.
        QCOMPARE(column(high, "Show Exh Nam"), QStringLiteral("Zoe,Ann,ann,Bo"));
        QCOMPARE(column(high, "PointSub"), QStringLiteral("7.5,2,1,null"));
        QCOMPARE(column(high.chapter(1, "HighPoint"), "Class No"), QStringLiteral("1,3"));
    }

    void relationAndTheNestedClassCommand() {
        sql("UPDATE Class_tbl SET [Class Name] = 'Halter' WHERE [Class No] = 1");
        entry(30, "C", 1, "0");
        entry(10, "A", 1, "0");
        entry(20, "B", 2, "0");
        entry(40, "D", 4, "0"); // above the classes asked for
        const ShapedRows classes = store::shape(
            QStringLiteral("SHAPE (SHAPE {SELECT * FROM `Class_tbl` ") + "WHERE [Class No] < " +
                QString::number(3 + 1) + "} AS ClasNum " + "APPEND ({SELECT * FROM `Entries_tbl` " +
                "ORDER BY [Show Exh No]}AS Exhtors " +
                "RELATE 'Class No' TO 'Class No') AS Exhtors, " +
                "COUNT(Exhtors.'Show Exh Nam') AS ExhCount) " + "COMPUTE ClasNum BY 'Class No'",
            m_show);
        QCOMPARE(column(classes, "Class No"), QStringLiteral("1,2,3"));
        const ShapedRows& first = classes.chapter(0, "ClasNum");
        QCOMPARE(first.rowCount(), 1);
        QCOMPARE(first.value(0, "Class Name").toText(), QStringLiteral("Halter"));
        QCOMPARE(first.value(0, "ExhCount").toInt(), 2);
        QCOMPARE(column(first.chapter(0, "Exhtors"), "Show Exh No"), QStringLiteral("10,30"));
        // A class with no entries has an empty chapter and a count of 0.
        const ShapedRows& third = classes.chapter(2, "ClasNum");
        QCOMPARE(third.value(0, "ExhCount").toInt(), 0);
        QCOMPARE(third.chapter(0, "Exhtors").rowCount(), 0);
    }

    void badTextsAreErrorsThatNameThePosition_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("code");
        const int syntax = int(StoreError::Code::FilterSyntax);
        const int unknown = int(StoreError::Code::UnknownField);
        QTest::newRow("empty") << "" << syntax;
        QTest::newRow("no braces") << "SHAPE SELECT * FROM Entries_tbl" << syntax;
        QTest::newRow("open brace") << "SHAPE {SELECT * FROM Entries_tbl AS A" << syntax;
        QTest::newRow("open quote") << "SHAPE {SELECT 1 AS x} AS A COMPUTE COUNT(A.'x" << syntax;
        QTest::newRow("no AS") << "SHAPE {SELECT 1 AS x} AS A COMPUTE COUNT(A.x) RecCnt, A"
                               << syntax;
        QTest::newRow("other alias")
            << "SHAPE {SELECT 1 AS x} AS A COMPUTE COUNT(B.x) AS N, A" << syntax;
        QTest::newRow("trailing") << "SHAPE {SELECT 1 AS x} AS A COMPUTE A )" << syntax;
        QTest::newRow("unknown field")
            << "SHAPE {SELECT 1 AS x} AS A COMPUTE SUM(A.[y]) AS S, A" << unknown;
        QTest::newRow("unknown member") << "SHAPE {SELECT 1 AS x} AS A COMPUTE B" << unknown;
        QTest::newRow("relate unknown")
            << "SHAPE {SELECT 1 AS x} AS P APPEND ({SELECT 1 AS y} RELATE 'q' TO 'y') AS C"
            << unknown;
    }
    void badTextsAreErrorsThatNameThePosition() {
        QFETCH(QString, command);
        QFETCH(int, code);
        try {
            store::shape(command, m_show);
            QFAIL("no error");
        } catch (const StoreError& error) {
            QCOMPARE(int(error.code()), code);
            if (code == int(StoreError::Code::FilterSyntax))
                QVERIFY2(error.message().contains("position"), qPrintable(error.message()));
        }
    }

    // A whole table asked for in the order of some fields comes in the engine's order, ties and
    // nulls included, whether the engine would walk an index or sort.
    void wholeTableInOrderIsTheEnginesOrder_data() {
        QTest::addColumn<QString>("orderBy");
        QTest::newRow("an indexed number") << "[Show Exh No]";
        QTest::newRow("an indexed number, then another") << "[Show Exh No], [Class No]";
        QTest::newRow("a text without an index") << "[Show Exh Nam]";
        QTest::newRow("a fraction") << "`Show Points` ASC";
        QTest::newRow("a number, then a text") << "[Class No], [Show Exh Nam]";
    }
    void wholeTableInOrderIsTheEnginesOrder() {
        QFETCH(QString, orderBy);
        const char* names[] = {"Zoe", "ann", "Ann", "Émile", "Bo", "Zoe", "", "Ann"};
        const char* points[] = {"3", "NULL", "2.5", "-1", "2.5", "0", "1e3", "NULL"};
        for (int i = 0; i < 24; ++i)
            sql(QStringLiteral(
                    "INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], [Class No], "
                    "[Horse Name], [Show Points]) VALUES (%1, %2, %3, 'h%4', %5)")
                    .arg(i % 5 == 4 ? QStringLiteral("NULL") : QString::number((i * 7) % 4))
                    .arg(i % 9 == 8 ? QStringLiteral("NULL")
                                    : QStringLiteral("'%1'").arg(QString::fromUtf8(names[i % 8])))
                    .arg((i * 5) % 3)
                    .arg(i)
                    .arg(QLatin1String(points[i % 8])));
        const ShapedRows engine = store::queryRows(
            QStringLiteral("SELECT * FROM Entries_tbl WHERE 1 = 1 ORDER BY ") + orderBy, m_show);
        store::ShapeReader reader(m_show);
        const ShapedRows sorted =
            reader.queryRows(QStringLiteral("SELECT * FROM Entries_tbl ORDER BY ") + orderBy);
        QCOMPARE(column(sorted, "Horse Name"), column(engine, "Horse Name"));
        // Read once, then sorted again from what was read.
        reader.queryRows(QStringLiteral("SELECT * FROM Entries_tbl ORDER BY ") + orderBy);
        QCOMPARE(reader.tableReadsReused(), 1);
    }

    // A reader told which fields of a table are read holds those and the fields its commands
    // name; a command that names one more reads the table again, keeping the fields it had.
    void onlyTheFieldsReadAreHeld() {
        entry(2, QStringLiteral("Bea"), 7, QStringLiteral("1.5"));
        entry(1, QStringLiteral("Al"), 8, QStringLiteral("3"));
        store::ShapeReader reader(m_show);
        reader.readOnlyFields(QStringLiteral("entries_TBL"), {QStringLiteral("[show exh nam]")});
        const ShapedRows first = reader.shape(QStringLiteral(
            "SHAPE {SELECT * FROM `Entries_tbl` ORDER BY [Class No]} AS E COMPUTE E, "
            "SUM(E.'Show Points') AS S BY 'Show Exh No'"));
        const ShapedRows& entries = first.chapter(0, QStringLiteral("E"));
        QCOMPARE(column(entries, "Show Exh Nam"), QStringLiteral("Bea"));
        QCOMPARE(column(entries, "Class No"), QStringLiteral("7"));
        QCOMPARE(column(first, "S"), QStringLiteral("1.5,3"));
        const auto held = [](const ShapedRows& rows, const char* field) {
            return store::findField(rows.fields(), QLatin1String(field)) >= 0;
        };
        QVERIFY(!held(entries, "Horse Name"));
        const ShapedRows all = reader.queryRows(QStringLiteral("SELECT * FROM Entries_tbl"));
        QCOMPARE(all.fields().size(), entries.fields().size());
        QCOMPARE(reader.tableReadsReused(), 1);

        const ShapedRows more = reader.shape(
            QStringLiteral("SHAPE {SELECT * FROM Entries_tbl} AS E COMPUTE E BY [Horse Name]"));
        const ShapedRows& again = more.chapter(0, QStringLiteral("E"));
        QCOMPARE(column(again, "Show Exh Nam"), QStringLiteral("Bea,Al"));
        QVERIFY(held(again, "Horse Name") && held(again, "Show Points"));
        QCOMPARE(reader.tableReadsReused(), 1);
    }

    // A table written since it was read is read again.
    void aTableWrittenSinceItWasReadIsReadAgain_data() {
        QTest::addColumn<QString>("write");
        QTest::addColumn<QString>("horses");
        QTest::newRow("a row added") << "INSERT INTO Entries_tbl ([Horse Name]) VALUES ('c')"
                                     << "a,b,c";
        QTest::newRow("a row changed")
            << "UPDATE Entries_tbl SET [Horse Name] = 'z' WHERE [Horse Name] = 'a'"
            << "z,b";
        QTest::newRow("every row deleted") << "DELETE FROM Entries_tbl"
                                           << "";
    }
    void aTableWrittenSinceItWasReadIsReadAgain() {
        QFETCH(QString, write);
        QFETCH(QString, horses);
        sql("INSERT INTO Entries_tbl ([Horse Name]) VALUES ('a')");
        sql("INSERT INTO Entries_tbl ([Horse Name]) VALUES ('b')");
        store::ShapeReader reader(m_show);
        const QString all = QStringLiteral("SELECT * FROM Entries_tbl");
        QCOMPARE(column(reader.queryRows(all), "Horse Name"), QStringLiteral("a,b"));
        sql(write);
        QCOMPARE(column(reader.queryRows(all), "Horse Name"), horses);
        QCOMPARE(reader.tableReadsReused(), 0);
    }

    // A large table is read in two parts at once; together they are the whole table in the
    // engine's order, with gaps in its row ids, texts, nulls and a text in a number field, and
    // inside the program's own transaction its uncommitted rows are read too.
    void aLargeTableIsReadWholeInItsOrder_data() {
        QTest::addColumn<bool>("inTransaction");
        QTest::newRow("committed") << false;
        QTest::newRow("inside a transaction") << true;
    }
    void aLargeTableIsReadWholeInItsOrder() {
        QFETCH(bool, inTransaction);
        sql("INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], [Class No], [Horse Name]) "
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000) "
            "SELECT i % 977, CASE WHEN i % 11 = 0 THEN NULL ELSE 'Exhibitor ' || i || ' é' END, "
            "i % 150, 'Horse ' || (30000 - i) FROM n");
        sql("DELETE FROM Entries_tbl WHERE _rowid_ BETWEEN 5000 AND 9000");
        sql("UPDATE Entries_tbl SET [Show Exh No] = 'twelve' WHERE _rowid_ = 29000");
        const auto connection = store::connectionFor(m_show);
        std::optional<store::Transaction> transaction;
        if (inTransaction) {
            transaction.emplace(*connection);
            connection->execute(
                QStringLiteral("INSERT INTO Entries_tbl ([Horse Name]) VALUES ('uncommitted')"));
        }
        for (const QString& order : {QString(), QStringLiteral(" ORDER BY [Show Exh No]")}) {
            const ShapedRows engine = store::queryRows(
                QStringLiteral("SELECT * FROM Entries_tbl WHERE 1 = 1") + order, m_show);
            const ShapedRows read =
                store::queryRows(QStringLiteral("SELECT * FROM Entries_tbl") + order, m_show);
            QCOMPARE(read.rowCount(), 25999 + (inTransaction ? 1 : 0));
            for (const store::Field& field : engine.fields())
                QCOMPARE(column(read, field.name), column(engine, field.name));
        }
    }
};

QTEST_GUILESS_MAIN(TestShape)
#include "TestShape.moc"
