#include "codec/logo_convert.h"

#include "codec/logo_format.h"
#include "host/host.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>

using namespace vantrel;

namespace vantrel {
void PrintTo(const Colour &c, std::ostream *os)
{
    *os << "rgb(" << int(c.red) << ',' << int(c.green) << ',' << int(c.blue) << ')';
}
} // namespace vantrel

namespace {

constexpr Colour kBlack{0, 0, 0};
constexpr Colour kRed{255, 0, 0};
constexpr Colour kNavy{0, 0, 128};
constexpr Colour kWhite{255, 255, 255};

// A converted logo, read back as Windows reads it.
struct Logo {
    std::vector<std::uint8_t> bytes;

    // The palette index of the pixel `x` columns from the left and `y` rows
    // from the top.
    int index(int x, int y) const
    {
        return bytes[kHeaderBlockLength + std::size_t(kLogoHeight - 1 - y) * kLogoWidth +
                     std::size_t(x)];
    }
    Colour entry(int i) const
    {
        const std::size_t at = entryOffset(i);
        return {bytes[at + 2], bytes[at + 1], bytes[at]};
    }
    Colour colour(int x, int y) const { return entry(index(x, y)); }
    std::span<const std::uint8_t> header() const { return {bytes.data(), kHeaderBlockLength}; }
    std::span<const std::uint8_t> pixels() const
    {
        return {bytes.data() + kHeaderBlockLength, kPixelAreaLength};
    }
};

Logo convert(const QImage &picture, const ConvertOptions &options)
{
    return Logo{convertToLogo(picture, options)};
}

QRgb rgb(Colour c)
{
    return qRgb(c.red, c.green, c.blue);
}

// A 4:3 picture with what logos hold: a stepped gradient, a large patch of
// pure red (the default ramp's first colour) and one of black.
QImage samplePicture()
{
    QImage picture(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            QRgb p = qRgb(x / 10 * 16, y / 10 * 20, 200 - x);
            if (x >= 100 && y < 60)
                p = rgb(kRed);
            else if (x >= 100)
                p = rgb(kBlack);
            picture.setPixel(x, y, p);
        }
    }
    return picture;
}

struct OptionsCase {
    const char *name;
    ConvertOptions options;
};

TEST(ConvertToLogo, MakesALogoBitmapForEveryCombinationOfOptions)
{
    const std::vector<OptionsCase> cases{
        {"defaults", {}},
        {"pad on navy", ConvertOptions{.fit = Fit::Pad, .border = kNavy}},
        {"stretch without dither", ConvertOptions{.fit = Fit::Stretch, .dither = false}},
        {"range without band", ConvertOptions{.start = 236}},
        {"bottom band", ConvertOptions{.start = 236, .band = BandEdge::Bottom}},
        {"only the border still", ConvertOptions{.start = 1}},
        {"all band", ConvertOptions{.start = 1, .band = BandEdge::Top, .bandRows = 400}},
        {"one animated entry", ConvertOptions{.start = 255, .band = BandEdge::Top, .bandRows = 1}},
        {"two still entries",
         ConvertOptions{.fit = Fit::Pad, .start = 2, .band = BandEdge::Bottom, .bandRows = 399}},
        {"ramp meets the border", ConvertOptions{.border = kRed,
                                                 .start = 100,
                                                 .ramp = {kRed, {0x10, 0x20, 0x30}},
                                                 .band = BandEdge::Top}},
        {"one-colour ramp", ConvertOptions{.border = kWhite,
                                           .start = 200,
                                           .ramp = {kWhite},
                                           .band = BandEdge::Bottom,
                                           .bandRows = 7,
                                           .dither = false}},
    };
    const QImage picture = samplePicture();
    for (const OptionsCase &c : cases) {
        SCOPED_TRACE(c.name);
        const ConvertOptions &o = c.options;
        const Logo logo = convert(picture, o);
        ASSERT_EQ(std::int64_t(logo.bytes.size()), kLogoLength);
        EXPECT_EQ(logoBitmapProblem(logo.bytes, kLogoLength), "");
        EXPECT_EQ(logo.bytes[50], o.start);
        EXPECT_EQ(logo.bytes[51], 0);
        EXPECT_EQ(readLe16(logo.bytes, 52), 0);
        EXPECT_EQ(logo.entry(0), o.border);

        const bool band = o.band != BandEdge::None;
        const int firstBandRow = o.band == BandEdge::Top ? 0 : kLogoHeight - o.bandRows;
        const int still = o.start == 0 ? 256 : o.start;
        int misplaced = 0;
        for (int y = 0; y < kLogoHeight; ++y) {
            const bool inBand = band && y >= firstBandRow && y < firstBandRow + o.bandRows;
            for (int x = 0; x < kLogoWidth; ++x) {
                const int i = logo.index(x, y);
                misplaced += inBand ? (i < o.start) : (i >= still);
            }
            if (inBand) {
                // The band sweeps the whole range once, left to right.
                EXPECT_EQ(logo.index(0, y), o.start);
                EXPECT_EQ(logo.index(kLogoWidth - 1, y), 255);
                for (int x = 1; x < kLogoWidth; ++x)
                    ASSERT_LE(logo.index(x - 1, y), logo.index(x, y)) << "row " << y;
            }
        }
        EXPECT_EQ(misplaced, 0);
        if (o.start > 0) {
            EXPECT_EQ(countAnimatedPixels(logo.pixels(), o.start),
                      band ? std::size_t(o.bandRows) * kLogoWidth : 0);
            EXPECT_TRUE(findColourTwins(logo.header(), o.start).empty());
        }
    }
}

TEST(ConvertToLogo, WritesTheRampAroundTheAnimatedRange)
{
    constexpr Colour kDark{0x10, 0x20, 0x30};
    constexpr Colour kLight{0x40, 0x50, 0x60};
    struct Expect {
        int entry;
        Colour colour;
    };
    struct RampCase {
        const char *name;
        int start;
        std::vector<Colour> ramp;
        std::vector<Expect> entries;
    };
    const std::vector<RampCase> cases{
        {"two stops over 20 entries", 236, {kDark, kLight}, {{236, kDark}, {246, kLight}}},
        {"default", 250, {}, {{250, kRed}, {251, {255, 255, 0}}, {255, {255, 0, 255}}}},
        {"single entry", 255, {kLight, kDark}, {{255, kLight}}},
    };
    for (const RampCase &c : cases) {
        SCOPED_TRACE(c.name);
        const Logo logo = convert(samplePicture().copy(0, 0, 90, 60),
                                  {.border = kWhite, .start = c.start, .ramp = c.ramp});
        for (const Expect &e : c.entries)
            EXPECT_EQ(logo.entry(e.entry), e.colour) << "entry " << e.entry;
    }
}

TEST(ConvertToLogo, MovesARampColourThatIsAlsoStillByTheSmallestStep)
{
    // Black is the border and in the picture, and so is red.
    const Logo logo = convert(samplePicture(), {.start = 250, .ramp = {kBlack, kRed}});
    const auto squaredDistance = [](Colour a, Colour b) {
        return (a.red - b.red) * (a.red - b.red) + (a.green - b.green) * (a.green - b.green) +
               (a.blue - b.blue) * (a.blue - b.blue);
    };
    // The six entries run black, two mixes, red, two mixes.
    EXPECT_EQ(squaredDistance(logo.entry(250), kBlack), 1);
    EXPECT_EQ(squaredDistance(logo.entry(253), kRed), 1);
    EXPECT_TRUE(findColourTwins(logo.header(), 250).empty());
    EXPECT_EQ(logo.entry(0), kBlack);
}

TEST(ConvertToLogo, KeepsASolidColourExactly)
{
    struct SolidCase {
        Colour colour;
        ConvertOptions options;
    };
    const std::vector<SolidCase> cases{
        {{0x12, 0x34, 0x56}, {}},
        {{0x12, 0x34, 0x56}, ConvertOptions{.dither = false}},
        {kRed, ConvertOptions{.start = 236}},
        {kBlack, ConvertOptions{.fit = Fit::Stretch, .start = 2}},
        {{0xFE, 0xFF, 0x01}, ConvertOptions{.border = kWhite, .start = 128, .band = BandEdge::Top}},
    };
    for (const SolidCase &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.colour));
        for (const QSize size : {QSize(640, 480), QSize(50, 300)}) {
            QImage picture(size, QImage::Format_RGB32);
            picture.fill(rgb(c.colour));
            const Logo logo = convert(picture, c.options);
            const int firstRow = c.options.band == BandEdge::Top ? c.options.bandRows : 0;
            int wrong = 0;
            for (int y = firstRow; y < kLogoHeight; ++y)
                for (int x = 0; x < kLogoWidth; ++x)
                    wrong += logo.colour(x, y) != c.colour;
            EXPECT_EQ(wrong, 0);
        }
    }
}

// A picture of `size` whose part `shown` is split into four quadrants of
// known colours, with red everywhere else.
constexpr Colour kTopLeft{0, 0, 255};
constexpr Colour kTopRight{0, 255, 0};
constexpr Colour kBottomLeft{255, 255, 0};
constexpr Colour kBottomRight{0, 255, 255};

QImage quadrants(QSize size, QRect shown)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(rgb(kRed));
    QPainter painter(&picture);
    const int w = shown.width() / 2;
    const int h = shown.height() / 2;
    painter.fillRect(shown.x(), shown.y(), w, h, rgb(kTopLeft));
    painter.fillRect(shown.x() + w, shown.y(), shown.width() - w, h, rgb(kTopRight));
    painter.fillRect(shown.x(), shown.y() + h, w, shown.height() - h, rgb(kBottomLeft));
    painter.fillRect(shown.x() + w, shown.y() + h, shown.width() - w, shown.height() - h,
                     rgb(kBottomRight));
    return picture;
}

TEST(ConvertToLogo, FitsThePictureToTheScreenShape)
{
    struct FitCase {
        const char *name;
        QSize size;
        Fit fit;
        // The part of the picture that must show, and where it must land.
        QRect shown;
        QRect placed;
    };
    const QRect whole(0, 0, 320, 400);
    const std::vector<FitCase> cases{
        {"4:3 crop", {640, 480}, Fit::Crop, {0, 0, 640, 480}, whole},
        {"4:3 pad", {640, 480}, Fit::Pad, {0, 0, 640, 480}, whole},
        {"4:3 stretch", {640, 480}, Fit::Stretch, {0, 0, 640, 480}, whole},
        {"16:9 crop", {1280, 720}, Fit::Crop, {160, 0, 960, 720}, whole},
        {"16:9 pad", {1280, 720}, Fit::Pad, {0, 0, 1280, 720}, {0, 50, 320, 300}},
        {"16:9 stretch", {1280, 720}, Fit::Stretch, {0, 0, 1280, 720}, whole},
        {"3:4 crop", {600, 800}, Fit::Crop, {0, 175, 600, 450}, whole},
        {"3:4 pad", {600, 800}, Fit::Pad, {0, 0, 600, 800}, {70, 0, 180, 400}},
    };
    constexpr Colour kBorder{0x20, 0x20, 0x20};
    for (const FitCase &c : cases) {
        SCOPED_TRACE(c.name);
        const Logo logo =
            convert(quadrants(c.size, c.shown), {.fit = c.fit, .border = kBorder, .dither = false});
        const QRect r = c.placed;
        const int midX = r.x() + r.width() / 2;
        const int midY = r.y() + r.height() / 2;
        int wrong = 0;
        for (int y = 0; y < kLogoHeight; ++y) {
            for (int x = 0; x < kLogoWidth; ++x) {
                if (!r.contains(x, y)) {
                    wrong += logo.colour(x, y) != kBorder;
                    continue;
                }
                // Where two quadrants meet the filter mixes them; every
                // other pixel, the edges of the picture included, shows
                // its quadrant's colour and nothing of the red around it.
                if (std::abs(x - midX) <= 1 || std::abs(y - midY) <= 1)
                    continue;
                const Colour expected = y < midY ? (x < midX ? kTopLeft : kTopRight)
                                                 : (x < midX ? kBottomLeft : kBottomRight);
                wrong += logo.colour(x, y) != expected;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(ConvertToLogo, GivesTheSameBytesEveryTime)
{
    const ConvertOptions o{.start = 236, .band = BandEdge::Bottom};
    const std::vector<std::uint8_t> first = convertToLogo(samplePicture(), o);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(convertToLogo(samplePicture(), o), first);
}

TEST(ConvertToLogo, DithersUnlessAskedNotTo)
{
    // A smooth grey ramp across the logo, to be told in 15 greys and the
    // border: undithered, each row is a run of bands; dithered, the greys
    // interleave wherever the ramp falls between two of them.
    QImage ramp(kLogoWidth, kLogoHeight, QImage::Format_RGB32);
    for (int y = 0; y < kLogoHeight; ++y)
        for (int x = 0; x < kLogoWidth; ++x)
            ramp.setPixel(x, y, qRgb(x * 255 / 319, x * 255 / 319, x * 255 / 319));
    for (const bool dither : {false, true}) {
        SCOPED_TRACE(dither ? "dithered" : "not dithered");
        const Logo logo = convert(ramp, {.start = 16, .dither = dither});
        int changes = 0;
        for (int x = 1; x < kLogoWidth; ++x)
            changes += logo.index(x, 200) != logo.index(x - 1, 200);
        if (dither)
            EXPECT_GT(changes, 60);
        else
            EXPECT_LE(changes, 15);
    }
}

TEST(ConvertToLogo, TakesAnyPictureFormatAndShape)
{
    struct PictureCase {
        const char *name;
        std::function<QImage()> make;
        // The colour every pixel must have, when the picture has just one.
        std::optional<Colour> all;
    };
    const std::vector<PictureCase> cases{
        {"one pixel", [] { return QImage(1, 1, QImage::Format_RGB32); }, {}},
        {"a thin line", [] { return QImage(5000, 1, QImage::Format_ARGB32); }, {}},
        {"a tall line", [] { return QImage(1, 5000, QImage::Format_Grayscale16); }, {}},
        {"fully transparent",
         [] {
             QImage image(64, 48, QImage::Format_ARGB32);
             image.fill(Qt::transparent);
             return image;
         },
         kNavy},
        {"half transparent white over navy",
         [] {
             QImage image(64, 48, QImage::Format_ARGB32);
             image.fill(qRgba(255, 255, 255, 128));
             return image;
         },
         Colour{128, 128, 192}},
        {"indexed, short colour table",
         [] {
             QImage image(30, 30, QImage::Format_Indexed8);
             image.setColorTable({qRgb(1, 2, 3)});
             image.fill(200);
             return image;
         },
         {}},
        {"one bit", [] { return QImage(33, 17, QImage::Format_Mono); }, {}},
        {"alpha only", [] { return QImage(10, 10, QImage::Format_Alpha8); }, {}},
        {"64-bit colour",
         [] {
             QImage image(40, 30, QImage::Format_RGBA64);
             image.fill(QColor(10, 20, 30));
             return image;
         },
         Colour{10, 20, 30}},
    };
    for (const PictureCase &c : cases) {
        SCOPED_TRACE(c.name);
        for (const Fit fit : {Fit::Crop, Fit::Pad, Fit::Stretch}) {
            const Logo logo = convert(c.make(), {.fit = fit, .border = kNavy});
            EXPECT_EQ(logoBitmapProblem(logo.bytes, std::int64_t(logo.bytes.size())), "");
            if (c.all) {
                EXPECT_EQ(logo.colour(0, 0), *c.all);
                EXPECT_EQ(logo.colour(160, 200), *c.all);
            }
        }
    }
}

TEST(ConvertToLogo, RefusesAnEmptyPictureAndOptionsOutOfRange)
{
    struct RefusalCase {
        QImage picture;
        ConvertOptions options;
        const char *reason;
    };
    const QImage small(8, 6, QImage::Format_RGB32);
    const std::vector<RefusalCase> cases{
        {QImage(), {}, "the picture is empty"},
        {small, ConvertOptions{.start = 256}, "the starting entry must be 1 to 255, not 256"},
        {small, ConvertOptions{.start = -1}, "the starting entry must be 1 to 255, not -1"},
        {small, ConvertOptions{.start = 236, .band = BandEdge::Top, .bandRows = 0},
         "the band must be 1 to 400 rows, not 0"},
        {small, ConvertOptions{.start = 236, .band = BandEdge::Bottom, .bandRows = 401},
         "the band must be 1 to 400 rows, not 401"},
        {small, ConvertOptions{.band = BandEdge::Bottom}, "a band needs a starting entry"},
    };
    for (const RefusalCase &c : cases) {
        SCOPED_TRACE(c.reason);
        try {
            convertToLogo(c.picture, c.options);
            ADD_FAILURE() << "no error";
        } catch (const HostError &error) {
            EXPECT_EQ(error.reason(), c.reason);
        }
    }
}

TEST(RampColours, SpreadsTheStopsAroundALoop)
{
    constexpr Colour kBlue{0, 0, 255};
    constexpr Colour kPurple{128, 0, 128};
    struct LoopCase {
        std::vector<Colour> stops;
        int count;
        std::vector<Colour> colours;
    };
    const std::vector<LoopCase> cases{
        {{kRed, kBlue}, 4, {kRed, kPurple, kBlue, kPurple}},
        {{kRed, kBlue}, 1, {kRed}},
        {{kRed, kBlue}, 3, {kRed, {85, 0, 170}, {85, 0, 170}}},
        {{kWhite}, 3, {kWhite, kWhite, kWhite}},
        {{kRed, kBlue, kWhite}, 2, {kRed, {128, 128, 255}}},
        {{}, 5, {}},
        {{kRed}, 0, {}},
    };
    for (const LoopCase &c : cases)
        EXPECT_EQ(rampColours(c.stops, c.count), c.colours) << c.count << " colours";
}

TEST(RampColours, DefaultIsABrightLoopThatEndsNearItsStart)
{
    const std::vector<Colour> loop = rampColours(defaultRamp(), 20);
    ASSERT_EQ(loop.size(), 20u);
    EXPECT_EQ(loop.front(), kRed);
    // The step from the last entry back to the first is no bigger than the
    // others: the cycle has no seam.
    const auto distance = [](Colour a, Colour b) {
        return std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
    };
    int largest = 0;
    for (std::size_t i = 1; i < loop.size(); ++i)
        largest = std::max(largest, distance(loop[i - 1], loop[i]));
    EXPECT_LE(distance(loop.back(), loop.front()), largest);
    for (const Colour c : loop)
        EXPECT_EQ(std::max({c.red, c.green, c.blue}), 255) << testing::PrintToString(c);
}

TEST(ParseColour, ReadsHexAndNamesAndRefusesTheRest)
{
    struct ColourCase {
        const char *text;
        std::optional<Colour> colour;
    };
    const std::vector<ColourCase> cases{
        {"#FF8000", Colour{255, 128, 0}},
        {"#ff8000", Colour{255, 128, 0}},
        {"#f80", Colour{255, 136, 0}},
        {"navy", kNavy},
        {"Black", kBlack},
        {"white", kWhite},
        {"", std::nullopt},
        {"#12345", std::nullopt},
        {"#GGGGGG", std::nullopt},
        {"FF8000", std::nullopt},
        {"transparent", std::nullopt},
        {"#80FF0000", std::nullopt},
        {"no such colour", std::nullopt},
    };
    for (const ColourCase &c : cases)
        EXPECT_EQ(parseColour(QString::fromUtf8(c.text)), c.colour) << '"' << c.text << '"';
}

} // namespace
