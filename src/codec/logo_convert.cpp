#include "codec/logo_convert.h"

#include "codec/logo_format.h"
#include "host/host_error.h"

#include <QColor>

#include <libimagequant.h>
#include <omp.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace vantrel {

namespace {

// libimagequant's trade between time and palette quality, 1 (best) to 10
// (fastest). Past 7 it stops refining the palette; below it the time grows
// much faster than the quality (bench/convert_quality.sh).
constexpr int kQuantiserSpeed = 7;

// Runs libimagequant on one thread and puts the caller's OpenMP thread
// count back afterwards. A logo is 128000 pixels, too few for a second
// thread to pay for itself, and OpenMP's waiting threads slow the work
// badly when the cores are busy with something else.
//
// libimagequant decides in liq_set_speed whether to make a dither map (it
// keeps dithering off edges and flat areas, worth about 1 dB here): up to
// speed 7 when it may use more than one thread, only up to 5 otherwise. At
// this size the map costs a few milliseconds, so the speed is set while two
// threads are allowed, the same on every machine, and the work then runs
// on one.
class OneQuantiserThread {
public:
    OneQuantiserThread() : m_threads(omp_get_max_threads()) { omp_set_num_threads(2); }
    ~OneQuantiserThread() { omp_set_num_threads(m_threads); }
    OneQuantiserThread(const OneQuantiserThread &) = delete;
    OneQuantiserThread &operator=(const OneQuantiserThread &) = delete;

    // Called once the speed is set.
    void start() { omp_set_num_threads(1); }

private:
    int m_threads;
};

constexpr std::int64_t kWidth = kLogoWidth;
constexpr std::int64_t kHeight = kLogoHeight;

// The part of a picture of `size` that is shown: the centred cut of the
// screen's 4:3 shape for crop, all of it otherwise.
QRect shownPart(QSize size, Fit fit)
{
    const std::int64_t w = size.width();
    const std::int64_t h = size.height();
    if (fit != Fit::Crop)
        return QRect(0, 0, int(w), int(h));
    if (w * 3 > h * 4) {
        const std::int64_t cut = std::clamp<std::int64_t>(std::llround(double(h) * 4 / 3), 1, w);
        return QRect(int((w - cut) / 2), 0, int(cut), int(h));
    }
    const std::int64_t cut = std::clamp<std::int64_t>(std::llround(double(w) * 3 / 4), 1, h);
    return QRect(0, int((h - cut) / 2), int(w), int(cut));
}

// Where the shown part lands in the logo: all of it, except for pad, where
// the picture keeps its shape on the 4:3 screen and is centred.
QRect logoPictureRect(QSize size, Fit fit)
{
    const std::int64_t w = size.width();
    const std::int64_t h = size.height();
    if (fit != Fit::Pad)
        return QRect(0, 0, kLogoWidth, kLogoHeight);
    if (w * 3 > h * 4) {
        const std::int64_t rows = std::clamp<std::int64_t>(
            std::llround(double(kHeight) * double(h * 4) / double(w * 3)), 1, kHeight);
        return QRect(0, int((kHeight - rows) / 2), kLogoWidth, int(rows));
    }
    const std::int64_t columns = std::clamp<std::int64_t>(
        std::llround(double(kWidth) * double(w * 3) / double(h * 4)), 1, kWidth);
    return QRect(int((kWidth - columns) / 2), 0, int(columns), kLogoHeight);
}

liq_color toLiq(Colour c)
{
    return {c.red, c.green, c.blue, 255};
}

Colour fromLiq(liq_color c)
{
    return {c.r, c.g, c.b};
}

// `p`, a premultiplied pixel, laid over the opaque `border`. Filtering may
// leave a premultiplied value a level above its alpha; the clamp keeps such
// a pixel from wrapping round to black.
liq_color laidOver(QRgb p, Colour border)
{
    const int a = qAlpha(p);
    const auto over = [a](int premultiplied, int background) {
        return static_cast<unsigned char>(
            std::min(255, premultiplied + (background * (255 - a) + 127) / 255));
    };
    return {over(qRed(p), border.red), over(qGreen(p), border.green), over(qBlue(p), border.blue),
            255};
}

// `picture` in a format whose pixels are 32-bit premultiplied values.
QImage premultiplied(const QImage &picture)
{
    QImage image = picture.convertToFormat(
        picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        throw HostError(QStringLiteral("not enough memory to convert the picture"));
    return image;
}

// Whether a picture of `size` is a logo as it is stored or as a 4:3 screen
// shows it: the sizes the export writes.
bool isLogoRendering(QSize size)
{
    return size == QSize(kLogoWidth, kLogoHeight) || size == QSize(640, 400) ||
           size == QSize(640, 480);
}

// A logo rendering taken back to the logo's grid: each logo pixel takes the
// picture's pixel under its centre, so every colour stays as it is.
std::vector<liq_color> centreSamples(const QImage &picture, Colour border)
{
    const QImage image = premultiplied(picture);
    const std::int64_t w = image.width();
    const std::int64_t h = image.height();
    std::vector<liq_color> canvas(std::size_t(kWidth * kHeight));
    for (std::int64_t y = 0; y < kHeight; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(
            image.constScanLine(int((2 * y + 1) * h / (2 * kHeight))));
        liq_color *out = canvas.data() + std::size_t(y * kWidth);
        for (std::int64_t x = 0; x < kWidth; ++x)
            out[x] = laidOver(line[(2 * x + 1) * w / (2 * kWidth)], border);
    }
    return canvas;
}

// The picture fitted and resampled to 320 x 400, laid over the border
// colour, top row first. A logo rendering is taken back to its own pixels.
std::vector<liq_color> fitPicture(const QImage &picture, Fit fit, Colour border)
{
    if (isLogoRendering(picture.size()))
        return centreSamples(picture, border);
    const QRect part = shownPart(picture.size(), fit);
    const QRect target = logoPictureRect(picture.size(), fit);
    // Premultiplied alpha makes the filter weigh transparent pixels by how
    // much of them shows, so no colour bleeds out of invisible areas.
    const QImage cut = premultiplied(part == picture.rect() ? picture : picture.copy(part));
    QImage scaled = cut.size() == target.size() ? cut
                                                : cut.scaled(target.size(), Qt::IgnoreAspectRatio,
                                                             Qt::SmoothTransformation);
    // The loop below reads 32-bit pixels, whatever format scaling chose.
    if (scaled.format() != QImage::Format_RGB32 &&
        scaled.format() != QImage::Format_ARGB32_Premultiplied)
        scaled = scaled.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (scaled.isNull() || scaled.size() != target.size())
        throw HostError(QStringLiteral("not enough memory to convert the picture"));
    std::vector<liq_color> canvas(std::size_t(kWidth * kHeight), toLiq(border));
    for (int y = 0; y < target.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(scaled.constScanLine(y));
        liq_color *out = canvas.data() + std::size_t(target.y() + y) * kWidth + target.x();
        for (int x = 0; x < target.width(); ++x)
            out[x] = laidOver(line[x], border);
    }
    return canvas;
}

struct LiqDeleter {
    void operator()(liq_attr *p) const { liq_attr_destroy(p); }
    void operator()(liq_image *p) const { liq_image_destroy(p); }
    void operator()(liq_result *p) const { liq_result_destroy(p); }
};

[[noreturn]] void quantiserFailed(liq_error error)
{
    throw HostError(
        QStringLiteral("cannot reduce the picture to a palette (libimagequant error %1)")
            .arg(int(error)));
}

// Runs libimagequant over `rows` picture rows of `canvas`, starting at row
// `first`, for at most `colours` colours with the border among them, and
// writes the indexes of the palette it finds into `indexes` (same layout
// as the canvas). Returns that palette, of 1 to `colours` entries.
std::vector<Colour> remapRows(std::vector<liq_color> &canvas, int first, int rows, int colours,
                              Colour border, bool dither, std::vector<std::uint8_t> &indexes)
{
    OneQuantiserThread threads;
    const std::unique_ptr<liq_attr, LiqDeleter> attr(liq_attr_create());
    if (!attr)
        quantiserFailed(LIQ_OUT_OF_MEMORY);
    if (const liq_error e = liq_set_max_colors(attr.get(), colours); e != LIQ_OK)
        quantiserFailed(e);
    if (const liq_error e = liq_set_speed(attr.get(), kQuantiserSpeed); e != LIQ_OK)
        quantiserFailed(e);
    threads.start();

    std::vector<void *> in(static_cast<std::size_t>(rows));
    std::vector<unsigned char *> out(static_cast<std::size_t>(rows));
    for (int y = 0; y < rows; ++y) {
        in[std::size_t(y)] = canvas.data() + std::size_t(first + y) * kWidth;
        out[std::size_t(y)] = indexes.data() + std::size_t(first + y) * kWidth;
    }
    const std::unique_ptr<liq_image, LiqDeleter> image(
        liq_image_create_rgba_rows(attr.get(), in.data(), kLogoWidth, rows, 0));
    if (!image)
        quantiserFailed(LIQ_OUT_OF_MEMORY);
    // The border is in the palette whatever the picture holds, so the
    // quantiser may as well map pixels to it.
    if (const liq_error e = liq_image_add_fixed_color(image.get(), toLiq(border)); e != LIQ_OK)
        quantiserFailed(e);

    liq_result *raw = nullptr;
    if (const liq_error e = liq_image_quantize(image.get(), attr.get(), &raw); e != LIQ_OK)
        quantiserFailed(e);
    const std::unique_ptr<liq_result, LiqDeleter> result(raw);
    if (const liq_error e = liq_set_dithering_level(result.get(), dither ? 1.0f : 0.0f);
        e != LIQ_OK)
        quantiserFailed(e);
    if (const liq_error e = liq_write_remapped_image_rows(result.get(), image.get(), out.data());
        e != LIQ_OK)
        quantiserFailed(e);

    // Read after remapping: libimagequant refines the palette while it maps.
    const liq_palette *found = liq_get_palette(result.get());
    std::vector<Colour> palette(
        static_cast<std::size_t>(std::clamp(int(found->count), 1, colours)));
    for (std::size_t i = 0; i < palette.size(); ++i)
        palette[i] = fromLiq(found->entries[i]);
    return palette;
}

// The entry of `palette` nearest to `colour`, the first of equals.
int nearestEntry(const std::vector<Colour> &palette, Colour colour)
{
    int nearest = 0;
    int distance = INT32_MAX;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const Colour c = palette[i];
        const int d = (c.red - colour.red) * (c.red - colour.red) +
                      (c.green - colour.green) * (c.green - colour.green) +
                      (c.blue - colour.blue) * (c.blue - colour.blue);
        if (d < distance) {
            distance = d;
            nearest = int(i);
        }
    }
    return nearest;
}

// Reduces `rows` picture rows of `canvas`, starting at row `first`, to at
// most `colours` palette colours, the border among them, and writes their
// indexes into `indexes` (same layout as the canvas). Returns the palette,
// with the border colour at entry 0.
std::vector<Colour> quantise(std::vector<liq_color> &canvas, int first, int rows, int colours,
                             Colour border, bool dither, std::vector<std::uint8_t> &indexes)
{
    std::vector<Colour> palette = remapRows(canvas, first, rows, colours, border, dither, indexes);
    const int count = int(palette.size());
    const int borderAt = nearestEntry(palette, border);

    // The border goes to entry 0 by swapping it with whatever is there.
    std::array<std::uint8_t, 256> move{};
    for (int i = 0; i < 256; ++i)
        move[std::size_t(i)] = static_cast<std::uint8_t>(i);
    std::swap(move[0], move[std::size_t(borderAt)]);
    std::swap(palette[0], palette[std::size_t(borderAt)]);
    palette[0] = border;
    for (int y = 0; y < rows; ++y) {
        std::uint8_t *line = indexes.data() + std::size_t(first + y) * kWidth;
        for (int x = 0; x < kLogoWidth; ++x) {
            // Indexes at or beyond the palette's count cannot come out of
            // the quantiser; the clamp keeps that a promise of this code.
            line[x] = move[std::min<std::size_t>(line[x], std::size_t(count - 1))];
        }
    }
    return palette;
}

std::uint32_t key(Colour c)
{
    return std::uint32_t(c.red) << 16 | std::uint32_t(c.green) << 8 | c.blue;
}

// Gives each colour of `rows` canvas rows from row `first` an entry of its
// own, the border at entry 0, and writes their indexes into `indexes` (same
// layout as the canvas). Nothing when the colours, with the border, need
// more than `colours` entries: then the picture must be quantised.
std::optional<std::vector<Colour>> exactPalette(const std::vector<liq_color> &canvas, int first,
                                                int rows, int colours, Colour border,
                                                std::vector<std::uint8_t> &indexes)
{
    std::vector<Colour> palette{border};
    std::unordered_map<std::uint32_t, std::uint8_t> entries{{key(border), 0}};
    const std::size_t begin = std::size_t(first) * kWidth;
    const std::size_t end = begin + std::size_t(rows) * kWidth;
    for (std::size_t i = begin; i < end; ++i) {
        const Colour c = fromLiq(canvas[i]);
        const auto [at, added] = entries.try_emplace(key(c), std::uint8_t(palette.size()));
        if (added) {
            if (int(palette.size()) == colours)
                return std::nullopt;
            palette.push_back(c);
        }
        indexes[i] = at->second;
    }
    return palette;
}

// The nearest colour to `c` that is not in `taken`, which holds at most
// 255 colours (the still entries). Searching a cube of 15 levels a side
// always succeeds: even at a corner of the colour cube it holds 511
// candidates.
Colour awayFrom(Colour c, const std::unordered_set<std::uint32_t> &taken)
{
    struct Step {
        int d, r, g, b;
    };
    static const std::vector<Step> steps = [] {
        std::vector<Step> all;
        for (int r = -7; r <= 7; ++r)
            for (int g = -7; g <= 7; ++g)
                for (int b = -7; b <= 7; ++b)
                    all.push_back({r * r + g * g + b * b, r, g, b});
        std::stable_sort(all.begin(), all.end(),
                         [](const Step &x, const Step &y) { return x.d < y.d; });
        return all;
    }();
    for (const Step &s : steps) {
        const int r = c.red + s.r;
        const int g = c.green + s.g;
        const int b = c.blue + s.b;
        if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255)
            continue;
        const Colour candidate{std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)};
        if (!taken.contains(key(candidate)))
            return candidate;
    }
    return c;
}

std::vector<std::uint8_t> logoBytes(const std::array<Colour, kPaletteEntries> &palette,
                                    const std::vector<std::uint8_t> &indexes, int start)
{
    std::vector<std::uint8_t> bytes(std::size_t(kLogoLength), 0);
    // Resolution 0: nothing reads it. Byte 50 is the starting entry.
    writeLogoHeaders(bytes, 0, std::uint32_t(start));
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        const std::size_t at = entryOffset(int(i));
        bytes[at] = palette[i].blue;
        bytes[at + 1] = palette[i].green;
        bytes[at + 2] = palette[i].red;
    }
    for (int row = 0; row < kLogoHeight; ++row) {
        const auto from = indexes.begin() + std::ptrdiff_t(row) * kLogoWidth;
        const std::size_t stored = std::size_t(kLogoHeight - 1 - row);
        std::copy(from, from + kLogoWidth,
                  bytes.begin() + std::ptrdiff_t(kHeaderBlockLength + stored * kLogoWidth));
    }
    return bytes;
}

} // namespace

std::vector<Colour> defaultRamp()
{
    return {{0xFF, 0x00, 0x00}, {0xFF, 0xFF, 0x00}, {0x00, 0xFF, 0x00},
            {0x00, 0xFF, 0xFF}, {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}};
}

std::vector<Colour> rampColours(const std::vector<Colour> &stops, int count)
{
    std::vector<Colour> colours;
    if (stops.empty() || count < 1)
        return colours;
    const std::size_t k = stops.size();
    colours.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        // Position i * k / count along the loop, in whole stops and a
        // fraction, kept in integers so that stops land exactly.
        const std::size_t scaled = std::size_t(i) * k;
        const std::size_t segment = scaled / std::size_t(count);
        const auto fraction = double(scaled % std::size_t(count)) / count;
        const Colour a = stops[segment];
        const Colour b = stops[(segment + 1) % k];
        const auto mix = [fraction](int x, int y) {
            return static_cast<std::uint8_t>(std::lround(x + (y - x) * fraction));
        };
        colours.push_back({mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)});
    }
    return colours;
}

std::optional<Colour> parseColour(const QString &text)
{
    // QColor also reads "#AARRGGBB" and "transparent"; a logo has no
    // transparency, so only opaque colours count.
    const QColor colour = QColor::fromString(text);
    if (!colour.isValid() || colour.alpha() != 255)
        return std::nullopt;
    return Colour{std::uint8_t(colour.red()), std::uint8_t(colour.green()),
                  std::uint8_t(colour.blue())};
}

namespace {

// Refuses what cannot be converted, as convertToLogo says.
void checkConversion(const QImage &picture, const ConvertOptions &options)
{
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1)
        throw HostError(QStringLiteral("the picture is empty"));
    const int start = options.start;
    if (start < 0 || start > kMaxStartEntry) {
        throw HostError(QStringLiteral("the starting entry must be %1 to %2, not %3")
                            .arg(kMinStartEntry)
                            .arg(kMaxStartEntry)
                            .arg(start));
    }
    const bool band = options.band != BandEdge::None;
    if (band && (options.bandRows < 1 || options.bandRows > kLogoHeight)) {
        throw HostError(QStringLiteral("the band must be 1 to %1 rows, not %2")
                            .arg(kLogoHeight)
                            .arg(options.bandRows));
    }
    if (band && start == 0)
        throw HostError(QStringLiteral("a band needs a starting entry"));
}

// Fills the animated range `start`..255 of `palette` with the colours of
// the ramp through `stops` (the default ramp when empty).
void addAnimatedRange(std::array<Colour, kPaletteEntries> &palette, int start,
                      const std::vector<Colour> &stops)
{
    const std::vector<Colour> ramp =
        rampColours(stops.empty() ? defaultRamp() : stops, int(kPaletteEntries) - start);
    // No animated colour may equal a still one, or pixels of the two
    // would look alike while only one of them cycles. The picture and
    // the border stay exact; a ramp colour that meets one of them moves
    // by the smallest step that makes it differ, which no eye can tell.
    std::unordered_set<std::uint32_t> still;
    for (int i = 0; i < start; ++i)
        still.insert(key(palette[std::size_t(i)]));
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        const Colour c = ramp[i];
        palette[std::size_t(start) + i] = still.contains(key(c)) ? awayFrom(c, still) : c;
    }
}

// Paints the band of options.bandRows rows at its edge with the animated
// range, left to right.
void paintBand(std::vector<std::uint8_t> &indexes, const ConvertOptions &options)
{
    const int start = options.start;
    const int firstBandRow = options.band == BandEdge::Top ? 0 : kLogoHeight - options.bandRows;
    const int entries = int(kPaletteEntries) - start;
    for (int y = firstBandRow; y < firstBandRow + options.bandRows; ++y) {
        std::uint8_t *line = indexes.data() + std::size_t(y) * kWidth;
        for (int x = 0; x < kLogoWidth; ++x)
            line[x] = static_cast<std::uint8_t>(start + x * entries / kLogoWidth);
    }
}

} // namespace

std::vector<std::uint8_t> convertToLogo(const QImage &picture, const ConvertOptions &options)
{
    checkConversion(picture, options);
    const int start = options.start;
    const bool band = options.band != BandEdge::None;
    std::vector<liq_color> canvas = fitPicture(picture, options.fit, options.border);

    int first = 0;
    int rows = kLogoHeight;
    if (band) {
        rows -= options.bandRows;
        if (options.band == BandEdge::Top)
            first = options.bandRows;
    }

    std::array<Colour, kPaletteEntries> palette;
    palette.fill(options.border);
    std::vector<std::uint8_t> indexes(kPixelAreaLength, 0);
    const int stillEntries = start == 0 ? int(kPaletteEntries) : start;
    // With a single still entry there is nothing to choose: the whole
    // picture is the border colour, as the quantiser cannot make one colour.
    // A picture with few enough colours keeps them exactly.
    if (stillEntries >= 2 && rows > 0) {
        std::optional<std::vector<Colour>> found =
            exactPalette(canvas, first, rows, stillEntries, options.border, indexes);
        if (!found)
            found = quantise(canvas, first, rows, stillEntries, options.border, options.dither,
                             indexes);
        std::copy(found->begin(), found->end(), palette.begin());
    }
    if (start > 0)
        addAnimatedRange(palette, start, options.ramp);
    if (band)
        paintBand(indexes, options);
    return logoBytes(palette, indexes, start);
}

} // namespace vantrel
