#pragma once

// The look of a Windows 95 program, in one place: the Windows widget style,
// the grey system palette, the fonts the windows were designed with (or
// the nearest ones this machine has), the flat buttons and the opaque
// labels.

#include <QFont>
#include <QPalette>

class QApplication;
class QPushButton;
class QWidget;

namespace vantrel {

// The Windows 95 system colours: grey button faces and window backgrounds,
// white input fields and window colour, navy selection.
QPalette classicPalette();

// Gives the whole application the Windows style and classicPalette().
// Needs a QApplication; changes nothing else.
void applyClassicLook(QApplication &app);

// MS Sans Serif at `pointSize`, or the closest sans-serif face installed.
QFont sansSerifFont(qreal pointSize, bool bold);

// Brush Script MT at `pointSize`, or another script face when that is
// missing; a machine without any script face gets its cursive fallback.
QFont scriptFont(qreal pointSize, bool italic);

// A flat button: one black line around a face in the system window colour
// (white) instead of the raised 3-D bevel.
void makeFlat(QPushButton &button);

// Gives `window` the light grey background of classicPalette(), filled
// whatever the application's palette: a window with the classic look.
void setClassicBackground(QWidget &window);

// Shows `control` in the window-text colour on an opaque window-background
// (white) field of classicPalette(), over whatever lies beneath it.
void makeOpaque(QWidget &control);

} // namespace vantrel
