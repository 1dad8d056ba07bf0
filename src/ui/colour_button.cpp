#include "ui/colour_button.h"

#include "ui/controls.h"

#include <QColorDialog>

namespace vantrel {

ColourButton::ColourButton(QWidget *parent) : QPushButton(parent)
{
    setAutoDefault(false);
    setColour(m_colour);
    connect(this, &QPushButton::clicked, this, &ColourButton::chooseColour);
}

void ColourButton::setColour(const QColor &colour)
{
    QColor opaque = colour;
    opaque.setAlpha(255);
    // The swatch fills the button's face; the name stays readable on it.
    const QString text =
        opaque.lightness() < 128 ? QStringLiteral("white") : QStringLiteral("black");
    setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2; }")
                      .arg(opaque.name(), text));
    setAccessibleName(opaque.name());
    if (opaque == m_colour)
        return;
    m_colour = opaque;
    Q_EMIT colourChanged(m_colour);
}

void ColourButton::chooseColour()
{
    const QColor chosen = QColorDialog::getColor(m_colour, this, toolTip());
    if (chosen.isValid())
        setColour(chosen);
}

ColourButton *makeColourButton(QWidget *parent, const char *name, const QColor &colour,
                               const QString &what, const TwipRect &place)
{
    auto *button = new ColourButton(parent);
    placeControl(*button, name, place);
    button->setColour(colour);
    button->setToolTip(QStringLiteral("Choose ") + what);
    return button;
}

} // namespace vantrel
