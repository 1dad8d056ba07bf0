// vantrel-cli backups, undo and setup, on a drive like a copy of a real
// Windows 98 disk.

#include "cli/cli.h"
#include "drive/default_drive.h"
#include "drive/stock_art.h"
#include "logo/backups.h"
#include "support/cli_run.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/logo_bytes.h"
#include "support/scoped_variable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace vantrel;
using vantrel::test::CliRun;
using vantrel::test::everythingBelow;
using vantrel::test::FakeHost;
using vantrel::test::LogoBytes;
using vantrel::test::runCommand;
using vantrel::test::ScopedVariable;
using vantrel::test::TempDrive;

namespace {

QString sha256(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString id(const QByteArray &bytes)
{
    return sha256(bytes).left(8);
}

// The listing with each time written as TIME, after checking that it is
// one.
QString withoutTimes(const QString &listing)
{
    static const QRegularExpression time(
        QStringLiteral("\\b\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\b"));
    return QString(listing).replace(time, QStringLiteral("TIME"));
}

// A copy of a real Windows 98 disk: upper-case names, its own LOGO.SYS (a
// logo bitmap) and LOGOW.SYS, and no C:\VANTREL\; with a data directory of
// its own for the copies.
struct Disk {
    Disk()
    {
        original.setColour(0, 0x12, 0x34, 0x56);
        dataHome.set(QFile::encodeName(data.path()));
        drive.write("LOGO.SYS", original.bytes());
        drive.write("WINDOWS/LOGOW.SYS", ownShutdown);
        drive.write("A.BMP", "picture A");
        drive.write("B.BMP", "picture B");
    }

    QString kept(LogoSlot slot)
    {
        FakeHost host;
        return slotBackupDirectory(host, slot, installedPath(slot, "C:\\WINDOWS\\"));
    }

    LogoBytes original;
    const QByteArray ownShutdown = "the disk's own shutdown picture";
    QTemporaryDir data;
    ScopedVariable dataHome{"XDG_DATA_HOME"};
    TempDrive drive;
};

struct UsageCase {
    const char *name;
    QStringList arguments;
    const char *firstLine;
};

class BackupCommandUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(BackupCommandUsage, IsAUsageErrorWithExitTwoThatChangesNothing)
{
    Disk disk;
    const CliRun run = runCommand(GetParam().arguments);
    EXPECT_EQ(run.code, kExitUsage);
    EXPECT_EQ(run.err.section('\n', 0, 0), QString::fromUtf8(GetParam().firstLine));
    EXPECT_TRUE(run.err.section('\n', 1, 1)
                    .startsWith("usage: vantrel-cli " + GetParam().arguments.first()))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(everythingBelow(disk.drive.root()),
              (QStringList{"A.BMP", "B.BMP", "LOGO.SYS", "WINDOWS", "WINDOWS/LOGOW.SYS"}));
    EXPECT_EQ(everythingBelow(disk.data.path()), QStringList{});
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, BackupCommandUsage,
    ::testing::Values(
        UsageCase{"backupsTwo",
                  {"backups", "startup", "shutdown"},
                  "vantrel-cli: backups takes at most one slot"},
        UsageCase{"backupsSlot", {"backups", "desktop"}, "vantrel-cli: unknown slot 'desktop'"},
        UsageCase{"undoNone", {"undo"}, "vantrel-cli: undo takes one slot"},
        UsageCase{"undoTwo", {"undo", "startup", "shutdown"}, "vantrel-cli: undo takes one slot"},
        UsageCase{"undoSlot", {"undo", "all"}, "vantrel-cli: unknown slot 'all'"},
        UsageCase{"undoToNothing", {"undo", "startup", "--to"}, "vantrel-cli: --to needs a value"},
        UsageCase{"undoToWord",
                  {"undo", "startup", "--to", "latest"},
                  "vantrel-cli: --to takes a copy id of 4 to 64 hex digits, as 'vantrel-cli "
                  "backups' lists them, or original, not 'latest'"},
        UsageCase{"undoToShort",
                  {"undo", "startup", "--to=abc"},
                  "vantrel-cli: --to takes a copy id of 4 to 64 hex digits, as 'vantrel-cli "
                  "backups' lists them, or original, not 'abc'"},
        UsageCase{
            "undoOption", {"undo", "startup", "--all"}, "vantrel-cli: unknown option '--all'"},
        UsageCase{"setupArguments", {"setup", "C:\\"}, "vantrel-cli: setup takes no arguments"}),
    [](const auto &testCase) { return std::string(testCase.param.name); });

// Change, Change, Restore and Restore All in a row: each content the slot
// held is listed once, newest first, the disk's own as the original; undo
// brings back exact bytes and can itself be undone.
TEST(BackupCommands, ListAndUndoWhatTheSlotOperationsReplaced)
{
    Disk disk;
    const QByteArray original = disk.original.bytes();
    for (const QStringList &command : {QStringList{"install", "startup", "C:\\a.bmp"},
                                       {"install", "startup", "C:\\b.bmp"},
                                       {"install", "shutdown", "C:\\a.bmp"},
                                       {"restore", "startup"},
                                       {"restore", "all"}}) {
        const CliRun run = runCommand(command);
        EXPECT_EQ(run.out, "") << command.join(' ').toStdString();
    }
    ASSERT_FALSE(disk.drive.exists("LOGO.SYS"));

    const CliRun listing = runCommand({"backups"});
    EXPECT_EQ(listing.code, kExitOk);
    EXPECT_EQ(listing.err, "");
    EXPECT_EQ(withoutTimes(listing.out),
              "startup  C:\\logo.sys  (kept in " + disk.kept(LogoSlot::Startup) + ")\n" + "  " +
                  id("picture B") + "  TIME          9 bytes  restore      not-logo\n" + "  " +
                  id("picture A") + "  TIME          9 bytes  change       not-logo\n" + "  " +
                  id(original) + "  TIME     129078 bytes  change       logo  original\n" +
                  "shutdown  C:\\WINDOWS\\logow.sys  (kept in " + disk.kept(LogoSlot::Shutdown) +
                  ")\n" + "  " + id(disk.ownShutdown) +
                  "  TIME         31 bytes  change       not-logo  original\n" +
                  "switchoff  C:\\WINDOWS\\logos.sys  (kept in " + disk.kept(LogoSlot::SwitchOff) +
                  ")\n" + "  nothing kept yet\n");

    const CliRun toOriginal = runCommand({"undo", "startup", "--to", "original"});
    EXPECT_EQ(toOriginal.code, kExitOk);
    EXPECT_EQ(toOriginal.err, "");
    EXPECT_EQ(withoutTimes(toOriginal.out),
              "put back " + id(original) +
                  " (kept TIME, replaced by change) into the startup slot\n");
    EXPECT_EQ(sha256(disk.drive.read("logo.sys")), sha256(original));

    // Each undo keeps what it replaces as the newest copy, so the next one
    // takes it back. The slot was empty before the first, which kept nothing.
    const char *const sequence[][2] = {
        {"picture B", "restore"}, {"the original", "undo"}, {"picture B", "undo"}};
    for (const auto &[expected, operation] : sequence) {
        SCOPED_TRACE(expected);
        const CliRun undo = runCommand({"undo", "startup"});
        EXPECT_EQ(undo.code, kExitOk);
        const QByteArray bytes = QByteArray(expected) == "the original" ? original : expected;
        EXPECT_EQ(withoutTimes(undo.out), "put back " + id(bytes) + " (kept TIME, replaced by " +
                                              operation + ") into the startup slot\n");
        EXPECT_EQ(sha256(disk.drive.read("logo.sys")), sha256(bytes));
    }

    const CliRun again = runCommand({"undo", "startup", "--to", id("picture B").toUpper()});
    EXPECT_EQ(again.code, kExitOk);
    EXPECT_EQ(withoutTimes(again.out), "the startup slot holds " + id("picture B") +
                                           " (kept TIME, replaced by undo) already; nothing "
                                           "changed\n");

    const CliRun one = runCommand({"backups", "STARTUP"});
    EXPECT_EQ(withoutTimes(one.out),
              "startup  C:\\logo.sys  (kept in " + disk.kept(LogoSlot::Startup) + ")\n" + "  " +
                  id(original) + "  TIME     129078 bytes  undo         logo  original\n" + "  " +
                  id("picture B") + "  TIME          9 bytes  undo         not-logo\n" + "  " +
                  id("picture A") + "  TIME          9 bytes  change       not-logo\n");
}

TEST(BackupCommands, UndoFailsWithTheReasonAndLeavesTheSlot)
{
    struct Case {
        QStringList arguments;
        std::function<QString(Disk &)> err;
    };
    const Case cases[] = {
        {{"undo", "switchoff"},
         [](Disk &) {
             return QStringLiteral("vantrel-cli: cannot undo the switchoff logo: no copy of the "
                                   "switchoff logo is kept yet\n");
         }},
        {{"undo", "startup", "--to", "0000"},
         [](Disk &) {
             return QStringLiteral("vantrel-cli: cannot undo the startup logo: no copy 0000 of "
                                   "the startup logo is kept\n");
         }},
        {{"undo", "shutdown", "--to", "original"},
         [](Disk &) {
             return QStringLiteral("vantrel-cli: cannot undo the shutdown logo: no copy of the "
                                   "shutdown logo is kept yet\n");
         }},
        {{"undo", "--to=0000", "startup"},
         [](Disk &) {
             return QStringLiteral("vantrel-cli: cannot undo the startup logo: no copy 0000 of "
                                   "the startup logo is kept\n");
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        Disk disk;
        ASSERT_EQ(runCommand({"install", "startup", "C:\\a.bmp"}).code, kExitOk);
        const CliRun run = runCommand(c.arguments);
        EXPECT_EQ(run.code, kExitFailed);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.err(disk));
        EXPECT_EQ(disk.drive.read("LOGO.SYS"), "picture A");
    }
}

// A damaged copy is listed as such, in words and in JSON, and a plain undo
// passes over it to the next good copy.
TEST(BackupCommands, ListADamagedCopyAndUndoPassesOverIt)
{
    Disk disk;
    ASSERT_EQ(runCommand({"install", "startup", "C:\\a.bmp"}).code, kExitOk);
    ASSERT_EQ(runCommand({"install", "startup", "C:\\b.bmp"}).code, kExitOk);
    QFile copy(disk.kept(LogoSlot::Startup) + '/' + sha256("picture A") + ".sys");
    ASSERT_TRUE(copy.open(QIODevice::ReadWrite));
    copy.write("X");
    copy.close();

    const CliRun json = runCommand({"backups", "startup", "--json"});
    const QJsonObject slot = QJsonDocument::fromJson(json.out.toUtf8())["slots"][0].toObject();
    EXPECT_EQ(slot["path"].toString() + ' ' + slot["directory"].toString(),
              "C:\\logo.sys " + disk.kept(LogoSlot::Startup));
    const QJsonArray copies = slot["copies"].toArray();
    ASSERT_EQ(copies.size(), 2);
    const QJsonObject damaged = copies[0].toObject();
    EXPECT_EQ(QStringList(damaged.keys()).join(' '),
              "bytes id kept operation original problem sha256 state");
    EXPECT_EQ(damaged["id"].toString() + ' ' + damaged["state"].toString() + ": " +
                  damaged["problem"].toString(),
              id("picture A") + " damaged: its bytes no longer match what was kept");
    EXPECT_EQ(copies[1]["state"].toString(), "logo");
    EXPECT_TRUE(copies[1]["original"].toBool());
    EXPECT_TRUE(runCommand({"backups", "startup"}).out.contains("change       damaged\n"));

    const CliRun undo = runCommand({"undo", "startup"});
    EXPECT_EQ(undo.code, kExitOk);
    EXPECT_EQ(withoutTimes(undo.out),
              "skipped " + id("picture A") + ": its bytes no longer match what was kept\n" +
                  "put back " + id(disk.original.bytes()) +
                  " (kept TIME, replaced by change) into the startup slot\n");
    EXPECT_EQ(disk.drive.read("LOGO.SYS"), disk.original.bytes());
}

// Starts the real vantrel-cli with `arguments`, its output thrown away,
// and returns its process id.
pid_t startCli(const QStringList &arguments)
{
    std::vector<QByteArray> bytes{VANTREL_CLI_PATH};
    for (const QString &argument : arguments)
        bytes.push_back(argument.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Processes that change one slot at the same moment each keep what they
// replace: no record is lost to another's write of the index, and the
// slot holds one whole logo. Each round's logos are new, so that a lost
// record cannot come back with a later round; 4 x 5 of them fit in what
// is kept of a slot.
TEST(BackupCommands, ProcessesChangingOneSlotAtOnceLoseNoCopy)
{
    constexpr int kProcesses = 4;
    constexpr int kRounds = 5;
    Disk disk;
    std::set<QString> installed;
    std::set<QString> replaced{sha256(disk.original.bytes())};
    for (int round = 0; round < kRounds; ++round) {
        std::vector<pid_t> children;
        for (int process = 0; process < kProcesses; ++process) {
            LogoBytes logo;
            logo.setColour(1, std::uint8_t(round), std::uint8_t(process), 7);
            const QString name = QStringLiteral("L%1%2.BMP").arg(round).arg(process);
            disk.drive.write(name, logo.bytes());
            installed.insert(sha256(logo.bytes()));
            children.push_back(startCli({"install", "startup", "C:\\" + name}));
        }
        for (const pid_t child : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
    }
    const QString now = sha256(disk.drive.read("LOGO.SYS"));
    ASSERT_TRUE(installed.count(now)) << "the slot holds no whole logo";
    std::set_difference(installed.begin(), installed.end(), &now, &now + 1,
                        std::inserter(replaced, replaced.end()));
    FakeHost host;
    std::set<QString> listed;
    for (const KeptCopy &copy : keptCopies(host, LogoSlot::Startup, "C:\\logo.sys"))
        listed.insert(copy.sha256);
    EXPECT_EQ(listed, replaced);
}

// What setup makes, on a bare drive, on one with the disk's own shutdown
// picture, and on one that has its C:\VANTREL\ already.
TEST(SetupCommand, MakesTheProgramDirectoryFromTheDrivesOwnPicturesOnly)
{
    struct Case {
        const char *name;
        std::function<void(TempDrive &)> prepare;
        QStringList out;
        const char *err;
        QStringList entries;
        QByteArray logow;
        QByteArray logos;
    };
    const QByteArray own = "the disk's own shutdown picture";
    const Case cases[] = {
        {"bare drive",
         [](TempDrive &) {},
         {"made C:\\vantrel\\  (@/vantrel)",
          "made C:\\vantrel\\logow.sys  (Vantrel's stock shutdown picture: the drive has none)",
          "made C:\\vantrel\\logos.sys  (Vantrel's stock switchoff picture: the drive has none)",
          "made C:\\vantrel\\readme.txt"},
         "",
         {"vantrel", "vantrel/logos.sys", "vantrel/logow.sys", "vantrel/readme.txt"},
         shutdownPicture(),
         switchOffPicture()},
        {"the disk's own LOGOW.SYS",
         [&](TempDrive &drive) {
             drive.write("WINDOWS/LOGOW.SYS", own);
             drive.write("LOGO.SYS", "start-up");
         },
         {"made C:\\vantrel\\  (@/vantrel)",
          "made C:\\vantrel\\logow.sys  (a copy of C:\\WINDOWS\\logow.sys, the drive's own "
          "shutdown picture)",
          "made C:\\vantrel\\logos.sys  (Vantrel's stock switchoff picture: the drive has none)",
          "made C:\\vantrel\\readme.txt"},
         "",
         {"LOGO.SYS", "WINDOWS", "WINDOWS/LOGOW.SYS", "vantrel", "vantrel/logos.sys",
          "vantrel/logow.sys", "vantrel/readme.txt"},
         own,
         switchOffPicture()},
        {"a C:\\VANTREL\\ of its own",
         [&](TempDrive &drive) {
             drive.write("WINDOWS/LOGOW.SYS", own);
             drive.write("VANTREL/LOGOW.SYS", "kept by the user");
         },
         {"C:\\vantrel\\ is there already  (@/VANTREL); setup leaves it as it is"},
         "vantrel-cli: warning: C:\\vantrel\\logos.sys is missing, so restoring the switchoff "
         "slot cannot work\n",
         {"VANTREL", "VANTREL/LOGOW.SYS", "WINDOWS", "WINDOWS/LOGOW.SYS"},
         "kept by the user",
         "(none)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDrive drive;
        c.prepare(drive);
        const QStringList before = everythingBelow(drive.root());
        const CliRun run = runCommand({"setup"});
        EXPECT_EQ(run.code, kExitOk);
        EXPECT_EQ(run.out, c.out.join('\n').replace("@", drive.root()) + '\n');
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(everythingBelow(drive.root()), c.entries);
        const auto stock = [&](const QString &name) {
            for (const char *directory : {"vantrel", "VANTREL"}) {
                for (const QString &spelling : {name, name.toUpper()}) {
                    if (drive.exists(directory + ('/' + spelling)))
                        return drive.read(directory + ('/' + spelling));
                }
            }
            return QByteArray("(none)");
        };
        EXPECT_EQ(sha256(stock("logow.sys")), sha256(c.logow));
        EXPECT_EQ(sha256(stock("logos.sys")), sha256(c.logos));
        if (drive.exists("vantrel/readme.txt")) {
            EXPECT_EQ(drive.read("vantrel/readme.txt"), readmeText());
        }
        // The slots are never touched, and running it again changes nothing.
        EXPECT_EQ(before.filter(QRegularExpression("^(WINDOWS|LOGO)")),
                  everythingBelow(drive.root()).filter(QRegularExpression("^(WINDOWS|LOGO)")));
        const QStringList after = everythingBelow(drive.root());
        EXPECT_EQ(runCommand({"setup"}).code, kExitOk);
        EXPECT_EQ(everythingBelow(drive.root()), after);
    }
}

// With C:\vantrel\ made, Restore puts the disk's own picture back.
TEST(SetupCommand, LetsRestorePutTheDisksOwnPictureBack)
{
    Disk disk;
    EXPECT_EQ(runCommand({"restore", "shutdown"}).code, kExitFailed);
    ASSERT_EQ(runCommand({"setup"}).code, kExitOk);
    ASSERT_EQ(runCommand({"install", "shutdown", "C:\\a.bmp"}).code, kExitOk);
    const CliRun restore = runCommand({"restore", "shutdown"});
    EXPECT_EQ(restore.code, kExitOk);
    EXPECT_EQ(restore.err, "");
    EXPECT_EQ(disk.drive.read("WINDOWS/LOGOW.SYS"), disk.ownShutdown);
}

TEST(SetupCommand, FailsWhenDriveCIsNotADirectory)
{
    QTemporaryDir here;
    ScopedVariable driveC("VANTREL_DRIVE_C", QFile::encodeName(here.path() + "/missing"));
    const CliRun run = runCommand({"setup"});
    EXPECT_EQ(run.code, kExitFailed);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "vantrel-cli: cannot set up drive C: drive C: " + here.path() +
                           "/missing is not a directory\n");
    EXPECT_EQ(everythingBelow(here.path()), QStringList{});
}

} // namespace
