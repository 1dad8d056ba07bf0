#pragma once

// What must hold for any input, one check per fuzz target.
//
// Each check takes arbitrary bytes, runs one part of the program on them
// and compares what it did with what it promises: not only that nothing
// crashes, but that a refusal is a refusal with its reason and an answer
// is the right one. A broken promise throws InvariantBroken. The fuzz
// targets (entry.cpp) turn that into a crash, so that libFuzzer keeps the
// input; the corpus test replays every file of fuzz/corpus/ through the
// same checks in the ordinary test suite.
//
// The checks keep what they need between calls (a temporary directory, a
// drive) in state of their own, made on first use, and need no window
// system.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

namespace vantrel::fuzz {

class InvariantBroken : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Whether the part under test took the input (decoded, converted, mapped,
// exported it) or refused it, as it may. The corpus test uses it to make
// sure each starting corpus reaches both.
enum class Outcome { Taken, Refused };

// `vantrel-cli check FILE` and the header checks beneath it on `input` as
// the file: exit 0 exactly when the file is a logo bitmap, a report that
// says so and counts the animated pixels, header fields read only from
// the bytes there are.
Outcome checkLogoCheck(std::span<const std::uint8_t> input);

// decodePicture on `input` as a whole file: a picture that is not null,
// of the size and kind its bitmap header gives, from a file that holds
// every byte its headers say; or a refusal that names the file.
Outcome checkPicture(std::span<const std::uint8_t> input);

// DriveMap on a DOS path: the first byte picks the drive (C, c, D, or Q,
// which is not mapped), the rest is the path after "X:" in UTF-8. The
// native path stays on its drive, names the components the DOS path
// leaves after "..", and maps back to itself; a damaged name or an
// unmapped drive is refused. Also checks that the UTF-8 test and the
// shell quoting of names are lossless on the same bytes.
Outcome checkDriveMap(std::span<const std::uint8_t> input);

// convertToLogo on a picture made from `input` (options in the first
// bytes, then either a picture file or a raw image of any QImage format):
// always 129078 bytes that the header check accepts, with the border at
// entry 0, the starting entry in byte 50, and pixels that keep to their
// ranges.
Outcome checkConvert(std::span<const std::uint8_t> input);

// exportGif on a logo bitmap made from `input` (options, byte 50 and 51,
// pixel runs and palette bytes), or on `input` itself as the file: a GIF
// that giflib reads back with the frame count readMotion promises, every
// frame showing the palette of its step; or, for bytes that are not a
// logo bitmap and options out of range, a refusal.
Outcome checkGifExport(std::span<const std::uint8_t> input);

// inspectDiskImage on an image made from `input` (a partition asked for
// or not, the file's length in sectors, then sectors each at its number):
// a volume that lies inside the file (before a VHD footer), starts with a
// FAT boot sector whose file system fits it, is the partition asked for,
// and shares no byte with another primary partition; or a refusal that
// names the image.
Outcome checkDiskImage(std::span<const std::uint8_t> input);

// findInListing on the listing after the first line of `input`, for the
// name on that line: an entry that is listed there, with a name and a
// size that is not negative (0 for a directory); and the same name as the
// long name of a listing made here is found with its size.
Outcome checkMtoolsListing(std::span<const std::uint8_t> input);

// Throws InvariantBroken with `what` unless `condition` holds.
inline void require(bool condition, const char *what)
{
    if (!condition)
        throw InvariantBroken(what);
}

// The same with the text that `describe` returns, made only when the
// condition fails: checks run in loops over every pixel.
template <typename Describe> inline void require(bool condition, Describe &&describe)
{
    if (!condition)
        throw InvariantBroken(std::string(describe()));
}

} // namespace vantrel::fuzz
