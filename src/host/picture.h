#pragma once

// Decoding pictures for display, with the checks Qt's reader leaves out.

#include <QImage>
#include <QString>

namespace vantrel {

// Decodes the picture in the native file `nativePath` with Qt's image
// reader. Throws HostError when the file is missing, unreadable or not a
// picture, and also for a BMP whose pixel data is cut short (Qt's reader
// would fill the missing rows with whatever memory held).
QImage readPicture(const QString &nativePath, const QString &displayName);

} // namespace vantrel
