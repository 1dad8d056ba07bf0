#pragma once

// A picture made in a test, as the file a paint program would save.

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <stdexcept>
#include <string>

namespace vantrel::test {

// The bytes of `image` saved by Qt's writer for `format` ("BMP", "PNG",
// "JPEG"). Throws when Qt cannot write it, so that a test never goes on
// with an empty file.
inline QByteArray encodedImage(const QImage &image, const char *format = "BMP")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, format))
        throw std::runtime_error(std::string("cannot save a picture as ") + format);
    return bytes;
}

} // namespace vantrel::test
