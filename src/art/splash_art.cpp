#include "art/splash_art.h"

#include "art/median_cut.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace vantrel {

namespace {

// The splash picture's size on screen, where it is drawn.
constexpr int kSplashScreenWidth = 401;
constexpr int kSplashScreenHeight = 273;

const QColor kNavy(16, 34, 104);

QFont face(int pixelSize, bool italic)
{
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(true);
    font.setItalic(italic);
    return font;
}

// The outline of `text`, scaled to fit `box` and placed in it as `align`
// says. Outlines rather than glyphs, so that the text is exactly as wide as
// the design wants whatever the face's own widths.
QPainterPath fittedText(const QString &text, const QFont &font, const QRectF &box,
                        Qt::Alignment align)
{
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF bounds = path.boundingRect();
    const qreal scale = std::min(box.width() / bounds.width(), box.height() / bounds.height());
    const qreal width = bounds.width() * scale;
    const qreal height = bounds.height() * scale;
    qreal left = box.left();
    if (align & Qt::AlignHCenter)
        left += (box.width() - width) / 2;
    else if (align & Qt::AlignRight)
        left += box.width() - width;
    qreal top = box.top();
    if (align & Qt::AlignVCenter)
        top += (box.height() - height) / 2;
    else if (align & Qt::AlignBottom)
        top += box.height() - height;
    QTransform place;
    place.translate(left, top);
    place.scale(scale, scale);
    place.translate(-bounds.left(), -bounds.top());
    return place.map(path);
}

// Text with a shadow below and to the right of it.
void paintText(QPainter &painter, const QPainterPath &text, const QBrush &fill,
               const QColor &shadow, qreal offset)
{
    painter.fillPath(text.translated(offset, offset), shadow);
    painter.fillPath(text, fill);
}

// Text with a soft light halo around it, for dark text on a busy sky.
void paintHaloText(QPainter &painter, const QPainterPath &text, const QColor &fill,
                   const QColor &halo, qreal width)
{
    painter.strokePath(text, QPen(halo, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(text, fill);
}

// One box pass over `count` pixels `stride` apart, from `in` to `out`,
// with the edge pixels repeated beyond the ends.
void boxPass(const QRgb *in, QRgb *out, int count, std::ptrdiff_t stride, int radius)
{
    const int window = 2 * radius + 1;
    const auto at = [&](int i) { return in[std::ptrdiff_t(std::clamp(i, 0, count - 1)) * stride]; };
    int a = 0, r = 0, g = 0, b = 0;
    for (int i = -radius; i <= radius; ++i) {
        const QRgb p = at(i);
        a += qAlpha(p), r += qRed(p), g += qGreen(p), b += qBlue(p);
    }
    for (int i = 0; i < count; ++i) {
        out[std::ptrdiff_t(i) * stride] = qRgba((r + radius) / window, (g + radius) / window,
                                                (b + radius) / window, (a + radius) / window);
        const QRgb gone = at(i - radius);
        const QRgb come = at(i + radius + 1);
        a += qAlpha(come) - qAlpha(gone);
        r += qRed(come) - qRed(gone);
        g += qGreen(come) - qGreen(gone);
        b += qBlue(come) - qBlue(gone);
    }
}

// Blurs a premultiplied ARGB image with three box passes each way, which
// comes close to a Gaussian; `rx` and `ry` are the box radii.
void blur(QImage &image, int rx, int ry)
{
    const int width = image.width();
    const int height = image.height();
    auto *pixels = reinterpret_cast<QRgb *>(image.bits());
    const std::ptrdiff_t line = image.bytesPerLine() / 4;
    std::vector<QRgb> scratch(std::size_t(line) * std::size_t(height));
    for (int round = 0; round < 3; ++round) {
        for (int y = 0; y < height; ++y)
            boxPass(pixels + y * line, scratch.data() + y * line, width, 1, rx);
        for (int x = 0; x < width; ++x)
            boxPass(scratch.data() + x, pixels + x, height, line, ry);
    }
}

// A reproducible stream of numbers for the clouds' shapes.
class Dice {
public:
    explicit Dice(std::uint32_t start) : m_state(start) {}
    // A number from 0 to 1.
    qreal next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return qreal(m_state >> 8) / qreal(1u << 24);
    }

private:
    std::uint32_t m_state;
};

struct Cloud {
    qreal cx, cy, width, height;
    std::uint32_t shape;
};

// A heap of puffs on a flat base, highest in the middle.
QPainterPath cloudOutline(const Cloud &cloud)
{
    Dice dice(cloud.shape);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const int puffs = std::max(3, int(cloud.width / cloud.height * 2.2));
    for (int i = 0; i < puffs; ++i) {
        const qreal t = (i + 0.5) / puffs;
        const qreal x = cloud.cx - cloud.width / 2 + t * cloud.width;
        const qreal r = cloud.height * 0.5 * (0.5 + 0.5 * std::sin(std::numbers::pi * t)) *
                        (0.8 + 0.4 * dice.next());
        const qreal y = cloud.cy - r * 0.45 + (dice.next() - 0.5) * cloud.height * 0.12;
        path.addEllipse(QPointF(x, y), r * 1.15, r);
    }
    const qreal baseHeight = cloud.height * 0.34;
    path.addRoundedRect(QRectF(cloud.cx - cloud.width * 0.47, cloud.cy - baseHeight * 0.5,
                               cloud.width * 0.94, baseHeight),
                        baseHeight / 2, baseHeight / 2);
    return path;
}

// Soft white clouds, lit from above, drawn through `toPicture` onto
// `picture` and blurred by `rx` x `ry` picture pixels.
void paintClouds(QImage &picture, const QTransform &toPicture, const std::vector<Cloud> &clouds,
                 int rx, int ry)
{
    QImage layer(picture.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setTransform(toPicture);
        for (const Cloud &cloud : clouds) {
            const QPainterPath outline = cloudOutline(cloud);
            const QRectF bounds = outline.boundingRect();
            QLinearGradient light(0, bounds.top(), 0, bounds.bottom());
            light.setColorAt(0, QColor(255, 255, 255));
            light.setColorAt(0.55, QColor(244, 247, 252));
            light.setColorAt(1, QColor(190, 204, 230));
            painter.fillPath(outline, light);
        }
    }
    blur(layer, rx, ry);
    QPainter painter(&picture);
    painter.drawImage(0, 0, layer);
}

void paintSky(QPainter &painter, const QRectF &area, const QColor &top, const QColor &middle,
              const QColor &bottom)
{
    QLinearGradient sky(area.topLeft(), area.bottomLeft());
    sky.setColorAt(0, top);
    sky.setColorAt(0.55, middle);
    sky.setColorAt(1, bottom);
    painter.fillRect(area, sky);
}

// The colours of a sky, top, middle and bottom (see paintSky).
using SkyColours = std::array<QColor, 3>;

// A picture of `size` holding a sky over `area` with soft clouds, both
// drawn through `toPicture`, the clouds blurred by `rx` x `ry` picture
// pixels: the background the splash and the credits share.
QImage cloudySky(QSize size, const QTransform &toPicture, const QRectF &area, const SkyColours &sky,
                 const std::vector<Cloud> &clouds, int rx, int ry)
{
    QImage picture(size, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&picture);
        painter.setTransform(toPicture);
        paintSky(painter, area, sky[0], sky[1], sky[2]);
    }
    paintClouds(picture, toPicture, clouds, rx, ry);
    return picture;
}

// The emblem's gold disc of `radius` at `centre`, with its shadow.
void paintGoldDisc(QPainter &painter, QPointF centre, qreal radius)
{
    painter.setBrush(QColor(0, 8, 48, 80));
    painter.drawEllipse(centre + QPointF(radius * 0.07, radius * 0.09), radius, radius);

    QLinearGradient gold(centre.x(), centre.y() - radius, centre.x(), centre.y() + radius);
    gold.setColorAt(0, QColor(255, 240, 160));
    gold.setColorAt(0.45, QColor(236, 180, 48));
    gold.setColorAt(1, QColor(150, 92, 12));
    painter.setBrush(gold);
    painter.drawEllipse(centre, radius, radius);
}

// The sun low in the emblem's window of radius `inner`, in its glow.
void paintRisingSun(QPainter &painter, QPointF centre, qreal inner)
{
    const QPointF sun = centre + QPointF(0, inner * 0.36);
    QRadialGradient glow(sun, inner * 0.95);
    glow.setColorAt(0, QColor(255, 250, 200, 200));
    glow.setColorAt(0.45, QColor(255, 220, 120, 90));
    glow.setColorAt(1, QColor(255, 200, 100, 0));
    painter.setBrush(glow);
    painter.drawEllipse(sun, inner * 0.95, inner * 0.95);
    QRadialGradient disc(sun - QPointF(inner * 0.1, inner * 0.12), inner * 0.42);
    disc.setColorAt(0, QColor(255, 255, 220));
    disc.setColorAt(0.6, QColor(255, 222, 70));
    disc.setColorAt(1, QColor(250, 168, 30));
    painter.setBrush(disc);
    painter.drawEllipse(sun, inner * 0.4, inner * 0.4);
}

// The hills: two wide domes meeting in a dip under the sun.
void paintHills(QPainter &painter, QPointF centre, qreal inner)
{
    QLinearGradient grass(0, centre.y() + inner * 0.25, 0, centre.y() + inner);
    grass.setColorAt(0, QColor(110, 200, 80));
    grass.setColorAt(1, QColor(20, 96, 36));
    QPainterPath hills;
    for (const qreal side : {-1.0, 1.0}) {
        QPainterPath hill;
        hill.addEllipse(centre + QPointF(side * inner * 0.95, inner * 1.55), inner * 1.3,
                        inner * 1.2);
        hills = hills.united(hill);
    }
    painter.fillPath(hills, grass);
    painter.strokePath(hills, QPen(QColor(190, 240, 140), inner * 0.05));
}

// The lines round the window and the disc, and a glint on the rim, top
// left.
void paintEmblemRims(QPainter &painter, QPointF centre, qreal radius, qreal inner)
{
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kNavy, radius * 0.05));
    painter.drawEllipse(centre, inner, inner);
    painter.setPen(QPen(QColor(96, 56, 8), radius * 0.03));
    painter.drawEllipse(centre, radius, radius);
    painter.setPen(QPen(QColor(255, 255, 230, 200), radius * 0.05, Qt::SolidLine, Qt::RoundCap));
    const qreal glint = radius * 0.91;
    painter.drawArc(QRectF(centre.x() - glint, centre.y() - glint, 2 * glint, 2 * glint), 100 * 16,
                    50 * 16);
}

// The Vantrel emblem: a gold-rimmed disc holding the sun that rises
// between two green hills, with a small cloud.
void paintEmblem(QPainter &painter, QPointF centre, qreal radius)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    paintGoldDisc(painter, centre, radius);

    const qreal inner = radius * 0.82;
    QPainterPath window;
    window.addEllipse(centre, inner, inner);
    painter.setClipPath(window);

    const QRectF box(centre.x() - inner, centre.y() - inner, 2 * inner, 2 * inner);
    paintSky(painter, box, QColor(30, 70, 180), QColor(110, 160, 235), QColor(255, 214, 160));
    paintRisingSun(painter, centre, inner);
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawEllipse(centre + QPointF(-inner * 0.45, -inner * 0.42), inner * 0.2, inner * 0.13);
    painter.drawEllipse(centre + QPointF(-inner * 0.28, -inner * 0.5), inner * 0.18, inner * 0.16);
    painter.drawEllipse(centre + QPointF(-inner * 0.14, -inner * 0.41), inner * 0.17, inner * 0.11);
    paintHills(painter, centre, inner);

    painter.setClipping(false);
    paintEmblemRims(painter, centre, radius, inner);
    painter.restore();
}

QBrush wordmarkFill(const QRectF &bounds)
{
    QLinearGradient fill(0, bounds.top(), 0, bounds.bottom());
    fill.setColorAt(0, QColor(255, 255, 255));
    fill.setColorAt(0.6, QColor(236, 242, 255));
    fill.setColorAt(1, QColor(196, 214, 250));
    return fill;
}

} // namespace

QImage splashPicture()
{
    const QTransform toPicture =
        QTransform::fromScale(320.0 / kSplashScreenWidth, 400.0 / kSplashScreenHeight);
    QImage picture =
        cloudySky(QSize(320, 400), toPicture, QRectF(0, 0, kSplashScreenWidth, kSplashScreenHeight),
                  {QColor(22, 64, 160), QColor(82, 138, 218), QColor(182, 210, 242)},
                  {{40, 14, 120, 34, 1},
                   {372, 22, 120, 34, 2},
                   {10, 112, 64, 24, 3},
                   {380, 196, 120, 36, 4},
                   {80, 262, 210, 48, 5},
                   {318, 268, 190, 42, 6},
                   {206, 212, 70, 18, 7}},
                  2, 4);

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(toPicture);
    paintEmblem(painter, QPointF(74, 150), 42);

    const QPainterPath wordmark = fittedText(QStringLiteral("Vantrel"), face(64, true),
                                             QRectF(126, 124, 140, 40), Qt::AlignLeft);
    paintText(painter, wordmark, wordmarkFill(wordmark.boundingRect()), QColor(8, 20, 72, 200),
              2.5);
    const QPainterPath tagline =
        fittedText(QStringLiteral("Start-up Logo Manager"), face(20, false),
                   QRectF(128, 170, 138, 12), Qt::AlignLeft | Qt::AlignVCenter);
    paintText(painter, tagline, QColor(255, 255, 255), QColor(8, 20, 72, 160), 1);

    const QPainterPath wait =
        fittedText(QStringLiteral("Please wait while Vantrel starts..."), face(28, false),
                   QRectF(60, 236, 281, 14), Qt::AlignHCenter | Qt::AlignVCenter);
    paintHaloText(painter, wait, kNavy, QColor(255, 255, 255, 170), 3);
    painter.end();
    return picture.convertToFormat(QImage::Format_RGB888);
}

QImage badgePicture()
{
    QImage plate(75, 28, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&plate);
    const QRectF area(0, 0, 75, 28);
    QLinearGradient navy(0, 0, 0, 28);
    navy.setColorAt(0, QColor(52, 96, 210));
    navy.setColorAt(1, QColor(10, 26, 100));
    painter.fillRect(area, navy);
    painter.fillRect(QRect(1, 1, 73, 1), QColor(132, 166, 240));
    painter.fillRect(QRect(1, 1, 1, 26), QColor(132, 166, 240));
    painter.fillRect(QRect(1, 26, 73, 1), QColor(4, 10, 52));
    painter.fillRect(QRect(73, 1, 1, 26), QColor(4, 10, 52));
    painter.setPen(QColor(0, 0, 0));
    painter.drawRect(QRect(0, 0, 74, 27));

    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath text =
        fittedText(QStringLiteral("32 Bit"), face(40, true), QRectF(7, 5, 61, 17), Qt::AlignCenter);
    QLinearGradient gold(0, 5, 0, 22);
    gold.setColorAt(0, QColor(255, 246, 170));
    gold.setColorAt(0.5, QColor(255, 206, 60));
    gold.setColorAt(1, QColor(222, 138, 16));
    paintText(painter, text, gold, QColor(0, 0, 0, 220), 1.2);
    painter.end();
    return toIndexed8(plate, 256);
}

QRgb badgeShadowColour()
{
    return qRgb(132, 132, 132);
}

QImage badgeShadowPicture()
{
    QImage shadow(75, 28, QImage::Format_Indexed8);
    shadow.setColorTable({badgeShadowColour()});
    shadow.fill(0);
    return shadow;
}

QImage creditsPicture()
{
    QImage picture = cloudySky(QSize(252, 127), QTransform(), QRectF(0, 0, 252, 127),
                               {QColor(26, 70, 170), QColor(92, 146, 222), QColor(190, 216, 244)},
                               {{40, 120, 110, 26, 11},
                                {150, 124, 130, 26, 12},
                                {236, 16, 70, 20, 13},
                                {250, 100, 60, 18, 14}},
                               2, 2);

    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    paintEmblem(painter, QPointF(34, 35), 27);
    const QPainterPath brand = fittedText(QStringLiteral("B R O N T I C"), face(24, false),
                                          QRectF(72, 8, 80, 9), Qt::AlignLeft);
    paintText(painter, brand, QColor(255, 230, 140), QColor(8, 20, 72, 200), 1);
    const QPainterPath wordmark = fittedText(QStringLiteral("Vantrel"), face(64, true),
                                             QRectF(70, 22, 170, 34), Qt::AlignLeft);
    paintText(painter, wordmark, wordmarkFill(wordmark.boundingRect()), QColor(8, 20, 72, 200), 2);

    const QPainterPath author =
        fittedText(QStringLiteral("Written by Brontic"), face(22, false), QRectF(10, 92, 130, 10),
                   Qt::AlignLeft | Qt::AlignVCenter);
    paintHaloText(painter, author, kNavy, QColor(255, 255, 255, 150), 2.5);
    const QPainterPath year = fittedText(QStringLiteral("(c) 1996"), face(22, false),
                                         QRectF(10, 107, 130, 10), Qt::AlignLeft);
    paintHaloText(painter, year, kNavy, QColor(255, 255, 255, 150), 2.5);
    painter.end();
    return toIndexed8(picture, 256);
}

} // namespace vantrel
