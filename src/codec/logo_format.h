#pragma once

// The logo bitmap: the one picture format of the system.
//
// A logo bitmap is a Windows BMP of 320 x 400 pixels, 8 bits per pixel,
// uncompressed, bottom-up, with a 256-entry palette: exactly 129078 bytes.
// The program treats it as two byte regions at fixed offsets, the 1078-byte
// header block (file header, info header, palette) and the 128000-byte pixel
// area; it never needs more of a file than those.

#include "host/little_endian.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vantrel {

inline constexpr int kLogoWidth = 320;
inline constexpr int kLogoHeight = 400;
inline constexpr std::size_t kFileHeaderLength = 14;
inline constexpr std::size_t kInfoHeaderLength = 40;
inline constexpr std::size_t kPaletteOffset = kFileHeaderLength + kInfoHeaderLength; // 54
inline constexpr std::size_t kPaletteEntries = 256;
inline constexpr std::size_t kPaletteLength = 4 * kPaletteEntries;                     // 1024
inline constexpr std::size_t kHeaderBlockLength = kPaletteOffset + kPaletteLength;     // 1078
inline constexpr std::size_t kPixelAreaLength = std::size_t(kLogoWidth) * kLogoHeight; // 128000
inline constexpr std::size_t kPixelBlockLength = 32000;                           // 100 stored rows
inline constexpr std::size_t kPixelBlocks = kPixelAreaLength / kPixelBlockLength; // 4
inline constexpr std::int64_t kLogoLength = kHeaderBlockLength + kPixelAreaLength; // 129078

// Byte 50 records the starting entry S of the animated range S..255;
// byte 51 is cleared with it.
inline constexpr std::size_t kStartEntryOffset = 50;
inline constexpr int kDefaultStartEntry = 236;
inline constexpr int kMinStartEntry = 1;
inline constexpr int kMaxStartEntry = 255;

static_assert(kHeaderBlockLength == 1078);
static_assert(kLogoLength == 129078);
static_assert(kPixelBlocks * kPixelBlockLength == kPixelAreaLength);

// Offset of palette entry `i` (0..255), in the file and in the header block.
constexpr std::size_t entryOffset(int i)
{
    return kPaletteOffset + 4 * std::size_t(i);
}

// The length test: the only check the program applies to a file.
constexpr bool passesLengthTest(std::int64_t length)
{
    return length == kLogoLength;
}

// Writes the file header and the info header of a logo bitmap into the
// first 54 bytes of `header`: "BM", 129078 bytes, the pixels at 1078,
// 320 x 400 stored bottom row first, one plane, 8 bits, uncompressed,
// biSizeImage 128000, `pixelsPerMetre` across and down, a full 256-entry
// palette (biClrUsed 256) and biClrImportant = `clrImportant` (byte 50 is
// the starting entry of an animated logo). `header` must hold 54 bytes.
void writeLogoHeaders(std::span<std::uint8_t> header, std::uint32_t pixelsPerMetre,
                      std::uint32_t clrImportant);

// One header field as found in a file, next to what a logo bitmap holds
// there. Fields that only carry information (the resolution,
// biClrImportant) accept any value.
struct HeaderField {
    // The standard's name, "bfSize".
    QString name;
    std::size_t offset = 0;
    // False when the file ends before the field does.
    bool present = false;
    // The value as read, "129078", or "missing".
    QString found = QStringLiteral("missing");
    // The value is one a logo bitmap may hold.
    bool ok = false;
    // What a logo bitmap holds there: "129078", "128000 or 0", "any".
    QString expected;
};

// Reads each field of the file header and the info header from `header`,
// the first bytes of a file (any number of them, also fewer than the 54 the
// headers take), and judges it against the logo bitmap's field table.
// Fields that reach beyond the end of `header` are reported missing and not
// ok. Never reads outside `header`; never fails.
std::vector<HeaderField> checkHeaderFields(std::span<const std::uint8_t> header);

// Why Windows would not take a file as a logo bitmap, in words: its
// length, or else the first header field that is not what a logo bitmap
// holds ("129077 bytes, expected 129078", "biBitCount is 24, expected 8").
// The empty text for a logo bitmap. `header` is the start of the file (as
// much of it as there is; 54 bytes are enough) and `length` its length.
// Never fails.
QString logoBitmapProblem(std::span<const std::uint8_t> header, std::int64_t length);

// The palette colour of entry `i` in a header block as "#RRGGBB" (the
// entry's bytes are blue, green, red, reserved). `header` must hold at
// least entryOffset(i) + 3 bytes.
QString entryColour(std::span<const std::uint8_t> header, int i);

// An entry of the animated range whose colour (blue, green, red) is also
// the colour of an entry below the range: pixels of the two look alike, but
// only those of `animated` change during the animation.
struct ColourTwin {
    int animated;
    int still; // the lowest entry below the range with the same colour
};

// The twins of every entry of the animated range `start`..255 of the
// header block (1078 bytes), in entry order, each with its lowest still
// twin. `start` is 1..255.
std::vector<ColourTwin> findColourTwins(std::span<const std::uint8_t> header, int start);

// How many bytes of `pixels` are palette indexes of the animated range,
// that is at least `start`.
std::size_t countAnimatedPixels(std::span<const std::uint8_t> pixels, int start);

} // namespace vantrel
