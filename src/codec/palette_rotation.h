#pragma once

// One step of the palette cycling that animates a start-up logo.
//
// Windows animates a logo whose byte 50 holds a starting entry S by
// rotating palette entries S..255 (the animated range) one entry at a
// time. The preview window shows that rotation on a copy of the logo, and
// the GIF export plays it frame by frame; both take each step from here.

#include <cstdint>
#include <span>

namespace vantrel {

// Rotates the animated range `start`..255 of the palette in the 1078-byte
// header block `header` by one entry, in place. Entries move as whole
// 4-byte units; the file header, the info header and entries 0..start-1
// are never touched.
//
//  - Forward: entry i takes the colour of entry i + 1 for start <= i < 255,
//    and entry 255 the colour that entry `start` had. Every colour moves
//    one entry down and the one at `start` wraps to 255.
//  - Reverse: entry `start` takes the colour of entry 255, and entry i the
//    colour of entry i - 1 for start < i <= 255. Every colour moves one
//    entry up and the one at 255 wraps to `start`.
//
// After 256 - start steps in either direction the block is as it was.
// `start` must be 1..255 and `header` at least 1078 bytes long; anything
// else leaves the block alone.
void Rotate(std::span<std::uint8_t> header, int start, bool reverse);

} // namespace vantrel
