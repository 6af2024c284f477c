// Workbooks as tables: sheet lists, rows by column position, and a sheet added to an existing
// workbook. The workbooks read here are written by other programs (openpyxl, see fixtures/), and
// every workbook written here is read back by openpyxl too.

#include "store/StoreError.h"
#include "store/spreadsheet/Workbook.h"
#include "support/SystemPython.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace store {
// Cells as the failure messages show them.
char* toString(const Value& value) {
    return QTest::toString(QStringLiteral("%1(%2)").arg(int(value.kind())).arg(value.toText()));
}
char* toString(const std::vector<Value>& cells) {
    QStringList texts;
    for (const Value& value : cells)
        texts << QStringLiteral("%1(%2)").arg(int(value.kind())).arg(value.toText());
    return QTest::toString(texts.join(QLatin1String(", ")));
}
} // namespace store

using store::StoreError;
using store::Value;
namespace wb = store::workbook;

namespace {

QString fixtureScript(const QString& name) {
    return QStringLiteral(TWL_WORKBOOK_FIXTURES "/") + name;
}

bool makeXlsx(const QString& kind, const QString& out) {
    runPython({fixtureScript(QStringLiteral("make_xlsx.py")), kind, out});
    return QFile::exists(out);
}

// An .xls workbook, checked with xlrd (an independent reader) before the tests read it.
bool makeXls(const QString& kind, const QString& out) {
    runPython({fixtureScript(QStringLiteral("make_xls.py")), kind, out});
    return QFile::exists(out) &&
           runPython({QStringLiteral("-c"),
                      QStringLiteral("import sys, xlrd; xlrd.open_workbook(sys.argv[1]); print(1)"),
                      out})
                   .trimmed() == "1";
}

// Each sheet as openpyxl reads it: name -> rows of cells.
QMap<QString, QJsonArray> openpyxlSheets(const QString& path, QStringList* order = nullptr) {
    QMap<QString, QJsonArray> sheets;
    const QByteArray out = runPython({fixtureScript(QStringLiteral("dump_xlsx.py")), path});
    for (const QByteArray& line : out.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonObject sheet = QJsonDocument::fromJson(line).object();
        sheets.insert(sheet[QLatin1String("name")].toString(),
                      sheet[QLatin1String("rows")].toArray());
        if (order)
            *order << sheet[QLatin1String("name")].toString();
    }
    return sheets;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

StoreError::Code errorOf(const std::function<void()>& step, QString* message = nullptr) {
    try {
        step();
    } catch (const StoreError& error) {
        if (message)
            *message = error.message();
        return error.code();
    }
    qFatal("the step did not fail");
}

// Every cell an .xls sheet can hold.
constexpr wb::ReadLimits Whole{65535, 256};

std::vector<Value> row(std::initializer_list<Value> cells) {
    return cells;
}

} // namespace

class TestWorkbooks : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void xlsxSheetListAndTenRows();
    void xlsxTwoHundredRows();
    void xlsxFormulaCellsGiveTheirCachedValues();
    void xlsSheetListAndRows();
    void xlsFormulaCellsGiveTheirCachedValues();
    void unreadableWorkbooksAreClearErrors();
    void appendedXlsxSheetReadsBackInOpenpyxl();
    void appendedXlsSheetReadsBackInXlrd();
    void appendRefusesAnExistingOrBadSheetName();
    void appendThatCannotBeWrittenLeavesTheWorkbook_data();
    void appendThatCannotBeWrittenLeavesTheWorkbook();

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
};

void TestWorkbooks::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY2(
        !runPython({QStringLiteral("-c"), QStringLiteral("import openpyxl; print(1)")}).isEmpty(),
        "python3-openpyxl makes the workbooks these tests read");
}

void TestWorkbooks::xlsxSheetListAndTenRows() {
    const QString file = path(QStringLiteral("ten.xlsx"));
    QVERIFY(makeXlsx(QStringLiteral("classes10"), file));
    QCOMPARE(wb::formatOf(file), wb::Format::Xlsx);
    QCOMPARE(wb::sheetNames(file),
             (QStringList{QStringLiteral("Classes"), QStringLiteral("Notizen Ü 2026")}));

    const wb::SheetRows sheet = wb::readSheet(file, QStringLiteral("Classes"), Whole);
    QCOMPARE(sheet.headings, (QStringList{"Description", "Fee", "Multiplier"}));
    QCOMPARE(sheet.rows.size(), std::size_t(10));
    QCOMPARE(sheet.rows[0], row({"Class 1 & <Juniors>", 11.0, 1.01}));
    QVERIFY(sheet.rows[2][0].isNull()); // the blank description
    QCOMPARE(sheet.rows[2][1], Value(13.0));
    QCOMPARE(sheet.rows[3][1], Value(-5.0));
    QCOMPARE(sheet.rows[4][2], Value(0.005));
    QCOMPARE(sheet.rows[5][2], Value("lots"));
    QCOMPARE(sheet.rows[6][0], Value("Über Pony ünd Pferd"));
    QCOMPARE(sheet.rows[9], row({"Class 10 & <Juniors>", 20.0, 1.1}));

    // A sheet is found whatever the case of its name; an empty heading is named by position;
    // every row has a cell for each heading.
    const wb::SheetRows notes = wb::readSheet(file, QStringLiteral("notizen ü 2026"), Whole);
    QCOMPARE(notes.headings, (QStringList{"Note", "F2", "Count"}));
    QCOMPARE(notes.rows.size(), std::size_t(2));
    QCOMPARE(notes.rows[0], row({"first", Value(), 3.0}));
    QCOMPARE(notes.rows[1], row({Value(), Value(true), Value()}));

    QString message;
    QCOMPARE(errorOf([&] { wb::readSheet(file, QStringLiteral("Class_Desc"), Whole); }, &message),
             StoreError::Code::Sql);
    QVERIFY2(message.contains(QLatin1String("Class_Desc")), qPrintable(message));
}

void TestWorkbooks::xlsxTwoHundredRows() {
    const QString file = path(QStringLiteral("twohundred.xlsx"));
    QVERIFY(makeXlsx(QStringLiteral("classes200"), file));
    const wb::SheetRows sheet = wb::readSheet(file, QStringLiteral("Classes"), Whole);
    QCOMPARE(sheet.rows.size(), std::size_t(200));
    QCOMPARE(sheet.rows[149], row({"Class 150 & <Juniors>", 160.0, 2.5}));
    QCOMPARE(sheet.rows[199], row({"Class 200 & <Juniors>", 210.0, 3.0}));
}

void TestWorkbooks::xlsxFormulaCellsGiveTheirCachedValues() {
    const QString file = path(QStringLiteral("formulas.xlsx"));
    QVERIFY(makeXlsx(QStringLiteral("formulas"), file));
    const wb::SheetRows sheet = wb::readSheet(file, QStringLiteral("Sums"), Whole);
    QCOMPARE(sheet.rows.size(), std::size_t(1));
    // A number result, a text result, and a formula whose result the file does not keep.
    QCOMPARE(sheet.rows[0], row({"Hunter", 25.0, 50.0, "Hunter class", Value()}));
}

void TestWorkbooks::xlsSheetListAndRows() {
    const QString file = path(QStringLiteral("ten.xls"));
    QVERIFY(makeXls(QStringLiteral("classes10"), file));
    QCOMPARE(wb::formatOf(file), wb::Format::Xls);
    QCOMPARE(wb::sheetNames(file), (QStringList{"Classes", "Notes"}));

    const wb::SheetRows sheet = wb::readSheet(file, QStringLiteral("Classes"), Whole);
    QCOMPARE(sheet.headings, (QStringList{"Description", "Fee", "Multiplier"}));
    QCOMPARE(sheet.rows.size(), std::size_t(10));
    QCOMPARE(sheet.rows[0], row({"Class 1", 11.0, 1.01}));
    QCOMPARE(sheet.rows[2], row({Value(), 13.0, 1.03}));
    QCOMPARE(sheet.rows[3][1], Value(-5.0));
    QCOMPARE(sheet.rows[5][2], Value("lots"));
    QCOMPARE(sheet.rows[6][0], Value("Über Pony ünd Pferd"));
    QCOMPARE(sheet.rows[9], row({"Class 10", 20.0, 1.1}));

    const wb::SheetRows notes = wb::readSheet(file, QStringLiteral("NOTES"), Whole);
    QCOMPARE(notes.headings, (QStringList{"Note", "F2", "Count"}));
    QCOMPARE(notes.rows.size(), std::size_t(2));
    QCOMPARE(notes.rows[0], row({"first", Value(), 3.0}));
    QCOMPARE(notes.rows[1], row({Value(), Value(true), Value()}));
    QCOMPARE(errorOf([&] { wb::readSheet(file, QStringLiteral("Class_Desc"), Whole); }),
             StoreError::Code::Sql);

    const QString big = path(QStringLiteral("twohundred.xls"));
    QVERIFY(makeXls(QStringLiteral("classes200"), big));
    const wb::SheetRows many = wb::readSheet(big, QStringLiteral("Classes"), Whole);
    QCOMPARE(many.rows.size(), std::size_t(200));
    QCOMPARE(many.rows[149], row({"Class 150", 160.0, 2.5}));
    QCOMPARE(many.rows[199], row({"Class 200", 210.0, 3.0}));
}

void TestWorkbooks::xlsFormulaCellsGiveTheirCachedValues() {
    const QString file = path(QStringLiteral("formulas.xls"));
    QVERIFY(makeXls(QStringLiteral("formulas"), file));
    const wb::SheetRows sheet = wb::readSheet(file, QStringLiteral("Sums"), Whole);
    QCOMPARE(sheet.rows.size(), std::size_t(1));
    QCOMPARE(sheet.rows[0], row({"Hunter", 25.0, 50.0, "Hunter class"}));
}

void TestWorkbooks::unreadableWorkbooksAreClearErrors() {
    QString message;
    const QString missing = path(QStringLiteral("nowhere.xlsx"));
    QCOMPARE(errorOf([&] { wb::sheetNames(missing); }, &message), StoreError::Code::FileMissing);
    QVERIFY(message.contains(missing));
    QCOMPARE(errorOf([&] { wb::appendSheet(missing, "New", {"A"}, {}); }),
             StoreError::Code::FileMissing);
    QVERIFY(!QFile::exists(missing));

    const QString text = path(QStringLiteral("text.xls"));
    writeFile(text, "Class,Fee,Multiplier\nHunter,25,1\n");
    QCOMPARE(errorOf([&] { wb::sheetNames(text); }), StoreError::Code::UnreadableWorkbook);

    // A workbook cut short, and one whose shared strings are damaged.
    const QString good = path(QStringLiteral("whole.xlsx"));
    QVERIFY(makeXlsx(QStringLiteral("classes10"), good));
    const QByteArray bytes = fileBytes(good);
    const QString cut = path(QStringLiteral("cut.xlsx"));
    writeFile(cut, bytes.left(bytes.size() / 2));
    QCOMPARE(errorOf([&] { wb::sheetNames(cut); }), StoreError::Code::UnreadableWorkbook);
    QCOMPARE(errorOf([&] { wb::readSheet(cut, "Classes", Whole); }),
             StoreError::Code::UnreadableWorkbook);

    const QString legacy = path(QStringLiteral("legacy.xls"));
    QVERIFY(makeXls(QStringLiteral("classes200"), legacy));
    const QByteArray xls = fileBytes(legacy);
    const QString cutXls = path(QStringLiteral("cut.xls"));
    writeFile(cutXls, xls.left(xls.size() / 3));
    QCOMPARE(errorOf([&] { wb::readSheet(cutXls, "Classes", Whole); }),
             StoreError::Code::UnreadableWorkbook);
    QCOMPARE(errorOf([&] { wb::appendSheet(cutXls, "Class_Desc", {"Class"}, {}); }),
             StoreError::Code::UnreadableWorkbook);
    QCOMPARE(fileBytes(cutXls), xls.left(xls.size() / 3));

    // Encrypted workbooks of both kinds say so.
    const QString encrypted = path(QStringLiteral("encrypted.xlsx"));
    runPython(
        {fixtureScript(QStringLiteral("make_xls.py")), QStringLiteral("encrypted"), encrypted});
    QCOMPARE(errorOf([&] { wb::sheetNames(encrypted); }, &message),
             StoreError::Code::WrongPassword);
    QVERIFY2(message.contains(QLatin1String("password")), qPrintable(message));
    const QString protectedXls = path(QStringLiteral("protected.xls"));
    runPython(
        {fixtureScript(QStringLiteral("make_xls.py")), QStringLiteral("protected"), protectedXls});
    QCOMPARE(errorOf([&] { wb::sheetNames(protectedXls); }), StoreError::Code::WrongPassword);

    const QString scrambled = path(QStringLiteral("scrambled.xlsx"));
    QByteArray damaged = bytes;
    for (qsizetype i = 200; i < damaged.size() - 400; i += 7)
        damaged[i] = char(damaged[i] ^ 0x5a);
    writeFile(scrambled, damaged);
    QCOMPARE(errorOf([&] { wb::readSheet(scrambled, "Classes", Whole); }),
             StoreError::Code::UnreadableWorkbook);
}

void TestWorkbooks::appendedXlsxSheetReadsBackInOpenpyxl() {
    const QString file = path(QStringLiteral("export.xlsx"));
    QVERIFY(makeXlsx(QStringLiteral("classes10"), file));
    QStringList orderBefore;
    const auto before = openpyxlSheets(file, &orderBefore);
    QCOMPARE(before.size(), 2);

    const std::vector<std::vector<Value>> rows{
        row({"Hunter & Jumper <Open>", 25, 1.5}),
        row({" Lead line ", qint64(0), 1}),
        row({Value(), 12.25, store::Currency::fromDouble(2.5)}),
        row({"Western \"Pleasure\"", Value(), Value(true)}),
    };
    wb::appendSheet(file, QStringLiteral("Class_Desc"),
                    {QStringLiteral("Class"), QStringLiteral("Fee"), QStringLiteral("Multiplier")},
                    rows);

    // openpyxl: the old sheets cell for cell as they were, the new one last and right.
    QStringList orderAfter;
    const auto after = openpyxlSheets(file, &orderAfter);
    QCOMPARE(orderAfter, orderBefore + QStringList{QStringLiteral("Class_Desc")});
    for (const QString& name : orderBefore)
        QCOMPARE(after[name], before[name]);
    const QJsonArray expected = QJsonDocument::fromJson(R"([
        ["Class", "Fee", "Multiplier"],
        ["Hunter & Jumper <Open>", 25, 1.5],
        [" Lead line ", 0, 1],
        [null, 12.25, 2.5],
        ["Western \"Pleasure\"", null, true]])")
                                    .array();
    QCOMPARE(after[QStringLiteral("Class_Desc")], expected);

    // This reader sees the same.
    QCOMPARE(wb::sheetNames(file), orderAfter);
    const wb::SheetRows back = wb::readSheet(file, QStringLiteral("Class_Desc"), Whole);
    QCOMPARE(back.headings, (QStringList{"Class", "Fee", "Multiplier"}));
    QCOMPARE(back.rows.size(), rows.size());
    QCOMPARE(back.rows[0], row({"Hunter & Jumper <Open>", 25.0, 1.5}));
    QCOMPARE(back.rows[1], row({" Lead line ", 0.0, 1.0}));
    QCOMPARE(back.rows[3], row({"Western \"Pleasure\"", Value(), Value(true)}));

    // A second sheet goes in after the first one, under a part name of its own.
    wb::appendSheet(file, QStringLiteral("Second"), {QStringLiteral("Only")}, {row({"x"})});
    QCOMPARE(wb::sheetNames(file), orderAfter + QStringList{QStringLiteral("Second")});
    const auto twice = openpyxlSheets(file);
    QCOMPARE(twice[QStringLiteral("Class_Desc")], expected);
    QCOMPARE(twice[QStringLiteral("Second")],
             QJsonDocument::fromJson(R"([["Only"], ["x"]])").array());
    QCOMPARE(QDir(m_dir.path())
                 .entryList(QDir::Hidden | QDir::Files, QDir::Name)
                 .filter(QStringLiteral("export.xlsx")),
             QStringList{QStringLiteral("export.xlsx")});
}

void TestWorkbooks::appendedXlsSheetReadsBackInXlrd() {
    const QString file = path(QStringLiteral("export.xls"));
    QVERIFY(makeXls(QStringLiteral("classes10"), file));
    auto xlrdSheets = [&](QStringList* order, QJsonArray* problems) {
        QMap<QString, QJsonArray> sheets;
        const QByteArray out = runPython({fixtureScript(QStringLiteral("check_xls.py")), file});
        for (const QByteArray& line : out.split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (object.contains(QLatin1String("problems"))) {
                *problems = object[QLatin1String("problems")].toArray();
            } else if (!object.isEmpty()) {
                sheets.insert(object[QLatin1String("name")].toString(),
                              object[QLatin1String("rows")].toArray());
                *order << object[QLatin1String("name")].toString();
            }
        }
        return sheets;
    };
    QStringList orderBefore;
    QJsonArray problems{QStringLiteral("not read")};
    const auto before = xlrdSheets(&orderBefore, &problems);
    QCOMPARE(problems, QJsonArray());
    QCOMPARE(before.size(), 2);

    wb::appendSheet(file, QStringLiteral("Class_Desc"), {"Class", "Fee", "Multiplier"},
                    {row({"Hunter & Jumper", 25, 1.5}), row({"Ünd Pony", qint64(0), Value()}),
                     row({Value(), 12.25, Value(true)})});

    // xlrd: the old sheets as they were, the new one last and right, every position in place.
    QStringList orderAfter;
    problems = {QStringLiteral("not read")};
    const auto after = xlrdSheets(&orderAfter, &problems);
    QCOMPARE(problems, QJsonArray());
    QCOMPARE(orderAfter, orderBefore + QStringList{QStringLiteral("Class_Desc")});
    for (const QString& name : orderBefore)
        QCOMPARE(after[name], before[name]);
    QCOMPARE(after[QStringLiteral("Class_Desc")], QJsonDocument::fromJson(R"([
        ["Class", "Fee", "Multiplier"],
        ["Hunter & Jumper", 25.0, 1.5],
        ["Ünd Pony", 0.0, ""],
        ["", 12.25, 1]])")
                                                      .array());

    QCOMPARE(wb::sheetNames(file), orderAfter);
    const wb::SheetRows back = wb::readSheet(file, QStringLiteral("Class_Desc"), Whole);
    QCOMPARE(back.headings, (QStringList{"Class", "Fee", "Multiplier"}));
    QCOMPARE(back.rows.size(), std::size_t(3));
    QCOMPARE(back.rows[1], row({"Ünd Pony", 0.0, Value()}));
    QCOMPARE(back.rows[2], row({Value(), 12.25, Value(true)}));
    QCOMPARE(wb::readSheet(file, QStringLiteral("Classes"), Whole).rows[6][0],
             Value("Über Pony ünd Pferd"));

    // Twice: the second sheet goes after the first, the name is refused the second time.
    wb::appendSheet(file, QStringLiteral("Second"), {"Only"}, {row({"x"})});
    QCOMPARE(wb::sheetNames(file), orderAfter + QStringList{QStringLiteral("Second")});
    QCOMPARE(errorOf([&] { wb::appendSheet(file, "CLASS_DESC", {"Class"}, {}); }),
             StoreError::Code::Sql);
    orderAfter.clear();
    const auto twice = xlrdSheets(&orderAfter, &problems);
    QCOMPARE(problems, QJsonArray());
    QCOMPARE(twice[QStringLiteral("Second")],
             QJsonDocument::fromJson(R"([["Only"], ["x"]])").array());
    QCOMPARE(twice[QStringLiteral("Notes")], before[QStringLiteral("Notes")]);
}

void TestWorkbooks::appendRefusesAnExistingOrBadSheetName() {
    const QString file = path(QStringLiteral("twice.xlsx"));
    QVERIFY(makeXlsx(QStringLiteral("classes10"), file));
    wb::appendSheet(file, QStringLiteral("Class_Desc"), {QStringLiteral("Class")}, {row({"A"})});
    const QByteArray bytes = fileBytes(file);

    QString message;
    QCOMPARE(errorOf([&] { wb::appendSheet(file, "class_desc", {"Class"}, {}); }, &message),
             StoreError::Code::Sql);
    QVERIFY2(message.contains(QLatin1String("already exists")), qPrintable(message));
    for (const QString& bad : {QString(), QStringLiteral("a/b"), QStringLiteral("[x]"),
                               QStringLiteral("A name longer than thirty-one chars")})
        QCOMPARE(errorOf([&] { wb::appendSheet(file, bad, {"Class"}, {}); }),
                 StoreError::Code::Sql);
    QCOMPARE(fileBytes(file), bytes);
}

void TestWorkbooks::appendThatCannotBeWrittenLeavesTheWorkbook_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("xlsx") << QStringLiteral("full.xlsx");
    QTest::newRow("xls") << QStringLiteral("full.xls");
}

void TestWorkbooks::appendThatCannotBeWrittenLeavesTheWorkbook() {
    // The disk fills up while the new workbook is written: a file-size limit just above the
    // old workbook's size lets a copy be made and stops the new sheet going in.
    QFETCH(QString, name);
    const QString file = path(name);
    QVERIFY(name.endsWith(QLatin1String(".xls")) ? makeXls(QStringLiteral("classes10"), file)
                                                 : makeXlsx(QStringLiteral("classes200"), file));
    const QStringList sheets = wb::sheetNames(file);
    const QByteArray bytes = fileBytes(file);
    std::vector<std::vector<Value>> many;
    for (int i = 0; i < 2000; ++i)
        many.push_back(
            row({QStringLiteral("Row %1 with some words to fill the part").arg(i), i, i}));

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(bytes.size() + 512);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    StoreError::Code code{};
    QString message;
    try {
        wb::appendSheet(file, QStringLiteral("Class_Desc"), {"Class", "Fee", "Multiplier"}, many);
    } catch (const StoreError& error) {
        code = error.code();
        message = error.message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(code, StoreError::Code::FileIo);
    QVERIFY2(message.startsWith(QStringLiteral("\"%1\" could not be written").arg(file)),
             qPrintable(message));
    QCOMPARE(fileBytes(file), bytes);
    QCOMPARE(wb::sheetNames(file), sheets);
    // Nothing is left behind beside it.
    QStringList beside;
    for (const QString& entry : QDir(m_dir.path()).entryList(QDir::Hidden | QDir::Files))
        if (entry == name || entry.startsWith(QLatin1Char('.') + name + QLatin1Char('.')))
            beside << entry;
    QVERIFY2(beside == QStringList{name}, qPrintable(beside.join(QLatin1Char(' '))));
}

QTEST_GUILESS_MAIN(TestWorkbooks)
#include "TestWorkbooks.moc"
