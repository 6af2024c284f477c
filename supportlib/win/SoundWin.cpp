// Sound resources played from memory with PlaySound.

#include "supportlib/TWL.h"

#include <mmsystem.h>

#include <memory>
#include <vector>

namespace {

int failed(const char* step) {
    MessageBoxA(nullptr, step, "P_Sound", MB_OK);
    return 0;
}

struct ModuleRelease {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using ModuleHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleRelease>;

// A sound playing in the background: its own copy of the WAV data and a reference on the
// library, both held by the thread that plays it until the sound has ended.
struct BackgroundSound {
    std::vector<unsigned char> wave;
    HMODULE library = nullptr;
};

DWORD WINAPI playInBackground(LPVOID parameter) {
    HMODULE library = nullptr;
    {
        const std::unique_ptr<BackgroundSound> sound(static_cast<BackgroundSound*>(parameter));
        library = sound->library;
        PlaySoundA(reinterpret_cast<LPCSTR>(sound->wave.data()), nullptr,
                   SND_MEMORY | SND_SYNC | SND_NODEFAULT);
    }
    // The library's code runs this thread: it is let go of only as the thread ends.
    FreeLibraryAndExitThread(library, 0);
}

// Starts the sound on a thread of its own. False when the thread cannot be started.
bool startInBackground(const unsigned char* data, DWORD size) {
    auto sound = std::make_unique<BackgroundSound>();
    sound->wave.assign(data, data + size);
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCSTR>(&playInBackground), &sound->library))
        return false;
    const HMODULE library = sound->library;
    HANDLE thread = CreateThread(nullptr, 0, playInBackground, sound.get(), 0, nullptr);
    if (thread == nullptr) {
        FreeLibrary(library);
        return false;
    }
    sound.release(); // the thread owns it now
    CloseHandle(thread);
    return true;
}

} // namespace

extern "C" {

TWL_EXPORT int TWL_CALL P_Sound(const char* moduleFile, const char* soundName, int async) {
    const ModuleHandle module(moduleFile != nullptr
                                  ? LoadLibraryExA(moduleFile, nullptr, LOAD_LIBRARY_AS_DATAFILE)
                                  : nullptr);
    if (!module)
        return failed("LoadLibrary FAILED");
    HRSRC resource =
        soundName != nullptr ? FindResourceA(module.get(), soundName, "SOUND") : nullptr;
    if (resource == nullptr)
        return failed("FindResource FAILED");
    HGLOBAL loaded = LoadResource(module.get(), resource);
    const auto* data = static_cast<const unsigned char*>(LockResource(loaded));
    const DWORD size = SizeofResource(module.get(), resource);
    if (data == nullptr || size == 0)
        return failed("LoadResource FAILED");
    // The module goes when this returns: a sound in the background plays from its own copy.
    if (async == 1)
        return startInBackground(data, size) ? 1 : 0;
    return PlaySoundA(reinterpret_cast<LPCSTR>(data), nullptr,
                      SND_MEMORY | SND_SYNC | SND_NODEFAULT)
               ? 1
               : 0;
}

} // extern "C"
