#include "Dib.h"

#include <algorithm>
#include <bit>

namespace twl::dib {

namespace {

constexpr std::uint32_t BiRgb = 0;
constexpr std::uint32_t BiBitfields = 3;
constexpr std::size_t InfoHeaderSize = 40;
// Larger bitmaps are taken for damaged ones.
constexpr std::int32_t MaxSide = 32767;

std::uint32_t u32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t u16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// A masked channel widened to 8 bits.
std::uint32_t channel(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask >> shift);
    const std::uint32_t part = (value & mask) >> shift;
    if (bits >= 8)
        return part >> (bits - 8);
    return part * 255 / ((1u << bits) - 1);
}

std::uint32_t rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return r << 16 | g << 8 | b;
}

} // namespace

Canvas::Canvas(int width, int height)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)),
      m_pixels(std::size_t(m_width) * std::size_t(m_height), 0) {}

std::optional<Bitmap> Bitmap::parse(std::span<const std::uint8_t> resource) {
    if (resource.size() < InfoHeaderSize)
        return std::nullopt;
    const std::uint32_t headerSize = u32(resource, 0);
    const auto width = static_cast<std::int32_t>(u32(resource, 4));
    const auto height = static_cast<std::int32_t>(u32(resource, 8));
    const std::uint16_t planes = u16(resource, 12);
    const std::uint16_t bitCount = u16(resource, 14);
    const std::uint32_t compression = u32(resource, 16);
    const std::uint32_t colorsUsed = u32(resource, 32);
    if (headerSize < InfoHeaderSize || headerSize > resource.size() || planes != 1 || width <= 0 ||
        width > MaxSide || height == 0 || height < -MaxSide || height > MaxSide)
        return std::nullopt;
    const bool bitfields = compression == BiBitfields;
    if (!(compression == BiRgb || (bitfields && (bitCount == 16 || bitCount == 32))))
        return std::nullopt;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return std::nullopt;

    Bitmap bitmap;
    bitmap.m_width = width;
    bitmap.m_height = height < 0 ? -height : height;
    bitmap.m_topDown = height < 0;
    bitmap.m_bitCount = bitCount;
    std::size_t at = headerSize;
    if (bitfields) {
        // The masks follow a plain info header; the longer headers hold them.
        const std::size_t masksAt = headerSize == InfoHeaderSize ? at : InfoHeaderSize;
        if (masksAt + 12 > resource.size())
            return std::nullopt;
        for (int i = 0; i < 3; ++i)
            bitmap.m_masks[i] = u32(resource, masksAt + 4 * std::size_t(i));
        if (headerSize == InfoHeaderSize)
            at += 12;
    } else if (bitCount == 16) {
        bitmap.m_masks[0] = 0x7C00;
        bitmap.m_masks[1] = 0x03E0;
        bitmap.m_masks[2] = 0x001F;
    }
    std::size_t paletteSize = colorsUsed;
    if (bitCount <= 8 && paletteSize == 0)
        paletteSize = std::size_t{1} << bitCount;
    if (paletteSize > 256 || at + paletteSize * 4 > resource.size())
        return std::nullopt;
    for (std::size_t i = 0; i < paletteSize; ++i) {
        const std::size_t entry = at + i * 4;
        bitmap.m_palette.push_back(rgb(resource[entry + 2], resource[entry + 1], resource[entry]));
    }
    at += paletteSize * 4;

    bitmap.m_rowBytes = (std::size_t(width) * bitCount + 31) / 32 * 4;
    if (bitmap.m_rowBytes * std::size_t(bitmap.m_height) > resource.size() - at)
        return std::nullopt;
    bitmap.m_pixelsAt = at;
    bitmap.m_data.assign(resource.begin(),
                         resource.begin() +
                             std::ptrdiff_t(at + bitmap.m_rowBytes * std::size_t(bitmap.m_height)));
    return bitmap;
}

std::uint32_t Bitmap::pixel(const std::uint8_t* row, int x) const {
    const auto indexed = [this](std::size_t index) {
        return index < m_palette.size() ? m_palette[index] : 0u;
    };
    switch (m_bitCount) {
    case 1:
        return indexed((row[x >> 3] >> (7 - (x & 7))) & 1);
    case 4:
        return indexed((row[x >> 1] >> ((x & 1) != 0 ? 0 : 4)) & 0xF);
    case 8:
        return indexed(row[x]);
    case 16: {
        const std::uint32_t value = row[2 * x] | row[2 * x + 1] << 8;
        return rgb(channel(value, m_masks[0]), channel(value, m_masks[1]),
                   channel(value, m_masks[2]));
    }
    case 24:
        return rgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    default: {
        const std::uint8_t* p = row + 4 * x;
        const std::uint32_t value = p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
        if (m_masks[0] == 0 && m_masks[1] == 0 && m_masks[2] == 0)
            return value; // all four bytes as they are
        return rgb(channel(value, m_masks[0]), channel(value, m_masks[1]),
                   channel(value, m_masks[2]));
    }
    }
}

void Bitmap::drawTo(const Pixels& target) const {
    const int rows = std::min(m_height, target.height);
    const int columns = std::min(m_width, target.width);
    for (int y = 0; y < rows; ++y) {
        const int sourceRow = m_topDown ? y : m_height - 1 - y;
        const std::uint8_t* row = m_data.data() + m_pixelsAt + m_rowBytes * std::size_t(sourceRow);
        std::uint32_t* out = target.row(y);
        for (int x = 0; x < columns; ++x)
            out[x] = pixel(row, x);
    }
}

void copy(const Pixels& source, const Pixels& target, int x, int y, int width, int height) {
    // The part of the rectangle inside both surfaces.
    const int left = std::max(0, -x);
    const int top = std::max(0, -y);
    const int right = std::min({width, source.width, target.width - x});
    const int bottom = std::min({height, source.height, target.height - y});
    for (int row = top; row < bottom; ++row) {
        const std::uint32_t* from = source.row(row);
        std::uint32_t* to = target.row(y + row);
        for (int column = left; column < right; ++column)
            to[x + column] = from[column];
    }
}

void combine(const Pixels& source, const Pixels& target, Combine how) {
    const int rows = std::min(source.height, target.height);
    const int columns = std::min(source.width, target.width);
    for (int y = 0; y < rows; ++y) {
        const std::uint32_t* from = source.row(y);
        std::uint32_t* to = target.row(y);
        for (int x = 0; x < columns; ++x)
            to[x] = how == Combine::And ? (to[x] & from[x]) : (to[x] | from[x]);
    }
}

} // namespace twl::dib
