// Decodes every generated bitmap variant through decodePicture (the loader
// without its file reading) and prints one line per variant: its name, then
// the picture's size, format and a digest of its pixels, or the reason it
// was refused. The first line is the byte that a fresh allocation holds in
// this process.
//
// picture_test runs this twice, with the allocator filling new memory
// differently each time (MALLOC_PERTURB_ for glibc, with its cache of freed
// blocks turned off so that every block is filled; malloc_fill_byte for
// AddressSanitizer), and compares the two outputs: a pixel that the loader
// did not write shows as a difference.

#include "codec/picture.h"
#include "host/host.h"
#include "support/bmp_variants.h"

#include <QCryptographicHash>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

namespace {

using namespace vantrel;

// The picture as the loader made it: size, format, colour table and the
// bytes of each row that hold pixels. Indexes are taken as they are, not
// through the colour table, which would show two different stray indexes
// beyond a short palette alike.
QString describe(const QImage &image)
{
    QCryptographicHash digest(QCryptographicHash::Sha1);
    for (const QRgb colour : image.colorTable())
        digest.addData(QByteArray::number(colour, 16) + ' ');
    const qsizetype rowBytes = (qsizetype(image.width()) * image.depth() + 7) / 8;
    for (int y = 0; y < image.height(); ++y)
        digest.addData(
            QByteArrayView(reinterpret_cast<const char *>(image.constScanLine(y)), rowBytes));
    return QStringLiteral("%1x%2 format %3 %4")
        .arg(image.width())
        .arg(image.height())
        .arg(int(image.format()))
        .arg(QString::fromLatin1(digest.result().toHex()));
}

// Reading memory nobody wrote is the point here: it shows what the
// allocator fills new blocks with.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
unsigned freshAllocationByte()
{
    auto *block = static_cast<volatile unsigned char *>(std::malloc(4096));
    const unsigned byte = block[1000];
    std::free(const_cast<unsigned char *>(block));
    return byte;
}
#pragma GCC diagnostic pop

} // namespace

int main()
{
    QTextStream out(stdout);
    out << "fill " << freshAllocationByte() << '\n';
    for (const test::BmpVariant &variant : test::bmpVariants()) {
        out << variant.name << '\t';
        try {
            out << describe(decodePicture(variant.bytes, QStringLiteral("picture.bmp")));
        } catch (const HostError &error) {
            out << "error " << error.reason();
        }
        out << '\n';
    }
    return 0;
}
