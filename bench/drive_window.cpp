// The "Drive C" window with 20 emulator machines configured: the time to
// open it with every machine listed (the goal is under 200 ms), and the
// time until every row's kind, Windows directory and slots are read.

#include "drive/drive_choice.h"
#include "logo/drive_form.h"
#include "logo/form1.h"
#include "ui/desktop_host.h"
#include "ui/forms.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <stdexcept>

namespace {

constexpr int kMachines = 20;

// A home with kMachines 86Box machines, each with a floppy-sized FAT disk
// holding WINDOWS\WIN.COM; HOME and the configuration directory point into
// it while it lives.
class MachinesHome {
public:
    MachinesHome() : m_oldHome(qgetenv("HOME")), m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
    {
        const QString image = m_dir.filePath("template.img");
        if (QProcess::execute("mkfs.fat", {"-C", "-n", "WIN98", image, "1440"}) != 0 ||
            QProcess::execute("mmd", {"-i", image, "::/WINDOWS"}) != 0)
            throw std::runtime_error("cannot make the disk image");
        for (int i = 0; i < kMachines; ++i) {
            const QString machine =
                m_dir.filePath(QStringLiteral(".local/share/86Box/win98-%1").arg(i));
            QDir().mkpath(machine);
            QFile::copy(image, machine + "/disk.img");
            QFile config(machine + "/86box.cfg");
            if (!config.open(QIODevice::WriteOnly))
                throw std::runtime_error("cannot write 86box.cfg");
            config.write("[Machine]\nmachine = p3bf\n\n[Hard disks]\nhdd_01_fn = disk.img\n");
        }
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    }
    ~MachinesHome()
    {
        qputenv("HOME", m_oldHome);
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    QByteArray m_oldConfig;
};

void openDriveWindow(benchmark::State &state, bool untilRead)
{
    const MachinesHome home;
    vantrel::DesktopHost host;
    for (auto _ : state) {
        vantrel::Forms forms(host);
        forms.setMainWindow<vantrel::Form1>();
        QElapsedTimer timer;
        timer.start();
        vantrel::DriveForm &window = forms.show<vantrel::DriveForm>();
        // Listed and drawn; the disks are read from here on.
        window.repaint();
        while (untilRead && !window.allDescribed())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (window.lstDrives->topLevelItemCount() != kMachines + 1)
            state.SkipWithError("the window does not list every machine");
        // Let the readers still at work finish before the next window.
        while (!window.allDescribed())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
}

void BM_DriveWindowOpens(benchmark::State &state)
{
    openDriveWindow(state, false);
}
BENCHMARK(BM_DriveWindowOpens)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_DriveWindowReadsEveryDisk(benchmark::State &state)
{
    openDriveWindow(state, true);
}
BENCHMARK(BM_DriveWindowReadsEveryDisk)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace
