#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/DataFiles.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"
#include "support/TestFolder.h"

using store::RecordSet;

class TestDataFiles : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { store::releaseAllConnections(); }

    void templateHoldsEveryTableAndTheBlankClasses() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        RecordSet show;
        show.open("SELECT * FROM ShowData_tbl", conn);
        QCOMPARE(show.recordCount(), 1);
        QCOMPARE(show.value("Version").toDouble(), 2.0);
        QVERIFY(show.value("DateOfEvent").toDate().isValid());
        QCOMPARE(show.value("TotClassUsed").toInt(), 150);
        QCOMPARE(show.fields()[0].maxLength, 150);

        RecordSet classes;
        classes.open("SELECT * FROM Class_tbl ORDER BY [Class No]", conn);
        QCOMPARE(classes.recordCount(), 150);
        int expected = 1;
        for (classes.moveFirst(); !classes.eof(); classes.moveNext(), ++expected) {
            QCOMPARE(classes.value("Class No").toInt(), expected);
            QCOMPARE(classes.value("Class Name").toText(), QString("Blank"));
            QCOMPARE(classes.value("Class Fee").toDouble(), 0.0);
            QCOMPARE(classes.value("Class Multi").toDouble(), 1.0);
            QCOMPARE(classes.value("Class Ended").toBool(), false);
        }
        RecordSet multi;
        multi.open("SELECT * FROM MultiSelect_tbl WHERE Selected = FALSE AND OtherExhNa = FALSE",
                   conn);
        QCOMPARE(multi.recordCount(), 150);
        for (const char* table : {"Entries_tbl", "PayOut_tbl", "Payout_tbl", "ScrSht2Prnt_tbl",
                                  "Exh2Prnt_tbl", "Top10Class_tbl"}) {
            RecordSet empty;
            empty.open(QString("SELECT * FROM ") + table, conn);
            QCOMPARE(empty.recordCount(), 0);
        }
    }

    void storedQueriesReturnTheirColumns() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        store::execute(conn, "INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], [Class No]) "
                             "VALUES (7, 'Anna', 2)");
        store::execute(conn, "INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], [Class No]) "
                             "VALUES (3, 'Ben', 2)");
        store::execute(conn, "INSERT INTO Entries_tbl ([Show Exh No], [Show Exh Nam], [Class No]) "
                             "VALUES (3, 'Ben', 5)");
        store::execute(conn, "UPDATE Class_tbl SET [Class Ended] = TRUE WHERE [Class No] = 5");
        RecordSet endable;
        endable.open("SELECT * FROM EndClass_Q WHERE [Class No] < 151", conn);
        QCOMPARE(endable.recordCount(), 1);
        QCOMPARE(endable.value("Class No").toInt(), 2);

        store::execute(conn, "INSERT INTO ScrSht2Prnt_tbl (PrintClass) VALUES (2)");
        RecordSet sheet;
        sheet.open("SELECT * FROM ScrSht2Pint_Q", conn);
        QCOMPARE(sheet.recordCount(), 2);
        QCOMPARE(sheet.value("Show Exh No").toInt(), 3); // ordered by exhibitor number
        for (const char* column :
             {"Horse Name", "Show Exh Nam", "Owner Name", "Owner State", "Amateur No", "Reg No"})
            QVERIFY(store::findField(sheet.fields(), column) >= 0);

        store::execute(conn, "INSERT INTO Exh2Prnt_tbl (S_ExhNo, S_ExhNam) VALUES (3, 'Ben')");
        RecordSet exhibitor;
        exhibitor.open("SELECT * FROM Exh2Prnt_Q", conn);
        QCOMPARE(exhibitor.recordCount(), 2);
        QCOMPARE(exhibitor.value("Class Name").toText(), QString("Blank"));
        QCOMPARE(exhibitor.fields().size(), size_t(14));
    }

    void organisationFileStartsWithWorkingSettings() {
        TestFolder folder;
        const QString conn =
            store::dataConnectionText(folder.file("TWL.org"), TestFolder::Password);
        RecordSet org;
        org.open("SELECT * FROM OrgData_tbl", conn);
        QCOMPARE(org.recordCount(), 1);
        QVERIFY(org.value("CutOff").toInt() > 0);
        QVERIFY(org.value("MinMultiP").toDouble() > 0);
        QVERIFY(org.value("IsPrcnt").toBool());
        RecordSet members;
        members.open("Members_tbl", conn);
        QCOMPARE(members.recordCount(), 0);
        QCOMPARE(members.fields().size(), size_t(16));

        for (const char* table : {"Points_tbl", "PaySch_tbl"}) {
            RecordSet schedule;
            schedule.open(QString("SELECT * FROM %1 ORDER BY [Place]").arg(table), conn);
            QCOMPARE(schedule.recordCount(), 20);
            QCOMPARE(schedule.fields().size(), size_t(21));
        }
    }

    void defaultSchedulesRankPlaces() {
        for (int n = 1; n <= 20; ++n) {
            QVERIFY(store::defaultPoints(1, n) > 0);
            QVERIFY(store::defaultPayoutFactor(1, n) > 0);
            for (int place = 2; place <= 20; ++place) {
                QVERIFY(store::defaultPoints(place, n) <= store::defaultPoints(place - 1, n));
                QVERIFY(store::defaultPayoutFactor(place, n) <=
                        store::defaultPayoutFactor(place - 1, n));
                QVERIFY(store::defaultPoints(place, n) >= 0);
            }
            QCOMPARE(store::defaultPoints(n + 1, n), 0.0); // no place beyond the exhibitors
        }
    }

    void anExistingOrganisationFileIsNeverReplaced() {
        TestFolder folder;
        const QString org = folder.file("TWL.org");
        const QString conn = store::dataConnectionText(org, TestFolder::Password);
        store::execute(conn,
                       "INSERT INTO Members_tbl ([Mem Num], [Mem Nam]) VALUES ('A1', 'Kept')");
        store::releaseAllConnections();
        QFile schema(TWL_SOURCE_DIR "/store/schema/organisation.sql");
        QVERIFY(schema.open(QIODevice::ReadOnly));
        store::createOrganisationFile(org, TestFolder::Password, schema.readAll(), false);
        RecordSet members;
        members.open("Members_tbl", conn);
        QCOMPARE(members.recordCount(), 1);
    }

    void aBrokenSchemaLeavesNoFile() {
        TestFolder folder(false);
        const QString target = folder.file("Base.dat");
        QVERIFY_THROWS_EXCEPTION(store::StoreError, store::createShowTemplate(
                                                        target, TestFolder::Password,
                                                        "CREATE TABLE (", QDate(2026, 1, 1), true));
        QVERIFY(!QFile::exists(target));
        QVERIFY(!QFile::exists(target + ".part"));
    }

    void migrationRunsEachStepOnceAndRefusesNewerFiles() {
        TestFolder folder;
        auto connection = store::connectionForFile(folder.file("TWL.org"), TestFolder::Password);
        connection->execute("PRAGMA user_version = 1");
        const std::vector<store::MigrationStep> steps{
            {2, "ALTER TABLE Members_tbl ADD COLUMN [Mem Note] TEXT(50)"},
            {3, "CREATE TABLE Extra_tbl (x SHORT); INSERT INTO Extra_tbl VALUES (1)"}};
        QCOMPARE(store::migrate(*connection, steps, 3), 1);
        QCOMPARE(store::migrate(*connection, steps, 3), 3); // nothing left to do
        QVERIFY(connection->isTable("Extra_tbl"));
        QVERIFY_THROWS_EXCEPTION(store::StoreError, store::migrate(*connection, steps, 2));

        const std::vector<store::MigrationStep> broken{{4, "ALTER TABLE Nope ADD COLUMN y"}};
        QVERIFY_THROWS_EXCEPTION(store::StoreError, store::migrate(*connection, broken, 4));
        QCOMPARE(store::migrate(*connection, steps, 3), 3); // still revision 3
    }
};

QTEST_GUILESS_MAIN(TestDataFiles)
#include "TestDataFiles.moc"
