#pragma once

#include <memory>
#include <optional>
#include <vector>

struct _XDisplay; // Xlib's Display, kept out of this header with the rest of Xlib's names

namespace twl {

// Only these four fields of a display mode are read or changed.
struct DisplayMode {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int frequency = 0; // hertz

    friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

// The display adapter's modes: the mode stored in the system's display settings, the modes the
// adapter offers, and changing to one of them.
class DisplayModes {
public:
    virtual ~DisplayModes() = default;

    // The mode stored in the system's display settings; nullopt when it cannot be read.
    virtual std::optional<DisplayMode> storedMode() = 0;
    // The adapter's mode number `index`, counted from 0; nullopt past the last one.
    virtual std::optional<DisplayMode> mode(int index) = 0;
    // Changes the display to the width, height and bits per pixel, starting from the stored
    // record and keeping its frequency and other fields, and stores the change. False when the
    // platform refuses it.
    virtual bool change(int width, int height, int bitsPerPixel) = 0;

    // The backend for the running platform: XRandR under X11; one without modes on platforms
    // that cannot change modes (Wayland, offscreen) or when the X display cannot be opened.
    static std::unique_ptr<DisplayModes> forPlatform();
};

// A platform without mode changes: nothing can be read and no mode is offered.
class NoDisplayModes final : public DisplayModes {
public:
    std::optional<DisplayMode> storedMode() override { return std::nullopt; }
    std::optional<DisplayMode> mode(int) override { return std::nullopt; }
    bool change(int, int, int) override { return false; }
};

// The modes of the X screen's primary output (or, without one, of the first connected output
// that shows a picture). X keeps no stored mode apart from the running one, so the stored mode
// is the output's current mode and a change is stored by applying it to the server. A running
// X screen cannot change its depth, so every mode has the screen's bits per pixel.
class XrandrDisplayModes final : public DisplayModes {
public:
    // nullptr when the display cannot be opened or lacks RandR 1.3.
    static std::unique_ptr<XrandrDisplayModes> open(const char* displayName = nullptr);

    std::optional<DisplayMode> storedMode() override;
    std::optional<DisplayMode> mode(int index) override;
    bool change(int width, int height, int bitsPerPixel) override;

private:
    struct DisplayCloser {
        void operator()(_XDisplay* display) const;
    };
    using DisplayPtr = std::unique_ptr<_XDisplay, DisplayCloser>;

    explicit XrandrDisplayModes(DisplayPtr display) : m_display(std::move(display)) {}

    DisplayPtr m_display;
};

// A display for tests: a list of modes, a stored mode, and every change asked for.
class FakeDisplayModes final : public DisplayModes {
public:
    FakeDisplayModes(std::optional<DisplayMode> stored, std::vector<DisplayMode> modes)
        : m_stored(stored), m_modes(std::move(modes)) {}

    std::optional<DisplayMode> storedMode() override;
    std::optional<DisplayMode> mode(int index) override;
    bool change(int width, int height, int bitsPerPixel) override;

    // Makes every later change fail (the stored mode then stays as it is).
    void refuseChanges(bool refuse) { m_refuseChanges = refuse; }
    // The records asked for, in order: the stored record with width, height and bits per pixel
    // replaced, whether or not the change succeeded.
    const std::vector<DisplayMode>& changes() const { return m_changes; }
    int storedReads() const { return m_storedReads; }
    int modeReads() const { return m_modeReads; }

private:
    std::optional<DisplayMode> m_stored;
    std::vector<DisplayMode> m_modes;
    std::vector<DisplayMode> m_changes;
    bool m_refuseChanges = false;
    int m_storedReads = 0;
    int m_modeReads = 0;
};

} // namespace twl
