#pragma once

// A working copy of a logo bitmap, as the palette-cycling preview makes
// it: the header block kept in memory for rotating, the whole logo
// written to a file of the preview's own. All file access goes through
// the host.

#include "codec/logo_format.h"
#include "host/host.h"

#include <array>
#include <cstdint>

namespace vantrel {

// Reads the logo bitmap `source` from its start: the 1078-byte header
// block, then the 128000-byte pixel area in four 32000-byte pieces; closes
// it; then writes the same 129078 bytes from offset 0 of `target` (opened
// for reading and writing, created when missing; bytes beyond the logo in
// a longer target stay) in the same pieces, and closes it. The pixel area
// is held only while it is copied. Returns the header block.
//
// Throws HostError when either file cannot be opened, the source holds
// fewer than 129078 bytes, or a read or write fails; `target` may then be
// written in part.
std::array<std::uint8_t, kHeaderBlockLength> copyLogoByBlocks(Host &host, const QString &source,
                                                              const QString &target);

} // namespace vantrel
