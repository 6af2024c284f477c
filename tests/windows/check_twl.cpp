// Checks a Windows build of TWL.dll as the program uses it: loaded by file name, each export
// found by its name. Prints one line per check and exits non-zero when any fails.
//   check_twl TWL.dll TWLTestRes.dll [OTHER_WORD_SIZE_RESOURCES.dll]

#include "Fixtures.h"
#include "supportlib/TWL.h"
#include "supportlib/TextCases.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using TransCalFn = int(TWL_CALL*)(char*, int, const char*, const char*);
using StrCvrtFn = int(TWL_CALL*)(char*, int, const char*);
using HexToDecFn = int(TWL_CALL*)(const char*);
using WaitFn = int(TWL_CALL*)(int);
using GetResPicFn = int(TWL_CALL*)(const char*, HDC, int, int, const char*, int);
using PicLoadFn = int(TWL_CALL*)(HMODULE, HDC, HDC, int, int, const char*);
using SpnFrmFn = int(TWL_CALL*)(const char*, HDC, HDC, int, int, int, int);
using SoundFn = int(TWL_CALL*)(const char*, const char*, int);

constexpr std::uint32_t Untouched = 0xABCDEF;

class Report {
public:
    void check(bool passed, const std::string& what) {
        std::printf("%s %s\n", passed ? "ok  " : "FAIL", what.c_str());
        std::fflush(stdout);
        ++(passed ? m_passed : m_failed);
    }
    void note(const std::string& what) {
        std::printf("note %s\n", what.c_str());
        std::fflush(stdout);
    }
    int passed() const { return m_passed; }
    int failed() const { return m_failed; }

private:
    int m_passed = 0;
    int m_failed = 0;
};

struct Exports {
    TransCalFn transCal = nullptr;
    StrCvrtFn strCvrt = nullptr;
    HexToDecFn hexToDec = nullptr;
    WaitFn lag = nullptr;
    WaitFn sync = nullptr;
    GetResPicFn getResPic = nullptr;
    PicLoadFn picLoad = nullptr;
    SpnFrmFn spnFrm = nullptr;
    SoundFn sound = nullptr;
};

template <typename Fn> Fn resolve(Report& report, HMODULE library, const char* name) {
    const FARPROC found = GetProcAddress(library, name);
    report.check(found != nullptr, std::string("export ") + name + " is found by its name");
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(found));
}

// --- text ------------------------------------------------------------------------------------

std::string printable(std::mt19937& random, int length) {
    std::uniform_int_distribution<int> character(32, 126);
    std::string text;
    for (int i = 0; i < length; ++i)
        text += char(character(random));
    return text;
}

bool isUpperHex(const std::string& text) {
    return text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

void checkCalls(Report& report, const char* exportName, const textcases::Call* begin,
                const textcases::Call* end,
                const std::function<int(char*, const textcases::Call&)>& call) {
    for (const textcases::Call* c = begin; c != end; ++c) {
        char buffer[64];
        std::strcpy(buffer, textcases::Untouched);
        const int result = call(buffer, *c);
        const char* expected = c->out != nullptr ? c->out : textcases::Untouched;
        report.check(result == c->result && std::strcmp(buffer, expected) == 0,
                     std::string(exportName) + ": " + c->name);
    }
}

void checkText(Report& report, const Exports& twl) {
    checkCalls(report, "TransCal", std::begin(textcases::TransCalCases),
               std::end(textcases::TransCalCases), [&](char* out, const textcases::Call& c) {
                   return twl.transCal(out, c.mode, c.in, c.key);
               });
    checkCalls(report, "StrCvrt", std::begin(textcases::StrCvrtCases),
               std::end(textcases::StrCvrtCases),
               [&](char* out, const textcases::Call& c) { return twl.strCvrt(out, c.mode, c.in); });
    for (const textcases::HexCase& hex : textcases::HexToDecCases)
        report.check(twl.hexToDec(hex.hex) == hex.value,
                     std::string("HexToDec: \"") + hex.hex + "\" is " + std::to_string(hex.value));

    std::mt19937 random(20240611);
    bool builtInKey = true;
    for (int round = 0; round < 2000 && builtInKey; ++round) {
        const std::string text = printable(random, int(random() % 22));
        char scrambled[50] = {};
        char restored[50] = {};
        builtInKey = twl.transCal(scrambled, 0, text.c_str(), nullptr) == 1 &&
                     std::strlen(scrambled) == 2 * text.size() && isUpperHex(scrambled) &&
                     twl.transCal(restored, 1, scrambled, nullptr) == 1 && text == restored;
    }
    report.check(builtInKey, "TransCal: 2000 printable texts of up to 21 chars scramble to "
                             "upper-case hex and back (modes 0, 1)");
    bool callerKey = true;
    for (int round = 0; round < 1000 && callerKey; ++round) {
        const std::string key = printable(random, int(random() % 16));
        const std::string text = printable(random, int(random() % 200));
        std::vector<char> scrambled(2 * text.size() + 1);
        std::vector<char> restored(text.size() + 1);
        callerKey = twl.transCal(scrambled.data(), 2, text.c_str(), key.c_str()) == 1 &&
                    std::strlen(scrambled.data()) == 2 * text.size() &&
                    isUpperHex(scrambled.data()) &&
                    twl.transCal(restored.data(), 3, scrambled.data(), key.c_str()) == 1 &&
                    text == restored.data();
    }
    report.check(callerKey, "TransCal: 1000 texts of up to 199 chars with caller keys of up to "
                            "15 chars scramble and back (modes 2, 3)");
}

// --- timing ----------------------------------------------------------------------------------

// The performance counter in 100 ns ticks: the counter Lag reads, give or take a tick of
// rounding.
std::uint64_t counterTicks() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    const auto perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
    const auto count = static_cast<std::uint64_t>(counter.QuadPart);
    return count / perSecond * 10'000'000 + count % perSecond * 10'000'000 / perSecond;
}

// Lag's result lies between the counter's low half at the start plus the ticks and that
// plus the time the call took.
bool isTarget(int result, std::uint64_t before, int ticks, std::uint64_t elapsed) {
    const auto earliest = static_cast<std::uint32_t>(before) + static_cast<std::uint32_t>(ticks);
    const auto late = static_cast<std::int32_t>(static_cast<std::uint32_t>(result) - earliest);
    return late >= -1 && std::int64_t{late} <= static_cast<std::int64_t>(elapsed) + 1;
}

// Calls `wait` until a run does not cross a boundary of the counter's low 32 bits (where a
// wait legitimately ends early); false when every attempt did.
bool timedWait(WaitFn wait, int ticks, std::uint64_t& before, std::uint64_t& elapsed, int& result) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        before = counterTicks();
        result = wait(ticks);
        const std::uint64_t after = counterTicks();
        elapsed = after - before;
        const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(before));
        if ((before >> 32) == (after >> 32) &&
            std::int64_t{low} + ticks + static_cast<std::int64_t>(elapsed) <= INT32_MAX)
            return true;
    }
    return false;
}

void checkTiming(Report& report, const Exports& twl) {
    for (int ticks : {200'000, 5'000}) {
        std::uint64_t before = 0, elapsed = 0;
        int result = 0;
        const bool measured = timedWait(twl.lag, ticks, before, elapsed, result);
        report.check(
            measured && elapsed >= std::uint64_t(ticks) && isTarget(result, before, ticks, elapsed),
            "Lag(" + std::to_string(ticks) +
                ") waits that many 100 ns ticks of the performance counter and returns its target");
    }
    std::uint64_t before = 0, elapsed = 0;
    int result = 0;
    const bool measured = timedWait(twl.sync, 100'000, before, elapsed, result);
    report.check(measured && elapsed >= 100'000 && result == 100'000,
                 "Sync(100000) waits as Lag and returns its argument");
    report.check(twl.sync(0) == 0 && twl.sync(-7) == -7, "Sync(0) is 0, Sync(-7) is -7");
}

// --- pictures --------------------------------------------------------------------------------

// A memory device context with a 32-bit top-down DIB section of its own, filled with one
// colour, whose pixels can be read.
class Picture {
public:
    Picture(int width, int height, std::uint32_t fill = Untouched)
        : m_width(width), m_height(height), m_dc(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_pixels = static_cast<std::uint32_t*>(bits);
        if (m_dc != nullptr && m_bitmap != nullptr)
            m_previous = SelectObject(m_dc, m_bitmap);
        for (int i = 0; m_pixels != nullptr && i < width * height; ++i)
            m_pixels[i] = fill;
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    ~Picture() {
        if (m_previous != nullptr)
            SelectObject(m_dc, m_previous);
        if (m_bitmap != nullptr)
            DeleteObject(m_bitmap);
        if (m_dc != nullptr)
            DeleteDC(m_dc);
    }

    bool ready() const { return m_previous != nullptr && m_pixels != nullptr; }
    HDC dc() const { return m_dc; }
    std::uint32_t at(int x, int y) const {
        GdiFlush();
        return m_pixels[y * m_width + x] & 0xFFFFFF;
    }
    std::vector<std::uint32_t> row(int y) const {
        std::vector<std::uint32_t> pixels;
        for (int x = 0; x < m_width; ++x)
            pixels.push_back(at(x, y));
        return pixels;
    }
    void setRow(int y, const std::vector<std::uint32_t>& pixels) {
        for (int x = 0; x < m_width && x < int(pixels.size()); ++x)
            m_pixels[y * m_width + x] = pixels[std::size_t(x)];
    }
    bool allUntouched() const {
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                if (at(x, y) != Untouched)
                    return false;
        return true;
    }

private:
    int m_width;
    int m_height;
    HDC m_dc;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    std::uint32_t* m_pixels = nullptr;
};

bool shows(const Picture& picture, const fixtures::Image& image, int left, int top) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (picture.at(left + x, top + y) != image.at(x, y))
                return false;
    return true;
}

void checkPictures(Report& report, const Exports& twl, const char* resourceFile) {
    {
        Picture origin(5, 4);
        const int result = twl.getResPic(resourceFile, origin.dc(), 3, 2, "logo", 0);
        report.check(origin.ready() && result == 1 && shows(origin, fixtures::sixColours(), 0, 0) &&
                         origin.at(3, 0) == Untouched && origin.at(0, 2) == Untouched,
                     "GetResPic draws bitmap \"logo\" (any letter case) at (0, 0), 3 x 2 pixels");
    }
    {
        Picture placed(160, 440);
        const int result =
            placed.ready() ? twl.getResPic(resourceFile, placed.dc(), 3, 2, "LOGO", 1) : 0;
        report.check(result == 1 && shows(placed, fixtures::sixColours(), 155, 435) &&
                         placed.at(154, 435) == Untouched && placed.at(158, 435) == Untouched &&
                         placed.at(155, 434) == Untouched && placed.at(155, 437) == Untouched,
                     "GetResPic with placement 1 draws at (155, 435)");
    }
    {
        Picture part(5, 3);
        const int result = twl.getResPic(resourceFile, part.dc(), 2, 1, "#7", 0);
        const fixtures::Image seven = fixtures::twoColours();
        report.check(result == 1 && part.at(0, 0) == seven.at(0, 0) &&
                         part.at(1, 0) == seven.at(1, 0) && part.at(2, 0) == Untouched &&
                         part.at(0, 1) == Untouched,
                     "GetResPic copies only width x height from the corner; \"#7\" is bitmap 7");
    }
    {
        Picture none(5, 4);
        const bool missingBitmap = twl.getResPic(resourceFile, none.dc(), 3, 2, "NOPE", 0) == 1;
        const bool missingModule =
            twl.getResPic("no such module.dll", none.dc(), 3, 2, "LOGO", 0) == 1;
        report.check(missingBitmap && missingModule && none.allUntouched(),
                     "GetResPic returns 1 and draws nothing for a missing bitmap or module");
    }

    const HMODULE module = LoadLibraryExA(resourceFile, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    report.check(module != nullptr, std::string("the resource module ") + resourceFile + " loads");
    if (module == nullptr)
        return;
    // Bitmap resources are stored bottom row first; Wine's LoadBitmap draws the module's
    // top-down copies black, so only the bottom-up ones are checked.
    for (int bits : fixtures::Depths) {
        const std::string name = fixtures::depthName(bits, false);
        Picture compatible(1, 1);
        Picture target(6, 4);
        const int result = twl.picLoad(module, compatible.dc(), target.dc(), 6, 4, name.c_str());
        report.check(result == 1 && shows(target, fixtures::twoColours(), 0, 0) &&
                         target.at(5, 0) == Untouched && target.at(0, 3) == Untouched &&
                         compatible.allUntouched(),
                     "PicLoad draws the " + std::to_string(bits) + "-bit bitmap " + name +
                         " into a memory context");
    }
    {
        Picture target(3, 2);
        const bool missing = twl.picLoad(module, target.dc(), target.dc(), 3, 2, "OTHER") == 0 &&
                             twl.picLoad(module, target.dc(), target.dc(), 3, 2, "#2") == 0 &&
                             twl.picLoad(module, target.dc(), target.dc(), 3, 2, "CHIME") == 0;
        report.check(missing && target.allUntouched(),
                     "PicLoad returns 0 and draws nothing for a missing bitmap (a sound of "
                     "that name is no bitmap)");
    }
    FreeLibrary(module);

    // The animation ends on its last frame: direction 1 on frame 9, any other on frame 0.
    struct Spin {
        int frames;
        int direction;
        int lastFrame;
        const char* what;
    };
    const Spin spins[] = {
        {10, 1, 9, "direction 1 ends on frame 9"},
        {10, 0, 0, "direction 0 ends on frame 0"},
        {10, 2, 0, "any other direction ends on frame 0"},
        {3, 1, 2, "with three frames built, direction 1 ends on frame 2"},
    };
    for (const Spin& spin : spins) {
        Picture background(4, 1);
        background.setRow(0, fixtures::spriteBackground());
        Picture destination(4, 1, 0);
        const int result = twl.spnFrm(resourceFile, destination.dc(), background.dc(), 4, 1,
                                      spin.frames, spin.direction);
        report.check(result == 0 && destination.row(0) == fixtures::expectedFrame(spin.lastFrame) &&
                         background.row(0) == fixtures::spriteBackground(),
                     std::string("SpnFrm lays each bitmap over the background (AND, then OR "
                                 "without its 0xFF bytes); ") +
                         spin.what);
    }
    {
        Picture background(4, 1);
        Picture destination(4, 1);
        const int result =
            twl.spnFrm("no such module.dll", destination.dc(), background.dc(), 4, 1, 10, 0);
        report.check(result == 0 && destination.allUntouched(),
                     "SpnFrm returns 0 and draws nothing when the module cannot be loaded");
    }
}

// A resource module is read as data: one built for the other word size serves as well.
void checkOtherWordSize(Report& report, const Exports& twl, const char* resourceFile) {
    Picture picture(3, 2);
    const int result = twl.getResPic(resourceFile, picture.dc(), 3, 2, "LOGO", 0);
    report.check(result == 1 && shows(picture, fixtures::sixColours(), 0, 0),
                 std::string("GetResPic draws bitmap \"LOGO\" of ") + resourceFile +
                     ", a module of the other word size");
}

// --- sound -----------------------------------------------------------------------------------

// The message boxes shown on this thread while it runs: each is read and answered with OK.
class MessageBoxes {
public:
    MessageBoxes() {
        s_current = this;
        m_hook = SetWindowsHookExA(WH_CBT, &MessageBoxes::hook, nullptr, GetCurrentThreadId());
    }
    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;
    ~MessageBoxes() {
        if (m_hook != nullptr)
            UnhookWindowsHookEx(m_hook);
        s_current = nullptr;
    }

    bool ready() const { return m_hook != nullptr; }
    void clear() {
        shown.clear();
        m_seen.clear();
    }
    // "title: text" of each box shown.
    std::vector<std::string> shown;

private:
    static LRESULT CALLBACK hook(int code, WPARAM wParam, LPARAM lParam) {
        const auto box = reinterpret_cast<HWND>(wParam);
        // A box may be activated more than once before it closes (and Wine reports an
        // activation of no window as it goes).
        if (code == HCBT_ACTIVATE && s_current != nullptr && box != nullptr &&
            std::find(s_current->m_seen.begin(), s_current->m_seen.end(), box) ==
                s_current->m_seen.end()) {
            s_current->m_seen.push_back(box);
            char title[256] = {};
            char text[256] = {};
            GetWindowTextA(box, title, sizeof title);
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text); // a message box's text
            s_current->shown.push_back(std::string(title) + ": " + text);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    // The one instance of a single-threaded check: the hook has no other way to reach it.
    static inline MessageBoxes* s_current = nullptr;
    HHOOK m_hook = nullptr;
    std::vector<HWND> m_seen;
};

void checkSound(Report& report, const Exports& twl, const char* resourceFile) {
    MessageBoxes boxes;
    report.check(boxes.ready(), "message boxes can be watched");
    struct Failure {
        const char* module;
        const char* sound;
        const char* box;
        const char* what;
    };
    const Failure failures[] = {
        {"no such module.dll", "CHIME", "P_Sound: LoadLibrary FAILED", "a missing module"},
        {resourceFile, "NOPE", "P_Sound: FindResource FAILED", "a missing sound"},
        {resourceFile, "LOGO", "P_Sound: FindResource FAILED", "a bitmap of that name"},
    };
    for (const Failure& failure : failures) {
        for (int async : {0, 1}) {
            boxes.clear();
            const int result = twl.sound(failure.module, failure.sound, async);
            std::string said;
            for (const std::string& box : boxes.shown)
                said += " \"" + box + "\"";
            const bool passed =
                result == 0 && boxes.shown.size() == 1 && boxes.shown.front() == failure.box;
            report.check(passed,
                         std::string("P_Sound returns 0 for ") + failure.what + " (async " +
                             std::to_string(async) + ") and shows \"" + failure.box + "\"" +
                             (passed ? ""
                                     : "; it returned " + std::to_string(result) + " and showed" +
                                           (said.empty() ? " nothing" : said)));
        }
    }
    report.note("P_Sound's \"LoadResource FAILED\" is not checked: LoadResource does not fail on "
                "a module that loads");

    boxes.clear();
    report.check(twl.sound(resourceFile, "NOISE", 0) == 0 && boxes.shown.empty(),
                 "P_Sound returns 0 without a message box for a sound PlaySound refuses");
    boxes.clear();
    const int played = twl.sound(resourceFile, "chime", 0);
    report.check(boxes.shown.empty() && (played == 0 || played == 1),
                 "P_Sound on sound \"chime\" (synchronous) shows no message box");
    report.note(played == 1 ? "the sound played on a sound device"
                            : "no sound device took the sound: PlaySound returned FALSE");
}

// A sound in the background keeps the library loaded until it has ended, even when the caller
// lets go of the library at once.
void checkBackgroundSound(Report& report, const char* libraryFile, const char* resourceFile) {
    HMODULE library = LoadLibraryA(libraryFile);
    const auto sound =
        reinterpret_cast<SoundFn>(reinterpret_cast<void*>(GetProcAddress(library, "P_Sound")));
    const int result = sound != nullptr ? sound(resourceFile, "CHIME", 1) : 0;
    FreeLibrary(library); // the check's own reference
    FreeLibrary(library); // main()'s reference: only the sound's thread holds it now
    bool released = false;
    for (int tries = 0; tries < 1000 && !released; ++tries) {
        released = GetModuleHandleA(libraryFile) == nullptr;
        if (!released)
            WaitForSingleObject(GetCurrentThread(), 10); // the sound's thread ends meanwhile
    }
    report.check(result == 1 && released,
                 "P_Sound with async 1 starts the sound, returns 1, and lets go of the "
                 "library once the sound has ended");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: check_twl TWL.dll RESOURCE_MODULE.dll "
                             "[OTHER_WORD_SIZE_RESOURCE_MODULE.dll]\n");
        return 2;
    }
    const char* libraryFile = argv[1];
    const char* resourceFile = argv[2];
    Report report;
    std::printf("checking %s (%d-bit) with the resource module %s\n", libraryFile,
                int(sizeof(void*) * 8), resourceFile);

    const HMODULE library = LoadLibraryA(libraryFile);
    report.check(library != nullptr, std::string(libraryFile) + " loads by file name");
    if (library == nullptr)
        return 1;
    report.check(GetProcAddress(library, "TransCal@16") == nullptr &&
                     GetProcAddress(library, "_TransCal@16") == nullptr,
                 "no export carries a decorated name (TransCal@16)");
    Exports twl;
    twl.transCal = resolve<TransCalFn>(report, library, "TransCal");
    twl.strCvrt = resolve<StrCvrtFn>(report, library, "StrCvrt");
    twl.hexToDec = resolve<HexToDecFn>(report, library, "HexToDec");
    twl.lag = resolve<WaitFn>(report, library, "Lag");
    twl.sync = resolve<WaitFn>(report, library, "Sync");
    twl.getResPic = resolve<GetResPicFn>(report, library, "GetResPic");
    twl.picLoad = resolve<PicLoadFn>(report, library, "PicLoad");
    twl.spnFrm = resolve<SpnFrmFn>(report, library, "SpnFrm");
    twl.sound = resolve<SoundFn>(report, library, "P_Sound");
    if (report.failed() > 0)
        return 1;

    checkText(report, twl);
    checkTiming(report, twl);
    checkPictures(report, twl, resourceFile);
    if (argc == 4)
        checkOtherWordSize(report, twl, argv[3]);
    checkSound(report, twl, resourceFile);
    checkBackgroundSound(report, libraryFile, resourceFile);

    std::printf("%d passed, %d failed\n", report.passed(), report.failed());
    return report.failed() == 0 ? 0 : 1;
}
