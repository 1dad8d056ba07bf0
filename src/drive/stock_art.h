#pragma once

// The program's own stock shutdown pictures.
//
// A fresh drive (see default_drive.h) gets these as the installed and the
// backup copies of the shutdown and switch-off slots, so Restore has
// something to put back from the start. Both are logo bitmaps exactly as
// logo_format.h describes them, drawn here into byte buffers: a vertical
// gradient, an emblem and one line of text in a small built-in font.
//
// Windows stretches a logo to 640 x 480, so every picture pixel shows as 2
// screen pixels wide and 1.2 high. The drawing is done in screen
// coordinates and the font's pixels are 1 x 2 picture pixels, so circles
// and letters come out round and upright on screen.

#include <QByteArray>

namespace vantrel {

// The "please wait" picture for the shutdown slot (logow.sys): a deep
// blue sky fading to black, a ring of dots, and "Please wait while your
// computer shuts down." Always the same 129078 bytes; cannot fail.
QByteArray shutdownPicture();

// The "safe to switch off" picture for the switch-off slot (logos.sys): a
// dark night sky with a few stars, an amber power emblem, and "It's now
// safe to turn off your computer." Always the same 129078 bytes; cannot
// fail.
QByteArray switchOffPicture();

} // namespace vantrel
