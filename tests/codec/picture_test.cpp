#include "codec/picture.h"
#include "host/host.h"
#include "support/bmp_variants.h"
#include "support/encoded_image.h"
#include "support/host_error.h"
#include "support/logo_bytes.h"
#include "support/qt_print.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The tables below name only the header fields that differ from the
// defaults; GCC would warn about every field they leave out.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace vantrel {
namespace {

using test::putLe16;
using test::putLe32;

const QString kName = QStringLiteral("C:\\pic.bmp");

// The reason decodePicture gives, or the empty text when it decodes.
QString refusal(const QByteArray &bytes, const QString &name = kName)
{
    try {
        decodePicture(bytes, name);
    } catch (const HostError &error) {
        return error.reason();
    }
    return {};
}

// A bitmap with a 40-byte (or larger, zero-filled) info header; bfOffBits
// points past the palette unless given.
struct Header {
    std::uint32_t infoSize = 40;
    std::int32_t width = 4;
    std::int32_t height = 2;
    std::uint16_t planes = 1;
    std::uint16_t bits = 8;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 16;
    std::optional<std::uint32_t> offBits;
};

QByteArray bitmap(const Header &h, const QByteArray &afterHeaders = {},
                  const QByteArray &pixels = {})
{
    QByteArray out(14 + qsizetype(std::max<std::uint32_t>(h.infoSize, 40)), '\0');
    out[0] = 'B';
    out[1] = 'M';
    putLe32(out, 14, h.infoSize);
    putLe32(out, 18, std::uint32_t(h.width));
    putLe32(out, 22, std::uint32_t(h.height));
    putLe16(out, 26, h.planes);
    putLe16(out, 28, h.bits);
    putLe32(out, 30, h.compression);
    putLe32(out, 46, h.coloursUsed);
    out += afterHeaders;
    putLe32(out, 10, h.offBits.value_or(std::uint32_t(out.size())));
    out += pixels;
    putLe32(out, 2, std::uint32_t(out.size()));
    return out;
}

// `n` palette entries, entry i the grey i * 16.
QByteArray greys(int n)
{
    QByteArray table;
    for (int i = 0; i < n; ++i)
        table += QByteArray(3, char(i * 16)) + '\0';
    return table;
}

TEST(BmpVariants, EachDecodesToItsPictureOrIsRefusedWithItsReason)
{
    const std::vector<test::BmpVariant> variants = test::bmpVariants();
    ASSERT_GT(variants.size(), 6000u);
    int failures = 0;
    for (const test::BmpVariant &variant : variants) {
        SCOPED_TRACE(variant.name.toStdString());
        QImage image;
        QString reason;
        ErrorKind kind = ErrorKind::Other;
        try {
            image = decodePicture(variant.bytes, kName);
        } catch (const HostError &error) {
            reason = error.reason();
            kind = error.kind();
        }
        const bool ok = variant.whole()
                            ? reason.isEmpty() && image.format() == variant.format &&
                                  image.convertToFormat(QImage::Format_ARGB32) == variant.picture
                            : reason == variant.error.arg(kName) && kind == ErrorKind::CutShort;
        if (!ok && ++failures <= 10) {
            ADD_FAILURE() << (reason.isEmpty() ? "decoded, format " + std::to_string(image.format())
                                               : "refused: " + reason.toStdString())
                          << "\nexpected: "
                          << (variant.whole()
                                  ? "the picture, format " + std::to_string(variant.format)
                                  : variant.error.arg(kName).toStdString());
        }
    }
    EXPECT_EQ(failures, 0);
}

// The probe's output when the allocator fills new memory with `fill` (or
// its complement: glibc gives new blocks fill ^ 0xff).
QStringList probeOutput(int fill)
{
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MALLOC_PERTURB_"), QString::number(fill));
    // Blocks glibc hands out again from its per-thread cache keep their
    // old content instead of the fill.
    const QString tunables = environment.value(QStringLiteral("GLIBC_TUNABLES"));
    environment.insert(QStringLiteral("GLIBC_TUNABLES"),
                       (tunables.isEmpty() ? QString() : tunables + ':') +
                           QStringLiteral("glibc.malloc.tcache_count=0"));
    const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(
        QStringLiteral("ASAN_OPTIONS"),
        asan +
            QStringLiteral(":malloc_fill_byte=%1:max_malloc_fill_size=%2").arg(fill).arg(1 << 28));
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(VANTREL_FILL_PROBE_PATH), {});
    if (!probe.waitForFinished(120000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0) {
        ADD_FAILURE() << "the probe failed: " << probe.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

// The loader's pixels do not depend on what the memory held before: every
// variant decodes to the same picture (or the same refusal) whatever the
// allocator fills new memory with.
TEST(PictureLoader, ShowsNoPixelItDidNotWrite)
{
    const QStringList first = probeOutput(0x55);
    const QStringList second = probeOutput(0xaa);
    ASSERT_GT(first.size(), 6000);
    ASSERT_EQ(first.size(), second.size());
    // Without two different fills the comparison would prove nothing.
    EXPECT_NE(first[0], second[0]);
    QStringList differing;
    for (qsizetype i = 1; i < first.size(); ++i) {
        if (first[i] != second[i])
            differing << first[i].section('\t', 0, 0);
    }
    EXPECT_EQ(differing.size(), 0) << "for instance\n"
                                   << differing.mid(0, 10).join('\n').toStdString();
}

struct Refusal {
    const char *what;
    std::function<QByteArray()> file;
    QString reason;
    QString name = kName;
};

TEST(DecodePicture, RefusesWhatItCannotShowWithItsReason)
{
    const Header huge{.width = 0x7fffffff, .height = 0x7fffffff, .bits = 32, .coloursUsed = 0};
    const std::vector<Refusal> cases{
        {"a 34-byte file whose width and height are 0x7fffffff",
         [&] { return bitmap(huge).left(34); },
         "C:\\pic.bmp is cut short: 34 bytes, its headers need 54"},
        {"the same with whole headers", [&] { return bitmap(huge); },
         "C:\\pic.bmp is too large to show: 2147483647 x 2147483647 pixels"},
        {"a height of -2^31",
         [] { return bitmap({.width = 1, .height = INT32_MIN, .coloursUsed = 1}, greys(1)); },
         "C:\\pic.bmp is too large to show: 1 x 2147483648 pixels"},
        {"one byte per pixel, exactly 256 MiB, without its pixels",
         [] { return bitmap({.width = 16384, .height = 16384, .coloursUsed = 1}, greys(1)); },
         "C:\\pic.bmp is cut short: 58 bytes, its pixels need 268435514"},
        {"one column more than 256 MiB",
         [] { return bitmap({.width = 16385, .height = 16384, .coloursUsed = 1}, greys(1)); },
         "C:\\pic.bmp is too large to show: 16385 x 16384 pixels"},
        {"a bfOffBits of 2^32 - 1",
         [] { return bitmap({.offBits = 0xffffffff}, greys(16), QByteArray(8, '\1')); },
         "C:\\pic.bmp is cut short: 126 bytes, its pixels need 4294967303"},
        {"a name with a placeholder in it", [] { return bitmap({}).left(40); },
         "100%2 sure.bmp is cut short: 40 bytes, its headers need 54", "100%2 sure.bmp"},
        {"no colour plane", [] { return bitmap({.planes = 0}, greys(16)); },
         "cannot show C:\\pic.bmp: it has 0 colour planes, a bitmap has 1"},
        {"7 bits per pixel", [] { return bitmap({.bits = 7}, greys(16)); },
         "cannot show C:\\pic.bmp: it has 7 bits per pixel, a bitmap has 1, 4, 8, 16, 24 or 32"},
        {"a PNG inside", [] { return bitmap({.compression = 5}, greys(16)); },
         "cannot show C:\\pic.bmp: it uses compression 5, which this program does not read"},
        {"OS/2's Huffman coding",
         [] { return bitmap({.infoSize = 64, .bits = 1, .compression = 3}, greys(2)); },
         "cannot show C:\\pic.bmp: it uses compression 3, which this program does not read"},
        {"RLE8 on 4-bit pixels", [] { return bitmap({.bits = 4, .compression = 1}, greys(16)); },
         "cannot show C:\\pic.bmp: it uses compression 1 with 4 bits per pixel, which do not go "
         "together"},
        {"bit fields on 24-bit pixels", [] { return bitmap({.bits = 24, .compression = 3}); },
         "cannot show C:\\pic.bmp: it uses compression 3 with 24 bits per pixel, which do not go "
         "together"},
        {"a 20-byte info header", [] { return bitmap({.infoSize = 20}); },
         "cannot show C:\\pic.bmp: its info header is 20 bytes long, a size no bitmap has"},
        {"300 palette colours", [] { return bitmap({.coloursUsed = 300}, greys(256)); },
         "cannot show C:\\pic.bmp: it declares 300 palette colours, more than the 256 a bitmap "
         "can have"},
        {"no columns", [] { return bitmap({.width = 0}, greys(16)); },
         "cannot show C:\\pic.bmp: its width is 0"},
        {"a negative width", [] { return bitmap({.width = -5}, greys(16)); },
         "cannot show C:\\pic.bmp: its width is -5"},
        {"no rows", [] { return bitmap({.height = 0}, greys(16)); },
         "cannot show C:\\pic.bmp: its height is 0"},
        {"text", [] { return QByteArray("not a picture"); },
         "cannot show C:\\pic.bmp: Unsupported image format"},
        {"nothing", [] { return QByteArray(); },
         "cannot show C:\\pic.bmp: Unsupported image format"},
    };
    for (const Refusal &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(refusal(c.file(), c.name), c.reason);
    }
}

TEST(DecodePicture, LogoBitmapComesBackAsItsOwnIndexesAndPalette)
{
    test::LogoBytes logo;
    for (int i = 0; i < 256; ++i)
        logo.setColour(i, std::uint8_t(i * 7), std::uint8_t(255 - i), std::uint8_t(i * 13));
    const QImage image = decodePicture(logo.bytes(), kName);
    ASSERT_EQ(image.format(), QImage::Format_Indexed8);
    ASSERT_EQ(image.size(), QSize(kLogoWidth, kLogoHeight));
    QList<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette << qRgb((i * 7) & 0xff, 255 - i, (i * 13) & 0xff);
    EXPECT_EQ(image.colorTable(), palette);
    for (int y = 0; y < kLogoHeight; ++y) {
        const auto *stored = logo.pixels.data() + std::size_t(kLogoHeight - 1 - y) * kLogoWidth;
        ASSERT_EQ(QByteArrayView(image.constScanLine(y), kLogoWidth),
                  QByteArrayView(stored, kLogoWidth))
            << "picture row " << y;
    }
}

TEST(DecodePicture, PixelsBeyondAShortPaletteAreOpaqueBlack)
{
    const QImage image = decodePicture(
        bitmap({.height = 1, .coloursUsed = 2}, greys(2), QByteArray("\x00\x01\x05\xff", 4)),
        kName);
    ASSERT_EQ(image.format(), QImage::Format_Indexed8);
    EXPECT_EQ(image.colorCount(), 256);
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(argb.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(argb.pixel(1, 0), qRgb(16, 16, 16));
    EXPECT_EQ(argb.pixel(2, 0), qRgb(0, 0, 0));
    EXPECT_EQ(argb.pixel(3, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixelIndex(2, 0), 5);
}

struct RunLength {
    const char *what;
    std::uint16_t bits;
    QByteArray stream;
    // The indexes of the 4 x 2 picture, top row first; empty when the
    // stream is cut short.
    QByteArray picture;
};

TEST(DecodePicture, RunLengthStreamsFillEveryPixel)
{
    const auto bytes = [](std::initializer_list<int> values) {
        QByteArray out;
        for (const int v : values)
            out += char(v);
        return out;
    };
    const std::vector<RunLength> cases{
        {"runs and a literal stretch", 8, bytes({3, 7, 1, 8, 0, 0, 0, 4, 1, 2, 3, 4, 0, 1}),
         bytes({1, 2, 3, 4, 7, 7, 7, 8})},
        {"a jump skips pixels, which stay 0", 8, bytes({1, 5, 0, 2, 2, 1, 1, 6, 0, 1}),
         bytes({0, 0, 0, 6, 5, 0, 0, 0})},
        {"an early end of line leaves the rest of the row 0", 8, bytes({2, 9, 0, 0, 4, 3, 0, 1}),
         bytes({3, 3, 3, 3, 9, 9, 0, 0})},
        {"an early end of bitmap leaves the rest 0", 8, bytes({1, 4, 0, 1}),
         bytes({0, 0, 0, 0, 4, 0, 0, 0})},
        {"a run past the end of its row is cut off there", 8, bytes({6, 2, 0, 0, 1, 1, 0, 1}),
         bytes({1, 0, 0, 0, 2, 2, 2, 2})},
        {"a literal stretch past the end of its row keeps the stream in step", 8,
         bytes({0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 1, 9, 0, 1}), bytes({9, 0, 0, 0, 1, 2, 3, 4})},
        {"an end of line after the last row ends the picture", 8, bytes({4, 1, 0, 0, 4, 2, 0, 0}),
         bytes({2, 2, 2, 2, 1, 1, 1, 1})},
        {"a jump past the last row ends the picture", 8, bytes({4, 1, 0, 2, 0, 5}),
         bytes({0, 0, 0, 0, 1, 1, 1, 1})},
        {"RLE4 runs alternate the two nibbles", 4, bytes({5, 0x12, 0, 0, 0, 3, 0xab, 0xc0, 0, 1}),
         bytes({10, 11, 12, 0, 1, 2, 1, 2})},
        {"a stream without its end", 8, bytes({4, 1, 0, 0, 2, 3}), {}},
        {"a stream cut inside a jump", 8, bytes({4, 1, 0, 2, 1}), {}},
        {"a literal stretch without its padding", 8, bytes({0, 3, 1, 2, 3}), {}},
    };
    for (const RunLength &c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray file =
            bitmap({.bits = c.bits, .compression = c.bits == 8 ? 1u : 2u}, greys(16), c.stream);
        if (c.picture.isEmpty()) {
            EXPECT_EQ(refusal(file), QStringLiteral("C:\\pic.bmp is cut short: %1 bytes, its "
                                                    "compressed pixels run past the end")
                                         .arg(file.size()));
            continue;
        }
        QImage image;
        ASSERT_NO_THROW(image = decodePicture(file, kName));
        ASSERT_EQ(image.format(), QImage::Format_Indexed8);
        QByteArray indexes;
        for (int y = 0; y < 2; ++y)
            indexes += QByteArrayView(image.constScanLine(y), 4).toByteArray();
        EXPECT_EQ(indexes.toHex(' '), c.picture.toHex(' '));
    }
}

struct DirectColour {
    const char *what;
    Header header;
    QByteArray masks;
    std::uint32_t pixel;
    QRgb colour;
};

TEST(DecodePicture, DirectColourChannelsReachFullIntensity)
{
    const auto masks = [](std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
        QByteArray out(12, '\0');
        putLe32(out, 0, red);
        putLe32(out, 4, green);
        putLe32(out, 8, blue);
        return out;
    };
    const Header rgb16{.width = 1, .height = 1, .bits = 16, .coloursUsed = 0};
    const Header fields32{.width = 1, .height = 1, .bits = 32, .compression = 3, .coloursUsed = 0};
    const std::vector<DirectColour> cases{
        {"5-5-5 white", rgb16, {}, 0x7fff, qRgb(255, 255, 255)},
        {"5-5-5 red", rgb16, {}, 0x7c00, qRgb(255, 0, 0)},
        {"10-bit channels", fields32, masks(0x3ff00000, 0x000ffc00, 0x000003ff),
         1023u << 20 | 341u << 10, qRgb(255, 85, 0)},
        {"a channel without a mask is 0", fields32, masks(0, 0xff00, 0xff), 0xffffffff,
         qRgb(0, 255, 255)},
    };
    for (const DirectColour &c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray pixel(4, '\0');
        putLe32(pixel, 0, c.pixel);
        const QImage image = decodePicture(bitmap(c.header, c.masks, pixel), kName);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.pixel(0, 0), c.colour);
    }
}

TEST(DecodePicture, OtherFormatsGoToQtsReaders)
{
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(qRgb(10, 200, 30));
    picture.setPixel(1, 1, qRgb(250, 0, 5));
    const QByteArray png = test::encodedImage(picture, "PNG");
    EXPECT_EQ(decodePicture(png, kName).convertToFormat(QImage::Format_RGB32), picture);
}

struct Source {
    const char *what;
    // Makes the file the test reads, as `path`.
    std::function<void(const QString &path)> make;
    QString reason;
    ErrorKind kind = ErrorKind::Other;
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST(ReadPicture, ReadsOnlyRegularFilesAndSaysWhyNot)
{
    const std::vector<Source> cases{
        {"a missing file", [](const QString &) {},
         "cannot open C:\\pic.bmp: No such file or directory", ErrorKind::NotFound},
        {"a directory", [](const QString &path) { ASSERT_TRUE(QDir().mkdir(path)); },
         "cannot open C:\\pic.bmp: not a regular file", ErrorKind::IsDirectory},
        {"a FIFO, which must not block",
         [](const QString &path) {
             ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
         },
         "cannot open C:\\pic.bmp: not a regular file", ErrorKind::NotRegularFile},
        {"a file one byte over 256 MiB",
         [](const QString &path) {
             QFile file(path);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             ASSERT_TRUE(file.resize((qint64(256) << 20) + 1)); // sparse: nothing is written
         },
         "C:\\pic.bmp is too large to show: 268435457 bytes"},
        {"a logo bitmap cut short",
         [](const QString &path) { writeFile(path, test::LogoBytes().bytes().left(1000)); },
         "C:\\pic.bmp is cut short: 1000 bytes, its pixels need 129078", ErrorKind::CutShort},
        {"a whole logo bitmap",
         [](const QString &path) { writeFile(path, test::LogoBytes().bytes()); },
         {}},
    };
    // A loader that waits on the FIFO ends the test here instead of
    // hanging it.
    ::alarm(20);
    for (const Source &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("pic.bmp"));
        c.make(path);
        QString reason;
        ErrorKind kind = ErrorKind::Other;
        QImage image;
        try {
            image = readPicture(path, kName);
        } catch (const HostError &error) {
            reason = error.reason();
            kind = error.kind();
        }
        EXPECT_EQ(reason, c.reason);
        EXPECT_EQ(kind, c.kind);
        if (c.reason.isEmpty()) {
            EXPECT_EQ(image.size(), QSize(kLogoWidth, kLogoHeight));
        }
    }
    ::alarm(0);
}

} // namespace
} // namespace vantrel
