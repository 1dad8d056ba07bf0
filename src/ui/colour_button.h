#pragma once

// A button that shows a colour and lets the user choose another: a click
// opens the colour dialog on the colour shown, and a colour chosen there
// becomes the button's. The Make Logo window's border and ramp colours are
// made of these.

#include "ui/forms.h"

#include <QColor>
#include <QPushButton>

namespace vantrel {

class ColourButton : public QPushButton {
    Q_OBJECT
public:
    explicit ColourButton(QWidget *parent);

    QColor colour() const { return m_colour; }

    // Shows `colour` (made opaque) and raises colourChanged when it differs
    // from the colour shown. Throws nothing.
    void setColour(const QColor &colour);

    // Opens the modal colour dialog on the colour shown; a colour chosen
    // there is set, a cancel changes nothing.
    void chooseColour();

Q_SIGNALS:
    void colourChanged(const QColor &colour);

private:
    QColor m_colour{Qt::black};
};

// A colour button at its designed place, named `name`, showing `colour`,
// with `what` ("the border colour") in its tool tip and its dialog's title.
ColourButton *makeColourButton(QWidget *parent, const char *name, const QColor &colour,
                               const QString &what, const TwipRect &place);

} // namespace vantrel
