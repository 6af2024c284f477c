#pragma once

// Known answers of the library's text exports, checked against every build of the library
// (the Linux one by test_supportlib, the Windows ones by scripts/windows.sh). Plain C++: no Qt.

namespace textcases {

// Marks an output buffer a call must leave alone.
inline constexpr char Untouched[] = "untouched";

// One call of TransCal or StrCvrt: what it returns and what it leaves in the buffer (the
// buffer holds Untouched before the call; `out` null means it must still hold that).
struct Call {
    const char* name;
    int mode;
    const char* in;
    const char* key; // TransCal only
    int result;
    const char* out;
};

inline const Call TransCalCases[] = {
    {"unscrambles the program's password", 1, "A5E86797C7", " ", 1, "Tr0tW"},
    {"scrambles it back", 0, "Tr0tW", "", 1, "A5E86797C7"},
    {"scrambles empty input to empty output", 0, "", "", 1, ""},
    {"unscrambles empty input to empty output", 1, "", "", 1, ""},
    // "abc" adds a, b, c, 0 (its terminator), a, b, c, 0, ...
    {"a caller key cycles through its terminator", 2, "Horse show", "abc", 1,
     "A9D1D573C682D668D0D9"},
    {"and unscrambles the same way", 3, "A9D1D573C682D668D0D9", "abc", 1, "Horse show"},
    // A lone last digit is read as a one-digit value: 0xE - 'v' keeps its low 8 bits.
    {"a lone trailing digit", 1, "A5E", nullptr, 1, "T\x98"},
    {"mode -1 is refused", -1, "Tr0tW", "abc", 0, nullptr},
    {"mode 4 is refused", 4, "Tr0tW", "abc", 0, nullptr},
    {"mode 99 is refused", 99, "Tr0tW", "abc", 0, nullptr},
};

inline const Call StrCvrtCases[] = {
    {"text to hex", 0, "abc", nullptr, 1, "616263"},
    {"hex to text", 1, "616263", nullptr, 1, "abc"},
    {"no leading zeros: a tab is one digit", 0, "\tZ", nullptr, 1, "95A"},
    {"a tilde", 0, "~", nullptr, 1, "7E"},
    {"a lone trailing digit", 1, "4142F", nullptr, 1, "AB\x0F"},
    {"at most 25 chars become hex", 0, "abcdefghijklmnopqrstuvwxyz", nullptr, 1,
     "6162636465666768696A6B6C6D6E6F70717273747576777879"},
    // The working buffer holds 51 chars and its terminator.
    {"at most 51 chars come from hex", 1,
     "61616161616161616161616161616161616161616161616161616161616161616161616161616161"
     "6161616161616161616161616161616161616161",
     nullptr, 1, "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
    {"a null input in mode 0", 0, nullptr, nullptr, 0, nullptr},
    {"a null input in mode 1", 1, nullptr, nullptr, 0, nullptr},
    {"mode 2 is refused", 2, "abc", nullptr, 2, nullptr},
    {"mode -1 is refused", -1, "abc", nullptr, 2, nullptr},
};

struct HexCase {
    const char* hex;
    int value;
};

inline const HexCase HexToDecCases[] = {
    {"7F", 127},
    {"0A", 10},
    {"FF", 255},
    {"00", 0},
    {"C", 12},
    // Lower-case letters are not hex digits here: 'f' counts as 102 - 55.
    {"7f", 7 * 16 + 47},
};

} // namespace textcases
