#include "store/AttachedDatabase.h"
#include "store/ChangeNotifier.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"
#include "store/Transaction.h"
#include "support/TestFolder.h"

#include <QThread>
#include <QtTest>
#include <thread>

using store::ChangeNotifier;

// What the screens learn from the store after a write: which file and which tables, only once
// the write has committed, and nothing for a write that was rolled back.
class TestChangeNotices : public QObject {
    Q_OBJECT

    struct Notice {
        QString file;
        QStringList tables;
        QThread* heardOn = nullptr;
    };

    // Every notice a fresh notifier hears.
    struct Heard {
        ChangeNotifier notifier;
        std::vector<Notice> notices;
        Heard() {
            connect(&notifier, &ChangeNotifier::tablesChanged,
                    [this](const QString& file, const QStringList& tables) {
                        notices.push_back({file, tables, QThread::currentThread()});
                    });
        }
    };

private slots:
    void cleanup() { store::releaseAllConnections(); }

    void aWriteOutsideATransactionIsToldAtOnce() {
        TestFolder folder;
        const QString show = folder.newShow();
        const QString conn = store::dataConnectionText(show, TestFolder::Password);
        Heard heard;
        store::execute(conn, "UPDATE Class_tbl SET [Class Name] = 'Halter' WHERE [Class No] = 1");
        QCOMPARE(heard.notices.size(), size_t(1));
        QCOMPARE(heard.notices[0].file, ChangeNotifier::fileOf(conn));
        QCOMPARE(heard.notices[0].file, QFileInfo(show).absoluteFilePath());
        QCOMPARE(heard.notices[0].tables, QStringList{"Class_tbl"});
        // Emptying a whole table is a change too.
        store::execute(conn, "DELETE from Exh2Prnt_tbl");
        QCOMPARE(heard.notices.size(), size_t(2));
        QCOMPARE(heard.notices[1].tables, QStringList{"Exh2Prnt_tbl"});
    }

    // A notice belongs to the thread that owns the notifier: a commit on another thread is
    // reported, and its notice is heard on the notifier's thread, never on the committing one.
    void aCommitOnAnotherThreadIsHeardOnTheNotifiersThread() {
        TestFolder folder;
        const QString show = folder.newShow();
        Heard heard;
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("published on a thread"));
        std::thread([&show] {
            store::Connection own(show, TestFolder::Password);
            own.execute("UPDATE Class_tbl SET [Class Name] = 'Halter' WHERE [Class No] = 1");
        }).join();
        QVERIFY(heard.notices.empty());
        QTRY_COMPARE(heard.notices.size(), size_t(1));
        QCOMPARE(heard.notices[0].tables, QStringList{"Class_tbl"});
        QCOMPARE(heard.notices[0].heardOn, QThread::currentThread());
    }

    void readsAreNotChanges() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        Heard heard;
        store::RecordSet rs;
        rs.open("SELECT * FROM Class_tbl", conn);
        rs.moveLast();
        QCOMPARE(store::connectionFor(conn)->execute("SELECT count(*) FROM Entries_tbl"), 0);
        QVERIFY(heard.notices.empty());
    }

    void aTransactionIsToldOnceAfterItsCommit() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        auto connection = store::connectionFor(conn);
        Heard heard;
        {
            store::Transaction outer(*connection);
            connection->execute("DELETE from Class_tbl WHERE [Class No] = 150");
            {
                store::Transaction inner(*connection);
                connection->execute("INSERT INTO Exh2Prnt_tbl (S_ExhNo, S_ExhNam) VALUES (1, 'A')");
                inner.commit();
            }
            QVERIFY(heard.notices.empty()); // nothing is told before the commit
            outer.commit();
        }
        QCOMPARE(heard.notices.size(), size_t(1));
        QCOMPARE(heard.notices[0].tables, QStringList({"Class_tbl", "Exh2Prnt_tbl"}));
    }

    void aRolledBackTransactionIsNotTold() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        auto connection = store::connectionFor(conn);
        Heard heard;
        {
            store::Transaction abandoned(*connection);
            connection->execute("DELETE from Class_tbl");
        }
        QVERIFY(heard.notices.empty());
        // The next commit tells only its own tables.
        connection->execute("DELETE from Exh2Prnt_tbl");
        QCOMPARE(heard.notices.size(), size_t(1));
        QCOMPARE(heard.notices[0].tables, QStringList{"Exh2Prnt_tbl"});
    }

    void aBatchIsToldWithItsTableAndAFailedOneIsNot() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        Heard heard;
        store::RecordSet rs;
        rs.open("SELECT * FROM Class_tbl WHERE [Class No] < 3", conn);
        rs.setValue("Class Name", "Western Pleasure");
        rs.updateBatch();
        QCOMPARE(heard.notices.size(), size_t(1));
        QCOMPARE(heard.notices[0].tables, QStringList{"Class_tbl"});

        // A batch whose write the file refuses says nothing.
        store::connectionFor(conn)->execute(
            "CREATE TRIGGER NoWrite BEFORE UPDATE ON Class_tbl BEGIN SELECT RAISE(ABORT, 'no'); "
            "END");
        heard.notices.clear();
        rs.moveNext();
        rs.setValue("Class Name", "Trail");
        QVERIFY_THROWS_EXCEPTION(store::StoreError, rs.updateBatch());
        QVERIFY(heard.notices.empty());
    }

    void aWriteToAnAttachedFileNamesThatFile() {
        TestFolder folder;
        const QString show = folder.newShow();
        const QString org = folder.file("TWL.org");
        QFile(org).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        auto connection =
            store::connectionFor(store::dataConnectionText(show, TestFolder::Password));
        Heard heard;
        {
            store::AttachedDatabase attached(connection, org, TestFolder::Password, "orgfile");
            connection->execute("UPDATE orgfile.OrgData_tbl SET OrgName = 'Valley Riders'");
        }
        QCOMPARE(heard.notices.size(), size_t(1));
        QCOMPARE(heard.notices[0].file, QFileInfo(org).absoluteFilePath());
        QCOMPARE(heard.notices[0].tables, QStringList{"OrgData_tbl"});
    }

    void everyNotifierHearsAndAGoneOneIsSkipped() {
        TestFolder folder;
        const QString conn = store::dataConnectionText(folder.newShow(), TestFolder::Password);
        Heard first;
        { Heard gone; }
        Heard second;
        store::execute(conn, "DELETE from Exh2Prnt_tbl");
        QCOMPARE(first.notices.size(), size_t(1));
        QCOMPARE(second.notices.size(), size_t(1));
        QVERIFY(ChangeNotifier::fileOf(QString()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestChangeNotices)
#include "TestChangeNotices.moc"
