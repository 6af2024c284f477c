#include "VirtualScreenModes.h"

#include <QByteArray>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace {

bool isLargeXvfbScreen(Display* display) {
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* res = XRRGetScreenResourcesCurrent(display, root);
    if (!res)
        return false;
    bool xvfb = false;
    if (res->noutput == 1) {
        XRROutputInfo* output = XRRGetOutputInfo(display, res, res->outputs[0]);
        xvfb = output && QByteArray(output->name, output->nameLen) == "screen";
        XRRFreeOutputInfo(output);
    }
    XRRFreeScreenResources(res);
    return xvfb && DisplayWidth(display, DefaultScreen(display)) > 800 &&
           DisplayHeight(display, DefaultScreen(display)) > 600;
}

void addMode(Display* display, unsigned long dotClock, unsigned vTotal, const char* name) {
    const Window root = DefaultRootWindow(display);
    XRRModeInfo mode{};
    mode.width = 800;
    mode.height = 600;
    mode.dotClock = dotClock;
    mode.hSyncStart = 840;
    mode.hSyncEnd = 968;
    mode.hTotal = 1056;
    mode.vSyncStart = 601;
    mode.vSyncEnd = 605;
    mode.vTotal = vTotal;
    QByteArray modeName(name);
    mode.name = modeName.data();
    mode.nameLength = static_cast<unsigned>(modeName.size());
    XRRScreenResources* res = XRRGetScreenResourcesCurrent(display, root);
    XRRAddOutputMode(display, res->outputs[0], XRRCreateMode(display, root, &mode));
    XRRFreeScreenResources(res);
}

} // namespace

std::unique_ptr<VirtualScreenModes> VirtualScreenModes::addTo800x600() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    std::unique_ptr<VirtualScreenModes> modes(new VirtualScreenModes(display));
    if (!isLargeXvfbScreen(display))
        return nullptr;
    addMode(display, 40000000, 628, "twl-test-800x600-60");
    addMode(display, 49500000, 625, "twl-test-800x600-75");
    XSync(display, False);
    return modes;
}

VirtualScreenModes::~VirtualScreenModes() {
    XCloseDisplay(m_display);
}

QSize VirtualScreenModes::screenSize() const {
    Window root = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    XGetGeometry(m_display, DefaultRootWindow(m_display), &root, &x, &y, &width, &height, &border,
                 &depth);
    return QSize(static_cast<int>(width), static_cast<int>(height));
}
