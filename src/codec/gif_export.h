#pragma once

// The animation of a start-up logo as an animated GIF.
//
// Windows animates a start-up logo by cycling palette entries S..255, where
// S is byte 50 of the header, one Rotate step at a time. The export plays
// the same steps as GIF frames, so that a logo can be watched moving without
// booting Windows:
//
//  - frame 1 is the whole picture, with the logo's palette as the global
//    colour table;
//  - each later frame covers only the bounding box of the pixels that use
//    the animated range, with the palette of its step as a local colour
//    table that holds just the range, and every other pixel transparent so
//    that it keeps frame 1's colour.
//
// Everything here works on a logo's bytes in memory and returns bytes or
// images; the command (cli/cli_export.cpp) reads and writes the files
// through the host.

#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace vantrel {

// The sizes a logo can be exported at.
enum class ExportSize {
    // What a 4:3 screen shows: every pixel 2 wide, and every 5 rows shown
    // as 6, so the picture is 2 x 1.2 times its size.
    Screen640x480,
    // Every pixel 2 wide, the rows as they are.
    Wide640x400,
    // The raw pixels.
    Raw320x400,
};

// Width and height of the exported picture.
int exportWidth(ExportSize size);
int exportHeight(ExportSize size);

// The logo column that column `x` of the exported picture shows, and the
// logo row (counted from the top) that row `y` shows. Nearest neighbour:
// each output pixel shows the logo pixel under its centre, so no colour is
// made up. `x` and `y` must lie within the exported picture.
int sourceColumn(ExportSize size, int x);
int sourceRow(ExportSize size, int y);

// What bytes 50 and 51 and the pixels say about a logo's animation.
enum class Motion {
    // Byte 50 is a starting entry S, byte 51 is 0, and some pixel uses
    // S..255: the palette cycles.
    Cycling,
    // Byte 50 is 0: the logo does not animate.
    None,
    // Byte 50 is not 0, but neither is byte 51, so byte 50 is no starting
    // entry.
    HighByteSet,
    // No pixel uses entries S..255, so nothing would move.
    RangeUnused,
};

struct LogoMotion {
    Motion motion = Motion::None;
    // Bytes 50 and 51 as found.
    int start = 0;
    int highByte = 0;

    // 256 - S frames when the palette cycles, one still frame otherwise.
    int frameCount() const { return motion == Motion::Cycling ? 256 - start : 1; }
};

// Reads the motion of the logo bitmap `logo` (its 129078 bytes). Throws
// HostError for fewer bytes; never reads beyond them.
LogoMotion readMotion(std::span<const std::uint8_t> logo);

// Red, green, blue.
using Rgb = std::array<std::uint8_t, 3>;
using Palette = std::array<Rgb, 256>;

// The frames of the animation: one picture of palette indexes and the
// palette of each frame.
struct ExportFrames {
    LogoMotion motion;
    int width = 0;
    int height = 0;
    // width x height indexes, the top row first.
    std::vector<std::uint8_t> indexes;
    // Frame k's palette is the logo's after k Rotate steps; one palette
    // for a still picture.
    std::vector<Palette> palettes;
};

// The frames of the logo bitmap `logo` at `size`. Takes any bytes: throws
// HostError with the reason ("not a logo bitmap: biBitCount is 24,
// expected 8") for bytes that are not a logo bitmap, and reads nothing
// beyond them.
ExportFrames exportFrames(std::span<const std::uint8_t> logo, ExportSize size);

// Consecutive frames that show the same picture: frame `first` and the
// `count` - 1 after it.
struct FrameRun {
    int first = 0;
    int count = 1;
    friend bool operator==(const FrameRun &, const FrameRun &) = default;
};

// The frames of `frames` in runs of consecutive frames that look the same,
// as they do when every entry the pixels use keeps its colour from one step
// to the next (a range whose colours repeat). The runs cover every frame in
// order; a still picture is one run of one frame.
std::vector<FrameRun> distinctFrames(const ExportFrames &frames);

// How the frames after the first are stored.
enum class GifLayout {
    // The bounding box of the animated pixels, with transparency; the
    // export's own layout.
    ChangedBox,
    // Every frame whole, with all 256 colours: what plain encoders write,
    // kept to measure the export against.
    FullFrames,
};

inline constexpr int kDefaultDelayMs = 70;
// A GIF counts delays in hundredths of a second, in 16 bits. Browsers slow
// a delay below 20 ms down to 100 ms, so none below is offered.
inline constexpr int kMinDelayMs = 20;
inline constexpr int kMaxDelayMs = 655350;
// The loop count is 16 bits and counts the plays after the first.
inline constexpr int kMaxCycles = 65536;

struct GifOptions {
    // Time each step is shown, kMinDelayMs..kMaxDelayMs; rounded to the
    // nearest hundredth of a second.
    int delayMs = kDefaultDelayMs;
    // How often the cycle plays, 1..kMaxCycles; 0 plays it forever.
    int cycles = 0;
    GifLayout layout = GifLayout::ChangedBox;
    // A frame that looks like the one before adds its delay to it instead
    // of being written again; false writes every step, kept to measure the
    // merging against.
    bool mergeRepeats = true;
};

// Encodes `frames` as a GIF89a file in memory. A still picture is one
// image without timing or loop; an animation has a delay on every frame
// and, unless it plays once, a loop count of `cycles` - 1 (0 for forever).
// Repeated frames are merged into one with their delays summed (at most
// 65535 hundredths a frame), so the GIF plays the same pictures for the
// same time.
// Throws HostError for options out of range, frames that do not fit
// together, or a failure of the encoder.
std::vector<std::uint8_t> encodeGif(const ExportFrames &frames, const GifOptions &options);

// exportFrames and encodeGif in one: the GIF of the logo bitmap `logo`.
// Takes any bytes; throws HostError as those do.
std::vector<std::uint8_t> exportGif(std::span<const std::uint8_t> logo, ExportSize size,
                                    const GifOptions &options);

// Frame `k` of `frames` as an 8-bit indexed image with the frame's
// palette: the whole picture as it is shown at that step. Throws HostError
// for a `k` outside the frames.
QImage frameImage(const ExportFrames &frames, int k);

// `image` as a PNG file in memory; an 8-bit indexed image, as frameImage
// makes, keeps its palette. Throws HostError naming the file `name` when
// the encoder fails.
std::vector<std::uint8_t> encodePng(const QImage &image, const QString &name);

// The file name of frame `k` (0 for the first) when frames are written
// one to a file: "frame-001.png", "frame-002.png"...
QString frameFileName(int k);

} // namespace vantrel
