#pragma once

#include "DisplayModes.h"

#include <QString>

#include <functional>
#include <optional>

namespace twl {

class Prompt;

// The first of the adapter's modes (in the adapter's order) that is 800 x 600 with more than 16
// bits per pixel; nullopt when it offers none.
std::optional<DisplayMode> findCandidateMode(DisplayModes& modes);

// The saved mode as `BadRes` shows it, numbers right-aligned in fields of 4, 4, 5 and 4:
// "1024 x  768      32  bit color     60  Freq".
QString formatSavedMode(const DisplayMode& mode);

// The display check at start-up and the restore at exit.
class DisplayCheck {
public:
    // Shows `BadRes` for the saved mode; true when start-up goes on ("&Continue"), false when
    // the user chose "E&xit".
    using AskBadRes = std::function<bool(const DisplayMode& saved)>;

    DisplayCheck(DisplayModes& modes, Prompt& prompt, AskBadRes askBadRes)
        : m_modes(modes), m_prompt(prompt), m_askBadRes(std::move(askBadRes)) {}

    // Pass the "CheckRes" setting: when it is false no mode is read or changed, start-up goes
    // on, and restore() does nothing later. Otherwise saves the stored mode, switches to the
    // candidate mode or asks through `BadRes`. False when the program must end before any
    // database is opened.
    bool runAtStartup(bool checkResolution);

    // Switches back to the saved width, height and bits per pixel; nothing when no mode was
    // saved. A refused change is not reported.
    void restore();

    // The mode saved by the check (zeros when it could not be read); nullopt before the check
    // ran or when it was switched off.
    const std::optional<DisplayMode>& savedMode() const { return m_saved; }

private:
    DisplayMode readSavedMode();

    DisplayModes& m_modes;
    Prompt& m_prompt;
    AskBadRes m_askBadRes;
    std::optional<DisplayMode> m_saved;
};

} // namespace twl
