#include "host/file_replacement.h"
#include "host/system/system_host.h"
#include "support/child_process.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/host_error.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vantrel;
using vantrel::test::ChildPrivileges;
using vantrel::test::directoryNames;
using vantrel::test::fileBytes;
using vantrel::test::handOver;
using vantrel::test::hostError;
using vantrel::test::hostErrorKind;
using vantrel::test::runInChild;
using vantrel::test::runUnprivileged;
using vantrel::test::TempDrive;
using vantrel::test::unprivilegedUser;

namespace {

// SystemHost leaves the desktop services to others; these tests need none.
class TestSystemHost : public SystemHost {
public:
    void messageBox(const QString &) override {}
    void beep() override {}
    QImage loadPicture(const QString &) override { throw HostError("no pictures here"); }
    QSize screenSizeTwips() override { return {}; }
    void showFileDialog(FileDialog &, FileDialogKind) override {}
};

struct stat statOf(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        info.st_mode = 0;
    return info;
}

// Makes a file look as if it was last written `seconds` ago.
void makeOld(const QString &path, int seconds)
{
    struct timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW);
}

std::span<const std::uint8_t> bytesOf(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())};
}

// The file size limit stands in for a full disk: writes past it fail with
// "File too large" instead of killing the process.
void limitFileSize(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit {
        bytes, bytes
    };
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

TEST(CopyFile, MakesAByteCopyAndReplacesAnOldFile)
{
    TempDrive drive;
    TestSystemHost host;
    QByteArray bytes(129078, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7);
    drive.write("pic.bmp", bytes);
    drive.write("WINDOWS/LOGOW.SYS", "old");
    host.copyFile("C:\\pic.bmp", "C:\\windows\\logow.sys");
    EXPECT_EQ(drive.read("WINDOWS/LOGOW.SYS"), bytes);
    EXPECT_EQ(directoryNames(drive.path("WINDOWS")), QStringList{"LOGOW.SYS"});
}

TEST(CopyFile, KeepsTheOldFileWhenTheCopyFailsHalfway)
{
    TempDrive drive;
    TestSystemHost host;
    drive.write("logo.sys", "the old logo");
    // Reading process memory at offset 0 fails after the open succeeded,
    // so the copy breaks off once the temporary file exists.
    const QString reason = hostError([&] { host.copyFile("/proc/self/mem", "C:\\logo.sys"); });
    EXPECT_TRUE(reason.startsWith("cannot read /proc/self/mem: ")) << reason.toStdString();
    EXPECT_EQ(drive.read("logo.sys"), "the old logo");
    EXPECT_EQ(directoryNames(drive.root()), QStringList{"logo.sys"});
}

TEST(CopyFile, FailsForAMissingSourceAndLeavesTheDestination)
{
    TempDrive drive;
    TestSystemHost host;
    drive.write("logo.sys", "keep");
    EXPECT_EQ(hostError([&] { host.copyFile("C:\\none.bmp", "C:\\logo.sys"); }),
              "cannot open C:\\none.bmp: No such file or directory");
    EXPECT_EQ(drive.read("logo.sys"), "keep");
}

TEST(CopyFile, FailsWhenTheDestinationDirectoryIsMissing)
{
    TempDrive drive;
    TestSystemHost host;
    drive.write("pic.bmp", "p");
    EXPECT_EQ(hostError([&] { host.copyFile("C:\\pic.bmp", "C:\\WINDOWS\\logow.sys"); }),
              "cannot write C:\\WINDOWS\\logow.sys: No such file or directory");
}

TEST(CopyFile, ReplacesASymbolicLinkInsteadOfWritingThroughIt)
{
    TempDrive drive;
    QTemporaryDir outside;
    TestSystemHost host;
    const QString target = outside.path() + "/precious.txt";
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("precious");
    }
    drive.makeDirectory("WINDOWS");
    ASSERT_TRUE(QFile::link(target, drive.path("WINDOWS/logos.sys")));
    drive.write("pic.bmp", "new picture");

    host.copyFile("C:\\pic.bmp", "C:\\WINDOWS\\logos.sys");

    EXPECT_FALSE(QFileInfo(drive.path("WINDOWS/logos.sys")).isSymLink());
    EXPECT_EQ(drive.read("WINDOWS/logos.sys"), "new picture");
    EXPECT_EQ(fileBytes(target), "precious");
}

// What a replacement leaves at its path: committed, discarded by close()
// or by going away, started empty or from the old content.
TEST(ReplaceFile, LeavesTheOldFileUntilCommitAndNothingBesideIt)
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
        TempDrive drive;
        TestSystemHost host;
        drive.write("logo.sys", "the old content");
        {
            const std::unique_ptr<Replacement> file = host.replaceFile("C:\\LOGO.SYS", c.start);
            file->write(
                std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>("NEW"), 3));
            EXPECT_EQ(drive.read("logo.sys"), "the old content");
            if (c.commit)
                file->commit();
        }
        EXPECT_EQ(drive.read("logo.sys"), c.expected);
        EXPECT_EQ(directoryNames(drive.root()), QStringList{"logo.sys"});
    }
}

TEST(ReplaceFile, MakesAnAbsentFileAndRefusesADirectory)
{
    TempDrive drive;
    TestSystemHost host;
    const std::unique_ptr<Replacement> file =
        host.replaceFile("C:\\new.sys", ReplaceFrom::OldContent);
    file->writeAt(2, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t *>("x"), 1));
    file->commit();
    EXPECT_EQ(drive.read("new.sys"), QByteArray("\0\0x", 3));
    EXPECT_THROW(file->commit(), HostError);

    drive.makeDirectory("dir");
    EXPECT_EQ(hostError([&] { host.replaceFile("C:\\dir", ReplaceFrom::Nothing); }),
              "cannot write C:\\dir: it is a directory");
}

// The new file is the old one's in all but content: its permission bits,
// and its owner and group (the superuser can keep any).
TEST(ReplaceFile, KeepsTheOldFilesModeOwnerAndGroup)
{
    const mode_t modes[] = {0600, 0640, 0604, 0660, 0755, 02775};
    const test::UnixUser other = unprivilegedUser();
    for (const mode_t mode : modes) {
        SCOPED_TRACE(mode);
        TempDrive drive;
        TestSystemHost host;
        drive.write("pic.bmp", "new picture");
        drive.write("logo.sys", "old picture");
        const QString slot = drive.path("logo.sys");
        // Owner first: chown clears the set-group bit.
        ASSERT_EQ(::chown(QFile::encodeName(slot).constData(), other.uid, other.gid), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(slot).constData(), mode), 0);

        host.copyFile("C:\\pic.bmp", "C:\\logo.sys");

        const struct stat after = statOf(slot);
        EXPECT_EQ(drive.read("logo.sys"), "new picture");
        EXPECT_EQ(after.st_mode & 07777, mode);
        EXPECT_EQ(after.st_uid, other.uid);
        EXPECT_EQ(after.st_gid, other.gid);
    }
}

TEST(ReplaceFile, GivesANewFileTheModeTheUmaskAllows)
{
    TempDrive drive;
    TestSystemHost host;
    drive.write("pic.bmp", "p");
    const mode_t old = ::umask(027);
    host.copyFile("C:\\pic.bmp", "C:\\logo.sys");
    ::umask(old);
    EXPECT_EQ(statOf(drive.path("logo.sys")).st_mode & 07777, 0640u);
}

// An ordinary user cannot give a file to someone else: the new file is the
// user's, in the old group where the user belongs to it, and without the
// set-id bits that were meant for the old owner.
TEST(ReplaceFile, AnOrdinaryUserKeepsWhatOfTheOwnershipItMay)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser can make a file of another user to replace";
    struct Case {
        gid_t group;
        mode_t mode;
        gid_t expectedGroup;
        mode_t expectedMode;
    };
    const test::UnixUser user = unprivilegedUser();
    const Case cases[] = {
        {user.gid, 0664, user.gid, 0664},
        {0, 0666, user.gid, 0666},
        {user.gid, 06666, user.gid, 0666},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        TempDrive drive;
        drive.write("pic.bmp", "new");
        drive.write("logo.sys", "old");
        handOver(drive.root());
        const QByteArray slot = QFile::encodeName(drive.path("logo.sys"));
        ASSERT_EQ(::chown(slot.constData(), 0, c.group), 0);
        ASSERT_EQ(::chmod(slot.constData(), c.mode), 0);
        runUnprivileged([&] {
            TestSystemHost host;
            host.copyFile("C:\\pic.bmp", "C:\\logo.sys");
        });
        const struct stat after = statOf(drive.path("logo.sys"));
        EXPECT_EQ(drive.read("logo.sys"), "new");
        EXPECT_EQ(after.st_uid, user.uid);
        EXPECT_EQ(after.st_gid, c.expectedGroup);
        EXPECT_EQ(after.st_mode & 07777, c.expectedMode);
    }
}

// A file without write permission is read-only, for every user; a file the
// user may not write is refused with the system's reason. Either way the
// old file and the directory stay as they were.
TEST(ReplaceFile, RefusesAReadOnlyOrUnwritableDestination)
{
    struct Case {
        mode_t mode;
        ChildPrivileges privileges;
        const char *reason;
        ErrorKind kind;
    };
    const Case cases[] = {
        {0444, ChildPrivileges::Keep, "the file is read-only", ErrorKind::ReadOnly},
        {0555, ChildPrivileges::Keep, "the file is read-only", ErrorKind::ReadOnly},
        {0400, ChildPrivileges::Drop, "the file is read-only", ErrorKind::ReadOnly},
        // Writable by the group only, and the user is the owner.
        {0464, ChildPrivileges::Drop, "Permission denied", ErrorKind::NoPermission},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        TempDrive drive;
        drive.write("pic.bmp", "new");
        drive.write("WINDOWS/logow.sys", "old");
        handOver(drive.root());
        ASSERT_EQ(::chmod(QFile::encodeName(drive.path("WINDOWS/logow.sys")).constData(), c.mode),
                  0);
        runInChild(
            [&] {
                TestSystemHost host;
                EXPECT_EQ(
                    hostError([&] { host.copyFile("C:\\pic.bmp", "C:\\WINDOWS\\logow.sys"); }),
                    QStringLiteral("cannot write C:\\WINDOWS\\logow.sys: %1").arg(c.reason));
                EXPECT_EQ(hostError([&] {
                              host.replaceFile("C:\\WINDOWS\\logow.sys", ReplaceFrom::OldContent);
                          }),
                          QStringLiteral("cannot write C:\\WINDOWS\\logow.sys: %1").arg(c.reason));
                EXPECT_EQ(
                    hostErrorKind([&] { host.copyFile("C:\\pic.bmp", "C:\\WINDOWS\\logow.sys"); }),
                    c.kind);
            },
            c.privileges);
        EXPECT_EQ(drive.read("WINDOWS/logow.sys"), "old");
        EXPECT_EQ(directoryNames(drive.path("WINDOWS")), QStringList{"logow.sys"});
    }
}

// A directory the user may not write, with a slot file the user may: the
// new content is written over the file in place, the whole of it, and
// nothing is left beside it.
TEST(ReplaceFile, OverwritesInPlaceWhenOnlyTheFileIsWritable)
{
    struct Case {
        const char *what;
        ReplaceFrom start;
        QByteArray written; // at offset 2
        QByteArray expected;
    };
    const Case cases[] = {
        {"shorter", ReplaceFrom::Nothing, "ab", QByteArray("\0\0ab", 4)},
        {"longer", ReplaceFrom::Nothing, "abcdefghijklmnop",
         QByteArray("\0\0abcdefghijklmnop", 18)},
        {"from the old", ReplaceFrom::OldContent, "ab", "01ab456789"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDrive drive;
        drive.write("WINDOWS/logow.sys", "0123456789");
        handOver(drive.root());
        const QByteArray slot = QFile::encodeName(drive.path("WINDOWS/logow.sys"));
        ASSERT_EQ(::chmod(slot.constData(), 0640), 0);
        const ino_t inode = statOf(drive.path("WINDOWS/logow.sys")).st_ino;
        QFile::setPermissions(drive.path("WINDOWS"), QFile::ReadOwner | QFile::ExeOwner);
        runUnprivileged([&] {
            TestSystemHost host;
            const std::unique_ptr<Replacement> file =
                host.replaceFile("C:\\WINDOWS\\logow.sys", c.start);
            file->writeAt(2, bytesOf(c.written));
            EXPECT_EQ(drive.read("WINDOWS/logow.sys"), "0123456789");
            file->commit();
        });
        QFile::setPermissions(drive.path("WINDOWS"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(drive.read("WINDOWS/logow.sys"), c.expected);
        EXPECT_EQ(statOf(drive.path("WINDOWS/logow.sys")).st_ino, inode);
        EXPECT_EQ(statOf(drive.path("WINDOWS/logow.sys")).st_mode & 07777, 0640u);
        EXPECT_EQ(directoryNames(drive.path("WINDOWS")), QStringList{"logow.sys"});
    }
}

// Where the directory is not writable, what cannot be overwritten in place
// is refused: a missing file, and a link, which is never written through.
TEST(ReplaceFile, RefusesWhatCannotBeReplacedInAnUnwritableDirectory)
{
    TempDrive drive;
    QTemporaryDir outside;
    const QString precious = outside.path() + "/precious";
    {
        QFile file(precious);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("precious");
    }
    drive.write("pic.bmp", "new");
    drive.makeDirectory("WINDOWS");
    ASSERT_TRUE(QFile::link(precious, drive.path("WINDOWS/logos.sys")));
    handOver(drive.root());
    handOver(outside.path());
    QFile::setPermissions(drive.path("WINDOWS"), QFile::ReadOwner | QFile::ExeOwner);
    runUnprivileged([&] {
        TestSystemHost host;
        EXPECT_EQ(hostError([&] { host.copyFile("C:\\pic.bmp", "C:\\WINDOWS\\logos.sys"); }),
                  "cannot write C:\\WINDOWS\\logos.sys: Permission denied");
        EXPECT_EQ(hostError([&] { host.copyFile("C:\\pic.bmp", "C:\\WINDOWS\\logow.sys"); }),
                  "cannot write C:\\WINDOWS\\logow.sys: Permission denied");
    });
    QFile::setPermissions(drive.path("WINDOWS"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(QFileInfo(drive.path("WINDOWS/logos.sys")).isSymLink());
    EXPECT_EQ(directoryNames(drive.path("WINDOWS")), QStringList{"logos.sys"});
    EXPECT_EQ(fileBytes(precious), "precious");
}

// A disk that fills up halfway leaves the old file whole, whether the new
// one was being written beside it or over it in place.
TEST(ReplaceFile, KeepsTheOldFileWhenTheDiskFillsUp)
{
    struct Case {
        const char *what;
        ReplaceFrom start;
        qsizetype oldLength;
        bool directoryWritable;
        const char *reason;
    };
    const Case cases[] = {
        {"beside, new content", ReplaceFrom::Nothing, 1000, true, "File too large"},
        {"beside, from the old", ReplaceFrom::OldContent, 200000, true, "File too large"},
        // The space is claimed before the first byte changes.
        {"in place", ReplaceFrom::Nothing, 1000, false, "File too large"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDrive drive;
        QByteArray old(c.oldLength, 'o');
        for (qsizetype i = 0; i < old.size(); i += 7)
            old[i] = char(i);
        drive.write("logo.sys", old);
        handOver(drive.root());
        if (!c.directoryWritable)
            QFile::setPermissions(drive.root(), QFile::ReadOwner | QFile::ExeOwner);
        runUnprivileged([&] {
            limitFileSize(100000);
            TestSystemHost host;
            EXPECT_EQ(hostError([&] {
                          const std::unique_ptr<Replacement> file =
                              host.replaceFile("C:\\logo.sys", c.start);
                          file->writeAt(0, bytesOf(QByteArray(150000, 'n')));
                          file->commit();
                      }),
                      QStringLiteral("cannot write C:\\logo.sys: %1").arg(c.reason));
        });
        QFile::setPermissions(drive.root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(drive.read("logo.sys"), old);
        EXPECT_EQ(directoryNames(drive.root()), QStringList{"logo.sys"});
    }
}

TEST(ReplaceFile, NamesItsTemporaryFileAsTheProgramsOwn)
{
    TempDrive drive;
    TestSystemHost host;
    drive.write("logo.sys", "old");
    const std::unique_ptr<Replacement> file =
        host.replaceFile("C:\\logo.sys", ReplaceFrom::Nothing);
    const QStringList beside = directoryNames(drive.root()).filter(QRegularExpression("^\\.logo"));
    ASSERT_EQ(beside.size(), 1);
    EXPECT_TRUE(QRegularExpression("^\\.logo\\.sys\\.vantrel-[A-Za-z0-9]{6}\\.tmp$")
                    .match(beside[0])
                    .hasMatch())
        << beside[0].toStdString();
    EXPECT_EQ(replacedFileName(beside[0]), "logo.sys");
    EXPECT_EQ(leftoverReplacements(drive.root()), QStringList{drive.path(beside[0])});
}

// Before each write, what killed writers of the same target left more than
// a minute ago goes; anything else stays.
TEST(ReplaceFile, RemovesStaleTemporaryFilesOfTheSameTargetOnly)
{
    struct Entry {
        const char *name;
        int age;
        bool removed;
    };
    const Entry cases[] = {
        {".logo.sys.vantrel-AAAAAA.tmp", 120, true},
        {".LOGO.SYS.vantrel-BbBb12.tmp", 61, true},
        {".logo.sys.vantrel-CCCCCC.tmp", 30, false},   // a writer may still be at work
        {".logos.sys.vantrel-DDDDDD.tmp", 120, false}, // another target
        {".logo.sys.ABCDEF", 120, false},              // not the program's
        {".logo.sys.vantrel-EE-EEE.tmp", 120, false},  // not from mkstemp
        {"logo.sys.vantrel-FFFFFF.tmp", 120, false},   // not hidden
    };
    TempDrive drive;
    TestSystemHost host;
    drive.write("pic.bmp", "new");
    for (const Entry &entry : cases) {
        drive.write(entry.name, "left over");
        makeOld(drive.path(entry.name), entry.age);
    }
    drive.makeDirectory(".logo.sys.vantrel-GGGGGG.tmp");
    makeOld(drive.path(".logo.sys.vantrel-GGGGGG.tmp"), 120);

    host.copyFile("C:\\pic.bmp", "C:\\logo.sys");

    EXPECT_EQ(drive.read("logo.sys"), "new");
    for (const Entry &entry : cases)
        EXPECT_EQ(drive.exists(entry.name), !entry.removed) << entry.name;
    EXPECT_TRUE(drive.exists(".logo.sys.vantrel-GGGGGG.tmp"));
}

// A FIFO blocks and a device never ends: neither is a source or a target.
// Run in a child with a file size limit, so that a fault here fails
// instead of filling the disk or hanging.
TEST(SourcesAndTargets, MustBeRegularFiles)
{
    TempDrive drive;
    drive.write("pic.bmp", "picture");
    ASSERT_EQ(::mkfifo(QFile::encodeName(drive.path("pipe")).constData(), 0600), 0);
    struct Case {
        const char *what;
        std::function<void(Host &)> action;
        const char *reason;
    };
    const Case cases[] = {
        {"device source", [](Host &h) { h.copyFile("/dev/zero", "C:\\logo.sys"); },
         "cannot copy /dev/zero: not a regular file"},
        {"FIFO source", [](Host &h) { h.copyFile("C:\\pipe", "C:\\logo.sys"); },
         "cannot copy C:\\pipe: not a regular file"},
        {"FIFO opened", [](Host &h) { h.openBinary("C:\\pipe", FileAccess::Read); },
         "cannot open C:\\pipe: not a regular file"},
        {"FIFO opened to write", [](Host &h) { h.openBinary("C:\\pipe", FileAccess::ReadWrite); },
         "cannot open C:\\pipe: not a regular file"},
        {"device opened", [](Host &h) { h.openBinary("/dev/zero", FileAccess::Read); },
         "cannot open /dev/zero: not a regular file"},
        {"FIFO measured", [](Host &h) { h.fileLength("C:\\pipe"); },
         "cannot measure C:\\pipe: not a regular file"},
        {"FIFO target", [](Host &h) { h.copyFile("C:\\pic.bmp", "C:\\pipe"); },
         "cannot write C:\\pipe: not a regular file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        runInChild(
            [&] {
                limitFileSize(1 << 20);
                TestSystemHost host;
                EXPECT_EQ(hostError([&] { c.action(host); }), c.reason);
                EXPECT_EQ(hostErrorKind([&] { c.action(host); }), ErrorKind::NotRegularFile);
            },
            ChildPrivileges::Keep, 20);
    }
    EXPECT_TRUE(S_ISFIFO(statOf(drive.path("pipe")).st_mode));
    EXPECT_EQ(directoryNames(drive.root()), (QStringList{"pic.bmp", "pipe"}));
}

// A name with U+FFFD stands for bytes that were not UTF-8 (here the file
// "\xff.bmp"); the host never takes it for the file that happens to be
// called U+FFFD, nor makes one.
TEST(SystemHost, NeverTakesADamagedNameForAnotherFile)
{
    TempDrive drive;
    TestSystemHost host;
    for (const QByteArray &name : {QByteArray("\xff.bmp"), QByteArray("\xef\xbf\xbd.bmp")}) {
        const int fd = ::open((QFile::encodeName(drive.root()) + '/' + name).constData(),
                              O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "12345", 5), 5);
        ::close(fd);
    }
    drive.write("pic.bmp", "picture");
    const QString damaged = QString::fromUtf8("C:\\\xef\xbf\xbd.bmp");
    const QString reason = "cannot use the name " + damaged +
                           ": it holds U+FFFD, which stands for bytes that are not UTF-8";
    const std::function<void()> actions[] = {
        [&] { host.fileLength(damaged); },
        [&] { host.openBinary(damaged, FileAccess::Read); },
        [&] { host.copyFile(damaged, "C:\\logo.sys"); },
        [&] { host.copyFile("C:\\pic.bmp", damaged); },
        [&] {
            host.replaceFile(QString::fromUtf8("C:\\new\xef\xbf\xbd.sys"), ReplaceFrom::Nothing);
        },
        [&] { host.deleteFile(damaged); },
    };
    for (const auto &action : actions)
        EXPECT_TRUE(hostError(action).startsWith("cannot use the name C:\\"))
            << hostError(action).toStdString();
    EXPECT_EQ(hostError(actions[0]), reason);
    // The names as bytes: Qt's own listing cannot show "\xff.bmp".
    QList<QByteArray> names;
    DIR *dir = ::opendir(QFile::encodeName(drive.root()).constData());
    ASSERT_NE(dir, nullptr);
    while (const dirent *entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names << QByteArray(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (QList<QByteArray>{"pic.bmp", "\xef\xbf\xbd.bmp", "\xff.bmp"}));
    EXPECT_EQ(drive.read(QString::fromUtf8("\xef\xbf\xbd.bmp")), "12345");
}

TEST(DeleteFile, RemovesAFileAndRefusesMissingFilesAndDirectories)
{
    TempDrive drive;
    TestSystemHost host;
    drive.write("LOGO.SYS", "x");
    host.deleteFile("c:\\logo.sys");
    EXPECT_FALSE(drive.exists("LOGO.SYS"));
    EXPECT_EQ(hostError([&] { host.deleteFile("c:\\logo.sys"); }),
              "cannot delete c:\\logo.sys: No such file or directory");
    EXPECT_EQ(hostErrorKind([&] { host.deleteFile("c:\\logo.sys"); }), ErrorKind::NotFound);
    drive.makeDirectory("logo.sys");
    EXPECT_EQ(hostError([&] { host.deleteFile("c:\\logo.sys"); }),
              "cannot delete c:\\logo.sys: it is a directory");
    EXPECT_EQ(hostErrorKind([&] { host.deleteFile("c:\\logo.sys"); }), ErrorKind::IsDirectory);
    EXPECT_TRUE(drive.exists("logo.sys"));
}

TEST(FileLength, MeasuresFilesAndFailsForMissingOnes)
{
    TempDrive drive;
    TestSystemHost host;
    drive.write("a.bmp", QByteArray(129077, 'a'));
    EXPECT_EQ(host.fileLength("C:\\A.BMP"), 129077);
    EXPECT_EQ(host.fileLength(drive.path("a.bmp")), 129077);
    EXPECT_EQ(hostError([&] { host.fileLength("C:\\b.bmp"); }),
              "cannot find C:\\b.bmp: No such file or directory");
    EXPECT_EQ(hostErrorKind([&] { host.fileLength("C:\\b.bmp"); }), ErrorKind::NotFound);
    EXPECT_EQ(hostErrorKind([&] { host.fileLength("C:\\"); }), ErrorKind::IsDirectory);
}

TEST(PathKind, TellsFilesDirectoriesOthersAndNothingApart)
{
    TempDrive drive;
    TestSystemHost host;
    drive.write("WINDOWS/LOGOW.SYS", "w");
    ASSERT_EQ(::mkfifo(QFile::encodeName(drive.path("pipe")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(drive.path("nowhere"), drive.path("dangling")));
    ASSERT_TRUE(QFile::link(drive.path("WINDOWS/LOGOW.SYS"), drive.path("linked.sys")));
    const std::pair<const char *, PathKind> cases[] = {
        {"c:\\windows\\logow.sys", PathKind::File},
        {"C:\\linked.sys", PathKind::File},
        {"C:\\Windows\\", PathKind::Directory},
        {"C:\\", PathKind::Directory},
        {"C:\\pipe", PathKind::Other},
        {"C:\\dangling", PathKind::Other},
        {"C:\\logo.sys", PathKind::Missing},
        {"C:\\WINDOWS\\LOGOW.SYS\\below", PathKind::Missing},
    };
    for (const auto &[path, kind] : cases)
        EXPECT_EQ(host.pathKind(path), kind) << path;
}

TEST(PathKind, FailsWhenADirectoryOnTheWayMayNotBeSearched)
{
    TempDrive drive;
    drive.write("locked/logo.sys", "x");
    handOver(drive.root());
    QFile::setPermissions(drive.path("locked"), QFile::ReadOwner);
    runUnprivileged([&] {
        TestSystemHost host;
        EXPECT_EQ(hostError([&] { host.pathKind("C:\\locked\\logo.sys"); }),
                  "cannot look at C:\\locked\\logo.sys: Permission denied");
        EXPECT_EQ(hostErrorKind([&] { host.pathKind("C:\\locked\\logo.sys"); }),
                  ErrorKind::NoPermission);
    });
    QFile::setPermissions(drive.path("locked"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(MakeDirectories, MakesEveryMissingDirectoryAndAcceptsExistingOnes)
{
    TempDrive drive;
    TestSystemHost host;
    drive.makeDirectory("VANTREL");
    drive.write("file", "in the way");
    host.makeDirectories("C:\\vantrel\\");
    host.makeDirectories("C:\\new\\deeper\\deepest");
    host.makeDirectories(drive.path("native/one"));
    QStringList made = directoryNames(drive.root());
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, (QStringList{"VANTREL", "file", "native", "new"}));
    EXPECT_TRUE(QFileInfo(drive.path("new/deeper/deepest")).isDir());
    EXPECT_TRUE(QFileInfo(drive.path("native/one")).isDir());
    EXPECT_EQ(hostError([&] { host.makeDirectories("C:\\file\\below"); }),
              "cannot create the directory " + drive.path("file") + ": a file is in the way");
}

TEST(MakeDirectories, TellsAnEmptyDirectoryAndRemovesOnlyThat)
{
    TempDrive drive;
    TestSystemHost host;
    drive.write("full/.hidden", "x");
    drive.makeDirectory("empty");
    EXPECT_FALSE(host.directoryIsEmpty("C:\\full"));
    EXPECT_TRUE(host.directoryIsEmpty("C:\\empty"));
    EXPECT_EQ(hostError([&] { host.directoryIsEmpty("C:\\full\\.hidden"); }),
              "cannot list C:\\full\\.hidden: Not a directory");
    EXPECT_EQ(hostError([&] { host.removeEmptyDirectory("C:\\full"); }),
              "cannot remove C:\\full: Directory not empty");
    host.removeEmptyDirectory("C:\\empty");
    EXPECT_EQ(directoryNames(drive.root()), QStringList{"full"});
}

TEST(MakeDirectories, ReportsWhichDirectoryCannotBeMade)
{
    TempDrive drive;
    drive.makeDirectory("shut");
    handOver(drive.root());
    QFile::setPermissions(drive.path("shut"), QFile::ReadOwner | QFile::ExeOwner);
    runUnprivileged([&] {
        TestSystemHost host;
        EXPECT_EQ(hostError([&] { host.makeDirectories("C:\\shut\\a\\b"); }),
                  "cannot create the directory " + drive.path("shut/a") + ": Permission denied");
    });
    EXPECT_TRUE(directoryNames(drive.path("shut")).isEmpty());
    QFile::setPermissions(drive.path("shut"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(BinaryFile, CreatesAnAbsentFileEmptyAndNeverTruncates)
{
    TempDrive drive;
    TestSystemHost host;
    {
        auto file = host.openBinary("C:\\new.sys", FileAccess::ReadWrite);
        file->close();
    }
    EXPECT_EQ(drive.read("new.sys"), QByteArray());

    drive.write("old.sys", "0123456789");
    auto file = host.openBinary("C:\\old.sys", FileAccess::ReadWrite);
    const std::uint8_t ab[] = {'a', 'b'};
    file->writeAt(2, ab);
    file->write(ab); // continues at offset 4
    std::uint8_t got[3] = {};
    file->readAt(7, got);
    file->close();
    EXPECT_EQ(drive.read("old.sys"), "01abab6789");
    EXPECT_EQ(QByteArray(reinterpret_cast<char *>(got), 3), "789");
}

TEST(BinaryFile, ReadsAtTheCurrentPositionAndFailsPastTheEnd)
{
    TempDrive drive;
    TestSystemHost host;
    drive.write("f.bin", "abcdef");
    auto file = host.openBinary("C:\\f.bin", FileAccess::Read);
    std::uint8_t two[2] = {};
    file->read(two);
    file->read(two);
    EXPECT_EQ(QByteArray(reinterpret_cast<char *>(two), 2), "cd");
    std::uint8_t four[4] = {};
    EXPECT_EQ(hostError([&] { file->read(four); }),
              "cannot read C:\\f.bin: the file ends at byte 6");
    EXPECT_EQ(hostErrorKind([&] { file->read(four); }), ErrorKind::CutShort);
}

TEST(BinaryFile, ReadOnlyAccessToAMissingFileFailsAndCreatesNothing)
{
    TempDrive drive;
    TestSystemHost host;
    EXPECT_EQ(hostError([&] { host.openBinary("C:\\none.bmp", FileAccess::Read); }),
              "cannot open C:\\none.bmp: No such file or directory");
    EXPECT_FALSE(drive.exists("none.bmp"));
}

TEST(WindowsDirectory, ReportsTheDirectoryThroughTheBufferProtocol)
{
    TestSystemHost host;
    char buffer[255];
    std::fill(std::begin(buffer), std::end(buffer), ' ');
    ASSERT_EQ(host.windowsDirectory(buffer, 255), 10u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS");
    char tiny[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(host.windowsDirectory(tiny, 5), 0u);
}

// Windows 95 and 98 record their directory in C:\MSDOS.SYS; anything that
// does not name one on drive C leaves the usual C:\WINDOWS.
TEST(WindowsDirectory, IsTheOneMsdosSysNames)
{
    struct Case {
        const char *what;
        std::optional<QByteArray> msdosSys;
        const char *directory;
    };
    const Case cases[] = {
        {"Windows 98",
         QByteArray("[Paths]\r\nWinDir=C:\\WIN98\r\nWinBootDir=C:\\WIN98\r\n"
                    "HostWinBootDrv=C\r\n\r\n[Options]\r\nBootGUI=1\r\n"),
         "C:\\WIN98"},
        {"any case, spaces", QByteArray("[paths]\nwindir = c:\\Win95  \n"), "c:\\Win95"},
        {"no file", std::nullopt, "C:\\WINDOWS"},
        {"another section", QByteArray("[Options]\r\nWinDir=C:\\WIN98\r\n"), "C:\\WINDOWS"},
        {"another drive", QByteArray("[Paths]\r\nWinDir=D:\\WIN98\r\n"), "C:\\WINDOWS"},
        {"another key", QByteArray("[Paths]\r\nWinDirX=C:\\WIN98\r\n"), "C:\\WINDOWS"},
        {"not ASCII", QByteArray("[Paths]\r\nWinDir=C:\\W\xc9N\r\n"), "C:\\WINDOWS"},
        {"MS-DOS's own, a program", QByteArray(40000, '\xe9'), "C:\\WINDOWS"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDrive drive;
        if (c.msdosSys)
            drive.write("MSDOS.SYS", *c.msdosSys);
        TestSystemHost host;
        char buffer[255];
        const unsigned length = host.windowsDirectory(buffer, 255);
        EXPECT_EQ(QByteArray(buffer), QByteArray(c.directory));
        EXPECT_EQ(length, std::strlen(c.directory));
    }
}

class TempDirectory : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_old = qgetenv("TMPDIR");
        qputenv("TMPDIR", m_dir.path().toUtf8());
    }
    void TearDown() override { qputenv("TMPDIR", m_old); }
    QTemporaryDir m_dir;
    QByteArray m_old;
};

TEST_F(TempDirectory, TempFilesAreNewEmptyPrivateAndNamedVogHex)
{
    TestSystemHost host;
    const QString first = host.createTempFile("Vog");
    const QString second = host.createTempFile("Vog");
    const QRegularExpression name("^Vog[0-9A-F]{4}\\.TMP$");
    for (const QString &path : {first, second}) {
        const QFileInfo info(path);
        EXPECT_EQ(info.absolutePath(), m_dir.path());
        EXPECT_TRUE(name.match(info.fileName()).hasMatch()) << path.toStdString();
        EXPECT_EQ(info.size(), 0);
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    EXPECT_NE(first, second);
}

TEST_F(TempDirectory, TempFilesNeverReuseAnExistingNameOrLink)
{
    TestSystemHost host;
    const QString victim = m_dir.path() + "/victim";
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("untouched");
    }
    // Every name but one is taken, half by files and half by links.
    for (unsigned n = 0; n < 0x10000; ++n) {
        if (n == 0x2A5C)
            continue;
        const QString path = m_dir.path() + "/Vog" +
                             QStringLiteral("%1").arg(n, 4, 16, QLatin1Char('0')).toUpper() +
                             ".TMP";
        if (n % 2 == 0)
            ASSERT_TRUE(QFile::link(victim, path));
        else
            QFile(path).open(QIODevice::WriteOnly);
    }
    EXPECT_EQ(host.createTempFile("Vog"), m_dir.path() + "/Vog2A5C.TMP");
    EXPECT_EQ(fileBytes(victim), "untouched");
    EXPECT_FALSE(hostError([&] { host.createTempFile("Vog"); }).isEmpty());
}

TEST_F(TempDirectory, NoTempFileWhenTheTemporaryDirectoryIsMissing)
{
    TestSystemHost host;
    for (const QString &missing : {m_dir.path() + "/gone", m_dir.path() + "/file"}) {
        SCOPED_TRACE(missing.toStdString());
        QFile(m_dir.path() + "/file").open(QIODevice::WriteOnly);
        qputenv("TMPDIR", missing.toUtf8());
        EXPECT_EQ(hostErrorKind([&] { host.createTempFile("Vog"); }), ErrorKind::NotFound);
    }
    // Nothing was made anywhere else, the root included.
    EXPECT_EQ(directoryNames(m_dir.path()), QStringList{"file"});
    EXPECT_TRUE(QDir("/").entryList({"Vog*.TMP"}, QDir::Files).isEmpty());
}

TEST(Settings, RoundTripStringsAsGivenInTheUsersIniFile)
{
    QTemporaryDir config;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QString app = "Vog Computer Applications";
    const QString section = "Animated Logo Utility";
    {
        TestSystemHost host;
        EXPECT_EQ(host.getSetting(app, section, "Target", "Target File"), "Target File");
        host.saveSetting(app, section, "Source", "C:\\pics\\a,b.bmp");
        host.saveSetting(app, section, "Target", "/home/me/Logo Files/x.sys");
        host.saveSetting(app, section, "Starting Entry", "236");
        host.saveSetting(app, section, "Reverse Palette", " 1");
    }
    EXPECT_TRUE(QFileInfo::exists(config.path() + "/Vog Computer Applications.conf"));
    TestSystemHost host;
    EXPECT_EQ(host.getSetting(app, section, "Source", ""), "C:\\pics\\a,b.bmp");
    EXPECT_EQ(host.getSetting(app, section, "Target", ""), "/home/me/Logo Files/x.sys");
    EXPECT_EQ(host.getSetting(app, section, "Starting Entry", ""), "236");
    EXPECT_EQ(host.getSetting(app, section, "Reverse Palette", ""), " 1");
    EXPECT_EQ(host.getSetting(app, "Other", "Source", "none"), "none");
    qputenv("XDG_CONFIG_HOME", old);
}

// Command lines reach fake programs on a private PATH, which write down the
// arguments they were given.
class CommandLines : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldPath = qgetenv("PATH");
        qputenv("PATH", m_bin.path().toUtf8());
    }
    void TearDown() override { qputenv("PATH", m_oldPath); }

    void addProgram(const QString &name)
    {
        const QString path = m_bin.path() + '/' + name;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            QStringLiteral("#!/bin/sh\n"
                           "out=\"%1/%2.args\"\n"
                           "echo \"$#\" > \"$out.tmp\"\n"
                           "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$out.tmp\"; done\n"
                           "/bin/mv \"$out.tmp\" \"$out\"\n")
                .arg(m_bin.path(), name)
                .toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // The argument count and arguments the program was started with.
    QStringList received(const QString &name)
    {
        QFile file(m_bin.path() + '/' + name + ".args");
        QElapsedTimer clock;
        clock.start();
        while (!file.exists() && clock.elapsed() < 10000)
            QThread::msleep(20);
        if (!file.open(QIODevice::ReadOnly))
            return {"never started"};
        QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        lines.removeLast();
        return lines;
    }

    QTemporaryDir m_bin;
    QByteArray m_oldPath;
};

TEST_F(CommandLines, PassTheRestAsOneArgumentWithoutAShell)
{
    TestSystemHost host;
    addProgram("mtpaint");
    const QString path = m_bin.path() + "/my pics/a;b $(touch pwned) `touch pwned2` & c.bmp";
    host.runCommandLine("pbrush " + path, WindowStyle::NormalWithFocus);
    EXPECT_EQ(received("mtpaint"), (QStringList{"1", path}));
    EXPECT_FALSE(QFileInfo::exists("pwned"));
    EXPECT_FALSE(QFileInfo::exists(m_bin.path() + "/pwned"));
}

TEST_F(CommandLines, PicksTheFirstEditorOnThePathAndMapsDosPaths)
{
    TempDrive drive;
    TestSystemHost host;
    addProgram("gimp");
    addProgram("kolourpaint");
    addProgram("mousepad");
    addProgram("xdg-open");
    EXPECT_EQ(host.resolveCommandLine("pbrush x").program, m_bin.path() + "/kolourpaint");
    host.runCommandLine("notepad.exe c:\\vantrel\\readme.txt", WindowStyle::NormalWithFocus);
    EXPECT_EQ(received("mousepad"), (QStringList{"1", drive.path("vantrel/readme.txt")}));
    host.runCommandLine("start mailto:vantrel@brontic.example", WindowStyle::MinimizedWithFocus);
    EXPECT_EQ(received("xdg-open"), (QStringList{"1", "mailto:vantrel@brontic.example"}));
}

TEST_F(CommandLines, PassNoArgumentWhenNothingFollowsTheProgram)
{
    TestSystemHost host;
    addProgram("pinta");
    EXPECT_EQ(host.resolveCommandLine("pbrush").arguments, QStringList{});
    EXPECT_EQ(host.resolveCommandLine("pbrush No file selected. Please select a file.").arguments,
              QStringList{"No file selected. Please select a file."});
}

TEST_F(CommandLines, FailWhenNoProgramCanBeFound)
{
    TestSystemHost host;
    EXPECT_EQ(hostError([&] { host.runCommandLine("pbrush a.bmp", WindowStyle::NormalWithFocus); }),
              "cannot start pbrush: no bitmap editor found (tried kolourpaint, pinta, mtpaint, "
              "drawing, gimp, xdg-open)");
    EXPECT_EQ(hostError([&] {
                  host.runCommandLine("start http://www.brontic.example",
                                      WindowStyle::MinimizedWithFocus);
              }),
              "cannot start start: no program to open addresses found (tried xdg-open)");
}

} // namespace

namespace {

// One holder at a time, within a process as between processes; a waiter
// gives up after its wait and names the holder.
TEST(LockExclusive, LetsOneHolderInAndNamesItToAWaiter)
{
    QTemporaryDir directory;
    const QString path = directory.path() + "/lock";
    TestSystemHost host;
    const QString held = path + " is in use by process " + QString::number(::getpid());
    {
        const std::unique_ptr<FileLock> lock = host.lockExclusive(path, 0);
        EXPECT_EQ(hostError([&] { host.lockExclusive(path, 50); }), held);
        EXPECT_EQ(hostErrorKind([&] { host.lockExclusive(path, 0); }), ErrorKind::InUse);
        runInChild([&] {
            TestSystemHost child;
            EXPECT_EQ(hostError([&] { child.lockExclusive(path, 50); }), held);
        });
    }
    runInChild([&] {
        TestSystemHost child;
        EXPECT_NE(child.lockExclusive(path, 0), nullptr);
    });
    EXPECT_NE(host.lockExclusive(path, 0), nullptr);
}

} // namespace
