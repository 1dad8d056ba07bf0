// Writes the starting corpora of the fuzz targets into fuzz/corpus/, from
// the program's own test material: bitmaps from the variant generator,
// logo bitmaps built byte by byte, small pictures in every format Qt
// writes, DOS paths, and the option bytes each target reads (checks.h).
//
//   vantrel-fuzz-corpus DIRECTORY
//
// Only the files it makes are written; the inputs kept in the same folders
// as regression tests (named regression-*) are left alone. Run by
// fuzz/make-corpus.sh.

#include "support/bmp_variants.h"
#include "support/disk_images.h"
#include "support/logo_bytes.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QMap>

#include <cstdio>
#include <cstdlib>

namespace {

using namespace vantrel;
using test::LogoBytes;

QDir g_root;

void write(const char *target, const QString &name, const QByteArray &bytes)
{
    g_root.mkpath(QString::fromLatin1(target));
    QFile file(g_root.filePath(QString::fromLatin1(target) + '/' + name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

// A small picture with colour in every corner, in `format`, as Qt's writer
// for it saves it.
QByteArray pictureFile(const char *format, QImage::Format pixels = QImage::Format_ARGB32)
{
    QImage picture(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgba(x * 36, y * 60, 255 - x * 30, x == 0 ? 128 : 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(picture.convertToFormat(pixels))) {
        std::fprintf(stderr, "cannot write a %s picture: %s\n", format,
                     qPrintable(writer.errorString()));
        std::exit(1);
    }
    return bytes;
}

// A 4 x 2 icon of 32-bit pixels. Made by hand: Qt's writer leaves the
// padding of the transparency mask unwritten, so its files differ from
// run to run.
QByteArray iconFile()
{
    QByteArray bytes(6 + 16 + 40 + 4 * 2 * 4 + 4 * 2, '\0');
    test::putLe16(bytes, 2, 1); // an icon
    test::putLe16(bytes, 4, 1); // one image
    bytes[6] = 4;               // width
    bytes[7] = 2;               // height
    test::putLe16(bytes, 6 + 4, 1);
    test::putLe16(bytes, 6 + 6, 32);
    test::putLe32(bytes, 6 + 8, std::uint32_t(bytes.size() - 22));
    test::putLe32(bytes, 6 + 12, 22);
    // The bitmap's header counts the colour rows and the mask rows.
    test::putLe32(bytes, 22, 40);
    test::putLe32(bytes, 22 + 4, 4);
    test::putLe32(bytes, 22 + 8, 2 * 2);
    test::putLe16(bytes, 22 + 12, 1);
    test::putLe16(bytes, 22 + 14, 32);
    for (int i = 0; i < 8; ++i)
        test::putLe32(bytes, std::size_t(62 + 4 * i), 0xff000000u | std::uint32_t(i * 0x1f2f3f));
    return bytes;
}

QString fileName(QString name)
{
    return name.replace(' ', '-').replace('=', '-');
}

void pictures()
{
    // One whole bitmap of each depth and compression for three header
    // sizes, each with another palette, offset and row order, and a few
    // layouts cut short somewhere.
    QMap<QString, std::vector<const test::BmpVariant *>> whole;
    QMap<QString, std::vector<const test::BmpVariant *>> cut;
    const std::vector<test::BmpVariant> variants = test::bmpVariants();
    for (const test::BmpVariant &variant : variants) {
        const QString layout = variant.name.section(' ', 0, 2);
        (variant.whole() ? whole : cut)[layout].push_back(&variant);
    }
    std::size_t n = 0;
    for (auto it = whole.cbegin(); it != whole.cend(); ++it) {
        if (!QStringList{"h12", "h40", "h124"}.contains(it.key().section(' ', 0, 0)))
            continue;
        const test::BmpVariant &variant = *it.value()[n++ * 7 % it.value().size()];
        write("picture", fileName(variant.name) + ".bmp", variant.bytes);
    }
    for (const char *layout : {"h12 d8 rgb", "h16 d4 rgb", "h40 d4 rle4", "h40 d8 rle8",
                               "h40 d24 rgb", "h56 d16 bitfields", "h124 d32 bitfields"}) {
        const std::vector<const test::BmpVariant *> &cuts = cut[QString::fromLatin1(layout)];
        const test::BmpVariant &variant = *cuts[cuts.size() * 3 / 5];
        write("picture", fileName(variant.name) + ".bmp", variant.bytes);
    }
    // What once overflowed the loader's length check: a bitmap whose width
    // and height are both 2^31 - 1, with whole headers and nothing else.
    QByteArray huge(54, '\0');
    huge[0] = 'B';
    huge[1] = 'M';
    test::putLe32(huge, 2, 54);
    test::putLe32(huge, 10, 54);
    test::putLe32(huge, 14, 40);
    test::putLe32(huge, 18, 0x7fffffff);
    test::putLe32(huge, 22, 0x7fffffff);
    test::putLe16(huge, 26, 1);
    test::putLe16(huge, 28, 24);
    write("picture", "largest-width-and-height.bmp", huge);
    write("picture", "small.png", pictureFile("png"));
    write("picture", "small-indexed.png", pictureFile("png", QImage::Format_Indexed8));
    write("picture", "small.jpg", pictureFile("jpeg", QImage::Format_RGB32));
    write("picture", "small.ico", iconFile());
    write("picture", "small.ppm", pictureFile("ppm", QImage::Format_RGB32));
    write("picture", "small.pgm", pictureFile("pgm", QImage::Format_Grayscale8));
    write("picture", "small.pbm", pictureFile("pbm", QImage::Format_Mono));
    write("picture", "small.xbm", pictureFile("xbm", QImage::Format_Mono));
    write("picture", "small.xpm", pictureFile("xpm", QImage::Format_Indexed8));
    write("picture", "text.txt", "not a picture\n");
    write("picture", "empty", {});
}

void logoChecks()
{
    LogoBytes plain;
    plain.clrImportant = 0;
    write("logo_check", "logo-still.bmp", plain.bytes());

    LogoBytes animated;
    animated.clrImportant = 236;
    write("logo_check", "logo-animated-236.bmp", animated.bytes());

    // Entry 250 has the colour of entry 3, so check warns of twins.
    LogoBytes twins;
    twins.clrImportant = 200;
    twins.setColour(250, 3, 3, 3);
    twins.sizeImage = 0;
    twins.clrUsed = 0;
    write("logo_check", "logo-twins-sizes-0.bmp", twins.bytes());

    // Nothing uses the animated range.
    LogoBytes unused;
    unused.clrImportant = 240;
    unused.fill(7);
    write("logo_check", "logo-range-unused.bmp", unused.bytes());

    const QByteArray logo = animated.bytes();
    QByteArray topDown = logo;
    test::putLe32(topDown, 22, std::uint32_t(-kLogoHeight));
    write("logo_check", "top-down.bmp", topDown);
    QByteArray deep = logo;
    test::putLe16(deep, 28, 24);
    write("logo_check", "24-bits-at-logo-length.bmp", deep);
    QByteArray offset = logo;
    test::putLe32(offset, 10, 54);
    write("logo_check", "offset-54.bmp", offset);
    write("logo_check", "one-short.bmp", logo.left(logo.size() - 1));
    write("logo_check", "one-long.bmp", logo + '\0');
    write("logo_check", "header-block.bmp", logo.left(qsizetype(kHeaderBlockLength)));
    write("logo_check", "headers.bmp", logo.left(qsizetype(kPaletteOffset)));
    write("logo_check", "half-header.bmp", logo.left(30));
    write("logo_check", "letters.bmp", "BM");
    write("logo_check", "empty", {});
}

// The first byte picks the drive: 0 C, 1 c, 2 D, 3 the unmapped Q.
void drivePaths()
{
    const struct {
        const char *name;
        char drive;
        QByteArray path;
    } paths[] = {
        {"root", 0, "\\"},
        {"logo", 0, "\\logo.sys"},
        {"windows-slot", 1, "\\windows\\logow.sys"},
        {"exact-case", 0, "\\WINDOWS\\LOGOW.SYS"},
        {"no-backslash", 0, "logo.sys"},
        {"dots", 0, "\\.\\WINDOWS\\.\\..\\Logo.sys"},
        {"above-root", 0, "\\..\\..\\..\\etc\\passwd"},
        {"slashes", 0, "/windows//logos.sys/"},
        {"deep-new", 0, "\\Dir\\SUB\\new\\name.txt"},
        {"two-spellings", 0, "\\DIR\\other"},
        {"drive-d", 2, "\\PICTURES\\straße.bmp"},
        {"unmapped", 3, "\\logo.sys"},
        {"not-utf8", 0, "\\\xff.bmp"},
        {"nul", 0, QByteArray("\\a\0b", 4)},
        {"replacement-character", 0, "\\\xef\xbf\xbd.bmp"},
        {"quote-and-backslash", 0, "\\it's\\\\x"},
        {"empty", 0, ""},
    };
    for (const auto &p : paths)
        write("drive_map", QString::fromLatin1(p.name), p.drive + p.path);
}

// Option bytes for the converter (checks.h): flags, start, band rows less
// one, border red, green, blue.
QByteArray convertOptions(std::uint8_t flags, std::uint8_t start, std::uint8_t rows = 19,
                          std::uint8_t red = 0, std::uint8_t green = 0, std::uint8_t blue = 0)
{
    QByteArray bytes;
    for (const std::uint8_t b : {flags, start, rows, red, green, blue})
        bytes += char(b);
    return bytes;
}

// A raw image: format, width and height less one (16 bits), colours, then
// the bytes that fill it.
QByteArray rawImage(QImage::Format format, int width, int height, int colours)
{
    QByteArray bytes(6, '\0');
    bytes[0] = char(format - 1);
    test::putLe16(bytes, 1, std::uint16_t(width - 1));
    test::putLe16(bytes, 3, std::uint16_t(height - 1));
    bytes[5] = char(colours);
    for (int i = 0; i < 97; ++i)
        bytes += char(i * 53 + 17);
    return bytes;
}

void conversions()
{
    constexpr std::uint8_t kRaw = 0x20, kRamp = 0x40, kDither = 4;
    constexpr std::uint8_t kPad = 1, kStretch = 2, kTop = 1 << 3, kBottom = 2 << 3;
    const QByteArray png = pictureFile("png");
    write("convert", "png-crop", convertOptions(kDither, 0) + png);
    write("convert", "png-pad-navy", convertOptions(kPad, 0, 19, 0, 0, 128) + png);
    write("convert", "png-band-bottom", convertOptions(kBottom | kDither, 0) + png);
    write("convert", "png-band-top-200",
          convertOptions(kTop | kStretch, 200, 143, 255, 255, 255) + png);
    write("convert", "png-ramp",
          convertOptions(kRamp | kDither, 220) +
              QByteArray("\x02\x00\x00\x33\x00\x66\xff\xff\xff\xff", 10) + png);
    write("convert", "png-start-1", convertOptions(0, 1) + png);
    for (const test::BmpVariant &variant : test::bmpVariants()) {
        if (variant.name.startsWith("h40 d8 rgb full") && variant.whole()) {
            write("convert", "bmp-8-bits", convertOptions(kDither, 236) + variant.bytes);
            break;
        }
    }
    write("convert", "not-a-picture", convertOptions(0, 0) + "text");
    const struct {
        const char *name;
        QImage::Format format;
        int width, height, colours;
    } raws[] = {
        {"raw-mono", QImage::Format_Mono, 33, 20, 2},
        {"raw-indexed-short-table", QImage::Format_Indexed8, 40, 30, 5},
        {"raw-rgb32-wide", QImage::Format_RGB32, 400, 10, 0},
        {"raw-argb32-tall", QImage::Format_ARGB32, 3, 300, 0},
        {"raw-rgb16", QImage::Format_RGB16, 64, 48, 0},
        {"raw-rgba64-premultiplied", QImage::Format_RGBA64_Premultiplied, 20, 15, 0},
        {"raw-float", QImage::Format_RGBA32FPx4, 16, 12, 0},
        {"raw-grey16", QImage::Format_Grayscale16, 1, 1, 0},
    };
    for (const auto &raw : raws) {
        write("convert", QString::fromLatin1(raw.name),
              convertOptions(kRaw | kDither, raw.format == QImage::Format_RGB16 ? 230 : 0) +
                  rawImage(raw.format, raw.width, raw.height, raw.colours));
    }
}

// Option bytes for the export (checks.h): flags, delay in tens of
// milliseconds, cycles less two; then, for a logo made from runs, bytes 50
// and 51, the runs and palette bytes.
QByteArray exportRequest(std::uint8_t flags, std::uint8_t delay, std::uint8_t start,
                         std::uint8_t high, const std::vector<std::pair<int, int>> &runs,
                         const QByteArray &palette = {})
{
    QByteArray bytes;
    for (const std::uint8_t b :
         {flags, delay, std::uint8_t(1), start, high, std::uint8_t(runs.size())})
        bytes += char(b);
    for (const auto &[length, index] : runs) {
        bytes += char(length & 0xff);
        bytes += char(length >> 8);
        bytes += char(index);
    }
    return bytes + palette;
}

void exports()
{
    constexpr std::uint8_t kWide = 1, kRaw = 2, kFull = 4, kOnce = 1 << 3, kCycles = 2 << 3,
                           kTooMany = 3 << 3, kFile = 0x20, kHigh = 0x40;
    const std::vector<std::pair<int, int>> band{{320 * 380, 3}, {40, 240}, {280, 250}, {320, 255}};
    write("gif_export", "screen-236", exportRequest(0, 7, 236, 0, band));
    write("gif_export", "wide-once", exportRequest(kWide | kOnce, 7, 236, 0, band));
    write("gif_export", "raw-three-cycles",
          exportRequest(kRaw | kCycles, 2, 200, 0, {{5000, 1}, {9, 201}, {1, 255}}));
    write("gif_export", "raw-full-frames", exportRequest(kRaw | kFull, 10, 250, 0, {{64000, 251}}));
    write("gif_export", "still", exportRequest(kRaw, 7, 0, 0, band));
    write("gif_export", "high-byte", exportRequest(kRaw | kHigh, 7, 236, 1, band));
    write("gif_export", "range-unused", exportRequest(kRaw, 7, 236, 0, {{128000, 10}}));
    write("gif_export", "palette",
          exportRequest(kRaw, 7, 252, 0, {{100, 253}}, QByteArray(1024, '\x7f')));
    write("gif_export", "delay-too-short", exportRequest(kRaw, 1, 236, 0, band));
    write("gif_export", "cycles-too-many", exportRequest(kRaw | kTooMany, 7, 236, 0, band));
    LogoBytes logo;
    logo.clrImportant = 246;
    QByteArray file;
    for (const std::uint8_t b : {std::uint8_t(kFile | kRaw), std::uint8_t(7), std::uint8_t(0)})
        file += char(b);
    write("gif_export", "file-logo", file + logo.bytes());
    write("gif_export", "file-cut-short", file + logo.bytes().left(2000));
}

// A disk image as the image reader's input (checks.h): the partition
// asked for (0: none), the length in sectors, then every sector that is
// not all zeros after its number.
QByteArray imageInput(const QByteArray &image, std::uint8_t asked = 0)
{
    QByteArray input(5, '\0');
    input[0] = char(asked);
    test::putLe32(input, 1, std::uint32_t(image.size() / 512));
    const QByteArray zeros(512, '\0');
    for (qsizetype at = 0; at + 512 <= image.size(); at += 512) {
        const QByteArray sector = image.mid(at, 512);
        if (sector == zeros)
            continue;
        QByteArray number(4, '\0');
        test::putLe32(number, 0, std::uint32_t(at / 512));
        input += number + sector;
    }
    return input;
}

// Images of every kind the tests make, a few of them damaged as the image
// tests damage them, and the listings mdir prints of their directories.
void diskImages()
{
    using test::ImageKind;
    for (const ImageKind kind : {ImageKind::Fat16Disk, ImageKind::Fat32Disk, ImageKind::Superfloppy,
                                 ImageKind::FixedVhd, ImageKind::SuperfloppyVhd}) {
        const test::TempImage image(kind);
        image.makeInstallation();
        image.write("/WINDOWS/~VNTRLNW.TMP", "half");
        image.write("/WINDOWS/A long name.bmp", "long");
        const QString name = fileName(QString::fromLatin1(test::kindName(kind)));
        QByteArray bytes = image.bytes();
        write("disk_image", name, imageInput(bytes));
        write("disk_image", name + "-asked-1", imageInput(bytes, 0xF1));
        test::putLe16(bytes, std::size_t(image.offset()) + 11, 0);
        write("disk_image", name + "-sector-size-0", imageInput(bytes));
        for (const char *directory : {"/", "/WINDOWS/", "/vantrel/"}) {
            const test::ToolRun listing = test::runTool(
                "mdir", {"-a", "-i", image.path() + "@@" + QString::number(image.offset()),
                         QStringLiteral("::") + directory});
            for (const char *wanted : {"LOGOW.SYS", "~vntrlnw.tmp", "a long name.bmp", "WINDOWS"})
                write("mtools_listing",
                      fileName(name + QString::fromLatin1(directory).replace('/', '-') + wanted),
                      QByteArray(wanted) + '\n' + listing.out);
        }
    }
    write("disk_image", "empty", {});
    write("mtools_listing", "empty", {});
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantrel-fuzz-corpus DIRECTORY\n");
        return 2;
    }
    g_root = QDir(QString::fromLocal8Bit(argv[1]));
    pictures();
    logoChecks();
    drivePaths();
    conversions();
    exports();
    diskImages();
    return 0;
}
