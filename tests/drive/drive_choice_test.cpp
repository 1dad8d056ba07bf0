// Which drive is drive C, as `where` and `install` see it, and the drives
// `drives` finds in the emulators' configuration files.

#include "drive/drive_choice.h"
#include "host/system/drive_map.h"
#include "support/cli_run.h"
#include "support/emulator_home.h"
#include "support/scoped_variable.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

// Per-user directories of the test's own, and drive C as the program
// starts without a choice, put back afterwards.
class DriveChoiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        config.set(QFile::encodeName(user.filePath("config")));
        data.set(QFile::encodeName(user.filePath("data")));
        variable.unset();
    }
    void TearDown() override { applyDriveChoice({}); }

    QTemporaryDir user;
    ScopedVariable config{"XDG_CONFIG_HOME"};
    ScopedVariable data{"XDG_DATA_HOME"};
    ScopedVariable variable{"VANTREL_DRIVE_C"};
};

// The line of `drives` that follows `path`'s line by `offset`.
QString lineAfter(const QString &out, const QString &path, int offset)
{
    const QStringList lines = out.split('\n');
    const qsizetype at = lines.indexOf("  path:     " + path);
    return at < 0 || at + offset >= lines.size() ? QString() : lines[at + offset];
}

// Every file below `directory` with its bytes, in one text, to tell that
// nothing changed there.
QByteArray contentsBelow(const QString &directory)
{
    QByteArray all;
    QDirIterator files(directory, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        all += file.fileName().toUtf8() + (file.open(QIODevice::ReadOnly) ? file.readAll() : "?");
    }
    return all;
}

} // namespace

TEST_F(DriveChoiceTest, WhereAndInstallFollowTheOptionThenTheVariableThenTheRememberedDrive)
{
    QTemporaryDir option, set, remembered, gone;
    QFile logo(option.filePath("logo.bmp"));
    ASSERT_TRUE(logo.open(QIODevice::WriteOnly) && logo.write("logo") == 4);
    logo.close();
    const QString defaultDrive = DriveMap::defaultDriveC();
    struct Case {
        bool option, variable;
        QString remembered;
        QString drive, source, warning;
    };
    const Case cases[] = {
        {true, true, remembered.path(), option.path(), "--drive", ""},
        {false, true, remembered.path(), set.path(), "VANTREL_DRIVE_C", ""},
        {false, false, remembered.path(), remembered.path(), "remembered", ""},
        {false, false, "", defaultDrive, "default", ""},
        {false, false, gone.filePath("win98.img"), defaultDrive, "default",
         "vantrel-cli: warning: the remembered drive C " + gone.filePath("win98.img") +
             " is gone; Vantrel uses its own drive C " + defaultDrive + " instead\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.source.toStdString() + " " + c.remembered.toStdString());
        if (c.variable)
            variable.set(QFile::encodeName(set.path()));
        else
            variable.unset();
        QTextStream err(stderr);
        ConsoleHost(err).saveSetting(kDriveSettings, kDriveSection, "C", c.remembered);
        const QStringList before = c.option ? QStringList{"--drive", option.path()} : QStringList{};

        const CliRun where = runCommand(before + QStringList{"where"});
        EXPECT_EQ(where.err, c.warning);
        EXPECT_TRUE(where.out.startsWith("drive C:            " + c.drive))
            << where.out.toStdString();
        EXPECT_TRUE(where.out.endsWith("chosen by:          " + c.source + "\n"));

        const CliRun install =
            runCommand(before + QStringList{"install", "startup", logo.fileName()});
        EXPECT_EQ(install.code, kExitOk) << install.err.toStdString();
        for (const QString &drive : {option.path(), set.path(), remembered.path(), defaultDrive}) {
            EXPECT_EQ(QFile::exists(drive + "/logo.sys"), drive == c.drive) << drive.toStdString();
            QFile::remove(drive + "/logo.sys");
        }
    }
}

TEST_F(DriveChoiceTest, DriveRemembersChecksAndForgets)
{
    const TempImage image(ImageKind::Fat32Disk);
    const QByteArray before = image.bytes();
    const CliRun remembered = runCommand({"drive", image.path() + "@2"});
    EXPECT_EQ(image.bytes(), before);
    EXPECT_EQ(remembered.out, "remembered drive C: " + image.path() + "@2\n");
    EXPECT_EQ(runCommand({"drive"}).out,
              "drive C: " + QFileInfo(image.path()).canonicalFilePath() + "@2  (remembered)\n");
    EXPECT_EQ(runCommand({"drive", image.path() + "@1"}).err.toStdString(),
              ("vantrel-cli: cannot use the disk image " + image.path() +
               ": partition 1 (type 0x83) holds no FAT file system\n")
                  .toStdString());
    EXPECT_EQ(runCommand({"drive", "--forget"}).code, kExitOk);
    EXPECT_EQ(runCommand({"drive"}).out,
              "drive C: " + DriveMap::defaultDriveC() + " (default)\n");
    QTextStream err(stderr);
    ConsoleHost host(err);
    EXPECT_EQ(recentDrives(host), QStringList{image.path() + "@2"});
}

TEST_F(DriveChoiceTest, DrivesListsEachMachineOnceWithItsWindowsDirectory)
{
    const EmulatorHome home;
    const QByteArray before = contentsBelow(home.path());
    const CliRun run = runCommand({"drives"});
    EXPECT_EQ(contentsBelow(home.path()), before);
    EXPECT_EQ(run.code, kExitOk) << run.err.toStdString();
    for (const ExpectedDisk &disk : home.expected()) {
        SCOPED_TRACE(disk.emulator.toStdString());
        EXPECT_EQ(run.out.count("  path:     " + disk.path + "\n"), 1) << run.out.toStdString();
        EXPECT_EQ(lineAfter(run.out, disk.path, -1), disk.machine + "  (" + disk.emulator + ")");
        const bool win9x = disk.emulator == "86Box" || disk.emulator == "PCem";
        EXPECT_EQ(lineAfter(run.out, disk.path, 2),
                  "  Windows:  " + disk.windows +
                      (win9x ? "  (Windows 9x installed)" : "  (no Windows 9x found)"));
    }
    EXPECT_TRUE(lineAfter(run.out, home.qcow2(), 1).contains("qemu-img convert -O raw"));
    EXPECT_FALSE(run.out.contains("gone.img"));
    EXPECT_TRUE(run.out.endsWith("  [in use]\n  path:     " + DriveMap::defaultDriveC() +
                                 "\n  kind:     directory, made on first use\nnot read: " +
                                 home.broken() + ": line 4: Premature end of document.\n"))
        << run.out.toStdString();
}

TEST_F(DriveChoiceTest, AnImageHeldByAnEmulatorIsListedInUseAndRefusedForWriting)
{
    const EmulatorHome home;
    const QString image = home.win98().path();
    const HeldImage held(image, "86Box", Hold::WriteLock);
    const QString holder = QStringLiteral("86Box (process %1)").arg(held.pid());
    const QString path = home.expected().front().path;
    EXPECT_EQ(lineAfter(runCommand({"drives"}).out, path, 4),
              "  held by " + holder + ": shut the machine down before writing to it");
    const CliRun install = runCommand({"--drive", image, "install", "startup", image});
    EXPECT_EQ(install.code, kExitFailed);
    EXPECT_TRUE(install.err.contains("in use by " + holder)) << install.err.toStdString();
}
