#include "host/picture.h"

#include "host/host.h"

#include <QFile>
#include <QImageReader>

#include <cstdint>
#include <cstdlib>

namespace vantrel {

namespace {

std::uint32_t le32(const QByteArray &bytes, int offset)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData()) + offset;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::uint16_t le16(const QByteArray &bytes, int offset)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData()) + offset;
    return std::uint16_t(p[0] | p[1] << 8);
}

// For an uncompressed BMP: the length its headers promise, or 0 when the
// headers do not say (compressed data, an unknown header).
std::int64_t promisedBmpLength(const QByteArray &head)
{
    if (head.size() < 30 || !head.startsWith("BM"))
        return 0;
    const std::uint32_t headerSize = le32(head, 14);
    if (headerSize < 40 || head.size() < 34)
        return 0;
    const std::uint32_t compression = le32(head, 30);
    // BI_RGB and BI_BITFIELDS store rows unpacked.
    if (compression != 0 && compression != 3)
        return 0;
    const std::int64_t width = std::int32_t(le32(head, 18));
    const std::int64_t height = std::llabs(std::int32_t(le32(head, 22)));
    const std::int64_t bits = le16(head, 28);
    if (width <= 0 || bits == 0)
        return 0;
    const std::int64_t stride = ((width * bits + 31) / 32) * 4;
    return std::int64_t(le32(head, 10)) + stride * height;
}

} // namespace

QImage readPicture(const QString &nativePath, const QString &displayName)
{
    QFile file(nativePath);
    if (!file.open(QIODevice::ReadOnly))
        throw HostError(QStringLiteral("cannot open %1: %2").arg(displayName, file.errorString()));
    const QByteArray head = file.peek(64);
    const std::int64_t promised = promisedBmpLength(head);
    if (promised > 0 && file.size() < promised) {
        throw HostError(QStringLiteral("%1 is cut short: %2 bytes, its header promises %3")
                            .arg(displayName)
                            .arg(file.size())
                            .arg(promised));
    }
    QImageReader reader(&file);
    QImage image = reader.read();
    if (image.isNull()) {
        throw HostError(QStringLiteral("cannot show %1: %2").arg(displayName, reader.errorString()));
    }
    return image;
}

} // namespace vantrel
