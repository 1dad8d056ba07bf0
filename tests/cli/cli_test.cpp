#include "cli/cli.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "support/child_process.h"
#include "support/cli_run.h"
#include "support/fake_host.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vantrel;
using vantrel::test::ChildPrivileges;
using vantrel::test::CliRun;
using vantrel::test::everythingBelow;
using vantrel::test::fileBytes;
using vantrel::test::handOver;
using vantrel::test::runCommand;
using vantrel::test::runInChild;
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
    EXPECT_TRUE(run.err.section('\n', 1, 1).startsWith("usage: vantrel-cli "))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, CliUsage,
    ::testing::Values(
        UsageCase{"none", {}, "vantrel-cli: no command given"},
        UsageCase{"unknown", {"frobnicate"}, "vantrel-cli: unknown command 'frobnicate'"},
        UsageCase{"whereArgs", {"where", "x"}, "vantrel-cli: where takes no arguments"},
        UsageCase{
            "installSlot", {"install", "desktop", "a.bmp"}, "vantrel-cli: unknown slot 'desktop'"},
        UsageCase{
            "installFile", {"install", "startup"}, "vantrel-cli: install takes a slot and a file"},
        UsageCase{
            "restoreSlot", {"restore", "everything"}, "vantrel-cli: unknown slot 'everything'"},
        UsageCase{"restoreNone", {"restore"}, "vantrel-cli: restore takes one slot, or all"},
        // Too many operands, for each command that takes a fixed number
        // (animate, convert, export, undo, setup: in their own tests).
        UsageCase{"installMore",
                  {"install", "startup", "a.bmp", "b.bmp"},
                  "vantrel-cli: install takes a slot and a file"},
        UsageCase{"restoreMore",
                  {"restore", "startup", "shutdown"},
                  "vantrel-cli: restore takes one slot, or all"},
        // Each kind of misuse of an option, worded once for every command.
        UsageCase{"unknownOption", {"where", "-x"}, "vantrel-cli: unknown option '-x'"},
        UsageCase{"flagValue",
                  {"animate", "a", "b", "--reverse=yes"},
                  "vantrel-cli: --reverse takes no value"},
        UsageCase{"programValue", {"--partition"}, "vantrel-cli: --partition needs a value"},
        UsageCase{"emptyDrive",
                  {"--drive=", "where"},
                  "vantrel-cli: --drive takes a directory or disk image"},
        UsageCase{"programOption", {"--bogus", "where"}, "vantrel-cli: unknown option '--bogus'"},
        UsageCase{"endOfOptions", {"restore", "--", "-x"}, "vantrel-cli: unknown slot '-x'"},
        UsageCase{
            "helpAfterEnd", {"where", "--", "--help"}, "vantrel-cli: where takes no arguments"}),
    [](const auto &testCase) { return std::string(testCase.param.name); });

// The usage of every command comes from its row: --help and -h print it,
// and a mistake shows it after the reason.
TEST(Cli, EveryCommandExplainsItselfWithHelp)
{
    for (const QString &command :
         QStringList{"where", "install", "restore", "animate", "check", "convert", "export",
                     "plymouth", "backups", "undo", "setup", "drives", "drive"}) {
        SCOPED_TRACE(command.toStdString());
        const CliRun run = runCommand({command, "--help"});
        EXPECT_EQ(run.code, kExitOk);
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(run.out.startsWith("usage: vantrel-cli " + command)) << run.out.toStdString();
        EXPECT_EQ(runCommand({command, "x", "-h"}).out, run.out);
        const CliRun mistake = runCommand({command, "--frobnicate"});
        EXPECT_EQ(mistake.code, kExitUsage);
        EXPECT_EQ(mistake.err, "vantrel-cli: unknown option '--frobnicate'\n" + run.out);
    }
}

// help2man and the drive's readme read this text: it stays as it is.
TEST(Cli, OverallHelpListsEveryCommand)
{
    const CliRun run = runCommand({"--help"});
    EXPECT_EQ(run.code, kExitOk);
    EXPECT_EQ(
        run.out,
        "usage: vantrel-cli <command> [arguments]\n"
        "\n"
        "commands:\n"
        "  where                               show the drive, the Windows directory and the "
        "slots\n"
        "  install startup|shutdown|switchoff FILE\n"
        "                                      copy FILE into a logo slot\n"
        "  restore startup|shutdown|switchoff|all\n"
        "                                      put the default picture back\n"
        "  animate SOURCE TARGET [--start S] [--reverse]\n"
        "                                      write an animated start-up logo\n"
        "  check FILE...                       tell whether files are logo bitmaps\n"
        "  convert INPUT OUTPUT [options]      make a logo bitmap from any picture\n"
        "  export LOGO OUT.gif [--size WxH] [--delay-ms N] [--cycles K] [--frames DIR]\n"
        "                                      write a logo's animation as a GIF\n"
        "  plymouth LOGO DIR [--name NAME] [options]\n"
        "                                      write a Plymouth theme of a logo\n"
        "  backups [startup|shutdown|switchoff] [--json]\n"
        "                                      list the copies kept of replaced slot files\n"
        "  undo startup|shutdown|switchoff [--to ID|original]\n"
        "                                      put a kept copy back into a slot\n"
        "  setup                               make C:\\vantrel\\ from the drive's own pictures\n"
        "  drives                              list the drives that can be drive C\n"
        "  drive [PATH[@N] | --forget]         show, remember or forget drive C\n"
        "\n"
        "Drive C is the directory in VANTREL_DRIVE_C, or ~/.local/share/vantrel/drive_c.\n"
        "VANTREL_DRIVE_C may also name an emulator's disk image (raw or fixed VHD);\n"
        "--partition N before the command (or VANTREL_DRIVE_C=IMAGE@N) picks partition N.\n"
        "--drive PATH[@N] before the command uses that drive for the one call; 'drive'\n"
        "remembers one.\n"
        "Run 'vantrel-cli <command> --help' for more.\n");
    for (const QStringList &same : {QStringList{"-h"}, {"help", "x"}, {"--partition=0", "--help"}})
        EXPECT_EQ(runCommand(same).out, run.out);
}

// Options in the order given, operands collected on the way, and one
// message for each kind of misuse.
TEST(OptionReader, ReadsOptionsAndOperandsAndNamesEachMisuse)
{
    constexpr auto atEnd = OptionReader::Stop::AtEnd;
    struct Case {
        QStringList arguments;
        OptionReader::Stop stop;
        // Each option as NAME or NAME=VALUE, then "|" and the operands; or
        // the problem.
        const char *read;
    };
    const Case cases[] = {
        {{"a", "--value=x", "b"}, atEnd, "--value=x | a b"},
        {{"a", "--value", "x", "b"}, atEnd, "--value=x | a b"},
        {{"--value", "--flag", "--flag"}, atEnd, "--value=--flag --flag |"},
        {{"--value=a=b", "--value="}, atEnd, "--value=a=b --value= |"},
        {{"-", "--", "--flag", "-h"}, atEnd, "| - --flag -h"},
        {{"--flag", "cmd", "--flag", "--"},
         OptionReader::Stop::AtFirstOperand,
         "--flag | cmd --flag --"},
        {{"--other=1", "--value"}, atEnd, "unknown option '--other=1'"},
        {{"-x"}, atEnd, "unknown option '-x'"},
        {{"a", "--value"}, atEnd, "--value needs a value"},
        {{"--flag="}, atEnd, "--flag takes no value"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QStringList read;
        try {
            OptionReader reader(c.arguments, {{"--flag"}, {"--value", OptionRule::Value}}, c.stop);
            while (const std::optional<Option> option = reader.next())
                read << option->name + (option->name == "--value" ? '=' + option->value : "");
            read << "|" << reader.operands();
        } catch (const UsageError &error) {
            read = QStringList{error.problem()};
        }
        EXPECT_EQ(read.join(' '), QString::fromUtf8(c.read));
    }
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

// The slot's message comes first, word for word as the window shows it;
// the line after it gives the real reason. A start-up slot with no file is
// at its default, which is success; one whose file stays installed fails
// with the reason alone, as "already set to default" would be false.
TEST(Cli, RestoreWritesTheSlotsMessageThenTheReasonAndFails)
{
    struct Case {
        const char *slot;
        ChildPrivileges privileges;
        int code;
        QString out;
        QString err;
    };
    const Case cases[] = {
        {"startup", ChildPrivileges::Keep, kExitOk, restoreFailedMessage(LogoSlot::Startup) + "\n",
         ""},
        {"shutdown", ChildPrivileges::Keep, kExitFailed, "",
         restoreFailedMessage(LogoSlot::Shutdown) +
             "\nvantrel-cli: cannot open C:\\vantrel\\logow.sys: No such file or directory\n"
             "vantrel-cli: C:\\vantrel\\ does not exist; 'vantrel-cli setup' makes it, with the "
             "drive's own pictures as the ones to restore\n"},
        {"switchoff", ChildPrivileges::Keep, kExitFailed, "",
         restoreFailedMessage(LogoSlot::SwitchOff) +
             "\nvantrel-cli: cannot write C:\\WINDOWS\\logos.sys: the file is read-only\n"},
        // The file is there, but the drive is not the user's to change.
        {"startup", ChildPrivileges::Drop, kExitFailed, "",
         "vantrel-cli: cannot delete C:\\logo.sys: Permission denied\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.err.toStdString());
        TempDrive drive;
        drive.makeDirectory("WINDOWS");
        if (QString(c.slot) == "switchoff") {
            drive.makeInstallation();
            drive.write("WINDOWS/logos.sys", "custom");
            QFile::setPermissions(drive.path("WINDOWS/logos.sys"), QFile::ReadOwner);
        }
        // The unprivileged user keeps its copies in a data directory of its own.
        QTemporaryDir dataHome;
        if (c.privileges == ChildPrivileges::Drop) {
            drive.write("logo.sys", "custom");
            handOver(drive.root());
            handOver(dataHome.path());
            QFile::setPermissions(drive.root(), QFile::ReadOwner | QFile::ExeOwner);
        }
        runInChild(
            [&] {
                if (c.privileges == ChildPrivileges::Drop)
                    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
                const CliRun run = runCommand({"restore", c.slot});
                EXPECT_EQ(run.code, c.code);
                EXPECT_EQ(run.err, c.err);
                EXPECT_EQ(run.out, c.out);
            },
            c.privileges);
        QFile::setPermissions(drive.root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

// A source that never ends or never starts fails at once. Run in a child
// with a file size limit and a time limit, so that a fault fails the test
// instead of filling the disk or hanging it.
TEST(Cli, RefusesSourcesThatAreNotRegularFilesAtOnce)
{
    TempDrive drive;
    drive.makeInstallation();
    ASSERT_EQ(::mkfifo(QFile::encodeName(drive.path("pipe")).constData(), 0600), 0);
    const std::pair<QStringList, const char *> cases[] = {
        {{"install", "startup", "/dev/zero"},
         "vantrel-cli: cannot install the startup logo: cannot copy /dev/zero: not a regular "
         "file\n"},
        {{"install", "shutdown", "C:\\pipe"},
         "vantrel-cli: cannot install the shutdown logo: cannot copy C:\\pipe: not a regular "
         "file\n"},
        {{"check", "C:\\pipe"}, "vantrel-cli: cannot measure C:\\pipe: not a regular file\n"},
        {{"animate", "C:\\pipe", "C:\\out.sys"},
         "vantrel-cli: cannot measure C:\\pipe: not a regular file\n"},
    };
    for (const auto &[arguments, err] : cases) {
        SCOPED_TRACE(err);
        // Named again, as clang 14 cannot capture a structured binding.
        const QStringList &command = arguments;
        const char *const expected = err;
        runInChild(
            [&] {
                std::signal(SIGXFSZ, SIG_IGN);
                const struct rlimit limit {
                    1 << 20, 1 << 20
                };
                ::setrlimit(RLIMIT_FSIZE, &limit);
                const CliRun run = runCommand(command);
                EXPECT_EQ(run.code, kExitFailed);
                EXPECT_EQ(run.err, expected);
                EXPECT_EQ(run.out, "");
            },
            ChildPrivileges::Keep, 20);
    }
    EXPECT_FALSE(drive.exists("logo.sys"));
    EXPECT_FALSE(drive.exists("out.sys"));
    EXPECT_FALSE(drive.exists("WINDOWS/logow.sys"));
}

// Each step runs whatever the one before did, as the window's Restore All
// does; unlike the window, each one that failed is reported, and fails.
TEST(Cli, RestoreAllReportsEachStepThatFailedAndFails)
{
    TempDrive drive;
    drive.write("logo.sys", "custom");
    const CliRun run = runCommand({"restore", "all"});
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_EQ(run.err, "vantrel-cli: cannot restore the shutdown logo: cannot open "
                       "C:\\vantrel\\logow.sys: No such file or directory\n"
                       "vantrel-cli: cannot restore the switchoff logo: cannot open "
                       "C:\\vantrel\\logos.sys: No such file or directory\n"
                       "vantrel-cli: C:\\vantrel\\ does not exist; 'vantrel-cli setup' makes it, "
                       "with the drive's own pictures as the ones to restore\n");
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
    EXPECT_EQ(lines[5], "switchoff   C:\\WINDOWS\\logos.sys   " + drive.path("WINDOWS/logos.sys") +
                            "  (missing)");
}

TEST(Cli, WhereReportsWhatInterruptedWritesLeftBesideTheSlots)
{
    TempDrive drive;
    drive.makeInstallation();
    drive.write(".logo.sys.vantrel-Ab12Cd.tmp", "half");
    drive.write("WINDOWS/.LOGOW.SYS.vantrel-xyzXYZ.tmp", "half");
    drive.write("WINDOWS/.logow.sys.123456", "someone else's");
    const CliRun run = runCommand({"where"});
    EXPECT_EQ(run.code, kExitOk);
    const QStringList lines = run.out.split('\n');
    ASSERT_EQ(lines.size(), 10) << run.out.toStdString();
    EXPECT_EQ(lines[6], "left over:          " + drive.path(".logo.sys.vantrel-Ab12Cd.tmp") +
                            "  (from an interrupted write; the next write of logo.sys removes it)");
    EXPECT_EQ(lines[7],
              "left over:          " + drive.path("WINDOWS/.LOGOW.SYS.vantrel-xyzXYZ.tmp") +
                  "  (from an interrupted write; the next write of LOGOW.SYS removes it)");
    EXPECT_EQ(lines[8], "chosen by:          VANTREL_DRIVE_C");
    EXPECT_EQ(lines[9], "");
}

// Takes bytes and fails every write, as a full disk does.
class FullDevice : public QIODevice {
public:
    FullDevice() { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64) override
    {
        setErrorString(QStringLiteral("No space left on device"));
        return -1;
    }
};

// What a command prints must reach its reader; when it cannot, that is
// the command's failure, reported on standard error.
TEST(Cli, ReportsAFailedWriteOfStandardOutputAndFails)
{
    TempDrive drive;
    drive.makeInstallation();
    drive.write("logo.bmp", QByteArray(129078, 'x'));
    const QStringList commands[] = {{"where"},
                                    {"--help"},
                                    {"where", "--help"},
                                    {"install", "-h"},
                                    {"animate", "--help"},
                                    {"check", "C:\\logo.bmp"}};
    for (const QStringList &command : commands) {
        SCOPED_TRACE(command.join(' ').toStdString());
        FullDevice full;
        QString errors;
        QTextStream out(&full);
        QTextStream err(&errors);
        ConsoleHost host(err);
        CliContext context{host, out, err};
        EXPECT_EQ(runCli(command, context), kExitFailed);
        EXPECT_TRUE(errors.endsWith("vantrel-cli: write error: No space left on device\n"))
            << errors.toStdString();
    }
}

TEST(Cli, DecodesArgumentsAsUtf8AndNamesTheBytesOfOneThatIsNot)
{
    struct Case {
        std::vector<const char *> argv;
        QStringList arguments;
        const char *problem;
    };
    const Case cases[] = {
        {{"vantrel-cli", "check", "caf\xc3\xa9.bmp"},
         {"check", QString::fromUtf8("caf\xc3\xa9.bmp")},
         ""},
        {{"vantrel-cli", "check", "\xff.bmp"},
         {},
         "argument 2 is not valid UTF-8: $'\\xff.bmp'; nothing was done"},
        {{"vantrel-cli", "install", "startup", "C:\\pics\\\xc0\x80"},
         {},
         "argument 3 is not valid UTF-8: $'C:\\\\pics\\\\\\xc0\\x80'; nothing was done"},
        {{"vantrel-cli", "\xed\xa0\x80"},
         {},
         "argument 1 is not valid UTF-8: $'\\xed\\xa0\\x80'; nothing was done"},
        // A byte order mark is part of the name, not a mark to drop.
        {{"vantrel-cli", "check", "\xef\xbb\xbflogo.bmp"},
         {"check", QString(QChar(0xfeff)) + "logo.bmp"},
         ""},
    };
    for (const Case &c : cases) {
        const DecodedArguments decoded = decodeArguments(int(c.argv.size()), c.argv.data());
        EXPECT_EQ(decoded.arguments, c.arguments);
        EXPECT_EQ(decoded.problem, QString::fromUtf8(c.problem));
    }
}

// The installed tool run with arguments as raw bytes, in `directory`, with
// drive C and the data directory as given (an empty drive means unset).
struct ProgramRun {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

ProgramRun runProgram(const std::vector<QByteArray> &arguments, const QString &directory,
                      const std::optional<QByteArray> &driveC, const QString &dataHome)
{
    QTemporaryDir streams;
    std::vector<QByteArray> environment;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const QByteArray variable(*entry);
        if (!variable.startsWith("VANTREL_DRIVE_C=") && !variable.startsWith("XDG_DATA_HOME="))
            environment.push_back(variable);
    }
    if (driveC)
        environment.push_back("VANTREL_DRIVE_C=" + *driveC);
    environment.push_back("XDG_DATA_HOME=" + QFile::encodeName(dataHome));
    std::vector<char *> envp;
    for (QByteArray &variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::vector<QByteArray> argvBytes{VANTREL_CLI_PATH};
    argvBytes.insert(argvBytes.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (QByteArray &argument : argvBytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const QByteArray outPath = QFile::encodeName(streams.path() + "/out");
    const QByteArray errPath = QFile::encodeName(streams.path() + "/err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(), O_WRONLY | O_CREAT, 0600);
    const QByteArray where = QFile::encodeName(directory);
    posix_spawn_file_actions_addchdir_np(&actions, where.constData());
    ProgramRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = fileBytes(QFile::decodeName(outPath));
    run.err = fileBytes(QFile::decodeName(errPath));
    return run;
}

// A name that is not UTF-8 is refused before anything happens: not read
// as the file called U+FFFD, not created as one, no drive made.
TEST(CliProgram, RefusesANameThatIsNotUtf8AndTouchesNothing)
{
    struct Case {
        std::vector<QByteArray> arguments;
        const char *err;
    };
    const Case cases[] = {
        {{"check", "\xff.bmp"},
         "vantrel-cli: argument 2 is not valid UTF-8: $'\\xff.bmp'; nothing was done\n"},
        {{"animate", "logo.bmp", "\xff.sys"},
         "vantrel-cli: argument 3 is not valid UTF-8: $'\\xff.sys'; nothing was done\n"},
        {{"install", "startup", "\xfe"},
         "vantrel-cli: argument 3 is not valid UTF-8: $'\\xfe'; nothing was done\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.err);
        QTemporaryDir here;
        QTemporaryDir data;
        QFile damaged(here.path() + QString::fromUtf8("/\xef\xbf\xbd.bmp"));
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(129078, 'x'));
        damaged.close();
        QFile logo(here.path() + "/logo.bmp");
        ASSERT_TRUE(logo.open(QIODevice::WriteOnly));
        logo.write(QByteArray(129078, 'x'));
        logo.close();

        const ProgramRun run = runProgram(c.arguments, here.path(), std::nullopt, data.path());
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(everythingBelow(here.path()),
                  (QStringList{"logo.bmp", QString::fromUtf8("\xef\xbf\xbd.bmp")}));
        EXPECT_EQ(everythingBelow(data.path()), QStringList{});
    }
}

// A name that begins with a byte order mark names that file, not the one
// without the mark.
TEST(CliProgram, KeepsAByteOrderMarkAtTheStartOfAName)
{
    QTemporaryDir here;
    QTemporaryDir data;
    QFile logo(here.path() + "/logo.bmp");
    ASSERT_TRUE(logo.open(QIODevice::WriteOnly));
    logo.write(QByteArray(129078, 'x'));
    logo.close();

    const ProgramRun run =
        runProgram({"check", "\xef\xbb\xbflogo.bmp"}, here.path(), std::nullopt, data.path());
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "vantrel-cli: cannot find \xef\xbb\xbflogo.bmp: No such file or directory\n");
}

// Commands that only ask never make the default drive; `where` says that
// the first command to change something will.
TEST(CliProgram, MakesTheDefaultDriveOnlyForCommandsThatChangeSomething)
{
    const std::vector<std::vector<QByteArray>> asking{
        {"--help"},
        {"where"},
        {"where", "--help"},
        {"check", "C:\\logo.sys"},
        {"install", "--help"},
        {"restore", "-h"},
        {"animate", "--help"},
        {"animate", "logo.bmp", "/nowhere/out.bmp"},
        {"install", "startup"},
        {"frobnicate"},
        {"backups"},
        {"backups", "startup"},
        {"undo", "--help"},
        {"undo", "startup", "--to", "x"},
        {"setup", "-h"},
    };
    QTemporaryDir here;
    for (const auto &arguments : asking) {
        SCOPED_TRACE(arguments[0].constData());
        QTemporaryDir data;
        const ProgramRun run = runProgram(arguments, here.path(), std::nullopt, data.path());
        EXPECT_EQ(everythingBelow(data.path()), QStringList{});
        if (arguments == std::vector<QByteArray>{"where"}) {
            EXPECT_EQ(run.code, 0);
            EXPECT_TRUE(run.out.startsWith("drive C:            " + QFile::encodeName(data.path()) +
                                           "/vantrel/drive_c  (does not exist yet: it is made on "
                                           "first use)\n"))
                << run.out.constData();
        }
    }
    for (const std::vector<QByteArray> &changing : {std::vector<QByteArray>{"restore", "all"},
                                                    {"setup"},
                                                    {"undo", "startup"},
                                                    {"animate", "logo.bmp", "c:\\out.bmp"}}) {
        SCOPED_TRACE(changing[0].constData());
        QTemporaryDir data;
        runProgram(changing, here.path(), std::nullopt, data.path());
        EXPECT_TRUE(QFileInfo(data.path() + "/vantrel/drive_c/WINDOWS/logow.sys").isFile());
    }
}

TEST(CliProgram, RefusesAnEmptyDriveVariableInsteadOfUsingTheDefaultDrive)
{
    QTemporaryDir here;
    QTemporaryDir data;
    QFile picture(here.path() + "/pic.bmp");
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.close();
    const ProgramRun run =
        runProgram({"install", "startup", "pic.bmp"}, here.path(), QByteArray(), data.path());
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "vantrel-cli: cannot install the startup logo: VANTREL_DRIVE_C is set but "
                       "empty: set it to the directory that stands for drive C:, or unset it\n");
    EXPECT_EQ(everythingBelow(data.path()), QStringList{});
    EXPECT_EQ(everythingBelow(here.path()), QStringList{"pic.bmp"});
}

TEST(CliProgram, FailsWhenStandardOutputCannotBeWritten)
{
    TempDrive drive;
    drive.makeInstallation();
    ASSERT_TRUE(QFileInfo("/dev/full").exists());
    QProcess cli;
    cli.setStandardOutputFile("/dev/full");
    cli.start(VANTREL_CLI_PATH, {"where"});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_EQ(cli.readAllStandardError(), "vantrel-cli: write error: No space left on device\n");
}

// The installed tool itself: exit codes and streams as a script sees them.
TEST(CliProgram, ExitsWithTheCommandsStatus)
{
    TempDrive drive;
    drive.makeInstallation();
    QProcess cli;
    cli.start(VANTREL_CLI_PATH, {"restore", "startup"});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_EQ(cli.readAllStandardOutput(), restoreFailedMessage(LogoSlot::Startup).toUtf8() + "\n");
    EXPECT_EQ(cli.readAllStandardError(), "");

    cli.start(VANTREL_CLI_PATH, {"restore", "all"});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_EQ(drive.read("WINDOWS/logos.sys"), "stock-s");

    ASSERT_TRUE(QFile::remove(drive.path("vantrel/logow.sys")));
    cli.start(VANTREL_CLI_PATH, {"restore", "shutdown"});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_TRUE(cli.readAllStandardError().startsWith(
        restoreFailedMessage(LogoSlot::Shutdown).toUtf8() + "\nvantrel-cli: cannot open "));

    cli.start(VANTREL_CLI_PATH, {});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 2);
}

} // namespace
