// Drive C as an emulator's disk image: the host's file services, the slot
// commands and the console tool on each kind of image, read back with
// mtools and checked with fsck.fat after every write.

#include "host/disk/image_files.h"
#include "host/disk/mtools_drive.h"
#include "host/system/drive_map.h"
#include "host/system/system_host.h"
#include "logo/backups.h"
#include "support/child_process.h"
#include "support/cli_run.h"
#include "support/disk_images.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/host_error.h"
#include "support/logo_bytes.h"
#include "support/scoped_variable.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vantrel;
using vantrel::test::CliRun;
using vantrel::test::FakeHost;
using vantrel::test::HeldImage;
using vantrel::test::Hold;
using vantrel::test::hostError;
using vantrel::test::hostErrorKind;
using vantrel::test::ImageKind;
using vantrel::test::LogoBytes;
using vantrel::test::runCommand;
using vantrel::test::ScopedVariable;
using vantrel::test::TempImage;

namespace {

constexpr ImageKind kAllKinds[] = {ImageKind::Fat16Disk, ImageKind::Fat32Disk,
                                   ImageKind::Superfloppy, ImageKind::FixedVhd};

std::span<const std::uint8_t> bytesOf(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())};
}

// An image that is drive C for as long as it lives, with native files
// beside it for the sources and copies.
struct ImageDrive {
    explicit ImageDrive(ImageKind kind)
        : image(kind), variable("VANTREL_DRIVE_C", QFile::encodeName(image.path()))
    {}

    QString native(const QString &name) const { return files.filePath(name); }
    QString write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(native(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write a test file");
        file.write(bytes);
        return native(name);
    }
    QByteArray read(const QString &name) const { return test::fileBytes(native(name)); }

    TempImage image;
    ScopedVariable variable;
    QTemporaryDir files;
};

#define EXPECT_CLEAN(image) EXPECT_EQ((image).fsckProblems(), QString())

// Install, restore and restore all through the console tool, on every kind
// of image: each step read back with mtools and the volume checked.
TEST(ImageDrive, InstallsAndRestoresEverySlotOnEachKind)
{
    for (const ImageKind kind : kAllKinds) {
        SCOPED_TRACE(test::kindName(kind));
        ImageDrive drive(kind);
        drive.image.makeInstallation();
        LogoBytes logo;
        const QByteArray picture = logo.bytes();
        const QString source = drive.write("sky.bmp", picture);

        struct Step {
            QStringList command;
            std::optional<QByteArray> startup, shutdown, switchOff;
        };
        const Step steps[] = {
            {{"install", "startup", source}, picture, std::nullopt, std::nullopt},
            {{"install", "shutdown", source}, picture, picture, std::nullopt},
            {{"install", "switchoff", source}, picture, picture, picture},
            {{"restore", "startup"}, std::nullopt, picture, picture},
            {{"restore", "shutdown"}, std::nullopt, QByteArray("stock-w"), picture},
            {{"install", "startup", source}, picture, QByteArray("stock-w"), picture},
            {{"restore", "all"}, std::nullopt, QByteArray("stock-w"), QByteArray("stock-s")},
        };
        for (const Step &step : steps) {
            SCOPED_TRACE(step.command.join(' ').toStdString());
            const CliRun run = runCommand(step.command);
            EXPECT_EQ(run.code, 0) << run.err.toStdString();
            EXPECT_EQ(drive.image.read("/logo.sys"), step.startup);
            EXPECT_EQ(drive.image.read("/WINDOWS/logow.sys"), step.shutdown);
            EXPECT_EQ(drive.image.read("/WINDOWS/logos.sys"), step.switchOff);
            EXPECT_CLEAN(drive.image);
        }
        EXPECT_EQ(drive.image.names("/"), (QStringList{"WINDOWS/", "vantrel/"}));
        EXPECT_EQ(drive.image.names("/WINDOWS"), (QStringList{"logos.sys", "logow.sys"}));
    }
}

// The slot files of an image are kept outside it like any drive's, under
// the image's own name, and come back byte for byte.
TEST(ImageDrive, KeepsEveryReplacedSlotFileAndUndoesIntoTheImage)
{
    for (const ImageKind kind : {ImageKind::Fat16Disk, ImageKind::Superfloppy}) {
        SCOPED_TRACE(test::kindName(kind));
        ImageDrive drive(kind);
        drive.image.makeInstallation();
        drive.image.write("/WINDOWS/LOGOW.SYS", "the disk's own");
        const QString first = drive.write("first.sys", "the first picture");
        const QString second = drive.write("second.sys", "the second picture");
        for (const QStringList &command :
             {QStringList{"install", "startup", first}, QStringList{"install", "startup", second},
              QStringList{"install", "shutdown", second}}) {
            const CliRun run = runCommand(command);
            ASSERT_EQ(run.code, 0) << run.err.toStdString();
        }

        const CliRun list = runCommand({"backups"});
        EXPECT_EQ(list.code, 0) << list.err.toStdString();
        EXPECT_EQ(list.out.count(QStringLiteral("  change  ")), 2) << list.out.toStdString();
        // One drive directory names this image and its partition.
        const QDir backups(qEnvironmentVariable("XDG_DATA_HOME") + "/vantrel/backups");
        const QByteArray identity =
            QFile::encodeName(QFileInfo(drive.image.path()).canonicalFilePath() + '@');
        int naming = 0;
        for (const QString &key : backups.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            naming += test::fileBytes(backups.filePath(key + "/index.json")).contains(identity);
        }
        EXPECT_EQ(naming, 1);

        const CliRun undo = runCommand({"undo", "startup", "--to", "original"});
        EXPECT_EQ(undo.code, 0) << undo.err.toStdString();
        EXPECT_EQ(drive.image.read("/logo.sys"), QByteArray("the first picture"));
        EXPECT_EQ(runCommand({"undo", "shutdown"}).code, 0);
        EXPECT_EQ(drive.image.read("/WINDOWS/logow.sys"), QByteArray("the disk's own"));
        EXPECT_EQ(drive.image.names("/WINDOWS"), QStringList{"LOGOW.SYS"});
        EXPECT_CLEAN(drive.image);
    }
}

// The animation maker's work with the target inside the image: the same
// bytes as on a native file, and check reads them back from the image.
TEST(ImageDrive, AnimatesIntoTheStartupSlotAndChecksIt)
{
    for (const ImageKind kind : kAllKinds) {
        SCOPED_TRACE(test::kindName(kind));
        ImageDrive drive(kind);
        drive.image.makeDirectory("/WINDOWS");
        const QString source = drive.write("sky.bmp", LogoBytes().bytes());
        // An old, longer logo: the transform keeps what lies past its end.
        drive.image.write("/LOGO.SYS", QByteArray(130000, 'o'));
        drive.write("expected.sys", QByteArray(130000, 'o'));
        const CliRun native =
            runCommand({"animate", source, drive.native("expected.sys"), "--start", "240"});
        ASSERT_EQ(native.code, 0) << native.err.toStdString();

        const CliRun run = runCommand({"animate", source, "C:\\logo.sys", "--start", "240"});
        EXPECT_EQ(run.code, 0) << run.err.toStdString();
        EXPECT_EQ(drive.image.read("/logo.sys"), drive.read("expected.sys"));
        EXPECT_EQ(drive.image.names("/"), (QStringList{"LOGO.SYS", "WINDOWS/"}));
        EXPECT_CLEAN(drive.image);

        drive.image.write("/LOGO.SYS", LogoBytes().bytes());
        const CliRun check = runCommand({"check", "C:\\logo.sys"});
        EXPECT_EQ(check.code, 0) << check.out.toStdString() << check.err.toStdString();
        EXPECT_TRUE(check.out.contains("C:\\logo.sys")) << check.out.toStdString();
    }
}

// FAT matches names regardless of case: an upper-case file is replaced
// under its own name, never joined by a second spelling. A new file keeps
// the spelling given.
TEST(ImageDrive, ReplacesAFileUnderItsOwnNameAndNamesANewOneAsGiven)
{
    for (const ImageKind kind : kAllKinds) {
        SCOPED_TRACE(test::kindName(kind));
        ImageDrive drive(kind);
        drive.image.write("/WINDOWS/LOGOW.SYS", "old");
        drive.image.write("/Pics/Sky Blue.Bmp", "sky");
        FakeHost host;
        host.copyFile(drive.write("new.sys", "new logo"), "C:\\windows\\logow.sys");
        EXPECT_EQ(drive.image.names("/WINDOWS"), QStringList{"LOGOW.SYS"});
        EXPECT_EQ(drive.image.read("/WINDOWS/LOGOW.SYS"), QByteArray("new logo"));

        host.copyFile("C:\\PICS\\SKY BLUE.BMP", "C:\\pics\\New Logo.Sys");
        EXPECT_EQ(drive.image.names("/Pics"), (QStringList{"New Logo.Sys", "Sky Blue.Bmp"}));
        EXPECT_EQ(drive.image.read("/Pics/New Logo.Sys"), QByteArray("sky"));
        EXPECT_CLEAN(drive.image);
    }
}

// Every file service on a path inside the image, against the bytes mtools
// reads back.
TEST(ImageDrive, EveryFileServiceWorksInsideTheImage)
{
    for (const ImageKind kind : kAllKinds) {
        SCOPED_TRACE(test::kindName(kind));
        ImageDrive drive(kind);
        QByteArray bytes(129078, '\0');
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7 + i / 300);
        drive.image.write("/WINDOWS/LOGOW.SYS", bytes);
        FakeHost host;

        // Out of the image, as the backups copy a slot file before a write.
        host.copyFile("C:\\WINDOWS\\logow.sys", drive.native("backup.sys"));
        EXPECT_EQ(drive.read("backup.sys"), bytes);
        // Within it.
        host.copyFile("C:\\WINDOWS\\logow.sys", "C:\\logo.sys");
        EXPECT_EQ(drive.image.read("/logo.sys"), bytes);

        EXPECT_EQ(host.fileLength("c:\\windows\\LOGOW.sys"), 129078);
        EXPECT_EQ(hostError([&] { host.fileLength("C:\\none.sys"); }),
                  "cannot find C:\\none.sys: No such file or directory");
        EXPECT_EQ(hostError([&] { host.fileLength("C:\\WINDOWS"); }), "C:\\WINDOWS is a directory");
        EXPECT_EQ(hostErrorKind([&] { host.fileLength("C:\\WINDOWS"); }), ErrorKind::IsDirectory);

        {
            const auto file = host.openBinary("C:\\logo.sys", FileAccess::Read);
            std::uint8_t got[4] = {};
            file->readAt(129074, got);
            EXPECT_EQ(QByteArray(reinterpret_cast<char *>(got), 4), bytes.right(4));
            EXPECT_EQ(hostError([&] { file->readAt(129076, got); }),
                      "cannot read C:\\logo.sys: the file ends at byte 129078");
            EXPECT_EQ(hostErrorKind([&] { file->readAt(129076, got); }), ErrorKind::CutShort);
        }
        {
            // Written to a private copy, put back once at close.
            const auto file = host.openBinary("C:\\logo.sys", FileAccess::ReadWrite);
            file->writeAt(2, bytesOf("ab"));
            file->write(bytesOf("cd"));
            EXPECT_EQ(drive.image.read("/logo.sys"), bytes);
            file->close();
        }
        QByteArray patched = bytes;
        patched.replace(2, 4, "abcd");
        EXPECT_EQ(drive.image.read("/logo.sys"), patched);
        host.openBinary("C:\\new.sys", FileAccess::ReadWrite)->close();
        EXPECT_EQ(drive.image.read("/new.sys"), QByteArray());

        host.deleteFile("C:\\LOGO.SYS");
        EXPECT_EQ(drive.image.read("/logo.sys"), std::nullopt);
        EXPECT_EQ(hostError([&] { host.deleteFile("C:\\logo.sys"); }),
                  "cannot delete C:\\logo.sys: mdel: File \"::/logo.sys\" not found");
        EXPECT_EQ(hostErrorKind([&] { host.deleteFile("C:\\logo.sys"); }), ErrorKind::NotFound);
        EXPECT_EQ(hostError([&] { host.copyFile("C:\\none.bmp", "C:\\logo.sys"); }),
                  "cannot read C:\\none.bmp: mcopy: File \"::/none.bmp\" not found");
        EXPECT_EQ(hostErrorKind([&] { host.copyFile("C:\\none.bmp", "C:\\logo.sys"); }),
                  ErrorKind::NotFound);
        EXPECT_EQ(hostError([&] { host.copyFile(drive.native("backup.sys"), "C:\\WINDOWS"); }),
                  "cannot write C:\\WINDOWS: it is a directory");
        EXPECT_EQ(hostErrorKind([&] { host.copyFile(drive.native("backup.sys"), "C:\\WINDOWS"); }),
                  ErrorKind::IsDirectory);
        EXPECT_EQ(drive.image.names("/"), (QStringList{"WINDOWS/", "new.sys"}));
        EXPECT_EQ(hostError([&] { host.directoryIsEmpty("C:\\WINDOWS"); }),
                  "cannot list C:\\WINDOWS: not possible for a directory inside a disk image");

        // Pictures are decoded from a private copy.
        drive.image.write("/logo.sys", LogoBytes().bytes());
        EXPECT_EQ(host.loadPicture("C:\\logo.sys").size(), QSize(320, 400));
        EXPECT_CLEAN(drive.image);
    }
}

// What a "setup" of C:\vantrel\ on an image needs besides the copies:
// the directories on the way, made once, with the spelling given.
TEST(ImageDrive, MakesTheDirectoriesOnTheWay)
{
    ImageDrive drive(ImageKind::Fat32Disk);
    drive.image.write("/WINDOWS/LOGOW.SYS", "w");
    const DiskVolume volume = *DriveMap().driveImage('C');
    makeImageDirectories(volume, "/windows/Vantrel Backup/Old", "C:\\windows\\Vantrel Backup\\Old");
    makeImageDirectories(volume, "/WINDOWS/vantrel backup", "C:\\WINDOWS\\vantrel backup");
    EXPECT_EQ(drive.image.names("/WINDOWS"), (QStringList{"LOGOW.SYS", "Vantrel Backup/"}));
    EXPECT_EQ(drive.image.names("/WINDOWS/Vantrel Backup"), QStringList{"Old/"});
    EXPECT_EQ(hostError([&] {
                  makeImageDirectories(volume, "/WINDOWS/LOGOW.SYS/x", "C:\\WINDOWS\\LOGOW.SYS\\x");
              }),
              "cannot make the directory C:\\WINDOWS\\LOGOW.SYS\\x: /WINDOWS/LOGOW.SYS is a file");
    EXPECT_CLEAN(drive.image);
}

// A Replacement puts nothing into the image before commit; the private
// copies are gone afterwards.
TEST(ImageDrive, ReplacingLeavesTheImageUntouchedUntilCommit)
{
    struct Case {
        ReplaceFrom start;
        bool commit;
        QByteArray expected;
    };
    const Case cases[] = {
        {ReplaceFrom::Nothing, true, "NEW"},
        {ReplaceFrom::OldContent, true, "NEW old content"},
        {ReplaceFrom::Nothing, false, "the old content"},
        {ReplaceFrom::OldContent, false, "the old content"},
    };
    for (const Case &c : cases) {
        ImageDrive drive(ImageKind::Fat16Disk);
        QTemporaryDir temporary;
        const ScopedVariable tmpdir("TMPDIR", QFile::encodeName(temporary.path()));
        drive.image.write("/logo.sys", "the old content");
        const QByteArray before = drive.image.bytes();
        FakeHost host;
        {
            const auto file = host.replaceFile("C:\\LOGO.SYS", c.start);
            file->write(bytesOf("NEW"));
            EXPECT_EQ(drive.image.bytes(), before);
            if (c.commit)
                file->commit();
        }
        EXPECT_EQ(drive.image.read("/logo.sys"), c.expected);
        EXPECT_EQ(drive.image.names("/"), QStringList{"logo.sys"});
        EXPECT_EQ(test::directoryNames(temporary.path()), QStringList{});
        if (!c.commit) {
            EXPECT_EQ(drive.image.bytes(), before);
        }
        EXPECT_CLEAN(drive.image);
    }
}

// A file with the read-only attribute is neither replaced nor deleted, as
// Windows leaves it; the image is not touched.
TEST(ImageDrive, LeavesAReadOnlyFileAlone)
{
    ImageDrive drive(ImageKind::Fat16Disk);
    drive.image.write("/WINDOWS/LOGOW.SYS", "old");
    ASSERT_EQ(test::runTool("mattrib",
                            {"+r", "-i", drive.image.path() + "@@1048576", "::/WINDOWS/LOGOW.SYS"})
                  .exitCode,
              0);
    const QByteArray before = drive.image.bytes();
    FakeHost host;
    const QString source = drive.write("new.sys", "new");
    EXPECT_EQ(hostError([&] { host.copyFile(source, "C:\\windows\\logow.sys"); }),
              "cannot write C:\\windows\\logow.sys: the file is read-only");
    EXPECT_EQ(hostError([&] { host.deleteFile("C:\\WINDOWS\\LOGOW.SYS"); }),
              "cannot delete C:\\WINDOWS\\LOGOW.SYS: the file is read-only");
    EXPECT_EQ(hostErrorKind([&] { host.copyFile(source, "C:\\windows\\logow.sys"); }),
              ErrorKind::ReadOnly);
    EXPECT_EQ(hostErrorKind([&] { host.deleteFile("C:\\WINDOWS\\LOGOW.SYS"); }),
              ErrorKind::ReadOnly);
    EXPECT_EQ(drive.image.bytes(), before);
}

// A full volume: mtools' own message, and the old file whole, because the
// new content goes in beside it before it takes its place.
TEST(ImageDrive, AFullVolumeFailsWithMtoolsMessageAndKeepsTheOldFile)
{
    ImageDrive drive(ImageKind::Superfloppy);
    drive.image.write("/logo.sys", "the old logo");
    drive.image.write("/filler.bin", QByteArray(1200 * 1024, 'f'));
    FakeHost host;
    const QString reason = hostError([&] {
        host.copyFile(drive.write("big.sys", QByteArray(300 * 1024, 'b')), "C:\\logo.sys");
    });
    EXPECT_EQ(reason, "cannot write C:\\logo.sys: Disk full");
    EXPECT_EQ(drive.image.read("/logo.sys"), QByteArray("the old logo"));
    EXPECT_EQ(drive.image.names("/"), (QStringList{"filler.bin", "logo.sys"}));
    EXPECT_CLEAN(drive.image);
}

TEST(ImageDrive, RefusesToWriteAnImageAnotherProgramHoldsAndWritesNothing)
{
    struct Case {
        const char *program;
        Hold hold;
        bool throughHardLink = false;
    };
    // Named by the program's file, not the 15 bytes of its process name;
    // found by the inode it holds, whatever path it took, and when it only
    // reads.
    const Case cases[] = {
        {"qemu-system-i386", Hold::WriteLock}, {"qemu-system-x86_64", Hold::ReadLock},
        {"86Box", Hold::OpenForWriting},       {"qemu-system-i386-unlocked", Hold::OpenForReading},
        {"86Box", Hold::OpenForWriting, true}, {"vantrel-cli", Hold::WriteLock}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.program);
        ImageDrive drive(ImageKind::Fat16Disk);
        drive.image.makeInstallation();
        drive.image.write("/logo.sys", "old logo");
        const QString source = drive.write("sky.bmp", "new logo");
        const QByteArray before = drive.image.bytes();
        const QString linked = drive.native("linked.img");
        ASSERT_EQ(::link(QFile::encodeName(drive.image.path()).constData(),
                         QFile::encodeName(linked).constData()),
                  0);
        const HeldImage held(c.throughHardLink ? linked : drive.image.path(), c.program, c.hold);
        const QString inUseText =
            c.program == std::string_view("vantrel-cli")
                ? QStringLiteral("another Vantrel (%2, process %3) is writing to the disk image "
                                 "%1; try again once it is done")
                : QStringLiteral("the disk image %1 is in use by %2 (process %3); shut the "
                                 "machine down first");
        const QString inUse = inUseText.arg(drive.image.path(), c.program).arg(held.pid());
        FakeHost host;
        const std::function<void()> writes[] = {
            [&] { host.copyFile(source, "C:\\logo.sys"); },
            [&] { host.deleteFile("C:\\logo.sys"); },
            [&] { host.copyFile("C:\\vantrel\\logow.sys", "C:\\WINDOWS\\logow.sys"); },
            [&] {
                const auto file = host.replaceFile("C:\\logo.sys", ReplaceFrom::OldContent);
                file->write(bytesOf("x"));
                file->commit();
            },
            [&] {
                const auto file = host.openBinary("C:\\logo.sys", FileAccess::ReadWrite);
                file->write(bytesOf("x"));
                file->close();
            },
        };
        for (const auto &write : writes) {
            const QString reason = hostError(write);
            EXPECT_TRUE(reason.startsWith("cannot write C:\\")) << reason.toStdString();
            EXPECT_TRUE(reason.endsWith(": " + inUse)) << reason.toStdString();
            EXPECT_EQ(hostErrorKind(write), ErrorKind::InUse);
        }
        // Reading is still allowed: it changes nothing.
        host.copyFile("C:\\logo.sys", drive.native("copy.sys"));
        EXPECT_EQ(drive.read("copy.sys"), "old logo");
        const CliRun run = runCommand({"install", "startup", source});
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.err, "vantrel-cli: cannot install the startup logo: cannot write "
                           "C:\\logo.sys: " +
                               inUse + "\n");
        EXPECT_EQ(drive.image.bytes(), before);
        // Nothing was replaced, so nothing is kept.
        EXPECT_TRUE(keptCopies(host, LogoSlot::Startup, "C:\\logo.sys").empty());
    }
}

// An image the user may not write, or that has no write permission at all
// (read-only on purpose, for the superuser too), is left as it is.
TEST(ImageDrive, RefusesAnImageThatMayNotBeWritten)
{
    struct Case {
        mode_t mode;
        test::ChildPrivileges privileges;
        const char *reason;
        ErrorKind kind;
    };
    const Case cases[] = {
        {0444, test::ChildPrivileges::Keep, "the disk image %1 is read-only", ErrorKind::ReadOnly},
        {0644, test::ChildPrivileges::Drop, "cannot open the disk image %1: Permission denied",
         ErrorKind::NoPermission},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        ImageDrive drive(ImageKind::Fat16Disk);
        drive.image.write("/logo.sys", "old logo");
        const QString source = drive.write("sky.bmp", "new logo");
        // Where an unprivileged child can reach both, but own neither.
        ASSERT_EQ(::chmod(QFile::encodeName(drive.files.path()).constData(), 0755), 0);
        ASSERT_EQ(
            ::chmod(QFile::encodeName(QFileInfo(drive.image.path()).path()).constData(), 0755), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 0644), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(drive.image.path()).constData(), c.mode), 0);
        const QByteArray before = drive.image.bytes();
        test::runInChild(
            [&] {
                FakeHost host;
                EXPECT_EQ(hostError([&] { host.copyFile(source, "C:\\logo.sys"); }),
                          "cannot write C:\\logo.sys: " +
                              QString::fromLatin1(c.reason).arg(drive.image.path()));
                EXPECT_EQ(hostErrorKind([&] { host.copyFile(source, "C:\\logo.sys"); }), c.kind);
                // Reading is still allowed.
                EXPECT_EQ(host.fileLength("C:\\logo.sys"), 8);
            },
            c.privileges);
        EXPECT_EQ(drive.image.bytes(), before);
    }
}

// mtools would read "a@@b.img@@1048576" as the file "a" at offset
// "b.img@@1048576".
TEST(ImageDrive, RefusesAnImagePathThatMtoolsWouldMisread)
{
    const TempImage image(ImageKind::Fat16Disk, "win@@95.img");
    const ScopedVariable variable("VANTREL_DRIVE_C", QFile::encodeName(image.path()));
    FakeHost host;
    EXPECT_EQ(hostError([&] { host.fileLength("C:\\logo.sys"); }),
              "mtools cannot open the disk image " + image.path() +
                  ": its path holds \"@@\"; rename it or link to it under another name");
}

TEST(ImageDrive, NamesThePackageWhenMtoolsIsMissing)
{
    ImageDrive drive(ImageKind::Fat16Disk);
    drive.image.write("/logo.sys", "old logo");
    const QByteArray before = drive.image.bytes();
    QTemporaryDir emptyPath;
    const ScopedVariable path("PATH", QFile::encodeName(emptyPath.path()));
    FakeHost host;
    EXPECT_EQ(hostError([&] { host.copyFile(drive.write("sky.bmp", "new"), "C:\\logo.sys"); }),
              "cannot reach C:\\logo.sys: its drive is a disk image, and working on one needs "
              "mtools, which is not installed (no mdir found); install the package mtools");
    EXPECT_EQ(hostError([&] { host.fileLength("C:\\logo.sys"); }),
              "cannot reach C:\\logo.sys: its drive is a disk image, and working on one needs "
              "mtools, which is not installed (no mdir found); install the package mtools");
    EXPECT_EQ(drive.image.bytes(), before);
}

// A program started on a file inside the image: the text editor reads a
// private copy of the readme; a bitmap editor, whose changes to a copy
// would be lost, is refused.
TEST(ImageDrive, GivesTheTextEditorACopyAndRefusesTheBitmapEditor)
{
    ImageDrive drive(ImageKind::Fat16Disk);
    drive.image.write("/vantrel/readme.txt", "Vantrel readme\r\n");
    drive.image.write("/pic.bmp", "picture");
    QTemporaryDir bin;
    QFile opener(bin.filePath("xdg-open"));
    ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\n");
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const ScopedVariable path("PATH", QFile::encodeName(bin.path()) + ':' + qgetenv("PATH"));
    QString copy;
    {
        FakeHost host;
        const SystemHost::Launch launch =
            host.resolveCommandLine("notepad.exe c:\\vantrel\\readme.txt");
        ASSERT_EQ(launch.arguments.size(), 1);
        copy = launch.arguments[0];
        EXPECT_EQ(QFileInfo(copy).fileName(), "readme.txt");
        EXPECT_EQ(test::fileBytes(copy), "Vantrel readme\r\n");
        EXPECT_EQ(hostError([&] { host.resolveCommandLine("pbrush C:\\pic.bmp"); }),
                  "cannot open C:\\pic.bmp in a bitmap editor: it lies inside the disk image " +
                      drive.image.path());
    }
    EXPECT_FALSE(QFileInfo::exists(copy));
}

TEST(ImageDrive, WhereNamesTheImageThePartitionTheFileSystemAndTheLabel)
{
    struct Case {
        ImageKind kind;
        const char *partition;
        const char *label;
    };
    const Case cases[] = {
        {ImageKind::Fat16Disk, "raw disk image, partition 1, at byte 1048576",
         "FAT16, label WIN95"},
        {ImageKind::Fat32Disk, "raw disk image, partition 2, at byte 2097152",
         "FAT32, label WIN95"},
        {ImageKind::Superfloppy, "superfloppy image, one volume filling it, no partition table",
         "FAT12, label WIN95"},
        {ImageKind::FixedVhd, "fixed VHD, partition 1, at byte 1048576", "FAT16, label WIN95"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(test::kindName(c.kind));
        ImageDrive drive(c.kind);
        drive.image.write("/windows/LOGOW.SYS", QByteArray(1234, 'w'));
        const CliRun run = runCommand({"where"});
        EXPECT_EQ(run.code, 0) << run.err.toStdString();
        EXPECT_EQ(run.out,
                  QStringLiteral("drive C:            disk image %1\n"
                                 "image:              %2\n"
                                 "file system:        %3\n"
                                 "Windows directory:  C:\\WINDOWS\\  (in the image: /WINDOWS)\n"
                                 "program directory:  C:\\vantrel\\  (in the image: /vantrel)\n"
                                 "startup     C:\\logo.sys            /logo.sys  (not installed: "
                                 "the default)\n"
                                 "shutdown    C:\\WINDOWS\\logow.sys   /WINDOWS/logow.sys  "
                                 "(installed, 1234 bytes)\n"
                                 "switchoff   C:\\WINDOWS\\logos.sys   /WINDOWS/logos.sys  "
                                 "(missing)\n"
                                 "chosen by:          VANTREL_DRIVE_C\n")
                      .arg(drive.image.path(), c.partition, c.label));
    }
}

// An installation in C:\WIN98, as MSDOS.SYS inside the image records it:
// the shutdown and switch-off slots are there.
TEST(ImageDrive, FindsTheWindowsDirectoryTheImageRecords)
{
    ImageDrive drive(ImageKind::Fat32Disk);
    drive.image.write("/MSDOS.SYS", "[Paths]\r\nWinDir=C:\\WIN98\r\nWinBootDir=C:\\WIN98\r\n");
    drive.image.makeDirectory("/WIN98");
    const CliRun run = runCommand({"install", "shutdown", drive.write("sky.sys", "sky")});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(drive.image.read("/WIN98/logow.sys"), QByteArray("sky"));
    EXPECT_TRUE(runCommand({"where"}).out.contains(
        "Windows directory:  C:\\WIN98\\  (in the image: /WIN98)\n"));
    EXPECT_CLEAN(drive.image);
}

TEST(ImageDrive, PartitionOptionPicksAnotherPartition)
{
    ImageDrive drive(ImageKind::Fat32Disk);
    const CliRun first = runCommand({"--partition", "1", "where"});
    EXPECT_EQ(first.code, 1);
    EXPECT_EQ(first.err, "vantrel-cli: cannot use the disk image " + drive.image.path() +
                             ": partition 1 (type 0x83) holds no FAT file system\n");
    const CliRun second = runCommand({"--partition=2", "where"});
    EXPECT_EQ(second.code, 0) << second.err.toStdString();
    EXPECT_TRUE(second.out.contains("partition 2, at byte 2097152")) << second.out.toStdString();
    const CliRun bad = runCommand({"--partition", "two", "where"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_TRUE(
        bad.err.startsWith("vantrel-cli: --partition takes a partition number, not 'two'\n"))
        << bad.err.toStdString();
}

} // namespace

// A write stays inside the volume: bytes before and after it, the VHD
// footer among them, and the file's length are the same afterwards. An
// image whose volume would reach past its room is refused, unchanged.
TEST(ImageDrive, NeverWritesOutsideTheVolume)
{
    constexpr int kMbr = 446;
    constexpr std::int64_t kFooter = 512;
    struct Case {
        const char *what;
        ImageKind kind;
        std::function<void(QByteArray &)> damage;
        const char *reason;
    };
    const Case cases[] = {
        {"partitioned", ImageKind::Fat16Disk, {}, nullptr},
        {"superfloppy", ImageKind::Superfloppy, {}, nullptr},
        {"VHD", ImageKind::FixedVhd, {}, nullptr},
        {"superfloppy VHD", ImageKind::SuperfloppyVhd, {}, nullptr},
        {"a FAT longer than its partition, a second partition behind it", ImageKind::Fat16Disk,
         [](QByteArray &b) {
             test::putLe32(b, kMbr + 12, 16384);
             b[kMbr + 16 + 4] = 0x06;
             test::putLe32(b, kMbr + 16 + 8, 18432);
             test::putLe32(b, kMbr + 16 + 12, 14336);
         },
         "the FAT file system says it holds 30720 sectors of 512 bytes (15728640 bytes), more than "
         "the 8388608 bytes of partition 1"},
        {"a superfloppy longer than its file", ImageKind::Superfloppy,
         [](QByteArray &b) { test::putLe16(b, 19, 5760); },
         "the FAT file system says it holds 5760 sectors of 512 bytes (2949120 bytes), more than "
         "the 1474560 bytes of the image"},
        {"a superfloppy reaching into its VHD footer", ImageKind::SuperfloppyVhd,
         [](QByteArray &b) { test::putLe16(b, 19, 2881); },
         "the FAT file system says it holds 2881 sectors of 512 bytes (1475072 bytes), more than "
         "the 1474560 bytes of the image before its VHD footer"},
        {"a footer with a wrong checksum", ImageKind::FixedVhd,
         [](QByteArray &b) { b.replace(b.size() - kFooter + 64, 4, QByteArray(4, '\0')); },
         "its VHD footer is damaged: its checksum is 0x00000000, but its bytes give 0x%1"},
        {"data grown past the footer's size", ImageKind::FixedVhd,
         [](QByteArray &b) { b.insert(b.size() - kFooter, QByteArray(1024 * 1024, '\0')); },
         "its VHD footer says the disk holds 16777216 bytes, but 17825792 bytes come before the "
         "footer"},
        {"overlapping partitions", ImageKind::Fat16Disk,
         [](QByteArray &b) {
             b[kMbr + 16 + 4] = char(0x83);
             test::putLe32(b, kMbr + 16 + 8, 4096);
             test::putLe32(b, kMbr + 16 + 12, 2048);
         },
         "its partitions 1 (sectors 2048 to 32767) and 2 (sectors 4096 to 6143) overlap"},
        {"a superfloppy of 0 bytes a sector", ImageKind::Superfloppy,
         [](QByteArray &b) { test::putLe16(b, 11, 0); },
         "its boot sector is damaged: it gives 0 bytes a sector"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ImageDrive drive(c.kind);
        drive.image.makeInstallation();
        QByteArray before = drive.image.bytes();
        const QString checksum = before.right(kFooter).mid(64, 4).toHex();
        if (c.damage) {
            c.damage(before);
            drive.image.setBytes(before);
        }
        const CliRun run = runCommand({"install", "startup", drive.write("sky.bmp", "new logo")});
        const QByteArray after = drive.image.bytes();
        ASSERT_EQ(after.size(), before.size());
        if (c.reason) {
            EXPECT_EQ(run.code, 1);
            EXPECT_EQ(run.err,
                      QStringLiteral("vantrel-cli: cannot install the startup logo: cannot "
                                     "use the disk image %1: %2\n")
                          .arg(drive.image.path(), QString(c.reason).replace("%1", checksum)));
            EXPECT_EQ(after, before);
            continue;
        }
        EXPECT_EQ(run.code, 0) << run.err.toStdString();
        const qsizetype end = qsizetype(drive.image.offset() + drive.image.volumeSize());
        EXPECT_EQ(after.left(qsizetype(drive.image.offset())),
                  before.left(qsizetype(drive.image.offset())));
        EXPECT_EQ(after.mid(end), before.mid(end));
        EXPECT_NE(after, before);
    }
}

bool processEnded(pid_t pid)
{
    // A zombie whose reaper is slow has ended too.
    const QByteArray stat = test::fileBytes(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.isEmpty() || stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
}

// A killed write leaves no mtools child running without the lock, and its
// private copy goes at the next start, while that of a living process
// stays.
TEST(ImageDrive, LeavesNothingBehindAKilledWrite)
{
    ImageDrive drive(ImageKind::Superfloppy);
    drive.image.write("/logo.sys", "old logo");
    const QDir temp = QDir::temp();
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const QString stale = QStringLiteral("vantrel-image-%1-AbCdEf").arg(dead);
    const QString living = QStringLiteral("vantrel-image-%1-GhIjKl").arg(::getpid());
    for (const QString &folder : {stale, living})
        ASSERT_TRUE(temp.mkpath(folder + "/copy"));
    // An mdir that says where it runs and then hangs.
    const QString mdir = drive.write("mdir", "#!/bin/sh\necho $$ > \"$0.pid\"\nexec sleep 120\n");
    ASSERT_TRUE(QFile::setPermissions(mdir, QFile::ReadOwner | QFile::ExeOwner));
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", drive.files.path() + ':' + environment.value("PATH"));
    cli.setProcessEnvironment(environment);
    cli.start(VANTREL_CLI_PATH, {"install", "startup", drive.write("sky.bmp", "new logo")});
    for (int i = 0; i < 500 && !QFile::exists(drive.native("mdir.pid")); ++i)
        ::usleep(20000);
    const pid_t tool = pid_t(drive.read("mdir.pid").trimmed().toInt());
    ASSERT_GT(tool, 0) << "mdir never ran";
    EXPECT_FALSE(temp.exists(stale));
    EXPECT_TRUE(temp.exists(living));
    ::kill(pid_t(cli.processId()), SIGKILL);
    cli.waitForFinished();
    for (int i = 0; i < 250 && !processEnded(tool); ++i)
        ::usleep(20000);
    EXPECT_TRUE(processEnded(tool));
    ::kill(tool, SIGKILL);
    QDir(temp.filePath(living)).removeRecursively();
}

// where names the new content an interrupted write left in the image.
TEST(ImageDrive, WhereListsTheStagedFileAnInterruptedWriteLeft)
{
    ImageDrive drive(ImageKind::Fat16Disk);
    drive.image.makeInstallation();
    drive.image.write("/WINDOWS/~VNTRLNW.TMP", "half a logo");
    const CliRun run = runCommand({"where"});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(
        "\nleft over:          C:\\WINDOWS\\~VNTRLNW.TMP  (in the image: /WINDOWS/~VNTRLNW.TMP; "
        "from an interrupted write; the next replacement of a file in C:\\WINDOWS\\ removes "
        "it)\n"))
        << run.out.toStdString();
    EXPECT_EQ(run.out.count("left over:"), 1);
}

// A file whose cluster chain ends before its length fails check as it
// fails a copy.
TEST(ImageDrive, CheckReadsAFileInTheImageAsACopyWould)
{
    ImageDrive drive(ImageKind::Superfloppy);
    drive.image.write("/logo.sys", LogoBytes().bytes());
    drive.image.makeInstallation();
    QByteArray bytes = drive.image.bytes();
    const qsizetype entry = bytes.indexOf("LOGO    SYS");
    ASSERT_GT(entry, 0);
    const unsigned cluster = std::uint8_t(bytes[entry + 26]) | std::uint8_t(bytes[entry + 27]) << 8;
    // The cluster's FAT12 entry, in both FATs, says it is the last.
    for (const qsizetype fat : {512, 512 + 9 * 512}) {
        const qsizetype at = fat + qsizetype(cluster * 3 / 2);
        bytes[at] = char(cluster % 2 == 0 ? 0xFF : bytes[at] | 0xF0);
        bytes[at + 1] = char(cluster % 2 == 0 ? bytes[at + 1] | 0x0F : 0xFF);
    }
    drive.image.setBytes(bytes);
    const QString cut = "cannot read C:\\logo.sys: the file ends at byte 512\n";
    const CliRun check = runCommand({"check", "C:\\logo.sys"});
    EXPECT_EQ(check.code, 1);
    EXPECT_EQ(check.err, "vantrel-cli: " + cut);
    const CliRun install = runCommand({"install", "shutdown", "C:\\logo.sys"});
    EXPECT_EQ(install.code, 1);
    EXPECT_TRUE(install.err.endsWith(cut)) << install.err.toStdString();
}

// A backups folder that is a link leading nowhere is named as such, not
// taken for an empty one.
TEST(ImageDrive, NamesABackupsFolderThatLinksNowhere)
{
    ImageDrive drive(ImageKind::Superfloppy);
    drive.image.write("/logo.sys", "old logo");
    const QString root = backupRoot();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(root).path()));
    QDir(root).removeRecursively();
    ASSERT_TRUE(QFile::link(root + "-gone", root));
    const QString reason = QStringLiteral("the backups folder %1 is a symbolic link to %1-gone, "
                                          "which does not exist\n")
                               .arg(root);
    const CliRun list = runCommand({"backups"});
    const CliRun install = runCommand({"install", "startup", drive.write("sky.bmp", "new")});
    QFile::remove(root);
    EXPECT_EQ(list.code, 1);
    EXPECT_TRUE(list.err.endsWith(reason)) << list.err.toStdString();
    EXPECT_EQ(install.code, 1);
    EXPECT_TRUE(install.err.endsWith(reason)) << install.err.toStdString();
    EXPECT_EQ(drive.image.read("/logo.sys"), "old logo");
}
