#include "ResourceModules.h"
#include "supportlib/TWL.h"

#include <QFile>
#include <QLibrary>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>
#include <sys/mman.h>
#include <unistd.h>

using modules::Image;
using modules::ModuleBuilder;

namespace {

using GetResPicFn = int(TWL_CALL*)(const char*, TWL_Surface*, int, int, const char*, int);
using PicLoadFn = int(TWL_CALL*)(const TWL_Module*, const TWL_Surface*, TWL_Surface*, int, int,
                                 const char*);
using SpnFrmFn = int(TWL_CALL*)(const char*, TWL_Surface*, const TWL_Surface*, int, int, int, int);
using SoundFn = int(TWL_CALL*)(const char*, const char*, int);

constexpr quint32 Untouched = 0x00ABCDEF;

// A caller's surface, filled with one colour, that keeps a copy of every picture drawn on it.
struct Surface {
    std::vector<quint32> pixels;
    std::vector<std::vector<quint32>> shown;
    TWL_Surface surface{};

    Surface(int width, int height, quint32 fill = Untouched)
        : pixels(size_t(width * height), fill) {
        surface.width = width;
        surface.height = height;
        surface.stride = width * 4;
        surface.pixels = pixels.data();
        surface.drawn = [](TWL_Surface*, void* self) {
            auto* me = static_cast<Surface*>(self);
            me->shown.push_back(me->pixels);
        };
        surface.context = this;
    }
    Surface(const Surface&) = delete;
    quint32 at(int x, int y) const { return pixels[size_t(y * surface.width + x)]; }
};

// Six colours in three columns (odd width: rows padded), none with a 0xFF byte.
Image sixColours() {
    return {3, 2, {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0x0D0E0F, 0x010203}};
}

// A two-colour picture every depth can hold exactly.
Image twoColours() {
    return {5,
            3,
            {0xFF0000, 0x0000FF, 0x0000FF, 0xFF0000, 0xFF0000, //
             0x0000FF, 0xFF0000, 0xFF0000, 0x0000FF, 0xFF0000, //
             0x0000FF, 0x0000FF, 0xFF0000, 0xFF0000, 0x0000FF}};
}

// Bytes ending exactly where an unreadable page begins: any read past their end stops the
// test with a fault instead of passing unnoticed.
class GuardedBytes {
public:
    explicit GuardedBytes(const QByteArray& bytes) {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        m_length = (size_t(bytes.size()) + page - 1) / page * page + page;
        m_mapping =
            mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        auto* base = static_cast<unsigned char*>(m_mapping);
        mprotect(base + m_length - page, page, PROT_NONE);
        m_data = base + m_length - page - size_t(bytes.size());
        memcpy(m_data, bytes.constData(), size_t(bytes.size()));
        m_module = {m_data, size_t(bytes.size())};
    }
    ~GuardedBytes() { munmap(m_mapping, m_length); }
    GuardedBytes(const GuardedBytes&) = delete;
    const TWL_Module* module() const { return &m_module; }

private:
    void* m_mapping = nullptr;
    size_t m_length = 0;
    unsigned char* m_data = nullptr;
    TWL_Module m_module{};
};

// What a call wrote to standard error.
QByteArray standardError(const std::function<void()>& call) {
    std::fflush(stderr);
    FILE* capture = std::tmpfile();
    const int saved = dup(fileno(stderr));
    dup2(fileno(capture), fileno(stderr));
    call();
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    std::rewind(capture);
    QByteArray text;
    char buffer[512];
    while (const size_t read = std::fread(buffer, 1, sizeof buffer, capture))
        text.append(buffer, qsizetype(read));
    std::fclose(capture);
    return text;
}

bool machineHasSoundCard() {
    QFile cards("/proc/asound/cards");
    if (!cards.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = cards.readAll();
    return !text.trimmed().isEmpty() && !text.contains("no soundcards");
}

} // namespace

class TestResourceExports : public QObject {
    Q_OBJECT

    QLibrary m_library;
    QTemporaryDir m_dir;
    GetResPicFn m_getResPic = nullptr;
    PicLoadFn m_picLoad = nullptr;
    SpnFrmFn m_spnFrm = nullptr;
    SoundFn m_sound = nullptr;

    QString writeModule(const QString& name, const QByteArray& bytes) {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write a test module");
        return file.fileName();
    }

    static void compareImage(const Surface& surface, const Image& image, int left, int top) {
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                QCOMPARE(surface.at(left + x, top + y), image.at(x, y));
    }

    // A sprite frame n: pixel 0 its own colour, pixel 1 all 0xFF (the background shows),
    // pixel 2 mixed bytes (only its 0xFF bytes let the background through), pixel 3 black.
    static Image spriteFrame(int n) {
        const auto own = quint32(0x10 * n + 1);
        return {4, 1, {own << 16 | own << 8 | own, 0xFFFFFF, 0xFF20FF | quint32(n) << 8, 0x000000}};
    }

    // The expected frame n over the background: the bitmap's bytes but where they are 0xFF.
    static std::vector<quint32> expectedFrame(int n, const std::vector<quint32>& background) {
        const Image sprite = spriteFrame(n);
        std::vector<quint32> frame = background;
        for (int x = 0; x < 4; ++x) {
            quint32 pixel = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const quint32 byte = sprite.pixels[size_t(x)] >> shift & 0xFF;
                pixel |= (byte == 0xFF ? (background[size_t(x)] >> shift & 0xFF) : byte) << shift;
            }
            frame[size_t(x)] = pixel; // the unused fourth byte: the bitmap's 0
        }
        return frame;
    }

    QString spinModule(int missingFrame = -1) {
        ModuleBuilder builder;
        for (int i = 0; i < 10; ++i)
            if (i != missingFrame)
                builder.add(modules::Bitmap, QByteArray::number(i).append('B').constData(),
                            modules::dib(spriteFrame(i), 24));
        return writeModule(QStringLiteral("spin%1.dll").arg(missingFrame + 1), builder.build());
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_library.setFileName(QStringLiteral(TWL_APP_DIR "/TWL.dll"));
        QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
        m_getResPic = reinterpret_cast<GetResPicFn>(m_library.resolve("GetResPic"));
        m_picLoad = reinterpret_cast<PicLoadFn>(m_library.resolve("PicLoad"));
        m_spnFrm = reinterpret_cast<SpnFrmFn>(m_library.resolve("SpnFrm"));
        m_sound = reinterpret_cast<SoundFn>(m_library.resolve("P_Sound"));
        QVERIFY(m_getResPic && m_picLoad && m_spnFrm && m_sound);
    }

    void getResPicCopiesTheBitmapToTheOriginOrThePlacedCorner() {
        ModuleBuilder builder;
        builder.add(modules::Bitmap, "LOGO", modules::dib(sixColours(), 24));
        builder.add(modules::Bitmap, 7, modules::dib(twoColours(), 24));
        const QByteArray path = writeModule("pictures.dll", builder.build()).toLocal8Bit();

        Surface origin(5, 4);
        QCOMPARE(m_getResPic(path, &origin.surface, 3, 2, "logo", 0), 1); // any letter case
        compareImage(origin, sixColours(), 0, 0);
        QCOMPARE(origin.at(3, 0), Untouched);
        QCOMPARE(origin.at(0, 2), Untouched);
        QCOMPARE(origin.shown.size(), size_t(1));

        // Placement 1: to (155, 435); a larger rectangle than the bitmap copies the bitmap.
        Surface placed(160, 440);
        QCOMPARE(m_getResPic(path, &placed.surface, 50, 50, "LOGO", 1), 1);
        compareImage(placed, sixColours(), 155, 435);
        QCOMPARE(placed.at(154, 435), Untouched);
        QCOMPARE(placed.at(158, 435), Untouched);

        // A smaller rectangle copies that much of the top left corner; "#7" is bitmap 7.
        Surface part(5, 3);
        QCOMPARE(m_getResPic(path, &part.surface, 2, 1, "#7", 0), 1);
        QCOMPARE(part.at(0, 0), twoColours().at(0, 0));
        QCOMPARE(part.at(1, 0), twoColours().at(1, 0));
        QCOMPARE(part.at(2, 0), Untouched);
        QCOMPARE(part.at(0, 1), Untouched);

        // Missing bitmap or module: still 1, nothing drawn.
        Surface none(5, 4);
        QCOMPARE(m_getResPic(path, &none.surface, 3, 2, "NOPE", 0), 1);
        QCOMPARE(m_getResPic("no such module.dll", &none.surface, 3, 2, "LOGO", 0), 1);
        QVERIFY(none.shown.empty());
        QCOMPARE(none.at(0, 0), Untouched);
    }

    void everyBitmapDepthDrawsTheSamePicture_data() {
        QTest::addColumn<int>("bits");
        QTest::addColumn<bool>("topDown");
        for (int bits : {1, 4, 8, 16, 24, 32}) {
            QTest::addRow("%d bits", bits) << bits << false;
            QTest::addRow("%d bits, top row first", bits) << bits << true;
        }
    }
    void everyBitmapDepthDrawsTheSamePicture() {
        QFETCH(int, bits);
        QFETCH(bool, topDown);
        ModuleBuilder builder;
        builder.add(modules::Bitmap, "PIC", modules::dib(twoColours(), bits, topDown));
        const QByteArray bytes = builder.build();
        const TWL_Module module{reinterpret_cast<const unsigned char*>(bytes.constData()),
                                size_t(bytes.size())};
        Surface compatible(1, 1);
        Surface target(6, 4);
        QCOMPARE(m_picLoad(&module, &compatible.surface, &target.surface, 6, 4, "PIC"), 1);
        compareImage(target, twoColours(), 0, 0);
        QCOMPARE(target.at(5, 0), Untouched);
        QCOMPARE(target.at(0, 3), Untouched);
        QCOMPARE(compatible.at(0, 0), Untouched);
    }

    void picLoadSaysWhenTheBitmapIsMissing() {
        ModuleBuilder builder;
        builder.add(modules::Bitmap, "PIC", modules::dib(sixColours(), 24));
        builder.add("SOUND", "PIC", modules::wave(1, 8000, 8, QByteArray(8, '\x80')));
        const QByteArray bytes = builder.build();
        const TWL_Module module{reinterpret_cast<const unsigned char*>(bytes.constData()),
                                size_t(bytes.size())};
        Surface target(3, 2);
        QCOMPARE(m_picLoad(&module, nullptr, &target.surface, 3, 2, "OTHER"), 0);
        QCOMPARE(m_picLoad(&module, nullptr, &target.surface, 3, 2, "#2"), 0);
        QCOMPARE(m_picLoad(nullptr, nullptr, &target.surface, 3, 2, "PIC"), 0);
        QVERIFY(target.shown.empty());
        QCOMPARE(target.at(0, 0), Untouched);
        // A sound of the same name is not a bitmap; the bitmap itself is found.
        QCOMPARE(m_picLoad(&module, nullptr, &target.surface, 3, 2, "Pic"), 1);
        compareImage(target, sixColours(), 0, 0);
        // A surface that cannot be drawn on is left alone.
        TWL_Surface narrow = target.surface;
        narrow.stride = 4;
        QCOMPARE(m_picLoad(&module, nullptr, &narrow, 3, 2, "PIC"), 1);
    }

    void spinFramesShowInTheirOrder_data() {
        QTest::addColumn<int>("direction");
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("direction 0: nine down to zero")
            << 0 << QList<int>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
        QTest::newRow("direction 1: one up to nine") << 1 << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9};
        QTest::newRow("any other direction: one, then zero") << 2 << QList<int>{1, 0};
        QTest::newRow("a negative direction too") << -1 << QList<int>{1, 0};
    }
    void spinFramesShowInTheirOrder() {
        QFETCH(int, direction);
        QFETCH(QList<int>, order);
        const QByteArray path = spinModule().toLocal8Bit();
        Surface background(4, 1);
        background.pixels = {0x0A0B0C, 0x112233, 0x445566, 0x778899};
        Surface destination(4, 1, 0);
        QCOMPARE(m_spnFrm(path, &destination.surface, &background.surface, 4, 1, 10, direction), 0);
        QCOMPARE(destination.shown.size(), size_t(order.size()));
        for (qsizetype i = 0; i < order.size(); ++i)
            QCOMPARE(destination.shown[size_t(i)], expectedFrame(order[i], background.pixels));
        QVERIFY(background.shown.empty());
    }

    void spinFramesOnlyAsManyAsBuiltAndTheBackgroundWithoutItsBitmap() {
        Surface background(4, 1);
        background.pixels = {0x0A0B0C, 0x112233, 0x445566, 0x778899};
        {
            // Three frames built: frames 9 to 3 are not shown.
            Surface destination(4, 1, 0);
            QCOMPARE(m_spnFrm(spinModule().toLocal8Bit(), &destination.surface, &background.surface,
                              4, 1, 3, 0),
                     0);
            QCOMPARE(destination.shown.size(), size_t(3));
            QCOMPARE(destination.shown[0], expectedFrame(2, background.pixels));
            QCOMPARE(destination.shown[2], expectedFrame(0, background.pixels));
        }
        {
            // Bitmap "4B" missing: frame 4 is the background.
            Surface destination(4, 1, 0);
            QCOMPARE(m_spnFrm(spinModule(4).toLocal8Bit(), &destination.surface,
                              &background.surface, 4, 1, 10, 1),
                     0);
            QCOMPARE(destination.shown.size(), size_t(9));
            QCOMPARE(destination.shown[2], expectedFrame(3, background.pixels));
            QCOMPARE(destination.shown[3], background.pixels);
        }
        {
            Surface destination(4, 1);
            QCOMPARE(m_spnFrm("no such module.dll", &destination.surface, &background.surface, 4, 1,
                              10, 0),
                     0);
            QVERIFY(destination.shown.empty());
        }
    }

    void damagedModulesAreMissingModulesNeverACrash() {
        ModuleBuilder builder;
        builder.add(modules::Bitmap, "PIC", modules::dib(sixColours(), 8));
        builder.add("SOUND", "CHIME", modules::wave(1, 8000, 8, QByteArray(64, '\x80')));
        modules::Layout layout;
        const QByteArray whole = builder.build(&layout);
        Surface target(3, 2);
        {
            GuardedBytes intact(whole);
            QCOMPARE(m_picLoad(intact.module(), nullptr, &target.surface, 3, 2, "PIC"), 1);
        }
        // Every shortened copy: the bitmap, last in the file, is missing.
        for (qsizetype length = 0; length < whole.size(); ++length) {
            GuardedBytes cut(whole.left(length));
            const int drawn = m_picLoad(cut.module(), nullptr, &target.surface, 3, 2, "PIC");
            QVERIFY2(drawn == 0, qPrintable(QString::number(length)));
        }
        // Offsets and counts pointing out of the file.
        const auto damaged = [&](qsizetype at, quint32 value) {
            QByteArray bytes = whole;
            modules::put32(bytes, at, value);
            return bytes;
        };
        const QList<QByteArray> cases{
            damaged(0x3C, 0xFFFFFFF0),                          // the PE header
            damaged(layout.resourceDirectoryField, 0x7FFFFFF0), // the resource directory
            damaged(layout.rootDirectory + 12, 0xFFFFFFFF),     // the entry counts
            // The bitmap type's directory: its entry follows the named type "SOUND".
            damaged(layout.rootDirectory + 16 + 8 + 4, 0xFFFFFFF0),
            damaged(layout.dataEntries["PIC"], 0xFFFFFFF0),     // the data's address
            damaged(layout.dataEntries["PIC"] + 4, 0x7FFFFFFF), // the data's size
            damaged(layout.dataEntries["PIC"] + 4, 20),         // shorter than the bitmap
            damaged(layout.names["PIC"], 0x0000FFFF),           // the name's length
        };
        for (qsizetype i = 0; i < cases.size(); ++i) {
            GuardedBytes module(cases[i]);
            QVERIFY2(m_picLoad(module.module(), nullptr, &target.surface, 3, 2, "PIC") == 0,
                     qPrintable(QString::number(i)));
        }
        // Random damage anywhere.
        QRandomGenerator random(4711);
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes = whole;
            for (int flips = random.bounded(1, 6); flips > 0; --flips)
                bytes[random.bounded(bytes.size())] = char(random.bounded(256));
            GuardedBytes module(bytes);
            m_picLoad(module.module(), nullptr, &target.surface, 3, 2, "PIC");
        }

        // Through a file: GetResPic draws nothing, P_Sound says which step failed.
        const QByteArray notAModule = writeModule("text.dll", "just some text").toLocal8Bit();
        const QByteArray badData =
            writeModule("baddata.dll", damaged(layout.dataEntries["CHIME"] + 4, 0x7FFFFFFF))
                .toLocal8Bit();
        Surface untouched(3, 2);
        QCOMPARE(m_getResPic(notAModule, &untouched.surface, 3, 2, "PIC", 0), 1);
        QVERIFY(untouched.shown.empty());
        int result = -1;
        QCOMPARE(standardError([&] { result = m_sound(notAModule, "CHIME", 0); }),
                 QByteArray("P_Sound: LoadLibrary FAILED\n"));
        QCOMPARE(result, 0);
        QCOMPARE(standardError([&] { result = m_sound(badData, "CHIME", 0); }),
                 QByteArray("P_Sound: LoadResource FAILED\n"));
        QCOMPARE(result, 0);
    }

    void soundFailuresSayWhichStepFailed() {
        ModuleBuilder builder;
        builder.add("SOUND", "CHIME", modules::wave(1, 8000, 16, QByteArray(1600, '\0')));
        builder.add("SOUND", "NOISE", QByteArray("not a wave file at all"));
        builder.add(modules::Bitmap, "BEEP", modules::dib(sixColours(), 24));
        const QByteArray path = writeModule("sounds.dll", builder.build()).toLocal8Bit();
        int result = -1;
        QCOMPARE(standardError([&] { result = m_sound("no such module.dll", "CHIME", 1); }),
                 QByteArray("P_Sound: LoadLibrary FAILED\n"));
        QCOMPARE(result, 0);
        // A bitmap of that name is not a sound.
        QCOMPARE(standardError([&] { result = m_sound(path, "BEEP", 1); }),
                 QByteArray("P_Sound: FindResource FAILED\n"));
        QCOMPARE(result, 0);
        QVERIFY(standardError([&] {
                    result = m_sound(path, "noise", 0);
                }).endsWith("P_Sound: PlaySound FAILED\n"));
        QCOMPARE(result, 0);
    }

    void aSoundPlaysOrSaysThereIsNoDevice() {
        ModuleBuilder builder;
        // A twentieth of a second of silence.
        builder.add("SOUND", "CHIME", modules::wave(2, 8000, 16, QByteArray(1600, '\0')));
        const QByteArray path = writeModule("chime.dll", builder.build()).toLocal8Bit();
        for (int async : {0, 1}) {
            int result = -1;
            const QByteArray said = standardError([&] { result = m_sound(path, "chime", async); });
            if (!machineHasSoundCard()) {
                // No sound card (as on the build machines): the device cannot be opened.
                QCOMPARE(result, 0);
                QVERIFY2(said.endsWith("P_Sound: PlaySound FAILED\n"), said.constData());
            } else {
                QVERIFY2(result == 1 || said.endsWith("P_Sound: PlaySound FAILED\n"),
                         said.constData());
            }
            QVERIFY(!said.contains("LoadLibrary") && !said.contains("Resource FAILED"));
        }
    }

    // Run by test_supportlib_null_sound, whose sound device takes every sound.
    void aSoundPlaysOnADevice() {
        if (qEnvironmentVariableIsEmpty("ALSA_CONFIG_PATH"))
            QSKIP("needs the null sound device of test_supportlib_null_sound");
        ModuleBuilder builder;
        builder.add("SOUND", "CHIME", modules::wave(2, 8000, 16, QByteArray(1600, '\0')));
        builder.add("SOUND", "TICK", modules::wave(1, 22050, 8, QByteArray(441, '\x80')));
        const QByteArray path = writeModule("device.dll", builder.build()).toLocal8Bit();
        int result = -1;
        QCOMPARE(standardError([&] { result = m_sound(path, "TICK", 1); }), QByteArray());
        QCOMPARE(result, 1);
        QCOMPARE(standardError([&] { result = m_sound(path, "CHIME", 0); }), QByteArray());
        QCOMPARE(result, 1);
    }
};

QTEST_GUILESS_MAIN(TestResourceExports)
#include "TestResourceExports.moc"
