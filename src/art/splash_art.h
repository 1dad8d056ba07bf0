#pragma once

// The pictures of the splash window and the credits box, drawn by code so
// that they are the program's own and come out the same on every build.
//
// All of them show the Vantrel emblem of the program icon (program_icon.h)
// on a sky with clouds: a gold-rimmed disc with the sun rising between two
// green hills.
//
// The splash picture is drawn for the window it fills: its 320 x 400
// pixels are stretched to 401 x 273 on screen, so it is drawn in screen
// pixels and squeezed into the picture, and looks right once stretched.
// Text is set in the sans-serif face the system has (Liberation Sans or
// DejaVu Sans on Debian), so these functions need a QGuiApplication.

#include <QImage>

namespace vantrel {

// The splash's start-up picture (Image1): 320 x 400 pixels at 24 bits per
// pixel, a sky with clouds, the emblem beside the "Vantrel" wordmark, and
// the line "Please wait while Vantrel starts..." near the bottom. The
// wordmark leaves room on its right for the badge, which the window lays
// over the picture.
QImage splashPicture();

// The badge (Image3): 75 x 28 pixels, 256 colours at most, "32 Bit" in
// gold on a navy plate with a black outline and a bevel.
QImage badgePicture();

// The badge's drop shadow (Image2): 75 x 28 pixels of the solid grey
// badgeShadowColour(), one colour.
QImage badgeShadowPicture();
QRgb badgeShadowColour();

// The credits box's background: 252 x 127 pixels, 256 colours at most,
// the emblem, the brand "Brontic" over the "Vantrel" wordmark, the line
// "Written by Brontic" and "(c) 1996" over a sky.
QImage creditsPicture();

} // namespace vantrel
