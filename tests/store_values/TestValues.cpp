#include "store/Field.h"
#include "store/StoreError.h"
#include "store/Value.h"

#include <QTest>
#include <algorithm>
#include <optional>
#include <type_traits>

using namespace store;

Q_DECLARE_METATYPE(store::Value)
Q_DECLARE_METATYPE(store::FieldType)

namespace {

// The conversion's result, or the code of the error it threw.
struct Outcome {
    Value value;
    std::optional<StoreError::Code> error;
};

Outcome convert(const Value& v, FieldType type, int maxLength = 0) {
    try {
        return {v.convertedTo(type, maxLength), std::nullopt};
    } catch (const StoreError& e) {
        return {Value(), e.code()};
    }
}

constexpr auto kRefused = StoreError::Code::Conversion;

// What may become a value without a word: numbers, money, dates and texts. A pointer never
// becomes one (it would have been a boolean), a boolean only when written out, a character never.
static_assert(std::is_convertible_v<int, Value> && std::is_convertible_v<double, Value> &&
              std::is_convertible_v<QString, Value> && std::is_convertible_v<QDate, Value> &&
              std::is_convertible_v<Currency, Value> && std::is_convertible_v<const char*, Value>);
static_assert(!std::is_constructible_v<Value, const void*> &&
              !std::is_constructible_v<Value, int*> &&
              !std::is_constructible_v<Value, const QString*> &&
              !std::is_constructible_v<Value, std::nullptr_t>);
static_assert(std::is_constructible_v<Value, bool> && !std::is_convertible_v<bool, Value>);
static_assert(!std::is_constructible_v<Value, char>);

} // namespace

class TestValues : public QObject {
    Q_OBJECT

private slots:
    void conversions_data();
    void conversions();
    void textLength();
    void conversionMessages();
    void reads();
    void numberTexts_data();
    void numberTexts();
    void dateTexts_data();
    void dateTexts();
    void ordering();
    void fieldNames();
};

void TestValues::conversions_data() {
    QTest::addColumn<Value>("input");
    QTest::addColumn<FieldType>("type");
    QTest::addColumn<Value>("expected"); // ignored when refused
    QTest::addColumn<bool>("refused");

    const auto I = FieldType::Integer;
    QTest::newRow("int max") << Value(32767) << I << Value(32767) << false;
    QTest::newRow("int over") << Value(32768) << I << Value() << true;
    QTest::newRow("int min") << Value(-32768) << I << Value(-32768) << false;
    QTest::newRow("int under") << Value("-32769") << I << Value() << true;
    QTest::newRow("int rounds over") << Value(32767.5) << I << Value() << true;
    QTest::newRow("int text") << Value(" 12 ") << I << Value(12) << false;
    QTest::newRow("int 12.5 even") << Value("12.5") << I << Value(12) << false;
    QTest::newRow("int 13.5 even") << Value(13.5) << I << Value(14) << false;
    QTest::newRow("int -2.5 even") << Value(-2.5) << I << Value(-2) << false;
    QTest::newRow("int money") << Value(Currency{25000}) << I << Value(2) << false;
    QTest::newRow("int abc") << Value("abc") << I << Value() << true;
    QTest::newRow("int 12abc") << Value("12abc") << I << Value() << true;
    QTest::newRow("int empty") << Value("") << I << Value() << false;
    QTest::newRow("int blank") << Value("   ") << I << Value() << false;
    QTest::newRow("int null") << Value() << I << Value() << false;
    QTest::newRow("int yes") << Value(true) << I << Value(1) << false;
    QTest::newRow("int date") << Value(QDate(2024, 1, 5)) << I << Value() << true;

    const auto N = FieldType::Number;
    QTest::newRow("num text") << Value("1,234.5") << N << Value(1234.5) << false;
    QTest::newRow("num int") << Value(3) << N << Value(3.0) << false;
    QTest::newRow("num abc") << Value("abc") << N << Value() << true;

    const auto C = FieldType::Currency;
    QTest::newRow("cur text") << Value("$1,234.50") << C << Value(Currency{12345000}) << false;
    QTest::newRow("cur neg") << Value("-$5") << C << Value(Currency{-50000}) << false;
    QTest::newRow("cur paren") << Value("($5.00)") << C << Value(Currency{-50000}) << false;
    QTest::newRow("cur half up") << Value(1.00005) << C << Value(Currency{10001}) << false;
    QTest::newRow("cur half down") << Value(-1.00005) << C << Value(Currency{-10001}) << false;
    QTest::newRow("cur int") << Value(7) << C << Value(Currency{70000}) << false;
    QTest::newRow("cur huge") << Value(1e16) << C << Value() << true;

    const auto B = FieldType::Boolean;
    QTest::newRow("bool Yes") << Value("Yes") << B << Value(true) << false;
    QTest::newRow("bool TRUE") << Value("TRUE") << B << Value(true) << false;
    QTest::newRow("bool false") << Value("false") << B << Value(false) << false;
    QTest::newRow("bool no") << Value("No") << B << Value(false) << false;
    QTest::newRow("bool text 0") << Value("0") << B << Value(false) << false;
    QTest::newRow("bool -1") << Value(-1) << B << Value(true) << false;
    QTest::newRow("bool maybe") << Value("maybe") << B << Value() << true;

    const auto D = FieldType::Date;
    QTest::newRow("date iso") << Value("2024-02-29") << D << Value(QDate(2024, 2, 29)) << false;
    QTest::newRow("date us") << Value("2/29/2024") << D << Value(QDate(2024, 2, 29)) << false;
    QTest::newRow("date us yy") << Value("1/5/24") << D << Value(QDate(2024, 1, 5)) << false;
    QTest::newRow("date 1985") << Value("1/5/85") << D << Value(QDate(1985, 1, 5)) << false;
    QTest::newRow("date no day") << Value("2/30/2024") << D << Value() << true;
    QTest::newRow("date abc") << Value("abc") << D << Value() << true;
    QTest::newRow("date number") << Value(5) << D << Value() << true;

    const auto T = FieldType::Text;
    QTest::newRow("text number") << Value(12.5) << T << Value("12.5") << false;
    QTest::newRow("text money") << Value(Currency{250000}) << T << Value("25") << false;
    QTest::newRow("text bool") << Value(false) << T << Value("False") << false;
    QTest::newRow("text date") << Value(QDate(2024, 5, 1)) << T << Value("2024-05-01") << false;
    QTest::newRow("text empty") << Value("") << T << Value("") << false;
}

void TestValues::conversions() {
    QFETCH(Value, input);
    QFETCH(FieldType, type);
    QFETCH(Value, expected);
    QFETCH(bool, refused);
    const Outcome out = convert(input, type);
    if (refused) {
        QCOMPARE(out.error, std::optional(kRefused));
        return;
    }
    QVERIFY2(!out.error, "refused");
    QCOMPARE(out.value.kind(), expected.kind());
    QVERIFY2(out.value == expected, qPrintable(out.value.toText()));
}

void TestValues::textLength() {
    QCOMPARE(convert(Value("abcde"), FieldType::Text, 5).value, Value("abcde"));
    QCOMPARE(convert(Value("abcdef"), FieldType::Text, 5).error,
             std::optional(StoreError::Code::TooLong));
    QCOMPARE(convert(Value(123456), FieldType::Text, 5).error,
             std::optional(StoreError::Code::TooLong));
    QVERIFY(!convert(Value(QString(500, QLatin1Char('x'))), FieldType::Text, 0).error);
    // A character outside the basic plane is one character, not two.
    const QString horse = QStringLiteral("ab\U0001F40E");
    QVERIFY(!convert(Value(horse), FieldType::Text, 3).error);
    QVERIFY(convert(Value(horse + QLatin1Char('c')), FieldType::Text, 3).error);
}

void TestValues::conversionMessages() {
    try {
        Value("abc").convertedTo(FieldType::Integer);
        QFAIL("no error");
    } catch (const StoreError& e) {
        QCOMPARE(e.message(), QStringLiteral("\"abc\" is not a number"));
    }
    try {
        Value("abc").convertedTo(FieldType::Date);
        QFAIL("no error");
    } catch (const StoreError& e) {
        QCOMPARE(e.message(), QStringLiteral("\"abc\" is not a date"));
    }
    try {
        Value("abcdef").convertedTo(FieldType::Text, 5);
        QFAIL("no error");
    } catch (const StoreError& e) {
        QVERIFY2(e.message().contains(QLatin1String("5")), qPrintable(e.message()));
    }
}

void TestValues::reads() {
    // A text given as a null pointer is no text at all.
    QVERIFY(Value(static_cast<const char*>(nullptr)).isNull());
    QCOMPARE(Value("Émile").toText(), QString::fromUtf8("Émile"));
    QCOMPARE(Value().toText(), QString());
    QCOMPARE(Value().toInt(), 0);
    QCOMPARE(Value().toBool(), false);
    QCOMPARE(Value(true).toText(), QStringLiteral("True"));
    QCOMPARE(Value(true).toInt(), 1);
    QCOMPARE(Value(3.0).toText(), QStringLiteral("3"));
    QCOMPARE(Value(12.5).toText(), QStringLiteral("12.5"));
    QCOMPARE(Value(1e6).toText(), QStringLiteral("1000000"));
    QCOMPARE(Value(0.1 + 0.2).toText(), QStringLiteral("0.3"));
    QCOMPARE(Value(Currency{125000}).toText(), QStringLiteral("12.5"));
    QCOMPARE(Value(Currency{-1}).toText(), QStringLiteral("-0.0001"));
    QCOMPARE(Value(Currency{125000}).toInt(), 12);
    QCOMPARE(Value(Currency{135000}).toInt(), 14);
    QCOMPARE(Value("12.5").toInt(), 12);
    QCOMPARE(Value("abc").toInt(), 0);
    QCOMPARE(Value("abc").toDouble(), 0.0);
    QCOMPARE(Value("abc").toBool(), false);
    QCOMPARE(Value("On").toBool(), true);
    QCOMPARE(Value("0").toBool(), false);
    QCOMPARE(Value(0.5).toBool(), true);
    QVERIFY(!Value("abc").toDate().isValid());
    QCOMPARE(Value("2024-05-01").toDate(), QDate(2024, 5, 1));
    QCOMPARE(Value(QDate(2024, 5, 1)).toText(), QStringLiteral("2024-05-01"));
    QCOMPARE(Value("$25.00").toCurrency(), Currency{250000});
    QCOMPARE(Value("abc").toCurrency(), Currency{});
}

void TestValues::numberTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("expected");
    QTest::newRow("plain") << "12" << true << 12.0;
    QTest::newRow("blanks") << "  -3.5 " << true << -3.5;
    QTest::newRow("plus") << "+7" << true << 7.0;
    QTest::newRow("point first") << ".5" << true << 0.5;
    QTest::newRow("groups") << "1,234.50" << true << 1234.5;
    QTest::newRow("two groups") << "1,234,567" << true << 1234567.0;
    QTest::newRow("dollars") << "$25.00" << true << 25.0;
    QTest::newRow("minus dollars") << "-$5" << true << -5.0;
    QTest::newRow("accounting") << "($5.00)" << true << -5.0;
    QTest::newRow("exponent") << "1e3" << true << 1000.0;
    QTest::newRow("own text") << Value(1.5e-7).toText() << true << 1.5e-7;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("word") << "abc" << false << 0.0;
    QTest::newRow("trailing word") << "12abc" << false << 0.0;
    QTest::newRow("short group") << "1,5" << false << 0.0;
    QTest::newRow("lone sign") << "-" << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("bare exponent") << "1e" << false << 0.0;
}

void TestValues::numberTexts() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, expected);
    double out = -99;
    QCOMPARE(parseNumber(text, &out), ok);
    if (ok)
        QCOMPARE(out, expected);
}

void TestValues::dateTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected"); // invalid: refused
    QTest::newRow("iso") << " 2024-05-01 " << QDate(2024, 5, 1);
    QTest::newRow("iso time") << "2024-05-01 00:00:00" << QDate(2024, 5, 1);
    QTest::newRow("us") << "5/1/2024" << QDate(2024, 5, 1);
    QTest::newRow("us 29") << "5/1/29" << QDate(2029, 5, 1);
    QTest::newRow("us 30") << "5/1/30" << QDate(1930, 5, 1);
    QTest::newRow("leap 00") << "2/29/00" << QDate(2000, 2, 29);
    QTest::newRow("month 13") << "13/1/2024" << QDate();
    QTest::newRow("iso bad day") << "2023-02-29" << QDate();
    QTest::newRow("three digit year") << "5/1/202" << QDate();
    QTest::newRow("trailing") << "5/1/2024x" << QDate();
    QTest::newRow("empty") << "" << QDate();
}

void TestValues::dateTexts() {
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    QDate out;
    QCOMPARE(parseDate(text, &out), expected.isValid());
    if (expected.isValid())
        QCOMPARE(out, expected);
}

void TestValues::ordering() {
    std::vector<Value> values{Value("banana"), Value(), Value("Apple"), Value("cherry"),
                              Value("APPLE2")};
    std::sort(values.begin(), values.end(),
              [](const Value& a, const Value& b) { return compareValues(a, b) < 0; });
    QStringList order;
    for (const Value& v : values)
        order << (v.isNull() ? QStringLiteral("<null>") : v.toText());
    QCOMPARE(order.join(','), QStringLiteral("<null>,Apple,APPLE2,banana,cherry"));

    QCOMPARE(compareValues(Value(), Value()), 0);
    QVERIFY(compareValues(Value(), Value(-1000)) < 0);
    QCOMPARE(compareValues(Value("ÉCOLE"), Value("école")), 0);
    QVERIFY(compareValues(Value(9), Value(10)) < 0);
    QVERIFY(compareValues(Value("9"), Value(10)) < 0); // numeric, not "9" > "10"
    QVERIFY(compareValues(Value(10), Value("9.5")) > 0);
    QCOMPARE(compareValues(Value(Currency{125000}), Value(12.5)), 0);
    QCOMPARE(compareValues(Value(true), Value(1)), 0);
    QVERIFY(compareValues(Value("abc"), Value(5)) > 0); // texts: "abc" after "5"
    QCOMPARE(compareValues(Value(QDate(2024, 5, 1)), Value("5/1/2024")), 0);
    QVERIFY(compareValues(Value(QDate(2024, 5, 1)), Value(QDate(2024, 4, 30))) > 0);
}

void TestValues::fieldNames() {
    const Fields fields{{QStringLiteral("Horse Name"), FieldType::Text, 50},
                        {QStringLiteral("Class No"), FieldType::Integer, 0}};
    QCOMPARE(findField(fields, QStringLiteral("[Class No]")), 1);
    QCOMPARE(findField(fields, QStringLiteral("`Class No`")), 1);
    QCOMPARE(findField(fields, QStringLiteral(" class no ")), 1);
    QCOMPARE(findField(fields, QStringLiteral("[ HORSE NAME ]")), 0);
    QCOMPARE(findField(fields, QStringLiteral("Class")), -1);
    QCOMPARE(findField(fields, QStringLiteral("[Class No")), -1);
    QCOMPARE(bareFieldName(QStringLiteral("  [Class No] ")), QStringLiteral("Class No"));
    QCOMPARE(bareFieldName(QStringLiteral("`Fee`")), QStringLiteral("Fee"));
    QCOMPARE(bareFieldName(QStringLiteral("Fee")), QStringLiteral("Fee"));
}

QTEST_GUILESS_MAIN(TestValues)
#include "TestValues.moc"
