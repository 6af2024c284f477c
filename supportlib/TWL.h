#pragma once

// The program's support library. Plain C interface so the program can load it by file name
// and resolve each function by its name. The library keeps no state between calls.

#if defined(_WIN32)
#define TWL_CALL __stdcall
#if defined(TWL_BUILDING_DLL)
#define TWL_EXPORT __declspec(dllexport)
#else
#define TWL_EXPORT
#endif
#else
#define TWL_CALL
#define TWL_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Scrambles (modes 0, 2) or unscrambles (modes 1, 3) `in` into `out`.
// Modes 0/1 use the key built into the library, indexed by position (inputs up to 21 chars,
// 42 hex digits); modes 2/3 cycle through `key` and its terminating zero.
// Scrambled text is two upper-case hex digits per printable char.
// Returns 1, or 0 for an unknown mode (out untouched).
TWL_EXPORT int TWL_CALL TransCal(char* out, int mode, const char* in, const char* key);

// Mode 0: text to hex digits (at most 25 chars are converted); mode 1: hex digits to text.
// Returns 1, 0 when `in` is null, 2 for an unknown mode (out untouched in both cases).
TWL_EXPORT int TWL_CALL StrCvrt(char* out, int mode, const char* in);

// Value of a one- or two-digit hex string of '0'-'9', 'A'-'F'.
TWL_EXPORT int TWL_CALL HexToDec(const char* hex);

// Busy-waits `ticks` units of 100 ns of the monotonic clock (std::chrono::steady_clock,
// CLOCK_MONOTONIC on Linux). Only the low 32 bits of the counter take part, compared as
// signed values, so a wait that crosses their sign change or carry ends early.
// Returns the target counter value.
TWL_EXPORT int TWL_CALL Lag(int ticks);

// Waits as Lag, then returns `ticks`.
TWL_EXPORT int TWL_CALL Sync(int ticks);

#ifdef __cplusplus
}
#endif
