#pragma once

// Making a logo bitmap from any picture.
//
// Windows shows the 320 x 400 logo stretched to a 4:3 screen, so each
// stored pixel is wider than it is tall. The converter first fits the
// picture to that screen shape (crop, pad or stretch), resamples it to
// 320 x 400, lays it over the border colour, and then reduces it to a
// palette with libimagequant. Entry 0 is always the border colour that
// Windows paints around the picture. With a starting entry S the picture
// gets only entries 0..S-1; entries S..255 hold a colour ramp that the
// system cycles at boot, optionally shown in a band of the picture.
//
// Everything here works on pictures and bytes in memory; the command
// (vantrel-cli convert) reads and writes the files through the host.

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace vantrel {

// An opaque colour.
struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Colour &, const Colour &) = default;
};

// How the picture meets the 4:3 screen.
enum class Fit {
    // Fills the screen and cuts the overflow, centred.
    Crop,
    // Shows the whole picture, centred, with the border colour around it.
    Pad,
    // Fills the screen, ignoring the picture's own shape.
    Stretch,
};

// Where the moving band lies, if there is one.
enum class BandEdge { None, Top, Bottom };

inline constexpr int kDefaultBandRows = 20;

struct ConvertOptions {
    Fit fit = Fit::Crop;
    // Palette entry 0, the colour Windows paints around the picture; also
    // what shows through transparent parts and the padding.
    Colour border{};
    // The starting entry S (1..255) of the animated range, or 0 for a logo
    // without animation whose picture uses all 256 entries.
    int start = 0;
    // The colours the animated range runs through, as a closed loop; empty
    // means defaultRamp(). Ignored without a starting entry.
    std::vector<Colour> ramp{};
    BandEdge band = BandEdge::None;
    // The band's height in rows, 1..400.
    int bandRows = kDefaultBandRows;
    bool dither = true;
};

// The ramp used when none is given: a loop through the bright hues (red,
// yellow, green, cyan, blue, magenta) that ends where it began, so that
// the cycle shows no seam.
std::vector<Colour> defaultRamp();

// `count` colours spread evenly around the closed loop through `stops`
// (first to last and back to the first), interpolated in between; the
// first is stops[0]. Empty when `stops` is empty or `count` is below 1.
std::vector<Colour> rampColours(const std::vector<Colour> &stops, int count);

// Reads a colour as the command line gives it: "#RRGGBB", "#RGB" or a
// colour name such as "black" or "navy" (the SVG names). Nothing for any
// other text, and for colours that are not opaque ("transparent",
// "#80FF0000").
std::optional<Colour> parseColour(const QString &text);

// A picture of 320 x 400, 640 x 400 or 640 x 480 pixels is taken as a logo
// as it is stored or as a 4:3 screen shows it (the sizes the export writes),
// whatever the fit: each logo pixel takes the colour of the picture's pixel
// under its centre. When the picture's colours, with the border, fit in the
// entries the picture may use, each keeps its exact colour, without
// quantising or dithering; so a logo exported and converted back shows the
// same colours.
//
// Converts `picture` into a complete logo bitmap: 129078 bytes, the header
// a logo bitmap carries (bottom-up rows, 256 palette entries), byte 50 = S
// and byte 51 = 0. Entry 0 is options.border exactly. Without a starting
// entry the pixels use any of the 256 entries; with one they use only
// 0..S-1, except the band, whose pixels sweep through S..255 from left to
// right. No colour of the animated range equals a colour below it: a ramp
// colour that would is moved by the smallest step that makes it differ, so
// the picture and the border keep their exact colours. Pixel values are
// taken as sRGB, as the viewer shows them; a colour profile in the picture
// is not applied. Transparent parts show the border colour.
//
// Takes any QImage of any format and size. Throws HostError with the
// reason for an empty picture, for option values out of range (a starting
// entry outside 0..255, band rows outside 1..400, a band without a
// starting entry) and when the quantiser fails, as it does when memory
// runs out.
std::vector<std::uint8_t> convertToLogo(const QImage &picture, const ConvertOptions &options);

} // namespace vantrel
