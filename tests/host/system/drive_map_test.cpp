#include "host/host.h"
#include "host/posix_file.h"
#include "host/system/drive_map.h"
#include "support/fake_host.h"

#include <QDir>
#include <QTemporaryDir>

#include <cctype>
#include <tuple>

#include <gtest/gtest.h>

using namespace vantrel;
using vantrel::test::TempDrive;

namespace {

struct Mapping {
    const char *given;
    const char *expected; // below the drive root
};

class DriveMapOnDrive : public ::testing::TestWithParam<Mapping> {};

TEST_P(DriveMapOnDrive, ResolvesComponentsRegardlessOfCase)
{
    TempDrive drive;
    drive.write("WINDOWS/LOGOW.SYS", "w");
    drive.write("vantrel/logos.sys", "s");
    drive.write("Pics/Sub Dir/Logo.BMP", "b");
    EXPECT_EQ(DriveMap().toNative(QString::fromUtf8(GetParam().given)),
              drive.root() + "/" + QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DriveMapOnDrive,
    ::testing::Values(Mapping{"C:\\WINDOWS\\LOGOW.SYS", "WINDOWS/LOGOW.SYS"},
                      Mapping{"c:\\windows\\logow.sys", "WINDOWS/LOGOW.SYS"},
                      Mapping{"C:\\VANTREL\\LOGOS.SYS", "vantrel/logos.sys"},
                      Mapping{"c:\\pics\\sub dir\\logo.bmp", "Pics/Sub Dir/Logo.BMP"},
                      // A name that matches nothing keeps the spelling it was given.
                      Mapping{"c:\\windows\\New.SYS", "WINDOWS/New.SYS"},
                      Mapping{"C:\\NoSuch\\Dir\\x.sys", "NoSuch/Dir/x.sys"},
                      Mapping{"C:\\logo.sys", "logo.sys"}, Mapping{"C:\\WINDOWS\\", "WINDOWS"}));

TEST(DriveMap, PrefersTheExactNameOverOtherSpellings)
{
    TempDrive drive;
    drive.write("LOGO.SYS", "upper");
    drive.write("logo.sys", "lower");
    EXPECT_EQ(DriveMap().toNative("C:\\logo.sys"), drive.path("logo.sys"));
    EXPECT_EQ(DriveMap().toNative("C:\\LOGO.SYS"), drive.path("LOGO.SYS"));
}

TEST(DriveMap, PicksTheFirstInByteOrderWhenOnlyOtherSpellingsExist)
{
    TempDrive drive;
    drive.write("logo.Sys", "1");
    drive.write("Logo.sys", "2");
    drive.write("LOGO.sYS", "3");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(DriveMap().toNative("c:\\logo.sys"), drive.path("LOGO.sYS"));
}

TEST(DriveMap, PassesNativeAbsolutePathsThrough)
{
    TempDrive drive;
    drive.write("Logo.sys", "x");
    EXPECT_EQ(DriveMap().toNative(drive.path("logo.sys")), drive.path("logo.sys"));
}

TEST(DriveMap, TakesBareNamesRelativeToTheCurrentDirectory)
{
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    QDir(dir.path()).mkdir("Sub");
    const QString mapped = DriveMap().toNative("sub\\logow.sys");
    const QString bare = DriveMap().toNative("logow.sys");
    QDir::setCurrent(old);
    EXPECT_EQ(mapped, QDir(dir.path()).canonicalPath() + "/Sub/logow.sys");
    EXPECT_EQ(bare, QDir(dir.path()).canonicalPath() + "/logow.sys");
}

TEST(DriveMap, RefusesADriveThatIsNotMapped)
{
    qunsetenv("VANTREL_DRIVE_Q");
    try {
        DriveMap().toNative("Q:\\logo.sys");
        FAIL() << "an unmapped drive was accepted";
    } catch (const HostError &error) {
        EXPECT_EQ(error.reason(), "drive Q: is not mapped (set VANTREL_DRIVE_Q)");
    }
    QTemporaryDir dir;
    qputenv("VANTREL_DRIVE_Q", dir.path().toUtf8());
    EXPECT_EQ(DriveMap().toNative("q:\\a.bmp"), dir.path() + "/a.bmp");
    qunsetenv("VANTREL_DRIVE_Q");
}

TEST(DriveMap, DefaultDriveLivesUnderTheUsersDataDirectory)
{
    const QByteArray oldDrive = qgetenv("VANTREL_DRIVE_C");
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    QTemporaryDir data;
    qunsetenv("VANTREL_DRIVE_C");
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    EXPECT_TRUE(DriveMap::driveCIsDefault());
    EXPECT_EQ(DriveMap().toNative("C:\\logo.sys"), data.path() + "/vantrel/drive_c/logo.sys");
    qputenv("XDG_DATA_HOME", oldData);
    if (!oldDrive.isEmpty())
        qputenv("VANTREL_DRIVE_C", oldDrive);
}

// ".." stops at the root of the drive, as DOS has it; a DOS path never
// names anything off its drive.
TEST(DriveMap, KeepsDotDotOnTheDrive)
{
    const std::pair<const char *, const char *> cases[] = {
        {"C:\\..\\..\\etc\\passwd", "/etc/passwd"},
        {"C:\\WINDOWS\\..\\..\\..\\logo.sys", "/logo.sys"},
        {"c:\\windows\\.\\..\\windows\\logow.sys", "/WINDOWS/logow.sys"},
        {"C:..\\x.sys", "/x.sys"},
        {"C:/../../x.sys", "/x.sys"},
        {"C:\\..", ""},
        {"C:\\new\\..\\..\\WINDOWS", "/WINDOWS"},
    };
    TempDrive drive;
    drive.write("WINDOWS/logow.sys", "w");
    for (const auto &[given, expected] : cases)
        EXPECT_EQ(DriveMap().toNative(given), drive.root() + expected) << given;
    // Native paths are the system's own and stay as given.
    EXPECT_EQ(DriveMap().toNative(drive.root() + "/../x"), drive.root() + "/../x");
}

// A drive variable that is there but says nothing is a mistake to report,
// not a reason to fall back to the default drive.
TEST(DriveMap, RefusesADriveVariableThatIsEmptyOrNotUtf8)
{
    const std::tuple<char, QByteArray, const char *> cases[] = {
        {'C', "",
         "VANTREL_DRIVE_C is set but empty: set it to the directory that stands for drive C:, "
         "or unset it"},
        {'d', "",
         "VANTREL_DRIVE_D is set but empty: set it to the directory that stands for drive D:, "
         "or unset it"},
        {'D', "/tmp/\xff\\x'", "VANTREL_DRIVE_D is not valid UTF-8: $'/tmp/\\xff\\\\x\\''"},
    };
    const QByteArray oldC = qgetenv("VANTREL_DRIVE_C");
    const bool hadC = qEnvironmentVariableIsSet("VANTREL_DRIVE_C");
    for (const auto &[letter, value, reason] : cases) {
        const QByteArray variable = QByteArray("VANTREL_DRIVE_") + char(std::toupper(letter));
        qputenv(variable.constData(), value);
        try {
            DriveMap().toNative(QStringLiteral("%1:\\logo.sys").arg(QChar(letter)));
            ADD_FAILURE() << "accepted " << variable.constData() << "=" << value.constData();
        } catch (const HostError &error) {
            EXPECT_EQ(error.reason(), QString::fromUtf8(reason));
        }
        if (letter == 'C') {
            EXPECT_FALSE(DriveMap::driveCIsDefault());
        }
        qunsetenv(variable.constData());
    }
    if (hadC)
        qputenv("VANTREL_DRIVE_C", oldC);
}

// U+FFFD is what decoding leaves of bytes that are not UTF-8; encoded
// again it names another file, so such a name is refused, as is a NUL
// that would cut the name short.
TEST(DriveMap, RefusesNamesThatWouldReachAnotherFile)
{
    TempDrive drive;
    const std::pair<QString, QString> cases[] = {
        {QString::fromUtf8("C:\\\xef\xbf\xbd.bmp"),
         QString::fromUtf8("cannot use the name C:\\\xef\xbf\xbd.bmp: it holds U+FFFD, which "
                           "stands for bytes that are not UTF-8")},
        {drive.root() + QString::fromUtf8("/x\xef\xbf\xbd"),
         drive.root() + QString::fromUtf8("/x\xef\xbf\xbd")},
        {QString::fromUtf8("pic\xef\xbf\xbd.bmp"), QString::fromUtf8("pic\xef\xbf\xbd.bmp")},
        {QStringLiteral("C:\\logo.sys") + QChar(0) + "x",
         "cannot use the name C:\\logo.sys\\0x: it holds a NUL character"},
    };
    for (const auto &[given, reason] : cases) {
        try {
            DriveMap().toNative(given);
            ADD_FAILURE() << "accepted " << given.toStdString();
        } catch (const HostError &error) {
            EXPECT_TRUE(error.reason().contains(reason)) << error.reason().toStdString();
        }
    }
}

TEST(QuotedBytes, ShowsEveryByteThatIsNotPlainText)
{
    const std::pair<QByteArray, const char *> cases[] = {
        {"\xff.bmp", "$'\\xff.bmp'"},
        {"C:\\it's", "$'C:\\\\it\\'s'"},
        {QByteArray("a\0b\n\x7f", 5), "$'a\\x00b\\x0a\\x7f'"},
        {"caf\xc3\xa9", "$'caf\\xc3\\xa9'"},
    };
    for (const auto &[bytes, quoted] : cases)
        EXPECT_EQ(posix::quotedBytes(bytes), QString::fromUtf8(quoted));
    EXPECT_EQ(posix::strictUtf8("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
    // A leading byte order mark is a character of the name like any other.
    EXPECT_EQ(posix::strictUtf8("\xef\xbb\xbf.bmp"), QString(QChar(0xfeff)) + ".bmp");
    for (const char *bad : {"\xff", "\xc0\x80", "\xed\xa0\x80", "\xe2\x82", "\xf4\x90\x80\x80"})
        EXPECT_EQ(posix::strictUtf8(bad), std::nullopt) << bad;
}

TEST(DriveMap, RecognisesDosPaths)
{
    EXPECT_TRUE(DriveMap::isDosPath("C:\\logo.sys"));
    EXPECT_TRUE(DriveMap::isDosPath("c:logo.sys"));
    EXPECT_FALSE(DriveMap::isDosPath("logo.sys"));
    EXPECT_FALSE(DriveMap::isDosPath("/home/c:/x"));
    EXPECT_FALSE(DriveMap::isDosPath("mailto:someone"));
}

} // namespace
