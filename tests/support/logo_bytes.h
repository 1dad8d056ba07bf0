#pragma once

// Logo bitmaps built in memory: a valid 129078-byte file as a paint program
// writes it, with the palette, the pixels and the header fields a test
// chooses. Header-only so that any test can use it.
//
//   LogoBytes logo;                   // grey ramp, every index in use
//   logo.clrImportant = 256;
//   logo.setColour(250, 0xFF, 0xFF, 0xFF);
//   drive.write("logo.bmp", logo.bytes());

#include "codec/logo_format.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <vector>

namespace vantrel::test {

inline void putLe16(QByteArray &bytes, std::size_t offset, std::uint16_t value)
{
    bytes[qsizetype(offset)] = char(value & 0xff);
    bytes[qsizetype(offset + 1)] = char(value >> 8);
}

inline void putLe32(QByteArray &bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        bytes[qsizetype(offset + i)] = char(value >> (8 * i) & 0xff);
}

inline std::uint8_t byteAt(const QByteArray &bytes, std::size_t offset)
{
    return static_cast<std::uint8_t>(bytes[qsizetype(offset)]);
}

struct LogoBytes {
    // Entry i is grey i (blue = green = red = i, reserved 0), and the
    // pixels run through every index, differently in each row.
    LogoBytes() : pixels(kPixelAreaLength)
    {
        for (std::size_t i = 0; i < kPaletteEntries; ++i) {
            const auto grey = static_cast<std::uint8_t>(i);
            palette[i] = {grey, grey, grey, 0};
        }
        for (std::size_t k = 0; k < pixels.size(); ++k)
            pixels[k] = static_cast<std::uint8_t>((k * 31 + k / kLogoWidth) & 0xff);
    }

    void setColour(int entry, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
    {
        palette[std::size_t(entry)] = {blue, green, red, 0};
    }

    // Sets every pixel to `index`.
    void fill(std::uint8_t index) { pixels.assign(kPixelAreaLength, index); }

    // The file: 129078 bytes.
    QByteArray bytes() const
    {
        QByteArray out(qsizetype(kLogoLength), '\0');
        out[0] = 'B';
        out[1] = 'M';
        putLe32(out, 2, std::uint32_t(kLogoLength));
        putLe32(out, 10, std::uint32_t(kHeaderBlockLength));
        putLe32(out, 14, std::uint32_t(kInfoHeaderLength));
        putLe32(out, 18, std::uint32_t(kLogoWidth));
        putLe32(out, 22, std::uint32_t(kLogoHeight));
        putLe16(out, 26, 1);
        putLe16(out, 28, 8);
        putLe32(out, 30, 0);
        putLe32(out, 34, sizeImage);
        putLe32(out, 38, pelsPerMeter);
        putLe32(out, 42, pelsPerMeter);
        putLe32(out, 46, clrUsed);
        putLe32(out, 50, clrImportant);
        for (std::size_t i = 0; i < kPaletteEntries; ++i) {
            for (std::size_t b = 0; b < 4; ++b)
                out[qsizetype(entryOffset(int(i)) + b)] = char(palette[i][b]);
        }
        for (std::size_t k = 0; k < pixels.size(); ++k)
            out[qsizetype(kHeaderBlockLength + k)] = char(pixels[k]);
        return out;
    }

    // Blue, green, red, reserved.
    std::array<std::array<std::uint8_t, 4>, kPaletteEntries> palette{};
    // The pixel area in file order: the bottom row first.
    std::vector<std::uint8_t> pixels;
    std::uint32_t sizeImage = std::uint32_t(kPixelAreaLength);
    std::uint32_t clrUsed = 256;
    std::uint32_t clrImportant = 0;
    std::uint32_t pelsPerMeter = 2834;
};

// A 24-bit bitmap of the logo's size, as a paint program saves one when
// asked for true colour: 54 bytes of headers, no palette.
inline QByteArray trueColourBitmap()
{
    const std::size_t pixelBytes = std::size_t(kLogoWidth) * kLogoHeight * 3;
    QByteArray out(qsizetype(kPaletteOffset + pixelBytes), '\x40');
    out[0] = 'B';
    out[1] = 'M';
    putLe32(out, 2, std::uint32_t(out.size()));
    putLe32(out, 6, 0);
    putLe32(out, 10, std::uint32_t(kPaletteOffset));
    putLe32(out, 14, std::uint32_t(kInfoHeaderLength));
    putLe32(out, 18, std::uint32_t(kLogoWidth));
    putLe32(out, 22, std::uint32_t(kLogoHeight));
    putLe16(out, 26, 1);
    putLe16(out, 28, 24);
    putLe32(out, 30, 0);
    putLe32(out, 34, std::uint32_t(pixelBytes));
    putLe32(out, 38, 0);
    putLe32(out, 42, 0);
    putLe32(out, 46, 0);
    putLe32(out, 50, 0);
    return out;
}

} // namespace vantrel::test
