#include "logo/slots.h"
#include "support/fake_host.h"
#include "support/files.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantrel;
using vantrel::test::directoryNames;
using vantrel::test::FakeHost;
using vantrel::test::fileBytes;
using vantrel::test::TempDrive;

namespace {

const QString kWindows = QStringLiteral("C:\\WINDOWS\\");

struct DirectoryReply {
    QByteArray written;
    unsigned length;
    const char *expected;
};

class WindowsDirectoryQuery : public ::testing::TestWithParam<DirectoryReply> {};

TEST_P(WindowsDirectoryQuery, FormsTheDirectoryText)
{
    FakeHost host;
    host.windowsDirectoryReply = {{GetParam().written, GetParam().length}};
    EXPECT_EQ(QueryWindowsDirectory(host), QString::fromLatin1(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Replies, WindowsDirectoryQuery,
                         ::testing::Values(DirectoryReply{"C:\\WINDOWS", 10, "C:\\WINDOWS\\"},
                                           DirectoryReply{"C:\\WINDOWS\\", 11, "C:\\WINDOWS\\"},
                                           DirectoryReply{"D:\\WIN95", 8, "D:\\WIN95\\"},
                                           DirectoryReply{"C:\\WINDOWS  ", 12, "C:\\WINDOWS\\"},
                                           DirectoryReply{"C:\\WINDOWS", 0, ""}));

TEST(WindowsDirectoryQuery, UsesTheHostsWindowsDirectory)
{
    FakeHost host;
    EXPECT_EQ(QueryWindowsDirectory(host), kWindows);
}

TEST(InstalledPath, IsTheSameForBothFormsOfTheWindowsDirectory)
{
    for (const QByteArray &reply : {QByteArray("C:\\WINDOWS"), QByteArray("C:\\WINDOWS\\")}) {
        FakeHost host;
        host.windowsDirectoryReply = {{reply, unsigned(reply.size())}};
        const QString windows = QueryWindowsDirectory(host);
        EXPECT_EQ(installedPath(LogoSlot::Shutdown, windows), "C:\\WINDOWS\\logow.sys");
        EXPECT_EQ(installedPath(LogoSlot::SwitchOff, windows), "C:\\WINDOWS\\logos.sys");
    }
    EXPECT_EQ(installedPath(LogoSlot::Startup, kWindows), "C:\\logo.sys");
}

// The one place the tests spell the slot table out; the others take the
// messages from it.
TEST(SlotTable, DescribesEachSlot)
{
    struct Row {
        LogoSlot slot;
        const char *name, *word, *installed, *changed, *stock;
        RestoreAction restore;
        const char *restoreFailed;
    };
    const Row rows[] = {
        {LogoSlot::Startup, "startup", "startup", "C:\\logo.sys", "c:\\logo.sys", "",
         RestoreAction::DeleteInstalled, "The startup logo is already set to default."},
        {LogoSlot::Shutdown, "shutdown", "shutdown", "C:\\WINDOWS\\logow.sys",
         "C:\\WINDOWS\\logow.sys", "C:\\vantrel\\logow.sys", RestoreAction::CopyStock,
         "Vantrel cannot find the shutdown screen file: Try looking in the vantrel directory"},
        {LogoSlot::SwitchOff, "switch-off", "switchoff", "C:\\WINDOWS\\logos.sys",
         "C:\\WINDOWS\\logos.sys", "c:\\vantrel\\logos.sys", RestoreAction::CopyStock,
         "Vantrel cannot locate the shutdown file: Try looking in the vantrel directory."},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(slotName(row.slot), row.name);
        EXPECT_EQ(slotWord(row.slot), row.word);
        EXPECT_EQ(installedPath(row.slot, kWindows), row.installed);
        EXPECT_EQ(changePath(row.slot, kWindows), row.changed);
        EXPECT_EQ(stockPath(row.slot), row.stock);
        EXPECT_EQ(restoreAction(row.slot), row.restore);
        EXPECT_EQ(restoreFailedMessage(row.slot), row.restoreFailed);
    }
}

TEST(ChangeSlot, CopiesAnyFileUnderTheSlotsName)
{
    TempDrive drive;
    drive.makeInstallation();
    FakeHost host;
    const QByteArray odd("not a bitmap at all\0\xff", 22);
    drive.write("pics/holiday.bmp", odd);

    ChangeSlot(host, LogoSlot::Startup, "C:\\pics\\holiday.bmp", kWindows);
    ChangeSlot(host, LogoSlot::Shutdown, drive.path("pics/holiday.bmp"), kWindows);
    ChangeSlot(host, LogoSlot::SwitchOff, "c:\\PICS\\HOLIDAY.BMP", kWindows);

    EXPECT_EQ(drive.read("logo.sys"), odd);
    EXPECT_EQ(drive.read("WINDOWS/logow.sys"), odd);
    EXPECT_EQ(drive.read("WINDOWS/logos.sys"), odd);
    EXPECT_TRUE(host.messages.isEmpty());
}

TEST(ChangeSlot, ReplacesAnExistingFileWhateverTheCaseOfItsName)
{
    TempDrive drive;
    FakeHost host;
    drive.write("LOGO.SYS", "old");
    drive.write("new.bmp", "new");
    ChangeSlot(host, LogoSlot::Startup, "C:\\new.bmp", kWindows);
    EXPECT_EQ(drive.read("LOGO.SYS"), "new");
    EXPECT_EQ(directoryNames(drive.root(), QDir::Files | QDir::Hidden),
              (QStringList{"LOGO.SYS", "new.bmp"}));
}

TEST(ChangeSlot, ReportsAFailedCopyToItsCallerAndShowsNothing)
{
    TempDrive drive;
    FakeHost host;
    drive.write("logo.sys", "installed");
    try {
        ChangeSlot(host, LogoSlot::Startup, "C:\\missing.bmp", kWindows);
        FAIL() << "a missing source was copied";
    } catch (const HostError &error) {
        EXPECT_EQ(error.reason(), "cannot open C:\\missing.bmp: No such file or directory");
    }
    EXPECT_EQ(drive.read("logo.sys"), "installed");
    EXPECT_TRUE(host.messages.isEmpty());
}

TEST(RestoreSlot, DeletesTheStartupFile)
{
    TempDrive drive;
    FakeHost host;
    drive.write("logo.sys", "custom");
    RestoreSlot(host, LogoSlot::Startup, kWindows);
    EXPECT_FALSE(drive.exists("logo.sys"));
    EXPECT_TRUE(host.messages.isEmpty());
}

TEST(RestoreSlot, SaysTheStartupLogoIsAlreadyDefaultWhenNoFileIsThere)
{
    TempDrive drive;
    FakeHost host;
    RestoreSlot(host, LogoSlot::Startup, kWindows);
    EXPECT_EQ(host.messages, QStringList{restoreFailedMessage(LogoSlot::Startup)});
}

TEST(RestoreSlot, SaysTheStartupLogoIsAlreadyDefaultWhenItCannotBeDeleted)
{
    TempDrive drive;
    FakeHost host;
    drive.write("logo.sys/inside", "a directory stands where the file should be");
    RestoreSlot(host, LogoSlot::Startup, kWindows);
    EXPECT_EQ(host.messages, QStringList{restoreFailedMessage(LogoSlot::Startup)});
    EXPECT_TRUE(drive.exists("logo.sys/inside"));
}

TEST(RestoreSlot, CopiesTheStockPicturesBack)
{
    TempDrive drive;
    drive.makeInstallation();
    drive.write("WINDOWS/logow.sys", "custom w");
    FakeHost host;
    RestoreSlot(host, LogoSlot::Shutdown, kWindows);
    RestoreSlot(host, LogoSlot::SwitchOff, kWindows);
    EXPECT_EQ(drive.read("WINDOWS/logow.sys"), "stock-w");
    EXPECT_EQ(drive.read("WINDOWS/logos.sys"), "stock-s");
    EXPECT_TRUE(host.messages.isEmpty());
}

TEST(RestoreSlot, ShowsEachSlotsMessageWhenTheStockFileIsMissing)
{
    TempDrive drive;
    drive.makeDirectory("WINDOWS");
    drive.write("WINDOWS/logow.sys", "custom w");
    FakeHost host;
    RestoreSlot(host, LogoSlot::Shutdown, kWindows);
    RestoreSlot(host, LogoSlot::SwitchOff, kWindows);
    EXPECT_EQ(host.messages, (QStringList{restoreFailedMessage(LogoSlot::Shutdown),
                                          restoreFailedMessage(LogoSlot::SwitchOff)}));
    EXPECT_EQ(drive.read("WINDOWS/logow.sys"), "custom w");
}

// The host's message stays the slot's fixed text; the reason behind it goes
// back to the caller only.
TEST(RestoreSlot, ReturnsTheReasonBehindItsMessage)
{
    struct Case {
        LogoSlot slot;
        bool stockThere;
        std::optional<QString> reason;
    };
    const Case cases[] = {
        {LogoSlot::Startup, true, "cannot delete C:\\logo.sys: No such file or directory"},
        {LogoSlot::Shutdown, false,
         "cannot open C:\\vantrel\\logow.sys: No such file or directory"},
        {LogoSlot::SwitchOff, false,
         "cannot open c:\\vantrel\\logos.sys: No such file or directory"},
        {LogoSlot::Shutdown, true, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(slotName(c.slot).toStdString());
        TempDrive drive;
        drive.makeDirectory("WINDOWS");
        if (c.stockThere)
            drive.makeInstallation();
        FakeHost host;
        EXPECT_EQ(RestoreSlot(host, c.slot, kWindows), c.reason);
        EXPECT_EQ(host.messages,
                  c.reason ? QStringList{restoreFailedMessage(c.slot)} : QStringList{});
    }
}

TEST(RestoreAllSlots, RestoresShutdownAndSwitchOffWithoutAStartupFile)
{
    TempDrive drive;
    drive.makeInstallation();
    FakeHost host;
    RestoreAllSlots(host, kWindows);
    EXPECT_EQ(drive.read("WINDOWS/logow.sys"), "stock-w");
    EXPECT_EQ(drive.read("WINDOWS/logos.sys"), "stock-s");
    EXPECT_TRUE(host.messages.isEmpty());
}

TEST(RestoreAllSlots, DeletesTheStartupFileWhenTheProgramDirectoryIsMissing)
{
    TempDrive drive;
    drive.makeDirectory("WINDOWS");
    drive.write("logo.sys", "custom");
    drive.write("WINDOWS/logos.sys", "custom s");
    FakeHost host;
    RestoreAllSlots(host, kWindows);
    EXPECT_FALSE(drive.exists("logo.sys"));
    EXPECT_EQ(drive.read("WINDOWS/logos.sys"), "custom s");
    EXPECT_TRUE(host.messages.isEmpty());
}

// With no Windows directory the two slots are the bare names, which the
// host takes relative to the current directory.
TEST(Slots, ActOnBareNamesInTheCurrentDirectoryWhenTheQueryFailed)
{
    TempDrive drive;
    drive.makeInstallation();
    QTemporaryDir here;
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(here.path()));
    FakeHost host;
    host.windowsDirectoryReply = {{QByteArray(), 0}};
    const QString windows = QueryWindowsDirectory(host);
    RestoreSlot(host, LogoSlot::Shutdown, windows);
    drive.write("pic.bmp", "pic");
    ChangeSlot(host, LogoSlot::SwitchOff, "C:\\pic.bmp", windows);
    QDir::setCurrent(old);

    EXPECT_EQ(windows, "");
    EXPECT_EQ(fileBytes(here.path() + "/logow.sys"), "stock-w");
    EXPECT_EQ(fileBytes(here.path() + "/logos.sys"), "pic");
    EXPECT_TRUE(host.messages.isEmpty());
}

} // namespace
