// The program's own pictures: their sizes and colour depths, the palette
// reduction they go through, the icon's colours and mask, and the places
// in the pictures that the windows rely on.

#include "art/median_cut.h"
#include "art/program_icon.h"
#include "art/splash_art.h"
#include "support/qt_test.h"

#include <QTest>

#include <functional>

using namespace vantrel;

namespace {

using Painter = std::function<QImage()>;

// The largest difference in any channel between two colours.
int channelError(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// Where a pixel of the screen the splash picture is stretched to (401 x
// 273) comes from in the picture (320 x 400).
QPoint splashPixel(int screenX, int screenY)
{
    return {screenX * 320 / 401, screenY * 400 / 273};
}

bool isNearWhite(QRgb rgb)
{
    return qRed(rgb) > 235 && qGreen(rgb) > 235 && qBlue(rgb) > 235;
}

} // namespace

Q_DECLARE_METATYPE(Painter)

class ArtTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pictures_data();
    void pictures();
    void theShadowIsSolidGrey();
    void theBadgeHasABlackOutlineAndGoldLettering();
    void theSplashLeavesRoomForTheBadgeAndShowsThePleaseWaitLine();
    void theSkyDarkensUpwards_data();
    void theSkyDarkensUpwards();

    void icon_data();
    void icon();
    void iconSizesThatAreNotDrawn();
    void sixteenColoursAreTheWindowsPalette();

    void toIndexed8_data();
    void toIndexed8();
    void toIndexed8OfNothingIsNothing();
};

void ArtTest::pictures_data()
{
    QTest::addColumn<Painter>("paint");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("maxColours");

    QTest::newRow("splash, 24-bit") << Painter(splashPicture) << QSize(320, 400) << 24 << 0;
    QTest::newRow("badge, 256 colours") << Painter(badgePicture) << QSize(75, 28) << 8 << 256;
    QTest::newRow("shadow") << Painter(badgeShadowPicture) << QSize(75, 28) << 8 << 1;
    QTest::newRow("credits, 256 colours") << Painter(creditsPicture) << QSize(252, 127) << 8 << 256;
}

void ArtTest::pictures()
{
    QFETCH(Painter, paint);
    QFETCH(QSize, size);
    QFETCH(int, depth);
    QFETCH(int, maxColours);

    const QImage picture = paint();
    QCOMPARE(picture.size(), size);
    QCOMPARE(picture.depth(), depth);
    if (depth == 24)
        QCOMPARE(picture.format(), QImage::Format_RGB888);
    else
        QVERIFY(picture.colorCount() >= 1 && picture.colorCount() <= maxColours);
    // Drawn by code: the same pixels every time.
    QCOMPARE(paint(), picture);
}

void ArtTest::theShadowIsSolidGrey()
{
    const QImage shadow = badgeShadowPicture();
    QCOMPARE(badgeShadowColour(), qRgb(132, 132, 132));
    for (int y = 0; y < shadow.height(); ++y) {
        for (int x = 0; x < shadow.width(); ++x)
            QCOMPARE(shadow.pixel(x, y), qRgb(132, 132, 132));
    }
}

void ArtTest::theBadgeHasABlackOutlineAndGoldLettering()
{
    const QImage badge = badgePicture();
    for (int x = 0; x < 75; ++x) {
        QCOMPARE(badge.pixel(x, 0), qRgb(0, 0, 0));
        QCOMPARE(badge.pixel(x, 27), qRgb(0, 0, 0));
    }
    for (int y = 0; y < 28; ++y) {
        QCOMPARE(badge.pixel(0, y), qRgb(0, 0, 0));
        QCOMPARE(badge.pixel(74, y), qRgb(0, 0, 0));
    }
    // Gold on navy, across the middle of the plate.
    int gold = 0;
    int navy = 0;
    for (int x = 2; x < 73; ++x) {
        const QRgb rgb = badge.pixel(x, 13);
        gold += qRed(rgb) > 200 && qGreen(rgb) > 120 && qBlue(rgb) < 110;
        navy += qBlue(rgb) > 2 * qRed(rgb) && qBlue(rgb) > 60;
    }
    QVERIFY2(gold >= 10, qPrintable(QString::number(gold)));
    QVERIFY2(navy >= 20, qPrintable(QString::number(navy)));
}

void ArtTest::theSplashLeavesRoomForTheBadgeAndShowsThePleaseWaitLine()
{
    const QImage splash = splashPicture();
    // The wordmark is white; the badge lies at 273, 134 (75 x 28) on
    // screen, and nothing white may show around it.
    for (int y = 126; y < 168; ++y) {
        for (int x = 268; x < 352; ++x) {
            const QPoint at = splashPixel(x, y);
            QVERIFY2(!isNearWhite(splash.pixel(at)),
                     qPrintable(QStringLiteral("white at %1, %2").arg(x).arg(y)));
        }
    }
    // Dark lettering on the light sky in the please-wait band, nowhere
    // else below the emblem.
    const auto darkPixels = [&](int top, int bottom) {
        int dark = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < 401; ++x) {
                const QRgb rgb = splash.pixel(splashPixel(x, y));
                dark += qGray(rgb) < 70;
            }
        }
        return dark;
    };
    QVERIFY(darkPixels(234, 252) > 300);
    QCOMPARE(darkPixels(200, 230), 0);
    QCOMPARE(darkPixels(254, 273), 0);
}

void ArtTest::theSkyDarkensUpwards_data()
{
    QTest::addColumn<Painter>("paint");
    // Two points of open sky, one at the top and one lower down.
    QTest::addColumn<QPoint>("high");
    QTest::addColumn<QPoint>("low");
    QTest::newRow("splash") << Painter(splashPicture) << splashPixel(200, 0)
                            << splashPixel(200, 228);
    QTest::newRow("credits") << Painter(creditsPicture) << QPoint(126, 0) << QPoint(126, 85);
}

void ArtTest::theSkyDarkensUpwards()
{
    QFETCH(Painter, paint);
    QFETCH(QPoint, high);
    QFETCH(QPoint, low);
    const QImage picture = paint();
    const QRgb top = picture.pixel(high);
    const QRgb lower = picture.pixel(low);
    QVERIFY2(qBlue(top) > 140 && qRed(top) < 60, qPrintable(QString::number(top, 16)));
    QVERIFY(qBlue(lower) > qRed(lower));
    QVERIFY(qGray(lower) > qGray(top) + 40);
}

void ArtTest::icon_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("16") << 16;
    QTest::newRow("32") << 32;
    QTest::newRow("48") << 48;
}

void ArtTest::icon()
{
    QFETCH(int, size);

    const QImage icon = programIconImage(size);
    QCOMPARE(icon.size(), QSize(size, size));
    QCOMPARE(icon.format(), QImage::Format_Indexed8);
    QList<QRgb> table = sixteenColours();
    table << qRgba(0, 0, 0, 0);
    QCOMPARE(icon.colorTable(), table);

    // The mask: the corners are clear, and what is drawn fills the icon
    // but for a pixel or two at the edges, as an icon of this size should.
    QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(icon.pixel(size - 1, size - 1)), 0);
    QRect drawn;
    QSet<int> used;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int index = icon.pixelIndex(x, y);
            if (index == 16)
                continue;
            used.insert(index);
            drawn |= QRect(x, y, 1, 1);
        }
    }
    QVERIFY2(drawn.width() >= size * 7 / 8 && drawn.height() >= size * 7 / 8,
             qPrintable(QStringLiteral("%1 x %2").arg(drawn.width()).arg(drawn.height())));
    QVERIFY2(used.size() >= 8, qPrintable(QString::number(used.size())));
    QCOMPARE(programIconImage(size), icon);
}

void ArtTest::iconSizesThatAreNotDrawn()
{
    for (const int size : {0, 15, 24, 64})
        QVERIFY(programIconImage(size).isNull());
    const QIcon icon = programIcon();
    QCOMPARE(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
}

void ArtTest::sixteenColoursAreTheWindowsPalette()
{
    const QList<QRgb> expected{0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                               0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                               0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    QList<QRgb> actual;
    for (const QRgb rgb : sixteenColours())
        actual << (rgb & 0xFFFFFF);
    QCOMPARE(actual, expected);
    for (const QRgb rgb : sixteenColours())
        QCOMPARE(qAlpha(rgb), 255);
}

void ArtTest::toIndexed8_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("maxColours");
    QTest::addColumn<int>("tableSize");
    // The largest difference a pixel may show in any channel.
    QTest::addColumn<int>("worstError");

    QImage four(8, 8, QImage::Format_RGB32);
    const QRgb quarters[] = {qRgb(10, 20, 30), qRgb(250, 0, 0), qRgb(0, 250, 0), qRgb(9, 20, 30)};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x)
            four.setPixel(x, y, quarters[(y / 4) * 2 + x / 4]);
    }
    QTest::newRow("few colours are kept exactly") << four << 256 << 4 << 0;

    QImage pairs(8, 2, QImage::Format_RGB32);
    const QRgb near[] = {qRgb(10, 20, 30), qRgb(12, 21, 30), qRgb(200, 0, 0), qRgb(202, 0, 1)};
    for (int x = 0; x < 8; ++x) {
        pairs.setPixel(x, 0, near[x / 2]);
        pairs.setPixel(x, 1, near[x / 2]);
    }
    QTest::newRow("near colours share an entry") << pairs << 2 << 2 << 1;

    QImage halves(2, 1, QImage::Format_RGB32);
    halves.setPixel(0, 0, qRgb(0, 0, 0));
    halves.setPixel(1, 0, qRgb(200, 100, 50));
    QTest::newRow("one entry is the average") << halves << 1 << 1 << 100;

    QImage ramp(256, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 256; ++x)
            ramp.setPixel(x, y, qRgb(x, x, x));
    }
    QTest::newRow("a grey ramp in 16 steps") << ramp << 16 << 16 << 8;

    QImage field(64, 64, QImage::Format_ARGB32);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x)
            field.setPixel(x, y, qRgba(x * 4, y * 4, 128, 7));
    }
    QTest::newRow("4096 colours in 256, alpha ignored") << field << 256 << 256 << 8;
}

void ArtTest::toIndexed8()
{
    QFETCH(QImage, image);
    QFETCH(int, maxColours);
    QFETCH(int, tableSize);
    QFETCH(int, worstError);

    const QImage reduced = vantrel::toIndexed8(image, maxColours);
    QCOMPARE(reduced.format(), QImage::Format_Indexed8);
    QCOMPARE(reduced.size(), image.size());
    QCOMPARE(reduced.colorCount(), tableSize);
    int worst = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb original = image.pixel(x, y);
            const QRgb given = reduced.pixel(x, y);
            QCOMPARE(qAlpha(given), 255);
            worst = std::max(worst, channelError(given, original));
            // Each pixel gets the nearest entry there is.
            const auto distance = [original](QRgb entry) {
                const int dr = qRed(entry) - qRed(original);
                const int dg = qGreen(entry) - qGreen(original);
                const int db = qBlue(entry) - qBlue(original);
                return dr * dr + dg * dg + db * db;
            };
            for (const QRgb entry : reduced.colorTable())
                QVERIFY(distance(given) <= distance(entry));
        }
    }
    QVERIFY2(worst <= worstError, qPrintable(QString::number(worst)));
    QCOMPARE(vantrel::toIndexed8(image, maxColours), reduced);
}

void ArtTest::toIndexed8OfNothingIsNothing()
{
    QVERIFY(vantrel::toIndexed8(QImage(), 256).isNull());
}

VANTREL_QT_TEST(ArtTest)
#include "art_test.moc"
