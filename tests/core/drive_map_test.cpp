#include "host/drive_map.h"
#include "host/host.h"
#include "support/fake_host.h"

#include <QDir>
#include <QTemporaryDir>

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
                      Mapping{"C:\\logo.sys", "logo.sys"},
                      Mapping{"C:\\WINDOWS\\", "WINDOWS"}));

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

TEST(DriveMap, RecognisesDosPaths)
{
    EXPECT_TRUE(DriveMap::isDosPath("C:\\logo.sys"));
    EXPECT_TRUE(DriveMap::isDosPath("c:logo.sys"));
    EXPECT_FALSE(DriveMap::isDosPath("logo.sys"));
    EXPECT_FALSE(DriveMap::isDosPath("/home/c:/x"));
    EXPECT_FALSE(DriveMap::isDosPath("mailto:someone"));
}

} // namespace
