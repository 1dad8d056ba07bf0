#pragma once

// Decoding pictures for display.
//
// Windows bitmaps, the pictures this program is about, are decoded by its
// own BMP decoder (codec/bmp_decoder.h), which refuses a file that is cut
// short instead of showing whatever memory held. Other formats (PNG, GIF,
// JPEG...) go to Qt's image readers. Decoding works on bytes in memory;
// readPicture only adds the reading of a native file, which the host's
// POSIX primitives do.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace vantrel {

// Decodes the picture in the native file `nativePath`, shown to the user as
// `displayName`. The file must be a regular file: it is opened without
// waiting (a FIFO or a device never blocks here) and refused when it is
// not one. Throws HostError with a reason that names `displayName` when
// the file is missing, unreadable, not a regular file or larger than
// 256 MiB, and whenever decodePicture refuses its content.
QImage readPicture(const QString &nativePath, const QString &displayName);

// Decodes the picture held in `bytes`, a whole file, shown as
// `displayName`. A bitmap ("BM") is decoded by the program's BMP decoder
// (see decodeBmp: 8-bit bitmaps come back as Format_Indexed8 with their
// own palette), anything else by Qt's readers, turned as its EXIF
// orientation says. Throws HostError naming
// `displayName` and the reason ("C:\logo.sys is cut short: 1000 bytes, its
// pixels need 129078", "cannot show C:\notes.txt: Unsupported image
// format"). Never reads outside `bytes`.
QImage decodePicture(const QByteArray &bytes, const QString &displayName);

} // namespace vantrel
