// Bitmaps from resource modules drawn with the platform's own device contexts.

#include "supportlib/Animation.h"
#include "supportlib/TWL.h"

#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using twl::animation::FrameCount;
using twl::animation::FrameTicks;
using twl::animation::PlacedLeft;
using twl::animation::PlacedTop;

// A module loaded for its resources only: nothing of it runs, and a module of the other word
// size loads as well.
struct ModuleRelease {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using ModuleHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleRelease>;

ModuleHandle loadModule(const char* file) {
    if (file == nullptr)
        return nullptr;
    return ModuleHandle(LoadLibraryExA(file, nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

struct ObjectRelease {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, ObjectRelease>;

// A memory context with a bitmap selected into it; the bitmap is put back out before either
// is released.
class MemoryContext {
public:
    MemoryContext(HDC compatibleWith, Bitmap bitmap)
        : m_dc(CreateCompatibleDC(compatibleWith)), m_bitmap(std::move(bitmap)) {
        if (m_dc != nullptr && m_bitmap)
            m_previous = SelectObject(m_dc, m_bitmap.get());
    }
    MemoryContext(const MemoryContext&) = delete;
    MemoryContext& operator=(const MemoryContext&) = delete;
    ~MemoryContext() {
        if (m_dc == nullptr)
            return;
        if (m_previous != nullptr)
            SelectObject(m_dc, m_previous);
        DeleteDC(m_dc);
    }

    // False when the context could not be made or the bitmap not selected into it.
    bool ready() const { return m_dc != nullptr && m_previous != nullptr; }
    HDC dc() const { return m_dc; }

private:
    HDC m_dc;
    Bitmap m_bitmap; // released after the context (members go in reverse order)
    HGDIOBJ m_previous = nullptr;
};

// The named bitmap selected into a context compatible with `compatible`, copied from that
// context's origin to (x, y) of `destination`. False when the bitmap is not found.
bool drawBitmap(HMODULE module, const char* name, HDC compatible, HDC destination, int x, int y,
                int width, int height) {
    if (module == nullptr || name == nullptr)
        return false;
    Bitmap bitmap(LoadBitmapA(module, name));
    if (!bitmap)
        return false;
    const MemoryContext picture(compatible, std::move(bitmap));
    if (picture.ready())
        BitBlt(destination, x, y, width, height, picture.dc(), 0, 0, SRCCOPY);
    return true;
}

// A bitmap resource's header, colour table and pixel data, copied out of the module so that
// its pixel bytes can be changed.
class PackedBitmap {
public:
    static std::optional<PackedBitmap> find(HMODULE module, const char* name) {
        HRSRC resource = FindResourceA(module, name, MAKEINTRESOURCEA(2)); // RT_BITMAP
        if (resource == nullptr)
            return std::nullopt;
        HGLOBAL loaded = LoadResource(module, resource);
        const auto* data = static_cast<const unsigned char*>(LockResource(loaded));
        const DWORD size = SizeofResource(module, resource);
        if (data == nullptr || size < sizeof(BITMAPCOREHEADER))
            return std::nullopt;
        PackedBitmap bitmap;
        bitmap.m_bytes.assign(data, data + size);
        if (!bitmap.measure())
            return std::nullopt;
        return bitmap;
    }

    const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(m_bytes.data()); }
    const unsigned char* pixels() const { return m_bytes.data() + m_pixelsAt; }
    int width() const { return m_width; }
    int height() const { return m_height; }

    // Every byte of the pixel data equal to `from` becomes `to`.
    void replaceBytes(unsigned char from, unsigned char to) {
        for (std::size_t i = m_pixelsAt; i < m_pixelsAt + m_pixelBytes; ++i) {
            if (m_bytes[i] == from)
                m_bytes[i] = to;
        }
    }

private:
    // Finds where the pixel data lies; false when it does not lie within the resource.
    bool measure() {
        DWORD headerSize = 0;
        std::memcpy(&headerSize, m_bytes.data(), sizeof headerSize);
        int bits = 0;
        std::size_t colours = 0;
        std::size_t colourBytes = 4;
        if (headerSize == sizeof(BITMAPCOREHEADER)) {
            BITMAPCOREHEADER core;
            std::memcpy(&core, m_bytes.data(), sizeof core);
            m_width = core.bcWidth;
            m_height = core.bcHeight;
            bits = core.bcBitCount;
            colours = bits <= 8 ? std::size_t{1} << bits : 0;
            colourBytes = 3;
        } else if (headerSize >= sizeof(BITMAPINFOHEADER) && headerSize <= m_bytes.size()) {
            BITMAPINFOHEADER header;
            std::memcpy(&header, m_bytes.data(), sizeof header);
            if (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS)
                return false;
            m_width = header.biWidth;
            m_height = header.biHeight;
            bits = header.biBitCount;
            colours = header.biClrUsed != 0 ? header.biClrUsed
                      : bits <= 8           ? std::size_t{1} << bits
                                            : 0;
            if (header.biCompression == BI_BITFIELDS && headerSize == sizeof(BITMAPINFOHEADER))
                colours += 3; // the three colour masks follow the header
        } else {
            return false;
        }
        const long long rows = m_height < 0 ? -static_cast<long long>(m_height) : m_height;
        if (m_width <= 0 || rows == 0 || rows > 0x8000 || m_width > 0x8000 || bits <= 0 ||
            bits > 32 || colours > 0x10000)
            return false;
        const long long rowBytes = (static_cast<long long>(m_width) * bits + 31) / 32 * 4;
        m_pixelsAt = headerSize + colours * colourBytes;
        m_pixelBytes = static_cast<std::size_t>(rowBytes * rows);
        return m_pixelsAt <= m_bytes.size() && m_pixelBytes <= m_bytes.size() - m_pixelsAt;
    }

    std::vector<unsigned char> m_bytes;
    std::size_t m_pixelsAt = 0;
    std::size_t m_pixelBytes = 0;
    int m_width = 0;
    int m_height = 0;
};

// A frame of the animation: a context of its own with a bitmap compatible with the destination.
std::unique_ptr<MemoryContext> blankFrame(HDC destination, int width, int height) {
    auto frame = std::make_unique<MemoryContext>(
        destination, Bitmap(CreateCompatibleBitmap(destination, width, height)));
    if (!frame->ready())
        return nullptr;
    return frame;
}

void drawPacked(const PackedBitmap& bitmap, HDC dc) {
    StretchDIBits(dc, 0, 0, bitmap.width(),
                  bitmap.height() < 0 ? -bitmap.height() : bitmap.height(), 0, 0, bitmap.width(),
                  bitmap.height() < 0 ? -bitmap.height() : bitmap.height(), bitmap.pixels(),
                  bitmap.info(), DIB_RGB_COLORS, SRCCOPY);
}

// Frame i: the background with bitmap "iB" laid over it. ANDing the bitmap keeps the background
// under its 0xFF bytes; ORing it again with those bytes made 0x00 sets the rest to the bitmap.
std::unique_ptr<MemoryContext> buildFrame(HMODULE module, int index, HDC destination,
                                          HDC background, int width, int height) {
    auto frame = blankFrame(destination, width, height);
    if (!frame)
        return nullptr;
    BitBlt(frame->dc(), 0, 0, width, height, background, 0, 0, SRCCOPY);
    std::optional<PackedBitmap> sprite =
        PackedBitmap::find(module, (std::to_string(index) + "B").c_str());
    if (!sprite)
        return frame; // a frame without its bitmap shows the background alone
    const auto scratch = blankFrame(destination, width, height);
    if (!scratch)
        return frame;
    drawPacked(*sprite, scratch->dc());
    BitBlt(frame->dc(), 0, 0, width, height, scratch->dc(), 0, 0, SRCAND);
    sprite->replaceBytes(0xFF, 0x00);
    drawPacked(*sprite, scratch->dc());
    BitBlt(frame->dc(), 0, 0, width, height, scratch->dc(), 0, 0, SRCPAINT);
    return frame;
}

} // namespace

extern "C" {

TWL_EXPORT int TWL_CALL GetResPic(const char* moduleFile, HDC dc, int width, int height,
                                  const char* bitmapName, int placement) {
    const ModuleHandle module = loadModule(moduleFile);
    const bool placed = placement == 1;
    drawBitmap(module.get(), bitmapName, dc, dc, placed ? PlacedLeft : 0, placed ? PlacedTop : 0,
               width, height);
    return 1;
}

TWL_EXPORT int TWL_CALL PicLoad(HMODULE module, HDC compatible, HDC destination, int width,
                                int height, const char* bitmapName) {
    return drawBitmap(module, bitmapName, compatible, destination, 0, 0, width, height) ? 1 : 0;
}

TWL_EXPORT int TWL_CALL SpnFrm(const char* moduleFile, HDC destination, HDC background, int width,
                               int height, int frames, int direction) {
    const ModuleHandle module = loadModule(moduleFile);
    if (!module)
        return 0;
    std::array<std::unique_ptr<MemoryContext>, FrameCount> built;
    for (int i = 0; i < frames && i < FrameCount; ++i)
        built[std::size_t(i)] = buildFrame(module.get(), i, destination, background, width, height);

    for (const int frame : twl::animation::frameOrder(direction)) {
        Lag(FrameTicks);
        // A frame that was not built is not shown.
        if (built[std::size_t(frame)])
            BitBlt(destination, 0, 0, width, height, built[std::size_t(frame)]->dc(), 0, 0,
                   SRCCOPY);
    }
    return 0;
}

} // extern "C"
