#include "ui/classic_look.h"

#include <QApplication>
#include <QPushButton>
#include <QStyleFactory>

namespace vantrel {

namespace {

const QColor kButtonFace(0xC0, 0xC0, 0xC0);
const QColor kButtonShadow(0x80, 0x80, 0x80);
const QColor kButtonLight(0xDF, 0xDF, 0xDF);
const QColor kWindow(0xFF, 0xFF, 0xFF);
const QColor kHighlight(0x00, 0x00, 0x80);

// The first of `families` installed, or a face of `hint`; every attribute
// is set, so that nothing is taken over from the font of the widget's
// parent.
QFont faceOf(const QStringList &families, QFont::StyleHint hint, qreal pointSize, bool bold,
             bool italic)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(false);
    return font;
}

} // namespace

QPalette classicPalette()
{
    QPalette palette(Qt::black, kButtonFace, Qt::white, kButtonShadow, kButtonLight, Qt::black,
                     kWindow);
    palette.setColor(QPalette::Window, kButtonFace);
    palette.setColor(QPalette::Button, kButtonFace);
    palette.setColor(QPalette::Base, kWindow);
    palette.setColor(QPalette::AlternateBase, kButtonLight);
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, kHighlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    palette.setColor(QPalette::Link, QColor(0x00, 0x00, 0xFF));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, kButtonShadow);
    }
    palette.setColor(QPalette::Disabled, QPalette::Base, kButtonFace);
    return palette;
}

void applyClassicLook(QApplication &app)
{
    // Debian's Qt always carries the Windows style; without it the
    // platform's own style is kept and only the colours change.
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Windows")))
        QApplication::setStyle(style);
    QApplication::setPalette(classicPalette());
    app.setFont(sansSerifFont(8.25, false));
}

QFont sansSerifFont(qreal pointSize, bool bold)
{
    // Qt takes the first family it finds; the later names are the faces
    // that share MS Sans Serif's metrics best on a typical Linux desktop.
    return faceOf({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")},
                  QFont::SansSerif, pointSize, bold, false);
}

QFont scriptFont(qreal pointSize, bool italic)
{
    return faceOf({QStringLiteral("Brush Script MT"), QStringLiteral("Brush Script Std"),
                   QStringLiteral("URW Chancery L"), QStringLiteral("Z003"),
                   QStringLiteral("TeX Gyre Chorus"), QStringLiteral("Comic Neue")},
                  QFont::Cursive, pointSize, false, italic);
}

void makeFlat(QPushButton &button)
{
    button.setStyleSheet(
        QStringLiteral("QPushButton { background-color: white; border: 1px solid black; }"
                       "QPushButton:pressed { background-color: #C0C0C0; }"
                       "QPushButton:disabled { color: #808080; }"));
}

void setClassicBackground(QWidget &window)
{
    QPalette grey = window.palette();
    grey.setColor(QPalette::Window, kButtonFace);
    window.setPalette(grey);
    window.setAutoFillBackground(true);
}

void makeOpaque(QWidget &control)
{
    QPalette opaque = control.palette();
    opaque.setColor(QPalette::Window, kWindow);
    opaque.setColor(QPalette::WindowText, Qt::black);
    control.setPalette(opaque);
    control.setAutoFillBackground(true);
}

} // namespace vantrel
