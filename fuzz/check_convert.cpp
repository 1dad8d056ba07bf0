#include "checks.h"

#include "codec/logo_convert.h"
#include "codec/logo_format.h"
#include "codec/picture.h"
#include "host/host.h"
#include "input_reader.h"

#include <QImage>

#include <algorithm>
#include <vector>

namespace vantrel::fuzz {

namespace {

// Pictures larger than this are passed over: the converter takes them, but
// resampling them would slow each run down to where fuzzing finds little.
constexpr std::int64_t kMaxPixels = std::int64_t(1) << 18;

// The options, from the first bytes of the input:
//   byte 0: bits 0-1 the fit (crop, pad, stretch, crop), bit 2 dithering,
//           bits 3-4 the band (none, top, bottom, none), bit 5 a raw image
//           rather than a picture file, bit 6 a ramp of its own, bit 7 adds
//           144 to the band's rows;
//   byte 1: the starting entry (236 when a band is asked for with 0);
//   byte 2: the band's rows less one;
//   bytes 3-5: the border colour, red, green, blue;
//   with bit 6, a byte for the number of ramp colours less one (mod 8) and
//   three bytes for each.
struct Request {
    ConvertOptions options;
    bool raw = false;
};

Request readRequest(InputReader &in)
{
    Request r;
    const std::uint8_t flags = in.byte();
    constexpr Fit kFits[] = {Fit::Crop, Fit::Pad, Fit::Stretch, Fit::Crop};
    constexpr BandEdge kBands[] = {BandEdge::None, BandEdge::Top, BandEdge::Bottom, BandEdge::None};
    r.options.fit = kFits[flags & 3];
    r.options.dither = (flags & 4) != 0;
    r.options.band = kBands[flags >> 3 & 3];
    r.raw = (flags & 0x20) != 0;
    r.options.start = in.byte();
    if (r.options.band != BandEdge::None && r.options.start == 0)
        r.options.start = kDefaultStartEntry;
    r.options.bandRows = 1 + in.byte() + ((flags & 0x80) != 0 ? 144 : 0);
    r.options.border.red = in.byte();
    r.options.border.green = in.byte();
    r.options.border.blue = in.byte();
    if ((flags & 0x40) != 0) {
        const int count = in.byte() % 8 + 1;
        for (int i = 0; i < count; ++i) {
            Colour c;
            c.red = in.byte();
            c.green = in.byte();
            c.blue = in.byte();
            r.options.ramp.push_back(c);
        }
    }
    return r;
}

// A raw image: a byte for the format (every QImage format), the width and
// the height less one (16 bits each, kept to 1024), a byte for the number
// of colours of an indexed image, then bytes that fill the colour table
// and the pixels, repeated as often as needed (or 0 when there are none).
QImage rawImage(InputReader &in)
{
    const auto format = QImage::Format(1 + in.byte() % (QImage::NImageFormats - 1));
    const int width = 1 + in.le16() % 1024;
    const int height = 1 + in.le16() % 1024;
    const int colours = in.byte();
    if (std::int64_t(width) * height > kMaxPixels)
        return {};
    const std::span<const std::uint8_t> fill = in.rest();
    std::size_t at = 0;
    const auto next = [&]() -> std::uint8_t {
        if (fill.empty())
            return 0;
        const std::uint8_t b = fill[at];
        at = (at + 1) % fill.size();
        return b;
    };
    QImage image(width, height, format);
    if (image.isNull())
        return {};
    if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB ||
        format == QImage::Format_Indexed8) {
        QList<QRgb> table;
        for (int i = 0; i < colours; ++i) {
            const std::uint8_t a = next(), r = next(), g = next(), b = next();
            table.append(qRgba(r, g, b, a));
        }
        image.setColorTable(table);
    }
    for (int y = 0; y < height; ++y) {
        uchar *line = image.scanLine(y);
        for (qsizetype x = 0; x < image.bytesPerLine(); ++x)
            line[x] = next();
    }
    return image;
}

std::string colourText(Colour c)
{
    return "rgb(" + std::to_string(c.red) + "," + std::to_string(c.green) + "," +
           std::to_string(c.blue) + ")";
}

} // namespace

Outcome checkConvert(std::span<const std::uint8_t> input)
{
    InputReader in(input);
    const Request request = readRequest(in);
    QImage picture;
    if (request.raw) {
        picture = rawImage(in);
    } else {
        const std::span<const std::uint8_t> file = in.rest();
        try {
            picture = decodePicture(
                QByteArray(reinterpret_cast<const char *>(file.data()), qsizetype(file.size())),
                QStringLiteral("picture"));
        } catch (const HostError &) {
            return Outcome::Refused;
        }
    }
    if (picture.isNull() || std::int64_t(picture.width()) * picture.height() > kMaxPixels)
        return Outcome::Refused;

    const ConvertOptions &options = request.options;
    std::vector<std::uint8_t> logo;
    try {
        logo = convertToLogo(picture, options);
    } catch (const HostError &error) {
        throw InvariantBroken("a " + std::to_string(picture.width()) + " x " +
                              std::to_string(picture.height()) + " picture of format " +
                              std::to_string(picture.format()) +
                              " is refused: " + error.reason().toStdString());
    }

    require(logo.size() == std::size_t(kLogoLength),
            [&] { return "the logo is " + std::to_string(logo.size()) + " bytes"; });
    const QString problem = logoBitmapProblem(
        std::span<const std::uint8_t>(logo.data(), kHeaderBlockLength), std::int64_t(logo.size()));
    require(problem.isEmpty(),
            [&] { return "the logo is no logo bitmap: " + problem.toStdString(); });
    const int start = options.start;
    require(logo[kStartEntryOffset] == start && logo[kStartEntryOffset + 1] == 0, [&] {
        return "bytes 50 and 51 are " + std::to_string(logo[kStartEntryOffset]) + " and " +
               std::to_string(logo[kStartEntryOffset + 1]) + " for starting entry " +
               std::to_string(start);
    });
    const Colour entry0{logo[entryOffset(0) + 2], logo[entryOffset(0) + 1], logo[entryOffset(0)]};
    require(entry0 == options.border, [&] {
        return "entry 0 is " + colourText(entry0) + ", the border " + colourText(options.border);
    });
    for (int i = 0; i < int(kPaletteEntries); ++i)
        require(logo[entryOffset(i) + 3] == 0,
                [&] { return "the reserved byte of entry " + std::to_string(i); });

    if (start > 0) {
        const std::span<const std::uint8_t> header(logo.data(), kHeaderBlockLength);
        const std::vector<ColourTwin> twins = findColourTwins(header, start);
        require(twins.empty(), [&] {
            return "animated entry " +
                   (twins.empty() ? std::string() : std::to_string(twins[0].animated)) +
                   " has the colour of a still one";
        });
        // Rows are stored bottom-up; the band's pixels sweep through the
        // animated range, every other pixel keeps below it.
        const int entries = 256 - start;
        for (int y = 0; y < kLogoHeight; ++y) {
            const bool inBand =
                (options.band == BandEdge::Top && y < options.bandRows) ||
                (options.band == BandEdge::Bottom && y >= kLogoHeight - options.bandRows);
            const std::uint8_t *row =
                logo.data() + kHeaderBlockLength + std::size_t(kLogoHeight - 1 - y) * kLogoWidth;
            for (int x = 0; x < kLogoWidth; ++x) {
                if (inBand) {
                    require(row[x] == start + x * entries / kLogoWidth, [&] {
                        return "band pixel " + std::to_string(x) + "," + std::to_string(y) +
                               " is " + std::to_string(row[x]);
                    });
                } else {
                    require(row[x] < start, [&] {
                        return "pixel " + std::to_string(x) + "," + std::to_string(y) + " is " +
                               std::to_string(row[x]) + ", in the animated range";
                    });
                }
            }
        }
    }
    return Outcome::Taken;
}

} // namespace vantrel::fuzz
