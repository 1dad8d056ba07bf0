#include "codec/logo_format.h"
#include "drive/default_drive.h"
#include "drive/stock_art.h"
#include "host/host.h"
#include "host/system/drive_map.h"
#include "logo/slots.h"
#include "support/child_process.h"
#include "support/cli_run.h"
#include "support/files.h"
#include "support/host_error.h"
#include "support/scoped_variable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

using namespace vantrel;
using vantrel::test::everythingBelow;
using vantrel::test::fileBytes;
using vantrel::test::handOver;
using vantrel::test::hostErrorKind;
using vantrel::test::runUnprivileged;
using vantrel::test::ScopedVariable;

namespace {

std::uint32_t u16(const QByteArray &bytes, int offset)
{
    return std::uint32_t(std::uint8_t(bytes[offset])) |
           std::uint32_t(std::uint8_t(bytes[offset + 1])) << 8;
}

std::uint32_t u32(const QByteArray &bytes, int offset)
{
    return u16(bytes, offset) | u16(bytes, offset + 2) << 16;
}

// The colour of palette entry `index` as 0xAARRGGBB with full alpha.
QRgb paletteColour(const QByteArray &bitmap, int index)
{
    const int at = 54 + 4 * index;
    return qRgb(std::uint8_t(bitmap[at + 2]), std::uint8_t(bitmap[at + 1]),
                std::uint8_t(bitmap[at]));
}

// Picture row `y` counted from the top; the file stores the bottom row first.
std::uint8_t pixelIndex(const QByteArray &bitmap, int x, int y)
{
    return std::uint8_t(bitmap[1078 + (399 - y) * 320 + x]);
}

struct Picture {
    const char *name;
    QByteArray bytes;
};

std::vector<Picture> stockPictures()
{
    return {{"shutdown", shutdownPicture()}, {"switch-off", switchOffPicture()}};
}

TEST(StockArt, PicturesAreLogoBitmapsWithEveryHeaderFieldAsTheFormatSays)
{
    for (const Picture &picture : stockPictures()) {
        SCOPED_TRACE(picture.name);
        const QByteArray &b = picture.bytes;
        ASSERT_EQ(b.size(), 129078);
        EXPECT_EQ(b.left(2), QByteArray("BM"));
        EXPECT_EQ(u32(b, 2), 129078u);
        EXPECT_EQ(u16(b, 6), 0u);
        EXPECT_EQ(u16(b, 8), 0u);
        EXPECT_EQ(u32(b, 10), 1078u);
        EXPECT_EQ(u32(b, 14), 40u);
        EXPECT_EQ(u32(b, 18), 320u);
        EXPECT_EQ(u32(b, 22), 400u);
        EXPECT_EQ(u16(b, 26), 1u);
        EXPECT_EQ(u16(b, 28), 8u);
        EXPECT_EQ(u32(b, 30), 0u);
        EXPECT_EQ(u32(b, 34), 128000u);
        EXPECT_EQ(u32(b, 46), 256u);
        EXPECT_EQ(u32(b, 50), 0u);
        for (int i = 0; i < 256; ++i)
            EXPECT_EQ(b[54 + 4 * i + 3], '\0') << "reserved byte of palette entry " << i;
    }
}

TEST(StockArt, PicturesAreExactlyTheReleasedBytes)
{
    // The SHA-256 of each picture as released. Any change to the art or to
    // the code that draws it shows here; when the change is meant, look at
    // the new pictures (vantrel-cli where, then a viewer) and update these.
    const struct {
        const char *name;
        QByteArray bytes;
        const char *sha256;
    } pictures[] = {
        {"shutdown", shutdownPicture(),
         "e1b5f5f2928b43f898a307fe65d036ce5311e29b25ede5d3c755a7a5dd51b108"},
        {"switch-off", switchOffPicture(),
         "b4ec886415c25c479325eced52003f5a5ab3fe501525f27b1be9f647940b9744"},
    };
    for (const auto &picture : pictures) {
        EXPECT_EQ(QCryptographicHash::hash(picture.bytes, QCryptographicHash::Sha256)
                      .toHex()
                      .toStdString(),
                  picture.sha256)
            << picture.name;
    }
}

TEST(StockArt, ShutdownAndSwitchOffPicturesDiffer)
{
    const QByteArray shutdown = shutdownPicture();
    const QByteArray switchOff = switchOffPicture();
    EXPECT_NE(shutdown.mid(54, 1024), switchOff.mid(54, 1024));
    EXPECT_NE(shutdown.mid(1078), switchOff.mid(1078));
}

TEST(StockArt, PixelsShowManyDifferentColours)
{
    for (const Picture &picture : stockPictures()) {
        SCOPED_TRACE(picture.name);
        QSet<int> indices;
        QSet<QRgb> colours;
        for (int y = 0; y < 400; ++y) {
            for (int x = 0; x < 320; ++x) {
                const int index = pixelIndex(picture.bytes, x, y);
                indices.insert(index);
                colours.insert(paletteColour(picture.bytes, index));
            }
        }
        EXPECT_GE(indices.size(), 32);
        EXPECT_GE(colours.size(), 32);
        // Text and emblem stand out from the sky: some pixel is bright.
        int brightest = 0;
        for (QRgb colour : std::as_const(colours))
            brightest = std::max(brightest, qGray(colour));
        EXPECT_GE(brightest, 160);
    }
}

TEST(StockArt, StandardDecoderReadsThePicturesBottomRowFirst)
{
    for (const Picture &picture : stockPictures()) {
        SCOPED_TRACE(picture.name);
        const QImage image = QImage::fromData(picture.bytes, "BMP");
        ASSERT_FALSE(image.isNull());
        ASSERT_EQ(image.size(), QSize(320, 400));
        for (int y = 0; y < 400; y += 7) {
            for (int x = 0; x < 320; x += 5) {
                ASSERT_EQ(image.pixel(x, y) | 0xFF000000u,
                          paletteColour(picture.bytes, pixelIndex(picture.bytes, x, y)))
                    << "at " << x << "," << y;
            }
        }
    }
}

TEST(Readme, IsAsciiWithCrlfLineEnds)
{
    const QByteArray text = readmeText();
    ASSERT_FALSE(text.isEmpty());
    EXPECT_TRUE(text.endsWith("\r\n"));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = std::uint8_t(text[i]);
        ASSERT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F)) << "byte " << i;
        if (c == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
        }
        if (c == '\r') {
            ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at " << i;
        }
    }
}

// The readme's lines, without their CRLF ends.
QStringList readmeLines()
{
    return QString::fromLatin1(readmeText()).split(QStringLiteral("\r\n"));
}

// The lines under the heading `title` (a line underlined with dashes), up
// to the next heading.
QStringList readmeSection(const QString &title)
{
    const QStringList lines = readmeLines();
    const auto isUnderline = [](const QString &line) {
        return !line.isEmpty() && line.count('-') == line.size();
    };
    QStringList section;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i] != title || !isUnderline(lines[i + 1]))
            continue;
        for (qsizetype j = i + 2; j < lines.size(); ++j) {
            if (j + 1 < lines.size() && !lines[j].isEmpty() && isUnderline(lines[j + 1]))
                break;
            section << lines[j];
        }
    }
    return section;
}

// The captures of `pattern` in every line that it matches in full.
QStringList captured(const QStringList &lines, const QString &pattern, int group)
{
    const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern));
    QStringList result;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = expression.match(line);
        if (match.hasMatch())
            result << match.captured(group);
    }
    return result;
}

TEST(Readme, ListsEachSlotAtThePathTheSlotsUse)
{
    // The default drive's Windows directory, as the readme writes it.
    const QString windows = QStringLiteral("C:\\WINDOWS\\");
    QStringList expected;
    for (const LogoSlot slot : kAllSlots)
        expected << installedPath(slot, windows);
    const QStringList table = readmeSection(QStringLiteral("The three logo slots"));
    ASSERT_FALSE(table.isEmpty());
    EXPECT_EQ(
        captured(table, QStringLiteral("  [A-Z][a-z ]+[a-z]  +(\\S+)"), 1).join('\n').toStdString(),
        expected.join('\n').toStdString());

    const QString text = QString::fromLatin1(readmeText());
    for (const LogoSlot slot : kAllSlots) {
        if (stockPath(slot).isEmpty())
            continue;
        // Names ignore case on the drive; the readme writes them one way.
        EXPECT_TRUE(text.contains(stockPath(slot), Qt::CaseInsensitive))
            << stockPath(slot).toStdString();
    }
}

TEST(Readme, ShowsEveryCommandOfTheToolAsItsHelpWritesIt)
{
    const vantrel::test::CliRun help = vantrel::test::runCommand({QStringLiteral("--help")});
    ASSERT_EQ(help.code, 0);
    // "  name ARGS   what it does" lines of the command list; wrapped
    // descriptions are indented further.
    const QString commands =
        help.out.section(QStringLiteral("commands:\n"), 1).section("\n\n", 0, 0);
    QStringList synopses;
    for (const QString &line : commands.split('\n')) {
        if (line.startsWith(QStringLiteral("  ")) && !line.startsWith(QStringLiteral("   ")))
            synopses << line.trimmed().section(QRegularExpression(QStringLiteral("\\s{2,}")), 0, 0);
    }
    ASSERT_GE(synopses.size(), 5);

    const QStringList readme = captured(readmeSection(QStringLiteral("The command-line tool")),
                                        QStringLiteral("  vantrel-cli (.+)"), 1);
    EXPECT_EQ(readme.join('\n').toStdString(), synopses.join('\n').toStdString());
    for (const QString &synopsis : readme) {
        const QString command = synopsis.section(' ', 0, 0);
        EXPECT_EQ(vantrel::test::runCommand({command, QStringLiteral("--help")}).code, 0)
            << command.toStdString();
    }
}

TEST(Readme, StatesTheFormatsNumbersAndTheDriveVariable)
{
    const QString text = QString::fromLatin1(readmeText()).replace(QStringLiteral("\r\n"), " ");
    for (const QString &fact : {QStringLiteral("%1 x %2 pixel").arg(kLogoWidth).arg(kLogoHeight),
                                QStringLiteral("exactly %1 bytes").arg(kLogoLength),
                                QStringLiteral("%1 to %2;").arg(kMinStartEntry).arg(kMaxStartEntry),
                                QStringLiteral("the default is %1").arg(kDefaultStartEntry),
                                QStringLiteral("VANTREL_DRIVE_C")}) {
        EXPECT_TRUE(text.simplified().contains(fact)) << fact.toStdString();
    }
}

class DefaultDrive : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        m_dataHome.set(QFile::encodeName(m_home.path() + "/data"));
        m_drive.unset();
        // Never provision anything outside the test's own directory.
        ASSERT_EQ(QDir::cleanPath(DriveMap::defaultDriveC()), drivePath());
        ASSERT_TRUE(DriveMap::driveCIsDefault());
    }

    QString drivePath() const { return m_home.path() + "/data/vantrel/drive_c"; }
    QString parentPath() const { return m_home.path() + "/data/vantrel"; }

    QTemporaryDir m_home;
    ScopedVariable m_dataHome{"XDG_DATA_HOME"};
    ScopedVariable m_drive{"VANTREL_DRIVE_C"};
};

TEST_F(DefaultDrive, MakesExactlyTheStockFilesOfAFreshInstallation)
{
    provisionDefaultDrive();

    EXPECT_EQ(everythingBelow(drivePath()),
              QStringList({"WINDOWS", "WINDOWS/logos.sys", "WINDOWS/logow.sys", "vantrel",
                           "vantrel/logos.sys", "vantrel/logow.sys", "vantrel/readme.txt"}));
    // Nothing of the staging directory is left beside the drive.
    EXPECT_EQ(everythingBelow(parentPath()).filter(QRegularExpression("^[^/]*$")),
              QStringList({"drive_c"}));

    const QByteArray installedW = fileBytes(drivePath() + "/WINDOWS/logow.sys");
    const QByteArray installedS = fileBytes(drivePath() + "/WINDOWS/logos.sys");
    EXPECT_EQ(installedW, shutdownPicture());
    EXPECT_EQ(installedS, switchOffPicture());
    EXPECT_EQ(fileBytes(drivePath() + "/vantrel/logow.sys"), installedW);
    EXPECT_EQ(fileBytes(drivePath() + "/vantrel/logos.sys"), installedS);
    const QByteArray readme = fileBytes(drivePath() + "/vantrel/readme.txt");
    EXPECT_EQ(readme, readmeText());
    EXPECT_TRUE(readme.contains("\r\n"));
}

TEST_F(DefaultDrive, LeavesAnExistingDriveAsItIs)
{
    provisionDefaultDrive();
    QFile readme(drivePath() + "/vantrel/readme.txt");
    ASSERT_TRUE(readme.open(QIODevice::WriteOnly | QIODevice::Truncate));
    readme.write("mine\r\n");
    readme.close();
    ASSERT_TRUE(QFile::remove(drivePath() + "/WINDOWS/logos.sys"));

    provisionDefaultDrive();

    EXPECT_EQ(fileBytes(drivePath() + "/vantrel/readme.txt"), QByteArray("mine\r\n"));
    EXPECT_FALSE(QFile::exists(drivePath() + "/WINDOWS/logos.sys"));
    EXPECT_EQ(everythingBelow(drivePath()),
              QStringList({"WINDOWS", "WINDOWS/logow.sys", "vantrel", "vantrel/logos.sys",
                           "vantrel/logow.sys", "vantrel/readme.txt"}));
}

TEST_F(DefaultDrive, LeavesAnEmptyExistingDirectoryEmpty)
{
    ASSERT_TRUE(QDir().mkpath(drivePath()));

    provisionDefaultDrive();

    EXPECT_TRUE(everythingBelow(drivePath()).isEmpty());
    EXPECT_EQ(everythingBelow(parentPath()), QStringList({"drive_c"}));
}

TEST_F(DefaultDrive, TouchesNothingWhenTheUserNamesDriveC)
{
    QTemporaryDir named;
    ASSERT_TRUE(named.isValid());
    m_drive.set(QFile::encodeName(named.path()));

    provisionDefaultDrive();

    EXPECT_TRUE(everythingBelow(named.path()).isEmpty());
    EXPECT_TRUE(everythingBelow(m_home.path()).isEmpty());
}

TEST_F(DefaultDrive, DoesNotCreateAMissingDirectoryTheUserNamed)
{
    m_drive.set(QFile::encodeName(m_home.path() + "/elsewhere"));

    provisionDefaultDrive();

    EXPECT_TRUE(everythingBelow(m_home.path()).isEmpty());
}

TEST_F(DefaultDrive, FailsWithAReasonWhenTheParentIsAFile)
{
    ASSERT_TRUE(QDir().mkpath(m_home.path() + "/data"));
    QFile blocker(parentPath());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    try {
        provisionDefaultDrive();
        FAIL() << "no HostError";
    } catch (const HostError &error) {
        EXPECT_TRUE(error.reason().contains(parentPath())) << error.reason().toStdString();
    }
    EXPECT_EQ(everythingBelow(m_home.path()), QStringList({"data", "data/vantrel"}));
}

TEST_F(DefaultDrive, FailsWithAReasonAndLeavesNothingWhenTheParentIsReadOnly)
{
    ASSERT_TRUE(QDir().mkpath(parentPath()));
    handOver(m_home.path());
    const auto readOnly = QFile::ReadOwner | QFile::ExeOwner;
    const auto writable = readOnly | QFile::WriteOwner;
    ASSERT_TRUE(QFile::setPermissions(parentPath(), readOnly));

    runUnprivileged(
        [] { EXPECT_EQ(hostErrorKind(provisionDefaultDrive), ErrorKind::NoPermission); });

    EXPECT_TRUE(everythingBelow(parentPath()).isEmpty());
    QFile::setPermissions(parentPath(), writable);
}

} // namespace
