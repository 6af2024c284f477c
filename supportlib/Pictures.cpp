#include "Animation.h"
#include "Dib.h"
#include "PeModule.h"
#include "TWL.h"

#include <array>
#include <optional>
#include <string>

namespace {

using twl::dib::Bitmap;
using twl::dib::Canvas;
using twl::dib::Pixels;
using twl::pe::Module;
using twl::pe::ModuleFile;
using twl::pe::ResourceId;

using twl::animation::FrameCount;
using twl::animation::FrameTicks;
using twl::animation::PlacedLeft;
using twl::animation::PlacedTop;

// The caller's surface, or nothing when it cannot be drawn on.
std::optional<Pixels> pixelsOf(const TWL_Surface* surface) {
    if (surface == nullptr || surface->pixels == nullptr || surface->width <= 0 ||
        surface->height <= 0 || surface->stride < 0 || surface->stride % 4 != 0 ||
        surface->stride / 4 < surface->width)
        return std::nullopt;
    return Pixels{surface->width, surface->height, static_cast<std::size_t>(surface->stride),
                  reinterpret_cast<std::uint8_t*>(surface->pixels)};
}

void tellDrawn(TWL_Surface* surface) {
    if (surface->drawn != nullptr)
        surface->drawn(surface, surface->context);
}

std::optional<Bitmap> loadBitmap(const Module& module, const char* name) {
    const auto entry =
        module.find(ResourceId::fromNumber(twl::pe::BitmapType), ResourceId::fromText(name));
    if (!entry)
        return std::nullopt;
    const auto data = module.load(*entry);
    if (!data)
        return std::nullopt;
    return Bitmap::parse(*data);
}

// The bitmap selected into a context of its own size, copied from that context's origin.
void drawBitmap(const Bitmap& bitmap, TWL_Surface* surface, int x, int y, int width, int height) {
    const auto target = pixelsOf(surface);
    if (!target)
        return;
    Canvas picture(bitmap.width(), bitmap.height());
    bitmap.drawTo(picture.pixels());
    twl::dib::copy(picture.pixels(), *target, x, y, width, height);
    tellDrawn(surface);
}

// Frame i: the background with bitmap "iB" laid over it. Where a byte of the bitmap's pixel
// data is 0xFF the background shows, elsewhere the bitmap: ANDing the bitmap keeps the
// background under its 0xFF bytes, ORing it again with those bytes made 0x00 sets the rest.
Canvas buildFrame(const Module& module, int index, const std::optional<Pixels>& background,
                  int width, int height) {
    Canvas frame(width, height);
    if (background)
        twl::dib::copy(*background, frame.pixels(), 0, 0, width, height);
    std::optional<Bitmap> sprite = loadBitmap(module, (std::to_string(index) + "B").c_str());
    if (!sprite)
        return frame; // a frame without its bitmap shows the background alone
    Canvas scratch(width, height);
    sprite->drawTo(scratch.pixels());
    twl::dib::combine(scratch.pixels(), frame.pixels(), twl::dib::Combine::And);
    for (std::uint8_t& byte : sprite->pixelData()) {
        if (byte == 0xFF)
            byte = 0x00;
    }
    sprite->drawTo(scratch.pixels());
    twl::dib::combine(scratch.pixels(), frame.pixels(), twl::dib::Combine::Or);
    return frame;
}

} // namespace

extern "C" {

TWL_EXPORT int TWL_CALL GetResPic(const char* moduleFile, TWL_Surface* surface, int width,
                                  int height, const char* bitmapName, int placement) {
    const auto file = ModuleFile::open(moduleFile);
    if (!file)
        return 1;
    const auto bitmap = loadBitmap(file->module(), bitmapName);
    if (!bitmap)
        return 1;
    const bool placed = placement == 1;
    drawBitmap(*bitmap, surface, placed ? PlacedLeft : 0, placed ? PlacedTop : 0, width, height);
    return 1;
}

TWL_EXPORT int TWL_CALL PicLoad(const TWL_Module* module, const TWL_Surface* /*compatible*/,
                                TWL_Surface* destination, int width, int height,
                                const char* bitmapName) {
    if (module == nullptr || module->data == nullptr)
        return 0;
    const auto loaded = Module::fromBytes({module->data, module->size});
    if (!loaded)
        return 0;
    const auto bitmap = loadBitmap(*loaded, bitmapName);
    if (!bitmap)
        return 0;
    drawBitmap(*bitmap, destination, 0, 0, width, height);
    return 1;
}

TWL_EXPORT int TWL_CALL SpnFrm(const char* moduleFile, TWL_Surface* destination,
                               const TWL_Surface* background, int width, int height, int frames,
                               int direction) {
    const auto file = ModuleFile::open(moduleFile);
    if (!file)
        return 0;
    const auto backgroundPixels = pixelsOf(background);
    std::array<std::optional<Canvas>, FrameCount> built;
    for (int i = 0; i < frames && i < FrameCount; ++i)
        built[std::size_t(i)] = buildFrame(file->module(), i, backgroundPixels, width, height);

    const auto target = pixelsOf(destination);
    for (const int frame : twl::animation::frameOrder(direction)) {
        Lag(FrameTicks);
        // A frame that was not built is not shown.
        if (target && built[std::size_t(frame)]) {
            twl::dib::copy(built[std::size_t(frame)]->pixels(), *target, 0, 0, width, height);
            tellDrawn(destination);
        }
    }
    return 0;
}

} // extern "C"
