#pragma once

// The pictures and the sound of the check's resource module: make_fixtures writes them as .bmp
// and .wav files for the resource compiler, check_twl compares what the library draws with
// them. Plain C++: it builds on Linux and for Windows alike.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

using Bytes = std::vector<std::uint8_t>;

// A picture: rows top first, 0xRRGGBB pixels.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y * width + x)]; }
};

// Six colours in three columns (odd width: rows padded), none with a 0xFF byte.
inline Image sixColours() {
    return {3, 2, {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0x0D0E0F, 0x010203}};
}

// A two-colour picture every depth can hold exactly.
inline Image twoColours() {
    return {5,
            3,
            {0xFF0000, 0x0000FF, 0x0000FF, 0xFF0000, 0xFF0000, //
             0x0000FF, 0xFF0000, 0xFF0000, 0x0000FF, 0xFF0000, //
             0x0000FF, 0x0000FF, 0xFF0000, 0xFF0000, 0x0000FF}};
}

// Sprite frame n: pixel 0 its own colour, pixel 1 all 0xFF (the background shows), pixel 2
// mixed bytes (only its 0xFF bytes let the background through), pixel 3 black.
inline Image spriteFrame(int n) {
    const auto own = std::uint32_t(0x10 * n + 1);
    return {4, 1, {own << 16 | own << 8 | own, 0xFFFFFF, 0xFF20FF | std::uint32_t(n) << 8, 0}};
}

// The animation's background under the sprite.
inline std::vector<std::uint32_t> spriteBackground() {
    return {0x0A0B0C, 0x112233, 0x445566, 0x778899};
}

// Frame n as the animation builds it: the sprite's bytes, but the background's where they are
// 0xFF.
inline std::vector<std::uint32_t> expectedFrame(int n) {
    const Image sprite = spriteFrame(n);
    std::vector<std::uint32_t> frame = spriteBackground();
    for (std::size_t x = 0; x < frame.size(); ++x) {
        std::uint32_t pixel = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const std::uint32_t byte = sprite.pixels[x] >> shift & 0xFF;
            pixel |= (byte == 0xFF ? (frame[x] >> shift & 0xFF) : byte) << shift;
        }
        frame[x] = pixel;
    }
    return frame;
}

// The bitmap depths the module holds the two-colour picture in ("PIC1", "PIC1T", ... with "T"
// for the top row first).
inline const int Depths[] = {1, 4, 8, 16, 24, 32};

inline std::string depthName(int bits, bool topDown) {
    return "PIC" + std::to_string(bits) + (topDown ? "T" : "");
}

inline void append16(Bytes& bytes, std::uint32_t value) {
    bytes.push_back(std::uint8_t(value));
    bytes.push_back(std::uint8_t(value >> 8));
}

inline void append32(Bytes& bytes, std::uint32_t value) {
    append16(bytes, value & 0xFFFF);
    append16(bytes, value >> 16);
}

// A bitmap file of the image in the given bits per pixel (1, 4 and 8 through a palette of the
// image's colours, 16 as 5-5-5), bottom row first unless topDown.
inline Bytes bitmapFile(const Image& image, int bits, bool topDown = false) {
    std::vector<std::uint32_t> palette;
    if (bits <= 8) {
        for (std::uint32_t p : image.pixels)
            if (std::find(palette.begin(), palette.end(), p) == palette.end())
                palette.push_back(p);
    }
    const std::size_t rowBytes = std::size_t(image.width * bits + 31) / 32 * 4;
    const std::uint32_t pixelsAt = 14 + 40 + 4 * std::uint32_t(palette.size());
    Bytes bytes{'B', 'M'};
    append32(bytes, pixelsAt + std::uint32_t(rowBytes) * std::uint32_t(image.height));
    append32(bytes, 0);
    append32(bytes, pixelsAt);
    append32(bytes, 40);
    append32(bytes, std::uint32_t(image.width));
    append32(bytes, std::uint32_t(topDown ? -image.height : image.height));
    append16(bytes, 1);
    append16(bytes, std::uint32_t(bits));
    append32(bytes, 0); // uncompressed
    append32(bytes, 0);
    append32(bytes, 2835);
    append32(bytes, 2835);
    append32(bytes, std::uint32_t(palette.size()));
    append32(bytes, 0);
    for (std::uint32_t colour : palette)
        append32(bytes, colour); // B, G, R, 0 in the file
    for (int i = 0; i < image.height; ++i) {
        const int y = topDown ? i : image.height - 1 - i;
        Bytes row(rowBytes, 0);
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t p = image.at(x, y);
            const auto index =
                unsigned(std::find(palette.begin(), palette.end(), p) - palette.begin());
            switch (bits) {
            case 1:
                row[std::size_t(x / 8)] |= std::uint8_t(index << (7 - x % 8));
                break;
            case 4:
                row[std::size_t(x / 2)] |= std::uint8_t(index << (x % 2 == 0 ? 4 : 0));
                break;
            case 8:
                row[std::size_t(x)] = std::uint8_t(index);
                break;
            case 16: {
                const std::uint32_t r = (p >> 16 & 0xFF) >> 3, g = (p >> 8 & 0xFF) >> 3,
                                    b = (p & 0xFF) >> 3;
                const std::uint32_t packed = r << 10 | g << 5 | b;
                row[std::size_t(2 * x)] = std::uint8_t(packed);
                row[std::size_t(2 * x + 1)] = std::uint8_t(packed >> 8);
                break;
            }
            case 24:
                for (int c = 0; c < 3; ++c)
                    row[std::size_t(3 * x + c)] = std::uint8_t(p >> (8 * c));
                break;
            default:
                for (int c = 0; c < 4; ++c)
                    row[std::size_t(4 * x + c)] = std::uint8_t(p >> (8 * c));
            }
        }
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return bytes;
}

// A WAV file of PCM samples: a twentieth of a second of stereo silence at 8 kHz.
inline Bytes chimeWave() {
    const int channels = 2, rate = 8000, bits = 16;
    const Bytes samples(1600, 0);
    Bytes bytes{'R', 'I', 'F', 'F'};
    append32(bytes, std::uint32_t(36 + samples.size()));
    for (char c : std::string("WAVEfmt "))
        bytes.push_back(std::uint8_t(c));
    append32(bytes, 16);
    append16(bytes, 1);
    append16(bytes, channels);
    append32(bytes, rate);
    append32(bytes, rate * channels * bits / 8);
    append16(bytes, channels * bits / 8);
    append16(bytes, bits);
    for (char c : std::string("data"))
        bytes.push_back(std::uint8_t(c));
    append32(bytes, std::uint32_t(samples.size()));
    bytes.insert(bytes.end(), samples.begin(), samples.end());
    return bytes;
}

} // namespace fixtures
