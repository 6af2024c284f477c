#include "TWL.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr char kBuiltInKey[] = "Qv7#pL2@xR9!mT4$kW8&z";
constexpr std::size_t kBuiltInKeyLength = sizeof(kBuiltInKey) - 1;
static_assert(kBuiltInKeyLength == 21);

// StrCvrt converts through a working buffer of this size, terminator included.
constexpr std::size_t kWorkSize = 52;

// Chars take part in all arithmetic as signed 8-bit values.
int code(char c) {
    return static_cast<signed char>(c);
}

// Key chars in the order they are added to (or taken from) the text. Without cycling the key
// is indexed by position and everything past its end counts as 0; with cycling the index
// returns to 0 after the terminating zero, so "abc" yields a, b, c, 0, a, b, c, 0, ...
class KeyStream {
public:
    KeyStream(const char* key, bool cycling)
        : m_key(key != nullptr ? key : ""), m_length(std::strlen(m_key)), m_cycling(cycling) {}

    int next() {
        const int value = m_index <= m_length ? code(m_key[m_index]) : 0;
        ++m_index;
        if (m_cycling && m_index > m_length)
            m_index = 0;
        return value;
    }

private:
    const char* m_key;
    std::size_t m_length;
    bool m_cycling;
    std::size_t m_index = 0;
};

// Writes `value` in upper-case base 16 without leading zeros (a negative value shows as its
// 32-bit two's complement, as the C runtime's radix-16 conversion does). No terminator.
std::size_t formatHex(int value, char* digits) {
    std::array<char, 8> reversed{};
    std::size_t count = 0;
    auto bits = static_cast<std::uint32_t>(value);
    do {
        reversed[count++] = "0123456789ABCDEF"[bits & 0xFU];
        bits >>= 4;
    } while (bits != 0);
    for (std::size_t i = 0; i < count; ++i)
        digits[i] = reversed[count - 1 - i];
    return count;
}

// Reads the next pair of hex digits and steps past it. A lone digit before the terminator is
// read as a one-digit number, so the terminator is never passed.
int readPair(const char*& text) {
    const std::array<char, 3> pair{text[0], text[1], '\0'};
    text += text[1] == '\0' ? 1 : 2;
    return HexToDec(pair.data());
}

void scramble(char* out, const char* in, KeyStream keys) {
    char* end = out;
    for (const char* p = in; *p != '\0'; ++p)
        end += formatHex(code(*p) + keys.next(), end);
    *end = '\0';
}

void unscramble(char* out, const char* in, KeyStream keys) {
    std::size_t count = 0;
    for (const char* p = in; *p != '\0';) {
        const auto difference = static_cast<std::uint32_t>(readPair(p) - keys.next());
        out[count++] = static_cast<char>(difference & 0xFFU);
    }
    out[count] = '\0';
}

void textToHex(const char* in, std::array<char, kWorkSize>& work) {
    std::size_t used = 0;
    for (const char* p = in; *p != '\0'; ++p) {
        std::array<char, 8> digits{};
        const std::size_t count = formatHex(code(*p), digits.data());
        if (used + count > kWorkSize - 1)
            break;
        std::memcpy(work.data() + used, digits.data(), count);
        used += count;
    }
    work[used] = '\0';
}

void hexToText(const char* in, std::array<char, kWorkSize>& work) {
    std::size_t used = 0;
    for (const char* p = in; *p != '\0' && used < kWorkSize - 1;)
        work[used++] = static_cast<char>(readPair(p));
    work[used] = '\0';
}

} // namespace

extern "C" {

TWL_EXPORT int TWL_CALL TransCal(char* out, int mode, const char* in, const char* key) {
    if (mode < 0 || mode > 3)
        return 0;
    const char* text = in != nullptr ? in : "";
    switch (mode) {
    case 0:
        scramble(out, text, KeyStream(kBuiltInKey, false));
        break;
    case 1:
        unscramble(out, text, KeyStream(kBuiltInKey, false));
        break;
    case 2:
        scramble(out, text, KeyStream(key, true));
        break;
    default:
        unscramble(out, text, KeyStream(key, true));
        break;
    }
    return 1;
}

TWL_EXPORT int TWL_CALL StrCvrt(char* out, int mode, const char* in) {
    if (in == nullptr)
        return 0;
    if (mode != 0 && mode != 1)
        return 2;
    std::array<char, kWorkSize> work{};
    if (mode == 0)
        textToHex(in, work);
    else
        hexToText(in, work);
    std::memcpy(out, work.data(), std::strlen(work.data()) + 1);
    return 1;
}

TWL_EXPORT int TWL_CALL HexToDec(const char* hex) {
    if (hex == nullptr)
        return 0;
    std::uint32_t value = 0;
    std::uint32_t weight = 1;
    for (std::size_t i = std::strlen(hex); i-- > 0;) {
        const int c = code(hex[i]);
        const int digit = c <= '9' ? c - 48 : c - 55;
        value += static_cast<std::uint32_t>(digit) * weight;
        weight *= 16;
    }
    return static_cast<int>(value);
}

} // extern "C"
