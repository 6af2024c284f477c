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

#include <stddef.h>

#if defined(_WIN32)
#include <windows.h>
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

// Busy-waits `ticks` units of 100 ns of the monotonic clock (std::chrono::steady_clock:
// CLOCK_MONOTONIC on Linux, the performance counter on Windows). Only the low 32 bits of the
// counter take part, compared as signed values, so a wait that crosses their sign change or carry
// ends early. Returns the target counter value.
TWL_EXPORT int TWL_CALL Lag(int ticks);

// Waits as Lag, then returns `ticks`.
TWL_EXPORT int TWL_CALL Sync(int ticks);

#if defined(_WIN32)

// The graphics and sound exports work on the platform's own objects: device contexts, resource
// modules (LoadLibraryEx as a data file: any module file with resources, of either word size),
// bitmap resources and PlaySound. Resource names as FindResource takes them ("#12" names
// resource number 12, letter case does not matter).

// Loads module `moduleFile` and its bitmap resource `bitmapName`, selects the bitmap into a
// context compatible with `dc` and copies width x height pixels from its origin to (155, 435)
// of `dc` when `placement` is 1, else to (0, 0). Everything is released before it returns.
// Always returns 1 (a missing module or bitmap draws nothing).
TWL_EXPORT int TWL_CALL GetResPic(const char* moduleFile, HDC dc, int width, int height,
                                  const char* bitmapName, int placement);

// As GetResPic to (0, 0) of `destination`, from the already loaded `module`; the temporary
// context is made compatible with `compatible`. Returns 1 when drawn, 0 when the bitmap is not
// found.
TWL_EXPORT int TWL_CALL PicLoad(HMODULE module, HDC compatible, HDC destination, int width,
                                int height, const char* bitmapName);

// Builds `frames` (at most ten) frames of width x height in contexts compatible with
// `destination`: frame i is `background` (from its origin) ANDed with bitmap "iB" and then ORed
// with the same bitmap whose 0xFF bytes were made 0x00, so that the background shows wherever
// a byte of the bitmap's pixel data is 0xFF; a frame whose bitmap is missing is the background
// alone. Then shows them at (0, 0) of `destination`, waiting Lag(99999) before each: direction
// 0 shows frames 9 down to 0, direction 1 frames 1 to 9, any other direction frames 1 and 0.
// A frame that was not built is skipped. Returns 0 (at once, drawing nothing, when the module
// cannot be loaded).
TWL_EXPORT int TWL_CALL SpnFrm(const char* moduleFile, HDC destination, HDC background, int width,
                               int height, int frames, int direction);

// Plays the module's resource `soundName` of type "SOUND" (a WAV file) with PlaySound from
// memory: in the background when `async` is 1, else returning when the sound has ended.
// Returns 1 when playing started, else 0. A module that cannot be loaded, a missing sound and
// a sound that cannot be loaded are each shown in a message box titled "P_Sound" ("LoadLibrary
// FAILED", "FindResource FAILED", "LoadResource FAILED"); a sound PlaySound refuses shows none.
// In the background the sound plays from a copy of its own, on a thread of the library that
// keeps the library loaded until the sound has ended; that it started is all 1 says then.
TWL_EXPORT int TWL_CALL P_Sound(const char* moduleFile, const char* soundName, int async);

#else

// A device context: a pixel surface owned by the caller. Pixels are 32 bits, 0x00RRGGBB (bytes
// B, G, R, X in memory), rows top first, `stride` bytes apart (a multiple of 4, at least
// 4 * width). A surface without pixels, or with a size or stride that does not fit, is never
// drawn on.
typedef struct TWL_Surface {
    int width;
    int height;
    int stride;
    unsigned int* pixels;
    // Called, when set, each time the library has drawn into the surface (the animation once
    // per frame), so that the caller can put it on the screen.
    void (*drawn)(struct TWL_Surface* surface, void* context);
    void* context;
} TWL_Surface;

// A loaded resource module: the bytes of a module file (Windows PE format, with a resource
// directory) that the caller has read into memory and keeps while it is used.
typedef struct TWL_Module {
    const unsigned char* data;
    size_t size;
} TWL_Module;

// Module files are read by name; resource names are compared ignoring letter case, and "#12"
// names resource number 12. A module that cannot be read, or whose resource directory points
// outside the file, counts as missing; the library never reads outside a module.

// Draws the module's bitmap resource `bitmapName`: width x height pixels from its top left
// corner, to (155, 435) of `surface` when `placement` is 1, else to (0, 0); what lies outside
// the bitmap or the surface is left alone. Always returns 1 (a missing module or bitmap draws
// nothing).
TWL_EXPORT int TWL_CALL GetResPic(const char* moduleFile, TWL_Surface* surface, int width,
                                  int height, const char* bitmapName, int placement);

// As GetResPic to (0, 0) of `destination`, from a module already in memory; `compatible` is
// the surface the drawing is made for and is not drawn on. Returns 1 when drawn, 0 when the
// bitmap is not found.
TWL_EXPORT int TWL_CALL PicLoad(const TWL_Module* module, const TWL_Surface* compatible,
                                TWL_Surface* destination, int width, int height,
                                const char* bitmapName);

// Builds `frames` (at most ten) frames of width x height: frame i is `background` (from its
// top left corner) with bitmap "iB" laid over it, the background showing wherever a byte of
// the bitmap's pixel data is 0xFF; a frame whose bitmap is missing is the background alone.
// Then shows them at (0, 0) of `destination`, waiting Lag(99999) before each: direction 0
// shows frames 9 down to 0, direction 1 frames 1 to 9, any other direction frames 1 and 0.
// A frame that was not built is skipped. Returns 0 (at once, drawing nothing, when the module
// cannot be read).
TWL_EXPORT int TWL_CALL SpnFrm(const char* moduleFile, TWL_Surface* destination,
                               const TWL_Surface* background, int width, int height, int frames,
                               int direction);

// Plays the module's resource `soundName` of type "SOUND" (a WAV file: PCM of 8, 16, 24 or 32
// bits, or 32-bit float) on the default sound device: in the background when `async` is 1,
// else returning when the sound has ended. Returns 1 when playing started, else 0 with one of
// these lines on standard error: "P_Sound: LoadLibrary FAILED" (the module cannot be read),
// "P_Sound: FindResource FAILED" (no such sound), "P_Sound: LoadResource FAILED" (its data
// lies outside the module), "P_Sound: PlaySound FAILED" (not a sound this plays, or no sound
// device).
TWL_EXPORT int TWL_CALL P_Sound(const char* moduleFile, const char* soundName, int async);

#endif

#ifdef __cplusplus
}
#endif
