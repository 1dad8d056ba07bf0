#pragma once

// Windows bitmaps in every layout a BMP reader meets, made in memory from
// one small picture, whole and cut short at each region.
//
// A variant is one combination of info header size (12, 16, 40, 52, 56,
// 64, 108, 124 bytes), bits per pixel (1, 4, 8, 16, 24, 32), compression
// (none, RLE4, RLE8, bit fields), palette (full or shorter than 2^bits),
// bfOffBits (0, 14, the end of the info header, one short of the end of the
// palette, the end of the palette, past it), row order (bottom-up or
// top-down) and cut (the whole file, or its first N bytes for an N inside
// the file header, the info header, the masks, the palette, the gap before
// the pixels or the pixels).
//
// Each variant knows what a reader that only accepts what is whole must
// answer: the picture, pixel for pixel, or the message that names what is
// missing. A bfOffBits that points before the end of the palette is taken
// to mean the pixels follow the palette, as the writers that leave it 0
// intend.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <vector>

namespace vantrel::test {

struct BmpVariant {
    // Says what the variant is: "h40 d8 rle8 full-palette off=1078 bottom-up cut=600".
    QString name;
    QByteArray bytes;
    // For a whole file: the picture it holds, in Format_ARGB32, and the
    // format a decoder hands it back in (Format_Indexed8 for 1 to 8 bits,
    // so that a palette picture keeps its exact colours).
    QImage picture;
    QImage::Format format = QImage::Format_Invalid;
    // For a cut file: the reason the reader gives, with %1 for the name
    // the file is shown under.
    QString error;

    bool whole() const { return error.isEmpty(); }
};

// Every variant, in a fixed order with distinct names.
std::vector<BmpVariant> bmpVariants();

} // namespace vantrel::test
