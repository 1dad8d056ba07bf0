#include "cli/cli.h"

#include "codec/gif_export.h"
#include "codec/logo_format.h"
#include "support/child_process.h"
#include "support/cli_run.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/logo_animation.h"
#include "support/logo_bytes.h"
#include "support/x_screen.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace vantrel;
using namespace vantrel::test;

// One picture per step that looks new, each the export's frame of its step
// (decoded from both files), and a script that times the steps.
TEST(CliPlymouth, WritesEachDistinctStepAsTheExportWritesIt)
{
    struct Case {
        QByteArray logo;
        QStringList options;
        QString directory;
        QStringList files;
        QString steps;
    };
    const std::vector<Case> cases{
        {chaserLogo(),
         {"--delay-ms", "100"},
         "win95",
         {"frame-001.png", "frame-008.png", "frame-015.png", "frame-022.png", "frame-029.png",
          "frame-036.png", "frame-043.png", "frame-050.png", "win95.plymouth", "win95.script"},
         "step_file[1] = \"frame-008.png\";\nstep_end[1] = 1400;\nstep_file[2] = "},
        {LogoBytes().bytes(),
         {"--shutdown", "C:\\logo.sys", "--name", "still"},
         "theme",
         {"frame-001.png", "shutdown.png", "still.plymouth", "still.script"},
         "step_file[0] = \"frame-001.png\";\nstep_end[0] = 70;\nstep_count = 1;\ncycle_ms = "
         "70;\nshutdown_file = \"shutdown.png\";\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.directory.toStdString());
        TempDrive drive;
        drive.write("logo.sys", c.logo);
        drive.makeDirectory("frames");
        ASSERT_EQ(
            runCommand({"export", "C:\\logo.sys", "C:\\out.gif", "--frames", "C:\\frames"}).code,
            0);
        const CliRun run =
            runCommand(QStringList{"plymouth", "C:\\logo.sys", "C:\\" + c.directory} + c.options);
        ASSERT_EQ(run.code, 0) << run.err.toStdString();
        EXPECT_EQ(run.err + run.out, "");
        const QString theme = drive.root() + '/' + c.directory;
        ASSERT_EQ(directoryNames(theme), c.files);
        for (const QString &file : c.files.filter(".png")) {
            const QImage frame(drive.root() + "/frames/" +
                               (file == "shutdown.png" ? "frame-001.png" : file));
            EXPECT_EQ(QImage(theme + '/' + file).convertToFormat(QImage::Format_RGB32),
                      frame.convertToFormat(QImage::Format_RGB32))
                << file.toStdString();
        }
        const QString name = c.files.last().section('.', 0, 0);
        EXPECT_TRUE(QString(fileBytes(theme + '/' + name + ".script")).contains(c.steps));
        EXPECT_TRUE(fileBytes(theme + '/' + name + ".plymouth")
                        .contains("ModuleName=script\n\n[script]\nImageDir=/usr/share/plymouth/"
                                  "themes/" +
                                  name.toUtf8() + "\n"));
    }
}

// A refusal, and a write that fails halfway, leave nothing behind.
TEST(CliPlymouth, RefusesAndLeavesNothingBehind)
{
    TempDrive drive;
    drive.write("logo.sys", bandLogo(236).bytes());
    drive.write("afile", "hello");
    drive.write("full/x", "x");
    const QStringList before = everythingBelow(drive.root());
    const QString name = "cannot name a theme: use 1 to 64 letters, digits, '-', '_' and '.', "
                         "starting with a letter or a digit";
    const std::vector<std::tuple<QStringList, int, QString>> cases{
        {{"C:\\afile", "C:\\new"}, 1, "C:\\afile: not a logo bitmap: 5 bytes, expected 129078"},
        {{"C:\\logo.sys", "C:\\full"}, 1, "C:\\full is not empty; choose a new or empty directory"},
        {{"C:\\logo.sys", "C:\\afile"}, 1, "C:\\afile is not a directory"},
        {{"C:\\logo.sys", "C:\\new", "--shutdown", "C:\\afile"},
         1,
         "C:\\afile: not a logo bitmap: 5 bytes, expected 129078"},
        {{"C:\\logo.sys", "C:\\new", "--name", "a b"}, 2, "'a b' " + name},
        {{"C:\\logo.sys", "C:\\.new"}, 2, "'.new' " + name + "; give one with --name"},
        {{"C:\\logo.sys", "C:\\new", "--delay-ms", "10"},
         2,
         "the delay must be an integer from 20 to 655350 milliseconds, not '10'"},
        {{"C:\\logo.sys", "C:\\new", "--size", "800x600"},
         2,
         "the size must be 640x480, 640x400 or 320x400, not '800x600'"},
        {{"C:\\logo.sys"}, 2, "plymouth takes a logo and a directory"},
    };
    for (const auto &[arguments, code, reason] : cases) {
        SCOPED_TRACE(reason.toStdString());
        const CliRun run = runCommand(QStringList{"plymouth"} + arguments);
        EXPECT_EQ(run.code, code);
        EXPECT_EQ(run.err.section('\n', 0, 0), "vantrel-cli: " + reason);
        EXPECT_EQ(everythingBelow(drive.root()), before);
    }
    // A file size limit stands in for a full disk: the theme file fits, the
    // script does not.
    runInChild([] {
        std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit {
            3000, 3000
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        EXPECT_EQ(runCommand({"plymouth", "C:\\logo.sys", "C:\\new"}).code, kExitFailed);
    });
    EXPECT_EQ(everythingBelow(drive.root()), before);
}

namespace {

using namespace std::chrono_literals;

// The real splash daemon on a 1280 x 720 Xvfb screen of its own, showing
// the theme NAME installed in `directory` (/run/plymouth/themes/NAME, where
// it looks first), its terminal a pseudo-terminal that is drained, as the
// daemon blocks once nobody reads its trace there. A lock on the themes'
// directory keeps two tests on one machine from sharing its socket. All it
// started is stopped, and the theme removed, when it goes.
class SplashDaemon {
public:
    SplashDaemon(const QString &directory, const QString &name) : m_directory(directory)
    {
        m_lock = ::open("/run/plymouth/themes", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 0; i < 1200 && ::flock(m_lock, LOCK_EX | LOCK_NB) != 0; ++i)
            std::this_thread::sleep_for(100ms);
        m_xvfb.start("Xvfb",
                     {"-displayfd", "1", "-screen", "0", "1280x720x24", "-nolisten", "tcp"});
        if (m_xvfb.waitForReadyRead(20000))
            display = ':' + QString::fromLatin1(m_xvfb.readLine().trimmed());
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ::grantpt(m_master);
        ::unlockpt(m_master);
        // Held open, so that the master waits for the daemon's output.
        m_tty = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        m_drain = std::thread([this] {
            char buffer[4096];
            while (!m_stopping) {
                pollfd ready{m_master, POLLIN, 0};
                if (::poll(&ready, 1, 50) > 0 && ::read(m_master, buffer, sizeof buffer) <= 0)
                    std::this_thread::sleep_for(50ms);
            }
        });
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        m_daemon.setProcessEnvironment(environment);
        m_daemon.setStandardOutputFile(QProcess::nullDevice());
        m_daemon.setStandardErrorFile(QProcess::nullDevice());
        m_daemon.start("plymouthd",
                       QStringList{"--no-daemon", "--debug", "--debug-file=" + trace, "--mode=boot",
                                   "--no-boot-log", "--pid-file=" + scratch.path() + "/pid",
                                   "--ignore-serial-consoles",
                                   "--kernel-command-line=splash plymouth.splash=" + name +
                                       " plymouth.ignore-udev",
                                   QStringLiteral("--tty=") + ::ptsname(m_master)});
        for (int i = 0; i < 100 && !client({"--ping"}); ++i)
            std::this_thread::sleep_for(100ms);
    }

    ~SplashDaemon()
    {
        stop();
        QDir(m_directory).removeRecursively();
        ::close(m_lock);
    }

    SplashDaemon(const SplashDaemon &) = delete;
    SplashDaemon &operator=(const SplashDaemon &) = delete;

    // Runs the client `plymouth` with `arguments`; whether it succeeded.
    // QProcess ends one that hangs when it goes.
    static bool client(const QStringList &arguments)
    {
        QProcess plymouth;
        plymouth.start("plymouth", arguments);
        return plymouth.waitForFinished(10000) && plymouth.exitCode() == 0;
    }

    // Asks the daemon to quit and ends it if it stays, then the X server.
    void stop()
    {
        if (m_daemon.state() != QProcess::NotRunning &&
            !(client({"quit"}) && m_daemon.waitForFinished(10000)))
            m_daemon.kill();
        m_daemon.waitForFinished();
        m_xvfb.terminate();
        if (!m_xvfb.waitForFinished(5000))
            m_xvfb.kill();
        m_xvfb.waitForFinished();
        m_stopping = true;
        if (m_drain.joinable())
            m_drain.join();
        ::close(m_tty);
        ::close(m_master);
        m_tty = m_master = -1;
    }

    QString display;
    QTemporaryDir scratch;
    // The file the daemon writes its trace to.
    const QString trace = scratch.path() + "/trace";

private:
    QString m_directory;
    int m_lock = -1;
    int m_master = -1;
    int m_tty = -1;
    QProcess m_xvfb;
    QProcess m_daemon;
    std::thread m_drain;
    std::atomic<bool> m_stopping = false;
};

// The band of bandLogo(236) in twenty hues, and above it blocks of 16 x 20
// pixels in colours of their own, so that a screen pixel tells which logo
// pixel and which step of the cycle it shows.
QByteArray screenLogo()
{
    LogoBytes logo = bandLogo(236);
    std::mt19937 random(5);
    for (int entry = 1; entry < 236; ++entry)
        logo.setColour(entry, std::uint8_t(random()), std::uint8_t(random()), 200);
    for (int j = 0; j < 20; ++j) {
        const QColor hue = QColor::fromHsv(j * 18, 255, 255);
        logo.setColour(236 + j, std::uint8_t(hue.red()), std::uint8_t(hue.green()),
                       std::uint8_t(hue.blue()));
    }
    for (int y = 0; y < kBandTop; ++y) {
        for (int x = 0; x < kLogoWidth; ++x)
            logo.pixels[std::size_t(kLogoHeight - 1 - y) * kLogoWidth + std::size_t(x)] =
                std::uint8_t(1 + (x / 16 + y / 20 * 20) % 235);
    }
    return logo.bytes();
}

// Whether the screen shows logo pixel (x, y) as it is at step k: 640 x 480
// frames scaled to 960 x 720 with 160 columns of black on either side, the
// pixel under the logo pixel's centre near its colour.
bool shows(const QImage &screen, const QByteArray &logo, int x, int y, int k)
{
    const QRgb got = screen.pixel(160 + 3 * x + 1, int((y + 0.5) * 1.8));
    const Colour want = shownColour(logo, ExportSize::Raw320x400, x, y, k, 236);
    return std::abs(qRed(got) - want[0]) <= 6 && std::abs(qGreen(got) - want[1]) <= 6 &&
           std::abs(qBlue(got) - want[2]) <= 6;
}

// The step of the cycle the band shows, or -1 when it shows none.
int shownStep(const QImage &screen, const QByteArray &logo)
{
    for (int k = 0; k < 20; ++k) {
        int j = 0;
        while (j < 20 && shows(screen, logo, 16 * j + 4, 385, k))
            ++j;
        if (j == 20)
            return k;
    }
    return -1;
}

// The black on either side and the blocks of the logo, each where it
// belongs at 4:3.
void expectLogoAtFourThirds(const QImage &screen, const QByteArray &logo)
{
    for (const int y : {0, 359, 719}) {
        for (const int x : {0, 159, 1120, 1279})
            EXPECT_EQ(screen.pixel(x, y), qRgb(0, 0, 0)) << x << ", " << y;
    }
    for (int y = 10; y < kBandTop; y += 20) {
        for (const int x : {0, 8, 72, 136, 200, 264, 319})
            EXPECT_TRUE(shows(screen, logo, x, y, 0)) << "logo pixel " << x << ", " << y;
    }
}

} // namespace

// The theme as Plymouth itself shows it, on a screen wider than 4:3.
TEST(PlymouthTheme, TheRealSplashShowsTheLogoAtFourThirdsAndCyclesItForward)
{
    TempDrive drive;
    const QByteArray logo = screenLogo();
    drive.write("logo.sys", logo);
    const QString name = QStringLiteral("vantrel-test-%1").arg(::getpid());
    const QString installed = "/run/plymouth/themes/" + name;
    const CliRun run = runCommand({"plymouth", "C:\\logo.sys", installed, "--delay-ms", "200"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    // Plymouth takes the theme file's paths as written: they follow the copy.
    QFile theme(installed + '/' + name + ".plymouth");
    const QByteArray bytes = fileBytes(theme.fileName()).replace("/usr/share/", "/run/");
    ASSERT_TRUE(theme.open(QIODevice::WriteOnly) && theme.write(bytes) == bytes.size());
    theme.close();
    SplashDaemon daemon(installed, name);
    ASSERT_FALSE(daemon.display.isEmpty());
    ASSERT_TRUE(SplashDaemon::client({"show-splash"}));
    QImage screen;
    for (int i = 0; i < 100 && (screen.isNull() || shownStep(screen, logo) < 0); ++i)
        screen = grabXScreen(daemon.display, 100);
    ASSERT_EQ(screen.size(), QSize(1280, 720));
    expectLogoAtFourThirds(screen, logo);
    std::vector<int> steps{shownStep(screen, logo)};
    ASSERT_GE(steps.front(), 0);
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(300ms);
        steps.push_back(shownStep(grabXScreen(daemon.display, 100), logo));
    }
    daemon.stop();
    const QByteArray trace = fileBytes(daemon.trace);
    EXPECT_TRUE(trace.contains("executing script file")) << trace.toStdString();
    EXPECT_FALSE(trace.contains("error")) << trace.toStdString();
    // Each look is the same step or a later one, and the band moves.
    int moved = 0;
    for (std::size_t i = 1; i < steps.size(); ++i) {
        ASSERT_GE(steps[i], 0);
        const int forward = (steps[i] - steps[i - 1] + 20) % 20;
        EXPECT_LT(forward, 10) << steps[i - 1] << " then " << steps[i];
        moved += forward;
    }
    EXPECT_GT(moved, 0);
    EXPECT_LT(moved, 20);
}
