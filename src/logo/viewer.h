#pragma once

// The logo viewer: shows what a slot holds in the main window's preview.
// It reads the slot files only, never writes them, and keeps nothing
// between calls.

#include "logo/slots.h"

class QLabel;
class QWidget;

namespace vantrel {

// The message shown when the slot's file cannot be shown.
QString viewFailedMessage(LogoSlot slot);

// Makes `image` the picture of a preview, which stretches it to its size.
void showInPreview(QLabel &preview, const QImage &image);

// Enables `editButton`, then loads the slot's installed file (see
// installedPath) into `preview`. When the file is missing or is not a
// picture, the preview keeps its picture, the slot's message is shown
// through the host and `editButton` ends up disabled. Throws nothing.
void ViewSlot(Host &host, LogoSlot slot, const QString &windowsDirectory, QLabel &preview,
              QWidget &editButton);

} // namespace vantrel
