#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/DataFiles.h"
#include "store/FileChecks.h"
#include "store/FileLock.h"
#include "store/FileRecovery.h"
#include "store/FileWrites.h"
#include "store/StoreError.h"
#include "support/DamagedFiles.h"
#include "support/FullDisk.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QtTest>

using State = store::FileCheck::State;

namespace {

store::FileCheck checkShow(const QString& file) {
    return store::checkDataFile(file, TestFolder::Password, store::showSchemaObjects(),
                                store::ShowSchemaRevision);
}

store::Recovery recoverShow(const QString& file) {
    return store::recoverAfterCompaction(file, TestFolder::Password, store::showSchemaObjects(),
                                         store::ShowSchemaRevision);
}

QByteArray contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList filesIn(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::Files);
    names.sort();
    return names;
}

int entryCount(const QString& show) {
    store::Connection connection(show, TestFolder::Password);
    store::Statement count = connection.prepare("SELECT count(*) FROM Entries_tbl");
    count.step();
    return int(count.columnInt64(0));
}

void setModified(const QString& file, int secondsAgo) {
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo),
                          QFileDevice::FileModificationTime));
}

} // namespace

class TestFileChecks : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { store::releaseAllConnections(); }

    void theRequiredObjectsAreThoseOfTheSchemas() {
        const QStringList show = store::showSchemaObjects();
        for (const char* name :
             {"Entries_tbl", "Class_tbl", "ShowData_tbl", "MultiSelect_tbl", "PayOut_tbl",
              "ScrSht2Prnt_tbl", "Exh2Prnt_tbl", "Top10Class_tbl", "EndClass_Q", "ScrSht2Pint_Q",
              "Exh2Prnt_Q", "Charges_tbl", "Payments_tbl", "Settled_tbl"})
            QVERIFY2(show.contains(name), name);
        QCOMPARE(show.size(), 14);
        QCOMPARE(store::organisationSchemaObjects(),
                 QStringList({"Members_tbl", "Points_tbl", "PaySch_tbl", "OrgData_tbl",
                              "PointsLedger_tbl"}));
        TestFolder folder;
        QCOMPARE(checkShow(folder.newShow()).state, State::Good);
        QCOMPARE(store::checkDataFile(folder.file("TWL.org"), TestFolder::Password,
                                      store::organisationSchemaObjects(),
                                      store::OrganisationSchemaRevision)
                     .state,
                 State::Good);
    }

    void aDamagedPageAnywhereFailsTheCheck() {
        TestFolder folder;
        const QString good = folder.newShow("Good.twl");
        damaged::addEntries(good, TestFolder::Password, 3000);
        const qint64 pages = damaged::pageCount(good);
        QVERIFY(pages > 40);
        // The show information, the classes, the entries and their indexes lie somewhere in
        // these: every page that holds something must fail.
        for (const qint64 page : {qint64(1), qint64(2), qint64(3), pages / 4, pages / 3, pages / 2,
                                  2 * pages / 3, pages - 2, pages - 1}) {
            const QString file = folder.file(QString("Damaged %1.twl").arg(page));
            QVERIFY(QFile::copy(good, file));
            QVERIFY(damaged::damagePage(file, page));
            const store::FileCheck check = checkShow(file);
            QVERIFY2(check.state == State::Damaged, qPrintable(QString::number(page)));
            QVERIFY(!check.detail.isEmpty());
        }
        // The first page holds the key's salt: damaged, the file is no database at all.
        const QString first = folder.file("First.twl");
        QVERIFY(QFile::copy(good, first));
        QVERIFY(damaged::damagePage(first, 0));
        QVERIFY(checkShow(first).unusable());
        QCOMPARE(checkShow(good).state, State::Good);
    }

    // Opening a show checks its pages in the background while the file is read: whatever the
    // damage, either the check before reading or the one in the background finds it.
    void aPageCheckInTheBackgroundFindsWhatTheCheckFinds() {
        TestFolder folder;
        const QString good = folder.newShow("Good.twl");
        damaged::addEntries(good, TestFolder::Password, 3000);
        const qint64 pages = damaged::pageCount(good);
        const auto recoverBeforeReading = [](const QString& file) {
            return store::recoverBeforeReading(
                file, TestFolder::Password, store::showSchemaObjects(), store::ShowSchemaRevision);
        };
        int foundInTheBackground = 0;
        for (const qint64 page :
             {qint64(1), qint64(2), qint64(3), pages / 4, pages / 2, 2 * pages / 3, pages - 1}) {
            const QString file = folder.file(QString("Damaged %1.twl").arg(page));
            QVERIFY(QFile::copy(good, file));
            QVERIFY(damaged::damagePage(file, page));
            store::Recovery recovery = recoverBeforeReading(file);
            if (recovery.pageCheck) {
                QVERIFY(recovery.check.good());
                QVERIFY2(!recovery.awaitPageCheck(), qPrintable(QString::number(page)));
                QCOMPARE(recovery.check.state, State::Damaged);
                QVERIFY(!recovery.check.detail.isEmpty());
                QVERIFY(!recovery.pageCheck);
                ++foundInTheBackground;
            } else {
                QVERIFY2(recovery.check.state == State::Damaged, qPrintable(QString::number(page)));
            }
        }
        QVERIFY(foundInTheBackground > 0);

        // A sound file is read while its pages are checked.
        store::Recovery sound = recoverBeforeReading(good);
        QVERIFY(sound.check.good());
        QVERIFY(sound.pageCheck);
        QCOMPARE(entryCount(good), 3000);
        QVERIFY(sound.awaitPageCheck());
        QVERIFY(sound.check.good());

        // Leftovers of a compaction are settled first, with the whole check.
        QVERIFY(QFile::copy(good, folder.file("Good 3.BAK")));
        const store::Recovery recovery = recoverBeforeReading(good);
        QVERIFY(!recovery.pageCheck);
        QVERIFY(recovery.check.good());
        QCOMPARE(recovery.removed, QStringList{folder.file("Good 3.BAK")});
    }

    void missingTablesAndStoredQueriesAreNamed() {
        TestFolder folder;
        const QString show = folder.newShow();
        const QString connection = store::dataConnectionText(show, TestFolder::Password);
        store::execute(connection, "DROP TABLE Entries_tbl");
        store::execute(connection, "DROP VIEW Exh2Prnt_Q");
        store::releaseAllConnections();
        const store::FileCheck check = checkShow(show);
        QCOMPARE(check.state, State::MissingObjects);
        QCOMPARE(check.missingObjects, QStringList({"Entries_tbl", "Exh2Prnt_Q"}));
    }

    void revisionsAndFilesThatAreNoDatabases() {
        TestFolder folder;
        const QString show = folder.newShow();
        const QString connection = store::dataConnectionText(show, TestFolder::Password);
        store::execute(connection,
                       QString("PRAGMA user_version = %1").arg(store::ShowSchemaRevision + 1));
        store::releaseAllConnections();
        QCOMPARE(checkShow(show).state, State::Newer);
        QVERIFY(!checkShow(show).unusable());
        // An older file is sound; its tables are looked at after its migration.
        store::execute(connection, "PRAGMA user_version = 0");
        store::execute(connection, "DROP TABLE Top10Class_tbl");
        store::releaseAllConnections();
        QCOMPARE(checkShow(show).state, State::Good);
        QCOMPARE(checkShow(show).revision, 0);

        QCOMPARE(checkShow(folder.file("None.twl")).state, State::Missing);
        QFile empty(folder.file("Empty.twl"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QCOMPARE(checkShow(empty.fileName()).state, State::Unreadable);
        QCOMPARE(store::checkDataFile(folder.file("TWL.org"), "wrong",
                                      store::organisationSchemaObjects(),
                                      store::OrganisationSchemaRevision)
                     .state,
                 State::Unreadable);
    }

    // A copy is whole or not there: it replaces a file only when asked to, and a full disk
    // leaves the file as it was, nothing beside it, and the system's reason.
    void copiesAreWholeOrNotThere() {
        TestFolder folder;
        const QString from = folder.file("Base.dat");
        const QString to = folder.file("Spring.twl");
        QFile old(to);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("my notes") == 8);
        old.close();
        QVERIFY_THROWS_EXCEPTION(store::StoreError, store::copyFileWhole(from, to, false));
        QCOMPARE(contents(to), QByteArray("my notes"));
        store::copyFileWhole(from, to, true);
        QCOMPARE(contents(to), contents(from));

        const QString full = folder.file("full");
        QVERIFY(QDir().mkpath(full));
        FullDisk disk(full);
        if (!disk.mounted())
            QSKIP("cannot mount a small file system here");
        QVERIFY(disk.fill() && disk.leaveFree(8192));
        try {
            store::copyFileWhole(from, full + "/Spring.twl", false);
            QFAIL("a copy onto a full disk reported success");
        } catch (const store::StoreError& error) {
            QCOMPARE(error.code(), store::StoreError::Code::FileIo);
            QVERIFY2(error.message().contains(qt_error_string(ENOSPC)),
                     qPrintable(error.message()));
        }
        QCOMPARE(QDir(full).entryList(QDir::Files | QDir::Hidden), QStringList{"filler"});
    }

    void aLockIsHeldUntilReleasedAndItsFileGoes() {
        TestFolder folder;
        const QString show = folder.newShow();
        const QString lockFile = store::FileLock::lockFileName(show);
        {
            store::FileLock first(show);
            QCOMPARE(first.state(), store::FileLock::State::Held);
            QVERIFY(QFile::exists(lockFile));
            // Another claim, even through another spelling of the same path, is refused.
            QCOMPARE(store::FileLock(folder.path() + "./" + "Show.twl").state(),
                     store::FileLock::State::HeldElsewhere);
            store::FileLock moved = std::move(first);
            QVERIFY(moved.held() && !first.held());
            QCOMPARE(store::FileLock(show).state(), store::FileLock::State::HeldElsewhere);
        }
        QVERIFY(!QFile::exists(lockFile));
        store::FileLock again(show);
        QVERIFY(again.held());
        again.release();
        QVERIFY(store::FileLock(show).held());
        // A companion file left by a program that died is taken over.
        QFile stale(lockFile);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        QVERIFY(store::FileLock(show).held());
    }

    void strayLeftoversBesideAGoodFileAreRemoved() {
        TestFolder folder;
        const QString show = folder.newShow("Spring.twl");
        damaged::addEntries(show, TestFolder::Password, 10);
        const QByteArray before = contents(show);
        QVERIFY(QFile::copy(show, folder.file("Spring 4711.BAK")));
        QVERIFY(QFile::copy(show, folder.file("Spring 100000.BAK")));
        QVERIFY(QFile::copy(show, folder.file("Spring 12.CMP")));
        QVERIFY(damaged::truncateTo(folder.file("Spring 12.CMP"), 3072));
        // Names of other files, which are never touched.
        for (const char* other : {"Spring 0.BAK", "Spring 100001.BAK", "Spring 12.BAK.txt",
                                  "Springs 5.BAK", "Spring x.BAK", "Spring 7.bak"})
            QVERIFY(QFile::copy(show, folder.file(other)));

        const store::Recovery recovery = recoverShow(show);
        QVERIFY(recovery.check.good());
        QVERIFY(recovery.restoredFrom.isEmpty());
        QCOMPARE(recovery.removed.size(), 3);
        QVERIFY(recovery.backupsLeft.isEmpty());
        QCOMPARE(contents(show), before);
        QCOMPARE(filesIn(folder.path()),
                 QStringList({"Base.dat", "Spring 0.BAK", "Spring 100001.BAK", "Spring 12.BAK.txt",
                              "Spring 7.bak", "Spring x.BAK", "Spring.twl", "Springs 5.BAK",
                              "TWL.dll", "TWL.ini", "TWL.org"}));
    }

    void aMissingOrHalfWrittenFileIsPutBackFromTheNewestGoodBackup() {
        TestFolder folder;
        const QString show = folder.newShow("Spring.twl");
        damaged::addEntries(show, TestFolder::Password, 500);
        const QString older = folder.file("Spring 17.BAK");
        const QString newer = folder.file("Spring 5.BAK");
        const QString newest = folder.file("Spring 900.BAK");
        QVERIFY(QFile::copy(show, older));
        damaged::addEntries(show, TestFolder::Password, 100);
        QVERIFY(QFile::copy(show, newer));
        QVERIFY(QFile::copy(show, newest));
        QVERIFY(damaged::damagePage(newest, damaged::pageCount(newest) / 2));
        setModified(older, 300);
        setModified(newer, 200);
        setModified(newest, 100);

        // Killed while the compacted copy was written under the file's own name.
        QVERIFY(damaged::truncateTo(show, QFileInfo(show).size() / 2));
        const QByteArray halfWritten = contents(show);
        store::Recovery recovery = recoverShow(show);
        QCOMPARE(recovery.restoredFrom, newer);
        QVERIFY(recovery.check.good());
        QCOMPARE(entryCount(show), 600);
        QCOMPARE(recovery.unusableKeptAs, show + ".damaged");
        QCOMPARE(contents(recovery.unusableKeptAs), halfWritten);
        // With the file good again, the other backups were strays.
        QVERIFY(!QFile::exists(older) && !QFile::exists(newest) && !QFile::exists(newer));

        // Killed between moving the file to its backup name and writing its copy.
        store::releaseAllConnections();
        QVERIFY(QFile::rename(show, older));
        recovery = recoverShow(show);
        QCOMPARE(recovery.restoredFrom, older);
        QVERIFY(recovery.unusableKeptAs.isEmpty());
        QCOMPARE(entryCount(show), 600);
    }

    void backupsThatCannotBeUsedAreLeftAndNamed() {
        TestFolder folder;
        const QString show = folder.newShow("Spring.twl");
        const QString backup = folder.file("Spring 31.BAK");
        QVERIFY(QFile::copy(show, backup));
        QVERIFY(damaged::damagePage(backup, 3));
        QVERIFY(damaged::damagePage(show, 3));
        const QByteArray before = contents(show);
        store::Recovery recovery = recoverShow(show);
        QCOMPARE(recovery.check.state, State::Damaged);
        QVERIFY(recovery.restoredFrom.isEmpty());
        QCOMPARE(recovery.backupsLeft, QStringList({backup}));
        QCOMPARE(contents(show), before);
        QVERIFY(QFile::exists(backup));

        // A file of a newer program is not this program's to judge: its backups stay too.
        const QString newer = folder.newShow("Newer.twl");
        store::execute(store::dataConnectionText(newer, TestFolder::Password),
                       QString("PRAGMA user_version = %1").arg(store::ShowSchemaRevision + 1));
        store::releaseAllConnections();
        QVERIFY(QFile::copy(newer, folder.file("Newer 8.BAK")));
        recovery = recoverShow(newer);
        QCOMPARE(recovery.check.state, State::Newer);
        QVERIFY(QFile::exists(folder.file("Newer 8.BAK")));
    }
};

QTEST_GUILESS_MAIN(TestFileChecks)
#include "TestFileChecks.moc"
