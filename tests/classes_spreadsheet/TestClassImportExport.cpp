#include "classes/ui/EditClasses.h"
#include "classes/ui/ImportClass.h"
#include "common/Services.h"
#include "common/TWL_public.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "support/ModalDialogs.h"
#include "support/OpenShowFolder.h"
#include "support/ScreenTest.h"
#include "support/SystemPython.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <optional>

using namespace twl;
using store::RecordSet;

namespace {

const QString Blank = "- - - Blank - - -";
const QString NoSheets = "Can't detect sheet names in file selected";
const QString Instructions =
    "Select a sheet name from the left that contains the Class Descriptions and click OK.  Class "
    "Descriptions must be in the first column of the spreadsheet (A1) with the first row as the "
    "column header.  TWL will import 150 rows (A2-C151).  Leave unused rows in that range blank.";

QString fixture(const QString& name) {
    return QStringLiteral(TWL_CLASS_FIXTURES "/") + name;
}

// Every sheet of a workbook as xlrd or openpyxl reads it: [[name, rows], ...].
QJsonArray independentRead(const QString& path) {
    return QJsonDocument::fromJson(runPython({fixture("dump_workbook.py"), path})).array();
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct ClassRow {
    QString name;
    double fee = 0;
    double multi = 0;
    bool ended = false;
    friend bool operator==(const ClassRow&, const ClassRow&) = default;
};

// What the import dialog showed and what the test did in it.
struct ImportSeen {
    bool shown = false;
    QString title;
    QString file;
    QStringList sheets;
    bool okBefore = true;
    bool okAfter = false;
    QStringList descriptions;
    QStringList fees;
    QStringList multipliers;
    QStringList labels;
    QStringList frames;
    bool busyAfter = true;
};

QStringList lines(QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

} // namespace

// The class table's spreadsheet import and export, driven through the class screen's buttons
// with workbooks that LibreOffice wrote, and read back by xlrd and openpyxl.
class TestClassImportExport : public QObject, protected ScreenTest<EditClasses> {
    Q_OBJECT

public:
    TestClassImportExport() : ScreenTest(QDate(2026, 4, 8)) {}

private:
    std::optional<OpenShowFolder> m_show;

    QString cell(int row, int column) {
        return child<QTableView>("Grid_C")->model()->index(row, column).data().toString();
    }

    std::vector<ClassRow> storedClasses() {
        RecordSet rs;
        rs.open("SELECT * FROM Class_tbl ORDER BY [Class No]", m_shared.session.ShowConnString);
        std::vector<ClassRow> rows;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            rows.push_back({rs.value("Class Name").toText(), rs.value("Class Fee").toDouble(),
                            rs.value("Class Multi").toDouble(), rs.value("Class Ended").toBool()});
        return rows;
    }
    void changeStored(int classNo, const QString& field, const store::Value& value) {
        RecordSet rs;
        rs.open("Class_tbl", m_shared.session.ShowConnString);
        QVERIFY(rs.find(QString("[Class No] = %1").arg(classNo)));
        rs.setValue(field, value);
        rs.updateBatch();
    }
    // A show whose classes are not blank, so that an import that writes nothing shows.
    void describeSomeClasses() {
        changeStored(1, "Class Name", "Old Halter");
        changeStored(2, "Class Name", "Halter");
        changeStored(2, "Class Fee", 12.5);
        changeStored(2, "Class Multi", 1.5);
        changeStored(3, "Class Ended", store::Value(true));
    }

    QString copyIn(const QString& name) {
        const QString path = m_show->folder().file(name);
        QFile::remove(path);
        if (!QFile::copy(fixture(name), path))
            return {};
        QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    // Presses Import; in the dialog chooses the sheet (none: Cancel) and presses OK.
    ImportSeen runImport(const QString& sheet) {
        ImportSeen seen;
        // Before the click: the dialog is up only while Import runs.
        onModal<ImportClass>([&seen, sheet](ImportClass& dialog) {
            seen.shown = true;
            seen.title = dialog.windowTitle();
            seen.file = dialog.findChild<QLabel*>("LB")->text();
            auto* sheets = dialog.findChild<QListWidget*>("SheetsList");
            auto* ok = dialog.findChild<QPushButton*>("OKBut");
            seen.sheets = lines(sheets);
            seen.okBefore = ok->isEnabled();
            for (QLabel* label : dialog.findChildren<QLabel*>())
                seen.labels << label->text();
            for (QGroupBox* frame : dialog.findChildren<QGroupBox*>())
                seen.frames << frame->title();
            if (sheet.isEmpty()) {
                dialog.findChild<QPushButton*>("CanBut")->click();
                return true;
            }
            sheets->setCurrentRow(int(seen.sheets.indexOf(sheet)));
            seen.okAfter = ok->isEnabled();
            seen.busyAfter = QGuiApplication::overrideCursor() != nullptr;
            seen.descriptions = lines(dialog.findChild<QListWidget*>("ClsDescLst"));
            seen.fees = lines(dialog.findChild<QListWidget*>("ClsFeeLst"));
            seen.multipliers = lines(dialog.findChild<QListWidget*>("ClsMultiLst"));
            ok->click();
            return true;
        });
        child<QPushButton>("ImportBut")->click();
        return seen;
    }

    // Presses Import where the dialog has nothing to offer: it closes itself once shown, as
    // cancelled, so Import returns without anyone touching the dialog.
    void runImportThatClosesItself() {
        bool shown = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            shown = shown || qobject_cast<ImportClass*>(QApplication::activeModalWidget());
        });
        watch.start(0);
        child<QPushButton>("ImportBut")->click();
        QVERIFY(shown);
        QVERIFY(!m_dialog->findChild<ImportClass*>());
    }

    // The classes of the 10-row sheet as the show file keeps them after the import.
    static std::vector<ClassRow> tenClassesStored(bool thirdEnded) {
        std::vector<ClassRow> expected = {
            {"Halter Mares", 15, 1},
            {"Halter Stallions", 12.5, 1.5},
            {"Western Pleasure", 0, 2},
            {"English Pleasure", 20, 1},
            {"Trail", 10, 0.01},
            {"Reining", 25, 1},
            {Blank, 8, 1},
            {"Showmanship", 27.5, 1},
            {"Hunter Hack", 0, 1},
            {"Barrel Racing", 30, 3},
        };
        expected.resize(150, ClassRow{Blank, 0, 1});
        expected[2].ended = thirdEnded;
        return expected;
    }

    void expectOneMessage(const QString& text, Prompt::Icon icon,
                          Prompt::Buttons buttons = Prompt::Buttons::Ok) {
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].text, text);
        QCOMPARE(m_prompt.shown()[0].title, QString("Trotwell"));
        QCOMPARE(m_prompt.shown()[0].icon, icon);
        QCOMPARE(m_prompt.shown()[0].buttons, buttons);
    }

    // Workbooks the program must not read: encrypted, cut short, or not a workbook at all.
    QString unreadableWorkbook(const QString& kind) {
        const QString path = m_show->folder().file(kind + (kind == "protected" ? ".xls" : ".xlsx"));
        if (kind == "encrypted" || kind == "protected") {
            runPython({QStringLiteral(TWL_SOURCE_DIR "/tests/store_workbooks/fixtures/make_xls.py"),
                       kind, path});
        } else if (kind == "cut short") {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(contents(fixture("classes10.xlsx")).left(2000));
        } else {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write("Class,Fee,Multiplier\r\nHalter,12.5,1.5\r\n");
        }
        return path;
    }

private slots:
    void init() {
        m_prompt.clear();
        m_show.emplace(m_shared, 20);
    }

    void cleanup() {
        m_dialog.reset();
        m_show.reset();
    }

    void importTenRows_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xls") << "classes10.xls";
        QTest::newRow("xlsx") << "classes10.xlsx";
    }
    void importTenRows() {
        QFETCH(QString, file);
        describeSomeClasses();
        const QString workbook = copyIn(file);
        const QByteArray before = contents(workbook);
        openScreen();
        m_files.script(workbook);
        m_prompt.script(Prompt::Answer::Yes);
        const ImportSeen seen = runImport("Classes");

        QVERIFY(seen.shown);
        QCOMPARE(seen.title, QString("Trotwell  [Import Classes]"));
        QCOMPARE(m_files.lastRequest().title, QString("Select File to Import Classes"));
        QCOMPARE(m_files.lastRequest().presetName, QString("*.xls"));
        QVERIFY(m_files.lastRequest().filter.contains("*.xls *.xlsx"));
        QCOMPARE(seen.file, workbook);
        QCOMPARE(seen.sheets, QStringList({"Classes", "Notes"}));
        QVERIFY(!seen.okBefore);
        QVERIFY(seen.okAfter);
        QVERIFY(!seen.busyAfter);
        QVERIFY(seen.labels.contains(Instructions));
        QVERIFY(seen.labels.contains("Select a sheet name;"));
        QCOMPARE(seen.frames, QStringList({"Sheet Names", "Sample"}));
        QCOMPARE(seen.descriptions.size(), 150);
        QCOMPARE(seen.descriptions.mid(5, 3), QStringList({"Reining", Blank, "Showmanship"}));
        QCOMPARE(seen.descriptions.last(), Blank);
        QCOMPARE(seen.fees,
                 QStringList({"15", "12.5", "-5", "20", "10", "25", "8", "27.5", "", "30"}));
        QCOMPARE(seen.multipliers,
                 QStringList({"1", "1.5", "2", "0.005", "0.01", "double", "1", "1", "", "3"}));

        expectOneMessage("Replace all Class Descriptions in this Show   " +
                             m_shared.session.ShowPath + "    ",
                         Prompt::Icon::Exclamation, Prompt::Buttons::YesNo);
        QVERIFY(storedClasses() == tenClassesStored(true));
        // The grid shows the new classes; the workbook is only read.
        QCOMPARE(cell(0, 2), QString("Halter Mares"));
        QCOMPARE(cell(1, 3), QString("12.50  "));
        QCOMPARE(cell(149, 2), Blank);
        QVERIFY(!m_dialog->classes().hasPendingChanges());
        QCOMPARE(contents(workbook), before);
    }

    void importTakesTheFirst150Of200Rows_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xls") << "classes200.xls";
        QTest::newRow("xlsx") << "classes200.xlsx";
    }
    void importTakesTheFirst150Of200Rows() {
        QFETCH(QString, file);
        openScreen();
        m_files.script(copyIn(file));
        m_prompt.script(Prompt::Answer::Yes);
        const ImportSeen seen = runImport("Classes");
        QCOMPARE(seen.sheets, QStringList({"Notes", "Classes"}));
        QCOMPARE(seen.descriptions.size(), 200);
        QCOMPARE(seen.fees.size(), 200);
        QCOMPARE(seen.descriptions.last(), QString("Class 200"));
        const auto stored = storedClasses();
        QCOMPARE(stored.size(), size_t(150));
        for (int i = 1; i <= 150; ++i)
            QCOMPARE(stored[size_t(i - 1)],
                     (ClassRow{QString("Class %1").arg(i), double(i), 1 + (i % 4) * 0.5}));
    }

    void aFileNameWithoutExtensionGetsXls() {
        const QString workbook = copyIn("classes10.xls");
        openScreen();
        m_files.script(workbook.chopped(4));
        m_prompt.script(Prompt::Answer::Yes);
        const ImportSeen seen = runImport("Classes");
        QCOMPARE(seen.file, workbook);
        QCOMPARE(storedClasses(), tenClassesStored(false));
    }

    void cancellingChangesNothing_data() {
        QTest::addColumn<QString>("step");
        QTest::newRow("file dialog") << "file dialog";
        QTest::newRow("Cancel in the dialog") << "dialog";
        QTest::newRow("No to the question") << "question";
    }
    void cancellingChangesNothing() {
        QFETCH(QString, step);
        describeSomeClasses();
        const auto before = storedClasses();
        openScreen();
        m_prompt.script(Prompt::Answer::No);
        if (step == "file dialog") {
            runImportThatClosesItself();
        } else {
            m_files.script(copyIn("classes10.xlsx"));
            QVERIFY(runImport(step == "dialog" ? QString() : QString("Classes")).shown);
        }
        if (step == "question")
            QCOMPARE(m_prompt.shown().size(), size_t(1));
        else
            QVERIFY(m_prompt.shown().empty());
        QVERIFY(storedClasses() == before);
        QCOMPARE(cell(0, 2), QString("Old Halter"));
        QVERIFY(!m_dialog->findChild<ImportClass*>());
    }

    // The workbook goes between listing its sheets and reading one: the failure is reported and
    // there is nothing to accept.
    void aSheetThatCannotBeReadIsReported() {
        describeSomeClasses();
        const auto before = storedClasses();
        const QString workbook = copyIn("classes10.xls");
        openScreen();
        m_files.script(workbook);
        bool okAfter = true;
        int previewLines = -1;
        onModal<ImportClass>([&](ImportClass& dialog) {
            QFile::remove(workbook);
            dialog.findChild<QListWidget*>("SheetsList")->setCurrentRow(0);
            okAfter = dialog.findChild<QPushButton*>("OKBut")->isEnabled();
            previewLines = dialog.findChild<QListWidget*>("ClsDescLst")->count();
            dialog.findChild<QPushButton*>("CanBut")->click();
            return true;
        });
        child<QPushButton>("ImportBut")->click();
        QVERIFY(!okAfter);
        QCOMPARE(previewLines, 0);
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Critical);
        QVERIFY(m_prompt.shown()[0].text.startsWith("The sheet 'Classes' cannot be read."));
        QVERIFY(storedClasses() == before);
    }

    // The show file refuses the batch: the failure is reported and no class has changed.
    void aFailedImportChangesNoClass() {
        describeSomeClasses();
        const auto before = storedClasses();
        openScreen();
        store::connectionFor(m_shared.session.ShowConnString)
            ->execute("CREATE TRIGGER NoClass120 BEFORE UPDATE ON Class_tbl "
                      "WHEN old.[Class No] = 120 BEGIN SELECT RAISE(ABORT, 'the disk is full'); "
                      "END");
        m_files.script(copyIn("classes200.xlsx"));
        m_prompt.script(Prompt::Answer::Yes);
        QVERIFY(runImport("Classes").okAfter);
        QCOMPARE(m_prompt.shown().size(), size_t(2));
        QCOMPARE(m_prompt.shown()[1].icon, Prompt::Icon::Critical);
        QVERIFY(m_prompt.shown()[1].text.contains("the disk is full"));
        QVERIFY(storedClasses() == before);
        QCOMPARE(cell(0, 2), QString("Old Halter"));
        QVERIFY(!m_dialog->classes().hasPendingChanges());
    }

    void unreadableWorkbooksAreRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("encrypted xlsx") << "encrypted";
        QTest::newRow("password-protected xls") << "protected";
        QTest::newRow("cut short") << "cut short";
        QTest::newRow("not a workbook") << "text";
    }
    void unreadableWorkbooksAreRefused() {
        QFETCH(QString, kind);
        describeSomeClasses();
        const auto before = storedClasses();
        const QString workbook =
            kind == "missing" ? m_show->folder().file("Nowhere.xls") : unreadableWorkbook(kind);
        QVERIFY(kind == "missing" || QFile::exists(workbook));
        const QByteArray bytes = contents(workbook);
        openScreen();

        // Import: the message, then the dialog closes itself.
        m_files.script(workbook);
        runImportThatClosesItself();
        expectOneMessage(NoSheets, Prompt::Icon::Exclamation);
        QVERIFY(storedClasses() == before);

        // Export: the message, and no question.
        m_prompt.clear();
        m_files.script(workbook);
        child<QPushButton>("ExportBut")->click();
        expectOneMessage(NoSheets, Prompt::Icon::Exclamation);
        QCOMPARE(contents(workbook), bytes);
        QCOMPARE(QFile::exists(workbook), kind != "missing");
    }

    void exportAddsClassDesc_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xls, read back with xlrd") << "classes10.xls";
        QTest::newRow("xlsx, read back with openpyxl") << "classes10.xlsx";
    }
    void exportAddsClassDesc() {
        QFETCH(QString, file);
        describeSomeClasses();
        const QString workbook = copyIn(file);
        const QJsonArray before = independentRead(workbook);
        QCOMPARE(before.size(), 2);
        openScreen();
        m_files.script(workbook);
        m_prompt.script(Prompt::Answer::Yes);
        child<QPushButton>("ExportBut")->click();
        QCOMPARE(m_files.lastRequest().title, QString("Select Export Destination File"));
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QCOMPARE(m_prompt.shown()[0].text,
                 "Add a new Sheet to this workbook ?   " + workbook + "    ");
        QCOMPARE(m_prompt.shown()[0].icon, Prompt::Icon::Question);
        QCOMPARE(m_prompt.shown()[0].buttons, Prompt::Buttons::YesNo);

        const QJsonArray after = independentRead(workbook);
        QCOMPARE(after.size(), 3);
        // The old sheets, cell for cell.
        QCOMPARE(after[0], before[0]);
        QCOMPARE(after[1], before[1]);
        QCOMPARE(after[2].toArray()[0].toString(), QString("Class_Desc"));
        const QJsonArray rows = after[2].toArray()[1].toArray();
        QCOMPARE(rows.size(), 151);
        QCOMPARE(rows[0], QJsonValue(QJsonArray({"Class", "Fee", "Multiplier"})));
        QCOMPARE(rows[1], QJsonValue(QJsonArray({"Old Halter", 0, 1})));
        // A fee of 12.50 and a multiplier of 1.5 stay what they are, as number cells.
        QCOMPARE(rows[2], QJsonValue(QJsonArray({"Halter", 12.5, 1.5})));
        QVERIFY(rows[2].toArray()[1].isDouble());
        QCOMPARE(rows[150], QJsonValue(QJsonArray({"Blank", 0, 1})));
        QCOMPARE(cell(1, 3), QString("12.50  ")); // the grid is laid out again

        // A second export finds the sheet and leaves the workbook byte for byte.
        const QByteArray once = contents(workbook);
        m_prompt.clear();
        m_files.script(workbook);
        child<QPushButton>("ExportBut")->click();
        expectOneMessage("The sheet name 'Class_Desc' already exsists in that workbook.  Try "
                         "renaming it. ",
                         Prompt::Icon::Exclamation);
        QCOMPARE(contents(workbook), once);
    }

    void exportCancelledOrAnsweredNoWritesNothing() {
        const QString workbook = copyIn("classes10.xls");
        const QByteArray before = contents(workbook);
        openScreen();
        child<QPushButton>("ExportBut")->click(); // the file dialog cancelled
        QVERIFY(m_prompt.shown().empty());
        m_files.script(workbook.chopped(4)); // ".xls" is added
        m_prompt.script(Prompt::Answer::No);
        child<QPushButton>("ExportBut")->click();
        QCOMPARE(m_prompt.shown().size(), size_t(1));
        QVERIFY(m_prompt.shown()[0].text.contains(workbook + "    "));
        QCOMPARE(contents(workbook), before);
    }

    // The workbook itself refuses the sheet after the question: the failure and its source.
    void exportFailureIsReported() {
        const QString workbook = m_show->folder().file("Lower.xlsx");
        runPython({"-c",
                   "import sys, openpyxl; b = openpyxl.Workbook(); b.active.title = 'class_desc'; "
                   "b.save(sys.argv[1])",
                   workbook});
        QVERIFY(QFile::exists(workbook));
        const QByteArray before = contents(workbook);
        openScreen();
        m_files.script(workbook);
        m_prompt.script(Prompt::Answer::Yes);
        child<QPushButton>("ExportBut")->click();
        QCOMPARE(m_prompt.shown().size(), size_t(2));
        const Prompt::Message& failure = m_prompt.shown()[1];
        QCOMPARE(failure.icon, Prompt::Icon::Critical);
        QCOMPARE(failure.title, QString("Trotwell"));
        QVERIFY2(failure.text.startsWith("The sheet 'class_desc' already exists"),
                 qPrintable(failure.text));
        QVERIFY(failure.text.endsWith(".  TWL spreadsheet driver"));
        QCOMPARE(contents(workbook), before);
        QVERIFY(!QGuiApplication::overrideCursor());
    }
};

QTEST_MAIN(TestClassImportExport)
#include "TestClassImportExport.moc"
