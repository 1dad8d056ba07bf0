#include "cli/cli.h"

#include "cli/console_host.h"
#include "codec/logo_format.h"
#include "codec/picture.h"
#include "support/cli_run.h"
#include "support/encoded_image.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/host_error.h"
#include "support/logo_bytes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>
#include <tuple>

#include <unistd.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

// A 4:3 picture with a stepped gradient and a patch of pure red, the first
// colour of the default ramp.
QImage picture()
{
    QImage image(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, x >= 100 ? qRgb(255, 0, 0) : qRgb(x / 10 * 16, y / 10 * 20, 90));
    }
    return image;
}

class CliConvert : public ::testing::Test {
protected:
    void SetUp() override { drive.write("in.png", encodedImage(picture(), "PNG")); }

    TempDrive drive;
};

TEST_F(CliConvert, EveryCombinationOfOptionsPassesTheCheck)
{
    struct OptionsCase {
        QStringList options;
        int start;
        // The check's line about the animated pixels; empty without a range.
        QString animated;
    };
    const QString none = "  animated pixels  0 of 128000 (nothing moves)\n";
    const std::vector<OptionsCase> cases{
        {{}, 0, {}},
        {{"--fit", "pad", "--border", "navy"}, 0, {}},
        {{"--fit=stretch", "--no-dither", "--border=#102030"}, 0, {}},
        {{"--start", "236"}, 236, none},
        {{"--start", "1"}, 1, none},
        {{"--band", "bottom"}, 236, "  animated pixels  6400 of 128000\n"},
        {{"--ramp", "red,#00f,white"}, 236, none},
        {{"--start=255", "--band=top:400", "--fit", "pad"},
         255,
         "  animated pixels  128000 of 128000\n"},
        {{"--band", "top:7", "--start", "2", "--ramp", "black", "--no-dither"},
         2,
         "  animated pixels  2240 of 128000\n"},
        {{"--border", "red", "--ramp", "red, #FF0000", "--start", "100", "--band", "bottom:399"},
         100,
         "  animated pixels  127680 of 128000\n"},
    };
    for (const OptionsCase &c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const CliRun run =
            runCommand(QStringList{"convert", "C:\\in.png", "C:\\logo.sys"} + c.options);
        ASSERT_EQ(run.code, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");

        const QByteArray logo = drive.read("logo.sys");
        ASSERT_EQ(logo.size(), kLogoLength);
        EXPECT_EQ(byteAt(logo, 50), c.start);
        EXPECT_EQ(byteAt(logo, 51), 0);

        const CliRun check = runCommand({"check", "C:\\logo.sys"});
        EXPECT_EQ(check.code, 0);
        EXPECT_EQ(check.err, "");
        EXPECT_FALSE(check.out.contains("warning")) << check.out.toStdString();
        EXPECT_TRUE(check.out.endsWith("  result           a logo bitmap\n"));
        if (c.start == 0) {
            EXPECT_TRUE(check.out.contains("  animation        no animation (byte 50 is 0)\n"));
        } else {
            EXPECT_TRUE(check.out.contains(
                QStringLiteral("  animation        entries %1 to 255 (%2 entries)\n")
                    .arg(c.start)
                    .arg(256 - c.start) +
                c.animated))
                << check.out.toStdString();
        }
        EXPECT_EQ(directoryNames(drive.root()), QStringList({"in.png", "logo.sys"}));
    }
}

TEST_F(CliConvert, RefusesBadOptionsWithAUsageError)
{
    struct UsageCase {
        QStringList arguments;
        QString problem;
    };
    const QString in = "C:\\in.png";
    const QString out = "C:\\out.sys";
    const QString entry = "the starting entry must be an integer from 1 to 255, not '%1'";
    const QString colour = "not a colour: '%1' (use #RRGGBB, #RGB or a name such as navy)";
    const QString band =
        "--band must be top or bottom, with :ROWS from 1 to 400 if given, not '%1'";
    const std::vector<UsageCase> cases{
        {{}, "convert takes an input and an output"},
        {{in}, "convert takes an input and an output"},
        {{in, out, "C:\\more.sys"}, "convert takes an input and an output"},
        {{in, out, "--start", "0"}, entry.arg("0")},
        {{in, out, "--start", "256"}, entry.arg("256")},
        {{in, out, "--start=12x"}, entry.arg("12x")},
        {{in, out, "--start"}, "--start needs a value"},
        {{in, out, "--border", "reddish"}, colour.arg("reddish")},
        {{in, out, "--border", "#80FF0000"}, colour.arg("#80FF0000")},
        {{in, out, "--border="}, colour.arg("")},
        {{in, out, "--ramp", "red,,blue"}, colour.arg("")},
        {{in, out, "--ramp", "red,bleu"}, colour.arg("bleu")},
        {{in, out, "--fit", "fill"}, "--fit must be crop, pad or stretch, not 'fill'"},
        {{in, out, "--fit"}, "--fit needs a value"},
        {{in, out, "--band", "middle"}, band.arg("middle")},
        {{in, out, "--band", "top:0"}, band.arg("top:0")},
        {{in, out, "--band", "bottom:401"}, band.arg("bottom:401")},
        {{in, out, "--band", "bottom:"}, band.arg("bottom:")},
        {{in, out, "--dither"}, "unknown option '--dither'"},
        {{in, out, "--no-dither=yes"}, "--no-dither takes no value"},
    };
    for (const UsageCase &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const CliRun run = runCommand(QStringList{"convert"} + c.arguments);
        EXPECT_EQ(run.code, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(run.err.startsWith("vantrel-cli: " + c.problem +
                                       "\nusage: vantrel-cli convert INPUT OUTPUT"))
            << run.err.toStdString();
        EXPECT_EQ(directoryNames(drive.root()), QStringList{"in.png"});
    }
}

TEST_F(CliConvert, FailsWithTheReasonAndLeavesNoOutput)
{
    drive.write("notes.png", "this is no picture");
    drive.makeDirectory("folder");
    QString ignored;
    QTextStream sink(&ignored);
    ConsoleHost host(sink);
    struct FailureCase {
        QStringList arguments;
        QString reason;
    };
    const std::vector<FailureCase> cases{
        {{"C:\\notes.png", "C:\\out.sys"},
         hostError([&] { readPicture(drive.path("notes.png"), "C:\\notes.png"); })},
        {{"C:\\none.png", "C:\\out.sys"},
         hostError([&] { readPicture(drive.path("none.png"), "C:\\none.png"); })},
        {{"C:\\in.png", "C:\\nowhere\\out.sys"},
         hostError([&] { host.replaceFile("C:\\nowhere\\out.sys", ReplaceFrom::Nothing); })},
        {{"C:\\in.png", "C:\\folder"},
         hostError([&] { host.replaceFile("C:\\folder", ReplaceFrom::Nothing); })},
    };
    for (const FailureCase &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        ASSERT_FALSE(c.reason.isEmpty());
        const CliRun run = runCommand(QStringList{"convert"} + c.arguments);
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "vantrel-cli: " + c.reason + "\n");
        EXPECT_EQ(directoryNames(drive.root()), QStringList({"folder", "in.png", "notes.png"}));
        EXPECT_TRUE(QDir(drive.path("folder")).isEmpty());
    }
}

TEST_F(CliConvert, RefusesToWriteOverItsInput)
{
    const QByteArray original = drive.read("in.png");
    ASSERT_EQ(::link(QFile::encodeName(drive.path("in.png")).constData(),
                     QFile::encodeName(drive.path("hard.png")).constData()),
              0);
    ASSERT_TRUE(QFile::link(drive.path("in.png"), drive.path("soft.png")));
    for (const QString &output : {QStringLiteral("C:\\in.png"), QStringLiteral("c:\\IN.PNG"),
                                  drive.path("in.png"), drive.root() + "/./in.png",
                                  QStringLiteral("C:\\hard.png"), QStringLiteral("C:\\soft.png")}) {
        SCOPED_TRACE(output.toStdString());
        const CliRun run = runCommand({"convert", "C:\\in.png", output});
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.err, "vantrel-cli: " + output +
                               " is the input C:\\in.png itself; write the logo to another file\n")
            << run.err.toStdString();
        EXPECT_EQ(drive.read("in.png"), original);
        EXPECT_EQ(directoryNames(drive.root()), QStringList({"hard.png", "in.png", "soft.png"}));
    }
}

TEST_F(CliConvert, ReplacesAnExistingOutputWhole)
{
    drive.write("logo.sys", QByteArray(200000, 'x'));
    const CliRun run = runCommand({"convert", drive.path("in.png"), "C:\\LOGO.SYS"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    const QByteArray logo = drive.read("logo.sys");
    ASSERT_EQ(logo.size(), kLogoLength);
    EXPECT_EQ(logoBitmapProblem({reinterpret_cast<const std::uint8_t *>(logo.constData()),
                                 std::size_t(logo.size())},
                                logo.size()),
              "");
    EXPECT_EQ(directoryNames(drive.root()), QStringList({"in.png", "logo.sys"}));
}

TEST_F(CliConvert, ExplainsItselfWithHelp)
{
    const CliRun run = runCommand({"convert", "--help"});
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(
        run.out.startsWith("usage: vantrel-cli convert INPUT OUTPUT [--fit crop|pad|stretch]"))
        << run.out.toStdString();
    EXPECT_TRUE(
        runCommand({"--help"})
            .out.contains(
                "  convert INPUT OUTPUT [options]      make a logo bitmap from any picture\n"));
}

// A GIF of one red pixel, as Qt cannot write GIF files itself.
const char kRedGif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
                       ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;";

// 64 x 48 pixels of pure red, saved as JPEG (quality 50) by Qt's writer.
// Kept as bytes so that the test itself never loads the JPEG plugin: on
// this system LeakSanitizer misreads that plugin's thread-local data at
// exit and stops the process, although nothing leaks.
const char kRedJpegBase64[] =
    "/9j/4AAQSkZJRgABAQEAYABgAAD/2wBDABALDA4MChAODQ4SERATGCgaGBYWGDEjJR0oOjM9PDkzODdASFxOQERX"
    "RTc4UG1RV19iZ2hnPk1xeXBkeFxlZ2P/2wBDARESEhgVGC8aGi9jQjhCY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2Nj"
    "Y2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2P/wAARCAAwAEADASIAAhEBAxEB/8QAHwAAAQUBAQEBAQEAAAAAAAAA"
    "AAECAwQFBgcICQoL/8QAtRAAAgEDAwIEAwUFBAQAAAF9AQIDAAQRBRIhMUEGE1FhByJxFDKBkaEII0KxwRVS0fAk"
    "M2JyggkKFhcYGRolJicoKSo0NTY3ODk6Q0RFRkdISUpTVFVWV1hZWmNkZWZnaGlqc3R1dnd4eXqDhIWGh4iJipKT"
    "lJWWl5iZmqKjpKWmp6ipqrKztLW2t7i5usLDxMXGx8jJytLT1NXW19jZ2uHi4+Tl5ufo6erx8vP09fb3+Pn6/8QA"
    "HwEAAwEBAQEBAQEBAQAAAAAAAAECAwQFBgcICQoL/8QAtREAAgECBAQDBAcFBAQAAQJ3AAECAxEEBSExBhJBUQdh"
    "cRMiMoEIFEKRobHBCSMzUvAVYnLRChYkNOEl8RcYGRomJygpKjU2Nzg5OkNERUZHSElKU1RVVldYWVpjZGVmZ2hp"
    "anN0dXZ3eHl6goOEhYaHiImKkpOUlZaXmJmaoqOkpaanqKmqsrO0tba3uLm6wsPExcbHyMnK0tPU1dbX2Nna4uPk"
    "5ebn6Onq8vP09fb3+Pn6/9oADAMBAAIRAxEAPwDFoooryz7wKKKKACiiigAooooAKKKKACiiigAooooAKKKKACii"
    "igAooooAKKKKACiiigD/2Q==";

// The installed tool, on the formats that Qt reads through plugins.
TEST_F(CliConvert, ProgramReadsJpegAndGif)
{
    struct FormatCase {
        const char *file;
        QByteArray bytes;
    };
    const std::vector<FormatCase> cases{
        {"red.jpg", QByteArray::fromBase64(kRedJpegBase64)},
        {"red.gif", QByteArray(kRedGif, sizeof kRedGif - 1)},
    };
    for (const FormatCase &c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_FALSE(c.bytes.isEmpty());
        drive.write(c.file, c.bytes);
        QProcess cli;
        cli.start(VANTREL_CLI_PATH,
                  {"convert", "C:\\" + QString::fromUtf8(c.file), "C:\\logo.sys", "--no-dither"});
        ASSERT_TRUE(cli.waitForFinished(20000));
        EXPECT_EQ(cli.readAllStandardError(), "");
        EXPECT_EQ(cli.exitCode(), 0);
        const QByteArray logo = drive.read("logo.sys");
        ASSERT_EQ(logo.size(), kLogoLength);
        // The middle pixel's colour: JPEG may shift pure red by a level.
        const auto index = std::size_t(byteAt(logo, kHeaderBlockLength + 200 * 320 + 160));
        EXPECT_GE(byteAt(logo, entryOffset(int(index)) + 2), 250);
        EXPECT_LE(byteAt(logo, entryOffset(int(index)) + 1), 5);
    }
}

// 16 x 8 pixels, red left and blue right, as the JPEG writer stores them,
// with EXIF orientation 6: the camera was turned, and the picture stands
// 8 x 16, red above blue.
const char kTurnedJpegBase64[] =
    "/9j/4QAiRXhpZgAATU0AKgAAAAgAAQESAAMAAAABAAYAAAAAAAD/4AAQSkZJRgABAQEAYABgAAD/2wBDAAMCAgMC"
    "AgMDAwMEAwMEBQgFBQQEBQoHBwYIDAoMDAsKCwsNDhIQDQ4RDgsLEBYQERMUFRUVDA8XGBYUGBIUFRT/2wBDAQME"
    "BAUEBQkFBQkUDQsNFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBT/wAAR"
    "CAAIABADASIAAhEBAxEB/8QAHwAAAQUBAQEBAQEAAAAAAAAAAAECAwQFBgcICQoL/8QAtRAAAgEDAwIEAwUFBAQA"
    "AAF9AQIDAAQRBRIhMUEGE1FhByJxFDKBkaEII0KxwRVS0fAkM2JyggkKFhcYGRolJicoKSo0NTY3ODk6Q0RFRkdI"
    "SUpTVFVWV1hZWmNkZWZnaGlqc3R1dnd4eXqDhIWGh4iJipKTlJWWl5iZmqKjpKWmp6ipqrKztLW2t7i5usLDxMXG"
    "x8jJytLT1NXW19jZ2uHi4+Tl5ufo6erx8vP09fb3+Pn6/8QAHwEAAwEBAQEBAQEBAQAAAAAAAAECAwQFBgcICQoL"
    "/8QAtREAAgECBAQDBAcFBAQAAQJ3AAECAxEEBSExBhJBUQdhcRMiMoEIFEKRobHBCSMzUvAVYnLRChYkNOEl8RcY"
    "GRomJygpKjU2Nzg5OkNERUZHSElKU1RVVldYWVpjZGVmZ2hpanN0dXZ3eHl6goOEhYaHiImKkpOUlZaXmJmaoqOk"
    "paanqKmqsrO0tba3uLm6wsPExcbHyMnK0tPU1dbX2Nna4uPk5ebn6Onq8vP09fb3+Pn6/9oADAMBAAIRAxEAPwD5"
    "0rwKiiv3D6Mv/M4/7gf+5j+jfpDf8yr/ALjf+4j/2Q==";

// The installed tool, so that the test never loads the JPEG plugin.
TEST_F(CliConvert, ProgramTurnsAPhotoAsItsCameraWasHeld)
{
    drive.write("turned.jpg", QByteArray::fromBase64(kTurnedJpegBase64));
    QProcess cli;
    cli.start(VANTREL_CLI_PATH,
              {"convert", "C:\\turned.jpg", "C:\\logo.sys", "--fit", "stretch", "--no-dither"});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.readAllStandardError(), "");
    const QByteArray logo = drive.read("logo.sys");
    ASSERT_EQ(logo.size(), kLogoLength);
    for (const auto &[x, y, red] :
         {std::tuple{40, 10, true}, {280, 10, true}, {40, 390, false}, {280, 390, false}}) {
        SCOPED_TRACE(testing::Message() << x << ", " << y);
        const auto stored = std::size_t((kLogoHeight - 1 - y) * kLogoWidth + x);
        const std::size_t entry = entryOffset(byteAt(logo, kHeaderBlockLength + stored));
        EXPECT_EQ(byteAt(logo, entry + 2) > 200, red);
        EXPECT_EQ(byteAt(logo, entry) > 200, !red);
    }
}

TEST(InstallWarning, NamesWhyWindowsWillNotShowTheFile)
{
    QByteArray wrongDepth = LogoBytes().bytes();
    putLe16(wrongDepth, 28, 24);
    const QByteArray png = encodedImage(picture(), "PNG");
    struct WarningCase {
        const char *name;
        QByteArray bytes;
        QString problem; // empty: no warning
    };
    const std::vector<WarningCase> cases{
        {"a PNG", png, QStringLiteral("%1 bytes, expected 129078").arg(png.size())},
        {"a true-colour bitmap", trueColourBitmap(), "384054 bytes, expected 129078"},
        {"a logo's length with 24 bits", wrongDepth, "biBitCount is 24, expected 8"},
        {"an empty file", {}, "0 bytes, expected 129078"},
        {"a logo bitmap", LogoBytes().bytes(), {}},
    };
    for (const WarningCase &c : cases) {
        SCOPED_TRACE(c.name);
        TempDrive drive;
        drive.makeInstallation();
        drive.write("pic.bmp", c.bytes);
        const CliRun run = runCommand({"install", "shutdown", "C:\\pic.bmp"});
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(drive.read("WINDOWS/logow.sys"), c.bytes);
        if (c.problem.isEmpty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_EQ(run.err, "vantrel-cli: warning: C:\\pic.bmp is not a logo bitmap (" +
                                   c.problem +
                                   "), so Windows will not show it\n"
                                   "vantrel-cli: 'vantrel-cli convert C:\\pic.bmp OUTPUT' makes "
                                   "one from any picture\n");
        }
    }
}

} // namespace
