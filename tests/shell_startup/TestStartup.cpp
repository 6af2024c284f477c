#include "app/Application.h"
#include "common/TWL_public.h"
#include "shell/DisplayModes.h"
#include "shell/ui/MainTWL.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/DataFiles.h"
#include "store/RecordSet.h"
#include "support/CapturePrinter.h"
#include "support/DamagedFiles.h"
#include "support/TestFolder.h"

#include <QAction>
#include <QDirIterator>
#include <QtTest>

using twl::Prompt;

namespace {

QStringList filesIn(const QString& folder) {
    QStringList names;
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext())
        names << QFileInfo(it.next()).fileName();
    names.sort();
    return names;
}

const twl::DisplayMode Wide{1024, 768, 32, 60};
const twl::DisplayMode Classic{800, 600, 32, 60};

// A display that offers the program's mode, so that the display check needs no dialog.
std::unique_ptr<twl::FakeDisplayModes> displayWith(std::vector<twl::DisplayMode> modes) {
    return std::make_unique<twl::FakeDisplayModes>(Wide, std::move(modes));
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

    twl::ScriptedPrompt m_prompt;
    twl::ScriptedFileChooser m_files;
    twl::FixedClock m_clock{QDate(2026, 12, 7)};
    CapturePrinter m_printer;
    twl::Seams m_services{m_prompt, m_files, m_clock, m_printer};

    void expectFileError(const QString& text) {
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Error"));
        QCOMPARE(m_prompt.shown()[0].text, text);
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Critical);
        QCOMPARE(m_prompt.shown()[0].buttons, Prompt::Buttons::Ok);
        QCOMPARE(m_prompt.beeps(), 1);
    }

private slots:
    void init() {
        m_prompt.clear();
        store::releaseAllConnections();
    }

    void missingSupportLibraryEndsStartupWritingNothing() {
        TestFolder folder(false);
        QVERIFY(folder.copyIn("TWL.org"));
        twl::Application program(m_services, folder.path());
        QVERIFY(!program.start());
        expectFileError("Missing Program File(s) DLL001, TWL.DLL must be in installation folder.");
        QCOMPARE(filesIn(folder.path()), QStringList({"TWL.org"}));
    }

    // A support library that is there but cannot be used ends start-up as a missing one does,
    // with its own message.
    void damagedSupportLibraryEndsStartupWritingNothing() {
        const auto library = [](qint64 keep) {
            QFile dll(QStringLiteral(TWL_APP_DIR "/TWL.dll"));
            return dll.open(QIODevice::ReadOnly) ? dll.read(keep) : QByteArray();
        };
        QFile other(QStringLiteral(TWL_OTHER_LIBRARY));
        QVERIFY(other.open(QIODevice::ReadOnly));
        const std::pair<const char*, QByteArray> cases[] = {
            {"text", QByteArray("MZ this is no library\r\n").repeated(40)},
            {"cut short", library(4096)},
            {"another library", other.readAll()},
        };
        for (const auto& [name, bytes] : cases) {
            m_prompt.clear();
            TestFolder folder(false);
            QVERIFY(folder.copyIn("TWL.org"));
            QFile dll(folder.file("TWL.dll"));
            QVERIFY(dll.open(QIODevice::WriteOnly) && dll.write(bytes) == bytes.size());
            dll.close();
            twl::Application program(m_services, folder.path());
            // No display dialog, should start-up go on.
            program.setDisplay(displayWith({Classic}),
                               [](const twl::DisplayMode&) { return true; });
            QVERIFY2(!program.start(), name);
            QCOMPARE(m_prompt.shown().size(), size_t(1));
            QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Error"));
            QVERIFY2(m_prompt.shown()[0].text.startsWith(
                         "Damaged Program File DLL001, TWL.DLL in the installation folder cannot "
                         "be used ("),
                     qPrintable(m_prompt.shown()[0].text));
            QCOMPARE(filesIn(folder.path()), QStringList({"TWL.dll", "TWL.org"}));
        }
    }

    void missingOrganisationFileEndsStartupWritingNothing() {
        TestFolder folder(false);
        QVERIFY(folder.copyIn("TWL.dll"));
        QVERIFY(folder.copyIn("Base.dat"));
        twl::Application program(m_services, folder.path());
        QVERIFY(!program.start());
        expectFileError("Missing Program File(s) ORG001, TWL.ORG must be in installation folder.");
        QCOMPARE(filesIn(folder.path()), QStringList({"Base.dat", "TWL.dll"}));
    }

    void startsIdleWithNoShowAndTheOrganisationLoaded() {
        TestFolder folder(false);
        QVERIFY(folder.copyIn("TWL.dll"));
        QVERIFY(folder.copyIn("TWL.org")); // no Base.dat: not needed to start
        twl::Application program(m_services, folder.path());
        program.setDisplay(displayWith({Classic}), [](const twl::DisplayMode&) { return true; });
        QVERIFY(program.start());
        QVERIFY(m_prompt.shown().empty());
        QCOMPARE(program.shared().session.AppFolder, folder.path());
        QCOMPARE(program.shared().session.DbPassword, QString("Tr0tW"));
        QCOMPARE(program.shared().session.OrgConnString,
                 store::dataConnectionText(folder.path() + "TWL.org", "Tr0tW"));
        QCOMPARE(program.shared().org.OrgName, QString("Horse Show Association"));
        QVERIFY(program.shared().org.IsPrcnt);
        QVERIFY(program.shared().org.CutOff > 0);
        QVERIFY(program.shared().session.ShowPath.isEmpty());
        QVERIFY(program.shared().settings.CheckResolution); // no TWL.ini: the defaults
        QCOMPARE(program.shared().settings.ScoreCopies, qint16(1));
        QVERIFY(QFileInfo(folder.path() + "TWL Class Log").isDir());
        QVERIFY(QFileInfo::exists(folder.path() + "TWL Class Log"));
        QCOMPARE(QDir::currentPath() + "/", folder.path());

        twl::MainTWL* window = program.mainWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QString("Trotwell"));
        QVERIFY(window->findChild<QAction*>("mnuOpenShow")->isEnabled());
        QVERIFY(!window->findChild<QAction*>("mnuCloseShow")->isEnabled());
    }

    void anOlderOrganisationFileIsBroughtUpToDate() {
        TestFolder folder;
        const QString org = store::dataConnectionText(folder.file("TWL.org"), "Tr0tW");
        // As a file of the first revision is: no points ledger.
        store::execute(org, "DROP TABLE PointsLedger_tbl");
        store::execute(org, "PRAGMA user_version = 0");
        store::releaseAllConnections();
        twl::Application program(m_services, folder.path());
        QVERIFY(program.start());
        store::Statement revision = store::connectionFor(org)->prepare("PRAGMA user_version");
        QVERIFY(revision.step());
        QCOMPARE(revision.columnInt64(0), qint64(store::OrganisationSchemaRevision));
        QVERIFY(store::connectionFor(org)->isTable("PointsLedger_tbl"));
    }

    void anUnusableOrganisationFileEndsStartupWritingNothing() {
        struct Case {
            const char* name;
            std::function<void(const QString& org)> spoil;
            const char* says;
        };
        const std::vector<Case> cases{
            {"a damaged page",
             [](const QString& org) {
                 QVERIFY(damaged::damagePage(org, damaged::pageCount(org) / 2));
             },
             "is damaged and cannot be opened ("},
            {"empty", [](const QString& org) { QVERIFY(damaged::truncateTo(org, 0)); },
             "is damaged and cannot be opened ("},
            {"without its members",
             [](const QString& org) {
                 store::execute(store::dataConnectionText(org, "Tr0tW"), "DROP TABLE Members_tbl");
             },
             "it lacks Members_tbl."},
            {"without any table",
             [](const QString& org) {
                 QVERIFY(QFile::remove(org));
                 store::Connection bare(org, "Tr0tW", store::Connection::Mode::Create);
                 bare.execute(
                     QString("PRAGMA user_version = %1").arg(store::OrganisationSchemaRevision));
             },
             "it lacks Members_tbl, Points_tbl, PaySch_tbl, OrgData_tbl, PointsLedger_tbl."},
            {"of a newer program",
             [](const QString& org) {
                 store::execute(store::dataConnectionText(org, "Tr0tW"),
                                QString("PRAGMA user_version = %1")
                                    .arg(store::OrganisationSchemaRevision + 1));
             },
             "was made by a newer version of Trotwell"},
        };
        for (const Case& c : cases) {
            m_prompt.clear();
            TestFolder folder;
            const QString org = folder.file("TWL.org");
            c.spoil(org);
            store::releaseAllConnections();
            QFile file(org);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray before = file.readAll();
            file.close();
            const QStringList files = filesIn(folder.path());
            {
                twl::Application program(m_services, folder.path());
                QVERIFY2(!program.start(), c.name);
            }
            QCOMPARE(m_prompt.shown().size(), size_t(1));
            const QString text = m_prompt.shown()[0].text;
            QVERIFY2(text.contains(org) && text.contains(c.says), qPrintable(text));
            QVERIFY2(text.contains("put back a good copy of TWL.org") ==
                         !text.contains("newer version"),
                     qPrintable(text));
            expectFileError(text);
            // Never compacted, never written: the file is as it was, and nothing was added.
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY2(file.readAll() == before, c.name);
            file.close();
            QCOMPARE(filesIn(folder.path()), files);
        }
    }

    void anOrganisationFileLeftIncompleteAtExitIsPutBackFromItsCopy() {
        TestFolder folder;
        const QString org = folder.file("TWL.org");
        store::execute(store::dataConnectionText(org, "Tr0tW"),
                       "INSERT INTO Members_tbl ([Mem Num], [Mem Nam]) VALUES ('A7', 'Kept')");
        store::releaseAllConnections();
        QVERIFY(QFile::copy(org, folder.file("TWL 4711.BAK")));
        QVERIFY(damaged::truncateTo(org, 2048)); // killed while the compacted copy was written
        {
            twl::Application program(m_services, folder.path());
            QVERIFY(program.start());
            QCOMPARE(m_prompt.shown().size(), size_t(1));
            QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Recovered"));
            QVERIFY(m_prompt.shown()[0].text.contains(folder.file("TWL 4711.BAK")));
            store::RecordSet members;
            members.open("Members_tbl", program.shared().session.OrgConnString);
            QCOMPARE(members.recordCount(), 1);
        }
        QVERIFY(!QFile::exists(folder.file("TWL 4711.BAK")));

        // Killed after moving the file to its backup name: the file is missing, the copy is not.
        QVERIFY(QFile::rename(org, folder.file("TWL 58.BAK")));
        m_prompt.clear();
        store::releaseAllConnections();
        {
            twl::Application program(m_services, folder.path());
            QVERIFY(program.start());
            QCOMPARE(m_prompt.shown().size(), size_t(1));
            QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Recovered"));
        }
        QVERIFY(QFile::exists(org));

        // Finished compactions whose clean-up was lost: their files go without a word.
        QVERIFY(QFile::copy(org, folder.file("TWL 12.BAK")));
        QVERIFY(QFile::copy(org, folder.file("TWL 13.CMP")));
        m_prompt.clear();
        store::releaseAllConnections();
        twl::Application program(m_services, folder.path());
        QVERIFY(program.start());
        QVERIFY(m_prompt.shown().empty());
        for (const QString& name : filesIn(folder.path()))
            QVERIFY2(!name.endsWith(".BAK") && !name.endsWith(".CMP"), qPrintable(name));
        store::RecordSet members;
        members.open("Members_tbl", program.shared().session.OrgConnString);
        QCOMPARE(members.recordCount(), 1);
    }

    void anExistingClassLogFolderIsLeftAlone() {
        TestFolder folder;
        QVERIFY(QDir().mkpath(folder.path() + "TWL Class Log"));
        QFile log(folder.path() + "TWL Class Log/Class 1.txt");
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("kept");
        log.close();
        twl::Application program(m_services, folder.path());
        QVERIFY(program.start());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("kept"));
    }

    void settingsAreReadAtStartAndWrittenAtExit() {
        TestFolder folder;
        QFile ini(folder.path() + "TWL.ini");
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\r\nCheckRes=False\r\nScorCopies=3\r\nPaySkipPP=maybe\r\n");
        ini.close();
        twl::Application program(m_services, folder.path());
        QVERIFY(program.start());
        QVERIFY(!program.shared().settings.CheckResolution);
        QCOMPARE(program.shared().settings.ScoreCopies, qint16(3));
        QVERIFY(
            !program.shared().settings.PaySkipPreview); // an odd value falls back to the default
        program.shared().settings.ScoreSkipPreview = true;
        program.mainWindow()->findChild<QAction*>("mnuFileExit")->trigger();
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), QByteArray("[Settings]\r\nCheckRes=False\r\nScorCopies= 3\r\n"
                                           "PaySkipPP=False\r\nScorSkipPP=True\r\n"));
    }

    void exitWritesDefaultsAndCompactsTheOrganisationFile() {
        TestFolder folder;
        const QString org = folder.path() + "TWL.org";
        store::execute(store::dataConnectionText(org, "Tr0tW"),
                       "INSERT INTO Members_tbl ([Mem Num], [Mem Nam]) VALUES ('A7', 'Kept')");
        store::releaseAllConnections();
        QVERIFY(QFile::remove(folder.file("TWL.ini")));
        {
            twl::Application program(m_services, folder.path());
            program.setDisplay(displayWith({Classic}),
                               [](const twl::DisplayMode&) { return true; });
            QVERIFY(program.start());
            program.mainWindow()->close();
        }
        QVERIFY(m_prompt.shown().empty());
        QFile ini(folder.path() + "TWL.ini");
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), QByteArray("[Settings]\r\nScorSkipPP=False\r\nPaySkipPP=False\r\n"
                                           "CheckRes=True\r\nScorCopies= 1\r\n"));
        for (const QString& name : filesIn(folder.path()))
            QVERIFY2(!name.endsWith(".BAK") && !name.endsWith(".CMP"), qPrintable(name));
        store::RecordSet members;
        members.open("Members_tbl", store::dataConnectionText(org, "Tr0tW"));
        QCOMPARE(members.recordCount(), 1);
    }

    void aFailedExitCompactionIsShownAndKeepsTheFile() {
        TestFolder folder;
        twl::Application program(m_services, folder.path());
        QVERIFY(program.start());
        program.shared().session.DbPassword = "wrong"; // the compaction cannot read the file
        program.mainWindow()->close();
        // The file could not be backed up before the compaction either, which is said first.
        QCOMPARE(m_prompt.shown().size(), size_t(2));
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Error"));
        QCOMPARE(m_prompt.shown()[1].title, QString("Error when repairing/Compressing database"));
        QVERIFY(m_prompt.shown()[1].text.contains("   "));
        QCOMPARE(m_prompt.shown()[1].icon, Prompt::Icon::Critical);
        store::RecordSet org;
        org.open("OrgData_tbl", store::dataConnectionText(folder.path() + "TWL.org", "Tr0tW"));
        QCOMPARE(org.recordCount(), 1);
        QVERIFY(QFileInfo::exists(folder.path() + "TWL.ini"));
        for (const QString& name : filesIn(folder.path()))
            QVERIFY2(!name.endsWith(".BAK") && !name.endsWith(".CMP"), qPrintable(name));
    }

    void theDisplayIsSwitchedAtStartAndBackAtExit() {
        TestFolder folder;
        QVERIFY(QFile::remove(folder.file("TWL.ini")));
        auto display = displayWith({{800, 600, 16, 60}, Classic});
        twl::FakeDisplayModes& modes = *display;
        twl::Application program(m_services, folder.path());
        program.setDisplay(std::move(display), [](const twl::DisplayMode&) { return true; });
        QVERIFY(program.start());
        QCOMPARE(modes.changes().size(), size_t(1));
        QCOMPARE(modes.changes()[0].width, 800);
        QCOMPARE(modes.changes()[0].bitsPerPixel, 32);
        program.mainWindow()->close();
        QCOMPARE(modes.changes().size(), size_t(2));
        QCOMPARE(modes.changes()[1].width, 1024);
        QCOMPARE(modes.changes()[1].height, 768);
    }

    void exitInTheDisplayDialogEndsBeforeAnyDatabaseIsOpened() {
        TestFolder folder;
        QVERIFY(QFile::remove(folder.file("TWL.ini")));
        int asked = 0;
        twl::Application program(m_services, folder.path());
        program.setDisplay(displayWith({{800, 600, 16, 60}}), [&](const twl::DisplayMode& saved) {
            ++asked;
            return saved.width != 1024; // the user chooses Exit
        });
        QVERIFY(!program.start());
        QCOMPARE(asked, 1);
        QVERIFY(program.shared().session.DbPassword.isEmpty());
        QVERIFY(program.shared().session.OrgConnString.isEmpty());
        QVERIFY(!QFile::exists(folder.file("TWL.ini")));
    }

    void aSecondInstanceBeepsAndEnds() {
        TestFolder folder;
        twl::Application first(m_services, folder.path());
        QVERIFY(first.start());
        twl::ScriptedPrompt secondPrompt;
        twl::Seams secondServices{secondPrompt, m_files, m_clock, m_printer};
        twl::Application second(secondServices, folder.path());
        QVERIFY(!second.start());
        QCOMPARE(secondPrompt.beeps(), 1);
        QVERIFY(secondPrompt.shown().empty());
        QVERIFY(second.mainWindow() == nullptr);
        first.mainWindow()->showMinimized();
        QTRY_VERIFY(!first.mainWindow()->isMinimized()); // the first comes forward
    }
};

QTEST_MAIN(TestStartup)
#include "TestStartup.moc"
