#include "host/system_host.h"
#include "support/fake_host.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vantrel;
using vantrel::test::TempDrive;

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

QString hostError(const std::function<void()> &action)
{
    try {
        action();
    } catch (const HostError &error) {
        return error.reason();
    }
    return {};
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
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
    EXPECT_EQ(entries(drive.path("WINDOWS")), QStringList{"LOGOW.SYS"});
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
    EXPECT_EQ(entries(drive.root()), QStringList{"logo.sys"});
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
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "precious");
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
        EXPECT_EQ(entries(drive.root()), QStringList{"logo.sys"});
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

TEST(DeleteFile, RemovesAFileAndRefusesMissingFilesAndDirectories)
{
    TempDrive drive;
    TestSystemHost host;
    drive.write("LOGO.SYS", "x");
    host.deleteFile("c:\\logo.sys");
    EXPECT_FALSE(drive.exists("LOGO.SYS"));
    EXPECT_EQ(hostError([&] { host.deleteFile("c:\\logo.sys"); }),
              "cannot delete c:\\logo.sys: No such file or directory");
    drive.makeDirectory("logo.sys");
    EXPECT_EQ(hostError([&] { host.deleteFile("c:\\logo.sys"); }),
              "cannot delete c:\\logo.sys: it is a directory");
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
    EXPECT_FALSE(hostError([&] { host.fileLength("C:\\"); }).isEmpty());
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
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "untouched");
    EXPECT_FALSE(hostError([&] { host.createTempFile("Vog"); }).isEmpty());
}

TEST_F(TempDirectory, NoTempFileWhenTheTemporaryDirectoryIsMissing)
{
    TestSystemHost host;
    for (const QString &missing : {m_dir.path() + "/gone", m_dir.path() + "/file"}) {
        SCOPED_TRACE(missing.toStdString());
        QFile(m_dir.path() + "/file").open(QIODevice::WriteOnly);
        qputenv("TMPDIR", missing.toUtf8());
        EXPECT_FALSE(hostError([&] { host.createTempFile("Vog"); }).isEmpty());
    }
    // Nothing was made anywhere else, the root included.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"file"});
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
                  host.runCommandLine("start http://www.brontic.example/",
                                      WindowStyle::MinimizedWithFocus);
              }),
              "cannot start start: no program to open addresses found (tried xdg-open)");
}

} // namespace
