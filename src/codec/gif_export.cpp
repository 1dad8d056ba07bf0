#include "codec/gif_export.h"

#include "codec/logo_format.h"
#include "codec/palette_rotation.h"
#include "host/host_error.h"

#include <gif_lib.h>

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <array>
#include <memory>

namespace vantrel {

namespace {

// The local colour table of a later frame holds only the animated range:
// local index 0 is the transparent one, and local index 1 + j is entry
// S + j of the frame's palette. The pixels of the box are then the same
// bytes in every later frame, and their codes need as few bits as the
// range has entries.
constexpr int kTransparentIndex = 0;

[[noreturn]] void fail(const QString &reason)
{
    throw HostError(QStringLiteral("cannot make the GIF: %1").arg(reason));
}

Palette paletteOf(std::span<const std::uint8_t> header)
{
    Palette palette{};
    for (int i = 0; i < int(kPaletteEntries); ++i) {
        const std::size_t at = entryOffset(i);
        // The entry's bytes are blue, green, red, reserved.
        palette[std::size_t(i)] = {header[at + 2], header[at + 1], header[at]};
    }
    return palette;
}

// The encoder's output, collected in memory.
int appendOutput(GifFileType *gif, const GifByteType *bytes, int length)
{
    auto *out = static_cast<std::vector<std::uint8_t> *>(gif->UserData);
    out->insert(out->end(), bytes, bytes + length);
    return length;
}

struct ColourMapDeleter {
    void operator()(ColorMapObject *map) const { GifFreeMapObject(map); }
};
using ColourMap = std::unique_ptr<ColorMapObject, ColourMapDeleter>;

// A colour map of `count` entries (a power of two, 2..256), the first
// colours from `colours` and the rest black.
ColourMap makeColourMap(int count, std::span<const Rgb> colours)
{
    std::vector<GifColorType> entries(std::size_t(count), GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < colours.size() && i < entries.size(); ++i)
        entries[i] = {colours[i][0], colours[i][1], colours[i][2]};
    ColourMap map(GifMakeMapObject(count, entries.data()));
    if (!map)
        fail(QStringLiteral("out of memory"));
    return map;
}

// The bounding box of the pixels at `start` and above.
struct Box {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

Box animatedBox(const ExportFrames &frames, int start)
{
    int left = frames.width;
    int right = -1;
    int top = frames.height;
    int bottom = -1;
    for (int y = 0; y < frames.height; ++y) {
        const std::uint8_t *row =
            frames.indexes.data() + std::size_t(y) * std::size_t(frames.width);
        int first = -1;
        int last = -1;
        for (int x = 0; x < frames.width; ++x) {
            if (row[x] >= start) {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
        if (first < 0)
            continue;
        left = std::min(left, first);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
    }
    if (right < 0)
        return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

// Writes one GIF through giflib's sequential interface and closes it.
class GifWriter {
public:
    explicit GifWriter(std::vector<std::uint8_t> &out)
    {
        int error = 0;
        m_gif = EGifOpen(&out, appendOutput, &error);
        if (!m_gif)
            fail(QString::fromUtf8(GifErrorString(error)));
        // Transparency, delays and the loop count are GIF89a's.
        EGifSetGifVersion(m_gif, true);
    }

    ~GifWriter()
    {
        if (m_gif)
            EGifCloseFile(m_gif, nullptr);
    }

    GifWriter(const GifWriter &) = delete;
    GifWriter &operator=(const GifWriter &) = delete;

    void screen(int width, int height, const ColorMapObject &globalColours)
    {
        check(EGifPutScreenDesc(m_gif, width, height, 8, 0, &globalColours));
    }

    // The NETSCAPE2.0 application extension that makes viewers loop.
    void loopCount(int count)
    {
        static const char kApplication[] = "NETSCAPE2.0";
        const std::array<std::uint8_t, 3> loop{1, std::uint8_t(count & 0xff),
                                               std::uint8_t(count >> 8 & 0xff)};
        check(EGifPutExtensionLeader(m_gif, APPLICATION_EXT_FUNC_CODE));
        check(EGifPutExtensionBlock(m_gif, 11, kApplication));
        check(EGifPutExtensionBlock(m_gif, int(loop.size()), loop.data()));
        check(EGifPutExtensionTrailer(m_gif));
    }

    void control(int delayHundredths, int transparentIndex)
    {
        GraphicsControlBlock block{};
        // Each frame stays on the canvas: a later frame draws only the
        // animated pixels and relies on frame 1 for everything else.
        block.DisposalMode = DISPOSE_DO_NOT;
        block.UserInputFlag = false;
        block.DelayTime = delayHundredths;
        block.TransparentColor = transparentIndex;
        std::array<GifByteType, 4> bytes{};
        const std::size_t length = EGifGCBToExtension(&block, bytes.data());
        check(EGifPutExtension(m_gif, GRAPHICS_EXT_FUNC_CODE, int(length), bytes.data()));
    }

    // One image. giflib masks `pixels` in place to the table's bit size,
    // which leaves them as they are since every index fits. `codesStart`,
    // when given, receives the length of the output before the image's
    // compressed codes.
    void image(const Box &box, const ColorMapObject *localColours,
               std::vector<std::uint8_t> &pixels, std::size_t *codesStart = nullptr)
    {
        check(
            EGifPutImageDesc(m_gif, box.left, box.top, box.width, box.height, false, localColours));
        if (codesStart)
            *codesStart = written();
        check(EGifPutLine(m_gif, pixels.data(), int(pixels.size())));
    }

    // One image whose pixels are given as the sub-blocks of their codes, as
    // compressCodes makes them for a colour table of the same size.
    void imageFromCodes(const Box &box, const ColorMapObject &localColours,
                        std::span<const std::uint8_t> codes)
    {
        check(EGifPutImageDesc(m_gif, box.left, box.top, box.width, box.height, false,
                               &localColours));
        bool first = true;
        for (std::size_t at = 0; at < codes.size() && codes[at] != 0; at += codes[at] + 1u) {
            check(first ? EGifPutCode(m_gif, localColours.BitsPerPixel, &codes[at])
                        : EGifPutCodeNext(m_gif, &codes[at]));
            first = false;
        }
        check(EGifPutCodeNext(m_gif, nullptr));
    }

    // Bytes written so far.
    std::size_t written() const
    {
        return static_cast<const std::vector<std::uint8_t> *>(m_gif->UserData)->size();
    }

    void close()
    {
        int error = 0;
        GifFileType *gif = m_gif;
        m_gif = nullptr;
        if (EGifCloseFile(gif, &error) != GIF_OK)
            fail(QString::fromUtf8(GifErrorString(error)));
    }

private:
    void check(int result)
    {
        if (result != GIF_OK)
            fail(QString::fromUtf8(GifErrorString(m_gif->Error)));
    }

    GifFileType *m_gif = nullptr;
};

// The compressed pixels of a `box`-sized image with a colour table like
// `colours`: the image data sub-blocks up to and without the empty one
// that ends them. Every later frame has the same pixels, so they are
// compressed once and copied into each frame.
std::vector<std::uint8_t> compressCodes(const Box &box, const ColorMapObject &colours,
                                        std::vector<std::uint8_t> &pixels)
{
    std::vector<std::uint8_t> out;
    std::size_t codesStart = 0;
    {
        GifWriter gif(out);
        gif.screen(box.width, box.height, colours);
        // The descriptor ends with the code size byte; the sub-blocks follow.
        gif.image({0, 0, box.width, box.height}, nullptr, pixels, &codesStart);
        gif.close();
    }
    // What follows the codes: the empty sub-block and the GIF's trailer.
    constexpr std::size_t kEnd = 2;
    if (codesStart > out.size() || out.size() - codesStart < kEnd)
        fail(QStringLiteral("the encoder wrote no image"));
    out.erase(out.end() - std::ptrdiff_t(kEnd), out.end());
    out.erase(out.begin(), out.begin() + std::ptrdiff_t(codesStart));
    // The sub-blocks must end where the bytes do before they are copied.
    std::size_t at = 0;
    while (at < out.size() && out[at] != 0)
        at += out[at] + 1u;
    if (at != out.size())
        fail(QStringLiteral("the encoder wrote unexpected image data"));
    return out;
}

void checkFrames(const ExportFrames &frames, const GifOptions &options)
{
    if (options.delayMs < kMinDelayMs || options.delayMs > kMaxDelayMs)
        fail(QStringLiteral("a delay of %1 ms").arg(options.delayMs));
    if (options.cycles < 0 || options.cycles > kMaxCycles)
        fail(QStringLiteral("%1 cycles").arg(options.cycles));
    const bool cycling = frames.motion.motion == Motion::Cycling;
    if (cycling && (frames.motion.start < kMinStartEntry || frames.motion.start > kMaxStartEntry))
        fail(QStringLiteral("a starting entry of %1").arg(frames.motion.start));
    if (frames.width < 1 || frames.height < 1 || frames.width > 0xffff || frames.height > 0xffff ||
        frames.indexes.size() != std::size_t(frames.width) * std::size_t(frames.height))
        fail(QStringLiteral("a picture of %1 x %2").arg(frames.width).arg(frames.height));
    if (frames.palettes.size() != std::size_t(frames.motion.frameCount()))
        fail(QStringLiteral("%1 palettes for %2 frames")
                 .arg(frames.palettes.size())
                 .arg(frames.motion.frameCount()));
}

} // namespace

int exportWidth(ExportSize size)
{
    return size == ExportSize::Raw320x400 ? kLogoWidth : 2 * kLogoWidth;
}

int exportHeight(ExportSize size)
{
    return size == ExportSize::Screen640x480 ? 480 : kLogoHeight;
}

int sourceColumn(ExportSize size, int x)
{
    return size == ExportSize::Raw320x400 ? x : x / 2;
}

int sourceRow(ExportSize size, int y)
{
    if (size != ExportSize::Screen640x480)
        return y;
    // The logo row under the centre of screen row y: (y + 1/2) * 400 / 480.
    // Of every 6 screen rows, the third and the fourth show the same row.
    return (2 * y + 1) * kLogoHeight / (2 * 480);
}

LogoMotion readMotion(std::span<const std::uint8_t> logo)
{
    if (logo.size() < std::size_t(kLogoLength))
        throw HostError(QStringLiteral("not a logo bitmap: %1 bytes, expected %2")
                            .arg(logo.size())
                            .arg(kLogoLength));
    LogoMotion motion;
    motion.start = logo[kStartEntryOffset];
    motion.highByte = logo[kStartEntryOffset + 1];
    if (motion.start == 0)
        motion.motion = Motion::None;
    else if (motion.highByte != 0)
        motion.motion = Motion::HighByteSet;
    else if (countAnimatedPixels(logo.subspan(kHeaderBlockLength, kPixelAreaLength),
                                 motion.start) == 0)
        motion.motion = Motion::RangeUnused;
    else
        motion.motion = Motion::Cycling;
    return motion;
}

ExportFrames exportFrames(std::span<const std::uint8_t> logo, ExportSize size)
{
    const QString problem = logoBitmapProblem(logo.first(std::min(logo.size(), kHeaderBlockLength)),
                                              std::int64_t(logo.size()));
    if (!problem.isEmpty())
        throw HostError(QStringLiteral("not a logo bitmap: %1").arg(problem));

    ExportFrames frames;
    frames.motion = readMotion(logo);
    frames.width = exportWidth(size);
    frames.height = exportHeight(size);
    frames.indexes.resize(std::size_t(frames.width) * std::size_t(frames.height));

    std::vector<int> columns(std::size_t(frames.width));
    for (int x = 0; x < frames.width; ++x)
        columns[std::size_t(x)] = sourceColumn(size, x);
    const std::span<const std::uint8_t> pixels = logo.subspan(kHeaderBlockLength, kPixelAreaLength);
    for (int y = 0; y < frames.height; ++y) {
        // The bottom row is stored first.
        const int stored = kLogoHeight - 1 - sourceRow(size, y);
        const std::uint8_t *from = pixels.data() + std::size_t(stored) * kLogoWidth;
        std::uint8_t *to = frames.indexes.data() + std::size_t(y) * std::size_t(frames.width);
        for (int x = 0; x < frames.width; ++x)
            to[x] = from[columns[std::size_t(x)]];
    }

    std::array<std::uint8_t, kHeaderBlockLength> header{};
    std::copy_n(logo.begin(), kHeaderBlockLength, header.begin());
    const int count = frames.motion.frameCount();
    frames.palettes.reserve(std::size_t(count));
    for (int k = 0; k < count; ++k) {
        frames.palettes.push_back(paletteOf(header));
        // Windows only ever steps forward; a logo made to run the other way
        // has its pixels mirrored instead.
        Rotate(header, frames.motion.start, false);
    }
    return frames;
}

std::vector<FrameRun> distinctFrames(const ExportFrames &frames)
{
    std::array<bool, 256> used{};
    for (const std::uint8_t index : frames.indexes)
        used[index] = true;
    const auto sameLook = [&](const Palette &a, const Palette &b) {
        for (std::size_t i = 0; i < used.size(); ++i) {
            if (used[i] && a[i] != b[i])
                return false;
        }
        return true;
    };
    std::vector<FrameRun> runs;
    for (int k = 0; k < int(frames.palettes.size()); ++k) {
        if (!runs.empty() && sameLook(frames.palettes[std::size_t(runs.back().first)],
                                      frames.palettes[std::size_t(k)]))
            ++runs.back().count;
        else
            runs.push_back({k, 1});
    }
    return runs;
}

namespace {

// The frames the GIF holds: each distinct one once, or every step, with no
// run longer than a frame's delay can time.
std::vector<FrameRun> gifRuns(const ExportFrames &frames, bool merge, int delayHundredths)
{
    std::vector<FrameRun> runs;
    if (!merge) {
        for (int k = 0; k < int(frames.palettes.size()); ++k)
            runs.push_back({k, 1});
        return runs;
    }
    const int longest = std::max(1, 0xffff / std::max(1, delayHundredths));
    for (FrameRun run : distinctFrames(frames)) {
        for (; run.count > longest; run.count -= longest, run.first += longest)
            runs.push_back({run.first, longest});
        runs.push_back(run);
    }
    return runs;
}

// Writes the frames after the first whole, each with all 256 colours.
void writeFullFrames(GifWriter &gif, const ExportFrames &frames, std::span<const FrameRun> runs,
                     int delay)
{
    const Box whole{0, 0, frames.width, frames.height};
    for (const FrameRun &run : runs) {
        const ColourMap local = makeColourMap(256, frames.palettes[std::size_t(run.first)]);
        std::vector<std::uint8_t> pixels = frames.indexes;
        gif.control(run.count * delay, NO_TRANSPARENT_COLOR);
        gif.image(whole, local.get(), pixels);
    }
}

// Writes the frames after the first as the box of the animated pixels, with
// a local table of the range and the rest transparent.
void writeBoxFrames(GifWriter &gif, const ExportFrames &frames, std::span<const FrameRun> runs,
                    int delay)
{
    const int start = frames.motion.start;
    const Box box = animatedBox(frames, start);
    if (box.width == 0)
        fail(QStringLiteral("no pixel uses entries %1 to 255").arg(start));
    const int entries = 256 - start;
    const int tableSize = 1 << std::max(1, GifBitSize(entries + 1));
    std::vector<std::uint8_t> boxPixels(std::size_t(box.width) * std::size_t(box.height));
    for (int y = 0; y < box.height; ++y) {
        const std::uint8_t *from = frames.indexes.data() +
                                   std::size_t(box.top + y) * std::size_t(frames.width) +
                                   std::size_t(box.left);
        std::uint8_t *to = boxPixels.data() + std::size_t(y) * std::size_t(box.width);
        for (int x = 0; x < box.width; ++x)
            to[x] = from[x] >= start ? std::uint8_t(from[x] - start + 1)
                                     : std::uint8_t(kTransparentIndex);
    }
    const std::vector<std::uint8_t> codes =
        compressCodes(box, *makeColourMap(tableSize, {}), boxPixels);
    for (const FrameRun &run : runs) {
        std::vector<Rgb> colours(std::size_t(entries) + 1, Rgb{0, 0, 0});
        const Palette &palette = frames.palettes[std::size_t(run.first)];
        std::copy(palette.begin() + start, palette.end(), colours.begin() + 1);
        gif.control(run.count * delay, kTransparentIndex);
        gif.imageFromCodes(box, *makeColourMap(tableSize, colours), codes);
    }
}

} // namespace

std::vector<std::uint8_t> encodeGif(const ExportFrames &frames, const GifOptions &options)
{
    checkFrames(frames, options);
    const bool cycling = frames.motion.motion == Motion::Cycling;
    const int delay = (options.delayMs + 5) / 10;

    std::vector<std::uint8_t> out;
    GifWriter gif(out);
    const ColourMap global = makeColourMap(256, frames.palettes.front());
    gif.screen(frames.width, frames.height, *global);
    // Without the extension a viewer plays the frames once.
    if (cycling && options.cycles != 1)
        gif.loopCount(options.cycles == 0 ? 0 : options.cycles - 1);

    const std::vector<FrameRun> runs = gifRuns(frames, options.mergeRepeats, delay);
    std::vector<std::uint8_t> pixels(frames.indexes);
    if (cycling)
        gif.control(runs.front().count * delay, NO_TRANSPARENT_COLOR);
    gif.image({0, 0, frames.width, frames.height}, nullptr, pixels);

    const std::span<const FrameRun> later = std::span(runs).subspan(1);
    if (!later.empty() && options.layout == GifLayout::FullFrames)
        writeFullFrames(gif, frames, later, delay);
    else if (!later.empty())
        writeBoxFrames(gif, frames, later, delay);
    gif.close();
    return out;
}

std::vector<std::uint8_t> exportGif(std::span<const std::uint8_t> logo, ExportSize size,
                                    const GifOptions &options)
{
    return encodeGif(exportFrames(logo, size), options);
}

QImage frameImage(const ExportFrames &frames, int k)
{
    if (k < 0 || std::size_t(k) >= frames.palettes.size())
        throw HostError(QStringLiteral("there is no frame %1").arg(k + 1));
    if (frames.width < 1 || frames.height < 1 ||
        frames.indexes.size() != std::size_t(frames.width) * std::size_t(frames.height))
        throw HostError(
            QStringLiteral("a picture of %1 x %2").arg(frames.width).arg(frames.height));
    QImage image(frames.width, frames.height, QImage::Format_Indexed8);
    if (image.isNull())
        throw HostError(QStringLiteral("out of memory for frame %1").arg(k + 1));
    QList<QRgb> colours;
    colours.reserve(int(kPaletteEntries));
    for (const Rgb &c : frames.palettes[std::size_t(k)])
        colours.append(qRgb(c[0], c[1], c[2]));
    image.setColorTable(colours);
    for (int y = 0; y < frames.height; ++y)
        std::copy_n(frames.indexes.data() + std::size_t(y) * std::size_t(frames.width),
                    frames.width, image.scanLine(y));
    return image;
}

std::vector<std::uint8_t> encodePng(const QImage &image, const QString &name)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        throw HostError(QStringLiteral("cannot make %1: %2").arg(name, writer.errorString()));
    return {bytes.begin(), bytes.end()};
}

QString frameFileName(int k)
{
    return QStringLiteral("frame-%1.png").arg(k + 1, 3, 10, QLatin1Char('0'));
}

} // namespace vantrel
