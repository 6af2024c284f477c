#include "SampleData.h"
#include "store/Compaction.h"
#include "store/Connection.h"
#include "store/StoreError.h"
#include "support/TableRows.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <map>

// A program killed at any point of compacting a file leaves the file under its own name, whole:
// the child below compacts a file and is killed at random points, many times over.
namespace {

constexpr auto Password = TestFolder::Password;

std::map<QString, qint64> rowsOf(const QString& file) {
    return tableRowsOf(file, Password);
}

// The markers the child prints: "started", one per step, "done".
constexpr int StepMarkers = 6; // "started" and the five steps

struct ChildRun {
    QStringList markers;
    bool killed = false;
    bool interrupted() const { return killed && !markers.contains("done"); }
};

// Starts the child on `file`; once it has printed `markersBeforeKill` markers, gives it up to
// `delayMs` more and kills it if it is still running.
ChildRun runChild(const QString& file, int number, int markersBeforeKill, int delayMs) {
    ChildRun run;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(TWL_COMPACT_CHILD, {file, Password, QString::number(number)});
    if (!child.waitForStarted(30000))
        return run;
    const auto readMarkers = [&] {
        while (child.canReadLine())
            run.markers.append(QString::fromLatin1(child.readLine()).trimmed());
    };
    while (run.markers.size() < markersBeforeKill && child.state() == QProcess::Running) {
        child.waitForReadyRead(30000);
        readMarkers();
    }
    if (delayMs > 0)
        child.waitForFinished(delayMs); // ends early when the child does
    if (child.state() == QProcess::Running) {
        child.kill();
        run.killed = true;
    }
    child.waitForFinished(30000);
    readMarkers();
    return run;
}

} // namespace

class TestCompactionCrash : public QObject {
    Q_OBJECT

    // Kills the child `tries` times at random points of compacting `file` and checks each time
    // that the file opens with every row it had; what a kill leaves beside it is one of the two
    // names the start-up recovery knows, and a leftover backup is complete.
    void killRepeatedly(const TestFolder& folder, const QString& file, int tries) {
        const auto expected = rowsOf(file);
        QVERIFY(!expected.empty());
        const QString base = QFileInfo(file).completeBaseName();
        const QRegularExpression leftover("^" + QRegularExpression::escape(base) +
                                          " [0-9]+\\.(CMP|BAK)$");

        QElapsedTimer clock;
        clock.start();
        const ChildRun whole = runChild(file, compactionNumber(), StepMarkers + 1, 0);
        QVERIFY2(whole.markers.contains("done"), qPrintable(whole.markers.join(',')));
        const int wholeMs = int(clock.elapsed()) + 1;

        int interrupted = 0;
        for (int i = 0; i < tries; ++i) {
            // Half the kills follow a step's marker at once, half land at any time.
            const bool atMarker = i % 2 == 0;
            const int markers = atMarker ? 1 + int(m_random.bounded(StepMarkers)) : 1;
            const int delayMs = atMarker ? 0 : int(m_random.bounded(wholeMs));
            const ChildRun run = runChild(file, compactionNumber(), markers, delayMs);
            const QByteArray context = QString("try %1: markers %2, then %3 ms; saw %4")
                                           .arg(i)
                                           .arg(markers)
                                           .arg(delayMs)
                                           .arg(run.markers.join(','))
                                           .toLocal8Bit();
            QVERIFY2(run.killed || run.markers.contains("done"), context.constData());
            interrupted += run.interrupted() ? 1 : 0;

            QVERIFY2(rowsOf(file) == expected, context.constData());
            for (const QString& name : QDir(folder.path()).entryList(QDir::Files)) {
                if (folder.file(name) == file || !name.startsWith(base + ' '))
                    continue;
                QVERIFY2(leftover.match(name).hasMatch(), qPrintable(name));
                if (name.endsWith(".BAK"))
                    QVERIFY2(rowsOf(folder.file(name)) == expected, qPrintable(name));
                // As the start-up recovery would.
                QVERIFY(QFile::remove(folder.file(name)));
            }
        }
        qInfo("%d of %d kills interrupted the compaction (a whole one took %d ms)", interrupted,
              tries, wholeMs);
        QVERIFY(interrupted > 0);
    }

    int compactionNumber() { return 1 + int(m_random.bounded(100000)); }

    QRandomGenerator m_random;

private slots:
    void initTestCase() {
        const quint32 seed = qEnvironmentVariableIsSet("TWL_CRASH_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("TWL_CRASH_SEED"))
                                 : QRandomGenerator::system()->generate();
        qInfo("TWL_CRASH_SEED=%u", seed);
        m_random.seed(seed);
    }

    void aKilledShowCompactionLeavesTheShowWhole() {
        TestFolder folder;
        const QString show = folder.file("Spring Classic.twl");
        sample::ShowSample sample;
        sample.entries = 3000;
        sample.exhibitors = 600;
        QVERIFY(sample::writeSampleShow(folder.file("Base.dat"), show, Password, sample));
        killRepeatedly(folder, show, 30);
    }

    void aKilledOrganisationCompactionLeavesEveryMember() {
        TestFolder folder;
        const QString org = folder.file("TWL.org");
        QCOMPARE(sample::addSampleMembers(org, Password, 5000), 5000);
        killRepeatedly(folder, org, 20);
    }
};

QTEST_GUILESS_MAIN(TestCompactionCrash)
#include "TestCompactionCrash.moc"
