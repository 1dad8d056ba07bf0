#pragma once

// The program's icon: a small monitor whose screen shows the Vantrel
// emblem, the sun rising between two green hills under a blue sky with a
// cloud: the picture a computer shows as it starts.
//
// Drawn the way icons of its time were made, in the 16 standard colours of
// the Windows palette with a transparent mask, at each size on its own
// pixel grid so that edges and bevels stay one pixel sharp. The same
// drawing gives the window icon (16 and 32 pixels) and the desktop theme's
// icons (16, 32 and 48 pixels), written at build time by vantrel-icons.

#include <QIcon>
#include <QImage>
#include <QList>

namespace vantrel {

// The 16 colours of the standard Windows palette, in the system's order:
// black, maroon, green, olive, navy, purple, teal, silver, grey, red, lime,
// yellow, blue, fuchsia, aqua, white.
QList<QRgb> sixteenColours();

// The icon at `size` x `size` pixels, for a size of 16, 32 or 48, as an
// 8-bit image whose colour table holds sixteenColours() and, as its last
// entry, the fully transparent colour that stands for the mask. Always the
// same pixels for the same size. Any other size gives a null image.
QImage programIconImage(int size);

// The window icon, with the 16, 32 and 48 pixel pictures. Needs a
// QGuiApplication.
QIcon programIcon();

} // namespace vantrel
