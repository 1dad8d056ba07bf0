#include "codec/gif_export.h"

#include "codec/logo_format.h"
#include "image/animate.h"
#include "support/fake_host.h"
#include "support/gif_reader.h"
#include "support/logo_animation.h"
#include "support/logo_bytes.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>

#include <functional>
#include <optional>
#include <random>
#include <vector>

using namespace vantrel;
using namespace vantrel::test;

namespace {

std::span<const std::uint8_t> bytesOf(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())};
}

DecodedGif exportAndDecode(const QByteArray &logo, ExportSize size, const GifOptions &options = {})
{
    return decodeGif(exportGif(bytesOf(logo), size, options));
}

// The band logo with S = 200, run through the animation maker's transform
// with the reverse option, so that its band runs the other way.
QByteArray reversedBandLogo()
{
    TempDrive drive;
    FakeHost host;
    LogoBytes source = bandLogo(200);
    source.clrImportant = 0;
    drive.write("band.bmp", source.bytes());
    AnimateLogo(host, "C:\\band.bmp", "C:\\reversed.bmp", 200, true);
    return drive.read("reversed.bmp");
}

// A logo whose every pixel cycles: the grey ramp, every index in use.
QByteArray everyPixelLogo(int start)
{
    LogoBytes logo;
    logo.clrImportant = std::uint32_t(start);
    for (std::uint8_t &pixel : logo.pixels)
        pixel = std::uint8_t(start + pixel % (256 - start));
    return logo.bytes();
}

struct PlayCase {
    const char *name;
    std::function<QByteArray()> logo;
    ExportSize size;
    int start;
    int frames;
};

} // namespace

TEST(ExportGif, EveryFrameShowsThePaletteRotatedOnceMoreThanTheLast)
{
    const std::vector<PlayCase> cases{
        {"S = 236, a band, 640 x 480", [] { return bandLogo(236).bytes(); },
         ExportSize::Screen640x480, 236, 20},
        {"S = 236, every pixel, 640 x 480", [] { return everyPixelLogo(236); },
         ExportSize::Screen640x480, 236, 20},
        {"S = 1, every index in use, 320 x 400",
         [] {
             LogoBytes logo;
             logo.clrImportant = 1;
             return logo.bytes();
         },
         ExportSize::Raw320x400, 1, 255},
        {"S = 255, 640 x 400", [] { return bandLogo(255).bytes(); }, ExportSize::Wide640x400, 255,
         1},
        {"reversed by the animation maker, S = 200, 640 x 480", reversedBandLogo,
         ExportSize::Screen640x480, 200, 56},
    };
    for (const PlayCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray logo = c.logo();
        const DecodedGif gif = exportAndDecode(logo, c.size);
        EXPECT_EQ(gif.version, "GIF89a");
        EXPECT_EQ(gif.width, exportWidth(c.size));
        EXPECT_EQ(gif.height, exportHeight(c.size));
        ASSERT_EQ(int(gif.frames.size()), c.frames);
        const GifFrame &first = gif.frames.front();
        EXPECT_FALSE(first.localTable);
        EXPECT_EQ(first.transparent, -1);
        EXPECT_EQ(std::vector({first.left, first.top, first.width, first.height}),
                  std::vector({0, 0, gif.width, gif.height}));
        for (const GifFrame &frame : gif.frames)
            EXPECT_EQ(frame.disposal, DISPOSE_DO_NOT);
        expectFramesShow(gif, logo, c.size, c.start);
    }
}

TEST(ExportGif, QtsReaderShowsTheSameFrames)
{
    const QByteArray logo = bandLogo(236).bytes();
    const std::vector<std::uint8_t> gif =
        exportGif(bytesOf(logo), ExportSize::Screen640x480, GifOptions{});
    QByteArray bytes(reinterpret_cast<const char *>(gif.data()), qsizetype(gif.size()));
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "gif");
    int k = 0;
    for (QImage frame = reader.read(); !frame.isNull(); frame = reader.read(), ++k) {
        SCOPED_TRACE(k + 1);
        ASSERT_EQ(frame.size(), QSize(640, 480));
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                const Colour want = shownColour(logo, ExportSize::Screen640x480, x, y, k, 236);
                const QRgb got = frame.pixel(x, y);
                ASSERT_EQ(Colour({std::uint8_t(qRed(got)), std::uint8_t(qGreen(got)),
                                  std::uint8_t(qBlue(got))}),
                          want)
                    << "at " << x << ", " << y;
            }
        }
    }
    EXPECT_EQ(k, 20) << reader.errorString().toStdString();
}

TEST(ExportGif, TimesEveryFrameAndLoopsAsAsked)
{
    struct Case {
        int delayMs;
        int cycles;
        int hundredths;
        std::optional<int> loopCount;
    };
    const std::vector<Case> cases{
        {70, 0, 7, 0},            // the preview's pace, forever
        {75, 1, 8, std::nullopt}, // rounded to the nearest hundredth; once: no loop at all
        {20, 2, 2, 1},            // twice: one loop after the first play
        {1000, 5, 100, 4},
        {654, 300, 65, 299},
        {655350, 65536, 65535, 65535},
    };
    const QByteArray logo = bandLogo(246).bytes();
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.delayMs << " ms, " << c.cycles << " cycles");
        const DecodedGif gif =
            exportAndDecode(logo, ExportSize::Raw320x400, {c.delayMs, c.cycles, {}});
        ASSERT_EQ(gif.frames.size(), 10u);
        for (const GifFrame &frame : gif.frames)
            EXPECT_EQ(frame.delay, c.hundredths);
        EXPECT_EQ(gif.loopCount, c.loopCount);
    }
}

TEST(ExportGif, ALogoThatDoesNotCycleIsOneStillFrame)
{
    struct Case {
        const char *name;
        std::uint32_t clrImportant;
        bool bandInUse;
        Motion motion;
    };
    const std::vector<Case> cases{
        {"byte 50 is 0", 0, true, Motion::None},
        {"byte 50 is 0 and byte 51 is 1 (biClrImportant 256)", 256, true, Motion::None},
        {"byte 51 is 1", 0x0100 | 236, true, Motion::HighByteSet},
        {"no pixel uses 236..255", 236, false, Motion::RangeUnused},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LogoBytes logo = bandLogo(236);
        logo.clrImportant = c.clrImportant;
        if (!c.bandInUse) {
            for (std::uint8_t &pixel : logo.pixels)
                pixel = std::uint8_t(pixel % 236);
        }
        const QByteArray bytes = logo.bytes();
        EXPECT_EQ(readMotion(bytesOf(bytes)).motion, c.motion);
        const DecodedGif gif = exportAndDecode(bytes, ExportSize::Screen640x480, {70, 0, {}});
        ASSERT_EQ(gif.frames.size(), 1u);
        EXPECT_EQ(gif.frames[0].delay, -1);
        EXPECT_EQ(gif.loopCount, std::nullopt);
        expectFramesShow(gif, bytes, ExportSize::Screen640x480, 0);
    }
}

TEST(ExportGif, LaterFramesHoldOnlyTheBandAndAreSmallerThanFullFrames)
{
    const QByteArray logo = bandLogo(236).bytes();
    const std::vector<std::uint8_t> boxed =
        exportGif(bytesOf(logo), ExportSize::Screen640x480, {70, 0, GifLayout::ChangedBox});
    const std::vector<std::uint8_t> full =
        exportGif(bytesOf(logo), ExportSize::Screen640x480, {70, 0, GifLayout::FullFrames});

    // Rows 380..391 of the logo are screen rows 456..469: 380 and 390 start
    // groups of five, shown from screen rows 456 and 468.
    const DecodedGif gif = decodeGif(boxed);
    ASSERT_EQ(gif.frames.size(), 20u);
    for (std::size_t k = 1; k < gif.frames.size(); ++k) {
        const GifFrame &frame = gif.frames[k];
        EXPECT_EQ(std::vector({frame.left, frame.top, frame.width, frame.height}),
                  std::vector({0, 456, 640, 14}));
        EXPECT_TRUE(frame.localTable);
    }
    const DecodedGif plain = decodeGif(full);
    ASSERT_EQ(plain.frames.size(), 20u);
    expectFramesShow(plain, logo, ExportSize::Screen640x480, 236);

    // Frame 1 is the same in both; the 19 later frames of the band are a
    // small part of what the full frames take.
    EXPECT_LT(boxed.size(), full.size() / 5) << boxed.size() << " against " << full.size();
}

TEST(ExportGif, RefusesBytesThatAreNoLogoBitmap)
{
    const QByteArray good = bandLogo(236).bytes();
    QByteArray wrongBits = good;
    putLe16(wrongBits, 28, 24);
    const std::vector<std::pair<QByteArray, QString>> cases{
        {{}, "not a logo bitmap: 0 bytes, expected 129078"},
        {good.left(129077), "not a logo bitmap: 129077 bytes, expected 129078"},
        {good + 'x', "not a logo bitmap: 129079 bytes, expected 129078"},
        {QByteArray(kLogoLength, '\0'), "not a logo bitmap: bfType is 0x0000, expected \"BM\""},
        {wrongBits, "not a logo bitmap: biBitCount is 24, expected 8"},
    };
    for (const auto &[bytes, reason] : cases) {
        SCOPED_TRACE(reason.toStdString());
        try {
            exportGif(bytesOf(bytes), ExportSize::Screen640x480, {});
            ADD_FAILURE() << "no refusal";
        } catch (const HostError &error) {
            EXPECT_EQ(error.reason(), reason);
        }
    }
}

TEST(ExportGif, RefusesOptionsOutOfRange)
{
    const QByteArray logo = bandLogo(236).bytes();
    const std::vector<std::pair<GifOptions, QString>> cases{
        {{19, 0, {}}, "cannot make the GIF: a delay of 19 ms"},
        {{655351, 0, {}}, "cannot make the GIF: a delay of 655351 ms"},
        {{70, -1, {}}, "cannot make the GIF: -1 cycles"},
        {{70, 65537, {}}, "cannot make the GIF: 65537 cycles"},
    };
    for (const auto &[options, reason] : cases) {
        SCOPED_TRACE(reason.toStdString());
        try {
            exportGif(bytesOf(logo), ExportSize::Screen640x480, options);
            ADD_FAILURE() << "no refusal";
        } catch (const HostError &error) {
            EXPECT_EQ(error.reason(), reason);
        }
    }
}

// Whatever a logo bitmap's palette, pixels and bytes 50 and 51 hold, the
// export decodes to as many frames as the motion has, each showing what it
// should.
TEST(ExportGif, AnyLogoBitmapGivesAGifThatPlaysRight)
{
    std::mt19937 random(13);
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        LogoBytes logo;
        for (auto &entry : logo.palette) {
            for (std::uint8_t &b : entry)
                b = std::uint8_t(random());
        }
        // Most starting entries above 192, to keep the frames few; 0 too.
        const int start = round == 0 ? 0 : int(192 + random() % 64);
        const int floor = int(random() % 256);
        for (std::uint8_t &pixel : logo.pixels)
            pixel = std::uint8_t(floor + random() % (256 - floor));
        logo.clrImportant = std::uint32_t(start) | (round % 4 == 3 ? 0x0100u : 0u);
        const QByteArray bytes = logo.bytes();
        const LogoMotion motion = readMotion(bytesOf(bytes));
        const DecodedGif gif = exportAndDecode(bytes, ExportSize::Raw320x400);
        ASSERT_EQ(int(gif.frames.size()), motion.frameCount());
        expectFramesShow(gif, bytes, ExportSize::Raw320x400,
                         motion.motion == Motion::Cycling ? start : 0);
    }
}

TEST(ExportGif, FrameImagesAreTheWholePictureAtEachStep)
{
    const QByteArray logo = reversedBandLogo();
    const ExportFrames frames = exportFrames(bytesOf(logo), ExportSize::Wide640x400);
    ASSERT_EQ(frames.palettes.size(), 56u);
    for (int k : {0, 1, 30, 55}) {
        SCOPED_TRACE(k);
        const QImage image = frameImage(frames, k);
        ASSERT_EQ(image.format(), QImage::Format_Indexed8);
        ASSERT_EQ(image.size(), QSize(640, 400));
        for (int y = 0; y < 400; ++y) {
            for (int x = 0; x < 640; ++x) {
                const QRgb got = image.pixel(x, y);
                ASSERT_EQ(Colour({std::uint8_t(qRed(got)), std::uint8_t(qGreen(got)),
                                  std::uint8_t(qBlue(got))}),
                          shownColour(logo, ExportSize::Wide640x400, x, y, k, 200))
                    << "at " << x << ", " << y;
            }
        }
    }
    EXPECT_THROW(frameImage(frames, 56), HostError);
    EXPECT_THROW(frameImage(frames, -1), HostError);
}

// The pictures a GIF shows and how long each stays, equal neighbours joined.
std::vector<std::pair<std::vector<Colour>, int>> timeline(const DecodedGif &gif)
{
    std::vector<std::pair<std::vector<Colour>, int>> shown;
    gif.play([&](int k, const std::vector<Colour> &canvas) {
        const int delay = gif.frames[std::size_t(k)].delay;
        if (!shown.empty() && shown.back().first == canvas)
            shown.back().second += delay;
        else
            shown.emplace_back(canvas, delay);
    });
    return shown;
}

TEST(ExportGif, RepeatedFramesAreMergedIntoOneThatStaysAsLong)
{
    const QByteArray logo = chaserLogo();
    const ExportFrames frames = exportFrames(bytesOf(logo), ExportSize::Raw320x400);
    const std::vector<FrameRun> runs = distinctFrames(frames);
    ASSERT_EQ(runs.size(), 8u);
    EXPECT_EQ(runs.front(), (FrameRun{0, 7}));
    EXPECT_EQ(runs.back(), (FrameRun{49, 7}));
    for (const GifLayout layout : {GifLayout::ChangedBox, GifLayout::FullFrames}) {
        for (const int delayMs : {70, 655350}) {
            SCOPED_TRACE(testing::Message() << int(layout) << ", " << delayMs << " ms");
            const std::vector<std::uint8_t> merged = encodeGif(frames, {delayMs, 0, layout, true});
            const std::vector<std::uint8_t> every = encodeGif(frames, {delayMs, 0, layout, false});
            const DecodedGif gif = decodeGif(merged);
            const DecodedGif plain = decodeGif(every);
            ASSERT_EQ(plain.frames.size(), 56u);
            // At the longest delay no frame can time a run: nothing merges.
            EXPECT_EQ(gif.frames.size(), delayMs == 70 ? 8u : 56u);
            EXPECT_EQ(timeline(gif), timeline(plain));
            EXPECT_EQ(merged.size() < every.size(), delayMs == 70);
        }
    }
}
