#include "codec/picture.h"

#include "codec/bmp_decoder.h"
#include "host/host_error.h"
#include "host/posix_file.h"

#include <QBuffer>
#include <QImageReader>

#include <cstdint>
#include <span>

namespace vantrel {

namespace {

// No picture worth showing is larger; a bigger file is read no further.
constexpr qint64 kMaxPictureFileBytes = qint64(256) << 20;

} // namespace

QImage decodePicture(const QByteArray &bytes, const QString &displayName)
{
    const std::span<const std::uint8_t> data(
        reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
    if (looksLikeBmp(data))
        return decodeBmp(data, displayName);

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // A photo stands as the camera was held (its EXIF orientation).
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull()) {
        throw HostError(
            QStringLiteral("cannot show %1: %2").arg(displayName, reader.errorString()));
    }
    return image;
}

QImage readPicture(const QString &nativePath, const QString &displayName)
{
    const posix::RegularFile file = posix::openRegularFileToRead(nativePath, displayName);
    if (file.length > kMaxPictureFileBytes) {
        throw HostError(QStringLiteral("%1 is too large to show: %2 bytes")
                            .arg(displayName, QString::number(file.length)));
    }
    return decodePicture(posix::readWhole(file, displayName), displayName);
}

} // namespace vantrel
