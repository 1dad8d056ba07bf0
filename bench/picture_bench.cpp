// How much of the palette-cycling preview's 70 ms tick the picture loader and the painting take.
//
// BM_LoadLogoPicture is one tick on a logo bitmap: the header block rewritten with its palette
// rotated, the file read back and decoded through the console tool's host, the picture stretched
// to the preview's 534 x 400 pixels and painted. Its CPU time, of all threads, is the figure to
// hold against the 1 ms a tick may cost.

#include "app/console_host.h"
#include "image/logo_format.h"
#include "image/palette_rotation.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>

namespace {

using namespace vantrel;

// A logo bitmap as a paint program saves one: 8 bits, bottom-up, a grey
// palette, pixels that run through every index.
QByteArray logoBitmap()
{
    QByteArray logo(qsizetype(kLogoLength), '\0');
    const auto put32 = [&logo](qsizetype at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            logo[at + i] = char(value >> (8 * i) & 0xff);
    };
    logo[0] = 'B';
    logo[1] = 'M';
    put32(2, std::uint32_t(kLogoLength));
    put32(10, std::uint32_t(kHeaderBlockLength));
    put32(14, std::uint32_t(kInfoHeaderLength));
    put32(18, kLogoWidth);
    put32(22, kLogoHeight);
    logo[26] = 1;
    logo[28] = 8;
    put32(34, std::uint32_t(kPixelAreaLength));
    for (int i = 0; i < 256; ++i)
        put32(qsizetype(entryOffset(i)), std::uint32_t(i * 0x010101));
    for (std::size_t k = 0; k < kPixelAreaLength; ++k)
        logo[qsizetype(kHeaderBlockLength + k)] = char((k * 31 + k / kLogoWidth) & 0xff);
    return logo;
}

void BM_LoadLogoPicture(benchmark::State &state)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        throw std::runtime_error("cannot create a temporary directory");
    const QString path = dir.filePath("Vog1.tmp");
    const QByteArray logo = logoBitmap();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(logo) != logo.size())
            throw std::runtime_error("cannot write " + path.toStdString());
    }
    QTextStream err(stderr);
    ConsoleHost host(err);
    std::array<std::uint8_t, kHeaderBlockLength> header{};
    std::copy_n(logo.constData(), header.size(), header.begin());
    QImage screen(534, 400, QImage::Format_RGB32);
    for (auto _ : state) {
        Rotate(header, kDefaultStartEntry, false);
        const std::unique_ptr<BinaryFile> file = host.openBinary(path, FileAccess::ReadWrite);
        file->writeAt(0, header);
        file->close();
        // A window shows the picture through a pixmap, which on Qt's raster
        // platform is the picture converted to RGB32; then it is stretched.
        // (Drawing the indexed picture directly costs about 1 ms by itself
        // in Qt 6.4.)
        const QImage picture = host.loadPicture(path).convertToFormat(QImage::Format_RGB32);
        QPainter painter(&screen);
        painter.drawImage(screen.rect(), picture);
        painter.end();
        benchmark::DoNotOptimize(screen.constBits());
    }
}
// Qt may convert and scale on worker threads: their time counts too.
BENCHMARK(BM_LoadLogoPicture)->MeasureProcessCPUTime();

} // namespace
