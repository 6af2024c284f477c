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
#include <optional>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

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

// A workbook at the edges of what a reader meets (see fixtures/make_odd.py).
bool makeOdd(const QString& kind, const QString& out, const QStringList& more = {}) {
    runPython(QStringList{fixtureScript(QStringLiteral("make_odd.py")), kind, out} + more);
    return QFile::exists(out);
}

// Holds the process to this much more address space than it has while it lives: a reader that
// tried to hold a whole vast sheet would fail at once.
class AddressSpaceCap {
public:
    explicit AddressSpaceCap(qint64 moreBytes) {
        getrlimit(RLIMIT_AS, &m_saved);
        QFile status(QStringLiteral("/proc/self/status"));
        status.open(QIODevice::ReadOnly);
        const QByteArray text = status.readAll();
        const qsizetype at = text.indexOf("VmSize:");
        const qint64 used = text.mid(at + 7).trimmed().split(' ').front().toLongLong() * 1024;
        rlimit capped = m_saved;
        capped.rlim_cur = rlim_t(used + moreBytes);
        setrlimit(RLIMIT_AS, &capped);
    }
    ~AddressSpaceCap() { setrlimit(RLIMIT_AS, &m_saved); }

private:
    rlimit m_saved{};
};

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
    void readsNoMoreThanItIsAskedFor_data();
    void readsNoMoreThanItIsAskedFor();
    void textsComeWhole_data();
    void textsComeWhole();
    void numberFormatsTellDates_data();
    void numberFormatsTellDates();
    void newWorkbookHoldsTheOneSheet_data();
    void newWorkbookHoldsTheOneSheet();
    void leftoversOfAnInterruptedWriteGo_data();
    void leftoversOfAnInterruptedWriteGo();

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

void TestWorkbooks::readsNoMoreThanItIsAskedFor_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("headings");
    QTest::addColumn<int>("rows");
    QTest::newRow("xlsx: A1 and XFD1048576") << "far"
                                             << "far.xlsx" << QStringList{"Class"} << 0;
    QTest::newRow("xls: A1 and IV65536") << "far"
                                         << "far.xls" << QStringList{"Class"} << 0;
    QTest::newRow("xlsx: C1048576, below the rows asked for")
        << "low"
        << "low.xlsx" << QStringList{"Class"} << 0;
    QTest::newRow("xls: C65536, below the rows asked for")
        << "low"
        << "low.xls" << QStringList{"Class"} << 0;
    const QStringList three{"Heading 0", "Heading 1", "Heading 2"};
    QTest::newRow("xlsx: 5,000 rows of 5 columns") << "wide"
                                                   << "wide.xlsx" << three << 1000;
    QTest::newRow("xls: 5,000 rows of 5 columns") << "wide"
                                                  << "wide.xls" << three << 1000;
    QTest::newRow("xlsx: a sheet that unpacks to 100 MB") << "huge"
                                                          << "huge.xlsx" << QStringList() << -1;
}

// Only the cells asked for are held, whatever the sheet declares or holds beyond them; a part
// too large to read before those cells is refused.
void TestWorkbooks::readsNoMoreThanItIsAskedFor() {
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(QStringList, headings);
    QFETCH(int, rows);
    const QString file = path(name);
    QVERIFY(makeOdd(kind, file));
    std::optional<wb::SheetRows> sheet;
    QString message;
    StoreError::Code code{};
    {
        const AddressSpaceCap cap(qint64(512) << 20);
        try {
            sheet = wb::readSheet(file, QStringLiteral("Sheet"), {1000, 3});
        } catch (const StoreError& error) {
            code = error.code();
            message = error.message();
        }
    }
    if (rows < 0) {
        QCOMPARE(code, StoreError::Code::UnreadableWorkbook);
        QVERIFY2(message.contains(QLatin1String("larger than")), qPrintable(message));
        return;
    }
    QVERIFY2(sheet, qPrintable(message));
    QCOMPARE(sheet->headings, headings);
    QCOMPARE(int(sheet->rows.size()), rows);
    if (rows > 0)
        QCOMPARE(sheet->rows.back(), row({"Row 1000", 10001.0, 10002.0}));
}

void TestWorkbooks::textsComeWhole_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written");
    const QString wide = QString(QStringLiteral("Ünd€")).repeated(8191) + QStringLiteral("Ünd");
    QTest::newRow("xls: 32,767 8-bit characters") << "long.xls" << QString(32767, 'w') << "";
    QTest::newRow("xls: 32,767 characters over several records") << "wide.xls" << wide << "";
    QTest::newRow("xlsx: 32,767 characters") << "wide.xlsx" << wide << "";
    QTest::newRow("xls: a NUL inside") << "nul.xls" << QStringLiteral("Nul") + QChar(0) + "Byte"
                                       << "Nul\\0Byte";
}

// A text comes whole: however long, whatever it holds.
void TestWorkbooks::textsComeWhole() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, written);
    const QString file = path(name);
    QVERIFY(makeOdd(QStringLiteral("text"), file, {written.isEmpty() ? text : written}));
    const wb::SheetRows sheet = wb::readSheet(file, QStringLiteral("Sheet"), Whole);
    QCOMPARE(sheet.rows.size(), std::size_t(1));
    QCOMPARE(sheet.rows[0][0].toText().size(), text.size());
    QCOMPARE(sheet.rows[0][0], Value(text));
}

void TestWorkbooks::numberFormatsTellDates_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("epoch");
    for (const char* name : {"formats.xls", "formats.xlsx"})
        for (const char* epoch : {"1900", "1904"})
            QTest::addRow("%s, days from %s", name, epoch) << name << epoch;
}

// A number in a date format is a date, a time or both, in either kind of workbook and from
// either epoch; every other format leaves it a number.
void TestWorkbooks::numberFormatsTellDates() {
    QFETCH(QString, name);
    QFETCH(QString, epoch);
    const bool from1904 = epoch == QLatin1String("1904");
    const double day = from1904 ? 45366 - 1462 : 45366; // 2024-03-15
    const QString date = QStringLiteral("2024-03-15");
    const struct {
        const char* code;
        double number;
        Value expected;
    } cases[] = {
        {"yyyy-mm-dd", day, Value(QDate(2024, 3, 15))},
        {"mm-dd-yy", day, Value(QDate(2024, 3, 15))}, // a built-in format, by its number
        {"d-mmm-yy", day, Value(QDate(2024, 3, 15))},
        {"dd/mm/yyyy", day + 0.75, Value(QDate(2024, 3, 15))},
        {"[$-409]mmmm d, yyyy", day, Value(QDate(2024, 3, 15))},
        {"h:mm:ss", 0.5, Value("12:00:00")},
        {"[h]:mm", 0.25, Value("06:00:00")},
        {"mm:ss", 0.5, Value("12:00:00")},
        {"m/d/yy h:mm", day + 0.5, Value(date + " 12:00:00")},
        {"yyyy-mm-dd hh:mm", day + 0.75, Value(date + " 18:00:00")},
        {"General", day, Value(day)},
        {"0.00E+00", day, Value(day)},
        {"#,##0.00 \"days\"", day, Value(day)},
        {"[Red]0.00", day, Value(day)},
        {"0.00%", 0.5, Value(0.5)},
    };
    QJsonArray table;
    for (const auto& c : cases)
        table.append(QJsonArray{QString::fromLatin1(c.code), c.number});
    const QString file = path(name);
    QVERIFY(
        makeOdd(QStringLiteral("formats"), file,
                {QString::fromUtf8(QJsonDocument(table).toJson(QJsonDocument::Compact)), epoch}));
    const wb::SheetRows sheet = wb::readSheet(file, QStringLiteral("Sheet"), Whole);
    QCOMPARE(sheet.rows.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        QVERIFY2(sheet.rows[i][0] == cases[i].expected, cases[i].code);
        QCOMPARE(sheet.rows[i][0].kind(), cases[i].expected.kind());
    }
}

void TestWorkbooks::newWorkbookHoldsTheOneSheet_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<wb::Format>("format");
    QTest::newRow("xls") << "New.xls" << wb::Format::Xls;
    QTest::newRow("xlsx") << "New.xlsx" << wb::Format::Xlsx;
    QTest::newRow("XLSX") << "New.XLSX" << wb::Format::Xlsx;
}

// A new workbook of the kind its name gives, read back by xlrd or openpyxl and by this reader;
// a name that a file has already is refused and the file left as it is.
void TestWorkbooks::newWorkbookHoldsTheOneSheet() {
    QFETCH(QString, name);
    QFETCH(wb::Format, format);
    const QString file = path(name);
    const std::vector<std::vector<Value>> rows{row({"Hunter & <Jumper>", 25, 1.5}),
                                               row({"Ünd Pony €", qint64(0), Value()}),
                                               row({Value(), 12.25, Value(true)})};
    const mode_t mask = umask(027);
    wb::createWorkbook(file, QStringLiteral("Class_Desc"), {"Class", "Fee", "Multiplier"}, rows);
    umask(mask);
    QCOMPARE(wb::formatOf(file), format);
    QCOMPARE(QFileInfo(file).permissions() &
                 (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther),
             QFile::Permissions(QFile::ReadGroup));
    QCOMPARE(wb::sheetNames(file), QStringList{"Class_Desc"});
    const wb::SheetRows back = wb::readSheet(file, QStringLiteral("Class_Desc"), Whole);
    QCOMPARE(back.headings, (QStringList{"Class", "Fee", "Multiplier"}));
    QCOMPARE(back.rows.size(), rows.size());
    QCOMPARE(back.rows[1], row({"Ünd Pony €", 0.0, Value()}));
    QCOMPARE(back.rows[2], row({Value(), 12.25, Value(true)}));
    const QJsonArray expected = QJsonDocument::fromJson(R"([["Class", "Fee", "Multiplier"],
        ["Hunter & <Jumper>", 25, 1.5], ["Ünd Pony €", 0, ""], ["", 12.25, 1]])")
                                    .array();
    if (format == wb::Format::Xlsx) {
        QCOMPARE(openpyxlSheets(file).keys(), QStringList{"Class_Desc"});
    } else {
        const QByteArray out = runPython({fixtureScript(QStringLiteral("check_xls.py")), file});
        QVERIFY2(out.contains("\"problems\": []"), out.constData());
        QCOMPARE(QJsonDocument::fromJson(out.split('\n').front())
                     .object()[QLatin1String("rows")]
                     .toArray(),
                 expected);
    }

    const QByteArray bytes = fileBytes(file);
    QCOMPARE(errorOf([&] { wb::createWorkbook(file, "Class_Desc", {"Class"}, {}); }),
             StoreError::Code::FileIo);
    QCOMPARE(fileBytes(file), bytes);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(name),
             QStringList{name});
}

void TestWorkbooks::leftoversOfAnInterruptedWriteGo_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("write");
    for (const char* name : {"kept.xls", "kept.xlsx"}) {
        QTest::addRow("%s read", name) << name << false;
        QTest::addRow("%s written", name) << name << true;
    }
}

// What a write that was ended half way left beside the workbook goes the next time the workbook
// is read or written; a temporary file that a running write holds stays, as do files that are
// not the program's temporaries.
void TestWorkbooks::leftoversOfAnInterruptedWriteGo() {
    QFETCH(QString, name);
    QFETCH(bool, write);
    const QTemporaryDir folder(path(QStringLiteral("leftovers-XXXXXX")));
    const QString file = folder.filePath(name);
    QVERIFY(name.endsWith(QLatin1String(".xls")) ? makeXls(QStringLiteral("classes10"), file)
                                                 : makeXlsx(QStringLiteral("classes10"), file));
    const QString dot = QLatin1Char('.') + name + QLatin1Char('.');
    const QStringList stale{dot + "AbC123", dot + "AbC123.XyZ789"};
    const QStringList others{dot + "Held12", dot + "notours", name + ".AbC123", "other.xls"};
    for (const QString& leftover : stale + others)
        writeFile(folder.filePath(leftover), QByteArray(2048, 'x'));
    QFile held(folder.filePath(dot + "Held12"));
    QVERIFY(held.open(QIODevice::ReadWrite));
    QCOMPARE(::flock(held.handle(), LOCK_EX | LOCK_NB), 0);

    if (write)
        wb::appendSheet(file, QStringLiteral("Class_Desc"), {"Class"}, {row({"A"})});
    else
        QCOMPARE(wb::sheetNames(file).size(), 2);

    QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QStringList expected = others + QStringList{name};
    expected.sort();
    QCOMPARE(left, expected);
}

QTEST_GUILESS_MAIN(TestWorkbooks)
#include "TestWorkbooks.moc"
