#include "classes/ClassQueries.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"
#include "support/TestFolder.h"

using namespace twl;
using store::RecordSet;

// The reads of the placings, end-of-class and schedule screens, on real files, without a display.
class TestClassQueries : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> m_folder;
    QString m_show;
    QString m_org;

    void addEntry(int exhibitor, int classNo, const store::Value& place) {
        RecordSet rs;
        rs.open("Entries_tbl", m_show);
        rs.addNew();
        rs.setValue("Show Exh No", exhibitor);
        rs.setValue("Show Exh Nam", QString("Rider %1").arg(exhibitor));
        rs.setValue("Class No", classNo);
        rs.setValue("Place", place);
        rs.updateBatch();
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_show = store::dataConnectionText(m_folder->newShow(), TestFolder::Password);
        QFile(m_folder->file("TWL.org")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        m_org = store::dataConnectionText(m_folder->file("TWL.org"), TestFolder::Password);
        // Entries in classes 1, 3, 5 and 7; class 3 is ended.
        addEntry(1, 1, 1);
        addEntry(2, 1, 2);
        addEntry(3, 1, 0);
        addEntry(4, 1, store::Value());
        addEntry(1, 3, 1);
        addEntry(1, 5, store::Value());
        addEntry(2, 7, 1);
        store::execute(m_show, "UPDATE Class_tbl SET [Class Ended] = TRUE WHERE [Class No] = 3");
        store::execute(m_show, "UPDATE Class_tbl SET [Class Name] = 'Halter' WHERE [Class No] = 1");
    }
    void cleanup() {
        store::releaseAllConnections();
        m_folder.reset();
    }

    // Classes with entries that are not ended, up to and including the last class in use; the
    // placings and end-of-class screens list the same classes.
    void theClassListStopsAtTheLastClassInUse() {
        using Read = ClassQueries::ClassListRead;
        for (Read read : {Read::ClassNumbers, Read::WholeRows}) {
            QCOMPARE(ClassQueries::endableClasses(m_show, 7, read), QStringList({"1", "5", "7"}));
            QCOMPARE(ClassQueries::endableClasses(m_show, 6, read), QStringList({"1", "5"}));
            QCOMPARE(ClassQueries::endableClasses(m_show, 0, read), QStringList());
        }
        store::execute(m_show, "DELETE from Entries_tbl");
        QVERIFY(ClassQueries::endableClasses(m_show, 150).isEmpty());
    }

    void aFailedClassListReadIsAnError() {
        const QString missing = store::dataConnectionText(m_folder->file("Gone.twl"), "x");
        QVERIFY_THROWS_EXCEPTION(store::StoreError, ClassQueries::endableClasses(missing, 20));
        QVERIFY_THROWS_EXCEPTION(store::StoreError, ClassQueries::classSummary(missing, 1));
    }

    // Only a whole number is a class number, so no other text reaches a query.
    void classNumbersAreWholeNumbers() {
        QCOMPARE(ClassQueries::classNumber("12"), qint64(12));
        QCOMPARE(ClassQueries::classNumber(" 7 "), qint64(7));
        for (const char* text : {"", "2.5", "1 OR 1=1", "1; DELETE from Entries_tbl", "x"})
            QVERIFY_THROWS_EXCEPTION(store::StoreError, ClassQueries::classNumber(text));
    }

    void theSummaryCountsOnlyPlacedEntries() {
        const ClassQueries::ClassSummary one = ClassQueries::classSummary(m_show, 1);
        QCOMPARE(one.name, QString("Halter"));
        QCOMPARE(one.winners, 2); // places 1 and 2; 0 and no place are not winners
        const ClassQueries::ClassSummary five = ClassQueries::classSummary(m_show, 5);
        QCOMPARE(five.name, QString("Blank"));
        QCOMPARE(five.winners, 0);
        const ClassQueries::ClassSummary none = ClassQueries::classSummary(m_show, 151);
        QCOMPARE(none.name, QString());
        QCOMPARE(none.winners, 0);
    }

    // The placings grid writes back through this record set: one class's rows, updatable.
    void theClassEntriesAreOneClassAndWritable() {
        QCOMPARE(ClassQueries::classEntriesQuery(1),
                 QString("SELECT [Show Exh No], [Show Exh Nam], [Class No], [Place] FROM "
                         "Entries_tbl WHERE [Class No] = 1"));
        RecordSet entries;
        entries.open(ClassQueries::classEntriesQuery(1), m_show);
        QCOMPARE(entries.recordCount(), 4);
        QCOMPARE(entries.fields().size(), size_t(4));
        QCOMPARE(entries.fields()[3].name, QString("Place"));
        QVERIFY(entries.isUpdatable());
        entries.moveLast();
        entries.setValue("Place", 3);
        entries.updateBatch();
        QCOMPARE(ClassQueries::classSummary(m_show, 1).winners, 3);
    }

    void schedulesAreReadByPlace() {
        using ClassQueries::Schedule;
        QCOMPARE(ClassQueries::scheduleQuery(Schedule::Points),
                 QString("SELECT * FROM Points_tbl ORDER BY [Place]"));
        QCOMPARE(ClassQueries::scheduleQuery(Schedule::Payout),
                 QString("SELECT * FROM PaySch_tbl ORDER BY [Place]"));
        for (Schedule schedule : {Schedule::Points, Schedule::Payout}) {
            RecordSet rows;
            rows.open(ClassQueries::scheduleQuery(schedule), m_org);
            QCOMPARE(rows.recordCount(), 20);
            int place = 0;
            for (rows.moveFirst(); !rows.eof(); rows.moveNext())
                QCOMPARE(rows.value("Place").toInt(), ++place);
        }
    }
};

QTEST_GUILESS_MAIN(TestClassQueries)
#include "TestClassQueries.moc"
