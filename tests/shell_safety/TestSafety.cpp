#include "SampleData.h"
#include "app/Application.h"
#include "common/TWL_public.h"
#include "shell/ExtraSettings.h"
#include "shell/ShowSafetyCommands.h"
#include "shell/ui/MainTWL.h"
#include "shell/ui/RestoreBackup.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/FileBackups.h"
#include "support/CapturePrinter.h"
#include "support/FullDisk.h"
#include "support/ModalDialogs.h"
#include "support/TableRows.h"
#include "support/TestFolder.h"

#include <QAction>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

using twl::Prompt;

namespace {

constexpr auto Password = TestFolder::Password;
constexpr int SampleEntries = 40;

qint64 entriesIn(const QString& file) {
    return store::countRowsInFile(file, Password, "Entries_tbl");
}

QStringList backupPaths(const QString& file) {
    QStringList paths;
    for (const store::BackupFile& backup : store::listBackups(file))
        paths << backup.path;
    return paths;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSafety : public QObject {
    Q_OBJECT

    twl::ScriptedPrompt m_prompt;
    twl::ScriptedFileChooser m_files;
    twl::FixedClock m_clock{QDate(2026, 12, 8)};
    CapturePrinter m_printer;
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<twl::Application> m_program;

    twl::MainTWL& window() { return *m_program->mainWindow(); }
    twl::TWL_public& shared() { return m_program->shared(); }
    void trigger(const QString& name) {
        QAction* action = window().findChild<QAction*>(name);
        QVERIFY2(action, qPrintable(name));
        action->trigger();
    }

    void startProgram() {
        store::releaseAllConnections();
        m_program = std::make_unique<twl::Application>(
            twl::Seams{m_prompt, m_files, m_clock, m_printer}, m_folder->path());
        QVERIFY(m_program->start());
    }
    // Exit, as the user closes the window.
    void exitProgram() {
        window().close();
        m_program.reset();
        store::releaseAllConnections();
    }

    QString sampleShow(const QString& name, int entries = SampleEntries) {
        sample::ShowSample shape;
        shape.entries = entries;
        shape.exhibitors = entries / 2;
        shape.classesUsed = 10;
        shape.placedClasses = 0;
        const QString show = m_folder->file(name);
        if (!sample::writeSampleShow(m_folder->file("Base.dat"), show, Password, shape))
            qFatal("no sample show");
        return show;
    }

    void openShow(const QString& show) {
        m_files.script(show);
        trigger("mnuOpenShow");
    }

private slots:
    void init() {
        m_prompt.clear();
        m_folder = std::make_unique<TestFolder>();
        startProgram();
    }

    void cleanup() {
        m_program.reset();
        store::releaseAllConnections();
        m_folder.reset();
    }

    void backupNamesCarryTheFileAndTheMoment() {
        const QDateTime taken(QDate(2026, 12, 8), QTime(14, 32, 5));
        struct Case {
            QString file;
            int sequence;
            QString expected;
        };
        const Case cases[] = {
            {"/shows/Spring Classic.twl", 1,
             "/shows/Backups/Spring Classic 2026-12-08 14.32.05.twl"},
            {"/shows/Spring Classic.twl", 3,
             "/shows/Backups/Spring Classic 2026-12-08 14.32.05 (3).twl"},
            {"/twl/TWL.org", 1, "/twl/Backups/TWL 2026-12-08 14.32.05.org"},
        };
        for (const Case& c : cases)
            QCOMPARE(store::backupPathFor(c.file, taken, c.sequence), c.expected);

        // Only this file's complete backups are listed, the newest first.
        const QString show = m_folder->file("Spring.twl");
        QDir().mkpath(m_folder->file("Backups"));
        const QStringList names = {
            "Spring 2026-12-08 09.00.00.twl",         "Spring 2026-12-08 10.00.00.twl",
            "Spring 2026-12-08 10.00.00 (2).twl",     "Spring 2026-12-08 11.00.00.twl.part",
            "Spring Classic 2026-12-08 12.00.00.twl", "Spring 4711.BAK"};
        for (const QString& name : names)
            QFile(m_folder->file("Backups/" + name)).open(QIODevice::WriteOnly);
        const QString backups = m_folder->file("Backups/");
        QCOMPARE(backupPaths(show),
                 QStringList({backups + names[2], backups + names[1], backups + names[0]}));
        QCOMPARE(store::pruneBackups(show, 2), QStringList({backups + names[0]}));
        QVERIFY(QFile::exists(backups + names[3]) && QFile::exists(backups + names[4]));
    }

    void recentShowsAndWindowPlaceRules() {
        QStringList recent;
        for (int i = 1; i <= 10; ++i)
            recent = twl::withRecentShow(recent, QString("/s/%1.twl").arg(i));
        QCOMPARE(recent.size(), 8);
        QCOMPARE(recent.first(), QString("/s/10.twl"));
        QCOMPARE(recent.last(), QString("/s/3.twl"));
        // Opened again, a show moves to the top and is listed once.
        recent = twl::withRecentShow(recent, "/s/5.twl");
        QCOMPARE(recent.mid(0, 3), QStringList({"/s/5.twl", "/s/10.twl", "/s/9.twl"}));
        QCOMPARE(recent.size(), 8);
        QCOMPARE(twl::recentShowCaption(1, "/s/Spring Classic.twl"), QString("&1 Spring Classic"));
        QCOMPARE(twl::recentShowCaption(8, "/s/Tom & Jerry.TWL"), QString("&8 Tom && Jerry"));

        const QRect screen(0, 0, 800, 600);
        struct Case {
            QRect saved, expected;
        };
        const Case cases[] = {
            {{100, 50, 640, 480}, {100, 50, 640, 480}},  // fits: kept
            {{-300, 700, 640, 480}, {0, 120, 640, 480}}, // off the screen: moved onto it
            {{0, 0, 1600, 1200}, {0, 0, 800, 600}},      // too large: shrunk
            {{}, {}},                                    // never saved
        };
        for (const Case& c : cases)
            QCOMPARE(twl::fitOnScreen(c.saved, screen), c.expected);
    }

    // Close a show 25 times: the newest 20 backups remain, each whole; restoring the fifth
    // newest brings back its entries and keeps the current file as one more backup.
    void closingTwentyFiveTimesKeepsTwentyAndRestores() {
        const QString show = sampleShow("Spring Classic.twl");
        for (int close = 1; close <= 25; ++close) {
            openShow(show);
            QCOMPARE(shared().session.ShowPath, show);
            // One entry fewer before each close: backup n holds 40 - n entries.
            store::execute(shared().session.ShowConnString,
                           "DELETE FROM Entries_tbl WHERE rowid = (SELECT max(rowid) FROM "
                           "Entries_tbl)");
            trigger("mnuCloseShow");
        }
        QVERIFY(m_prompt.shown().empty());
        const QStringList backups = backupPaths(show);
        QCOMPARE(backups.size(), 20);
        for (int i = 0; i < backups.size(); ++i)
            QCOMPARE(entriesIn(backups[i]), qint64(SampleEntries - 25 + i));

        // The fifth newest; then the oldest, which keeping the current file prunes.
        struct Restore {
            int row;
            int entries;
            int currentEntries;
        };
        openShow(show);
        for (const Restore r : {Restore{4, 19, 15}, Restore{19, 33, 19}}) {
            onModal<twl::RestoreBackup>([r](twl::RestoreBackup& dialog) {
                auto* list = dialog.findChild<QTreeWidget*>("backupList");
                if (list->topLevelItemCount() != 20 ||
                    list->topLevelItem(r.row)->text(2) != QString::number(r.entries))
                    return false;
                list->setCurrentItem(list->topLevelItem(r.row));
                dialog.findChild<QPushButton*>("restoreButton")->click();
                return true;
            });
            trigger("restoreBackupAction");
            QCOMPARE(shared().session.ShowPath, show);
            QCOMPARE(m_program->dataSources().priAdo.recordSet().recordCount(), r.entries);
            QCOMPARE(entriesIn(show), qint64(r.entries));
            const QStringList after = backupPaths(show);
            QCOMPARE(after.size(), 20);
            QCOMPARE(entriesIn(after.first()), qint64(r.currentEntries)); // the file as it was
        }
        QVERIFY(m_prompt.shown().empty());
    }

    // A program killed while it writes a backup leaves the file and every backup with a name
    // whole; what it was writing is no backup and goes with the next one.
    void killedWhileBackingUpLeavesEverythingWhole() {
        const QString show = sampleShow("Spring.twl", 3000);
        const auto expected = tableRowsOf(show, Password);
        for (int run = 0; run < 4; ++run) {
            QProcess child;
            child.start(TWL_BACKUP_CHILD, {show, Password, "5"});
            QVERIFY(child.waitForStarted(30000));
            int written = 0;
            while (written < 2 + run && child.state() == QProcess::Running) {
                child.waitForReadyRead(30000);
                while (child.canReadLine() && child.readLine().size() > 0)
                    ++written;
            }
            child.waitForFinished(run * 3); // a different moment of the next backup each run
            child.kill();
            child.waitForFinished(30000);
            QCOMPARE(tableRowsOf(show, Password), expected);
            const QStringList backups = backupPaths(show);
            // One more than kept when the kill came between naming a backup and pruning.
            QVERIFY(!backups.isEmpty() && backups.size() <= 6);
            for (const QString& backup : backups)
                QCOMPARE(tableRowsOf(backup, Password), expected);
        }
        store::writeBackup(show, Password, QDateTime::currentDateTime(), 5);
        QCOMPARE(QDir(m_folder->file("Backups")).entryList({"*.part"}, QDir::Files), QStringList());
    }

    void aFullDiskIsReportedAndTheCloseGoesOn() {
        const QString show = sampleShow("Spring.twl");
        QDir().mkpath(m_folder->file("Backups"));
        FullDisk disk(m_folder->file("Backups"));
        if (!disk.mounted())
            QSKIP("mounting a small file system needs the right to do so");
        QVERIFY(disk.fill());
        openShow(show);
        const QByteArray before = contents(show);
        trigger("mnuCloseShow");
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Error"));
        QVERIFY2(m_prompt.shown()[0].text.contains(show), qPrintable(m_prompt.shown()[0].text));
        QVERIFY(shared().session.ShowPath.isEmpty());
        QCOMPARE(contents(show), before);
        QCOMPARE(QDir(m_folder->file("Backups")).entryList(QDir::Files), QStringList({"filler"}));
    }

    void recentShowsAndWindowPlaceOutliveTheProgram() {
        QStringList shows;
        for (int i = 1; i <= 10; ++i) {
            shows << sampleShow(QString("Show %1.twl").arg(i), 4);
            openShow(shows.last());
            trigger("mnuCloseShow");
        }
        // The list is on disk before the program exits, as a crash would leave it.
        const QString settings = m_folder->file(twl::ExtraSettingsFileName);
        QCOMPARE(twl::readExtraSettings(settings).recentShows.mid(0, 2),
                 QStringList({shows[9], shows[8]}));
        window().setGeometry(60, 40, 720, 580);
        const QRect placed = window().geometry();
        exitProgram();
        QVERIFY(QFile::exists(settings));
        QVERIFY(contents(m_folder->file("TWL.ini")).contains("ScorCopies")); // TWL.ini as before
        QVERIFY(!contents(m_folder->file("TWL.ini")).contains("Show1"));

        startProgram();
        QCOMPARE(window().geometry(), placed);
        for (int i = 1; i <= 8; ++i) {
            const auto* item = window().findChild<QAction*>(QString("recentShow%1Action").arg(i));
            const QString show = shows[10 - i];
            QVERIFY(item->isVisible() && item->isEnabled());
            QCOMPARE(item->text(), QString("&%1 Show %2").arg(i).arg(11 - i));
            QCOMPARE(item->toolTip(), show);
        }
        // A show that is gone is taken off the list with a message.
        QFile::remove(shows[9]);
        trigger("recentShow1Action");
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QVERIFY(m_prompt.shown()[0].text.contains(shows[9]));
        QVERIFY(shared().session.ShowPath.isEmpty());
        QCOMPARE(m_program->safety()->settings().recentShows.first(), shows[8]);
        QCOMPARE(twl::readExtraSettings(settings).recentShows.first(), shows[8]);
        trigger("recentShow1Action");
        QCOMPARE(shared().session.ShowPath, shows[8]);
        QVERIFY(!window().findChild<QAction*>("recentShow2Action")->isEnabled());
    }

    void aShowFromTheCommandLine_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<bool>("opens");
        QTest::newRow("blanks, accents, a semicolon") << "Spring Classic; Été à Nîmes.twl" << true;
        QTest::newRow("without its extension") << "Spring Classic; Été à Nîmes" << true;
        QTest::newRow("no such file") << "Autumn.twl" << false;
    }

    void aShowFromTheCommandLine() {
        QFETCH(QString, given);
        QFETCH(bool, opens);
        const QString show = sampleShow("Spring Classic; Été à Nîmes.twl");
        m_program->openShowFromCommandLine(m_folder->file(given));
        QCOMPARE(shared().session.ShowPath, opens ? show : QString());
        if (opens) {
            QCOMPARE(window().windowTitle(), " Trotwell   " + show);
            QVERIFY(m_prompt.shown().empty());
        } else {
            QCOMPARE(m_prompt.shown().size(), size_t(1));
            QCOMPARE(m_prompt.shown()[0].text, QString("Show database file version 2 required."));
        }
    }

    void organisationFileBackedUpOnceADayAtExit() {
        const QString organisation = m_folder->file("TWL.org");
        struct Case {
            QDate day;
            int backups;
        };
        const Case cases[] = {{{2026, 12, 8}, 1}, {{2026, 12, 8}, 1}, {{2026, 12, 9}, 2}};
        for (const Case& c : cases) {
            m_clock.set(c.day);
            exitProgram();
            QCOMPARE(backupPaths(organisation).size(), qsizetype(c.backups));
            startProgram();
        }
        QCOMPARE(tableRowsOf(backupPaths(organisation).first(), Password),
                 tableRowsOf(organisation, Password));
    }
};

QTEST_MAIN(TestSafety)
#include "TestSafety.moc"
