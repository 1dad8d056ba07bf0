#pragma once

// Windows bitmaps (BMP), decoded by the program itself.
//
// The bitmaps this program shows are the ones it installs, often made by
// hand or by old tools, and a cut-short one must never be shown with
// whatever memory held. So the decoder proves, from the headers, that
// every byte it will read is in the file before it reads any pixel, and
// it writes every pixel of the picture it returns. Sizes come from 32-bit
// header fields and are multiplied in 64 bits with overflow checks.
//
// It reads every layout the format has seen: info headers of 12 and 16
// bytes (OS/2), 40 (Windows 3), 52 and 56 (with masks), 64 (OS/2 2), 108
// and 124 (Windows 95 and 98), 1, 4, 8, 16, 24 and 32 bits per pixel,
// uncompressed, run-length compressed (RLE4, RLE8) or with bit fields,
// bottom-up or top-down, with palettes shorter than 2^bits.

#include <QImage>
#include <QString>

#include <cstdint>
#include <span>

namespace vantrel {

// True when `bytes` begins as a Windows bitmap does, with "BM".
bool looksLikeBmp(std::span<const std::uint8_t> bytes);

// Decodes the Windows bitmap `bytes`, the whole file, shown to the user as
// `displayName`.
//
// Pictures of 1, 4 and 8 bits come back as Format_Indexed8 with the file's
// colours as the colour table, padded with opaque black to 2^bits entries
// (the colour a pixel beyond a short palette is shown in), and the stored
// indexes as the pixels; others as Format_RGB32, or Format_ARGB32 when the
// header gives the pixels an alpha mask. Pixels a run-length picture skips
// are index 0.
//
// Throws HostError naming `displayName` and the reason when the file is
// cut short before the end of its headers, palette or pixels ("C:\logo.sys
// is cut short: 1000 bytes, its pixels need 129078"), when the picture is
// larger than 256 MiB decoded, and when the headers describe no bitmap
// this decoder reads.
QImage decodeBmp(std::span<const std::uint8_t> bytes, const QString &displayName);

} // namespace vantrel
