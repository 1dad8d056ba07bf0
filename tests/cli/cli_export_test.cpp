#include "cli/cli.h"

#include "codec/gif_export.h"
#include "codec/logo_format.h"
#include "support/cli_run.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/gif_reader.h"
#include "support/logo_animation.h"
#include "support/logo_bytes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QStringList>

#include <optional>
#include <vector>

using namespace vantrel;
using namespace vantrel::test;

namespace {

std::span<const std::uint8_t> bytesOf(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())};
}

class CliExport : public ::testing::Test {
protected:
    // Every file and directory on the drive, hidden ones too, sorted.
    QStringList listing() const { return everythingBelow(drive.root()); }

    TempDrive drive;
};

} // namespace

TEST_F(CliExport, WritesTheAnimationWithTheOptionsGiven)
{
    struct Case {
        QStringList options;
        ExportSize size;
        int hundredths;
        std::optional<int> loopCount;
    };
    const std::vector<Case> cases{
        {{}, ExportSize::Screen640x480, 7, 0},
        {{"--size", "640x400"}, ExportSize::Wide640x400, 7, 0},
        {{"--size=320x400", "--delay-ms=100", "--cycles", "3"}, ExportSize::Raw320x400, 10, 2},
        {{"--cycles", "1", "--delay-ms", "40", "--size", "640x480"},
         ExportSize::Screen640x480,
         4,
         std::nullopt},
    };
    const QByteArray logo = bandLogo(236).bytes();
    drive.write("band.bmp", logo);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        // An older export is replaced.
        drive.write("band.gif", "old");
        const CliRun run =
            runCommand(QStringList{"export", "C:\\band.bmp", "C:\\band.gif"} + c.options);
        ASSERT_EQ(run.code, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(listing(), QStringList({"band.bmp", "band.gif"}));
        const QByteArray written = drive.read("band.gif");
        const DecodedGif gif = decodeGif(bytesOf(written));
        EXPECT_EQ(gif.width, exportWidth(c.size));
        EXPECT_EQ(gif.height, exportHeight(c.size));
        ASSERT_EQ(gif.frames.size(), 20u);
        for (const GifFrame &frame : gif.frames)
            EXPECT_EQ(frame.delay, c.hundredths);
        EXPECT_EQ(gif.loopCount, c.loopCount);
        expectFramesShow(gif, logo, c.size, 236);
    }
}

TEST_F(CliExport, WritesAStillFrameAndWarnsWhenByte50IsNoStartingEntry)
{
    struct Case {
        const char *name;
        std::uint32_t clrImportant;
        bool bandInUse;
        QString err;
    };
    const std::vector<Case> cases{
        {"no animation", 0, true, ""},
        {"byte 51 set", 0x0100 | 236, true,
         "vantrel-cli: warning: C:\\logo.bmp: byte 51 is 1, not 0, so byte 50 (236) is no "
         "starting entry; writing one still frame\n"},
        {"range unused", 240, false,
         "vantrel-cli: warning: C:\\logo.bmp: no pixel uses palette entries 240 to 255, so "
         "nothing moves; writing one still frame\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LogoBytes logo = bandLogo(236);
        logo.clrImportant = c.clrImportant;
        if (!c.bandInUse) {
            for (std::uint8_t &pixel : logo.pixels)
                pixel = std::uint8_t(pixel % 240);
        }
        drive.write("logo.bmp", logo.bytes());
        const CliRun run = runCommand({"export", "C:\\logo.bmp", "C:\\logo.gif", "--cycles=2"});
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.err, c.err);
        const DecodedGif gif = decodeGif(bytesOf(drive.read("logo.gif")));
        ASSERT_EQ(gif.frames.size(), 1u);
        EXPECT_EQ(gif.loopCount, std::nullopt);
        expectFramesShow(gif, logo.bytes(), ExportSize::Screen640x480, 0);
    }
}

TEST_F(CliExport, WritesEachFrameAsAPngWhenAsked)
{
    struct Case {
        const char *name;
        LogoBytes logo;
        int start;
        int frames;
    };
    LogoBytes still = bandLogo(236);
    still.clrImportant = 0;
    const std::vector<Case> cases{
        {"S = 236", bandLogo(236), 236, 20},
        {"still", still, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(drive.root()).removeRecursively();
        QDir().mkpath(drive.root());
        drive.makeDirectory("frames");
        const QByteArray logo = c.logo.bytes();
        drive.write("logo.bmp", logo);
        const CliRun run =
            runCommand({"export", "C:\\logo.bmp", "C:\\logo.gif", "--frames", "C:\\frames"});
        ASSERT_EQ(run.code, 0) << run.err.toStdString();

        QStringList expected{"frames", "logo.bmp", "logo.gif"};
        for (int k = 1; k <= c.frames; ++k)
            expected << QStringLiteral("frames/frame-%1.png").arg(k, 3, 10, QLatin1Char('0'));
        expected.sort();
        EXPECT_EQ(listing(), expected);

        for (int k = 0; k < c.frames; ++k) {
            SCOPED_TRACE(k + 1);
            const QImage image(drive.path(
                QStringLiteral("frames/frame-%1.png").arg(k + 1, 3, 10, QLatin1Char('0'))));
            ASSERT_EQ(image.size(), QSize(640, 480));
            for (int y = 0; y < 480; ++y) {
                for (int x = 0; x < 640; ++x) {
                    const QRgb got = image.pixel(x, y);
                    ASSERT_EQ(Colour({std::uint8_t(qRed(got)), std::uint8_t(qGreen(got)),
                                      std::uint8_t(qBlue(got))}),
                              shownColour(logo, ExportSize::Screen640x480, x, y, k, c.start))
                        << "at " << x << ", " << y;
                }
            }
        }
    }
}

TEST_F(CliExport, RefusesAndWritesNothing)
{
    struct Case {
        QStringList arguments;
        int code;
        // The whole of standard error, or its start when it ends in "...".
        QString err;
    };
    const char *usage = "\nusage: vantrel-cli export LOGO OUT.gif ...";
    const std::vector<Case> cases{
        {{"C:\\short.bmp", "C:\\out.gif"},
         1,
         "vantrel-cli: C:\\short.bmp: not a logo bitmap: 129077 bytes, expected 129078\n"},
        {{"C:\\photo.bmp", "C:\\out.gif"},
         1,
         "vantrel-cli: C:\\photo.bmp: not a logo bitmap: 384054 bytes, expected 129078\n"},
        {{"C:\\deep.bmp", "C:\\out.gif"},
         1,
         "vantrel-cli: C:\\deep.bmp: not a logo bitmap: biBitCount is 24, expected 8\n"},
        {{"C:\\none.bmp", "C:\\out.gif"}, 1, "vantrel-cli: cannot find C:\\none.bmp: ..."},
        {{"C:\\folder", "C:\\out.gif"}, 1, "vantrel-cli: C:\\folder is a directory\n"},
        {{"C:\\logo.bmp", "C:\\folder"},
         1,
         "vantrel-cli: cannot write C:\\folder: it is a directory\n"},
        {{"C:\\logo.bmp", "C:\\nowhere\\out.gif"},
         1,
         "vantrel-cli: cannot write C:\\nowhere\\out.gif: ..."},
        {{"C:\\logo.bmp", "C:\\out.gif", "--frames", "C:\\nowhere"},
         1,
         "vantrel-cli: cannot write the frames into C:\\nowhere: no such directory\n"},
        {{"C:\\logo.bmp", "C:\\out.gif", "--frames=C:\\logo.bmp"},
         1,
         "vantrel-cli: cannot write the frames into C:\\logo.bmp: no such directory\n"},
        {{"C:\\logo.bmp", "C:\\out.gif", "--size", "800x600"},
         2,
         QStringLiteral(
             "vantrel-cli: the size must be 640x480, 640x400 or 320x400, not '800x600'") +
             usage},
        {{"C:\\logo.bmp", "C:\\out.gif", "--size=640X480"},
         2,
         QStringLiteral(
             "vantrel-cli: the size must be 640x480, 640x400 or 320x400, not '640X480'") +
             usage},
        {{"C:\\logo.bmp", "C:\\out.gif", "--delay-ms", "19"},
         2,
         QStringLiteral("vantrel-cli: the delay must be an integer from 20 to 655350 milliseconds, "
                        "not '19'") +
             usage},
        {{"C:\\logo.bmp", "C:\\out.gif", "--delay-ms=655351"},
         2,
         QStringLiteral("vantrel-cli: the delay must be an integer from 20 to 655350 milliseconds, "
                        "not '655351'") +
             usage},
        {{"C:\\logo.bmp", "C:\\out.gif", "--delay-ms", "7.5"},
         2,
         QStringLiteral("vantrel-cli: the delay must be an integer from 20 to 655350 milliseconds, "
                        "not '7.5'") +
             usage},
        {{"C:\\logo.bmp", "C:\\out.gif", "--cycles", "0"},
         2,
         QStringLiteral("vantrel-cli: the number of cycles must be an integer from 1 to 65536, "
                        "not '0'") +
             usage},
        {{"C:\\logo.bmp", "C:\\out.gif", "--cycles=65537"},
         2,
         QStringLiteral("vantrel-cli: the number of cycles must be an integer from 1 to 65536, "
                        "not '65537'") +
             usage},
        {{"C:\\logo.bmp", "C:\\out.gif", "--cycles", "forever"},
         2,
         QStringLiteral("vantrel-cli: the number of cycles must be an integer from 1 to 65536, "
                        "not 'forever'") +
             usage},
        {{"C:\\logo.bmp", "C:\\out.gif", "--cycles"},
         2,
         QStringLiteral("vantrel-cli: --cycles needs a value") + usage},
        {{"C:\\logo.bmp", "C:\\out.gif", "--frames="},
         2,
         QStringLiteral("vantrel-cli: --frames needs a directory") + usage},
        {{"C:\\logo.bmp", "C:\\out.gif", "--loop", "2"},
         2,
         QStringLiteral("vantrel-cli: unknown option '--loop'") + usage},
        {{"C:\\logo.bmp"},
         2,
         QStringLiteral("vantrel-cli: export takes a logo and a GIF file") + usage},
        {{"C:\\logo.bmp", "C:\\out.gif", "C:\\more.gif"},
         2,
         QStringLiteral("vantrel-cli: export takes a logo and a GIF file") + usage},
    };
    drive.write("logo.bmp", bandLogo(236).bytes());
    drive.write("short.bmp", bandLogo(236).bytes().left(129077));
    drive.write("photo.bmp", trueColourBitmap());
    QByteArray deep = bandLogo(236).bytes();
    putLe16(deep, 28, 24);
    drive.write("deep.bmp", deep);
    drive.makeDirectory("folder");
    const QStringList before = listing();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const CliRun run = runCommand(QStringList{"export"} + c.arguments);
        EXPECT_EQ(run.code, c.code);
        EXPECT_EQ(run.out, "");
        if (c.err.endsWith("...")) {
            EXPECT_TRUE(run.err.startsWith(c.err.chopped(3))) << run.err.toStdString();
        } else {
            EXPECT_EQ(run.err, c.err);
        }
        EXPECT_EQ(listing(), before);
    }
}

TEST_F(CliExport, HelpNamesTheOptionsAndThePace)
{
    const CliRun run = runCommand({"export", "--help"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.out.startsWith("usage: vantrel-cli export LOGO OUT.gif [--size "
                                   "640x480|640x400|320x400]\n"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("real hardware cycles at its own pace"));
    const CliRun general = runCommand({"--help"});
    EXPECT_TRUE(general.out.contains("\n  export LOGO OUT.gif [--size WxH] [--delay-ms N] "
                                     "[--cycles K] [--frames DIR]\n"));
}

// What export writes comes back from convert as the logo it was: each size
// of frame 1, and the logo bitmap itself, give every pixel its colour.
TEST_F(CliExport, ConvertTakesAnExportedFrameBackExactly)
{
    const QByteArray logo = bandLogo(236).bytes();
    drive.write("logo.bmp", logo);
    drive.makeDirectory("frames");
    for (const char *size : {"640x480", "640x400", "320x400", ""}) {
        SCOPED_TRACE(size);
        QString input = "C:\\logo.bmp";
        if (*size != '\0') {
            const CliRun exported = runCommand({"export", "C:\\logo.bmp", "C:\\logo.gif", "--size",
                                                size, "--frames", "C:\\frames"});
            ASSERT_EQ(exported.code, 0) << exported.err.toStdString();
            input = "C:\\frames\\frame-001.png";
        }
        const CliRun run = runCommand({"convert", input, "C:\\back.sys"});
        ASSERT_EQ(run.code, 0) << run.err.toStdString();
        const QByteArray back = drive.read("back.sys");
        for (int y = 0; y < kLogoHeight; ++y) {
            for (int x = 0; x < kLogoWidth; ++x) {
                ASSERT_EQ(shownColour(back, ExportSize::Raw320x400, x, y, 0, 0),
                          shownColour(logo, ExportSize::Raw320x400, x, y, 0, 0))
                    << "at " << x << ", " << y;
            }
        }
    }
}
