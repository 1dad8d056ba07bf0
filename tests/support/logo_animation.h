#pragma once

// What an animated logo shows, written out independently of the program's
// own code so that the export can be held against it, and a logo that
// moves the way start-up logos usually do: a band across its foot.
// Header-only.

#include "codec/gif_export.h"
#include "support/gif_reader.h"
#include "support/logo_bytes.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <array>

namespace vantrel::test {

// The band covers these picture rows (counted from the top) across all 320
// columns, with the animated entries S..255 spread from left to right. It
// is cut into segments by still columns, so that a frame holding the band
// holds still pixels too.
inline constexpr int kBandTop = 380;
inline constexpr int kBandBottom = 391;

// A logo with S = `start` in byte 50 whose pixels use the animated range
// only in the band; every other pixel is an index below `start`.
inline LogoBytes bandLogo(int start)
{
    LogoBytes logo;
    logo.clrImportant = std::uint32_t(start);
    for (std::uint8_t &pixel : logo.pixels)
        pixel = std::uint8_t(pixel % start);
    const int entries = 256 - start;
    for (int row = kBandTop; row <= kBandBottom; ++row) {
        for (int x = 0; x < kLogoWidth; ++x) {
            std::uint8_t &pixel =
                logo.pixels[std::size_t(kLogoHeight - 1 - row) * kLogoWidth + std::size_t(x)];
            if (x % 16 != 8)
                pixel = std::uint8_t(start + x * entries / kLogoWidth);
        }
    }
    return logo;
}

// A chaser: lamps that use every seventh entry of S = 200, and a range whose
// colours come in runs of seven, so only every seventh step looks new.
inline QByteArray chaserLogo()
{
    LogoBytes logo = bandLogo(200);
    for (int entry = 200; entry < 256; ++entry) {
        const auto lit = std::uint8_t((entry - 200) / 7 % 2 == 0 ? 255 : 40);
        logo.setColour(entry, lit, lit, 0);
    }
    for (std::size_t k = 0; k < logo.pixels.size(); ++k) {
        if (logo.pixels[k] >= 200)
            logo.pixels[k] = std::uint8_t(200 + (logo.pixels[k] - 200) / 7 * 7);
    }
    return logo.bytes();
}

// The logo row (from the top) that row `y` of an export shows. On a 4:3
// screen every 6 rows show 5 logo rows, the middle one of them twice.
inline int shownRow(ExportSize size, int y)
{
    static constexpr std::array<int, 6> kOfSix{0, 1, 2, 2, 3, 4};
    return size == ExportSize::Screen640x480 ? 5 * (y / 6) + kOfSix[std::size_t(y % 6)] : y;
}

inline int shownColumn(ExportSize size, int x)
{
    return size == ExportSize::Raw320x400 ? x : x / 2;
}

// The colour that pixel (x, y) of an export of `logo` shows at step k, as
// Windows cycles the palette: the logo pixel's entry i, or, when the logo
// cycles from `start` (0 for a still picture) and i >= start, the entry
// start + (i - start + k) mod (256 - start).
inline Colour shownColour(const QByteArray &logo, ExportSize size, int x, int y, int k, int start)
{
    const int row = shownRow(size, y);
    const int column = shownColumn(size, x);
    int entry = byteAt(logo, kHeaderBlockLength + std::size_t(kLogoHeight - 1 - row) * kLogoWidth +
                                 std::size_t(column));
    if (start > 0 && entry >= start)
        entry = start + (entry - start + k) % (256 - start);
    const std::size_t at = entryOffset(entry);
    return {byteAt(logo, at + 2), byteAt(logo, at + 1), byteAt(logo, at)};
}

// Plays `gif` and checks every pixel of every frame against shownColour;
// reports the first wrong pixel of each frame.
inline void expectFramesShow(const DecodedGif &gif, const QByteArray &logo, ExportSize size,
                             int start)
{
    gif.play([&](int k, const std::vector<Colour> &canvas) {
        for (int y = 0; y < gif.height; ++y) {
            for (int x = 0; x < gif.width; ++x) {
                const Colour want = shownColour(logo, size, x, y, k, start);
                const Colour got = canvas[std::size_t(y) * std::size_t(gif.width) + std::size_t(x)];
                if (got != want) {
                    ADD_FAILURE() << "frame " << k + 1 << " pixel (" << x << ", " << y << ") shows "
                                  << int(got[0]) << "," << int(got[1]) << "," << int(got[2])
                                  << " instead of " << int(want[0]) << "," << int(want[1]) << ","
                                  << int(want[2]);
                    return;
                }
            }
        }
    });
}

} // namespace vantrel::test
