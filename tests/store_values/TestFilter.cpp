#include "store/Filter.h"
#include "store/StoreError.h"

#include <QTest>
#include <string>
#include <vector>

using namespace store;

Q_DECLARE_METATYPE(store::StoreError::Code)

namespace {

Fields showFields() {
    return {{QStringLiteral("Horse Name"), FieldType::Text, 50},
            {QStringLiteral("Class No"), FieldType::Integer, 0},
            {QStringLiteral("Exh Name"), FieldType::Text, 50},
            {QStringLiteral("Fee"), FieldType::Currency, 0},
            {QStringLiteral("Paid"), FieldType::Boolean, 0},
            {QStringLiteral("Entered"), FieldType::Date, 0},
            {QStringLiteral("Tag"), FieldType::Text, 10},
            {QStringLiteral("Ring_1"), FieldType::Number, 0}};
}

Row row(const char* horse, int classNo, const Value& exhibitor, double fee, bool paid,
        const QDate& entered, const char* tag, double ring) {
    return {Value(horse), Value(classNo), exhibitor,  Value(Currency::fromDouble(fee)),
            Value(paid),  Value(entered), Value(tag), Value(ring)};
}

std::vector<Row> showRows() {
    return {
        row("Blaze", 75, Value("Smith"), 12.5, true, QDate(2024, 5, 1), "12", 1),
        row("Comet", 80, Value(), 10, false, QDate(2024, 5, 2), "012", 2),
        row("O'Brien's Pride", 75, Value(""), 12.5, false, QDate(2024, 4, 30), "abc", 1.5),
        row("Starblaze", 12, Value("SMYTHE"), 0, true, QDate(2023, 12, 31), "", 2),
        row("Éclair", 80, Value("Ávila"), 25, true, QDate(2024, 5, 1), "Z", 1),
    };
}

// The horse names of the rows the filter keeps, comma-separated.
QString kept(const QString& text) {
    const Filter filter = Filter::parse(text, showFields());
    QStringList names;
    for (const Row& r : showRows()) {
        if (filter.matches(r))
            names << r[0].toText();
    }
    return names.join(QLatin1Char(','));
}

// A row that hands its texts over in UTF-8, as a record set's cells read from the file do.
class Utf8Row final : public FilterRow {
public:
    explicit Utf8Row(const Row& values) : m_values(values) {
        for (const Value& v : values)
            m_utf8.push_back(v.kind() == Value::Kind::Text ? v.toText().toStdString() : "");
    }
    Value value(int field) const override { return m_values.at(std::size_t(field)); }
    std::optional<std::string_view> utf8(int field) const override {
        if (m_values.at(std::size_t(field)).kind() != Value::Kind::Text)
            return std::nullopt;
        return m_utf8[std::size_t(field)];
    }

private:
    const Row& m_values;
    std::vector<std::string> m_utf8;
};

QString keptFromUtf8(const QString& text) {
    const Filter filter = Filter::parse(text, showFields());
    QStringList names;
    for (const Row& r : showRows()) {
        if (filter.matches(Utf8Row(r)))
            names << r[0].toText();
    }
    return names.join(QLatin1Char(','));
}

void addRow(const char* tag, const QString& text, const QString& expected) {
    QTest::newRow(tag) << text << expected;
}

void addRow(const char* tag, const QString& text, StoreError::Code code) {
    QTest::newRow(tag) << text << code;
}

} // namespace

class TestFilter : public QObject {
    Q_OBJECT

private slots:
    void matching_data();
    void matching();
    void emptyFilter();
    void likeBracketsAreLiteralCharacters();
    void errors_data();
    void errors();
    void truncatedTextsNeverCrash();
    void sorting();
    void sortErrors_data();
    void sortErrors();
    void manyRowsKeepOnlyTheirClass();
};

// "[c]" in a LIKE pattern is the character itself: a search for a wildcard or a bracket finds
// just the values that hold it.
void TestFilter::likeBracketsAreLiteralCharacters() {
    const Fields fields = {{QStringLiteral("Name"), FieldType::Text, 20}};
    const QStringList values = {"5*Star", "50% Off", "[Box]", "Plain", "a*b%c[d"};
    auto kept = [&](const QString& text) {
        const Filter filter = Filter::parse(text, fields);
        QStringList names;
        for (const QString& v : values) {
            if (filter.matches(Row{Value(v)}))
                names << v;
        }
        return names.join(QLatin1Char(','));
    };
    QCOMPARE(kept("Name LIKE '*[*]*'"), QStringLiteral("5*Star,a*b%c[d"));
    QCOMPARE(kept("Name LIKE '*[%]*'"), QStringLiteral("50% Off,a*b%c[d"));
    QCOMPARE(kept("Name LIKE '*[[]*'"), QStringLiteral("[Box],a*b%c[d"));
    QCOMPARE(kept("Name LIKE '[[]box]'"), QStringLiteral("[Box]"));
    QCOMPARE(kept("Name LIKE '5[*]star'"), QStringLiteral("5*Star"));
    QCOMPARE(kept("Name LIKE '*[*]'"), QString());
    // A bracket that does not close one character stays a plain character.
    QCOMPARE(kept("Name LIKE '[box*'"), QStringLiteral("[Box]"));
}

void TestFilter::matching_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    const QString all = QStringLiteral("Blaze,Comet,O'Brien's Pride,Starblaze,Éclair");

    addRow("integer", "[Class No] = 75", "Blaze,O'Brien's Pride");
    addRow("quoted number", "[Class No] = '75'", "Blaze,O'Brien's Pride");
    addRow("not whole", "[Class No] = 75.5", "");
    addRow("mirrored", "80 <= [Class No]", "Comet,Éclair");
    addRow("mirrored less", "13 > `Class No`", "Starblaze");
    addRow("and over or", "[Class No] = 12 OR [Class No] = 75 AND [Paid] = False",
           "O'Brien's Pride,Starblaze");
    addRow("parentheses", "([Class No] = 12 OR [Class No] = 75) AND [Paid] = False",
           "O'Brien's Pride");
    addRow("parentheses differ", "[Class No] = 80 OR ([Class No] = 75 AND Paid = -1)",
           "Blaze,Comet,Éclair");
    addRow("keywords any case", "[class no] = 80 and paid = false Or RING_1 = 1.5",
           "Comet,O'Brien's Pride");
    addRow("like start", "[Horse Name] LIKE 'bl*'", "Blaze");
    addRow("like end", "[Horse Name] LIKE '%ZE'", "Blaze,Starblaze");
    addRow("like middle", "[Horse Name] LIKE 's*r*e'", "Starblaze");
    addRow("like both", "[Horse Name] LIKE '*BLA*'", "Blaze,Starblaze");
    addRow("like whole", "[Horse Name] LIKE 'blaze'", "Blaze");
    addRow("like overlap", "[Tag] LIKE '0*12'", "Comet");
    addRow("like overlap short", "[Tag] LIKE '1*12'", "");
    addRow("like on empty text", "[Tag] LIKE '*'", all);
    addRow("like folded sign", "[Exh Name] LIKE '*\u017fm*'", "Blaze,Starblaze");
    addRow("like accents", "[Horse Name] LIKE 'écl%'", "Éclair");
    addRow("not like", "[Exh Name] NOT LIKE 'sm*'", "O'Brien's Pride,Éclair");
    addRow("like number", "[Class No] LIKE '8*'", "Comet,Éclair");
    addRow("like all", "[Horse Name] LIKE '*'", all);
    addRow("quotes", "[Horse Name] = 'O''Brien''s Pride'", "O'Brien's Pride");
    addRow("number on text", "[Tag] = 12", "Blaze");
    addRow("quoted on text", "[Tag] = '012'", "Comet");
    addRow("is null", "[Exh Name] = Null", "Comet");
    addRow("not null", "[Exh Name] <> NULL", "Blaze,O'Brien's Pride,Starblaze,Éclair");
    addRow("null never less", "[Exh Name] >= ''", "Blaze,O'Brien's Pride,Starblaze,Éclair");
    addRow("null not unequal", "[Exh Name] <> 'Smith'", "O'Brien's Pride,Starblaze,Éclair");
    addRow("empty text", "[Exh Name] = ''", "O'Brien's Pride");
    addRow("text any case", "[Exh Name] = 'SMITH'", "Blaze");
    addRow("text accents", "[Exh Name] = 'ávila'", "Éclair");
    addRow("text less", "[Exh Name] < 'smz'", "Blaze,O'Brien's Pride,Starblaze");
    addRow("text greater", "[Exh Name] > 'smith'", "Starblaze,Éclair");
    addRow("text prefix", "[Exh Name] <= 'smit'", "O'Brien's Pride");
    addRow("date iso", "[Entered] = #2024-05-01#", "Blaze,Éclair");
    addRow("date us", "[Entered] > #4/30/2024#", "Blaze,Comet,Éclair");
    addRow("date text", "[Entered] < '2024-01-01'", "Starblaze");
    addRow("money", "[Fee] = 12.5", "Blaze,O'Brien's Pride");
    addRow("money text", "[Fee] >= '$20'", "Éclair");
    addRow("number", "Ring_1 <= 1.5 AND Ring_1 > 1", "O'Brien's Pride");
    addRow("negative", "Ring_1 > -1.5", all);
    addRow("yes text", "[Paid] = 'Yes'", "Blaze,Starblaze,Éclair");
}

void TestFilter::matching() {
    QFETCH(QString, filter);
    QFETCH(QString, expected);
    QCOMPARE(kept(filter), expected);
    // Texts tested in UTF-8 as they are kept find the same rows.
    QCOMPARE(keptFromUtf8(filter), expected);
}

void TestFilter::emptyFilter() {
    QVERIFY(Filter().isEmpty());
    const Filter blank = Filter::parse(QStringLiteral("  "), showFields());
    QVERIFY(blank.isEmpty());
    QVERIFY(blank.matches(showRows().front()));
    QVERIFY(!Filter::parse(QStringLiteral("Fee = 1"), showFields()).isEmpty());
}

void TestFilter::errors_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<StoreError::Code>("code");
    const auto syntax = StoreError::Code::FilterSyntax;
    const auto unknown = StoreError::Code::UnknownField;
    addRow("no value", "[Class No] =", syntax);
    addRow("lone operator", "=", syntax);
    addRow("no field", "= 75", syntax);
    addRow("no operator", "[Class No] 75", syntax);
    addRow("double operator", "[Class No] = = 75", syntax);
    addRow("open paren", "([Class No] = 75", syntax);
    addRow("close paren", "[Class No] = 75)", syntax);
    addRow("empty parens", "()", syntax);
    addRow("dangling and", "[Class No] = 75 AND", syntax);
    addRow("or or", "[Class No] = 75 OR OR Fee = 1", syntax);
    addRow("lone and", "AND", syntax);
    addRow("trailing", "[Class No] = 75 [Fee] = 1", syntax);
    addRow("open quote", "[Horse Name] = 'Blaze", syntax);
    addRow("open bracket", "[Class No = 75", syntax);
    addRow("empty name", "[] = 75", syntax);
    addRow("open date", "[Entered] = #2024-05-01", syntax);
    addRow("bad date", "[Entered] = #2024-02-30#", syntax);
    addRow("bad number", "[Class No] = 1.2.3", syntax);
    addRow("stray character", "[Class No] = 75 & Fee = 1", syntax);
    addRow("text on integer", "[Class No] = 'abc'", syntax);
    addRow("blank on integer", "[Class No] = ''", syntax);
    addRow("number on date", "[Entered] = 5", syntax);
    addRow("text on yes/no", "[Paid] = 'maybe'", syntax);
    addRow("null less", "[Exh Name] < Null", syntax);
    addRow("like mirrored", "'bl*' LIKE [Horse Name]", syntax);
    addRow("two fields", "[Class No] = [Fee]", syntax);
    addRow("deep", QString(5000, QLatin1Char('(')), syntax);
    addRow("unknown", "[Nope] = 1", unknown);
    addRow("unknown bare", "Class = 1", unknown);
    addRow("unknown later", "Fee = 1 OR (`Stable` LIKE 'x*')", unknown);
}

void TestFilter::errors() {
    QFETCH(QString, filter);
    QFETCH(StoreError::Code, code);
    try {
        Filter::parse(filter, showFields());
        QFAIL("no error");
    } catch (const StoreError& e) {
        QCOMPARE(e.code(), code);
        QVERIFY2(e.message().contains(filter.left(30)), qPrintable(e.message()));
    }
}

void TestFilter::truncatedTextsNeverCrash() {
    const QStringList texts{
        QStringLiteral("([Class No] = 75 OR `Exh Name` LIKE 'O''B*') AND Entered >= #5/1/2024#"),
        QStringLiteral("Ring_1 <> -1.5 AND Tag = Null OR [Fee] NOT LIKE '%5'"),
    };
    for (const QString& text : texts) {
        for (qsizetype n = 0; n <= text.size(); ++n) {
            try {
                const Filter f = Filter::parse(text.left(n), showFields());
                for (const Row& r : showRows())
                    f.matches(r);
            } catch (const StoreError&) {
            }
        }
    }
    // A row shorter than the fields reads as nulls.
    const Filter f = Filter::parse(QStringLiteral("Ring_1 = Null"), showFields());
    QVERIFY(f.matches(Row{Value("Short")}));
}

void TestFilter::sorting() {
    const Fields fields = showFields();
    SortKeys keys = parseSort(QStringLiteral("[Exh Name] DESC, [Class No]"), fields);
    QCOMPARE(keys.size(), size_t(2));
    QCOMPARE(keys[0].field, 2);
    QVERIFY(keys[0].descending);
    QCOMPARE(keys[1].field, 1);
    QVERIFY(!keys[1].descending);

    keys = parseSort(QStringLiteral("Horse Name ASC,class no desc ,  `Fee`"), fields);
    QCOMPARE(keys.size(), size_t(3));
    QCOMPARE(keys[0].field, 0);
    QVERIFY(!keys[0].descending);
    QCOMPARE(keys[1].field, 1);
    QVERIFY(keys[1].descending);
    QCOMPARE(keys[2].field, 3);

    QVERIFY(parseSort(QString(), fields).empty());
    QVERIFY(parseSort(QStringLiteral("   "), fields).empty());
}

void TestFilter::sortErrors_data() {
    QTest::addColumn<QString>("sort");
    QTest::addColumn<StoreError::Code>("code");
    addRow("bad direction", "[Fee] DOWN", StoreError::Code::FilterSyntax);
    addRow("trailing comma", "[Fee],", StoreError::Code::FilterSyntax);
    addRow("empty item", "Fee,,Paid", StoreError::Code::FilterSyntax);
    addRow("open bracket", "[Fee DESC", StoreError::Code::FilterSyntax);
    addRow("direction only", "Fee, DESC", StoreError::Code::UnknownField);
    addRow("unknown", "Horse DESC", StoreError::Code::UnknownField);
}

void TestFilter::sortErrors() {
    QFETCH(QString, sort);
    QFETCH(StoreError::Code, code);
    try {
        parseSort(sort, showFields());
        QFAIL("no error");
    } catch (const StoreError& e) {
        QCOMPARE(e.code(), code);
    }
}

// The filter of a long list keeps exactly its rows (its speed is measured in bench_filter).
void TestFilter::manyRowsKeepOnlyTheirClass() {
    const Fields fields = showFields();
    std::vector<Row> rows;
    rows.reserve(10000);
    for (int i = 0; i < 10000; ++i)
        rows.push_back(
            row("Horse", i % 100, Value("Smith"), 10, i % 2 == 0, QDate(2024, 5, 1), "x", 1));
    const Filter filter = Filter::parse(QStringLiteral("[Class No] = 75"), fields);
    int count = 0;
    for (const Row& r : rows)
        count += filter.matches(r) ? 1 : 0;
    QCOMPARE(count, 100);
}

QTEST_GUILESS_MAIN(TestFilter)
#include "TestFilter.moc"
