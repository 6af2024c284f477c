#include "DisplayModes.h"

#include <QGuiApplication>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <span>

// Xlib's macros (None, Bool, Status, ...) clash with Qt's names, so Xlib comes last.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace twl {

std::unique_ptr<DisplayModes> DisplayModes::forPlatform() {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto modes = XrandrDisplayModes::open())
            return modes;
    }
    return std::make_unique<NoDisplayModes>();
}

// ---------------------------------------------------------------------------------------------
// FakeDisplayModes

std::optional<DisplayMode> FakeDisplayModes::storedMode() {
    ++m_storedReads;
    return m_stored;
}

std::optional<DisplayMode> FakeDisplayModes::mode(int index) {
    ++m_modeReads;
    if (index < 0 || index >= static_cast<int>(m_modes.size()))
        return std::nullopt;
    return m_modes[static_cast<std::size_t>(index)];
}

bool FakeDisplayModes::change(int width, int height, int bitsPerPixel) {
    DisplayMode record = m_stored.value_or(DisplayMode{});
    record.width = width;
    record.height = height;
    record.bitsPerPixel = bitsPerPixel;
    m_changes.push_back(record);
    // Like an adapter, it accepts only the sizes and depths it offers.
    const bool offered = std::ranges::any_of(m_modes, [&](const DisplayMode& m) {
        return m.width == width && m.height == height && m.bitsPerPixel == bitsPerPixel;
    });
    if (m_refuseChanges || !offered)
        return false;
    m_stored = record;
    return true;
}

// ---------------------------------------------------------------------------------------------
// XrandrDisplayModes

namespace {

using Resources = std::unique_ptr<XRRScreenResources, decltype(&XRRFreeScreenResources)>;
using OutputInfo = std::unique_ptr<XRROutputInfo, decltype(&XRRFreeOutputInfo)>;
using CrtcInfo = std::unique_ptr<XRRCrtcInfo, decltype(&XRRFreeCrtcInfo)>;

// Xlib's default handler ends the program on any protocol error; a refused request here only
// means the display stays as it is. The previous handler comes back when the scope ends.
class IgnoreXErrors {
public:
    IgnoreXErrors() : m_previous(XSetErrorHandler(&ignore)) {}
    ~IgnoreXErrors() { XSetErrorHandler(m_previous); }
    IgnoreXErrors(const IgnoreXErrors&) = delete;
    IgnoreXErrors& operator=(const IgnoreXErrors&) = delete;

private:
    static int ignore(Display*, XErrorEvent*) { return 0; }
    XErrorHandler m_previous;
};

// The output whose modes are offered, with the CRTC that shows its picture.
struct ActiveOutput {
    Resources resources{nullptr, &XRRFreeScreenResources};
    OutputInfo output{nullptr, &XRRFreeOutputInfo};
    CrtcInfo crtc{nullptr, &XRRFreeCrtcInfo};
};

bool isShowing(const XRROutputInfo* output) {
    return output && output->connection == RR_Connected && output->crtc != 0;
}

std::optional<ActiveOutput> activeOutput(Display* display) {
    const Window root = DefaultRootWindow(display);
    ActiveOutput active;
    active.resources.reset(XRRGetScreenResourcesCurrent(display, root));
    if (!active.resources)
        return std::nullopt;
    XRRScreenResources* res = active.resources.get();
    std::vector<RROutput> candidates{XRRGetOutputPrimary(display, root)};
    candidates.insert(candidates.end(), res->outputs, res->outputs + res->noutput);
    for (RROutput id : candidates) {
        if (id == 0)
            continue;
        active.output.reset(XRRGetOutputInfo(display, res, id));
        if (!isShowing(active.output.get()))
            continue;
        active.crtc.reset(XRRGetCrtcInfo(display, res, active.output->crtc));
        if (active.crtc && active.crtc->mode != 0)
            return active;
    }
    return std::nullopt;
}

const XRRModeInfo* findModeInfo(const XRRScreenResources* res, RRMode id) {
    const std::span<const XRRModeInfo> modes(res->modes, static_cast<std::size_t>(res->nmode));
    const auto it = std::ranges::find(modes, id, &XRRModeInfo::id);
    return it == modes.end() ? nullptr : &*it;
}

int refreshRate(const XRRModeInfo& info) {
    double lines = info.vTotal;
    if (info.modeFlags & RR_DoubleScan)
        lines *= 2;
    if (info.modeFlags & RR_Interlace)
        lines /= 2;
    if (info.hTotal == 0 || lines == 0)
        return 0;
    return static_cast<int>(
        std::lround(static_cast<double>(info.dotClock) / (info.hTotal * lines)));
}

// The bits one pixel takes in memory at the screen's depth (32 for a depth of 24).
int screenBitsPerPixel(Display* display) {
    const int depth = DefaultDepth(display, DefaultScreen(display));
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    int bits = depth;
    for (int i = 0; i < count; ++i) {
        if (formats[i].depth == depth)
            bits = formats[i].bits_per_pixel;
    }
    if (formats)
        XFree(formats);
    return bits;
}

bool isSideways(const XRRCrtcInfo& crtc) {
    return (crtc.rotation & (RR_Rotate_90 | RR_Rotate_270)) != 0;
}

// A mode as the CRTC would show it (a sideways CRTC swaps width and height).
DisplayMode toDisplayMode(const XRRModeInfo& info, const XRRCrtcInfo& crtc, int bitsPerPixel) {
    const int w = static_cast<int>(info.width);
    const int h = static_cast<int>(info.height);
    return isSideways(crtc) ? DisplayMode{h, w, bitsPerPixel, refreshRate(info)}
                            : DisplayMode{w, h, bitsPerPixel, refreshRate(info)};
}

// The output's mode of that size whose frequency is nearest the current one.
const XRRModeInfo* chooseMode(const ActiveOutput& active, int width, int height, int current) {
    const XRRModeInfo* best = nullptr;
    for (int i = 0; i < active.output->nmode; ++i) {
        const XRRModeInfo* info = findModeInfo(active.resources.get(), active.output->modes[i]);
        if (!info)
            continue;
        const DisplayMode m = toDisplayMode(*info, *active.crtc, 0);
        if (m.width != width || m.height != height)
            continue;
        if (!best ||
            std::abs(refreshRate(*info) - current) < std::abs(refreshRate(*best) - current))
            best = info;
    }
    return best;
}

struct ScreenSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const ScreenSize&, const ScreenSize&) = default;
};

// The screen size that holds every CRTC once ours shows `width` x `height`.
ScreenSize neededScreenSize(Display* display, const ActiveOutput& active, int width, int height) {
    ScreenSize size{active.crtc->x + width, active.crtc->y + height};
    const XRRScreenResources* res = active.resources.get();
    for (int i = 0; i < res->ncrtc; ++i) {
        if (res->crtcs[i] == active.output->crtc)
            continue;
        CrtcInfo other(XRRGetCrtcInfo(display, active.resources.get(), res->crtcs[i]),
                       &XRRFreeCrtcInfo);
        if (!other || other->mode == 0)
            continue;
        size.width = std::max(size.width, other->x + static_cast<int>(other->width));
        size.height = std::max(size.height, other->y + static_cast<int>(other->height));
    }
    return size;
}

void setScreenSize(Display* display, ScreenSize size) {
    const int screen = DefaultScreen(display);
    // Keeps the screen's physical resolution (pixels per millimetre) from when the connection
    // started.
    const double mmPerPixelX =
        double(DisplayWidthMM(display, screen)) / DisplayWidth(display, screen);
    const double mmPerPixelY =
        double(DisplayHeightMM(display, screen)) / DisplayHeight(display, screen);
    XRRSetScreenSize(display, DefaultRootWindow(display), size.width, size.height,
                     static_cast<int>(std::lround(size.width * mmPerPixelX)),
                     static_cast<int>(std::lround(size.height * mmPerPixelY)));
}

// Asked of the server: Xlib's DisplayWidth() keeps the size the connection started with.
ScreenSize currentScreenSize(Display* display) {
    Window root = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    XGetGeometry(display, DefaultRootWindow(display), &root, &x, &y, &width, &height, &border,
                 &depth);
    return {static_cast<int>(width), static_cast<int>(height)};
}

// The screen grows first so the new mode fits, and shrinks afterwards so nothing lies outside.
bool applyMode(Display* display, const ActiveOutput& active, const XRRModeInfo& info, int width,
               int height) {
    const ScreenSize current = currentScreenSize(display);
    const ScreenSize needed = neededScreenSize(display, active, width, height);
    int minW = 0, minH = 0, maxW = 0, maxH = 0;
    XRRGetScreenSizeRange(display, DefaultRootWindow(display), &minW, &minH, &maxW, &maxH);
    if (needed.width > maxW || needed.height > maxH)
        return false;
    const ScreenSize target{std::max(needed.width, minW), std::max(needed.height, minH)};
    const ScreenSize grown{std::max(current.width, target.width),
                           std::max(current.height, target.height)};

    XGrabServer(display);
    if (grown != current)
        setScreenSize(display, grown);
    const XRRCrtcInfo& crtc = *active.crtc;
    const Status status =
        XRRSetCrtcConfig(display, active.resources.get(), active.output->crtc, CurrentTime, crtc.x,
                         crtc.y, info.id, crtc.rotation, crtc.outputs, crtc.noutput);
    const bool changed = status == RRSetConfigSuccess;
    const ScreenSize settled = changed ? target : current;
    if (settled != grown)
        setScreenSize(display, settled);
    XUngrabServer(display);
    XSync(display, False);
    return changed;
}

} // namespace

void XrandrDisplayModes::DisplayCloser::operator()(_XDisplay* display) const {
    XCloseDisplay(display);
}

std::unique_ptr<XrandrDisplayModes> XrandrDisplayModes::open(const char* displayName) {
    DisplayPtr display(XOpenDisplay(displayName));
    if (!display)
        return nullptr;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display.get(), &eventBase, &errorBase) ||
        !XRRQueryVersion(display.get(), &major, &minor) || major < 1 || (major == 1 && minor < 3))
        return nullptr;
    return std::unique_ptr<XrandrDisplayModes>(new XrandrDisplayModes(std::move(display)));
}

std::optional<DisplayMode> XrandrDisplayModes::storedMode() {
    IgnoreXErrors guard;
    Display* display = m_display.get();
    const auto active = activeOutput(display);
    if (!active)
        return std::nullopt;
    const XRRModeInfo* info = findModeInfo(active->resources.get(), active->crtc->mode);
    if (!info)
        return std::nullopt;
    return toDisplayMode(*info, *active->crtc, screenBitsPerPixel(display));
}

std::optional<DisplayMode> XrandrDisplayModes::mode(int index) {
    IgnoreXErrors guard;
    Display* display = m_display.get();
    const auto active = activeOutput(display);
    if (!active || index < 0 || index >= active->output->nmode)
        return std::nullopt;
    const XRRModeInfo* info = findModeInfo(active->resources.get(), active->output->modes[index]);
    if (!info)
        return std::nullopt;
    return toDisplayMode(*info, *active->crtc, screenBitsPerPixel(display));
}

bool XrandrDisplayModes::change(int width, int height, int bitsPerPixel) {
    IgnoreXErrors guard;
    Display* display = m_display.get();
    if (bitsPerPixel != screenBitsPerPixel(display))
        return false;
    const auto active = activeOutput(display);
    if (!active)
        return false;
    const XRRModeInfo* current = findModeInfo(active->resources.get(), active->crtc->mode);
    const int frequency = current ? refreshRate(*current) : 0;
    const XRRModeInfo* wanted = chooseMode(*active, width, height, frequency);
    if (!wanted)
        return false;
    if (wanted->id == active->crtc->mode)
        return true;
    return applyMode(display, *active, *wanted, width, height);
}

} // namespace twl
