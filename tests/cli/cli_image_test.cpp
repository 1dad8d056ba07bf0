#include "cli/cli.h"

#include "cli/console_host.h"
#include "codec/logo_format.h"
#include "support/cli_run.h"
#include "support/fake_host.h"
#include "support/logo_bytes.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace vantrel;
using namespace vantrel::test;

namespace {

// A logo as the animation maker leaves it: S = 236 in byte 50, entry 0 a
// dark blue, and a known number of pixels in the animated range.
LogoBytes animatedLogo()
{
    LogoBytes logo;
    logo.clrImportant = 236;
    logo.setColour(0, 0x00, 0x00, 0xaa);
    logo.fill(10);
    for (std::size_t k = 0; k < 500; ++k)
        logo.pixels[k * 200] = 240;
    for (std::size_t k = 0; k < 20; ++k)
        logo.pixels[127999 - k] = 255;
    return logo;
}

const char kGoodFields[] = "  bfType           \"BM\"                 ok\n"
                           "  bfSize           129078               ok\n"
                           "  bfReserved1      0                    ok\n"
                           "  bfReserved2      0                    ok\n"
                           "  bfOffBits        1078                 ok\n"
                           "  biSize           40                   ok\n"
                           "  biWidth          320                  ok\n"
                           "  biHeight         400 (bottom-up)      ok\n"
                           "  biPlanes         1                    ok\n"
                           "  biBitCount       8                    ok\n"
                           "  biCompression    0 (none)             ok\n"
                           "  biSizeImage      128000               ok\n"
                           "  biXPelsPerMeter  2834                 ok\n"
                           "  biYPelsPerMeter  2834                 ok\n"
                           "  biClrUsed        256                  ok\n";

class CliImage : public ::testing::Test {
protected:
    TempDrive drive;
};

} // namespace

TEST_F(CliImage, AnimateWritesTheTargetWithTheDefaultStartingEntry)
{
    const QByteArray source = LogoBytes().bytes();
    drive.write("logo.bmp", source);
    const CliRun run = runCommand({"animate", "C:\\logo.bmp", "C:\\anim.bmp"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    QByteArray expected = source;
    expected[50] = char(236);
    EXPECT_EQ(drive.read("anim.bmp"), expected);
}

TEST_F(CliImage, AnimateTakesTheStartingEntryAndReverseInAnyOrder)
{
    LogoBytes logo;
    logo.fill(241);
    drive.write("logo.bmp", logo.bytes());
    const std::vector<QStringList> forms{
        {"animate", "--reverse", drive.path("logo.bmp"), "--start", "240", drive.path("a.bmp")},
        {"animate", drive.path("logo.bmp"), drive.path("a.bmp"), "--start=240", "--reverse"},
        {"animate", "--start", "0240", "--reverse", "--", "C:\\logo.bmp", "C:\\a.bmp"},
    };
    for (const QStringList &arguments : forms) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        drive.write("a.bmp", {});
        const CliRun run = runCommand(arguments);
        ASSERT_EQ(run.code, 0) << run.err.toStdString();
        const QByteArray written = drive.read("a.bmp");
        ASSERT_EQ(written.size(), kLogoLength);
        EXPECT_EQ(byteAt(written, 50), 240);
        EXPECT_EQ(written.mid(qsizetype(kHeaderBlockLength)),
                  QByteArray(qsizetype(kPixelAreaLength), char(254)));
    }
}

// The bytes of a longer target past the logo stay, so it is no logo
// bitmap: said as install says it.
TEST_F(CliImage, AnimateWarnsWhenTheTargetItLeavesIsNotALogo)
{
    drive.write("logo.bmp", LogoBytes().bytes());
    drive.write("anim.bmp", QByteArray(129100, 'x'));
    const CliRun run = runCommand({"animate", "C:\\logo.bmp", "C:\\anim.bmp"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "vantrel-cli: warning: C:\\anim.bmp is not a logo bitmap (129100 bytes, "
                       "expected 129078), so Windows will not show it\n");
    EXPECT_EQ(drive.read("anim.bmp").mid(129078), QByteArray(22, 'x'));
}

TEST_F(CliImage, AnimateRefusesABadStartingEntryWithAUsageError)
{
    drive.write("logo.bmp", LogoBytes().bytes());
    for (const char *value : {"0", "256", "-3", "abc", "12x", "", "1.5", "0x10"}) {
        SCOPED_TRACE(value);
        const CliRun run = runCommand({"animate", "C:\\logo.bmp", "C:\\out.bmp", "--start", value});
        EXPECT_EQ(run.code, 2);
        EXPECT_TRUE(run.err.startsWith(
            QStringLiteral("vantrel-cli: the starting entry must be an integer from 1 to 255, "
                           "not '%1'\nusage: vantrel-cli animate SOURCE TARGET")
                .arg(QLatin1String(value))))
            << run.err.toStdString();
        EXPECT_FALSE(drive.exists("out.bmp"));
    }
}

TEST_F(CliImage, AnimateRefusesWrongArgumentsWithAUsageError)
{
    drive.write("logo.bmp", LogoBytes().bytes());
    const std::vector<std::pair<QStringList, QString>> cases{
        {{"animate"}, "animate takes a source and a target"},
        {{"animate", "C:\\logo.bmp"}, "animate takes a source and a target"},
        {{"animate", "C:\\logo.bmp", "C:\\out.bmp", "C:\\more.bmp"},
         "animate takes a source and a target"},
        {{"animate", "C:\\logo.bmp", "C:\\out.bmp", "--start"}, "--start needs a value"},
        {{"animate", "C:\\logo.bmp", "C:\\out.bmp", "--reversed"}, "unknown option '--reversed'"},
    };
    for (const auto &[arguments, problem] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const CliRun run = runCommand(arguments);
        EXPECT_EQ(run.code, 2);
        EXPECT_TRUE(run.err.startsWith("vantrel-cli: " + problem + "\nusage: vantrel-cli animate"))
            << run.err.toStdString();
        EXPECT_FALSE(drive.exists("out.bmp"));
    }
}

TEST_F(CliImage, AnimateFailsOnAWrongLengthAndLeavesNoTarget)
{
    drive.write("logo.bmp", LogoBytes().bytes().left(129077));
    const CliRun run = runCommand({"animate", "C:\\logo.bmp", "C:\\out.bmp"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "vantrel-cli: C:\\logo.bmp: not a logo bitmap: 129077 bytes, expected 129078\n");
    EXPECT_FALSE(drive.exists("out.bmp"));
}

TEST_F(CliImage, AnimateFailsForAMissingSourceOrAnUnwritableTarget)
{
    const CliRun missing = runCommand({"animate", "C:\\none.bmp", "C:\\out.bmp"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.startsWith("vantrel-cli: cannot find C:\\none.bmp: "))
        << missing.err.toStdString();
    EXPECT_FALSE(drive.exists("out.bmp"));

    drive.write("logo.bmp", LogoBytes().bytes());
    drive.makeDirectory("folder");
    const CliRun directory = runCommand({"animate", "C:\\logo.bmp", "C:\\folder"});
    EXPECT_EQ(directory.code, 1);
    EXPECT_EQ(directory.err, "vantrel-cli: cannot write C:\\folder: it is a directory\n");
    EXPECT_TRUE(drive.exists("folder"));
}

TEST_F(CliImage, HelpIsShownOnStandardOutput)
{
    for (const char *command : {"animate", "check"}) {
        const CliRun run = runCommand({command, "--help"});
        EXPECT_EQ(run.code, 0);
        EXPECT_TRUE(run.out.startsWith(QStringLiteral("usage: vantrel-cli %1 ").arg(command)))
            << run.out.toStdString();
        EXPECT_EQ(run.err, "");
    }
    const CliRun general = runCommand({"--help"});
    EXPECT_TRUE(general.out.contains("  animate SOURCE TARGET [--start S] [--reverse]\n"));
    EXPECT_TRUE(general.out.contains("  check FILE...  "));
}

TEST_F(CliImage, CheckReportsAGoodAnimatedLogo)
{
    drive.write("logo.bmp", animatedLogo().bytes());
    const CliRun run = runCommand({"check", "C:\\logo.bmp"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, QStringLiteral("C:\\logo.bmp\n"
                                      "  length           129078 bytes         ok\n") +
                           kGoodFields +
                           "  biClrImportant   236                  ok\n"
                           "  animation        entries 236 to 255 (20 entries)\n"
                           "  animated pixels  520 of 128000\n"
                           "  border colour    #0000AA (palette entry 0)\n"
                           "  result           a logo bitmap\n");
}

TEST_F(CliImage, CheckReportsAPaintFileWithoutAnimation)
{
    LogoBytes logo = animatedLogo();
    logo.clrImportant = 0;
    drive.write("paint.bmp", logo.bytes());
    const CliRun run = runCommand({"check", drive.path("paint.bmp")});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, drive.path("paint.bmp") + "\n" +
                           "  length           129078 bytes         ok\n" + kGoodFields +
                           "  biClrImportant   0                    ok\n"
                           "  animation        no animation (byte 50 is 0)\n"
                           "  border colour    #0000AA (palette entry 0)\n"
                           "  result           a logo bitmap\n");
}

// One warning for each colour, its entries as ranges; entry 0's colour is
// the border's.
TEST_F(CliImage, CheckWarnsOfAnimatedColoursThatAlsoStandStill)
{
    LogoBytes logo = animatedLogo();
    logo.fill(0);
    logo.setColour(3, 0x11, 0x22, 0x33);
    logo.setColour(250, 0x11, 0x22, 0x33);
    for (const int entry : {248, 249, 251, 252, 253, 254, 255})
        logo.setColour(entry, 0x00, 0x00, 0xaa);
    logo.clrImportant = 0x0100 | 246;
    drive.write("logo.bmp", logo.bytes());
    const CliRun run = runCommand({"check", "C:\\logo.bmp"});
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(run.out.contains("  biClrImportant   502                  ok\n"
                                 "  animation        entries 246 to 255 (10 entries)\n"
                                 "  animated pixels  0 of 128000 (nothing moves)\n"
                                 "  warning: entries 248, 249, 251 to 255 have the border "
                                 "colour (#0000AA): pixels of entry 0 stay still while those of "
                                 "entries 248, 249, 251 to 255 cycle\n"
                                 "  warning: entry 250 has the colour of entry 3 (#112233): "
                                 "pixels of entry 3 stay still while those of entry 250 cycle\n"
                                 "  border colour    #0000AA (palette entry 0)\n"))
        << run.out.toStdString();
}

TEST_F(CliImage, CheckRejectsATrueColourBitmap)
{
    drive.write("photo.bmp", trueColourBitmap());
    const CliRun run = runCommand({"check", "C:\\photo.bmp"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "C:\\photo.bmp\n"
                       "  length           384054 bytes         expected 129078 bytes\n"
                       "  bfType           \"BM\"                 ok\n"
                       "  bfSize           384054               expected 129078\n"
                       "  bfReserved1      0                    ok\n"
                       "  bfReserved2      0                    ok\n"
                       "  bfOffBits        54                   expected 1078\n"
                       "  biSize           40                   ok\n"
                       "  biWidth          320                  ok\n"
                       "  biHeight         400 (bottom-up)      ok\n"
                       "  biPlanes         1                    ok\n"
                       "  biBitCount       24                   expected 8\n"
                       "  biCompression    0 (none)             ok\n"
                       "  biSizeImage      384000               expected 128000 or 0\n"
                       "  biXPelsPerMeter  0                    ok\n"
                       "  biYPelsPerMeter  0                    ok\n"
                       "  biClrUsed        0                    ok\n"
                       "  biClrImportant   0                    ok\n"
                       "  result           not a logo bitmap\n");
}

TEST_F(CliImage, CheckRejectsAFileOfTheRightLengthWithAWrongField)
{
    QByteArray bytes = LogoBytes().bytes();
    putLe32(bytes, 22, std::uint32_t(-400));
    drive.write("topdown.bmp", bytes);
    const CliRun run = runCommand({"check", "C:\\topdown.bmp"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(
        run.out.contains("  biHeight         -400 (top-down)      expected 400 (bottom-up)\n"));
    EXPECT_TRUE(run.out.endsWith("  result           not a logo bitmap\n"));
}

TEST_F(CliImage, CheckReadsATruncatedFileSafely)
{
    const QByteArray good = LogoBytes().bytes();
    drive.write("short.bmp", good.left(24));
    drive.write("empty.bmp", {});
    const CliRun run = runCommand({"check", "C:\\short.bmp", "C:\\empty.bmp"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "");
    const QString shortReport = "C:\\short.bmp\n"
                                "  length           24 bytes             expected 129078 bytes\n"
                                "  bfType           \"BM\"                 ok\n"
                                "  bfSize           129078               ok\n"
                                "  bfReserved1      0                    ok\n"
                                "  bfReserved2      0                    ok\n"
                                "  bfOffBits        1078                 ok\n"
                                "  biSize           40                   ok\n"
                                "  biWidth          320                  ok\n"
                                "  biHeight         missing              expected 400 (bottom-up)\n"
                                "  biPlanes         missing              expected 1\n"
                                "  biBitCount       missing              expected 8\n"
                                "  biCompression    missing              expected 0 (none)\n"
                                "  biSizeImage      missing              expected 128000 or 0\n"
                                "  biXPelsPerMeter  missing              expected any\n"
                                "  biYPelsPerMeter  missing              expected any\n"
                                "  biClrUsed        missing              expected 0 or 256\n"
                                "  biClrImportant   missing              expected any\n"
                                "  result           not a logo bitmap\n";
    EXPECT_TRUE(run.out.startsWith(shortReport)) << run.out.toStdString();
    const QString emptyReport = run.out.mid(shortReport.size());
    EXPECT_TRUE(
        emptyReport.startsWith("C:\\empty.bmp\n"
                               "  length           0 bytes              expected 129078 bytes\n"
                               "  bfType           missing              expected \"BM\"\n"))
        << emptyReport.toStdString();
    EXPECT_EQ(emptyReport.count("missing"), 16);
}

TEST_F(CliImage, CheckGoesOnPastAMissingFileAndFails)
{
    drive.write("logo.bmp", animatedLogo().bytes());
    const CliRun run = runCommand({"check", "C:\\none.bmp", "C:\\logo.bmp"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.startsWith("vantrel-cli: cannot find C:\\none.bmp: "))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("C:\\logo.bmp\n"));
    EXPECT_TRUE(run.out.endsWith("  result           a logo bitmap\n"));

    const CliRun good = runCommand({"check", "C:\\logo.bmp", "C:\\LOGO.BMP"});
    EXPECT_EQ(good.code, 0);
    EXPECT_EQ(good.out.count("  result           a logo bitmap\n"), 2);
}

TEST_F(CliImage, CheckNeedsAFile)
{
    const CliRun run = runCommand({"check"});
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(
        run.err.startsWith("vantrel-cli: check takes one file or more\nusage: vantrel-cli check"));
}
