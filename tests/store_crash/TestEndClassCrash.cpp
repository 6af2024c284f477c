#include "SampleData.h"
#include "store/Connection.h"
#include "support/TestFolder.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <cmath>
#include <map>

// A program killed at any point while ending classes leaves every member's season total equal to
// what it was plus the points of the member's ledger rows, and a ledger row for every member
// credit of every class that is marked ended, and none for a class that is not.
namespace {

constexpr auto Password = TestFolder::Password;
constexpr int ClassesEnded = 40; // by each run of the child, all of them placed

std::map<QString, double> memberTotals(const QString& org) {
    store::Connection connection(org, Password);
    store::Statement read = connection.prepare("SELECT [Mem Num], [Mem Points] FROM Members_tbl");
    std::map<QString, double> totals;
    while (read.step())
        totals[read.columnValue(0, store::FieldType::Text).toText().toUpper()] =
            read.columnValue(1, store::FieldType::Number).toDouble();
    return totals;
}

std::map<QString, double> ledgerSums(const QString& org) {
    store::Connection connection(org, Password);
    store::Statement read = connection.prepare(
        "SELECT [Mem Num], SUM([Points]) FROM PointsLedger_tbl WHERE [Season] = 0 "
        "GROUP BY [Mem Num]");
    std::map<QString, double> sums;
    while (read.step())
        sums[read.columnValue(0, store::FieldType::Text).toText().toUpper()] =
            read.columnValue(1, store::FieldType::Number).toDouble();
    return sums;
}

// Ledger rows by class, as the org file holds them and as the show's ended classes call for.
std::map<int, int> ledgerRowsByClass(const QString& org) {
    store::Connection connection(org, Password);
    store::Statement read =
        connection.prepare("SELECT [Class No], COUNT(*) FROM PointsLedger_tbl GROUP BY 1");
    std::map<int, int> rows;
    while (read.step())
        rows[int(read.columnInt64(0))] = int(read.columnInt64(1));
    return rows;
}

std::map<int, int> creditsOfEndedClasses(const QString& show,
                                         const std::map<QString, double>& members) {
    store::Connection connection(show, Password);
    store::Statement read = connection.prepare(
        "SELECT e.[Class No], e.[Member Number] FROM Entries_tbl e JOIN Class_tbl c "
        "ON c.[Class No] = e.[Class No] WHERE c.[Class Ended] <> 0 AND e.[Place] BETWEEN 1 AND 20");
    std::map<int, int> rows;
    while (read.step()) {
        const QString member = read.columnValue(1, store::FieldType::Text).toText().toUpper();
        if (members.count(member))
            ++rows[int(read.columnInt64(0))];
    }
    return rows;
}

struct ChildRun {
    QStringList markers;
    bool killed = false;
};

// Starts the child, which ends the classes 1 to ClassesEnded; once it has started, gives it delayMs
// and kills it if it is still running.
ChildRun runChild(const QString& folder, const QString& show, int delayMs) {
    ChildRun run;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(TWL_END_CLASS_CHILD, {folder, show, Password, QString::number(ClassesEnded)});
    if (!child.waitForStarted(30000))
        return run;
    while (!run.markers.contains("started") && child.state() == QProcess::Running) {
        child.waitForReadyRead(30000);
        while (child.canReadLine())
            run.markers.append(QString::fromLatin1(child.readLine()).trimmed());
    }
    if (delayMs > 0)
        child.waitForFinished(delayMs);
    if (child.state() == QProcess::Running) {
        child.kill();
        run.killed = true;
    }
    child.waitForFinished(30000);
    while (child.canReadLine())
        run.markers.append(QString::fromLatin1(child.readLine()).trimmed());
    return run;
}

} // namespace

class TestEndClassCrash : public QObject {
    Q_OBJECT

private slots:
    void aKilledRunKeepsEveryTotalEqualToItsLedger() {
        const quint32 seed = qEnvironmentVariableIsSet("TWL_CRASH_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("TWL_CRASH_SEED"))
                                 : QRandomGenerator::system()->generate();
        qInfo("TWL_CRASH_SEED=%u", seed);
        QRandomGenerator random(seed);

        TestFolder folder;
        const QString pristineShow = folder.file("Pristine.twl");
        const QString pristineOrg = folder.file("Pristine.org");
        sample::ShowSample sample;
        sample.entries = 1500;
        sample.placedClasses = ClassesEnded;
        QVERIFY(sample::writeSampleShow(folder.file("Base.dat"), pristineShow, Password, sample));
        QVERIFY(QFile::copy(folder.file("TWL.org"), pristineOrg));
        QCOMPARE(sample::addSampleMembers(pristineOrg, Password, sample.members), sample.members);
        const std::map<QString, double> before = memberTotals(pristineOrg);

        const QString show = folder.file("Show.twl");
        const QString org = folder.file("TWL.org");
        const auto freshFiles = [&] {
            QFile::remove(show);
            QFile::remove(org);
            return QFile::copy(pristineShow, show) && QFile::copy(pristineOrg, org);
        };

        QVERIFY(freshFiles());
        QElapsedTimer clock;
        clock.start();
        const ChildRun whole = runChild(folder.path(), show, 600000);
        QVERIFY2(whole.markers.contains("done"), qPrintable(whole.markers.join(',')));
        const int wholeMs = int(clock.elapsed()) + 1;

        int interrupted = 0;
        for (int i = 0; i < 25; ++i) {
            QVERIFY(freshFiles());
            const int delayMs = 1 + int(random.bounded(wholeMs));
            const ChildRun run = runChild(folder.path(), show, delayMs);
            const QByteArray context = QString("try %1: killed after %2 ms; saw %3")
                                           .arg(i)
                                           .arg(delayMs)
                                           .arg(run.markers.join(','))
                                           .toLocal8Bit();
            interrupted += run.killed && !run.markers.contains("done") ? 1 : 0;

            const std::map<QString, double> totals = memberTotals(org);
            const std::map<QString, double> sums = ledgerSums(org);
            QCOMPARE(totals.size(), before.size());
            for (const auto& [member, total] : totals) {
                const double earned = sums.count(member) ? sums.at(member) : 0.0;
                QVERIFY2(std::abs(total - before.at(member) - earned) < 1e-6,
                         qPrintable(member + ": " + context));
            }
            QVERIFY2(ledgerRowsByClass(org) == creditsOfEndedClasses(show, before),
                     context.constData());
        }
        qInfo("%d of 25 kills interrupted the runs (a whole one took %d ms)", interrupted, wholeMs);
        QVERIFY(interrupted > 0);
    }
};

QTEST_GUILESS_MAIN(TestEndClassCrash)
#include "TestEndClassCrash.moc"
