#include "app/cli.h"
#include "app/console_host.h"
#include "support/cli_run.h"
#include "support/fake_host.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace vantrel;
using vantrel::test::CliRun;
using vantrel::test::runCommand;
using vantrel::test::TempDrive;

namespace {

struct UsageCase {
    const char *name;
    QStringList arguments;
    const char *firstLine;
};

class CliUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CliUsage, IsAUsageErrorWithExitTwo)
{
    TempDrive drive;
    const CliRun run = runCommand(GetParam().arguments);
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_EQ(run.err.section('\n', 0, 0), QString::fromUtf8(GetParam().firstLine));
    EXPECT_TRUE(run.out.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, CliUsage,
    ::testing::Values(
        UsageCase{"none", {}, "vantrel-cli: no command given"},
        UsageCase{"unknown", {"frobnicate"}, "vantrel-cli: unknown command 'frobnicate'"},
        UsageCase{"whereArgs", {"where", "x"}, "vantrel-cli: where takes no arguments"},
        UsageCase{"installSlot", {"install", "desktop", "a.bmp"}, "vantrel-cli: unknown slot 'desktop'"},
        UsageCase{"installFile", {"install", "startup"}, "vantrel-cli: install takes a slot and a file"},
        UsageCase{"restoreSlot", {"restore", "everything"}, "vantrel-cli: unknown slot 'everything'"},
        UsageCase{"restoreNone", {"restore"}, "vantrel-cli: restore takes one slot, or all"}),
    [](const auto &testCase) { return std::string(testCase.param.name); });

TEST(Cli, EveryCommandExplainsItselfWithHelp)
{
    for (const QString &command : QStringList{"where", "install", "restore"}) {
        const CliRun run = runCommand({command, "--help"});
        EXPECT_EQ(run.code, kExitOk);
        EXPECT_TRUE(run.out.startsWith("usage: vantrel-cli " + command)) << run.out.toStdString();
    }
    EXPECT_TRUE(runCommand({"--help"}).out.startsWith("usage: vantrel-cli <command>"));
}

TEST(Cli, InstallCopiesTheFileIntoTheSlot)
{
    TempDrive drive;
    drive.makeInstallation();
    drive.write("my logo.bmp", "picture bytes");
    const CliRun run = runCommand({"install", "switchoff", drive.path("my logo.bmp")});
    EXPECT_EQ(run.code, kExitOk);
    // Installed all the same; the warning is InstallWarning's subject.
    EXPECT_TRUE(run.err.startsWith("vantrel-cli: warning: " + drive.path("my logo.bmp") +
                                   " is not a logo bitmap (13 bytes, expected 129078)"))
        << run.err.toStdString();
    EXPECT_EQ(drive.read("WINDOWS/logos.sys"), "picture bytes");
}

TEST(Cli, InstallReportsTheReasonWhenTheCopyFails)
{
    TempDrive drive;
    const CliRun run = runCommand({"install", "startup", "C:\\missing.bmp"});
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_EQ(run.err, "vantrel-cli: cannot install the startup logo: cannot open C:\\missing.bmp: "
                       "No such file or directory\n");
    EXPECT_FALSE(drive.exists("logo.sys"));
}

TEST(Cli, RestoreWritesTheSlotsMessageWordForWordAndFails)
{
    TempDrive drive;
    CliRun run = runCommand({"restore", "startup"});
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_EQ(run.err, "The startup logo is already set to default.\n");
    run = runCommand({"restore", "shutdown"});
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_EQ(run.err, "Vantrel cannot find the shutdown screen file: Try looking in the vantrel "
                       "directory\n");
}

TEST(Cli, RestoreAllStaysSilentEvenWhenStepsFail)
{
    TempDrive drive;
    drive.write("logo.sys", "custom");
    const CliRun run = runCommand({"restore", "all"});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_TRUE(run.err.isEmpty());
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_FALSE(drive.exists("logo.sys"));
}

TEST(Cli, WhereShowsTheDriveAndEachSlot)
{
    TempDrive drive;
    drive.makeInstallation();
    drive.write("WINDOWS/logow.sys", QByteArray(129078, 'x'));
    const CliRun run = runCommand({"where"});
    EXPECT_EQ(run.code, kExitOk);
    const QStringList lines = run.out.split('\n');
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[0], "drive C:            " + drive.root());
    EXPECT_EQ(lines[1], "Windows directory:  C:\\WINDOWS\\  (" + drive.path("WINDOWS") + ")");
    EXPECT_EQ(lines[3], "startup     C:\\logo.sys            " + drive.path("logo.sys") +
                            "  (not installed: the default)");
    EXPECT_EQ(lines[4], "shutdown    C:\\WINDOWS\\logow.sys   " + drive.path("WINDOWS/logow.sys") +
                            "  (installed, 129078 bytes)");
    EXPECT_EQ(lines[5], "switch-off  C:\\WINDOWS\\logos.sys   " + drive.path("WINDOWS/logos.sys") +
                            "  (missing)");
}

// The installed tool itself: exit codes and streams as a script sees them.
TEST(CliProgram, ExitsWithTheCommandsStatus)
{
    TempDrive drive;
    drive.makeInstallation();
    QProcess cli;
    cli.start(VANTREL_CLI_PATH, {"restore", "startup"});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_EQ(cli.readAllStandardError(), "The startup logo is already set to default.\n");

    cli.start(VANTREL_CLI_PATH, {"restore", "all"});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_EQ(drive.read("WINDOWS/logos.sys"), "stock-s");

    cli.start(VANTREL_CLI_PATH, {});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 2);
}

} // namespace
