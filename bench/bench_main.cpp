// How fast the transform is, and how close it comes to a plain copy.
//
// BM_Flip remaps one 32000-byte block of the pixel area; BM_FlipByTable does
// the same through a lookup table, the obvious other way to write Flip, to
// show what Flip's branch-free select buys.
// BM_AnimateLogo writes a target from a source through the console tool's
// host (the system file layer) on a temporary directory; BM_CopyLogo moves the same bytes through
// the same BinaryFile calls with the same block sizes and nothing else, so it is the floor the
// transform can be held against.
//
// BM_ChangeSlotWithBackup installs a logo bitmap into the start-up slot of a temporary drive with
// ChangeSlot, which first keeps what the slot held; the goal is at most twice BM_CopyLogo. It
// alternates two pictures, so after the first two changes both are kept and a backup costs a read
// and a hash of the slot and the rewrite of the small index that makes the replaced one the
// newest. BM_ChangeSlotWithNewContent installs a new picture each time, so that each backup also
// writes a 129078-byte copy and, past the 21st, removes the oldest. BM_CopySlotFile is the change
// as it was before it kept anything, the host's copy alone: like every write of the program it is
// flushed to disk before it is renamed into place, which BM_CopyLogo's in-place writes are not, so
// on a disk (not tmpfs) the flushes, not the bytes, set all three figures.
//
// BM_RefuseHugeIndex lists the copies of a drive whose index.json is a 3 GiB file: refused by
// its length before a byte of it is read. BM_HistoryRefresh refills the History window's lists
// with 21 copies of each slot: reading, hashing, judging and decoding each copy and making its
// thumbnail.
//
// BM_ExportGif makes the GIF of an animated logo at 640 x 480 in memory. The goal, for S = 236,
// is the stock shutdown picture with a band of the 20 animated entries across its foot, as a
// start-up logo usually moves; beside it a picture whose every pixel cycles, the most a logo can
// ask, and the stock pictures animated from lower entries. Each reports its size against plain
// full frames.
//
// BM_PreviewTick runs the palette-cycling preview's real tick on a loaded
// preview window with the desktop host: rotate, rewrite the 1078-byte
// header block, reload and decode the 129078-byte file through the host's
// picture loader, stretch to 534 x 400, paint. BM_PreviewLoadPicture and
// BM_PreviewStretch time the decode and the stretch alone, to show where a
// tick's time goes. BM_PreviewJitter lets a real preview run for 200 ticks
// of its 70 ms timer in the event loop and reports the tick-to-tick
// intervals and the CPU time per tick; run it under a real X server
// (xvfb-run) for figures that include the window system.
//
// BM_ImageDrive times the slot operations on a drive C that is a 16 MiB
// FAT16 disk image, through the console tool's host and mtools, and counts
// the mtools processes each one starts (mtools_per_op). The whole-process
// figure, install and read back as a user runs them, comes from
// scripts/image-speed.sh.
//
// Qt may convert or paint on worker threads, so the CPU time of these
// counts every thread of the process.
//
// The window benchmarks use Qt's offscreen platform unless DISPLAY or
// QT_QPA_PLATFORM says otherwise.

#include "cli/console_host.h"
#include "codec/gif_export.h"
#include "codec/logo_format.h"
#include "drive/stock_art.h"
#include "host/disk/mtools_drive.h"
#include "image/aniform1.h"
#include "image/aniform2.h"
#include "image/animate.h"
#include "logo/backups.h"
#include "logo/form1.h"
#include "logo/history.h"
#include "logo/slots.h"
#include "ui/desktop_host.h"
#include "ui/forms.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <vector>

#include <sys/resource.h>

namespace {

using namespace vantrel;

constexpr int kStart = kDefaultStartEntry;

// Flip's map through a 256-entry table. Only here, to be weighed against
// Flip; the program uses Flip alone.
void FlipByTable(std::span<std::uint8_t> block, int start)
{
    std::array<std::uint8_t, 256> map;
    for (int c = 0; c < 256; ++c)
        map[std::size_t(c)] = static_cast<std::uint8_t>(c >= start ? 255 + start - c : c);
    for (std::uint8_t &c : block)
        c = map[c];
}

std::vector<std::uint8_t> pixelBlock()
{
    std::vector<std::uint8_t> block(kPixelBlockLength);
    std::uint32_t state = 12345;
    for (std::uint8_t &c : block) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<std::uint8_t>(state >> 24);
    }
    return block;
}

template <void (*Remap)(std::span<std::uint8_t>, int)> void flipBenchmark(benchmark::State &state)
{
    std::vector<std::uint8_t> block = pixelBlock();
    for (auto _ : state) {
        Remap(block, kStart);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(block.size()));
}

void BM_Flip(benchmark::State &state)
{
    flipBenchmark<Flip>(state);
}
BENCHMARK(BM_Flip);

void BM_FlipByTable(benchmark::State &state)
{
    flipBenchmark<FlipByTable>(state);
}
BENCHMARK(BM_FlipByTable);

// A temporary directory with a logo bitmap "source.bmp" and an existing
// "target.bmp" of the same length, as a second run of the maker finds it.
class Files {
public:
    Files()
    {
        if (!m_dir.isValid())
            throw std::runtime_error("cannot create a temporary directory");
        QByteArray logo(qsizetype(kLogoLength), '\0');
        const std::vector<std::uint8_t> block = pixelBlock();
        for (qsizetype i = 0; i < logo.size(); ++i)
            logo[i] = char(block[std::size_t(i) % block.size()]);
        write(source(), logo);
        write(target(), logo);
    }

    QString source() const { return m_dir.filePath("source.bmp"); }
    QString target() const { return m_dir.filePath("target.bmp"); }

private:
    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            throw std::runtime_error("cannot write " + path.toStdString());
    }

    QTemporaryDir m_dir;
};

void BM_AnimateLogo(benchmark::State &state, bool reverse)
{
    Files files;
    QTextStream err(stderr);
    ConsoleHost host(err);
    for (auto _ : state)
        AnimateLogo(host, files.source(), files.target(), kStart, reverse);
    state.SetBytesProcessed(state.iterations() * kLogoLength);
}
BENCHMARK_CAPTURE(BM_AnimateLogo, forward, false);
BENCHMARK_CAPTURE(BM_AnimateLogo, reverse, true);

// The transform's file work alone: the header block, then four blocks.
void copyLogo(Host &host, const QString &source, const QString &target)
{
    const std::unique_ptr<BinaryFile> in = host.openBinary(source, FileAccess::Read);
    const std::unique_ptr<BinaryFile> out = host.openBinary(target, FileAccess::ReadWrite);
    std::array<std::uint8_t, kHeaderBlockLength> header;
    in->readAt(0, header);
    out->writeAt(0, header);
    std::vector<std::uint8_t> block(kPixelBlockLength);
    for (std::size_t i = 0; i < kPixelBlocks; ++i) {
        const auto offset = static_cast<std::int64_t>(kHeaderBlockLength + i * kPixelBlockLength);
        in->readAt(offset, block);
        out->writeAt(offset, block);
    }
    in->close();
    out->close();
}

void BM_CopyLogo(benchmark::State &state)
{
    Files files;
    QTextStream err(stderr);
    ConsoleHost host(err);
    for (auto _ : state)
        copyLogo(host, files.source(), files.target());
    state.SetBytesProcessed(state.iterations() * kLogoLength);
}
BENCHMARK(BM_CopyLogo);

// A temporary drive C and data directory for the slot benchmarks, with the environment put
// back afterwards.
class SlotDrive {
public:
    SlotDrive()
    {
        if (!m_drive.isValid() || !m_data.isValid())
            throw std::runtime_error("cannot create a temporary directory");
        for (const char *name : {"VANTREL_DRIVE_C", "XDG_DATA_HOME"})
            m_saved.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
        qputenv("VANTREL_DRIVE_C", QFile::encodeName(m_drive.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
        QByteArray logo(qsizetype(kLogoLength), '\0');
        const std::vector<std::uint8_t> block = pixelBlock();
        for (qsizetype i = 0; i < logo.size(); ++i)
            logo[i] = char(block[std::size_t(i) % block.size()]);
        write("logo.sys", logo);
        logo[kHeaderBlockLength] = char(~logo[kHeaderBlockLength]);
        write("a.bmp", logo);
        logo[kHeaderBlockLength + 1] = char(~logo[kHeaderBlockLength + 1]);
        write("b.bmp", logo);
    }
    ~SlotDrive()
    {
        for (const Saved &saved : m_saved) {
            if (saved.wasSet)
                qputenv(saved.name, saved.value);
            else
                qunsetenv(saved.name);
        }
    }

    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(m_drive.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            throw std::runtime_error("cannot write " + name.toStdString());
    }

private:
    struct Saved {
        const char *name;
        bool wasSet;
        QByteArray value;
    };
    QTemporaryDir m_drive;
    QTemporaryDir m_data;
    std::vector<Saved> m_saved;
};

void BM_ChangeSlotWithBackup(benchmark::State &state)
{
    SlotDrive drive;
    QTextStream err(stderr);
    ConsoleHost host(err);
    const QString windows = QueryWindowsDirectory(host);
    const QString sources[] = {QStringLiteral("C:\\a.bmp"), QStringLiteral("C:\\b.bmp")};
    std::size_t next = 0;
    for (auto _ : state)
        ChangeSlot(host, LogoSlot::Startup, sources[next++ % 2], windows);
    state.SetBytesProcessed(state.iterations() * kLogoLength);
}
BENCHMARK(BM_ChangeSlotWithBackup);

void BM_ChangeSlotWithNewContent(benchmark::State &state)
{
    SlotDrive drive;
    QTextStream err(stderr);
    ConsoleHost host(err);
    const QString windows = QueryWindowsDirectory(host);
    QByteArray logo(qsizetype(kLogoLength), '\x55');
    std::uint32_t count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++count;
        std::memcpy(logo.data() + kHeaderBlockLength, &count, sizeof count);
        drive.write("new.bmp", logo);
        state.ResumeTiming();
        ChangeSlot(host, LogoSlot::Startup, QStringLiteral("C:\\new.bmp"), windows);
    }
    state.SetBytesProcessed(state.iterations() * kLogoLength);
}
BENCHMARK(BM_ChangeSlotWithNewContent);

void BM_CopySlotFile(benchmark::State &state)
{
    SlotDrive drive;
    QTextStream err(stderr);
    ConsoleHost host(err);
    const QString sources[] = {QStringLiteral("C:\\a.bmp"), QStringLiteral("C:\\b.bmp")};
    std::size_t next = 0;
    for (auto _ : state)
        host.copyFile(sources[next++ % 2], QStringLiteral("c:\\logo.sys"));
    state.SetBytesProcessed(state.iterations() * kLogoLength);
}
BENCHMARK(BM_CopySlotFile);

void BM_RefuseHugeIndex(benchmark::State &state)
{
    SlotDrive drive;
    QTextStream err(stderr);
    ConsoleHost host(err);
    ChangeSlot(host, LogoSlot::Startup, QStringLiteral("C:\\a.bmp"), QueryWindowsDirectory(host));
    const QString directory =
        QFileInfo(slotBackupDirectory(host, LogoSlot::Startup, QStringLiteral("C:\\logo.sys")))
            .absolutePath();
    QFile index(directory + QStringLiteral("/index.json"));
    if (!index.open(QIODevice::ReadWrite) || !index.resize(std::int64_t(3) << 30))
        throw std::runtime_error("cannot make the large index");
    index.close();
    for (auto _ : state) {
        try {
            keptCopies(host, LogoSlot::Startup, QStringLiteral("C:\\logo.sys"));
        } catch (const HostError &) {
            continue;
        }
        throw std::runtime_error("a 3 GiB index was read");
    }
}
BENCHMARK(BM_RefuseHugeIndex)->Unit(benchmark::kMicrosecond);

void BM_HistoryRefresh(benchmark::State &state)
{
    SlotDrive drive;
    DesktopHost host;
    host.makeDirectories(QStringLiteral("C:\\WINDOWS"));
    const QString windows = QueryWindowsDirectory(host);
    QByteArray logo(qsizetype(kLogoLength), '\x55');
    for (std::uint32_t i = 0; i < 22; ++i) {
        std::memcpy(logo.data() + kHeaderBlockLength, &i, sizeof i);
        drive.write("new.bmp", logo);
        for (const LogoSlot slot : kAllSlots)
            ChangeSlot(host, slot, QStringLiteral("C:\\new.bmp"), windows);
    }
    Forms forms(host);
    HistoryForm &form = forms.load<HistoryForm>();
    for (auto _ : state)
        form.refresh();
    state.counters["rows"] =
        double(form.Lists[0]->count() + form.Lists[1]->count() + form.Lists[2]->count());
}
BENCHMARK(BM_HistoryRefresh)->Unit(benchmark::kMillisecond);

// A stock picture with `start` in byte 50 and, when `band` is set, a band across picture rows
// 380..391 whose colours (entries start..255, blue to white) run from left to right, as
// `convert --band` makes one; `everyPixel` puts every pixel in the range instead.
std::vector<std::uint8_t> animatedLogo(const QByteArray &stock, int start, bool band,
                                       bool everyPixel = false)
{
    std::vector<std::uint8_t> logo(stock.begin(), stock.end());
    logo[kStartEntryOffset] = std::uint8_t(start);
    if (!band && !everyPixel)
        return logo;
    const int entries = 256 - start;
    for (int i = 0; i < entries; ++i) {
        const std::size_t at = entryOffset(start + i);
        logo[at] = 255;
        logo[at + 1] = std::uint8_t(i * 255 / entries);
        logo[at + 2] = std::uint8_t(i * 255 / entries);
    }
    for (int row = 0; row < kLogoHeight; ++row) {
        if (!everyPixel && (row < 380 || row > 391))
            continue;
        std::uint8_t *line =
            logo.data() + kHeaderBlockLength + std::size_t(kLogoHeight - 1 - row) * kLogoWidth;
        for (int x = 0; x < kLogoWidth; ++x)
            line[x] =
                std::uint8_t(start + (everyPixel ? (x + row) % entries : x * entries / kLogoWidth));
    }
    return logo;
}

// Exports `logo` at 640 x 480; the counters give the file's size against plain full frames.
void exportGifBenchmark(benchmark::State &state, const std::vector<std::uint8_t> &logo)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::vector<std::uint8_t> gif = exportGif(logo, ExportSize::Screen640x480, {});
        bytes = gif.size();
        benchmark::DoNotOptimize(gif.data());
    }
    const std::size_t full =
        exportGif(logo, ExportSize::Screen640x480, {kDefaultDelayMs, 0, GifLayout::FullFrames})
            .size();
    state.counters["frames"] = double(readMotion(logo).frameCount());
    state.counters["gif_bytes"] = double(bytes);
    state.counters["full_frames_bytes"] = double(full);
}

void BM_ExportGif(benchmark::State &state, int picture)
{
    switch (picture) {
    case 0:
        exportGifBenchmark(state, animatedLogo(shutdownPicture(), kStart, true));
        break;
    case 1:
        exportGifBenchmark(state, animatedLogo(shutdownPicture(), kStart, false, true));
        break;
    case 2:
        exportGifBenchmark(state, animatedLogo(switchOffPicture(), kStart, true));
        break;
    case 3:
        // The stock pictures use entries 0..209 only: from 160 the dots and the text cycle.
        exportGifBenchmark(state, animatedLogo(shutdownPicture(), 160, false));
        break;
    case 4:
        exportGifBenchmark(state, animatedLogo(switchOffPicture(), 160, false));
        break;
    case 5:
        // Half the sky's gradient cycles as well.
        exportGifBenchmark(state, animatedLogo(shutdownPicture(), 80, false));
        break;
    default:
        break;
    }
}
BENCHMARK_CAPTURE(BM_ExportGif, shutdown_band_s236, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportGif, every_pixel_s236, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportGif, switchoff_band_s236, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportGif, shutdown_s160, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportGif, switchoff_s160, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExportGif, shutdown_s80, 5)->Unit(benchmark::kMillisecond);
// A logo bitmap as a paint program writes one, in a temporary directory
// that is also the temporary directory of the preview while it lives.
class PreviewFiles {
public:
    PreviewFiles() : m_oldTmp(qgetenv("TMPDIR"))
    {
        if (!m_dir.isValid())
            throw std::runtime_error("cannot create a temporary directory");
        QImage image(kLogoWidth, kLogoHeight, QImage::Format_Indexed8);
        QList<QRgb> palette;
        for (int i = 0; i < 256; ++i)
            palette << qRgb(i, 255 - i, (i * 7) & 0xff);
        image.setColorTable(palette);
        const std::vector<std::uint8_t> block = pixelBlock();
        for (int y = 0; y < kLogoHeight; ++y) {
            for (int x = 0; x < kLogoWidth; ++x)
                image.scanLine(y)[x] = block[std::size_t(y * kLogoWidth + x) % block.size()];
        }
        if (!image.save(source(), "BMP"))
            throw std::runtime_error("cannot write the logo");
        qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
    }
    ~PreviewFiles() { qputenv("TMPDIR", m_oldTmp); }

    QString source() const { return m_dir.filePath("logo.bmp"); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldTmp;
};

// The desktop host whose timers note when each tick begins, and end the
// event loop `loop` once `enough` ticks have begun and the last has run.
class StampingHost : public DesktopHost {
public:
    std::unique_ptr<Timer> startTimer(int intervalMs, std::function<void()> onTick) override
    {
        return DesktopHost::startTimer(intervalMs, [this, onTick = std::move(onTick)] {
            stamps.push_back(clock.nsecsElapsed());
            onTick();
            if (loop != nullptr && stamps.size() >= enough)
                loop->quit();
        });
    }

    QElapsedTimer clock;
    std::vector<qint64> stamps;
    QPointer<QEventLoop> loop;
    std::size_t enough = 0;
};

// The animation maker with `source` in Src, then the preview opened as
// Test opens it; null when it did not open.
aniForm2 *openPreview(Forms &forms, const QString &source)
{
    AniForm1 &maker = forms.show<AniForm1>();
    maker.Src->setText(source);
    maker.Command4->click();
    aniForm2 *preview = forms.find<aniForm2>();
    QCoreApplication::processEvents();
    return preview;
}

void BM_PreviewTick(benchmark::State &state)
{
    PreviewFiles files;
    DesktopHost host;
    Forms forms(host);
    forms.setMainWindow<Form1>();
    aniForm2 *preview = openPreview(forms, files.source());
    if (preview == nullptr) {
        state.SkipWithError("the preview did not open");
        return;
    }
    for (auto _ : state) {
        preview->Timer1_Timer();
        preview->Image1->repaint();
    }
    if (preview->ticks() != int(state.iterations()) || !forms.isLoaded<aniForm2>())
        state.SkipWithError("a tick failed");
    preview->Image1_Click();
}
BENCHMARK(BM_PreviewTick)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->Repetitions(9);

void BM_PreviewLoadPicture(benchmark::State &state)
{
    PreviewFiles files;
    DesktopHost host;
    for (auto _ : state)
        benchmark::DoNotOptimize(host.loadPicture(files.source()));
}
BENCHMARK(BM_PreviewLoadPicture)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(9);

void BM_PreviewStretch(benchmark::State &state)
{
    PreviewFiles files;
    DesktopHost host;
    const QImage picture = host.loadPicture(files.source());
    QWidget window;
    StretchedPicture image(&window);
    image.resize(534, 400);
    for (auto _ : state) {
        image.setPicture(picture);
        benchmark::DoNotOptimize(image.shown().constBits());
    }
}
BENCHMARK(BM_PreviewStretch)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime()
    ->Repetitions(9);

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto at = std::size_t(p * double(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

void BM_PreviewJitter(benchmark::State &state)
{
    constexpr std::size_t kTicks = 200;
    PreviewFiles files;
    StampingHost host;
    host.clock.start();
    Forms forms(host);
    forms.setMainWindow<Form1>();
    for (auto _ : state) {
        host.stamps.clear();
        aniForm2 *preview = openPreview(forms, files.source());
        if (preview == nullptr) {
            state.SkipWithError("the preview did not open");
            return;
        }
        const double cpuBefore = cpuSeconds();
        QEventLoop loop;
        host.loop = &loop;
        host.enough = kTicks + 1;
        // Should the preview stop by itself, the loop ends all the same.
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = cpuSeconds() - cpuBefore;
        if (host.stamps.size() <= kTicks) {
            state.SkipWithError("the preview stopped");
            return;
        }
        std::vector<double> intervals;
        std::vector<double> deviations;
        for (std::size_t i = 1; i <= kTicks; ++i) {
            const double ms = double(host.stamps[i] - host.stamps[i - 1]) / 1e6;
            intervals.push_back(ms);
            deviations.push_back(std::abs(ms - 70.0));
        }
        state.counters["interval_p50_ms"] = percentile(intervals, 0.5);
        state.counters["interval_min_ms"] = *std::min_element(intervals.begin(), intervals.end());
        state.counters["interval_max_ms"] = *std::max_element(intervals.begin(), intervals.end());
        state.counters["jitter_p50_ms"] = percentile(deviations, 0.5);
        state.counters["jitter_p99_ms"] = percentile(deviations, 0.99);
        state.counters["jitter_max_ms"] = *std::max_element(deviations.begin(), deviations.end());
        state.counters["cpu_per_tick_ms"] = cpu * 1000.0 / double(host.stamps.size() - 1);
        preview->Image1_Click();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_PreviewJitter)->Iterations(1)->Unit(benchmark::kMillisecond);

// A FAT16 disk image made as a user makes one, as drive C while it lives,
// with the Windows and program directories and a logo beside it.
class ImageDriveFiles {
public:
    ImageDriveFiles()
    {
        m_image = m_dir.filePath("win95.img");
        run("truncate", {"-s", "16M", m_image});
        run("sfdisk", {"-q", "--no-tell-kernel", m_image},
            "label: dos\nstart=2048, type=6, bootable\n");
        run("mkfs.fat", {"-F", "16", "--offset", "2048", "-n", "WIN95", m_image, "15360"});
        m_oldDrive = qgetenv("VANTREL_DRIVE_C");
        qputenv("VANTREL_DRIVE_C", QFile::encodeName(m_image));
        QFile logo(logoPath());
        if (!logo.open(QIODevice::WriteOnly) ||
            logo.write(shutdownPicture()) != qint64(kLogoLength))
            throw std::runtime_error("cannot write the logo");
        logo.close();
        const QString stock = m_image + "@@1048576";
        run("mmd", {"-i", stock, "::/WINDOWS", "::/vantrel"});
        run("mcopy", {"-i", stock, logoPath(), "::/vantrel/logow.sys"});
    }
    ~ImageDriveFiles() { qputenv("VANTREL_DRIVE_C", m_oldDrive); }
    QString logoPath() const { return m_dir.filePath("logo.sys"); }
    QString copyPath() const { return m_dir.filePath("copy.sys"); }

private:
    static void run(const QString &program, const QStringList &arguments,
                    const QByteArray &input = {})
    {
        QProcess process;
        QString found = QStandardPaths::findExecutable(program);
        if (found.isEmpty())
            found = QStandardPaths::findExecutable(program, {"/usr/sbin", "/sbin"});
        process.start(found, arguments);
        process.write(input);
        process.closeWriteChannel();
        process.waitForFinished();
        if (process.exitCode() != 0)
            throw std::runtime_error(program.toStdString() + " failed");
    }

    QTemporaryDir m_dir;
    QString m_image;
    QByteArray m_oldDrive;
};

void imageDriveBenchmark(benchmark::State &state,
                         const std::function<void(Host &, const ImageDriveFiles &)> &operation,
                         const std::function<void(Host &, const ImageDriveFiles &)> &prepare)
{
    const ImageDriveFiles files;
    QTextStream err(stderr);
    ConsoleHost host(err);
    long processes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (prepare)
            prepare(host, files);
        const long before = MtoolsDrive::processesStarted();
        state.ResumeTiming();
        operation(host, files);
        processes += MtoolsDrive::processesStarted() - before;
    }
    state.counters["mtools_per_op"] = double(processes) / double(state.iterations());
}

void BM_ImageDrive(benchmark::State &state, int which)
{
    const QString windows = QStringLiteral("C:\\WINDOWS\\");
    const auto install = [&](Host &host, const ImageDriveFiles &files) {
        ChangeSlot(host, LogoSlot::Startup, files.logoPath(), windows);
    };
    const auto removeStartup = [](Host &host, const ImageDriveFiles &) {
        try {
            host.deleteFile("C:\\logo.sys");
        } catch (const HostError &) {
        }
    };
    const auto readBack = [](Host &host, const ImageDriveFiles &) {
        std::vector<std::uint8_t> bytes(kLogoLength);
        host.openBinary("C:\\logo.sys", FileAccess::Read)->readAt(0, bytes);
    };
    switch (which) {
    case 0: // install over an installed logo
        imageDriveBenchmark(state, install, install);
        break;
    case 1: // install where there is none
        imageDriveBenchmark(state, install, removeStartup);
        break;
    case 2: // read the installed logo back
        imageDriveBenchmark(state, readBack, install);
        break;
    case 3: // its length, as the animation maker asks
        imageDriveBenchmark(
            state, [](Host &host, const ImageDriveFiles &) { host.fileLength("C:\\logo.sys"); },
            install);
        break;
    case 4: // Restore Startup
        imageDriveBenchmark(
            state,
            [&](Host &host, const ImageDriveFiles &) {
                RestoreSlot(host, LogoSlot::Startup, windows);
            },
            install);
        break;
    case 5: // Restore Shutdown: a copy within the image
        imageDriveBenchmark(
            state,
            [&](Host &host, const ImageDriveFiles &) {
                RestoreSlot(host, LogoSlot::Shutdown, windows);
            },
            nullptr);
        break;
    case 6: // a copy out, as a backup takes one
        imageDriveBenchmark(
            state,
            [](Host &host, const ImageDriveFiles &files) {
                host.copyFile("C:\\logo.sys", files.copyPath());
            },
            install);
        break;
    default:
        break;
    }
}
BENCHMARK_CAPTURE(BM_ImageDrive, install_over_old, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImageDrive, install_new, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImageDrive, read_back, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImageDrive, file_length, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImageDrive, restore_startup, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImageDrive, restore_shutdown, 5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImageDrive, copy_out, 6)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
