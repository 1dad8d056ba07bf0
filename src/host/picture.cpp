#include "host/picture.h"

#include "host/bmp_decoder.h"
#include "host/host.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <cstdint>
#include <span>

namespace vantrel {

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
    QImage image = reader.read();
    if (image.isNull()) {
        throw HostError(
            QStringLiteral("cannot show %1: %2").arg(displayName, reader.errorString()));
    }
    return image;
}

QImage readPicture(const QString &nativePath, const QString &displayName)
{
    QFile file(nativePath);
    if (!file.open(QIODevice::ReadOnly))
        throw HostError(QStringLiteral("cannot open %1: %2").arg(displayName, file.errorString()));
    return decodePicture(file.readAll(), displayName);
}

} // namespace vantrel
