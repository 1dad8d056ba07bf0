#include "ui/stretched_picture.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace vantrel {

namespace {

// The source pixel each target pixel takes, sampled at the pixel centres.
std::vector<int> nearestMap(int from, int to)
{
    std::vector<int> map(std::size_t(std::max(to, 0)));
    for (int i = 0; i < to; ++i)
        map[std::size_t(i)] = int((2 * std::int64_t(i) + 1) * from / (2 * std::int64_t(to)));
    return map;
}

} // namespace

QImage stretchNearest(const QImage &picture, QSize size)
{
    if (picture.isNull() || size.isEmpty())
        return {};
    if (picture.format() != QImage::Format_Indexed8) {
        return picture.convertToFormat(QImage::Format_RGB32)
            .scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    // Qt's own scaling of an indexed picture goes through its general
    // transform and costs about as much as the rest of a tick together;
    // stretching and looking up the colours in one pass is several times
    // faster.
    std::array<QRgb, 256> colours{};
    const QList<QRgb> table = picture.colorTable();
    for (qsizetype i = 0; i < std::min<qsizetype>(table.size(), 256); ++i)
        colours[std::size_t(i)] = table[i] | 0xff000000u;
    const std::vector<int> columns = nearestMap(picture.width(), size.width());
    const std::vector<int> rows = nearestMap(picture.height(), size.height());
    QImage shown(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        const uchar *from = picture.constScanLine(rows[std::size_t(y)]);
        auto *to = reinterpret_cast<QRgb *>(shown.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            to[x] = colours[from[columns[std::size_t(x)]]];
    }
    return shown;
}

StretchedPicture::StretchedPicture(QWidget *parent) : QWidget(parent)
{
    // Every pixel is painted, so nothing underneath needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void StretchedPicture::setPicture(const QImage &picture)
{
    m_picture = picture;
    // Nearest neighbour, as the classic picture control stretches, and
    // converted once here rather than on every paint.
    m_shown = stretchNearest(picture, size());
    update();
}

void StretchedPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_shown.isNull())
        painter.fillRect(rect(), palette().window());
    else
        painter.drawImage(0, 0, m_shown);
}

StretchedLabel::StretchedLabel(QWidget *parent) : QLabel(parent)
{
    setScaledContents(true);
}

void StretchedLabel::paintEvent(QPaintEvent *event)
{
    const QPixmap picture = pixmap();
    if (picture.isNull() || !hasScaledContents()) {
        QLabel::paintEvent(event);
        return;
    }
    const QRect area = contentsRect();
    if (picture.cacheKey() != m_shownKey || m_shown.size() != area.size()) {
        m_shown = stretchNearest(picture.toImage(), area.size());
        m_shownKey = picture.cacheKey();
    }
    QPainter painter(this);
    drawFrame(&painter);
    painter.drawImage(area.topLeft(), m_shown);
}

} // namespace vantrel
