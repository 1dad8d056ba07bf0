#pragma once

// The logo bitmap: the one picture format of the system.
//
// A logo bitmap is a Windows BMP of 320 x 400 pixels, 8 bits per pixel,
// uncompressed, bottom-up, with a 256-entry palette: exactly 129078 bytes.
// The program treats it as two byte regions at fixed offsets, the 1078-byte
// header block (file header, info header, palette) and the 128000-byte pixel
// area; it never needs more of a file than those.

#include <cstddef>
#include <cstdint>

namespace vantrel {

inline constexpr int kLogoWidth = 320;
inline constexpr int kLogoHeight = 400;
inline constexpr std::size_t kFileHeaderLength = 14;
inline constexpr std::size_t kInfoHeaderLength = 40;
inline constexpr std::size_t kPaletteOffset = kFileHeaderLength + kInfoHeaderLength; // 54
inline constexpr std::size_t kPaletteEntries = 256;
inline constexpr std::size_t kPaletteLength = 4 * kPaletteEntries;            // 1024
inline constexpr std::size_t kHeaderBlockLength = kPaletteOffset + kPaletteLength; // 1078
inline constexpr std::size_t kPixelAreaLength = std::size_t(kLogoWidth) * kLogoHeight; // 128000
inline constexpr std::size_t kPixelBlockLength = 32000; // 100 stored rows
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

} // namespace vantrel
