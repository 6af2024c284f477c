#include "app/Application.h"
#include "common/CommandStates.h"
#include "common/TWL_public.h"
#include "entries/EntryFields.h"
#include "entries/ui/EntryCommands.h"
#include "entries/ui/EntryForm.h"
#include "entries/ui/EntryScreen.h"
#include "shell/ShowFileCommands.h"
#include "shell/ui/MainTWL.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/DataFiles.h"
#include "store/FileLock.h"
#include "store/RecordSet.h"
#include "support/CapturePrinter.h"
#include "support/DamagedFiles.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestFolder.h"
#include "support/WithoutPermissionOverride.h"

#include <QAction>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>
#include <csignal>

using twl::Prompt;

class TestShowFiles : public QObject {
    Q_OBJECT

    twl::ScriptedPrompt m_prompt;
    twl::ScriptedFileChooser m_files;
    twl::FixedClock m_clock{QDate(2026, 12, 7)};
    CapturePrinter m_printer;
    twl::Seams m_services{m_prompt, m_files, m_clock, m_printer};
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

    twl::EntryScreen& entryScreen() {
        return *window().findChild<twl::EntryScreen*>("EntryScreen");
    }
    twl::EntryCommands& entryCommands() {
        return *window().findChild<twl::EntryCommands*>("EntryCommands");
    }
    bool adding() { return entryScreen().form().cancelButton()->isEnabled(); }

    // With no show open nothing that needs one can be used: the commands are those of the
    // no-show state, and the entry fields and their buttons are off.
    void expectNoShowState(const char* after) {
        const twl::CommandStates states = twl::commandStatesFor(twl::ShowState::NoShow);
        for (auto it = states.commands.cbegin(); it != states.commands.cend(); ++it)
            QVERIFY2(enabled(qPrintable(it.key())) == it.value(),
                     qPrintable(it.key() + " after " + after));
        for (auto it = states.buttons.cbegin(); it != states.buttons.cend(); ++it)
            QVERIFY2(window().toolbarAction(it.key())->isEnabled() == it.value(),
                     qPrintable(it.key() + " after " + after));
        const twl::EntryForm& form = entryScreen().form();
        for (int i = 0; i < twl::EntryFieldCount; ++i)
            QVERIFY2(!form.field(i)->isEnabled(),
                     qPrintable(QString("TXT1_%1 after ").arg(i) + after));
        for (QPushButton* button : {form.okButton(), form.updateButton(), form.cancelButton(),
                                    form.multiClassButton(), form.memberButton()})
            QVERIFY2(!button->isEnabled(), qPrintable(button->objectName() + " after " + after));
        QVERIFY2(!window().isFrameLocked(), after);
    }

    QString writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(m_folder->file(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    }

    // Open refused with a message of the given title that names the file.
    void expectRefusedWith(const QString& path, const QString& title, const QString& says) {
        m_prompt.clear();
        m_files.script(path);
        trigger("mnuOpenShow");
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, title);
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Critical);
        QVERIFY2(m_prompt.shown()[0].text.contains(path), qPrintable(m_prompt.shown()[0].text));
        QVERIFY2(m_prompt.shown()[0].text.contains(says), qPrintable(m_prompt.shown()[0].text));
        expectNoShowOpen();
    }

    static QByteArray contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static int revisionOf(const QString& show) {
        store::Connection connection(show, TestFolder::Password);
        store::Statement revision = connection.prepare("PRAGMA user_version");
        revision.step();
        return int(revision.columnInt64(0));
    }

    // What a compaction leaves beside the show: its backup or its unfinished copy.
    QStringList backups() {
        QStringList found;
        QDirIterator it(m_folder->path(), {"*.BAK", "*.CMP"}, QDir::Files);
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
        twl::Application other(twl::Seams{otherPrompt, otherFiles, m_clock, m_printer},
                               otherFolder.path());
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

    // A dialog closed earlier with Cancel (a member deletion confirmation) leaves
    // DialogCancelled set: a file chosen afterwards is still created and opened, and a compacted
    // show is still opened again.
    void anEarlierCancelledDialogStopsNoOpen() {
        shared().session.DialogCancelled = true;
        m_files.script(m_folder->file("Spring"));
        trigger("mnuNewShow");
        const QString show = m_folder->file("Spring.twl");
        QVERIFY(QFile::exists(show));
        QCOMPARE(shared().session.ShowPath, show);
        QCOMPARE(lastAction(), "Open show named " + show);
        QVERIFY(enabled("mnuCloseShow"));

        trigger("mnuCloseShow");
        shared().session.DialogCancelled = true;
        m_files.script(show);
        trigger("mnuOpenShow");
        QCOMPARE(shared().session.ShowPath, show);

        shared().session.DialogCancelled = true;
        trigger("mnuCompact");
        QCOMPARE(shared().session.ShowPath, show);
        QCOMPARE(lastAction(), "Open show named " + show);
        QVERIFY(enabled("mnuCloseShow"));
        QVERIFY(!shared().session.DialogCancelled);

        // Cancelling the file dialog itself still stops Open.
        trigger("mnuCloseShow");
        trigger("mnuOpenShow");
        expectNoShowOpen();
    }

    // A file command chosen again while the file dialog of New Show runs its event loop is
    // dropped: New Show creates and opens its own file, and nothing else is asked or opened.
    void aFileCommandReenteredFromItsDialogIsDropped() {
        struct ReenteringChooser : twl::FileChooser {
            std::function<void()> whileOpen;
            QString answer;
            int asked = 0;
            QString choose(const Request&) override {
                ++asked;
                if (auto once = std::exchange(whileOpen, {}))
                    once();
                return answer;
            }
        } chooser;
        twl::Seams services{m_prompt, chooser, m_clock, m_printer};
        m_program.reset();
        store::releaseAllConnections();
        m_program = std::make_unique<twl::Application>(services, m_folder->path());
        const auto end = qScopeGuard([this] { m_program.reset(); });
        QVERIFY(m_program->start());
        chooser.answer = m_folder->file("Spring.twl");
        chooser.whileOpen = [this] {
            trigger("mnuOpenShow");
            trigger("mnuNewShow");
        };
        trigger("mnuNewShow");
        QCOMPARE(chooser.asked, 1);
        QVERIFY(m_prompt.shown().empty());
        QCOMPARE(shared().session.ShowPath, chooser.answer);
        QVERIFY(enabled("mnuCloseShow"));
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

    // A file that Open refuses is left as it was, byte for byte, with nothing new beside it.
    void aRefusedFileIsNeverWritten() {
        for (const int size : {0, 1, 100, 5000}) {
            for (const char seed : {'\0', '\x0d'}) {
                QByteArray garbage(size, seed);
                for (int i = 1; i < size; ++i)
                    garbage[i] = char((i * 7919 + seed) % 251);
                const QString name = QString("Garbage %1 %2.twl").arg(size).arg(int(seed));
                const QString path = writeFile(name, garbage);
                expectRefusedOpen(path);
                QCOMPARE(contents(path), garbage);
                QCOMPARE(QDir(m_folder->path()).entryList({name + "*"}, QDir::Files),
                         QStringList{name});
            }
        }
    }

    // From a fresh start or after Close Show, whatever was typed or cancelled before, nothing
    // that needs a show can be used without one.
    void withoutAShowNothingThatNeedsOneCanBeUsed() {
        const auto typeAndCancel = [this] {
            QTest::keyClicks(entryScreen().form().field(twl::ExhibitorNoField), "12");
            entryCommands().cancel();
        };
        const std::vector<std::pair<const char*, std::function<void()>>> steps{
            {"a fresh start", [] {}},
            {"typing 12 in Exhibitor No. and Cancel", typeAndCancel},
            {"a refresh of the entry list", [this] { entryScreen().sortAndRefresh(); }},
            {"Close Show",
             [this] {
                 m_files.script(m_folder->newShow("Spring.twl"));
                 trigger("mnuOpenShow");
                 QVERIFY(enabled("mnuCloseShow"));
                 trigger("mnuCloseShow");
             }},
            {"typing and Cancel after Close Show", typeAndCancel},
        };
        for (const auto& [after, step] : steps) {
            step();
            expectNoShowState(after);
        }
    }

    // A click that was queued while a command ran never starts its command half-way through
    // that one; nor afterwards, when that one switched it off.
    void aQueuedClickStartsNoCommandInsideAnother() {
        struct Case {
            const char* first;
            const char* queued;
            bool showOpenAfter;
            bool addingAfter;
        };
        const Case cases[] = {
            {"mnuEditEnterExh", "mnuCloseShow", true, true},
            {"mnuCloseShow", "mnuEditEnterExh", false, false},
        };
        for (const Case& c : cases) {
            m_files.script(m_folder->newShow(QString("%1.twl").arg(c.first)));
            trigger("mnuOpenShow");
            QVERIFY(!shared().session.ShowPath.isEmpty());
            QMetaObject::invokeMethod(window().command(c.queued), &QAction::trigger,
                                      Qt::QueuedConnection);
            trigger(c.first);
            QCoreApplication::processEvents(); // the queued click arrives
            QVERIFY2(shared().session.ShowPath.isEmpty() != c.showOpenAfter, c.first);
            QVERIFY2(adding() == c.addingAfter, c.first);
            if (adding())
                entryCommands().cancel();
            if (enabled("mnuCloseShow"))
                trigger("mnuCloseShow");
        }
    }

    // Class logs that a program ended before it could put in place wait beside their show and
    // are written when it is opened again, over an older file of their name but not over a later
    // one; the log of a class that was not ended is dropped, and one that names no class log
    // makes no file anywhere.
    void openPutsClassLogsLeftOutInPlace() {
        const QString logs = m_folder->file("TWL Class Log/");
        QDir().mkpath(logs);
        const QDateTime waiting = QDateTime::currentDateTime().addSecs(-3600);
        struct Pending {
            int classNo;
            bool ended;
            const char* name;
            const char* fileBefore; // nullptr: none
            int fileAgeSeconds;
            const char* fileAfter; // nullptr: none
        };
        const Pending pending[] = {
            {12, true, "Class 12 Log 06-18-05.txt", nullptr, 0, "Class No. = 12\r\n"},
            {13, true, "Class 13 Log 06-18-05.txt", "older", 7200, "Class No. = 13\r\n"},
            {14, true, "Class 14 Log 06-18-05.txt", "later", 60, "later"},
            {15, false, "Class 15 Log 06-18-05.txt", nullptr, 0, nullptr},
            {16, true, "../Outside.txt", nullptr, 0, nullptr},
            {17, true, "sub/Inside.txt", nullptr, 0, nullptr},
            {18, true, ".hidden.txt", nullptr, 0, nullptr},
        };
        const QString show = m_folder->newShow("Spring.twl");
        for (const Pending& log : pending) {
            store::execute(store::dataConnectionText(show, TestFolder::Password),
                           QString("UPDATE Class_tbl SET [Class Ended] = %1 WHERE [Class No] = %2")
                               .arg(log.ended ? 1 : 0)
                               .arg(log.classNo));
            const QString beside = writeFile(
                QString(".Spring.twl.class-log-%1").arg(log.classNo),
                QByteArray(log.name) + "\nClass No. = " + QByteArray::number(log.classNo) + "\r\n");
            QFile waited(beside);
            QVERIFY(waited.open(QIODevice::ReadWrite));
            QVERIFY(waited.setFileTime(waiting, QFileDevice::FileModificationTime));
            if (!log.fileBefore)
                continue;
            QFile file(logs + log.name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(log.fileBefore);
            QVERIFY(file.flush());
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-log.fileAgeSeconds),
                                     QFileDevice::FileModificationTime));
        }
        store::releaseAllConnections();
        m_files.script(show);
        trigger("mnuOpenShow");
        QCOMPARE(shared().session.ShowPath, show);
        QStringList written;
        for (const Pending& log : pending) {
            if (!log.fileAfter)
                continue;
            QCOMPARE(contents(logs + log.name), QByteArray(log.fileAfter));
            written << log.name;
        }
        QCOMPARE(
            QDir(logs).entryList(QDir::Files | QDir::Hidden | QDir::AllDirs | QDir::NoDotAndDotDot),
            written);
        QVERIFY(!QFile::exists(m_folder->file("Outside.txt")));
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Error"));
        for (const char* refused : {"../Outside.txt", "sub/Inside.txt", ".hidden.txt"})
            QVERIFY2(m_prompt.shown()[0].text.contains(refused), refused);
        QCOMPARE(QDir(m_folder->path()).entryList({".Spring.twl.class-log-*"}, QDir::Hidden),
                 QStringList());
    }

    // What a copy of this program, stopped before it finished, left beside a show goes when the
    // show is opened or made again; every other file beside it stays.
    void leftoverCopiesGoWhenTheShowIsOpenedOrMade() {
        const QString show = m_folder->newShow("Spring.twl");
        const QStringList ours{".Spring.twl.writing-AbCdEf", ".Spring.twl.writing-QwErTy"};
        const QStringList others{"Spring.twl.backup", ".Spring.twl.writing-notes.txt",
                                 ".Autumn.twl.writing-AbCdEf"};
        for (const QString& name : ours + others)
            writeFile(name, "part of a copy");
        m_files.script(show);
        trigger("mnuOpenShow");
        QCOMPARE(shared().session.ShowPath, show);
        for (const QString& name : ours)
            QVERIFY2(!QFile::exists(m_folder->file(name)), qPrintable(name));
        for (const QString& name : others)
            QVERIFY2(QFile::exists(m_folder->file(name)), qPrintable(name));
        trigger("mnuCloseShow");

        writeFile(".Autumn.twl.writing-ZxCvBn", "part of a copy");
        m_files.script(m_folder->file("Autumn"));
        trigger("mnuNewShow");
        QCOMPARE(shared().session.ShowPath, m_folder->file("Autumn.twl"));
        QVERIFY(!QFile::exists(m_folder->file(".Autumn.twl.writing-ZxCvBn")));
        QVERIFY(!QFile::exists(m_folder->file(".Autumn.twl.writing-AbCdEf")));
    }

    // A show that cannot be read is refused for that reason, not as a file of another version.
    void aShowThatCannotBeReadIsRefusedForThatReason() {
        const QString show = m_folder->newShow("Locked.twl");
        QVERIFY(QFile::setPermissions(show, QFile::WriteOwner));
        WithoutPermissionOverride asAUser;
        if (QFile(show).open(QIODevice::ReadOnly))
            QSKIP("this test's user may read any file");
        expectRefusedWith(show, "Trotwell, File Error", "Permission denied");
        QVERIFY(!m_prompt.shown()[0].text.contains("version"));
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
        // The file could not be backed up before the compaction either, which is said first.
        QCOMPARE(m_prompt.shown().size(), size_t(2));
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Error"));
        QCOMPARE(m_prompt.shown()[1].title, QString("Error when repairing/Compressing database"));
        // The folder is the cause, not a file of the compaction's own.
        const QString text = m_prompt.shown()[1].text;
        QVERIFY2(text.contains(m_folder->file("shows")) && !text.contains(".CMP"),
                 qPrintable(text));
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), before);
        QVERIFY(backups().isEmpty());
        // The show's lock file cannot be removed from a read-only folder either.
        QStringList left = QDir(m_folder->file("shows")).entryList(QDir::Files);
        left.removeAll("Spring.twl.lock");
        QCOMPARE(left, QStringList{"Spring.twl"});
        expectNoShowOpen();
    }

    void aDamagedShowIsNotOpened() {
        const QString good = m_folder->newShow("Good.twl");
        damaged::addEntries(good, TestFolder::Password, 2000);
        const qint64 pages = damaged::pageCount(good);
        // Pages of the show information, the classes, the entries and their indexes: none of
        // them may open as a show with fewer entries.
        for (const qint64 page :
             {qint64(1), qint64(4), pages / 5, pages / 2, 4 * pages / 5, pages - 1}) {
            const QString show = m_folder->file(QString("Damaged %1.twl").arg(page));
            QVERIFY(QFile::copy(good, show));
            QVERIFY(damaged::damagePage(show, page));
            const QByteArray before = contents(show);
            expectRefusedWith(show, "Trotwell, Damaged File", "is damaged and cannot be opened");
            QCOMPARE(m_prompt.beeps(), 1);
            QCOMPARE(contents(show), before);
        }
        m_files.script(good);
        trigger("mnuOpenShow");
        QCOMPARE(shared().session.ShowPath, good);
        QCOMPARE(m_program->dataSources().priAdo.recordSet().recordCount(), 2000);
    }

    void aShowWithoutItsTablesOrStoredQueriesIsNotOpened() {
        const QString noEntries = m_folder->newShow("NoEntries.twl");
        store::execute(store::dataConnectionText(noEntries, TestFolder::Password),
                       "DROP TABLE Entries_tbl");
        const QString noQuery = m_folder->newShow("NoQuery.twl");
        store::execute(store::dataConnectionText(noQuery, TestFolder::Password),
                       "DROP VIEW EndClass_Q");
        store::releaseAllConnections();
        expectRefusedWith(noEntries, "Trotwell, Damaged File", "it lacks Entries_tbl.");
        expectRefusedWith(noQuery, "Trotwell, Damaged File", "it lacks EndClass_Q.");
    }

    void aShowOfANewerProgramIsRefusedAndAnOlderOneBroughtUpToDate() {
        const QString newer = m_folder->newShow("Newer.twl");
        store::execute(store::dataConnectionText(newer, TestFolder::Password),
                       QString("PRAGMA user_version = %1").arg(store::ShowSchemaRevision + 1));
        store::releaseAllConnections();
        const QByteArray before = contents(newer);
        expectRefusedWith(newer, "Trotwell, Incompatible File",
                          "was made by a newer version of Trotwell");
        QCOMPARE(contents(newer), before);

        const QString older = m_folder->newShow("Older.twl");
        store::execute(store::dataConnectionText(older, TestFolder::Password),
                       "PRAGMA user_version = 0");
        store::releaseAllConnections();
        m_prompt.clear();
        m_files.script(older);
        trigger("mnuOpenShow");
        QVERIFY(m_prompt.shown().empty());
        QCOMPARE(shared().session.ShowPath, older);
        QCOMPARE(revisionOf(older), store::ShowSchemaRevision);
    }

    void aShowOpenInAnotherProgramIsRefusedUntilThatProgramEnds() {
        const QString show = m_folder->newShow("Shared.twl");
        TestFolder otherProgram;
        QProcess holder;
        holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        holder.start(TWL_SHOW_HOLDER, {otherProgram.path(), show});
        QVERIFY(holder.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += holder.readAllStandardOutput()).startsWith("open"),
                                 60000);

        expectRefusedWith(show, "Trotwell, File In Use", "is open in another Trotwell program");
        QCOMPARE(m_prompt.beeps(), 1);

        // Killed outright, the other program lets go of the show.
        ::kill(pid_t(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished());
        m_prompt.clear();
        m_files.script(show);
        trigger("mnuOpenShow");
        QVERIFY(m_prompt.shown().empty());
        QCOMPARE(shared().session.ShowPath, show);

        // Now this program holds it, also across Repair / Compress, which closes and reopens it.
        auto tryFromTheOtherProgram = [&] {
            QProcess other;
            other.start(TWL_SHOW_HOLDER, {otherProgram.path(), show});
            if (!other.waitForFinished(60000)) {
                other.kill();
                other.waitForFinished();
                return QByteArray("still running: it opened the show");
            }
            return other.exitCode() == 3 ? other.readAllStandardOutput() : QByteArray("opened");
        };
        QVERIFY(tryFromTheOtherProgram().contains("is open in another Trotwell program"));
        trigger("mnuCompact");
        QCOMPARE(shared().session.ShowPath, show);
        QVERIFY(store::FileLock(show).state() == store::FileLock::State::HeldElsewhere);
        QVERIFY(tryFromTheOtherProgram().contains("is open in another Trotwell program"));

        // Closed here, it opens there.
        trigger("mnuCloseShow");
        QProcess after;
        after.start(TWL_SHOW_HOLDER, {otherProgram.path(), show});
        QVERIFY(after.waitForStarted());
        said.clear();
        QTRY_VERIFY_WITH_TIMEOUT((said += after.readAllStandardOutput()).startsWith("open"), 60000);
        QVERIFY(!said.contains("another"));
        after.kill();
        after.waitForFinished();
    }

    void aShowInAReadOnlyFolderOpensWithoutALock() {
        QVERIFY(QDir().mkpath(m_folder->file("cd")));
        const QString show = m_folder->file("cd/Spring.twl");
        QVERIFY(QFile::copy(m_folder->file("Base.dat"), show));
        ReadOnlyFolder locked(m_folder->file("cd"));
        if (locked.writable())
            QSKIP("this file system lets the test's user write anywhere");
        // No program can write to a show there, so none can lose another's work.
        QCOMPARE(store::FileLock(show).state(), store::FileLock::State::NotPossible);
        m_files.script(show);
        trigger("mnuOpenShow");
        QVERIFY(m_prompt.shown().empty());
        QCOMPARE(shared().session.ShowPath, show);
        trigger("mnuCloseShow");
        QCOMPARE(QDir(m_folder->file("cd")).entryList(QDir::Files), QStringList{"Spring.twl"});
    }

    void openPutsBackAShowThatAnInterruptedCompactionLeftIncomplete() {
        const QString show = m_folder->newShow("Spring.twl");
        damaged::addEntries(show, TestFolder::Password, 300);
        const QString backup = m_folder->file("Spring 4711.BAK");
        QVERIFY(QFile::copy(show, backup));
        QVERIFY(damaged::truncateTo(show, QFileInfo(show).size() / 3));
        QVERIFY(QFile::copy(show, m_folder->file("Spring 4711.CMP")));
        m_files.script(show);
        trigger("mnuOpenShow");
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Recovered"));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Information);
        QVERIFY(m_prompt.shown()[0].text.contains(show));
        QVERIFY(m_prompt.shown()[0].text.contains(backup));
        QCOMPARE(shared().session.ShowPath, show);
        QCOMPARE(m_program->dataSources().priAdo.recordSet().recordCount(), 300);
        QVERIFY(backups().isEmpty());
        QVERIFY(!QFile::exists(m_folder->file("Spring 4711.CMP")));
        QVERIFY(QFile::exists(show + ".damaged"));

        // A backup beside a good show is a stray: removed without a word.
        trigger("mnuCloseShow");
        QVERIFY(QFile::copy(show, m_folder->file("Spring 5.BAK")));
        m_prompt.clear();
        m_files.script(show);
        trigger("mnuOpenShow");
        QVERIFY(m_prompt.shown().empty());
        QCOMPARE(shared().session.ShowPath, show);
        QVERIFY(backups().isEmpty());
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
        // The file could not be backed up before the compaction either, which is said first.
        QCOMPARE(m_prompt.shown().size(), size_t(2));
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Error"));
        QCOMPARE(m_prompt.shown()[1].title, QString("Error when repairing/Compressing database"));
        QVERIFY(m_prompt.shown()[1].text.contains("   "));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), damaged);
        QVERIFY(backups().isEmpty());
        expectNoShowOpen();
        QVERIFY(!QGuiApplication::overrideCursor());
    }
};

QTEST_MAIN(TestShowFiles)
#include "TestShowFiles.moc"
