#include "checks.h"

#include "codec/picture.h"
#include "host/host.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>

namespace vantrel::fuzz {

namespace {

const QString kName = QStringLiteral("C:\\fuzz\\picture.bmp");

constexpr std::int64_t kMaxRunLengthPixels = std::int64_t(1) << 20;

// A little-endian field of the file, 0 where the file has ended.
std::uint64_t field(std::span<const std::uint8_t> b, std::size_t at, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value |= std::uint64_t(at + i < b.size() ? b[at + i] : 0) << (8 * i);
    return value;
}

// What a decoded bitmap must be, worked out from its headers here rather
// than by the decoder: its size, its kind, and how many bytes of the file
// its pixels need when they are stored uncompressed.
struct BitmapHeader {
    std::int64_t width = 0;
    std::int64_t height = 0;
    unsigned bits = 0;
    bool compressed = false;
    // Bytes up to the end of the pixels (uncompressed) or the palette
    // (compressed), saturated at 2^64 - 1.
    std::uint64_t needed = 0;
};

std::uint64_t saturatedSum(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? UINT64_MAX : sum;
}

std::uint64_t saturatedProduct(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

BitmapHeader bitmapHeader(std::span<const std::uint8_t> b)
{
    BitmapHeader h;
    const std::uint64_t infoSize = field(b, 14, 4);
    std::uint64_t compression = 0;
    std::uint64_t coloursUsed = 0;
    if (infoSize == 12) {
        h.width = std::int64_t(field(b, 18, 2));
        h.height = std::int64_t(field(b, 20, 2));
        h.bits = unsigned(field(b, 24, 2));
    } else {
        h.width = std::int32_t(field(b, 18, 4));
        h.height = std::int32_t(field(b, 22, 4));
        h.bits = unsigned(field(b, 28, 2));
        compression = infoSize >= 40 ? field(b, 30, 4) : 0;
        coloursUsed = infoSize >= 40 ? field(b, 46, 4) : 0;
    }
    h.height = h.height < 0 ? -h.height : h.height;
    h.compressed = compression == 1 || compression == 2;
    // Three masks follow a 40-byte header when the pixels use bit fields.
    const std::uint64_t headersEnd = 14 + infoSize + (compression == 3 && infoSize == 40 ? 12 : 0);
    std::uint64_t paletteEnd = headersEnd;
    if (h.bits <= 8) {
        const std::uint64_t entries = coloursUsed != 0 ? coloursUsed : std::uint64_t(1) << h.bits;
        paletteEnd += entries * (infoSize == 12 ? 3 : 4);
    }
    if (h.compressed) {
        h.needed = paletteEnd;
        return h;
    }
    // Pixels start at bfOffBits, or after the palette when it points before
    // its end; rows are padded to 32 bits.
    const std::uint64_t pixels = std::max(field(b, 10, 4), paletteEnd);
    const std::uint64_t rowBits =
        saturatedSum(saturatedProduct(std::uint64_t(h.width), h.bits), 31);
    const std::uint64_t stride = rowBits / 32 * 4;
    h.needed = saturatedSum(pixels, saturatedProduct(stride, std::uint64_t(h.height)));
    return h;
}

} // namespace

Outcome checkPicture(std::span<const std::uint8_t> input)
{
    const bool bitmap = input.size() >= 2 && input[0] == 'B' && input[1] == 'M';
    // A run-length picture is made whole, all of index 0, before its
    // stream is read, so a few bytes can ask for 256 MiB to be filled.
    // Such pictures are passed over above a million pixels: they take the
    // paths smaller ones take, at many times the cost.
    if (bitmap) {
        const BitmapHeader h = bitmapHeader(input);
        if (h.compressed && h.width > 0 && h.width * h.height > kMaxRunLengthPixels)
            return Outcome::Refused;
    }
    const QByteArray bytes(reinterpret_cast<const char *>(input.data()), qsizetype(input.size()));
    QImage image;
    try {
        image = decodePicture(bytes, kName);
    } catch (const HostError &error) {
        require(error.reason().contains(kName), [&] {
            return "a refusal that does not name the file: " + error.reason().toStdString();
        });
        return Outcome::Refused;
    }
    require(!image.isNull(), "decodePicture gave a null picture");

    if (bitmap) {
        const BitmapHeader h = bitmapHeader(input);
        require(image.width() == h.width && image.height() == h.height, [&] {
            return "a " + std::to_string(image.width()) + " x " + std::to_string(image.height()) +
                   " picture from a " + std::to_string(h.width) + " x " + std::to_string(h.height) +
                   " bitmap";
        });
        require(h.compressed || std::uint64_t(input.size()) >= h.needed, [&] {
            return "a bitmap of " + std::to_string(input.size()) +
                   " bytes is shown, but its pixels need " + std::to_string(h.needed);
        });
        if (h.bits <= 8) {
            require(image.format() == QImage::Format_Indexed8 && image.colorCount() == 1 << h.bits,
                    [&] {
                        return "a " + std::to_string(h.bits) + "-bit bitmap comes back as format " +
                               std::to_string(image.format()) + " with " +
                               std::to_string(image.colorCount()) + " colours";
                    });
            // Every index must name a colour of the table. With fewer
            // than 8 bits an index the decoder did not write would likely
            // name none.
            for (int y = 0; h.bits < 8 && y < image.height(); ++y) {
                const uchar *line = image.constScanLine(y);
                for (int x = 0; x < image.width(); ++x)
                    require(line[x] < image.colorCount(), "a pixel beyond the colour table");
            }
        } else {
            require(image.format() == QImage::Format_RGB32 ||
                        image.format() == QImage::Format_ARGB32,
                    [&] {
                        return "a " + std::to_string(h.bits) + "-bit bitmap comes back as format " +
                               std::to_string(image.format());
                    });
        }
    } else {
        // Qt's readers: the picture has the size the file's header gives.
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QSize declared = reader.size();
        require(!declared.isValid() || declared == image.size(), [&] {
            return "a " + std::to_string(image.width()) + " x " + std::to_string(image.height()) +
                   " picture from a " + reader.format().toStdString() + " file of " +
                   std::to_string(declared.width()) + " x " + std::to_string(declared.height());
        });
    }
    return Outcome::Taken;
}

} // namespace vantrel::fuzz
