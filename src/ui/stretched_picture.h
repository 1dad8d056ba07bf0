#pragma once

// Pictures stretched as the classic picture and image controls stretch
// them: by nearest neighbour, so that every pixel on screen is one of the
// picture's own colours and a dithered logo shows its dots, not a blur.
//
// StretchedPicture is the picture control of a window that changes its
// picture often (the palette-cycling preview); StretchedLabel is a label
// that shows a pixmap that way (the main window's preview), keeping
// QLabel's pixmap() as the picture that was set.

#include <QImage>
#include <QLabel>
#include <QWidget>

namespace vantrel {

// `picture` stretched to `size` by nearest neighbour, sampling each target
// pixel's centre, as 32-bit RGB: every pixel is exactly one of the
// picture's colours. A null picture or an empty size gives a null image.
QImage stretchNearest(const QImage &picture, QSize size);

// A picture control that stretches its picture to its own size, nearest
// neighbour, so every pixel shows one of the picture's own colours.
class StretchedPicture : public QWidget {
    Q_OBJECT
public:
    explicit StretchedPicture(QWidget *parent);

    // Shows `picture` stretched to the control's size. A null image clears
    // the control.
    void setPicture(const QImage &picture);

    // The picture as set, and as shown (stretched).
    const QImage &picture() const { return m_picture; }
    const QImage &shown() const { return m_shown; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
    QImage m_shown;
};

// A label with scaled contents whose pixmap fills the area inside its
// frame, stretched by nearest neighbour (stretchNearest). A label without
// a pixmap, or with scaled contents turned off, draws as any QLabel.
class StretchedLabel : public QLabel {
    Q_OBJECT
public:
    explicit StretchedLabel(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The pixmap as last stretched, and which pixmap that was.
    QImage m_shown;
    qint64 m_shownKey = 0;
};

} // namespace vantrel
