#pragma once

// Device-independent bitmaps as bitmap resources hold them: a BITMAPINFOHEADER, the colour
// masks or palette, then the rows of pixel data (bottom row first unless the height is
// negative). Uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel, and 16 and 32 bits with
// colour masks.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace twl::dib {

// A surface of 32-bit pixels 0x00RRGGBB (bytes B, G, R, X in memory): the caller's, or one
// the library makes for a while. Rows are `stride` bytes apart.
struct Pixels {
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    std::uint8_t* bytes = nullptr;

    std::uint32_t* row(int y) const { return reinterpret_cast<std::uint32_t*>(bytes + stride * y); }
};

// A surface the library owns, black when made.
class Canvas {
public:
    Canvas(int width, int height);
    Pixels pixels() {
        return {m_width, m_height, std::size_t(m_width) * 4,
                reinterpret_cast<std::uint8_t*>(m_pixels.data())};
    }

private:
    int m_width;
    int m_height;
    std::vector<std::uint32_t> m_pixels;
};

// A bitmap with its own copy of the resource, so that its pixel data may be changed.
class Bitmap {
public:
    // Nothing when the data is not a bitmap of the kinds above or does not hold all its rows.
    static std::optional<Bitmap> parse(std::span<const std::uint8_t> resource);

    int width() const { return m_width; }
    int height() const { return m_height; }
    // The pixel data (rows with their padding), which may be changed before drawing.
    std::span<std::uint8_t> pixelData() {
        return std::span<std::uint8_t>(m_data).subspan(m_pixelsAt);
    }
    // Draws the bitmap at the surface's origin, clipped to the surface.
    void drawTo(const Pixels& target) const;

private:
    std::uint32_t pixel(const std::uint8_t* row, int x) const;

    std::vector<std::uint8_t> m_data;
    std::size_t m_pixelsAt = 0;
    std::size_t m_rowBytes = 0;
    int m_width = 0;
    int m_height = 0;
    bool m_topDown = false;
    int m_bitCount = 0;
    std::vector<std::uint32_t> m_palette;
    std::uint32_t m_masks[3] = {};
};

// Copies width x height pixels from the source's origin to (x, y) of the target: only what
// lies inside both surfaces.
void copy(const Pixels& source, const Pixels& target, int x, int y, int width, int height);

enum class Combine { And, Or };
// Combines the source into the target byte by byte over the target's whole area, as far as
// the source reaches.
void combine(const Pixels& source, const Pixels& target, Combine how);

} // namespace twl::dib
