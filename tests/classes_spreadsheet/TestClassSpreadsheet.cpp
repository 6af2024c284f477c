#include "classes/ClassSpreadsheet.h"
#include "store/Connection.h"
#include "store/ConnectionText.h"
#include "store/RecordSet.h"
#include "store/StoreError.h"
#include "support/SystemPython.h"
#include "support/TestFolder.h"

using namespace twl;
using namespace twl::ClassSpreadsheet;
using store::RecordSet;
using store::Value;

namespace {

struct StoredClass {
    QString name;
    double fee = 0;
    double multi = 0;
    bool ended = false;
    friend bool operator==(const StoredClass&, const StoredClass&) = default;
};

std::vector<StoredClass> storedClasses(const QString& connection) {
    RecordSet rs;
    rs.open("SELECT * FROM Class_tbl ORDER BY [Class No]", connection);
    std::vector<StoredClass> rows;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        rows.push_back({rs.value("Class Name").toText(), rs.value("Class Fee").toDouble(),
                        rs.value("Class Multi").toDouble(), rs.value("Class Ended").toBool()});
    return rows;
}

// The class rows of the 10-row test sheet, as the import takes them.
std::vector<ImportedClass> tenClassesImported() {
    std::vector<ImportedClass> expected = {
        {"Halter Mares", 15, 1},    {"Halter Stallions", 12.5, 1.5},
        {"Western Pleasure", 0, 2}, {"English Pleasure", 20, 1},
        {"Trail", 10, 0.01},        {"Reining", 25, 1},
        {BlankMarker, 8, 1},        {"Showmanship", 27.5, 1},
        {"Hunter Hack", 0, 1},      {"Barrel Racing", 30, 3},
    };
    expected.resize(ImportedRows, ImportedClass{BlankMarker, 0, 1});
    return expected;
}

} // namespace

// The import and export rules without a screen: the file-choice rule, the preview a sheet
// gives, the values the import takes from it, the one-batch write and the export's rows.
class TestClassSpreadsheet : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> m_folder;
    QString m_show;

private slots:
    void init() {
        store::releaseAllConnections();
        m_folder = std::make_unique<TestFolder>();
        m_show = store::dataConnectionText(m_folder->newShow("Show.twl"), TestFolder::Password);
    }
    void cleanup() {
        store::releaseAllConnections();
        m_folder.reset();
    }

    void workbookPathFromTheFileDialog_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("path");
        QTest::newRow("cancelled") << ""
                                   << "";
        QTest::newRow("no extension gets .xls") << "/data/Classes"
                                                << "/data/Classes.xls";
        QTest::newRow(".xls kept") << "/data/Classes.xls"
                                   << "/data/Classes.xls";
        QTest::newRow(".XLS in any case kept") << "/data/Classes.Xls"
                                               << "/data/Classes.Xls";
        QTest::newRow(".xlsx kept") << "/data/Classes.xlsx"
                                    << "/data/Classes.xlsx";
        QTest::newRow(".XLSX kept") << "/data/Classes.XLSX"
                                    << "/data/Classes.XLSX";
        QTest::newRow("another extension gets .xls") << "/data/Classes.csv"
                                                     << "/data/Classes.csv.xls";
        QTest::newRow("one letter is a name") << "/data/a"
                                              << "/data/a.xls";
        QTest::newRow("only the extension is no name") << "/data/.xls"
                                                       << "";
        QTest::newRow("a folder is no name") << "/data/"
                                             << "";
        QTest::newRow("short path") << "abc"
                                    << "abc.xls";
    }
    void workbookPathFromTheFileDialog() {
        QFETCH(QString, chosen);
        QFETCH(QString, path);
        QCOMPARE(workbookPath(chosen), path);
    }

    void messagesAndQuestions() {
        QCOMPARE(replaceQuestion("/shows/Spring.twl"),
                 QString("Replace all Class Descriptions in this Show   /shows/Spring.twl    "));
        QCOMPARE(addSheetQuestion("/data/Book.xls"),
                 QString("Add a new Sheet to this workbook ?   /data/Book.xls    "));
        QCOMPARE(exportFailure("Disk full.", "Writer"), QString("Disk full.  Writer"));
        QCOMPARE(ExportSheetExists, QString("The sheet name 'Class_Desc' already exsists in that "
                                            "workbook.  Try renaming it. "));
        QVERIFY(hasExportSheet({"Notes", "Class_Desc"}));
        // Only that exact name: the workbook layer refuses other spellings itself.
        QVERIFY(!hasExportSheet({"Notes", "class_desc", "Class_Desc2"}));
    }

    void previewOfASheet() {
        store::workbook::SheetRows sheet;
        sheet.headings = {"Class", "Fee", "Multiplier"};
        sheet.rows = {{Value("Halter"), Value(12.5), Value(1.5)},
                      {Value(), Value(8), Value()},
                      {Value("  "), Value("ten"), Value(qint64(2))}};
        const Preview preview = previewOf(sheet);
        QCOMPARE(preview.descriptions.size(), ImportedRows);
        QCOMPARE(preview.descriptions.mid(0, 4),
                 QStringList({"Halter", BlankMarker, "  ", BlankMarker}));
        QCOMPARE(preview.descriptions.last(), BlankMarker);
        // Fees and multipliers are not padded; an empty cell is an empty line.
        QCOMPARE(preview.fees, QStringList({"12.5", "8", "ten"}));
        QCOMPARE(preview.multipliers, QStringList({"1.5", "", "2"}));
    }

    void previewOfANarrowSheet() {
        store::workbook::SheetRows sheet;
        sheet.headings = {"Class"};
        sheet.rows = {{Value("Trail")}};
        const Preview preview = previewOf(sheet);
        QCOMPARE(preview.descriptions.first(), QString("Trail"));
        QCOMPARE(preview.fees, QStringList({""}));
        QCOMPARE(preview.multipliers, QStringList({""}));
    }

    // The import reads three columns and as many data rows as the preview lists, of a sheet
    // that holds more of both.
    void importReadsWhatThePreviewShows() {
        const QString workbook = m_folder->file("Wide.xlsx");
        runPython({TWL_SOURCE_DIR "/tests/store_workbooks/fixtures/make_odd.py", "wide", workbook});
        const auto sheet = readImportSheet(workbook, "Sheet");
        QCOMPARE(sheet.headings, QStringList({"Heading 0", "Heading 1", "Heading 2"}));
        QCOMPARE(int(sheet.rows.size()), PreviewRows);
        const Preview preview = previewOf(sheet);
        QCOMPARE(preview.descriptions.size(), PreviewRows);
        QCOMPARE(preview.multipliers.last(), QString("10002"));
        QCOMPARE(importedClasses(preview)[149].name, QString("Row 150"));
    }

    void feeAndMultiplierRules_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("fee");
        QTest::addColumn<double>("multiplier");
        QTest::newRow("empty") << "" << 0.0 << 1.0;
        QTest::newRow("blanks") << "   " << 0.0 << 1.0;
        QTest::newRow("a word") << "double" << 0.0 << 1.0;
        QTest::newRow("negative") << "-5" << 0.0 << 1.0;
        QTest::newRow("zero") << "0" << 0.0 << 1.0;
        QTest::newRow("0.005") << "0.005" << 0.005 << 1.0;
        QTest::newRow("0.01 stays") << "0.01" << 0.01 << 0.01;
        QTest::newRow("12.5") << "12.5" << 12.5 << 12.5;
        QTest::newRow("money form") << "$1,234.50" << 1234.5 << 1234.5;
        QTest::newRow("a true cell") << "True" << 0.0 << 1.0;
    }
    void feeAndMultiplierRules() {
        QFETCH(QString, line);
        QFETCH(double, fee);
        QFETCH(double, multiplier);
        QCOMPARE(importedFee(line), fee);
        QCOMPARE(importedMultiplier(line), multiplier);
    }

    void importWritesEveryClassAndKeepsTheEndedFlags() {
        {
            RecordSet rs;
            rs.open("Class_tbl", m_show);
            QVERIFY(rs.find("[Class No] = 4"));
            rs.setValue("Class Ended", Value(true));
            rs.updateBatch();
        }
        RecordSet classes;
        classes.open("Class_tbl", m_show);
        writeImport(classes, tenClassesImported());
        QVERIFY(!classes.hasPendingChanges());
        QCOMPARE(classes.value("Class No").toInt(), 1);
        const auto stored = storedClasses(m_show);
        QCOMPARE(int(stored.size()), 150);
        const auto expected = tenClassesImported();
        for (int i = 0; i < 150; ++i) {
            QCOMPARE(stored[size_t(i)].name, expected[size_t(i)].name);
            QCOMPARE(stored[size_t(i)].fee, expected[size_t(i)].fee);
            QCOMPARE(stored[size_t(i)].multi, expected[size_t(i)].multiplier);
            QCOMPARE(stored[size_t(i)].ended, i == 3);
        }
    }

    // One class the show file refuses (a name longer than the field) and none is written.
    void importIsOneBatch() {
        auto imported = tenClassesImported();
        imported[120].name = QString(101, 'x');
        RecordSet classes;
        classes.open("Class_tbl", m_show);
        const auto before = storedClasses(m_show);
        QVERIFY_THROWS_EXCEPTION(store::StoreError, writeImport(classes, imported));
        QVERIFY(!classes.hasPendingChanges());
        QVERIFY(storedClasses(m_show) == before);

        // A write refused by the file itself, half way through the rows.
        imported[120].name = "Pleasure Driving";
        store::connectionFor(m_show)->execute(
            "CREATE TRIGGER NoClass99 BEFORE UPDATE ON Class_tbl WHEN old.[Class No] = 99 "
            "BEGIN SELECT RAISE(ABORT, 'the disk is full'); END");
        QVERIFY_THROWS_EXCEPTION(store::StoreError, writeImport(classes, imported));
        QVERIFY(!classes.hasPendingChanges());
        QVERIFY(storedClasses(m_show) == before);
    }

    void exportRowsAreNumbersInTableOrder() {
        {
            RecordSet rs;
            rs.open("Class_tbl", m_show);
            QVERIFY(rs.find("[Class No] = 2"));
            rs.setValue("Class Name", Value("Halter"));
            rs.setValue("Class Fee", Value(12.5));
            rs.setValue("Class Multi", Value(1.5));
            rs.updateBatch();
        }
        RecordSet classes;
        classes.open("Class_tbl", m_show);
        classes.setAbsolutePosition(7);
        const auto rows = exportRows(classes);
        QCOMPARE(classes.absolutePosition(), 7); // the grid's class stays current
        QCOMPARE(int(rows.size()), 150);
        QCOMPARE(exportHeadings(), QStringList({"Class", "Fee", "Multiplier"}));
        QCOMPARE(rows[1][0], Value("Halter"));
        QCOMPARE(rows[1][1].kind(), Value::Kind::Number);
        QCOMPARE(rows[1][1].toDouble(), 12.5);
        QCOMPARE(rows[1][2].toDouble(), 1.5);
        QCOMPARE(rows[0], (std::vector<Value>{Value("Blank"), Value(0.0), Value(1.0)}));
    }
};

QTEST_GUILESS_MAIN(TestClassSpreadsheet)
#include "TestClassSpreadsheet.moc"
