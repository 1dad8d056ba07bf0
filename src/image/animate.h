#pragma once

// The palette animation transform.
//
// An animated start-up logo is a logo bitmap whose palette entries S..255
// (the animated range) the system cycles while it starts. AnimateLogo
// writes such a logo: a copy of a source logo bitmap with S recorded in
// byte 50 of the header and, when asked, with the pixel values of the
// animated range mirrored by Flip so that the colours travel the other way.
// The palette itself is copied unchanged. The animation maker window calls
// it; all file access goes through the host.

#include "host/host.h"

#include <cstdint>
#include <span>

namespace vantrel {

// Writes `target` as a copy of the logo bitmap `source` with byte 50 set to
// `start` (the starting entry S, 1..255) and byte 51 set to 0, and with
// every pixel mirrored by Flip when `reverse` is set.
//
// The source must pass the length test (exactly 129078 bytes); this is
// checked before any file is opened, so a missing or wrongly sized source
// leaves the target untouched. The target is written as the host replaces
// files: beside it first, then put in its place in one step, so the old
// target stays whole until the new one is complete, and a target that is a
// symbolic link is replaced, not followed. The new target starts as a copy
// of the old one (empty when there is none or it is a link), so bytes
// beyond the logo in a longer target stay. The header block goes first,
// then the pixel area in four 32000-byte blocks in file order; no more
// than one of each is held at a time.
//
// Returns when the target is in place and the source closed. Throws
// HostError with the reason otherwise: a starting entry outside 1..255, a
// missing source, a source of the wrong length ("logo.bmp: not a logo
// bitmap: 129077 bytes, expected 129078"), a source or target that is not
// a regular file, a read-only target, or a failure to open, read or write.
// The old target is then as it was.
void AnimateLogo(Host &host, const QString &source, const QString &target, int start, bool reverse);

// Mirrors the animated range `start`..255 onto itself in place: every byte
// c >= start becomes 255 - (c - start); smaller bytes stay. Applying it
// twice gives the block back. `start` is the starting entry S, 1..255 (a
// larger value leaves the block alone, a smaller one acts as 0).
void Flip(std::span<std::uint8_t> block, int start);

} // namespace vantrel
