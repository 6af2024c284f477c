#pragma once

#include <QSize>

#include <memory>

struct _XDisplay;

// Two 800 x 600 modes added to the output of an Xvfb screen (its only output is named
// "screen"), which otherwise offers just its own size. The modes last while this connection is
// open.
class VirtualScreenModes {
public:
    // nullptr when DISPLAY is not an Xvfb screen larger than 800 x 600.
    static std::unique_ptr<VirtualScreenModes> addTo800x600();
    ~VirtualScreenModes();
    VirtualScreenModes(const VirtualScreenModes&) = delete;
    VirtualScreenModes& operator=(const VirtualScreenModes&) = delete;

    // The screen's size as the server has it now.
    QSize screenSize() const;

private:
    explicit VirtualScreenModes(_XDisplay* display) : m_display(display) {}
    _XDisplay* m_display;
};
