#include "TextCases.h"
#include "supportlib/TWL.h"

#include <QLibrary>
#include <QRandomGenerator>
#include <QTest>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using TransCalFn = int(TWL_CALL*)(char*, int, const char*, const char*);
using StrCvrtFn = int(TWL_CALL*)(char*, int, const char*);
using HexToDecFn = int(TWL_CALL*)(const char*);
using WaitFn = int(TWL_CALL*)(int);

constexpr char kUntouched[] = "untouched";

// The library's counter: 100 ns ticks of the monotonic clock.
std::uint64_t counterTicks() {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<Ticks>(sinceStart).count());
}

struct TimedWait {
    std::uint64_t before = 0;
    std::uint64_t after = 0;
    int result = 0;

    std::uint64_t elapsed() const { return after - before; }

    // Only the low 32 bits are compared, as signed values: a wait crossing their sign change
    // or carry legitimately ends early, so such a run says nothing about the wait length.
    bool nearCounterBoundary(int ticks) const {
        const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(before));
        return (before >> 32) != (after >> 32) ||
               std::int64_t{low} + ticks + static_cast<std::int64_t>(elapsed()) > INT32_MAX;
    }
};

TimedWait timedCall(WaitFn wait, int ticks) {
    TimedWait run;
    run.before = counterTicks();
    run.result = wait(ticks);
    run.after = counterTicks();
    return run;
}

QByteArray randomPrintable(QRandomGenerator& random, int length) {
    QByteArray text;
    for (int i = 0; i < length; ++i)
        text.append(static_cast<char>(random.bounded(32, 127)));
    return text;
}

bool isUpperHex(const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        if (std::strchr("0123456789ABCDEF", *p) == nullptr)
            return false;
    }
    return true;
}

} // namespace

class TestSupportLib : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void knownPasswordVector();
    void builtInKeyRoundTrip();
    void emptyInput();
    void callerKeyCyclesThroughItsTerminator();
    void callerKeyRoundTrip();
    void loneTrailingDigit();
    void unknownModesLeaveBufferAlone();
    void strCvrtConvertsBothWays();
    void strCvrtStopsAtWorkingBufferLimit();
    void strCvrtRejectsNullAndBadMode();
    void hexToDec();
    void knownAnswersEveryBuildGives();
    void lagWaitsForTheTicks();
    void lagWithNonPositiveTicksReturnsItsTarget();
    void syncWaitsAndReturnsItsArgument();

private:
    template <typename Fn> Fn resolve(const char* name);
    void checkTimedWait(WaitFn wait, int ticks, bool resultIsTarget);

    QLibrary m_library;
    TransCalFn m_transCal = nullptr;
    StrCvrtFn m_strCvrt = nullptr;
    HexToDecFn m_hexToDec = nullptr;
    WaitFn m_lag = nullptr;
    WaitFn m_sync = nullptr;
};

template <typename Fn> Fn TestSupportLib::resolve(const char* name) {
    return reinterpret_cast<Fn>(m_library.resolve(name));
}

void TestSupportLib::initTestCase() {
    m_library.setFileName(QStringLiteral(TWL_APP_DIR "/TWL.dll"));
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
    m_transCal = resolve<TransCalFn>("TransCal");
    m_strCvrt = resolve<StrCvrtFn>("StrCvrt");
    m_hexToDec = resolve<HexToDecFn>("HexToDec");
    m_lag = resolve<WaitFn>("Lag");
    m_sync = resolve<WaitFn>("Sync");
    QVERIFY(m_transCal && m_strCvrt && m_hexToDec && m_lag && m_sync);
}

void TestSupportLib::knownPasswordVector() {
    char buffer[50] = {};
    QCOMPARE(m_transCal(buffer, 1, "A5E86797C7", " "), 1);
    QCOMPARE(QByteArray(buffer), QByteArray("Tr0tW"));
    QCOMPARE(m_transCal(buffer, 0, "Tr0tW", ""), 1);
    QCOMPARE(QByteArray(buffer), QByteArray("A5E86797C7"));
}

void TestSupportLib::builtInKeyRoundTrip() {
    QRandomGenerator random(20240611);
    for (int round = 0; round < 2000; ++round) {
        const QByteArray text = randomPrintable(random, random.bounded(0, 22));
        char scrambled[50] = {};
        char restored[50] = {};
        QCOMPARE(m_transCal(scrambled, 0, text.constData(), nullptr), 1);
        QCOMPARE(std::strlen(scrambled), static_cast<std::size_t>(2 * text.size()));
        QVERIFY2(isUpperHex(scrambled), scrambled);
        QCOMPARE(m_transCal(restored, 1, scrambled, nullptr), 1);
        QCOMPARE(QByteArray(restored), text);
    }
}

void TestSupportLib::emptyInput() {
    char buffer[50];
    std::strcpy(buffer, kUntouched);
    QCOMPARE(m_transCal(buffer, 0, "", ""), 1);
    QCOMPARE(buffer[0], '\0');
    std::strcpy(buffer, kUntouched);
    QCOMPARE(m_transCal(buffer, 1, "", ""), 1);
    QCOMPARE(buffer[0], '\0');
}

void TestSupportLib::callerKeyCyclesThroughItsTerminator() {
    const QByteArray text = "Horse show";
    const int keyValues[] = {'a', 'b', 'c', 0};
    char buffer[64] = {};
    QCOMPARE(m_transCal(buffer, 2, text.constData(), "abc"), 1);
    QCOMPARE(std::strlen(buffer), static_cast<std::size_t>(2 * text.size()));
    for (int i = 0; i < text.size(); ++i) {
        const int sum = text[i] + keyValues[i % 4];
        const QByteArray digits = QByteArray::number(sum, 16).toUpper().rightJustified(2, '0');
        QCOMPARE(QByteArray(buffer + 2 * i, 2), digits);
    }
}

void TestSupportLib::callerKeyRoundTrip() {
    QRandomGenerator random(77);
    for (int round = 0; round < 1000; ++round) {
        const QByteArray key = randomPrintable(random, random.bounded(0, 16));
        const QByteArray text = randomPrintable(random, random.bounded(0, 200));
        std::vector<char> scrambled(2 * text.size() + 1);
        std::vector<char> restored(text.size() + 1);
        QCOMPARE(m_transCal(scrambled.data(), 2, text.constData(), key.constData()), 1);
        QCOMPARE(std::strlen(scrambled.data()), static_cast<std::size_t>(2 * text.size()));
        QVERIFY(isUpperHex(scrambled.data()));
        QCOMPARE(m_transCal(restored.data(), 3, scrambled.data(), key.constData()), 1);
        QCOMPARE(QByteArray(restored.data()), text);
    }
}

void TestSupportLib::loneTrailingDigit() {
    // A lone last digit is read as a one-digit value: 0xE - 'v' keeps its low 8 bits.
    char buffer[50];
    std::memset(buffer, 'x', sizeof buffer);
    QCOMPARE(m_transCal(buffer, 1, "A5E", nullptr), 1);
    QCOMPARE(buffer[0], 'T');
    QCOMPARE(static_cast<unsigned char>(buffer[1]), static_cast<unsigned char>(0xE - 'v'));
    QCOMPARE(buffer[2], '\0');
    std::memset(buffer, 'x', sizeof buffer);
    QCOMPARE(m_strCvrt(buffer, 1, "4142F"), 1);
    QCOMPARE(QByteArray(buffer), QByteArray("AB\x0F"));
}

void TestSupportLib::unknownModesLeaveBufferAlone() {
    for (int mode : {-1, 4, 99}) {
        char buffer[50];
        std::strcpy(buffer, kUntouched);
        QCOMPARE(m_transCal(buffer, mode, "Tr0tW", "abc"), 0);
        QCOMPARE(QByteArray(buffer), QByteArray(kUntouched));
    }
}

void TestSupportLib::strCvrtConvertsBothWays() {
    char buffer[52] = {};
    QCOMPARE(m_strCvrt(buffer, 0, "abc"), 1);
    QCOMPARE(QByteArray(buffer), QByteArray("616263"));
    QCOMPARE(m_strCvrt(buffer, 1, "616263"), 1);
    QCOMPARE(QByteArray(buffer), QByteArray("abc"));
    // No leading zeros: a tab is a single digit.
    QCOMPARE(m_strCvrt(buffer, 0, "\tZ"), 1);
    QCOMPARE(QByteArray(buffer), QByteArray("95A"));
    QCOMPARE(m_strCvrt(buffer, 0, "~"), 1);
    QCOMPARE(QByteArray(buffer), QByteArray("7E"));
}

void TestSupportLib::strCvrtStopsAtWorkingBufferLimit() {
    char buffer[128];
    std::memset(buffer, 'x', sizeof buffer);
    const QByteArray alphabet = "abcdefghijklmnopqrstuvwxyz";
    QCOMPARE(m_strCvrt(buffer, 0, alphabet.constData()), 1);
    QCOMPARE(QByteArray(buffer), alphabet.left(25).toHex().toUpper());

    std::memset(buffer, 'x', sizeof buffer);
    const QByteArray longHex = QByteArray(60, 'a').toHex().toUpper();
    QCOMPARE(m_strCvrt(buffer, 1, longHex.constData()), 1);
    QCOMPARE(QByteArray(buffer), QByteArray(51, 'a'));
}

void TestSupportLib::strCvrtRejectsNullAndBadMode() {
    char buffer[52];
    std::strcpy(buffer, kUntouched);
    QCOMPARE(m_strCvrt(buffer, 0, nullptr), 0);
    QCOMPARE(m_strCvrt(buffer, 1, nullptr), 0);
    QCOMPARE(QByteArray(buffer), QByteArray(kUntouched));
    QCOMPARE(m_strCvrt(buffer, 2, "abc"), 2);
    QCOMPARE(m_strCvrt(buffer, -1, "abc"), 2);
    QCOMPARE(QByteArray(buffer), QByteArray(kUntouched));
}

void TestSupportLib::hexToDec() {
    QCOMPARE(m_hexToDec("7F"), 127);
    QCOMPARE(m_hexToDec("0A"), 10);
    QCOMPARE(m_hexToDec("FF"), 255);
    QCOMPARE(m_hexToDec("00"), 0);
    QCOMPARE(m_hexToDec("C"), 12);
    // Lower-case letters are not hex digits here: 'f' counts as 102 - 55.
    QCOMPARE(m_hexToDec("7f"), 7 * 16 + 47);
}

void TestSupportLib::knownAnswersEveryBuildGives() {
    // The table the Windows builds are checked against: it must hold for this build too.
    for (const textcases::Call& call : textcases::TransCalCases) {
        char buffer[64];
        std::strcpy(buffer, textcases::Untouched);
        QVERIFY2(m_transCal(buffer, call.mode, call.in, call.key) == call.result, call.name);
        const char* expected = call.out != nullptr ? call.out : textcases::Untouched;
        QVERIFY2(QByteArray(buffer) == QByteArray(expected), call.name);
    }
    for (const textcases::Call& call : textcases::StrCvrtCases) {
        char buffer[64];
        std::strcpy(buffer, textcases::Untouched);
        QVERIFY2(m_strCvrt(buffer, call.mode, call.in) == call.result, call.name);
        const char* expected = call.out != nullptr ? call.out : textcases::Untouched;
        QVERIFY2(QByteArray(buffer) == QByteArray(expected), call.name);
    }
    for (const textcases::HexCase& hex : textcases::HexToDecCases)
        QVERIFY2(m_hexToDec(hex.hex) == hex.value, hex.hex);
}

void TestSupportLib::checkTimedWait(WaitFn wait, int ticks, bool resultIsTarget) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        const TimedWait run = timedCall(wait, ticks);
        if (run.nearCounterBoundary(ticks))
            continue;
        // At least the ticks; how much longer depends on the machine's load (bench_supportlib).
        QVERIFY2(run.elapsed() >= static_cast<std::uint64_t>(ticks),
                 qPrintable(QString::number(run.elapsed())));
        if (resultIsTarget) {
            // The target is the counter's low half at the start plus the ticks.
            const auto earliest =
                static_cast<std::uint32_t>(run.before) + static_cast<std::uint32_t>(ticks);
            QVERIFY(static_cast<std::uint32_t>(run.result) - earliest <= run.elapsed());
        } else {
            QCOMPARE(run.result, ticks);
        }
        return;
    }
    QFAIL("every attempt crossed a counter boundary");
}

void TestSupportLib::lagWaitsForTheTicks() {
    checkTimedWait(m_lag, 200'000, true);
    checkTimedWait(m_lag, 5'000, true);
}

void TestSupportLib::lagWithNonPositiveTicksReturnsItsTarget() {
    for (int ticks : {0, -50'000}) {
        const TimedWait run = timedCall(m_lag, ticks);
        const auto earliest =
            static_cast<std::uint32_t>(run.before) + static_cast<std::uint32_t>(ticks);
        QVERIFY(static_cast<std::uint32_t>(run.result) - earliest <= run.elapsed());
    }
}

void TestSupportLib::syncWaitsAndReturnsItsArgument() {
    checkTimedWait(m_sync, 100'000, false);
    QCOMPARE(m_sync(0), 0);
    QCOMPARE(m_sync(-7), -7);
}

QTEST_GUILESS_MAIN(TestSupportLib)
#include "TestSupportLib.moc"
