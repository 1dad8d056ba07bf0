#pragma once

// What an X server shows, for tests that run a program drawing on a private
// X server (Xvfb). Kept apart so that Xlib's macros reach no other file.

#include <QImage>
#include <QString>

namespace vantrel::test {

// Moves the pointer across the screen of the X display `display` (":5"),
// so that a program that repaints only on an X event repaints, waits
// `settleMs`, and returns the root window's pixels as an RGB32 image. A null
// image when the display cannot be opened.
QImage grabXScreen(const QString &display, int settleMs);

} // namespace vantrel::test
