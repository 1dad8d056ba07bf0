#include "support/bmp_variants.h"

#include <algorithm>
#include <cstdint>
#include <set>

namespace vantrel::test {

namespace {

// Odd, so that rows of 1, 4 and 24 bits need padding and the last nibble
// or bit of a row stands alone.
constexpr int kWidth = 9;
constexpr int kHeight = 3;

enum class Compression { None = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

struct Layout {
    int infoSize = 40;
    int bits = 8;
    Compression compression = Compression::None;
    bool shortPalette = false;
    bool topDown = false;
};

void put16(QByteArray &bytes, qsizetype at, std::uint32_t value)
{
    bytes[at] = char(value & 0xff);
    bytes[at + 1] = char(value >> 8 & 0xff);
}

void put32(QByteArray &bytes, qsizetype at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (8 * i) & 0xff);
}

void append32(QByteArray &bytes, std::uint32_t value)
{
    const qsizetype at = bytes.size();
    bytes.resize(at + 4);
    put32(bytes, at, value);
}

QRgb paletteColour(int i)
{
    return qRgb((i * 37 + 11) & 0xff, (i * 91 + 7) & 0xff, (i * 53 + 200) & 0xff);
}

// The picture's pixel (x, y), y counted from the top, as one of `n`
// colour numbers. The rows are pairs, all different, and a short stretch
// then a long run, so that the run-length encoders below use both their
// modes.
int pictureIndex(int x, int y, int n)
{
    int v = 0;
    switch (y % 3) {
    case 0:
        v = x / 2;
        break;
    case 1:
        v = x;
        break;
    default:
        v = x < 4 ? x : 7;
        break;
    }
    return (v + y) % n;
}

bool indexed(const Layout &layout)
{
    return layout.bits <= 8;
}

// Colours in the palette: all 2^bits, or a shorter table given by
// biClrUsed.
int paletteEntries(const Layout &layout)
{
    if (!indexed(layout))
        return 0;
    if (layout.shortPalette)
        return layout.bits == 4 ? 6 : 20;
    return 1 << layout.bits;
}

// How many colour numbers the picture uses.
int coloursUsed(const Layout &layout)
{
    if (indexed(layout))
        return paletteEntries(layout);
    return layout.bits == 16 ? 8 : 16;
}

// 32-bit pixels carry alpha when the info header has an alpha mask: one
// stated for bit fields, or the 0xff000000 that uncompressed files with a
// large header state for their fourth byte.
bool hasAlpha(const Layout &layout)
{
    return layout.bits == 32 && layout.infoSize >= 56 && layout.infoSize != 64;
}

// Colour number `i` of a direct-colour picture. 16-bit pixels hold full
// or empty channels only, which any reader must expand to 255 and 0.
QRgb directColour(const Layout &layout, int i)
{
    if (layout.bits == 16)
        return qRgb(i & 1 ? 0xff : 0, i & 2 ? 0xff : 0, i & 4 ? 0xff : 0);
    const QRgb c = paletteColour(i);
    if (hasAlpha(layout))
        return qRgba(qRed(c), qGreen(c), qBlue(c), i % 3 == 0 ? 0x80 : 0xff);
    return c;
}

QRgb colourAt(const Layout &layout, int x, int y)
{
    const int i = pictureIndex(x, y, coloursUsed(layout));
    return indexed(layout) ? paletteColour(i) : directColour(layout, i);
}

// Red, green, blue and alpha masks of a bit-field layout: 5-6-5 for 16
// bits, and for 32 bits the bytes in the order red, green, blue, alpha,
// which is not the order of the uncompressed layout.
std::uint32_t maskOf(const Layout &layout, int channel)
{
    if (layout.bits == 16) {
        const std::uint32_t masks[] = {0xf800, 0x07e0, 0x001f, 0};
        return masks[channel];
    }
    const std::uint32_t masks[] = {0x000000ff, 0x0000ff00, 0x00ff0000, 0xff000000};
    return masks[channel];
}

// Masks as an uncompressed 32-bit file written with a large info header
// states them; a reader goes by the compression and ignores them.
std::uint32_t plainMaskOf(int channel)
{
    const std::uint32_t masks[] = {0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000};
    return masks[channel];
}

QByteArray infoHeader(const Layout &layout)
{
    QByteArray header(layout.infoSize, '\0');
    put32(header, 0, std::uint32_t(layout.infoSize));
    const int height = layout.topDown ? -kHeight : kHeight;
    if (layout.infoSize == 12) {
        put16(header, 4, kWidth);
        put16(header, 6, std::uint32_t(height));
        put16(header, 8, 1);
        put16(header, 10, std::uint32_t(layout.bits));
        return header;
    }
    put32(header, 4, kWidth);
    put32(header, 8, std::uint32_t(height));
    put16(header, 12, 1);
    put16(header, 14, std::uint32_t(layout.bits));
    if (layout.infoSize == 16)
        return header;
    put32(header, 16, std::uint32_t(layout.compression));
    put32(header, 24, 2835);
    put32(header, 28, 2835);
    put32(header, 32, layout.shortPalette ? std::uint32_t(paletteEntries(layout)) : 0);
    if (layout.infoSize == 64)
        return header;
    const bool fields = layout.compression == Compression::BitFields;
    for (int channel = 0; channel < 4 && 40 + 4 * channel + 4 <= layout.infoSize; ++channel)
        put32(header, 40 + 4 * channel, fields ? maskOf(layout, channel) : plainMaskOf(channel));
    if (layout.infoSize >= 108)
        put32(header, 56, 0x73524742); // "sRGB"
    return header;
}

QByteArray palette(const Layout &layout)
{
    QByteArray table;
    const bool triples = layout.infoSize == 12;
    for (int i = 0; i < paletteEntries(layout); ++i) {
        const QRgb c = paletteColour(i);
        table.append(char(qBlue(c)));
        table.append(char(qGreen(c)));
        table.append(char(qRed(c)));
        if (!triples)
            table.append('\0');
    }
    return table;
}

// Stored row `r` (0 comes first in the file) as colour numbers.
std::vector<int> storedRow(const Layout &layout, int r)
{
    const int y = layout.topDown ? r : kHeight - 1 - r;
    std::vector<int> row;
    for (int x = 0; x < kWidth; ++x)
        row.push_back(pictureIndex(x, y, coloursUsed(layout)));
    return row;
}

std::uint32_t packDirect(const Layout &layout, QRgb c)
{
    if (layout.compression != Compression::BitFields) {
        if (layout.bits == 16)
            return std::uint32_t(qRed(c) >> 3 << 10 | qGreen(c) >> 3 << 5 | qBlue(c) >> 3);
        // Without an alpha mask the fourth byte of a 32-bit pixel is
        // unused; it is set here so that a reader that takes it for alpha
        // shows.
        const std::uint32_t fourth = hasAlpha(layout) ? std::uint32_t(qAlpha(c)) : 0x5a;
        return std::uint32_t(qRed(c) << 16 | qGreen(c) << 8 | qBlue(c)) | fourth << 24;
    }
    if (layout.bits == 16)
        return std::uint32_t(qRed(c) >> 3 << 11 | qGreen(c) >> 2 << 5 | qBlue(c) >> 3);
    const std::uint32_t alpha = hasAlpha(layout) ? std::uint32_t(qAlpha(c)) : 0x33;
    return std::uint32_t(qRed(c)) | std::uint32_t(qGreen(c)) << 8 | std::uint32_t(qBlue(c)) << 16 |
           alpha << 24;
}

QByteArray uncompressedPixels(const Layout &layout)
{
    const int stride = (kWidth * layout.bits + 31) / 32 * 4;
    QByteArray pixels(qsizetype(stride) * kHeight, '\0');
    for (int r = 0; r < kHeight; ++r) {
        const std::vector<int> row = storedRow(layout, r);
        const qsizetype base = qsizetype(r) * stride;
        for (int x = 0; x < kWidth; ++x) {
            const int i = row[std::size_t(x)];
            if (indexed(layout)) {
                const int bit = x * layout.bits;
                const int shift = 8 - layout.bits - bit % 8;
                pixels[base + bit / 8] = char(pixels[base + bit / 8] | i << shift);
                continue;
            }
            const int y = layout.topDown ? r : kHeight - 1 - r;
            const std::uint32_t value = packDirect(layout, colourAt(layout, x, y));
            for (int b = 0; b < layout.bits / 8; ++b)
                pixels[base + x * (layout.bits / 8) + b] = char(value >> (8 * b) & 0xff);
        }
        for (qsizetype pad = base + (kWidth * layout.bits + 7) / 8; pad < base + stride; ++pad)
            pixels[pad] = char(0xa5); // padding a reader must skip
    }
    return pixels;
}

// Run-length encoding as paint programs write it: runs of equal pixels in
// encoded mode (or as a jump over them when they are index 0), stretches of
// three or more different ones in absolute mode (padded to a 16-bit
// boundary), each row closed by an end of line and the last by the end of
// the bitmap.
QByteArray runLengthPixels(const Layout &layout)
{
    const bool nibbles = layout.compression == Compression::Rle4;
    QByteArray out;
    for (int r = 0; r < kHeight; ++r) {
        const std::vector<int> row = storedRow(layout, r);
        std::size_t x = 0;
        while (x < row.size()) {
            std::size_t run = 1;
            while (x + run < row.size() && row[x + run] == row[x])
                ++run;
            if (run >= 2 && row[x] == 0) {
                // Skipped pixels are index 0: a jump right says the same.
                out.append('\0');
                out.append('\2');
                out.append(char(run));
                out.append('\0');
                x += run;
                continue;
            }
            if (run >= 2) {
                out.append(char(run));
                out.append(char(nibbles ? row[x] << 4 | row[x] : row[x]));
                x += run;
                continue;
            }
            std::size_t end = x + 1;
            while (end < row.size() && !(end + 1 < row.size() && row[end] == row[end + 1]))
                ++end;
            const std::size_t count = end - x;
            if (count < 3) {
                for (std::size_t k = x; k < end; ++k) {
                    out.append('\1');
                    out.append(char(nibbles ? row[k] << 4 : row[k]));
                }
            } else {
                out.append('\0');
                out.append(char(count));
                qsizetype bytes = 0;
                for (std::size_t k = x; k < end; k += nibbles ? 2 : 1, ++bytes) {
                    const int second = nibbles && k + 1 < end ? row[k + 1] : 0;
                    out.append(char(nibbles ? row[k] << 4 | second : row[k]));
                }
                if (bytes % 2 != 0)
                    out.append('\0');
            }
            x = end;
        }
        out.append('\0');
        out.append(r + 1 < kHeight ? '\0' : '\1');
    }
    return out;
}

QImage expectedPicture(const Layout &layout)
{
    QImage picture(kWidth, kHeight, QImage::Format_ARGB32);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x)
            picture.setPixel(x, y, colourAt(layout, x, y));
    }
    return picture;
}

QString compressionName(Compression compression)
{
    switch (compression) {
    case Compression::None:
        return QStringLiteral("rgb");
    case Compression::Rle8:
        return QStringLiteral("rle8");
    case Compression::Rle4:
        return QStringLiteral("rle4");
    case Compression::BitFields:
        return QStringLiteral("bitfields");
    }
    return {};
}

QString cutShort(qsizetype length, const QString &what)
{
    return QStringLiteral("%1 is cut short: ") + QString::number(length) +
           QStringLiteral(" bytes, ") + what;
}

// All variants of one layout: every bfOffBits, every cut.
void addVariants(std::vector<BmpVariant> &variants, const Layout &layout)
{
    const QByteArray info = infoHeader(layout);
    QByteArray masks;
    if (layout.infoSize == 40 && layout.compression == Compression::BitFields) {
        for (int channel = 0; channel < 3; ++channel)
            append32(masks, maskOf(layout, channel));
    }
    const QByteArray table = palette(layout);
    const bool rle =
        layout.compression == Compression::Rle4 || layout.compression == Compression::Rle8;
    const QByteArray pixels = rle ? runLengthPixels(layout) : uncompressedPixels(layout);

    const int infoEnd = 14 + layout.infoSize;
    const int headersEnd = infoEnd + int(masks.size());
    const int paletteEnd = headersEnd + int(table.size());
    const std::set<int> offsets{0, 14, infoEnd, paletteEnd - 1, paletteEnd, paletteEnd + 6};
    const QString paletteName = !indexed(layout)      ? QStringLiteral("no-palette")
                                : layout.shortPalette ? QStringLiteral("short-palette")
                                                      : QStringLiteral("full-palette");
    const QString base = QStringLiteral("h%1 d%2 %3 %4 off=%5 %6 cut=%7")
                             .arg(layout.infoSize)
                             .arg(layout.bits)
                             .arg(compressionName(layout.compression), paletteName);
    const QString direction =
        layout.topDown ? QStringLiteral("top-down") : QStringLiteral("bottom-up");
    const QImage picture = expectedPicture(layout);
    const QImage::Format format = indexed(layout)    ? QImage::Format_Indexed8
                                  : hasAlpha(layout) ? QImage::Format_ARGB32
                                                     : QImage::Format_RGB32;

    for (const int offset : offsets) {
        const int pixelStart = std::max(offset, paletteEnd);
        QByteArray file(14, '\0');
        file[0] = 'B';
        file[1] = 'M';
        file += info + masks + table;
        file += QByteArray(pixelStart - paletteEnd, char(0xee));
        file += pixels;
        put32(file, 2, std::uint32_t(file.size()));
        put32(file, 10, std::uint32_t(offset));

        const qsizetype end = file.size();
        std::set<qsizetype> cuts{10,
                                 infoEnd - 1,
                                 headersEnd - 1,
                                 paletteEnd - 1,
                                 pixelStart,
                                 pixelStart + pixels.size() / 2,
                                 end - 1};
        const QString name = base.arg(offset).arg(direction, QStringLiteral("%1"));
        variants.push_back({name.arg(QStringLiteral("whole")), file, picture, format, {}});
        for (const qsizetype cut : cuts) {
            QString error;
            if (cut < 18)
                error = cutShort(cut, QStringLiteral("its headers need 18"));
            else if (cut < infoEnd)
                error = cutShort(cut, QStringLiteral("its headers need %1").arg(infoEnd));
            else if (cut < headersEnd)
                error = cutShort(cut, QStringLiteral("its headers need %1").arg(headersEnd));
            else if (!rle)
                error = cutShort(cut, QStringLiteral("its pixels need %1").arg(end));
            else if (cut < paletteEnd)
                error = cutShort(cut, QStringLiteral("its palette needs %1").arg(paletteEnd));
            else
                error = cutShort(cut, QStringLiteral("its compressed pixels run past the end"));
            variants.push_back({name.arg(cut), file.left(cut), {}, QImage::Format_Invalid, error});
        }
    }
}

} // namespace

std::vector<BmpVariant> bmpVariants()
{
    struct Depth {
        int bits;
        Compression compression;
    };
    const Depth depths[] = {
        {1, Compression::None},       {4, Compression::None},  {4, Compression::Rle4},
        {8, Compression::None},       {8, Compression::Rle8},  {16, Compression::None},
        {16, Compression::BitFields}, {24, Compression::None}, {32, Compression::None},
        {32, Compression::BitFields},
    };
    std::vector<BmpVariant> variants;
    for (const int infoSize : {12, 16, 40, 52, 56, 64, 108, 124}) {
        // The OS/2 headers of 12 and 16 bytes have no compression field;
        // in the 64-byte one, compression 3 is OS/2's Huffman coding.
        const bool hasCompression = infoSize >= 40;
        const bool hasColoursUsed = infoSize >= 40;
        for (const Depth &depth : depths) {
            if (depth.compression != Compression::None && !hasCompression)
                continue;
            if (depth.compression == Compression::BitFields && infoSize == 64)
                continue;
            const bool canBeShort = depth.bits > 1 && depth.bits <= 8 && hasColoursUsed;
            for (const bool shortPalette : {false, true}) {
                if (shortPalette && !canBeShort)
                    continue;
                // The 12-byte header's height is unsigned: always bottom-up.
                for (const bool topDown : {false, true}) {
                    if (topDown && infoSize == 12)
                        continue;
                    addVariants(variants,
                                {infoSize, depth.bits, depth.compression, shortPalette, topDown});
                }
            }
        }
    }
    return variants;
}

} // namespace vantrel::test
