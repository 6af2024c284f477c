#include "app/Application.h"
#include "members/MailMerge.h"
#include "shell/ui/MainTWL.h"
#include "store/Connection.h"
#include "store/RecordSet.h"
#include "support/CapturePrinter.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestFolder.h"

#include <QAction>
#include <QDir>
#include <QtTest>

using twl::Prompt;
namespace MailMerge = twl::MailMerge;

namespace {

// Answers from a script and, like a dialog that browses, leaves another current folder behind.
class WanderingFileChooser : public twl::ScriptedFileChooser {
public:
    QString wanderTo;
    QString choose(const Request& request) override {
        if (!wanderTo.isEmpty())
            QDir::setCurrent(wanderTo);
        return ScriptedFileChooser::choose(request);
    }
};

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray golden(const char* name) {
    const QByteArray bytes = contents(QStringLiteral(TWL_MAILMERGE_GOLDEN "/") + name);
    if (bytes.isEmpty())
        qFatal("golden file %s is missing", name);
    return bytes;
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// The small register of the golden file, in the order it was added: braces and a backslash
// (escaped), accented names, characters the code page lacks, a member with nothing
// but a number, and quotes and a euro sign from the code page's upper controls.
const std::vector<MailMerge::Row>& smallRegister() {
    static const std::vector<MailMerge::Row> rows{
        {"Ann Smith", "12 Oak Road", "Apt {3}\\b", "Austin", "TX", "78701", "M002"},
        {"Zoë Brontë", "Rue du Café 5", "Stall 🐎 Łódź", "Curaçao", "ON", "K1A 0B1", "M001"},
        {"", "", "", "", "", "", "M003"},
        {"Ned “Kelly” Œil", "€5 Lane", "", "", "", "", "E9"},
    };
    return rows;
}

} // namespace

class TestMailMerge : public QObject {
    Q_OBJECT

    twl::ScriptedPrompt m_prompt;
    WanderingFileChooser m_files;
    twl::FixedClock m_clock{QDate(2026, 12, 7)};
    CapturePrinter m_printer;
    twl::Seams m_seams{m_prompt, m_files, m_clock, m_printer};
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<twl::Application> m_program;

    twl::TWL_public& shared() { return m_program->shared(); }
    void runCommand() { m_program->mainWindow()->command("mnuOrgPrnMmerge")->trigger(); }

    // Adds the small register to the organisation file; only the non-empty values are set, so
    // the number-only member has null fields.
    void addSmallRegister() {
        store::RecordSet members;
        members.open(MailMerge::RegisterQuery, shared().session.OrgConnString);
        for (const MailMerge::Row& row : smallRegister()) {
            members.addNew();
            for (int column = 0; column < MailMerge::ColumnCount; ++column) {
                if (!row[size_t(column)].isEmpty())
                    members.setValue(QString::fromLatin1(MailMerge::columnFields()[size_t(column)]),
                                     row[size_t(column)]);
            }
        }
        members.updateBatch();
    }

    // A subfolder of the test folder, so that nothing else lands in it.
    QString outFolder() {
        const QString folder = m_folder->file(QStringLiteral("out"));
        QDir().mkpath(folder);
        return folder;
    }

private slots:
    void init() {
        store::releaseAllConnections();
        m_prompt.clear();
        m_files.wanderTo.clear();
        m_folder = std::make_unique<TestFolder>();
        m_program = std::make_unique<twl::Application>(m_seams, m_folder->path());
        QVERIFY(m_program->start());
    }

    void cleanup() {
        m_program.reset();
        store::releaseAllConnections();
        m_folder.reset();
    }

    void writerGivesTheFileByteForByte_data() {
        QTest::addColumn<bool>("withMembers");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("small register") << true << golden("small-register.rtf");
        QTest::newRow("empty register: heading row only") << false << golden("empty-register.rtf");
    }
    void writerGivesTheFileByteForByte() {
        QFETCH(bool, withMembers);
        QFETCH(QByteArray, expected);
        const QString path = outFolder() + "/Merge.rtf";
        MailMerge::Writer writer(path);
        for (const MailMerge::Row& row :
             withMembers ? smallRegister() : std::vector<MailMerge::Row>{})
            writer.writeMember(row);
        QVERIFY2(writer.finish(), qPrintable(writer.errorString()));
        const QByteArray written = contents(path);
        QCOMPARE(written, expected);
        // One line break, at the very end.
        QCOMPARE(written.count('\n'), 1);
        QCOMPARE(written.count('\r'), 1);
        QVERIFY(written.endsWith("}}\r\n"));
        QCOMPARE(filesIn(outFolder()), QStringList{"Merge.rtf"});
    }

    void writerLeftUnfinishedLeavesNothing() {
        const QString path = outFolder() + "/Merge.rtf";
        {
            MailMerge::Writer writer(path);
            writer.writeMember(smallRegister()[0]);
        }
        QVERIFY(filesIn(outFolder()).isEmpty());
    }

    void membersValuesAreRtfText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("braces and a backslash") << "Apt {3}\\b" << QByteArray("Apt \\{3\\}\\\\b");
        QTest::newRow("the code page as bytes") << "Zoë €5 ?"
                                                << QByteArray("Zo\xEB \x80"
                                                              "5 ?");
        QTest::newRow("latin-1 range") << "é ÿ ¡" << QByteArray("\xE9 \xFF \xA1");
        QTest::newRow("upper controls of the page")
            << "€ ‚ Š Ÿ ž ™" << QByteArray("\x80 \x82 \x8A \x9F \x9E \x99");
        QTest::newRow("a control the page lacks") << QString(QChar(0x81)) << QByteArray("\\u129?");
        QTest::newRow("outside the page") << "Łódź"
                                          << QByteArray("\\u321?\xF3"
                                                        "d\\u378?");
        QTest::newRow("a pair of surrogates") << "a🐎b" << QByteArray("a\\u-10179?\\u-9202?b");
    }
    void membersValuesAreRtfText() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(MailMerge::rtfText(text), bytes);
    }

    void rtfIsAppendedUnlessTheNameEndsInIt_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << "/tmp/Members"
                                      << "/tmp/Members.rtf";
        QTest::newRow("lower case") << "/tmp/Members.rtf"
                                    << "/tmp/Members.rtf";
        QTest::newRow("upper case") << "/tmp/Members.RTF"
                                    << "/tmp/Members.RTF";
        QTest::newRow("mixed case") << "/tmp/Members.rTf"
                                    << "/tmp/Members.rTf";
        QTest::newRow("another extension") << "/tmp/Members.doc"
                                           << "/tmp/Members.doc.rtf";
        QTest::newRow("rtf without its dot") << "/tmp/Membersrtf"
                                             << "/tmp/Membersrtf.rtf";
        QTest::newRow("rtf inside the name") << "/tmp/a.rtf.txt"
                                             << "/tmp/a.rtf.txt.rtf";
    }
    void rtfIsAppendedUnlessTheNameEndsInIt() {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        QCOMPARE(MailMerge::fileName(chosen), written);
    }

    void commandWritesTheRegisterFromTheOrganisationFile() {
        addSmallRegister();
        m_files.script(outFolder() + "/Members");
        runCommand();
        QCOMPARE(m_prompt.shown().size(), size_t(0));
        QCOMPARE(contents(outFolder() + "/Members.rtf"), golden("small-register.rtf"));
        QCOMPARE(filesIn(outFolder()), QStringList{"Members.rtf"});

        const twl::FileChooser::Request& asked = m_files.lastRequest();
        QCOMPARE(asked.title, QString("Create Member Mail Merge Data File"));
        QCOMPARE(asked.presetName, QString("Default Merge.rtf"));
        QCOMPARE(asked.filter, QString("*.rtf"));
        QVERIFY(asked.forSaving);
    }

    void anEmptyRegisterGivesTheHeadingRowOnly() {
        m_files.script(outFolder() + "/Default Merge.RTF");
        runCommand();
        QCOMPARE(m_prompt.shown().size(), size_t(0));
        QCOMPARE(contents(outFolder() + "/Default Merge.RTF"), golden("empty-register.rtf"));
    }

    void anExistingFileIsReplacedWhole() {
        const QString path = outFolder() + "/Merge.rtf";
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(20000, 'x'));
        old.close();
        m_files.script(path);
        runCommand();
        QCOMPARE(contents(path), golden("empty-register.rtf"));
        QCOMPARE(filesIn(outFolder()), QStringList{"Merge.rtf"});
    }

    void aCancelledSaveWritesNothing() {
        const QStringList before = filesIn(m_folder->path());
        runCommand(); // the empty script cancels
        QCOMPARE(m_prompt.shown().size(), size_t(0));
        QCOMPARE(filesIn(m_folder->path()), before);
        QVERIFY(filesIn(outFolder()).isEmpty());
    }

    void aReadOnlyFolderIsReportedAndKeepsItsFile() {
        const QString folder = outFolder();
        const QString path = folder + "/Merge.rtf";
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("older merge");
        old.close();
        ReadOnlyFolder readOnly(folder);
        if (readOnly.writable())
            QSKIP("this file system lets the folder be written");
        m_files.script(path);
        runCommand();
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        const Prompt::Message& message = m_prompt.shown()[0];
        QCOMPARE(message.title, QString("Trotwell, File Error"));
        QCOMPARE(message.icon, Prompt::Icon::Critical);
        QCOMPARE(message.buttons, Prompt::Buttons::Ok);
        QVERIFY2(message.text.contains(path), qPrintable(message.text));
        QCOMPARE(filesIn(folder), QStringList{"Merge.rtf"});
        QCOMPARE(contents(path), QByteArray("older merge"));
    }

    void aRegisterThatCannotBeReadIsReportedAndWritesNothing() {
        // The organisation file damaged under the running program.
        store::releaseAllConnections();
        QFile org(m_folder->file("TWL.org"));
        QVERIFY(org.open(QIODevice::WriteOnly | QIODevice::Truncate));
        org.write(QByteArray(4096, '\x5A'));
        org.close();
        const QString path = outFolder() + "/Merge.rtf";
        m_files.script(path);
        runCommand();
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell, File Error"));
        QVERIFY2(m_prompt.shown()[0].text.contains(path), qPrintable(m_prompt.shown()[0].text));
        QVERIFY(filesIn(outFolder()).isEmpty());
    }

    void theCurrentFolderIsTheSameAfterwards() {
        const QString before = QDir::currentPath();
        m_files.wanderTo = outFolder();
        m_files.script(outFolder() + "/Merge");
        runCommand();
        QCOMPARE(QDir::currentPath(), before);
        QVERIFY(QFile::exists(outFolder() + "/Merge.rtf"));

        m_files.wanderTo = outFolder();
        runCommand(); // cancelled
        QCOMPARE(QDir::currentPath(), before);
    }
};

QTEST_MAIN(TestMailMerge)
#include "TestMailMerge.moc"
