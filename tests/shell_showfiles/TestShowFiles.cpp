#include "shell/Application.h"
#include "shell/ShowFileCommands.h"
#include "shell/TWL_public.h"
#include "shell/ui/MainTWL.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/DataFiles.h"
#include "store/RecordSet.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestFolder.h"

#include <QAction>
#include <QDirIterator>
#include <QLabel>
#include <QtTest>

using twl::Prompt;

class TestShowFiles : public QObject {
    Q_OBJECT

    twl::ScriptedPrompt m_prompt;
    twl::ScriptedFileChooser m_files;
    twl::FixedClock m_clock{QDate(2026, 12, 7)};
    twl::Seams m_services{m_prompt, m_files, m_clock};
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<twl::Application> m_program;

    twl::MainTWL& window() { return *m_program->mainWindow(); }
    twl::TWL_public& shared() { return m_program->shared(); }
    bool enabled(const char* name) { return window().command(name)->isEnabled(); }
    QString lastAction() { return window().lastActionLabel()->text(); }
    void trigger(const char* name) { window().command(name)->trigger(); }

    void expectOnlyMessage(const QString& title, const QString& text, Prompt::Icon icon) {
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, title);
        QCOMPARE(m_prompt.shown()[0].text, text);
        QCOMPARE(m_prompt.shown()[0].icon, icon);
        QCOMPARE(m_prompt.shown()[0].buttons, Prompt::Buttons::Ok);
    }

    void expectNoShowOpen() {
        QVERIFY(shared().session.ShowPath.isEmpty());
        QVERIFY(shared().session.RequestedPath.isEmpty());
        QVERIFY(!shared().session.DialogCancelled);
        QVERIFY(enabled("mnuOpenShow") && enabled("mnuNewShow"));
        QVERIFY(!enabled("mnuCloseShow") && !enabled("mnuCompact"));
    }

    void expectRefusedOpen(const QString& path) {
        m_prompt.clear();
        const QString connectionBefore = shared().session.ShowConnString;
        m_files.script(path);
        trigger("mnuOpenShow");
        expectOnlyMessage("Trotwell, Incompatible File", "Show database file version 2 required.",
                          Prompt::Icon::Critical);
        expectNoShowOpen();
        QCOMPARE(shared().session.ShowConnString, connectionBefore);
        QCOMPARE(shared().session.TotClassUsed, qint16(0)); // memory untouched
    }

    QString writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(m_folder->file(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    }

    QStringList backups() {
        QStringList found;
        QDirIterator it(m_folder->path(), {"*.BAK"}, QDir::Files);
        while (it.hasNext())
            found << it.next();
        return found;
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_prompt.clear();
        m_folder = std::make_unique<TestFolder>();
        m_program = std::make_unique<twl::Application>(m_services, m_folder->path());
        QVERIFY(m_program->start());
    }

    void cleanup() {
        m_program.reset();
        store::releaseAllConnections();
        m_folder.reset();
    }

    void chosenNamesGetTheShowExtension() {
        QCOMPARE(twl::normaliseShowFileName("/shows/Spring"), QString("/shows/Spring.twl"));
        QCOMPARE(twl::normaliseShowFileName("/shows/Spring.TWL"), QString("/shows/Spring.TWL"));
        QCOMPARE(twl::normaliseShowFileName(".twl"), QString());
        QCOMPARE(twl::normaliseShowFileName("/shows/.TWL"), QString());
        QCOMPARE(twl::normaliseShowFileName("/shows/a"), QString("/shows/a.twl"));
        // The dialog returns full paths: a name of just the extension is still no choice.
        m_files.script(m_folder->file(".twl"));
        trigger("mnuNewShow");
        QVERIFY(!QFile::exists(m_folder->file(".twl")));
        expectNoShowOpen();
    }

    void twoProgramsSideBySideKeepTheirOwnSharedValues() {
        TestFolder otherFolder;
        twl::ScriptedPrompt otherPrompt;
        twl::ScriptedFileChooser otherFiles;
        twl::Application other(twl::Seams{otherPrompt, otherFiles, m_clock}, otherFolder.path());
        QVERIFY(other.start());
        QCOMPARE(other.shared().session.AppFolder, otherFolder.path());
        QCOMPARE(shared().session.AppFolder, m_folder->path());

        // A show opened in one program is not open in the other.
        m_files.script(m_folder->file("Spring"));
        trigger("mnuNewShow");
        const QString show = m_folder->file("Spring.twl");
        QCOMPARE(shared().session.ShowPath, show);
        QCOMPARE(shared().session.TotClassUsed, qint16(150));
        QVERIFY(other.shared().session.ShowPath.isEmpty());
        QCOMPARE(other.shared().session.TotClassUsed, qint16(0));
        QCOMPARE(other.mainWindow()->windowTitle(), QString("Trotwell"));
        QVERIFY(other.shared().session.ShowConnString != shared().session.ShowConnString);

        // And the other way round: what the second opens and remembers stays its own.
        otherFiles.script(otherFolder.file("Autumn"));
        other.mainWindow()->command("mnuNewShow")->trigger();
        QCOMPARE(other.shared().session.ShowPath, otherFolder.file("Autumn.twl"));
        other.shared().report.LastClassPrinted = 7;
        other.shared().org.OrgName = "Valley Riders";
        QCOMPARE(shared().session.ShowPath, show);
        QCOMPARE(shared().report.LastClassPrinted, 0);
        QVERIFY(shared().org.OrgName != "Valley Riders");
        QCOMPARE(window().windowTitle(), " Trotwell   " + show);
        QVERIFY(otherPrompt.shown().empty() && m_prompt.shown().empty());
    }

    void newShowCopiesTheTemplateAndOpensIt() {
        m_files.script(m_folder->file("Spring"));
        trigger("mnuNewShow");
        QVERIFY(m_prompt.shown().empty());
        QCOMPARE(m_files.lastRequest().title, QString("File Name for NEW Horse Show"));
        QCOMPARE(m_files.lastRequest().presetName, QString("*.twl"));
        const QString show = m_folder->file("Spring.twl");
        QCOMPARE(shared().session.ShowPath, show);
        QCOMPARE(window().windowTitle(), " Trotwell   " + show);
        QCOMPARE(lastAction(), "Open show named " + show);
        QCOMPARE(shared().session.ShowConnString, store::dataConnectionText(show, "Tr0tW"));
        QCOMPARE(shared().session.TotClassUsed, qint16(150));
        QCOMPARE(shared().report.LastClassPrinted, 0);
        // A show without entries: Add, Classes and Members, and the Print Menu right after Open.
        QVERIFY(!enabled("mnuOpenShow") && !enabled("mnuNewShow"));
        QVERIFY(enabled("mnuCloseShow") && enabled("mnuCompact") && enabled("mnuShowInfo"));
        QVERIFY(enabled("mnuFilePrint"));
        QVERIFY(window().toolbarAction("AddE")->isEnabled());
        QVERIFY(!window().toolbarAction("DelEnt")->isEnabled());
        QVERIFY(m_program->dataSources().priAdo.recordSet().isOpen());
    }

    void newShowNeverOverwritesAFile() {
        const QString existing = writeFile("Spring.twl", "my notes");
        m_files.script(existing);
        trigger("mnuNewShow");
        expectOnlyMessage("Trotwell, File Creation Error", "File Exists", Prompt::Icon::Critical);
        QCOMPARE(m_prompt.beeps(), 1);
        QFile file(existing);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("my notes"));
        expectNoShowOpen();
    }

    void newShowWithoutTheTemplate() {
        QVERIFY(QFile::remove(m_folder->file("Base.dat")));
        m_files.script(m_folder->file("Fall.twl"));
        trigger("mnuNewShow");
        expectOnlyMessage("Trotwell, File Creation Error", "Missing Program File(s) B001",
                          Prompt::Icon::Critical);
        QVERIFY(!QFile::exists(m_folder->file("Fall.twl")));
        expectNoShowOpen();
    }

    void newShowInAMissingFolder() {
        m_files.script(m_folder->file("no such folder/Fall.twl"));
        trigger("mnuNewShow");
        QCOMPARE(m_prompt.shown().size(), size_t(2));
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Error"));
        QCOMPARE(m_prompt.shown()[0].text, QString("System Error 76 Path not found"));
        QCOMPARE(m_prompt.shown()[1].title, QString("Trotwell, File Creation Error"));
        QCOMPARE(m_prompt.shown()[1].text,
                 QString("Filename would not open for testing - try a new name"));
        expectNoShowOpen();
    }

    void cancellingTheDialogChangesNothing() {
        trigger("mnuOpenShow"); // the chooser script is empty: cancelled
        QVERIFY(m_prompt.shown().empty());
        expectNoShowOpen();
        trigger("mnuNewShow");
        expectNoShowOpen();
    }

    void filesThatAreNoShowsAreRefused() {
        expectRefusedOpen(writeFile("Notes.twl", "Dear judges,\nplease be on time.\n"));
        expectRefusedOpen(writeFile("Empty.twl", ""));
        QCOMPARE(QFileInfo(m_folder->file("Empty.twl")).size(), 0);
        QByteArray noise(8192, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + 13) % 251);
        expectRefusedOpen(writeFile("Noise.twl", noise));

        // A database of another program: not encrypted, even though it has a version 2.
        const QString plain = m_folder->file("Plain.twl");
        {
            store::Connection other(plain, "", store::Connection::Mode::Create);
            other.execute("CREATE TABLE ShowData_tbl (ShoName TEXT(150), Version DOUBLE)");
            other.execute("INSERT INTO ShowData_tbl VALUES ('Not ours', 2)");
        }
        expectRefusedOpen(plain);

        QFile schema(TWL_SOURCE_DIR "/store/schema/show.sql");
        QVERIFY(schema.open(QIODevice::ReadOnly));
        const QString sql = schema.readAll();
        const QString otherPassword = m_folder->file("Other.twl");
        store::createShowTemplate(otherPassword, "qwert", sql, QDate(2026, 1, 1), true);
        expectRefusedOpen(otherPassword);

        // A file of this engine and password whose show table has no version.
        const QString noVersion = m_folder->newShow("Old.twl");
        const QString old = store::dataConnectionText(noVersion, "Tr0tW");
        store::execute(old, "DROP TABLE ShowData_tbl");
        store::execute(old, "CREATE TABLE ShowData_tbl (ShoName TEXT(150), TotClassUsed SHORT)");
        store::execute(old, "INSERT INTO ShowData_tbl VALUES ('Old show', 20)");
        store::releaseAllConnections();
        expectRefusedOpen(noVersion);

        // The next Open asks for a file again.
        m_files.script(m_folder->newShow("Good.twl"));
        trigger("mnuOpenShow");
        QCOMPARE(shared().session.ShowPath, m_folder->file("Good.twl"));
    }

    void openEmptiesTheExhibitorWorkTable() {
        const QString show = m_folder->newShow("Spring.twl");
        store::execute(store::dataConnectionText(show, "Tr0tW"),
                       "INSERT INTO Exh2Prnt_tbl (S_ExhNo, S_ExhNam) VALUES (4, 'Old')");
        shared().report.LastClassPrinted = 12;
        m_files.script(show);
        trigger("mnuOpenShow");
        store::RecordSet work;
        work.open("Exh2Prnt_tbl", shared().session.ShowConnString);
        QCOMPARE(work.recordCount(), 0);
        QCOMPARE(shared().report.LastClassPrinted, 0);
    }

    void closePointsTheDataSourcesAtTheScratchCopy() {
        m_files.script(m_folder->newShow("Spring.twl"));
        trigger("mnuOpenShow");
        const QString show = shared().session.ShowPath;
        trigger("mnuCloseShow");
        QCOMPARE(window().windowTitle(), QString(" Trotwell"));
        QCOMPARE(lastAction(), "Closed show named " + show);
        const QString scratch = m_folder->file("~Vdb.dat");
        QVERIFY(QFile::exists(scratch));
        QCOMPARE(shared().session.ShowConnString, store::dataConnectionText(scratch, "Tr0tW"));
        QCOMPARE(m_program->dataSources().secAdo.recordSource(),
                 QString("SELECT * FROM Class_tbl"));
        QCOMPARE(m_program->dataSources().adoTmp.recordSet().recordCount(), 150);
        expectNoShowOpen();
        QVERIFY(!enabled("mnuShowInfo") && !enabled("mnuFilePrint"));
        QVERIFY(!window().toolbarAction("AddE")->isEnabled());
        QVERIFY(window().toolbarAction("Mem")->isEnabled());
    }

    void compactionReopensTheShowAndLeavesNoBackup() {
        const QString show = m_folder->newShow("Spring.twl");
        m_files.script(show);
        trigger("mnuOpenShow");
        store::execute(shared().session.ShowConnString,
                       "UPDATE Class_tbl SET [Class Name] = 'Halter' WHERE [Class No] = 3");
        trigger("mnuCompact");
        expectOnlyMessage("Trotwell", "Database Repaired / Compressed successfully",
                          Prompt::Icon::Information);
        QCOMPARE(shared().session.ShowPath, show);
        QCOMPARE(lastAction(), "Open show named " + show);
        QVERIFY(backups().isEmpty());
        store::RecordSet classes;
        classes.open("SELECT * FROM Class_tbl WHERE [Class No] = 3",
                     shared().session.ShowConnString);
        QCOMPARE(classes.value("Class Name").toText(), QString("Halter"));
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void compactionInAReadOnlyFolderLeavesTheShowAsItWas() {
        QVERIFY(QDir().mkpath(m_folder->file("shows")));
        const QString show = m_folder->file("shows/Spring.twl");
        QVERIFY(QFile::copy(m_folder->file("Base.dat"), show));
        m_files.script(show);
        trigger("mnuOpenShow");
        QFile original(show);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();
        original.close();
        {
            ReadOnlyFolder locked(m_folder->file("shows"));
            if (locked.writable())
                QSKIP("this file system lets the test's user write anywhere");
            trigger("mnuCompact");
        }
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QString("Error when repairing/Compressing database"));
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), before);
        QVERIFY(backups().isEmpty());
        QVERIFY(QDir(m_folder->file("shows")).entryList(QDir::Files) == QStringList{"Spring.twl"});
        expectNoShowOpen();
    }

    void aFailedCompactionKeepsTheFileUnderItsOwnName() {
        const QString show = m_folder->newShow("Spring.twl");
        m_files.script(show);
        trigger("mnuOpenShow");
        store::releaseAllConnections();
        // The file is damaged behind the program's back: it can no longer be read.
        const QByteArray damaged(8192, 'x');
        QFile file(show);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(damaged);
        file.close();
        trigger("mnuCompact");
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QString("Error when repairing/Compressing database"));
        QVERIFY(m_prompt.shown()[0].text.contains("   "));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), damaged);
        QVERIFY(backups().isEmpty());
        expectNoShowOpen();
        QVERIFY(!QGuiApplication::overrideCursor());
    }
};

QTEST_MAIN(TestShowFiles)
#include "TestShowFiles.moc"
