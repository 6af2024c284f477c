#include "DisplayCheck.h"

#include "Startup.h"
#include "common/Prompt.h"

namespace twl {

namespace {

// The mode the program's windows are laid out for: 800 x 600 with more than 16 bits per pixel.
constexpr int RequiredWidth = 800;
constexpr int RequiredHeight = 600;
constexpr int HighestTooFewBits = 16;

// A number right-aligned in a field of the given width (the "@@@@" of the saved-mode text), and
// shown whole, never cut, when it is wider.
QString rightAligned(int value, int fieldWidth) {
    return QStringLiteral("%1").arg(value, fieldWidth);
}

bool isCandidate(const DisplayMode& mode) {
    return mode.width == RequiredWidth && mode.height == RequiredHeight &&
           mode.bitsPerPixel > HighestTooFewBits;
}

} // namespace

std::optional<DisplayMode> findCandidateMode(DisplayModes& modes) {
    for (int i = 0;; ++i) {
        const std::optional<DisplayMode> mode = modes.mode(i);
        if (!mode)
            return std::nullopt;
        if (isCandidate(*mode))
            return mode;
    }
}

QString formatSavedMode(const DisplayMode& mode) {
    const QString blanks(3, QLatin1Char(' '));
    return rightAligned(mode.width, 4) + QStringLiteral(" x ") + rightAligned(mode.height, 4) +
           blanks + rightAligned(mode.bitsPerPixel, 5) + QStringLiteral("  bit color") + blanks +
           rightAligned(mode.frequency, 4) + QStringLiteral("  Freq");
}

bool DisplayCheck::runAtStartup(bool checkResolution) {
    if (!checkResolution)
        return true;
    m_saved = readSavedMode();
    if (const std::optional<DisplayMode> candidate = findCandidateMode(m_modes)) {
        // A refused change leaves the program in the mode it has.
        m_modes.change(candidate->width, candidate->height, candidate->bitsPerPixel);
        return true;
    }
    return m_askBadRes(*m_saved);
}

void DisplayCheck::restore() {
    // A record of zeros was never read, so there is no mode to go back to.
    if (!m_saved || (m_saved->width == 0 && m_saved->height == 0))
        return;
    m_modes.change(m_saved->width, m_saved->height, m_saved->bitsPerPixel);
}

DisplayMode DisplayCheck::readSavedMode() {
    if (const std::optional<DisplayMode> stored = m_modes.storedMode())
        return *stored;
    m_prompt.show(QString::fromLatin1(ProgramTitle),
                  QStringLiteral("Error evaluating the current display settings"),
                  Prompt::Icon::Information);
    return DisplayMode{};
}

} // namespace twl
