#include "checks.h"

#include "codec/gif_export.h"
#include "codec/logo_format.h"
#include "host/host.h"
#include "input_reader.h"
#include "support/gif_reader.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace vantrel::fuzz {

namespace {

// The request, from the first bytes of the input:
//   byte 0: bits 0-1 the size (640x480, 640x400, 320x400, 320x400), bit 2
//           every frame whole, bits 3-4 the cycles (forever, once, from
//           byte 2, one more than a GIF can count), bit 5 the rest of the
//           input is the logo file itself, bit 6 byte 51 comes from the
//           input rather than being 0;
//   byte 1: the delay in tens of milliseconds (below 20 ms is refused);
//   byte 2: the cycles less two, for bits 3-4 = 2.
// Then, unless bit 5 is set, the logo is made: bytes 50 and 51, a byte for
// the number of pixel runs, three bytes for each (a 16-bit length and the
// index), the rest laid over the palette from its first byte. The logo
// starts with a grey palette and every pixel 0.
struct Request {
    ExportSize size = ExportSize::Raw320x400;
    GifOptions options;
    std::vector<std::uint8_t> logo;
};

Request readRequest(InputReader &in)
{
    Request r;
    const std::uint8_t flags = in.byte();
    constexpr ExportSize kSizes[] = {ExportSize::Screen640x480, ExportSize::Wide640x400,
                                     ExportSize::Raw320x400, ExportSize::Raw320x400};
    r.size = kSizes[flags & 3];
    r.options.layout = (flags & 4) != 0 ? GifLayout::FullFrames : GifLayout::ChangedBox;
    r.options.delayMs = 10 * in.byte();
    const int cycles = 2 + in.byte();
    constexpr int kCycles[] = {0, 1, -1, kMaxCycles + 1};
    r.options.cycles = kCycles[flags >> 3 & 3] < 0 ? cycles : kCycles[flags >> 3 & 3];
    if ((flags & 0x20) != 0) {
        const std::span<const std::uint8_t> file = in.rest();
        r.logo.assign(file.begin(), file.end());
        return r;
    }
    std::vector<std::uint8_t> &logo = r.logo;
    logo.assign(std::size_t(kLogoLength), 0);
    const auto put = [&](std::size_t at, std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            logo[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
    };
    logo[0] = 'B';
    logo[1] = 'M';
    put(2, std::uint32_t(kLogoLength), 4);
    put(10, std::uint32_t(kHeaderBlockLength), 4);
    put(14, std::uint32_t(kInfoHeaderLength), 4);
    put(18, kLogoWidth, 4);
    put(22, kLogoHeight, 4);
    put(26, 1, 2);
    put(28, 8, 2);
    for (int i = 0; i < int(kPaletteEntries); ++i)
        put(entryOffset(i), std::uint32_t(i) * 0x010101, 3);
    logo[kStartEntryOffset] = in.byte();
    const std::uint8_t high = in.byte();
    logo[kStartEntryOffset + 1] = (flags & 0x40) != 0 ? high : 0;
    const int runs = in.byte();
    std::size_t pixel = kHeaderBlockLength;
    for (int i = 0; i < runs; ++i) {
        const std::size_t length = in.le16();
        const std::uint8_t index = in.byte();
        for (std::size_t k = 0; k < length && pixel < logo.size(); ++k)
            logo[pixel++] = index;
    }
    const std::span<const std::uint8_t> palette = in.rest();
    std::copy_n(palette.begin(), std::min(palette.size(), kPaletteLength),
                logo.begin() + std::ptrdiff_t(kPaletteOffset));
    return r;
}

using test::Colour;

// The logo pixel that pixel x, y of the export shows: each export pixel
// shows the logo pixel under its centre.
int logoPixel(const std::vector<std::uint8_t> &logo, ExportSize size, int x, int y)
{
    const int column = size == ExportSize::Raw320x400 ? x : x / 2;
    const int row = size == ExportSize::Screen640x480 ? (2 * y + 1) * kLogoHeight / 960 : y;
    return logo[kHeaderBlockLength + std::size_t(kLogoHeight - 1 - row) * kLogoWidth +
                std::size_t(column)];
}

} // namespace

Outcome checkGifExport(std::span<const std::uint8_t> input)
{
    InputReader in(input);
    const Request request = readRequest(in);
    const std::vector<std::uint8_t> &logo = request.logo;
    const GifOptions &options = request.options;

    // What the export must do, worked out without it.
    const std::span<const std::uint8_t> head(logo.data(),
                                             std::min(logo.size(), kHeaderBlockLength));
    const bool isLogo = logoBitmapProblem(head, std::int64_t(logo.size())).isEmpty();
    const bool optionsOk = options.delayMs >= kMinDelayMs && options.delayMs <= kMaxDelayMs &&
                           options.cycles >= 0 && options.cycles <= kMaxCycles;
    int start = 0;
    bool cycling = false;
    if (isLogo) {
        start = logo[kStartEntryOffset];
        cycling = start != 0 && logo[kStartEntryOffset + 1] == 0 &&
                  std::any_of(logo.begin() + std::ptrdiff_t(kHeaderBlockLength), logo.end(),
                              [start](std::uint8_t p) { return p >= start; });
    }
    const int frameCount = cycling ? 256 - start : 1;
    GifOptions used = options;
    // Every frame whole costs 200 times the time of the export's own
    // layout for a long cycle; only short ones are asked for that way.
    if (frameCount > 16)
        used.layout = GifLayout::ChangedBox;

    std::vector<std::uint8_t> gif;
    try {
        gif = exportGif(logo, request.size, used);
    } catch (const HostError &error) {
        require(!isLogo || !optionsOk, [&] {
            return "a logo bitmap with sound options is refused: " + error.reason().toStdString();
        });
        if (!isLogo) {
            require(error.reason().startsWith("not a logo bitmap: "), [&] {
                return "bytes that are no logo bitmap are refused as \"" +
                       error.reason().toStdString() + "\"";
            });
        }
        return Outcome::Refused;
    }
    require(isLogo && optionsOk, [&] {
        return "exportGif takes " + std::string(isLogo ? "" : "no logo bitmap") +
               (optionsOk ? "" : " options out of range");
    });
    require(readMotion(logo).frameCount() == frameCount, [&] {
        return "readMotion promises " + std::to_string(readMotion(logo).frameCount()) +
               " frames, not " + std::to_string(frameCount);
    });

    test::DecodedGif decoded;
    try {
        decoded = test::decodeGif(gif);
    } catch (const std::runtime_error &error) {
        throw InvariantBroken(std::string("giflib cannot read the export: ") + error.what());
    }
    const int width = exportWidth(request.size);
    const int height = exportHeight(request.size);
    require(decoded.version == "GIF89a" && decoded.width == width && decoded.height == height, [&] {
        return "a " + decoded.version + " of " + std::to_string(decoded.width) + " x " +
               std::to_string(decoded.height);
    });
    const bool loops = cycling && options.cycles != 1;
    require(decoded.loopCount.has_value() == loops &&
                (!loops || *decoded.loopCount == (options.cycles == 0 ? 0 : options.cycles - 1)),
            [&] {
                return "the loop count does not play " + std::to_string(options.cycles) + " cycles";
            });

    // Frame k shows entry i in the colour entry start + (i - start + k)
    // mod (256 - start) had in the logo: each step moves every colour of
    // the range one entry down.
    const auto colourAt = [&](int index, int k) {
        if (cycling && index >= start)
            index = start + (index - start + k) % (256 - start);
        const std::size_t at = entryOffset(index);
        return Colour{logo[at + 2], logo[at + 1], logo[at]};
    };
    // A step joins the run before it when every entry the pixels use shows
    // the colour it had at the run's first step, as long as one frame can
    // time the run: the GIF holds one frame a run, shown for its summed time.
    const int delay = (options.delayMs + 5) / 10;
    const int longest = std::max(1, 0xffff / std::max(1, delay));
    std::array<bool, 256> inUse{};
    for (auto p = logo.begin() + std::ptrdiff_t(kHeaderBlockLength); p != logo.end(); ++p)
        inUse[*p] = true;
    std::vector<std::pair<int, int>> runs; // the first step and the number of steps
    for (int k = 0; k < frameCount; ++k) {
        bool same = k > 0 && runs.back().second < longest;
        for (int i = 0; same && i < 256; ++i)
            same = !inUse[std::size_t(i)] || colourAt(i, k) == colourAt(i, runs.back().first);
        if (same)
            ++runs.back().second;
        else
            runs.emplace_back(k, 1);
    }
    const int gifFrames = int(runs.size());
    require(int(decoded.frames.size()) == gifFrames, [&] {
        return std::to_string(decoded.frames.size()) + " frames, not " + std::to_string(gifFrames) +
               " for the distinct steps";
    });
    // The first, the second and the last frame are played pixel by pixel.
    // The frames between hold the same pixels as the second (checked), so
    // for them it is enough that each of its colour indexes shows the
    // colour of the logo entry it stands for at that step.
    std::vector<Colour> canvas(std::size_t(width) * std::size_t(height));
    std::array<int, 256> entryOf{};
    entryOf.fill(-1);
    for (int j = 0; j < gifFrames; ++j) {
        const test::GifFrame &frame = decoded.frames[std::size_t(j)];
        const int k = runs[std::size_t(j)].first;
        require(frame.left >= 0 && frame.top >= 0 && frame.left + frame.width <= width &&
                    frame.top + frame.height <= height,
                [&] { return "frame " + std::to_string(j) + " lies outside the picture"; });
        require(j > 0 || (frame.width == width && frame.height == height),
                "the first frame is not the whole picture");
        if (cycling) {
            require(frame.delay == delay * runs[std::size_t(j)].second, [&] {
                return "frame " + std::to_string(j) + " waits " + std::to_string(frame.delay) +
                       " hundredths";
            });
        }
        if (j > 1 && j < gifFrames - 1) {
            const test::GifFrame &second = decoded.frames[1];
            require(frame.left == second.left && frame.top == second.top &&
                        frame.width == second.width && frame.height == second.height &&
                        frame.transparent == second.transparent && frame.pixels == second.pixels,
                    [&] { return "frame " + std::to_string(j) + " differs from frame 2"; });
            for (std::size_t index = 0; index < entryOf.size(); ++index) {
                if (entryOf[index] < 0)
                    continue;
                require(index < frame.colours.size() &&
                            frame.colours[index] == colourAt(entryOf[index], k),
                        [&] {
                            return "frame " + std::to_string(j) + " shows entry " +
                                   std::to_string(entryOf[index]) + " in the wrong colour";
                        });
            }
            continue;
        }
        for (int y = 0; y < frame.height; ++y) {
            for (int x = 0; x < frame.width; ++x) {
                const int index =
                    frame.pixels[std::size_t(y) * std::size_t(frame.width) + std::size_t(x)];
                const int cx = frame.left + x;
                const int cy = frame.top + y;
                const int entry = logoPixel(logo, request.size, cx, cy);
                Colour &shown = canvas[std::size_t(cy) * std::size_t(width) + std::size_t(cx)];
                if (index != frame.transparent) {
                    require(std::size_t(index) < frame.colours.size(),
                            "a pixel beyond the colour table");
                    shown = frame.colours[std::size_t(index)];
                    if (j == 1) {
                        require(entryOf[std::size_t(index)] < 0 ||
                                    entryOf[std::size_t(index)] == entry,
                                "one colour index of frame 2 stands for two logo entries");
                        entryOf[std::size_t(index)] = entry;
                    }
                }
                require(shown == colourAt(entry, k), [&] {
                    return "frame " + std::to_string(j) + " shows the wrong colour at " +
                           std::to_string(cx) + "," + std::to_string(cy);
                });
            }
        }
    }
    // Pixels outside every later frame keep the first frame's colours,
    // which must be those of the last step too.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            require(canvas[std::size_t(y) * std::size_t(width) + std::size_t(x)] ==
                        colourAt(logoPixel(logo, request.size, x, y), runs.back().first),
                    [&] {
                        return "the last frame shows the wrong colour at " + std::to_string(x) +
                               "," + std::to_string(y);
                    });
        }
    }
    return Outcome::Taken;
}

} // namespace vantrel::fuzz
