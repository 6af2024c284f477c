#include "ResultsShow.h"
#include "classes/EndClassWriter.h"
#include "store/RecordSet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

// A program killed at any point of ending a class leaves the class either not ended, with no
// log, or ended with its whole log once the show is opened again: the child below ends a class
// and is killed at chosen steps and at random times, many times over.
class TestEndClassCrash : public QObject {
    Q_OBJECT

    struct Run {
        QStringList markers;
        bool killed = false;
    };

    // Ends class 12 in the files of `folder` in a child; once it has printed `stopAt` (or, with
    // none, after delayMs) it is killed if it still runs.
    static Run runChild(const QString& folder, const QString& stopAt, int delayMs) {
        Run run;
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(TWL_END_CLASS_CHILD,
                    {folder + "Spring Show.twl", folder + "TWL.org", TestFolder::Password, folder,
                     "12", stopAt.isEmpty() ? QStringLiteral("none") : stopAt});
        if (!child.waitForStarted(30000))
            return run;
        const auto readMarkers = [&] {
            while (child.canReadLine())
                run.markers << QString::fromLatin1(child.readLine()).trimmed();
        };
        if (stopAt.isEmpty()) {
            child.waitForFinished(delayMs);
        } else {
            while (!run.markers.contains(stopAt) && child.state() == QProcess::Running) {
                child.waitForReadyRead(30000);
                readMarkers();
            }
        }
        if (child.state() == QProcess::Running) {
            child.kill();
            run.killed = true;
        }
        child.waitForFinished(30000);
        readMarkers();
        return run;
    }

    twl::TWL_public m_shared;
    QRandomGenerator m_random;

private slots:
    void initTestCase() {
        const quint32 seed = qEnvironmentVariableIsSet("TWL_CRASH_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("TWL_CRASH_SEED"))
                                 : QRandomGenerator::system()->generate();
        qInfo("TWL_CRASH_SEED=%u", seed);
        m_random.seed(seed);
    }

    void anEndedClassAlwaysHasItsLog() {
        ResultsShow prepared(m_shared);
        prepared.setClass(12, "Western Pleasure", 20, 1.5);
        prepared.addEntries(12, {{101, "Anna Brooks", "M100", 1},
                                 {102, "Ben Carter", "M101", 2},
                                 {103, "Carla Dalton", "", 3},
                                 {104, "Dylan Ellis", "", 0}});
        prepared.addMember("M100", 10.0);
        prepared.addMember("M101", 4.0);
        store::releaseAllConnections();
        const QString source = prepared.folder().path();
        const QString logName = "TWL Class Log/Class 12 Log 06-18-05.txt";

        // Each run starts from the prepared files, with the class not ended.
        const auto freshCopy = [&source] {
            auto folder = std::make_unique<TestFolder>(false);
            QDir().mkpath(folder->file("TWL Class Log"));
            for (const char* name : {"Spring Show.twl", "TWL.org"})
                QFile::copy(source + name, folder->file(name));
            return folder;
        };

        QElapsedTimer clock;
        clock.start();
        const auto whole = freshCopy();
        const Run complete = runChild(whole->path(), {}, 60000);
        QVERIFY2(complete.markers.contains("done"), qPrintable(complete.markers.join(',')));
        const int wholeMs = int(clock.elapsed()) + 1;
        const QByteArray log = ResultsShow::bytes(whole->file(logName));
        QVERIFY(log.startsWith("Class No. = 12\r\n") && log.contains("Exhibitor = 103"));

        int endedWithoutLog = 0;
        for (int i = 0; i < 24; ++i) {
            // A third stop where the class is ended and its log not yet in place, a third once
            // it is, and a third are killed at any time.
            const char* stops[] = {"committed", "placed", ""};
            const QString stopAt = QString::fromLatin1(stops[i % 3]);
            const int delayMs = int(m_random.bounded(wholeMs));
            const auto folder = freshCopy();
            const Run run = runChild(folder->path(), stopAt, delayMs);
            const QByteArray context = QString("try %1: stop at '%2' or %3 ms; saw %4")
                                           .arg(i)
                                           .arg(stopAt)
                                           .arg(delayMs)
                                           .arg(run.markers.join(','))
                                           .toLocal8Bit();
            QVERIFY2(run.killed || run.markers.contains("done"), context.constData());

            const QString show =
                store::dataConnectionText(folder->file("Spring Show.twl"), TestFolder::Password);
            const auto classEnded = [&show] {
                store::RecordSet row;
                row.open("SELECT [Class Ended] FROM Class_tbl WHERE [Class No] = 12", show);
                return row.value(0).toBool();
            };
            const QString logFile = folder->file(logName);
            if (classEnded() && !QFile::exists(logFile))
                ++endedWithoutLog;
            // As opening the show again does.
            QVERIFY2(twl::finishPendingClassLogs(show, folder->path()).isEmpty(),
                     context.constData());
            QVERIFY2(ResultsShow::bytes(logFile) == (classEnded() ? log : QByteArray()),
                     context.constData());
            const QStringList pending =
                QDir(folder->path())
                    .entryList({".Spring Show.twl.class-log-*"}, QDir::Files | QDir::Hidden);
            QVERIFY2(pending.isEmpty(), qPrintable(pending.join(',')));
            const QStringList logFolder =
                QDir(folder->file("TWL Class Log")).entryList(QDir::Files | QDir::Hidden);
            QVERIFY2(logFolder.size() <= 1, qPrintable(logFolder.join(',')));
            store::releaseAllConnections();
        }
        // The kills found the class ended before its log was in place.
        QVERIFY(endedWithoutLog > 0);
        qInfo("%d of 24 kills left an ended class without its log until the show was opened; a "
              "whole run took %d ms",
              endedWithoutLog, wholeMs);
    }
};

QTEST_GUILESS_MAIN(TestEndClassCrash)
#include "TestEndClassCrash.moc"
