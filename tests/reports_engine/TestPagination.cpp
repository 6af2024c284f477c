#include "reports/Layout.h"
#include "reports/Pagination.h"
#include "reports/TextExport.h"
#include "store/ShapedRowsBuilder.h"

#include <QtTest>

using reports::PagedReport;
using reports::PlacedItem;
using store::ShapedRows;
using store::ShapedRowsBuilder;

namespace {

// The heights of the bands of a test layout in twips; 0 leaves a band out. The page header is
// 1000 and the page footer 500 twips: the body of a Letter page with half-inch margins is 12900.
struct Bands {
    int title = 0;
    int outerHeader = 0;
    int innerHeader = 0;
    int detail = 1000;
    int reportFooter = 0;
};

} // namespace

Q_DECLARE_METATYPE(Bands)
Q_DECLARE_METATYPE(store::ShapedRows)
Q_DECLARE_METATYPE(reports::PagedReport)

namespace {

QString band(const char* name, int height, const QString& control, const QString& extra = {}) {
    return QStringLiteral(R"({"name": "%1", "height": %2 %3, "controls": [%4]},)")
        .arg(QLatin1String(name))
        .arg(height)
        .arg(extra, control);
}

QString label(const char* caption) {
    return QStringLiteral(R"({"type": "label", "name": "L", "left": 0, "top": 0, "width": 2000,
                             "height": 300, "caption": "%1"})")
        .arg(QLatin1String(caption));
}

QString textBox(const char* member, const char* field) {
    return QStringLiteral(R"({"type": "textbox", "name": "T", "member": "%1", "field": "%2",
                             "left": 0, "top": 0, "width": 2000, "height": 300})")
        .arg(QLatin1String(member), QLatin1String(field));
}

// Every band prints one line: "Title", "Head", a group's name, a row's number, "End" and
// "Foot <page>/<pages>". The rows are the member "Rows" of the groups, which are the outer rows
// or, under outer groups, their member "Groups".
reports::Layout layoutOf(const Bands& b) {
    const char* innerMember = b.outerHeader ? "Groups" : "";
    QString sections;
    if (b.title)
        sections +=
            band("Section4", b.title, label("Title"), QStringLiteral(R"(, "ownPage": true)"));
    sections += band("Section2", 1000, label("Head"));
    if (b.outerHeader)
        sections += band("Section6", b.outerHeader, textBox("", "Name"));
    if (b.innerHeader)
        sections += band("Section8", b.innerHeader, textBox(innerMember, "Name"));
    sections += band("Section1", b.detail, textBox("Rows", "No"));
    if (b.reportFooter)
        sections += band("Section5", b.reportFooter, label("End"));
    sections += band("Section3", 500, label("Foot %p/%P"));
    sections.chop(1);
    return reports::Layout::fromJson(
        QStringLiteral(R"({"name": "Bands", "sections": [%1]})").arg(sections).toUtf8(),
        QStringLiteral("test layout"));
}

ShapedRows numbered(int count) {
    ShapedRowsBuilder rows({QStringLiteral("No")});
    for (int i = 1; i <= count; ++i)
        rows.row({i});
    return rows.build();
}

// The count form: one row with the rows as its member "Rows".
ShapedRows counted(int count) {
    return ShapedRowsBuilder({QStringLiteral("RecCnt")}, {QStringLiteral("Rows")})
        .row({count}, {numbered(count)})
        .build();
}

// Groups by name, each with its rows as member "Rows".
ShapedRows grouped(const std::vector<std::pair<const char*, int>>& groups) {
    ShapedRowsBuilder rows({QStringLiteral("Name")}, {QStringLiteral("Rows")});
    for (const auto& [name, count] : groups)
        rows.row({name}, {numbered(count)});
    return rows.build();
}

// "1 2 ... n"
QString upTo(int n) {
    QStringList numbers;
    for (int i = 1; i <= n; ++i)
        numbers << QString::number(i);
    return numbers.join(QLatin1Char(' '));
}

// A page's text on one line.
QStringList pageLines(const PagedReport& report) {
    QStringList pages;
    for (const QString& page : reports::plainText(report).split(QLatin1Char('\f')))
        pages << page.simplified();
    return pages;
}

// A text of a hand-made page: at `column` (1/12 inch), `width` columns wide, on `line`.
PlacedItem text(int column, int width, int line, const char* text, bool fromData,
                reports::TextAlign align = reports::TextAlign::Left) {
    PlacedItem item;
    item.twips = QRect(column * 120, line * 300, width * 120, 240);
    item.text = QString::fromUtf8(text);
    item.fromData = fromData;
    item.style.align = align;
    return item;
}

PagedReport pagesOf(const std::vector<std::vector<PlacedItem>>& pages) {
    PagedReport report;
    for (const std::vector<PlacedItem>& items : pages)
        report.pages.push_back({items});
    return report;
}

// A roster page: headings, a short row and, when asked, a row longer than its columns.
std::vector<PlacedItem> rosterPage(bool withLongRow) {
    std::vector<PlacedItem> items{
        text(0, 10, 0, "Name", false),     text(10, 10, 0, "Phone", false),
        text(20, 5, 0, "State", false),    text(0, 10, 1, "Ann", true),
        text(10, 10, 1, "555-0100", true), text(20, 5, 1, "OH", true)};
    if (withLongRow)
        items.insert(items.end(),
                     {text(0, 10, 2, "Rancho Martínez", true),
                      text(10, 10, 2, "859-555-0123", true), text(20, 5, 2, "KY", true)});
    return items;
}

} // namespace

class TestPagination : public QObject {
    Q_OBJECT

private slots:
    void bandsFlowOverPages_data() {
        QTest::addColumn<Bands>("bands");
        QTest::addColumn<ShapedRows>("data");
        QTest::addColumn<QStringList>("pages");
        const auto nested = ShapedRowsBuilder({QStringLiteral("Name")}, {QStringLiteral("Groups")})
                                .row({"X"}, {grouped({{"A", 10}})})
                                .row({"Y"}, {grouped({{"B", 1}})})
                                .build();

        QTest::newRow("a band as tall as the page body")
            << Bands{.detail = 12900} << counted(2)
            << QStringList{"Head 1 Foot 1/2", "Head 2 Foot 2/2"};
        QTest::newRow("a group header and its first row taller than the body")
            << Bands{.innerHeader = 8000, .detail = 8000} << grouped({{"A", 1}, {"B", 1}})
            << QStringList{"Head A Foot 1/4", "Head 1 Foot 2/4", "Head B Foot 3/4",
                           "Head 1 Foot 4/4"};
        QTest::newRow("a group header at the foot of a page goes over with its first row")
            << Bands{.innerHeader = 500} << grouped({{"A", 11}, {"B", 2}})
            << QStringList{"Head A " + upTo(11) + " Foot 1/2", "Head B 1 2 Foot 2/2"};
        QTest::newRow("an outer group header goes over with the inner header and first row")
            << Bands{.outerHeader = 500, .innerHeader = 500} << nested
            << QStringList{"Head X A " + upTo(10) + " Foot 1/2", "Head Y B 1 Foot 2/2"};
        QTest::newRow("the title sheet has the page footer but not the page header")
            << Bands{.title = 2000} << counted(2)
            << QStringList{"Title Foot 1/2", "Head 1 2 Foot 2/2"};
        QTest::newRow("a title sheet and no rows")
            << Bands{.title = 2000} << counted(0) << QStringList{"Title Foot 1/2", "Head Foot 2/2"};
        QTest::newRow("no rows at all")
            << Bands{} << ShapedRowsBuilder({"RecCnt"}, {"Rows"}).build()
            << QStringList{"Head Foot 1/1"};
        QTest::newRow("the report footer goes over when it does not fit")
            << Bands{.reportFooter = 1000} << counted(12)
            << QStringList{"Head " + upTo(12) + " Foot 1/2", "Head End Foot 2/2"};
    }
    void bandsFlowOverPages() {
        QFETCH(Bands, bands);
        QFETCH(ShapedRows, data);
        QFETCH(QStringList, pages);
        const QDate printDate(2005, 6, 18);
        QCOMPARE(pageLines(reports::paginate(layoutOf(bands), data, printDate)), pages);
        // Laid out page by page, last page first: the same pages.
        const PagedReport onDemand = reports::paginateOnDemand(layoutOf(bands), data, printDate);
        QCOMPARE(onDemand.pageCount(), pages.size());
        for (int p = onDemand.pageCount() - 1; p >= 0; --p) {
            PagedReport one;
            one.pages.push_back(onDemand.page(p));
            QCOMPARE(pageLines(one).value(0), pages.value(p));
        }
    }

    void plainTextCarriesEveryValueWhole_data() {
        QTest::addColumn<PagedReport>("report");
        QTest::addColumn<QString>("expected");
        using reports::TextAlign;
        QTest::newRow("values that fit stand at their columns") << pagesOf({rosterPage(false)})
                                                                << "Name      Phone     State\n"
                                                                   "Ann       555-0100  OH\n";
        QTest::newRow("a long value widens its column on its page, under its heading")
            << pagesOf({rosterPage(true), rosterPage(false)})
            << "Name            Phone        State\n"
               "Ann             555-0100     OH\n"
               "Rancho Martínez 859-555-0123 KY\n"
               "\fName      Phone     State\n"
               "Ann       555-0100  OH\n";
        QTest::newRow("a right-aligned column widens to its longest value")
            << pagesOf(
                   {{text(0, 5, 0, "No.", false, TextAlign::Right), text(5, 10, 0, "Name", false),
                     text(0, 5, 1, "12", true, TextAlign::Right), text(5, 10, 1, "Ann", true),
                     text(0, 5, 2, "1234567", true, TextAlign::Right),
                     text(5, 10, 2, "Ben", true)}})
            << "    No. Name\n"
               "     12 Ann\n"
               "1234567 Ben\n";
        QTest::newRow("a value last on its line runs on and moves nothing")
            << pagesOf({{text(0, 8, 0, "City", false), text(10, 6, 0, "Points", false),
                         text(0, 8, 1, "Dayton", true), text(10, 6, 1, "12.5", true),
                         text(2, 5, 2, "Lexington-Fayette", true)}})
            << "City      Points\n"
               "Dayton    12.5\n"
               "  Lexington-Fayette\n";
        QTest::newRow("a caption keeps its place and moves only what follows it on its line")
            << pagesOf({{text(0, 5, 0, "Total Entries:", false), text(5, 5, 0, "19", false),
                         text(5, 5, 1, "x", true)}})
            << "Total Entries: 19\n"
               "     x\n";
    }
    void plainTextCarriesEveryValueWhole() {
        QFETCH(PagedReport, report);
        QFETCH(QString, expected);
        QCOMPARE(reports::plainText(report), expected);
    }
};

QTEST_MAIN(TestPagination)
#include "TestPagination.moc"
