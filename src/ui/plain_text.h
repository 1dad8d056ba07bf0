#pragma once

// Text that shows data is shown as it is.
//
// A label, message or tool tip that shows a path or a reason must never
// read it as markup: a file called "<b>x<i>y.bmp" shows with its angle
// brackets, not in bold and italic. Qt guesses rich text from the text
// itself unless told otherwise, so every window makes its labels here,
// and Forms::load makes every label of a window plain once more after
// Form_Load, for any label made some other way. Button, frame, menu and
// window captions are plain in Qt anyway.

#include "ui/forms.h"

class QLabel;
class QWidget;

namespace vantrel {

// A label of a window at its designed place, named `name` so that tests
// find it, showing `caption` as plain text whatever it holds.
QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, const TwipRect &place);

// Sets every label inside `window` (and `window` itself, if it is one) to
// plain text. Labels made later are not affected; make them with
// makeLabel.
void makeLabelsPlain(QWidget &window);

// Gives `widget` a tool tip that shows `text` literally. A tool tip has no
// plain-text setting, so the text goes in escaped.
void setPlainToolTip(QWidget &widget, const QString &text);

} // namespace vantrel
