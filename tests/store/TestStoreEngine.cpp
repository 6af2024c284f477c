#include "store/AttachedDatabase.h"
#include "store/Compaction.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/DataSource.h"
#include "store/Dialect.h"
#include "store/FileChecks.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"
#include "store/Transaction.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestFolder.h"

#include <QDir>

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

using store::StoreError;
using Code = StoreError::Code;

// An engine that refuses to roll back: the authorizer denies every ROLLBACK (of the
// transaction, or of a savepoint when `savepoints` points at true).
int refuseRollback(void* savepoints, int action, const char* operation, const char*, const char*,
                   const char*) {
    const bool rollback = operation && qstrcmp(operation, "ROLLBACK") == 0;
    if (rollback && action == SQLITE_TRANSACTION && !*static_cast<bool*>(savepoints))
        return SQLITE_DENY;
    if (rollback && action == SQLITE_SAVEPOINT && *static_cast<bool*>(savepoints))
        return SQLITE_DENY;
    return SQLITE_OK;
}

class TestStoreEngine : public QObject {
    Q_OBJECT

    static Code openError(const QString& connectionText) {
        try {
            store::RecordSet rs;
            rs.open("SELECT * FROM ShowData_tbl", connectionText);
        } catch (const StoreError& error) {
            return error.code();
        }
        return Code::Closed; // no error: never expected here
    }

    static qint64 pageSize(const QString& conn) {
        store::Statement statement = store::connectionFor(conn)->prepare("PRAGMA page_size");
        statement.step();
        return statement.columnInt64(0);
    }

    static int rows(const QString& conn, const QString& sql) {
        store::RecordSet rs;
        rs.open(sql, conn);
        return rs.recordCount();
    }

private slots:
    void cleanup() { store::releaseAllConnections(); }

    void connectionTextsAreBuiltAndParsed() {
        const QString data = store::dataConnectionText("/shows/Spring.twl", "abcde");
        QCOMPARE(data,
                 QString("SHAPE Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=True;"
                         "User ID=admin;Extended Properties=;DBQ=/shows/Spring.twl;"
                         "Driver={Microsoft Access Driver (*.mdb)};DriverId=281;FIL=MS Access;"
                         "MaxBufferSize=2048;MaxScanRows=8;PageTimeout=50;PWD=abcde;"
                         "SafeTransactions=0;Threads=3;UID=admin;UserCommitSync=Yes;"));
        QCOMPARE(store::compactionTargetText("C:\\a.twl", "pw"),
                 QString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\a.twl;"
                         "Jet OLEDB:Engine Type=5;Jet OLEDB:Database Password=pw"));
        // A path may hold semicolons (and an equals sign): the file runs to the next key.
        for (const QString file : {"/shows/Spring.twl", "/shows/Spring; Été à Nîmes.twl",
                                   "/shows/a;b=c;.twl", "/shows/;"}) {
            for (const QString& text : {store::dataConnectionText(file, "abcde"),
                                        store::reportConnectionText(file, "abcde"),
                                        store::compactionSourceText(file, "abcde"),
                                        store::compactionTargetText(file, "abcde")}) {
                const auto target = store::parseConnectionText(text);
                QCOMPARE(target.file, file);
                QCOMPARE(target.password, QString("abcde"));
            }
        }
    }

    void unopenableFilesGiveClearErrors() {
        TestFolder folder;
        QCOMPARE(openError(store::dataConnectionText(folder.file("none.twl"), "Tr0tW")),
                 Code::FileMissing);
        QFile empty(folder.file("empty.twl"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QCOMPARE(openError(store::dataConnectionText(empty.fileName(), "Tr0tW")),
                 Code::NotADatabase);
        QCOMPARE(QFileInfo(empty.fileName()).size(), 0); // not turned into a database
        QFile text(folder.file("notes.twl"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("These are notes, not a show.\n");
        text.close();
        QCOMPARE(openError(store::dataConnectionText(text.fileName(), "Tr0tW")),
                 Code::NotADatabase);
        const QString show = folder.newShow();
        QCOMPARE(openError(store::dataConnectionText(show, "wrong")), Code::WrongPassword);
        QCOMPARE(openError(store::dataConnectionText(show, "Tr0tW")), Code::Closed);
    }

    // A failure of the disk or of the file's permissions is no failure of the database.
    void diskFailuresAreFileErrors() {
        const std::pair<int, Code> cases[] = {
            {SQLITE_IOERR, Code::FileIo},         {SQLITE_IOERR_READ, Code::FileIo},
            {SQLITE_IOERR_FSYNC, Code::FileIo},   {SQLITE_FULL, Code::FileIo},
            {SQLITE_CANTOPEN, Code::FileIo},      {SQLITE_READONLY, Code::FileIo},
            {SQLITE_PERM, Code::FileIo},          {SQLITE_CORRUPT, Code::Sql},
            {SQLITE_NOTADB, Code::Sql},           {SQLITE_ERROR, Code::Sql},
            {SQLITE_CONSTRAINT_UNIQUE, Code::Sql}};
        for (const auto& [result, code] : cases)
            QVERIFY2(store::engineFailureCode(result) == code, qPrintable(QString::number(result)));
    }

    void aConcatenatedValueCannotRunASecondStatement() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), "Tr0tW");
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 store::execute(conn, "DELETE from Class_tbl WHERE [Class No] = 1; "
                                                      "DELETE from Class_tbl"));
        QCOMPARE(rows(conn, "SELECT * FROM Class_tbl"), 150);
        QVERIFY_THROWS_EXCEPTION(
            StoreError, store::clearWorkTable(store::parseConnectionText(conn).file, "Tr0tW",
                                              "Exh2Prnt_tbl; DELETE from Class_tbl"));
        QCOMPARE(store::execute(conn, "DELETE from Class_tbl WHERE [Class No] > 148;"), 2);
    }

    void clearWorkTableEmptiesOnlyThatTable() {
        TestFolder folder;
        const QString show = folder.newShow();
        const QString conn = store::dataConnectionText(show, "Tr0tW");
        store::execute(conn, "INSERT INTO Exh2Prnt_tbl (S_ExhNo, S_ExhNam) VALUES (1, 'A')");
        store::clearWorkTable(show, "Tr0tW", "Exh2Prnt_tbl");
        QCOMPARE(rows(conn, "Exh2Prnt_tbl"), 0);
        QCOMPARE(rows(conn, "Class_tbl"), 150);
    }

    void sharedLoaderIgnoresErrors() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), "Tr0tW");
        store::DataSource adoTmp;
        QVERIFY(store::loadThroughDataSource(adoTmp, conn, "SELECT * FROM ShowData_tbl"));
        QCOMPARE(adoTmp.recordSet().value("Version").toDouble(), 2.0);
        QVERIFY(!store::loadThroughDataSource(adoTmp, conn, "SELECT * FROM NoSuch_tbl"));
        QVERIFY(!adoTmp.recordSet().isOpen());
        QVERIFY(!store::loadThroughDataSource(
            adoTmp, store::dataConnectionText(folder.file("gone.twl"), "Tr0tW"),
            "SELECT * FROM ShowData_tbl"));
    }

    void dataSourceMovesStopAtBothEnds() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), "Tr0tW");
        store::DataSource priAdo;
        priAdo.setConnectionText(conn);
        priAdo.setRecordSource("SELECT * FROM Class_tbl WHERE [Class No] < 4 ORDER BY [Class No]");
        int moves = 0;
        connect(&priAdo, &store::DataSource::moveComplete, [&] { ++moves; });
        priAdo.moveNext(); // not open yet: nothing happens
        QCOMPARE(moves, 0);
        priAdo.refresh();
        const auto classNo = [&] { return priAdo.recordSet().value("Class No").toInt(); };
        priAdo.movePrevious();
        QCOMPARE(classNo(), 1);
        priAdo.moveLast();
        priAdo.moveNext();
        QCOMPARE(classNo(), 3);
        priAdo.recordSet().moveNext(); // past the end behind the data source's back
        priAdo.movePrevious();
        QCOMPARE(classNo(), 3);
        QCOMPARE(moves, 4);
    }

    // A set read beforehand stands in for a refresh only when it was read from the data source's
    // own record source and connection text.
    void aDataSourceAdoptsOnlyASetOfItsOwnSource() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), "Tr0tW");
        const QString other = store::dataConnectionText(folder.newShow("Other.twl"), "Tr0tW");
        const QString source = "SELECT * FROM Class_tbl WHERE [Class No] < 4";
        store::DataSource priAdo;
        priAdo.setConnectionText(conn);
        priAdo.setRecordSource(source);
        int refreshes = 0;
        connect(&priAdo, &store::DataSource::refreshed, [&] { ++refreshes; });
        const auto readFrom = [&](const QString& query, const QString& connection) {
            store::RecordSet set;
            set.open(query, connection);
            return set;
        };
        QVERIFY(!priAdo.adopt(store::RecordSet()));
        QVERIFY(!priAdo.adopt(readFrom("SELECT * FROM Class_tbl", conn)));
        QVERIFY(!priAdo.adopt(readFrom(source, other)));
        QVERIFY(!priAdo.recordSet().isOpen());
        QCOMPARE(refreshes, 0);
        QVERIFY(priAdo.adopt(readFrom(source, conn)));
        QCOMPARE(refreshes, 1);
        QCOMPARE(priAdo.recordSet().recordCount(), 3);
        QCOMPARE(priAdo.recordSet().value("Class No").toInt(), 1);
    }

    void nestedTransactionsRollBackTheirOwnPart() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), "Tr0tW");
        auto connection = store::connectionFor(conn);
        {
            store::Transaction outer(*connection);
            connection->execute("DELETE from Class_tbl WHERE [Class No] = 150");
            {
                store::Transaction inner(*connection);
                connection->execute("DELETE from Class_tbl WHERE [Class No] = 149");
            } // rolled back
            outer.commit();
        }
        QCOMPARE(rows(conn, "SELECT * FROM Class_tbl"), 149);
        {
            store::Transaction abandoned(*connection);
            connection->execute("DELETE from Class_tbl");
        }
        QCOMPARE(rows(conn, "SELECT * FROM Class_tbl"), 149);
    }

    // A transaction whose rollback the engine refuses still ends: its writes are undone and the
    // connection takes the next transaction, with nothing thrown from the destructor.
    void aRefusedRollbackLeavesNoTransactionOpen() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), "Tr0tW");
        auto connection = store::connectionFor(conn);
        bool savepoints = false;
        {
            store::Transaction abandoned(*connection);
            connection->execute("DELETE from Class_tbl WHERE [Class No] = 150");
            sqlite3_set_authorizer(connection->handle(), refuseRollback, &savepoints);
            QVERIFY_THROWS_EXCEPTION(StoreError, connection->execute("ROLLBACK"));
        }
        QVERIFY(sqlite3_get_autocommit(connection->handle()) != 0);
        QCOMPARE(rows(conn, "SELECT * FROM Class_tbl"), 150);
        {
            store::Transaction next(*connection);
            connection->execute("DELETE from Class_tbl WHERE [Class No] = 150");
            next.commit();
        }
        QCOMPARE(rows(conn, "SELECT * FROM Class_tbl"), 149);
    }

    // An inner transaction that cannot undo its part leaves the outer one nothing to commit.
    void aRefusedInnerRollbackRollsBackTheWhole() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), "Tr0tW");
        auto connection = store::connectionFor(conn);
        bool savepoints = true;
        {
            store::Transaction outer(*connection);
            connection->execute("DELETE from Class_tbl WHERE [Class No] = 150");
            {
                store::Transaction inner(*connection);
                connection->execute("DELETE from Class_tbl WHERE [Class No] = 149");
                sqlite3_set_authorizer(connection->handle(), refuseRollback, &savepoints);
            }
            sqlite3_set_authorizer(connection->handle(), nullptr, nullptr);
            QVERIFY_THROWS_EXCEPTION(StoreError, outer.commit());
        }
        QVERIFY(sqlite3_get_autocommit(connection->handle()) != 0);
        QCOMPARE(rows(conn, "SELECT * FROM Class_tbl"), 150);
        {
            store::Transaction next(*connection);
            connection->execute("DELETE from Class_tbl WHERE [Class No] = 150");
            next.commit();
        }
        QCOMPARE(rows(conn, "SELECT * FROM Class_tbl"), 149);
    }

    void aReplacedFileIsNotReadThroughAStaleConnection() {
        TestFolder folder;
        const QString show = folder.newShow();
        const QString conn = store::dataConnectionText(show, "Tr0tW");
        store::execute(conn, "DELETE from Class_tbl");
        QCOMPARE(rows(conn, "Class_tbl"), 0);
        QVERIFY(QFile::remove(show));
        folder.newShow();
        QCOMPARE(rows(conn, "Class_tbl"), 150);
    }

    void dialectRewritesOnlyOutsideTexts() {
        QCOMPARE(store::rewriteJetSql("SELECT * FROM T WHERE [Class Ended] = FALSE AND "
                                      "x = 'TRUE' AND [TRUE] = True AND d = #4/18/2026#"),
                 QString("SELECT * FROM T WHERE [Class Ended] = 0 AND x = 'TRUE' AND [TRUE] = 1 "
                         "AND d = '2026-04-18'"));
        QCOMPARE(store::rewriteJetSql("SELECT TrueName FROM T WHERE n = 'it''s false'"),
                 QString("SELECT TrueName FROM T WHERE n = 'it''s false'"));
    }

    void compactionKeepsDataAndLeavesNoBackup() {
        TestFolder folder;
        const QString show = folder.newShow("Spring.twl");
        const QString conn = store::dataConnectionText(show, "Tr0tW");
        store::execute(conn, "UPDATE Class_tbl SET [Class Name] = 'Halter' WHERE [Class No] = 7");
        store::compactFileInPlace(show, "Tr0tW", 4711);
        QVERIFY(QFile::exists(show));
        QVERIFY(!QFile::exists(folder.file("Spring 4711.BAK")));
        QCOMPARE(rows(conn, "SELECT * FROM Class_tbl WHERE [Class Name] = 'Halter'"), 1);
        QCOMPARE(rows(conn, "SELECT * FROM EndClass_Q"), 0); // views travel with the file
        QCOMPARE(store::compactionBackupName("/shows/Spring.twl", 4711),
                 QString("/shows/Spring 4711.BAK"));
        QCOMPARE(store::compactionBackupName("C:\\Shows\\Spring.twl", 4711),
                 QString("C:\\Shows\\Spring 4711.BAK"));
        for (int i = 0; i < 50; ++i) {
            const int n = store::compactionRandomNumber();
            QVERIFY(n >= 1 && n <= 100000);
        }
    }

    // Files written with the engine's former page size of 1024 bytes open, attach, pass their
    // check and are read as before; a compaction rewrites them with the pages of new files.
    void filesWithSmallerPagesStillOpenAndCompactionEnlargesThem() {
        TestFolder folder;
        const QString show = folder.newShow("Spring.twl");
        const QString conn = store::dataConnectionText(show, "Tr0tW");
        QCOMPARE(pageSize(conn), qint64(store::NewFilePageSize));
        store::execute(conn, "UPDATE Class_tbl SET [Class Name] = 'Halter' WHERE [Class No] = 7");

        // An older program's copy of the show, written by the engine with 1024-byte pages.
        const QString older = folder.file("Older.twl");
        {
            store::Connection connection(show, "Tr0tW", store::Connection::Mode::Create);
            connection.execute("PRAGMA cipher_default_page_size = 1024");
            connection.execute("ATTACH DATABASE '" + older + "' AS older KEY 'Tr0tW'");
            connection.execute("SELECT sqlcipher_export('older')");
            connection.execute("DETACH DATABASE older");
            connection.execute(
                QString("PRAGMA cipher_default_page_size = %1").arg(store::NewFilePageSize));
        }
        const QString olderConn = store::dataConnectionText(older, "Tr0tW");
        QCOMPARE(pageSize(olderConn), qint64(1024));
        QCOMPARE(rows(olderConn, "SELECT * FROM Class_tbl WHERE [Class Name] = 'Halter'"), 1);
        QCOMPARE(store::checkDataFile(older, "Tr0tW", store::showSchemaObjects(), 0).state,
                 store::FileCheck::State::Good);
        {
            // Attached to a show of new pages, and the other way round.
            store::AttachedDatabase attached(store::connectionFor(conn), older, "Tr0tW", "older");
            QCOMPARE(rows(conn, "SELECT * FROM older.Class_tbl WHERE [Class Name] = 'Halter'"), 1);
            store::AttachedDatabase back(store::connectionFor(olderConn), show, "Tr0tW", "newer");
            QCOMPARE(rows(olderConn, "SELECT * FROM newer.Class_tbl WHERE [Class No] = 7"), 1);
        }
        QVERIFY_THROWS_EXCEPTION(StoreError, store::Connection(older, "wrong"));

        store::releaseAllConnections();
        store::compactFileInPlace(older, "Tr0tW", 12);
        QCOMPARE(pageSize(olderConn), qint64(store::NewFilePageSize));
        QCOMPARE(rows(olderConn, "SELECT * FROM Class_tbl WHERE [Class Name] = 'Halter'"), 1);
    }

    void failedCompactionKeepsTheOriginal() {
        TestFolder folder;
        const QString show = folder.newShow("Spring.twl");
        QFile notes(folder.file("Notes.twl"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write(QByteArray(4096, 'x'));
        notes.close();
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 store::compactFileInPlace(notes.fileName(), "Tr0tW", 12));
        QCOMPARE(QFileInfo(notes.fileName()).size(), 4096);
        QVERIFY(!QFile::exists(folder.file("Notes 12.BAK")));
    }

    void compactionInAReadOnlyFolderFailsCleanly() {
        TestFolder folder;
        QVERIFY(QDir().mkpath(folder.file("shows")));
        const QString show = folder.file("shows/Spring.twl");
        QVERIFY(QFile::copy(folder.file("Base.dat"), show));
        {
            ReadOnlyFolder locked(folder.file("shows"));
            if (locked.writable())
                QSKIP("this file system lets the test's user write anywhere");
            try {
                store::compactFileInPlace(show, "Tr0tW", 13);
                QFAIL("a compaction in a read-only folder reported success");
            } catch (const StoreError& error) {
                QCOMPARE(error.code(), Code::FileIo);
            }
        }
        QCOMPARE(QDir(folder.file("shows")).entryList(QDir::Files), QStringList{"Spring.twl"});
        QCOMPARE(rows(store::dataConnectionText(show, "Tr0tW"), "Class_tbl"), 150);
    }
};

QTEST_GUILESS_MAIN(TestStoreEngine)
#include "TestStoreEngine.moc"
