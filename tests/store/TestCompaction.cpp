#include "store/Compaction.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/StoreError.h"
#include "support/ReadOnlyFolder.h"
#include "support/TableRows.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QException>
#include <functional>
#include <map>
#include <new>
#include <optional>
#include <stdexcept>

using store::CompactionStep;
using store::StoreError;

namespace {

constexpr auto Password = TestFolder::Password;

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void overwrite(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

std::map<QString, qint64> rowsOf(const QString& file) {
    return tableRowsOf(file, Password);
}

const char* stepName(CompactionStep step) {
    switch (step) {
    case CompactionStep::Exported:
        return "Exported";
    case CompactionStep::Verified:
        return "Verified";
    case CompactionStep::BackedUp:
        return "BackedUp";
    case CompactionStep::Replaced:
        return "Replaced";
    case CompactionStep::Checked:
        return "Checked";
    }
    return "?";
}

const CompactionStep AllSteps[] = {CompactionStep::Exported, CompactionStep::Verified,
                                   CompactionStep::BackedUp, CompactionStep::Replaced,
                                   CompactionStep::Checked};

enum class Thrown { StoreError, OutOfMemory, Standard, Qt, Unknown };

[[noreturn]] void throwOne(Thrown kind) {
    switch (kind) {
    case Thrown::StoreError:
        throw StoreError(StoreError::Code::Sql, "the engine refused");
    case Thrown::OutOfMemory:
        throw std::bad_alloc();
    case Thrown::Standard:
        throw std::runtime_error("a standard error");
    case Thrown::Qt:
        throw QException();
    case Thrown::Unknown:
        throw 42;
    }
    throw 0;
}

} // namespace

Q_DECLARE_METATYPE(CompactionStep)
Q_DECLARE_METATYPE(Thrown)

class TestCompaction : public QObject {
    Q_OBJECT

    // A show with some entries, changed after it was made, so that compaction has work to do.
    static QString filledShow(const TestFolder& folder) {
        const QString show = folder.newShow("Spring.twl");
        const QString conn = store::dataConnectionText(show, Password);
        QStringList rows;
        for (int i = 1; i <= 40; ++i)
            rows.append(QString("(%1, %2, 'Exhibitor %2', 'Horse %2')").arg(i % 7 + 1).arg(i));
        store::execute(conn, "INSERT INTO Entries_tbl ([Class No], [Show Exh No], [Show Exh Nam], "
                             "[Horse Name]) VALUES " +
                                 rows.join(", "));
        store::execute(conn, "DELETE FROM Entries_tbl WHERE [Show Exh No] > 30");
        store::releaseAllConnections();
        return show;
    }

    static QStringList filesIn(const TestFolder& folder) {
        QStringList names = QDir(folder.path()).entryList(QDir::Files, QDir::Name);
        for (const char* own : {"TWL.dll", "TWL.org", "Base.dat", "TWL.ini"})
            names.removeAll(own);
        return names;
    }

private slots:
    void cleanup() { store::releaseAllConnections(); }

    void theFileHoldsAllItsRowsAtEveryStep() {
        TestFolder folder;
        const QString show = filledShow(folder);
        const auto expected = rowsOf(show);
        QCOMPARE(expected.at("Entries_tbl"), 30);
        // A copy left by an interrupted compaction with the same number is incomplete.
        overwrite(folder.file("Spring 4711.CMP"), "half a copy");
        QFile::setPermissions(show, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        QStringList seen;
        store::compactFileInPlace(show, Password, 4711, [&](CompactionStep step) {
            seen.append(stepName(step));
            QCOMPARE(rowsOf(show), expected);
            if (step == CompactionStep::Exported)
                QVERIFY(QFileInfo::exists(folder.file("Spring 4711.CMP")));
            if (step == CompactionStep::BackedUp)
                QCOMPARE(rowsOf(folder.file("Spring 4711.BAK")), expected);
        });
        QCOMPARE(seen, QStringList({"Exported", "Verified", "BackedUp", "Replaced", "Checked"}));
        QCOMPARE(rowsOf(show), expected);
        QCOMPARE(filesIn(folder), QStringList{"Spring.twl"});
        QCOMPARE(QFile::permissions(show) & 0x7077,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        QCOMPARE(store::compactionTemporaryName("/shows/Spring.twl", 4711),
                 QString("/shows/Spring 4711.CMP"));
    }

    void aTakenBackupNameChangesNothing() {
        TestFolder folder;
        const QString show = filledShow(folder);
        const QByteArray before = bytesOf(show);
        overwrite(folder.file("Spring 12.BAK"), "someone's file");
        try {
            store::compactFileInPlace(show, Password, 12);
            QFAIL("a taken backup name must fail the compaction");
        } catch (const StoreError& error) {
            QVERIFY2(error.message().contains("Spring 12.BAK"), qPrintable(error.message()));
        }
        QCOMPARE(bytesOf(show), before);
        QCOMPARE(bytesOf(folder.file("Spring 12.BAK")), QByteArray("someone's file"));
        QCOMPARE(filesIn(folder), QStringList({"Spring 12.BAK", "Spring.twl"}));
    }

    // Whatever fails at whichever step, the original stays (or comes back) under its own name,
    // byte for byte, nothing else is left beside it, and the failure reaches the caller as the
    // store's error, which the screens show with its number.
    void everyFailureLeavesTheOriginal_data() {
        QTest::addColumn<CompactionStep>("step");
        QTest::addColumn<Thrown>("thrown");
        QTest::addColumn<QString>("message");
        const std::pair<Thrown, const char*> kinds[] = {
            {Thrown::StoreError, "the engine refused"},
            {Thrown::OutOfMemory, "There was not enough memory to compact"},
            {Thrown::Standard, "could not be compacted: a standard error"},
            {Thrown::Qt, "could not be compacted: "},
            {Thrown::Unknown, "could not be compacted."}};
        for (CompactionStep step : AllSteps) {
            for (const auto& [kind, message] : kinds) {
                const char* kindName[] = {"store", "memory", "standard", "Qt", "unknown"};
                QTest::addRow("%s, %s", stepName(step), kindName[int(kind)])
                    << step << kind << QString(message);
            }
        }
    }

    void everyFailureLeavesTheOriginal() {
        QFETCH(CompactionStep, step);
        QFETCH(Thrown, thrown);
        QFETCH(QString, message);
        TestFolder folder;
        const QString show = filledShow(folder);
        const QByteArray before = bytesOf(show);
        try {
            store::compactFileInPlace(show, Password, 77, [&](CompactionStep reached) {
                if (reached == step)
                    throwOne(thrown);
            });
            QFAIL("the compaction must fail");
        } catch (const StoreError& error) {
            QVERIFY2(error.message().contains(message), qPrintable(error.message()));
            QVERIFY2(!error.message().contains("kept as"), qPrintable(error.message()));
            QVERIFY(error.number() > 0);
        }
        QCOMPARE(bytesOf(show), before);
        QCOMPARE(filesIn(folder), QStringList{"Spring.twl"});
        QCOMPARE(rowsOf(show).at("Entries_tbl"), 30);
    }

    void aCopyThatDoesNotReadBackIsRefused_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("garbage") << "";
        QTest::newRow("rows lost") << "DELETE FROM Entries_tbl WHERE [Show Exh No] = 3";
        QTest::newRow("table lost") << "DROP TABLE Exh2Prnt_tbl";
    }

    void aCopyThatDoesNotReadBackIsRefused() {
        QFETCH(QString, damage);
        TestFolder folder;
        const QString show = filledShow(folder);
        const QByteArray before = bytesOf(show);
        const QString copy = folder.file("Spring 5.CMP");
        try {
            store::compactFileInPlace(show, Password, 5, [&](CompactionStep step) {
                if (step != CompactionStep::Exported)
                    return;
                if (damage.isEmpty()) {
                    QByteArray bytes = bytesOf(copy);
                    bytes.fill('x', 4096);
                    overwrite(copy, bytes);
                } else {
                    store::Connection(copy, Password).execute(damage);
                }
            });
            QFAIL("a damaged copy must not replace the file");
        } catch (const StoreError& error) {
            QVERIFY(!error.message().contains("kept as"));
        }
        QCOMPARE(bytesOf(show), before);
        QCOMPARE(filesIn(folder), QStringList{"Spring.twl"});
    }

    void anEmptyDatabaseIsNotCompacted() {
        TestFolder folder;
        const QString empty = folder.file("Empty.twl");
        store::Connection(empty, Password, store::Connection::Mode::Create)
            .execute("PRAGMA user_version = 1");
        const QByteArray before = bytesOf(empty);
        QVERIFY_THROWS_EXCEPTION(StoreError, store::compactFileInPlace(empty, Password, 9));
        QCOMPARE(bytesOf(empty), before);
        QCOMPARE(filesIn(folder), QStringList{"Empty.twl"});
    }

    // The copy has replaced the file but does not open under its name, and the folder refuses
    // to take the original back: the message tells where the original is, and it is all there.
    void whenTheOriginalCannotBePutBackTheMessageSaysWhereItIs() {
        TestFolder folder;
        const QString show = filledShow(folder);
        const QByteArray before = bytesOf(show);
        std::optional<ReadOnlyFolder> locked;
        bool lockable = true;
        try {
            store::compactFileInPlace(show, Password, 4711, [&](CompactionStep step) {
                if (step != CompactionStep::Replaced)
                    return;
                overwrite(show, QByteArray(8192, 'x'));
                locked.emplace(folder.path());
                lockable = !locked->writable();
            });
            QFAIL("a copy that does not open must fail the compaction");
        } catch (const StoreError& error) {
            locked.reset();
            if (!lockable)
                QSKIP("this file system lets the test's user write anywhere");
            const QString backup = folder.file("Spring 4711.BAK");
            QVERIFY2(error.message().endsWith(" The original is kept as \"" + backup + "\"."),
                     qPrintable(error.message()));
            QCOMPARE(bytesOf(backup), before);
            QCOMPARE(rowsOf(backup).at("Entries_tbl"), 30);
        }
        QCOMPARE(filesIn(folder), QStringList({"Spring 4711.BAK", "Spring.twl"}));
    }
};

QTEST_GUILESS_MAIN(TestCompaction)
#include "TestCompaction.moc"
