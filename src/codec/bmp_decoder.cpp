#include "codec/bmp_decoder.h"

#include "host/host_error.h"
#include "host/little_endian.h"

#include <QList>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

namespace vantrel {

namespace {

constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;

// Bytes 14 to 17 hold the size of the info header, which says how to read
// the rest.
constexpr std::uint64_t kInfoSizeEnd = 18;

// The most memory a decoded picture may take: what Qt's own readers allow.
constexpr std::uint64_t kMaxPictureBytes = std::uint64_t(256) << 20;

// A size that does not fit in 64 bits stands for itself as the largest
// value, which is more than any file holds or any picture may take, so the
// checks refuse it.
constexpr std::uint64_t kUnbounded = std::numeric_limits<std::uint64_t>::max();

std::uint64_t times(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? kUnbounded : product;
}

std::uint64_t plus(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? kUnbounded : sum;
}

// The file, read with explicit little-endian readers. A read beyond the end
// sees 0; none happens, because every region is proved to be in the file
// before it is read.
class Bytes {
public:
    explicit Bytes(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::uint64_t size() const { return m_bytes.size(); }

    std::uint8_t at(std::uint64_t offset) const { return byteAt(m_bytes, offset); }
    std::uint16_t le16(std::uint64_t offset) const { return readLe16(m_bytes, offset); }
    std::uint32_t le32(std::uint64_t offset) const { return readLe32(m_bytes, offset); }

    // The `count` bytes from `offset`, or as many of them as the file holds.
    std::span<const std::uint8_t> range(std::uint64_t offset, std::uint64_t count) const
    {
        if (offset >= m_bytes.size())
            return {};
        return m_bytes.subspan(offset, std::min<std::uint64_t>(count, m_bytes.size() - offset));
    }

private:
    std::span<const std::uint8_t> m_bytes;
};

[[noreturn]] void cannotShow(const QString &name, const QString &reason)
{
    throw HostError(QStringLiteral("cannot show %1: %2").arg(name, reason));
}

// What the headers say, and where each region of the file lies.
struct Layout {
    std::uint32_t infoSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0; // rows, counted without the sign
    bool topDown = false;
    unsigned bits = 0;
    std::uint32_t compression = kUncompressed;
    std::int32_t dotsPerMeterX = 0;
    std::int32_t dotsPerMeterY = 0;
    // Red, green, blue, alpha; used for 16 and 32 bits.
    std::array<std::uint32_t, 4> masks{};
    // The palette: entries of 3 bytes (12-byte header) or 4.
    std::uint64_t paletteStart = 0;
    std::uint64_t paletteEntries = 0;
    unsigned entrySize = 4;
    std::uint64_t pixelStart = 0;

    bool indexed() const { return bits <= 8; }
    bool runLength() const { return compression == kRle8 || compression == kRle4; }
};

class Decoder {
public:
    Decoder(std::span<const std::uint8_t> bytes, const QString &name) : m_bytes(bytes), m_name(name)
    {}

    QImage decode()
    {
        readHeaders();
        QImage image = makeImage();
        if (m_layout.runLength())
            decodeRunLength(image);
        else if (m_layout.indexed())
            decodeIndexed(image);
        else
            decodeDirect(image);
        return image;
    }

private:
    // Refuses the file unless it holds at least `end` bytes; `what` names
    // what needs them, with %1 for `end`.
    void need(std::uint64_t end, const QString &what) const
    {
        if (m_bytes.size() < end) {
            throw HostError(
                QStringLiteral("%1 is cut short: %2 bytes, %3")
                    .arg(m_name, QString::number(m_bytes.size()), what.arg(QString::number(end))),
                ErrorKind::CutShort);
        }
    }

    // Reads the headers into the layout and proves that the file holds
    // every byte the decoding will read, refusing it otherwise. The
    // checks come in this order, so that each file gets one reason.
    void readHeaders()
    {
        const std::uint64_t infoEnd = readInfoSize();
        // The OS/2 2 headers (16 and 64 bytes) share the first fields of
        // Windows' 40-byte header but not what follows them, and their
        // compression 3 is a Huffman code, not bit fields.
        const bool os2 = m_layout.infoSize == 16 || m_layout.infoSize == 64;
        const Declared declared = readInfoFields();
        checkInfoFields(declared, os2);
        const std::uint64_t headersEnd = readMasks(infoEnd, os2);
        const std::uint64_t paletteEnd = placePalette(headersEnd, declared.coloursUsed);
        checkLength(paletteEnd);
    }

    // Bytes 14 to 17 hold the size of the info header, which says how to
    // read the rest. Returns where the info header ends.
    std::uint64_t readInfoSize()
    {
        const QString headers = QStringLiteral("its headers need %1");
        need(kInfoSizeEnd, headers);
        m_layout.infoSize = m_bytes.le32(14);
        static constexpr std::array<std::uint32_t, 8> kInfoSizes{12, 16, 40, 52, 56, 64, 108, 124};
        if (std::find(kInfoSizes.begin(), kInfoSizes.end(), m_layout.infoSize) ==
            kInfoSizes.end()) {
            cannotShow(m_name, QStringLiteral("its info header is %1 bytes long, a size no "
                                              "bitmap has")
                                   .arg(m_layout.infoSize));
        }
        const std::uint64_t infoEnd = 14 + std::uint64_t(m_layout.infoSize);
        need(infoEnd, headers);
        return infoEnd;
    }

    // The fields of the info header that are checked, not kept.
    struct Declared {
        unsigned planes = 0;
        std::int64_t height = 0; // negative for a picture stored top row first
        std::uint32_t coloursUsed = 0;
    };

    // Reads the info header's fields, each where its size puts it.
    Declared readInfoFields()
    {
        Layout &l = m_layout;
        Declared declared;
        if (l.infoSize == 12) {
            l.width = m_bytes.le16(18);
            declared.height = m_bytes.le16(20);
            declared.planes = m_bytes.le16(22);
            l.bits = m_bytes.le16(24);
        } else {
            l.width = std::int32_t(m_bytes.le32(18));
            declared.height = std::int32_t(m_bytes.le32(22));
            declared.planes = m_bytes.le16(26);
            l.bits = m_bytes.le16(28);
        }
        if (l.infoSize >= 40) {
            l.compression = m_bytes.le32(30);
            l.dotsPerMeterX = std::int32_t(m_bytes.le32(38));
            l.dotsPerMeterY = std::int32_t(m_bytes.le32(42));
            declared.coloursUsed = m_bytes.le32(46);
        }
        return declared;
    }

    // Refuses fields no bitmap this decoder reads has; takes the height.
    void checkInfoFields(const Declared &declared, bool os2)
    {
        Layout &l = m_layout;
        if (declared.planes != 1) {
            cannotShow(
                m_name,
                QStringLiteral("it has %1 colour planes, a bitmap has 1").arg(declared.planes));
        }
        static constexpr std::array<unsigned, 6> kDepths{1, 4, 8, 16, 24, 32};
        if (std::find(kDepths.begin(), kDepths.end(), l.bits) == kDepths.end()) {
            cannotShow(m_name, QStringLiteral("it has %1 bits per pixel, a bitmap has 1, 4, 8, 16, "
                                              "24 or 32")
                                   .arg(l.bits));
        }
        if (l.compression > kBitFields || (os2 && l.compression == kBitFields)) {
            cannotShow(m_name, QStringLiteral("it uses compression %1, which this program does "
                                              "not read")
                                   .arg(l.compression));
        }
        const bool fits = l.compression == kUncompressed ||
                          (l.compression == kRle8 && l.bits == 8) ||
                          (l.compression == kRle4 && l.bits == 4) ||
                          (l.compression == kBitFields && (l.bits == 16 || l.bits == 32));
        if (!fits) {
            cannotShow(m_name, QStringLiteral("it uses compression %1 with %2 bits per pixel, "
                                              "which do not go together")
                                   .arg(l.compression)
                                   .arg(l.bits));
        }
        if (l.width <= 0)
            cannotShow(m_name, QStringLiteral("its width is %1").arg(l.width));
        if (declared.height == 0)
            cannotShow(m_name, QStringLiteral("its height is 0"));
        l.topDown = declared.height < 0;
        l.height = declared.height < 0 ? -declared.height : declared.height;
    }

    // The channel masks of a 16- or 32-bit picture: from the headers with
    // bit fields, otherwise the format's own. Returns where the headers
    // end, after the masks a 40-byte header is followed by.
    std::uint64_t readMasks(std::uint64_t infoEnd, bool os2)
    {
        Layout &l = m_layout;
        std::uint64_t headersEnd = infoEnd;
        if (l.compression == kBitFields) {
            // A 40-byte header is followed by the three masks; the larger
            // ones hold them, and from 56 bytes on an alpha mask too.
            if (l.infoSize == 40) {
                headersEnd += 12;
                need(headersEnd, QStringLiteral("its headers need %1"));
            }
            l.masks = {m_bytes.le32(54), m_bytes.le32(58), m_bytes.le32(62),
                       l.infoSize >= 56 ? m_bytes.le32(66) : 0};
        } else if (l.bits == 16) {
            l.masks = {0x7c00, 0x03e0, 0x001f, 0};
        } else if (l.bits >= 24) {
            // An uncompressed 32-bit pixel's fourth byte is alpha when a
            // large header says so with its alpha mask, as image editors
            // write them.
            const bool alpha =
                l.bits == 32 && l.infoSize >= 56 && !os2 && m_bytes.le32(66) == 0xff000000;
            l.masks = {0x00ff0000, 0x0000ff00, 0x000000ff, alpha ? 0xff000000 : 0};
        }
        return headersEnd;
    }

    // Places the palette after the headers and the pixels after it.
    // Returns where the palette ends.
    std::uint64_t placePalette(std::uint64_t headersEnd, std::uint32_t coloursUsed)
    {
        Layout &l = m_layout;
        l.paletteStart = headersEnd;
        std::uint64_t paletteEnd = headersEnd;
        if (l.indexed()) {
            l.paletteEntries = coloursUsed != 0 ? coloursUsed : std::uint64_t(1) << l.bits;
            if (l.paletteEntries > 256) {
                cannotShow(m_name, QStringLiteral("it declares %1 palette colours, more than the "
                                                  "256 a bitmap can have")
                                       .arg(l.paletteEntries));
            }
            l.entrySize = l.infoSize == 12 ? 3 : 4;
            paletteEnd = headersEnd + l.paletteEntries * l.entrySize;
        }
        // A bfOffBits that points into the headers or the palette (writers
        // leave it 0) means the pixels follow the palette.
        l.pixelStart = std::max<std::uint64_t>(m_bytes.le32(10), paletteEnd);
        return paletteEnd;
    }

    // Refuses a picture too large to decode, and a file that ends before
    // its pixels do.
    void checkLength(std::uint64_t paletteEnd) const
    {
        const Layout &l = m_layout;
        const std::uint64_t bytesPerLine =
            l.indexed() ? plus(l.width, 3) / 4 * 4 : times(l.width, 4);
        if (times(bytesPerLine, l.height) > kMaxPictureBytes)
            tooLarge();

        // The length a user needs to hear is that of the whole file; only
        // a compressed picture's is unknown before its pixels are read.
        if (l.runLength()) {
            need(paletteEnd, QStringLiteral("its palette needs %1"));
            return;
        }
        // The picture fits in 256 MiB, so the width is below 2^28 and the
        // row length cannot overflow.
        const std::uint64_t stride = (std::uint64_t(l.width) * l.bits + 31) / 32 * 4;
        need(plus(l.pixelStart, times(stride, l.height)), QStringLiteral("its pixels need %1"));
    }

    [[noreturn]] void tooLarge() const
    {
        throw HostError(
            QStringLiteral("%1 is too large to show: %2 x %3 pixels")
                .arg(m_name, QString::number(m_layout.width), QString::number(m_layout.height)));
    }

    QImage makeImage() const
    {
        const Layout &l = m_layout;
        QImage::Format format = QImage::Format_Indexed8;
        if (!l.indexed())
            format = l.masks[3] != 0 ? QImage::Format_ARGB32 : QImage::Format_RGB32;
        QImage image(int(l.width), int(l.height), format);
        if (image.isNull())
            tooLarge();
        if (l.dotsPerMeterX > 0)
            image.setDotsPerMeterX(l.dotsPerMeterX);
        if (l.dotsPerMeterY > 0)
            image.setDotsPerMeterY(l.dotsPerMeterY);
        if (l.indexed()) {
            const std::uint64_t size = std::uint64_t(1) << l.bits;
            QList<QRgb> table(qsizetype(size), qRgb(0, 0, 0));
            for (std::uint64_t i = 0; i < std::min(size, l.paletteEntries); ++i) {
                const std::uint64_t at = l.paletteStart + i * l.entrySize;
                table[qsizetype(i)] = qRgb(m_bytes.at(at + 2), m_bytes.at(at + 1), m_bytes.at(at));
            }
            image.setColorTable(table);
        }
        return image;
    }

    // Stored row `row` (0 comes first in the file) in the picture.
    uchar *line(QImage &image, std::int64_t row) const
    {
        return image.scanLine(int(m_layout.topDown ? row : m_layout.height - 1 - row));
    }

    // The bytes of stored row `row` that hold pixels. The whole pixel area
    // was proved to be in the file; should that proof ever fail, the rows
    // that are not there stay unwritten rather than read from outside it.
    std::span<const std::uint8_t> storedRow(std::int64_t row) const
    {
        const Layout &l = m_layout;
        const std::uint64_t stride = (std::uint64_t(l.width) * l.bits + 31) / 32 * 4;
        const std::uint64_t used = (std::uint64_t(l.width) * l.bits + 7) / 8;
        const std::span<const std::uint8_t> bytes =
            m_bytes.range(l.pixelStart + std::uint64_t(row) * stride, used);
        return bytes.size() == used ? bytes : std::span<const std::uint8_t>();
    }

    // Uncompressed 1, 4 and 8 bits: the indexes as they are. Logo bitmaps
    // take the 8-bit path, one copy per row.
    void decodeIndexed(QImage &image) const
    {
        const Layout &l = m_layout;
        for (std::int64_t row = 0; row < l.height; ++row) {
            const std::span<const std::uint8_t> src = storedRow(row);
            if (src.empty())
                return;
            uchar *dst = line(image, row);
            if (l.bits == 8) {
                std::memcpy(dst, src.data(), src.size());
            } else if (l.bits == 4) {
                for (std::int64_t x = 0; x < l.width; ++x) {
                    const std::uint8_t pair = src[std::size_t(x / 2)];
                    dst[x] = x % 2 == 0 ? pair >> 4 : pair & 0x0f;
                }
            } else {
                for (std::int64_t x = 0; x < l.width; ++x)
                    dst[x] = src[std::size_t(x / 8)] >> (7 - x % 8) & 1;
            }
        }
    }

    // One channel of a 16- or 32-bit pixel: the bits of its mask, scaled so
    // that all of them set is 255.
    class Channel {
    public:
        explicit Channel(std::uint32_t mask)
            : m_mask(mask), m_shift(mask != 0 ? std::countr_zero(mask) : 0),
              m_max(mask != 0 ? mask >> m_shift : 0)
        {
            if (m_mask != 0 && m_max < 256) {
                for (std::uint32_t v = 0; v <= m_max; ++v)
                    m_scaled[v] = std::uint8_t((v * 255 + m_max / 2) / m_max);
            }
        }

        // The channel's value in `pixel`, or `absent` when there is no mask.
        int of(std::uint32_t pixel, int absent) const
        {
            if (m_mask == 0)
                return absent;
            const std::uint32_t v = (pixel & m_mask) >> m_shift;
            if (m_max < 256)
                return m_scaled[v];
            return int((std::uint64_t(v) * 255 + m_max / 2) / m_max);
        }

    private:
        std::uint32_t m_mask;
        int m_shift;
        std::uint32_t m_max;
        std::array<std::uint8_t, 256> m_scaled{};
    };

    void decodeDirect(QImage &image) const
    {
        const Layout &l = m_layout;
        const Channel red(l.masks[0]), green(l.masks[1]), blue(l.masks[2]), alpha(l.masks[3]);
        const unsigned bytesPerPixel = l.bits / 8;
        for (std::int64_t row = 0; row < l.height; ++row) {
            const std::span<const std::uint8_t> src = storedRow(row);
            if (src.empty())
                return;
            auto *dst = reinterpret_cast<QRgb *>(line(image, row));
            for (std::int64_t x = 0; x < l.width; ++x) {
                const std::uint8_t *p = src.data() + std::size_t(x) * bytesPerPixel;
                std::uint32_t pixel = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
                if (bytesPerPixel >= 3)
                    pixel |= std::uint32_t(p[2]) << 16;
                if (bytesPerPixel == 4)
                    pixel |= std::uint32_t(p[3]) << 24;
                dst[x] = qRgba(red.of(pixel, 0), green.of(pixel, 0), blue.of(pixel, 0),
                               alpha.of(pixel, 0xff));
            }
        }
    }

    // Where a run-length stream puts its next pixel.
    struct Cursor {
        std::int64_t x = 0;
        std::int64_t row = 0;
    };

    // The byte of the compressed pixels at `position`, which moves on;
    // refuses the file when it ends first.
    std::uint8_t nextByte(std::uint64_t &position) const
    {
        if (position >= m_bytes.size()) {
            throw HostError(QStringLiteral("%1 is cut short: %2 bytes, its compressed pixels "
                                           "run past the end")
                                .arg(m_name, QString::number(m_bytes.size())),
                            ErrorKind::CutShort);
        }
        return m_bytes.at(position++);
    }

    // Puts `index` at the cursor unless that is past the end of its row,
    // and moves the cursor right.
    void put(QImage &image, Cursor &at, std::uint8_t index) const
    {
        if (at.x < m_layout.width)
            line(image, at.row)[at.x] = index;
        ++at.x;
    }

    // `count` literal pixels from `position`, padded to a 16-bit boundary.
    void putLiterals(QImage &image, Cursor &at, std::uint64_t &position, unsigned count) const
    {
        const bool nibbles = m_layout.compression == kRle4;
        unsigned bytes = 0;
        std::uint8_t pair = 0;
        for (unsigned i = 0; i < count; ++i) {
            if (!nibbles) {
                put(image, at, nextByte(position));
                ++bytes;
            } else if (i % 2 == 0) {
                pair = nextByte(position);
                ++bytes;
                put(image, at, pair >> 4);
            } else {
                put(image, at, pair & 0x0f);
            }
        }
        if (bytes % 2 != 0)
            nextByte(position);
    }

    // RLE8 and RLE4: pairs of a count and a value, or of 0 and an escape
    // (end of line, end of bitmap, a jump, a stretch of literal pixels).
    // The picture starts as index 0, which the pixels the stream skips
    // keep; runs that go past the end of a row are cut off there. The
    // stream must reach its end of bitmap, or leave the last row, before
    // the file ends.
    void decodeRunLength(QImage &image) const
    {
        const Layout &l = m_layout;
        const bool nibbles = l.compression == kRle4;
        image.fill(0);
        std::uint64_t position = l.pixelStart;
        Cursor at;
        for (;;) {
            const std::uint8_t count = nextByte(position);
            const std::uint8_t value = nextByte(position);
            if (count > 0) {
                for (unsigned i = 0; i < count; ++i)
                    put(image, at, !nibbles ? value : i % 2 == 0 ? value >> 4 : value & 0x0f);
                continue;
            }
            switch (value) {
            case 0: // end of line
                at.x = 0;
                if (++at.row >= l.height)
                    return;
                break;
            case 1: // end of bitmap
                return;
            case 2: { // jump right and up
                const std::uint8_t right = nextByte(position);
                const std::uint8_t up = nextByte(position);
                at.x += right;
                at.row += up;
                if (at.row >= l.height)
                    return;
                break;
            }
            default: // `value` literal pixels
                putLiterals(image, at, position, value);
                break;
            }
        }
    }

    Bytes m_bytes;
    const QString &m_name;
    Layout m_layout;
};

} // namespace

bool looksLikeBmp(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

QImage decodeBmp(std::span<const std::uint8_t> bytes, const QString &displayName)
{
    return Decoder(bytes, displayName).decode();
}

} // namespace vantrel
