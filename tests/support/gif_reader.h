#pragma once

// Reads a GIF back with giflib's decoder and plays it as a viewer does, so
// that a test can compare what each frame shows with what it should show.
// Header-only; the test links giflib.

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantrel::test {

using Colour = std::array<std::uint8_t, 3>; // red, green, blue

struct GifFrame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    // From the graphics control block; -1 for a frame without one.
    int delay = -1;
    int disposal = -1;
    int transparent = -1;
    bool localTable = false;
    // The table that applies: the frame's own or the global one.
    std::vector<Colour> colours;
    std::vector<std::uint8_t> pixels;
};

struct DecodedGif {
    std::string version;
    int width = 0;
    int height = 0;
    int background = 0;
    std::vector<Colour> global;
    // The NETSCAPE2.0 loop count, when the extension is there.
    std::optional<int> loopCount;
    std::vector<GifFrame> frames;

    // Draws the frames one after another on a canvas of the screen's size,
    // as the format says a viewer does: opaque pixels of a frame replace the
    // canvas, transparent ones leave it, and before the next frame the
    // frame's disposal is applied. Calls `shown(k, canvas)` once frame k is
    // drawn; the canvas holds width x height colours, the top row first.
    void play(const std::function<void(int, const std::vector<Colour> &)> &shown) const
    {
        const Colour backdrop =
            std::size_t(background) < global.size() ? global[std::size_t(background)] : Colour{};
        std::vector<Colour> canvas(std::size_t(width) * std::size_t(height), backdrop);
        for (std::size_t k = 0; k < frames.size(); ++k) {
            const GifFrame &frame = frames[k];
            const std::vector<Colour> before = canvas;
            for (int y = 0; y < frame.height; ++y) {
                for (int x = 0; x < frame.width; ++x) {
                    const int index =
                        frame.pixels[std::size_t(y) * std::size_t(frame.width) + std::size_t(x)];
                    const int cx = frame.left + x;
                    const int cy = frame.top + y;
                    if (index == frame.transparent || cx >= width || cy >= height)
                        continue;
                    if (std::size_t(index) >= frame.colours.size())
                        throw std::runtime_error("a pixel beyond the colour table");
                    canvas[std::size_t(cy) * std::size_t(width) + std::size_t(cx)] =
                        frame.colours[std::size_t(index)];
                }
            }
            shown(int(k), canvas);
            if (frame.disposal == DISPOSE_BACKGROUND || frame.disposal == DISPOSE_PREVIOUS) {
                for (int y = frame.top; y < frame.top + frame.height && y < height; ++y) {
                    for (int x = frame.left; x < frame.left + frame.width && x < width; ++x) {
                        const std::size_t at = std::size_t(y) * std::size_t(width) + std::size_t(x);
                        canvas[at] = frame.disposal == DISPOSE_BACKGROUND ? backdrop : before[at];
                    }
                }
            }
        }
    }
};

inline std::vector<Colour> coloursOf(const ColorMapObject *map)
{
    std::vector<Colour> colours;
    if (!map)
        return colours;
    for (int i = 0; i < map->ColorCount; ++i)
        colours.push_back({map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
    return colours;
}

// Decodes `bytes` completely; throws std::runtime_error with giflib's
// reason when they are no GIF it can read.
inline DecodedGif decodeGif(std::span<const std::uint8_t> bytes)
{
    struct Source {
        std::span<const std::uint8_t> bytes;
        std::size_t at = 0;
    } source{bytes};
    const auto read = [](GifFileType *file, GifByteType *into, int length) -> int {
        auto *from = static_cast<Source *>(file->UserData);
        const std::size_t n = std::min(std::size_t(length), from->bytes.size() - from->at);
        std::memcpy(into, from->bytes.data() + from->at, n);
        from->at += n;
        return int(n);
    };
    int error = 0;
    GifFileType *gif = DGifOpen(&source, read, &error);
    if (!gif)
        throw std::runtime_error(GifErrorString(error));
    if (DGifSlurp(gif) != GIF_OK) {
        const std::string reason = GifErrorString(gif->Error);
        DGifCloseFile(gif, nullptr);
        throw std::runtime_error(reason);
    }

    DecodedGif decoded;
    decoded.version.assign(bytes.begin(), bytes.begin() + std::min<std::size_t>(6, bytes.size()));
    decoded.width = gif->SWidth;
    decoded.height = gif->SHeight;
    decoded.background = gif->SBackGroundColor;
    decoded.global = coloursOf(gif->SColorMap);
    for (int k = 0; k < gif->ImageCount; ++k) {
        const SavedImage &image = gif->SavedImages[k];
        GifFrame frame;
        frame.left = image.ImageDesc.Left;
        frame.top = image.ImageDesc.Top;
        frame.width = image.ImageDesc.Width;
        frame.height = image.ImageDesc.Height;
        frame.localTable = image.ImageDesc.ColorMap != nullptr;
        frame.colours = frame.localTable ? coloursOf(image.ImageDesc.ColorMap) : decoded.global;
        frame.pixels.assign(image.RasterBits, image.RasterBits + std::size_t(frame.width) *
                                                                     std::size_t(frame.height));
        GraphicsControlBlock control{};
        if (DGifSavedExtensionToGCB(gif, k, &control) == GIF_OK) {
            frame.delay = control.DelayTime;
            frame.disposal = control.DisposalMode;
            frame.transparent = control.TransparentColor;
        }
        for (int e = 0; e + 1 < image.ExtensionBlockCount; ++e) {
            const ExtensionBlock &block = image.ExtensionBlocks[e];
            const ExtensionBlock &next = image.ExtensionBlocks[e + 1];
            if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 && next.ByteCount == 3 &&
                next.Bytes[0] == 1)
                decoded.loopCount = next.Bytes[1] | next.Bytes[2] << 8;
        }
        decoded.frames.push_back(std::move(frame));
    }
    DGifCloseFile(gif, nullptr);
    return decoded;
}

} // namespace vantrel::test
