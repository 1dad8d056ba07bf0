#include "drive/stock_art.h"

#include "codec/logo_format.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace vantrel {

namespace {

// Drawing happens in screen units: the 640 x 480 screen the logo is
// stretched to, 20 units to a screen pixel. A picture pixel is then 40
// units wide and 24 high, so everything stays in integers and the pictures
// are the same bytes on every machine.
constexpr int kUnitsPerScreenPixel = 20;
constexpr int kPixelWidthUnits = 40;
constexpr int kPixelHeightUnits = 24;

constexpr int screen(int screenPixels)
{
    return screenPixels * kUnitsPerScreenPixel;
}

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
};

// The colour `num`/`den` of the way from `from` to `to`.
Rgb blend(Rgb from, Rgb to, int num, int den)
{
    return {from.r + (to.r - from.r) * num / den, from.g + (to.g - from.g) * num / den,
            from.b + (to.b - from.b) * num / den};
}

// An 8-bit picture with its palette, filled entry by entry as the layers
// are drawn. Rows are held top first; toLogo() stores them bottom first.
class Canvas {
public:
    int addColour(Rgb colour)
    {
        Q_ASSERT(m_colours < int(kPaletteEntries));
        m_palette[std::size_t(m_colours)] = colour;
        return m_colours++;
    }

    void set(int x, int y, int index)
    {
        if (x >= 0 && x < kLogoWidth && y >= 0 && y < kLogoHeight)
            m_pixels[std::size_t(y) * kLogoWidth + std::size_t(x)] = std::uint8_t(index);
    }

    QByteArray toLogo() const
    {
        QByteArray out;
        out.reserve(int(kLogoLength));
        std::array<std::uint8_t, kPaletteOffset> headers{};
        // About 72 dots per inch; nothing reads it.
        writeLogoHeaders(headers, 2835, 0);
        out.append(reinterpret_cast<const char *>(headers.data()), qsizetype(headers.size()));
        for (const Rgb &colour : m_palette) {
            out.append(char(colour.b));
            out.append(char(colour.g));
            out.append(char(colour.r));
            out.append('\0');
        }
        for (int row = kLogoHeight - 1; row >= 0; --row) {
            const auto *line = m_pixels.data() + std::size_t(row) * kLogoWidth;
            out.append(reinterpret_cast<const char *>(line), kLogoWidth);
        }
        Q_ASSERT(out.size() == kLogoLength);
        return out;
    }

private:
    std::array<Rgb, kPaletteEntries> m_palette{};
    int m_colours = 0;
    std::vector<std::uint8_t> m_pixels = std::vector<std::uint8_t>(kPixelAreaLength, 0);
};

// A vertical gradient over the whole picture in `steps` palette entries,
// with ordered dithering between neighbouring entries so the few levels a
// dark ramp has do not show as bands.
class Gradient {
public:
    Gradient(Canvas &canvas, Rgb top, Rgb bottom, int steps)
        : m_top(top), m_bottom(bottom), m_steps(steps)
    {
        m_first = canvas.addColour(colour(0));
        for (int i = 1; i < steps; ++i)
            canvas.addColour(colour(i));
        static constexpr int kBayer[4][4] = {
            {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
        for (int y = 0; y < kLogoHeight; ++y) {
            const int level16 = y * (steps - 1) * 16 / (kLogoHeight - 1);
            for (int x = 0; x < kLogoWidth; ++x) {
                const int index = std::min(steps - 1, (level16 + kBayer[y & 3][x & 3]) / 16);
                canvas.set(x, y, m_first + index);
            }
        }
    }

    // The colour behind picture row `y`, as an emblem there blends into.
    Rgb colourAtRow(int y) const { return colour(y * (m_steps - 1) / (kLogoHeight - 1)); }

private:
    // Eased, so the sky keeps its colour a while before it darkens.
    Rgb colour(int i) const
    {
        const int last = m_steps - 1;
        return blend(m_top, m_bottom, i * i, last * last);
    }

    Rgb m_top;
    Rgb m_bottom;
    int m_steps;
    int m_first = 0;
};

int pictureRowOfScreen(int screenUnits)
{
    return screenUnits / kPixelHeightUnits;
}

struct Box {
    int left, top, right, bottom; // screen units
};

using Shape = std::function<bool(std::int64_t x, std::int64_t y)>;

// Paints `inside` (a test in screen units, within `bounds`) in `colour`,
// with edges smoothed by 4 x 4 samples a pixel. The smoothing blends
// towards `behind`, the colour the shape mostly sits on.
void fillShape(Canvas &canvas, const Box &bounds, const Shape &inside, Rgb colour, Rgb behind)
{
    std::array<int, 5> levels{};
    for (int k = 1; k <= 4; ++k)
        levels[std::size_t(k)] = canvas.addColour(blend(behind, colour, k, 4));
    static constexpr int kSampleX[] = {5, 15, 25, 35};
    static constexpr int kSampleY[] = {3, 9, 15, 21};
    const int x0 = std::max(0, bounds.left / kPixelWidthUnits);
    const int x1 = std::min(kLogoWidth - 1, bounds.right / kPixelWidthUnits);
    const int y0 = std::max(0, bounds.top / kPixelHeightUnits);
    const int y1 = std::min(kLogoHeight - 1, bounds.bottom / kPixelHeightUnits);
    for (int py = y0; py <= y1; ++py) {
        for (int px = x0; px <= x1; ++px) {
            int hits = 0;
            for (int sy : kSampleY) {
                for (int sx : kSampleX) {
                    if (inside(std::int64_t(px) * kPixelWidthUnits + sx,
                               std::int64_t(py) * kPixelHeightUnits + sy))
                        ++hits;
                }
            }
            const int level = (hits + 2) / 4;
            if (level > 0)
                canvas.set(px, py, levels[std::size_t(level)]);
        }
    }
}

bool inDisc(std::int64_t x, std::int64_t y, std::int64_t cx, std::int64_t cy, std::int64_t r)
{
    const std::int64_t dx = x - cx;
    const std::int64_t dy = y - cy;
    return dx * dx + dy * dy <= r * r;
}

// Glyphs of the font: 7 rows from the cap line to the baseline and 2 for
// descenders; rows left out are blank. Only the letters the pictures need.
struct Glyph {
    char ch;
    std::array<const char *, 9> rows;
};

constexpr Glyph kGlyphs[] = {
    {' ', {"...", "...", "...", "...", "...", "...", "..."}},
    {'.', {".", ".", ".", ".", ".", ".", "#"}},
    {'\'', {"#", "#", ".", ".", ".", ".", "."}},
    {'I', {"###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
    {'c', {".....", ".....", ".###.", "#....", "#....", "#....", ".###."}},
    {'d', {"....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'f', {"..##", ".#..", "####", ".#..", ".#..", ".#..", ".#.."}},
    {'h', {"#....", "#....", "####.", "#...#", "#...#", "#...#", "#...#"}},
    {'i', {"#", ".", "#", "#", "#", "#", "#"}},
    {'l', {"#.", "#.", "#.", "#.", "#.", "#.", ".#"}},
    {'m', {".....", ".....", "####.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"}},
    {'n', {".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"}},
    {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}},
    {'p', {".....", ".....", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."}},
    {'r', {"....", "....", "#.##", "##..", "#...", "#...", "#..."}},
    {'s', {".....", ".....", ".####", "#....", ".###.", "....#", "####."}},
    {'t', {".#..", ".#..", "####", ".#..", ".#..", ".#..", "..##"}},
    {'u', {".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####"}},
    {'w', {".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."}},
    {'y', {".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
};

// Each font pixel is 1 picture pixel wide and 2 high: 2 x 2.4 on screen.
constexpr int kFontPixelHeight = 2;
constexpr int kGlyphRows = 9;

const Glyph &glyphFor(char ch)
{
    for (const Glyph &glyph : kGlyphs) {
        if (glyph.ch == ch)
            return glyph;
    }
    Q_ASSERT_X(false, "glyphFor", "a letter the font lacks");
    return kGlyphs[0];
}

int glyphWidth(const Glyph &glyph)
{
    return int(std::strlen(glyph.rows[0]));
}

int textWidth(const char *text)
{
    int width = 0;
    for (const char *p = text; *p; ++p)
        width += glyphWidth(glyphFor(*p)) + 1;
    return width - 1;
}

void drawGlyphs(Canvas &canvas, const char *text, int left, int top, int index)
{
    int x = left;
    for (const char *p = text; *p; ++p) {
        const Glyph &glyph = glyphFor(*p);
        for (int row = 0; row < kGlyphRows; ++row) {
            const char *bits = glyph.rows[std::size_t(row)];
            if (!bits)
                continue;
            for (int column = 0; bits[column]; ++column) {
                if (bits[column] != '#')
                    continue;
                for (int dy = 0; dy < kFontPixelHeight; ++dy)
                    canvas.set(x + column, top + row * kFontPixelHeight + dy, index);
            }
        }
        x += glyphWidth(glyph) + 1;
    }
}

// One line centred across the picture, its cap line at picture row `top`,
// with a shadow one pixel down and to the right.
void drawText(Canvas &canvas, const char *text, int top, Rgb colour, Rgb shadow)
{
    const int left = (kLogoWidth - textWidth(text)) / 2;
    drawGlyphs(canvas, text, left + 1, top + 1, canvas.addColour(shadow));
    drawGlyphs(canvas, text, left, top, canvas.addColour(colour));
}

constexpr int kTextTop = 252;
constexpr int kTextBottom = kTextTop + kGlyphRows * kFontPixelHeight + 1;

// Sines and cosines of multiples of 30 degrees, in thousandths.
constexpr int kSin30[12] = {0, 500, 866, 1000, 866, 500, 0, -500, -866, -1000, -866, -500};
constexpr int kCos30[12] = {1000, 866, 500, 0, -500, -866, -1000, -866, -500, 0, 500, 866};

// A fixed scatter of faint stars, kept clear of the disc of `clear` screen
// units around (`cx`, `cy`) and of the text.
void scatterStars(Canvas &canvas, int cx, int cy, int clear)
{
    const std::array<Rgb, 4> starColours{Rgb{60, 60, 84}, Rgb{96, 96, 128}, Rgb{150, 150, 184},
                                         Rgb{216, 216, 240}};
    std::array<int, 4> starIndex{};
    for (std::size_t i = 0; i < starColours.size(); ++i)
        starIndex[i] = canvas.addColour(starColours[i]);
    std::uint32_t state = 20240601u;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 8) & 0xFFFFFF;
    };
    for (int placed = 0; placed < 90;) {
        const int x = int(next() % kLogoWidth);
        const int y = int(next() % (kLogoHeight - 60));
        const int brightness = int(next() % 4);
        const std::int64_t sx = std::int64_t(x) * kPixelWidthUnits + kPixelWidthUnits / 2;
        const std::int64_t sy = std::int64_t(y) * kPixelHeightUnits + kPixelHeightUnits / 2;
        if (inDisc(sx, sy, cx, cy, clear))
            continue;
        if (y >= kTextTop - 8 && y <= kTextBottom + 8)
            continue;
        canvas.set(x, y, starIndex[std::size_t(brightness)]);
        ++placed;
    }
}

// Where the power emblem stands: its centre and its ring's radii, in
// screen units.
struct Ring {
    int cx, cy, outer, inner;
};

// The power emblem in amber on `behind`: a ring open at the top with a bar
// through the opening, every end rounded.
void drawPowerEmblem(Canvas &canvas, const Ring &ring, Rgb behind)
{
    const int cx = ring.cx;
    const int cy = ring.cy;
    const int outer = ring.outer;
    const int inner = ring.inner;
    const int half = (outer - inner) / 2;
    const int middle = (outer + inner) / 2;
    // The opening spans 35 degrees either side of the top.
    const int capX = middle * 574 / 1000;
    const int capY = middle * 819 / 1000;
    const int barTop = cy - screen(54);
    const int barBottom = cy - screen(12);
    const auto power = [=](std::int64_t x, std::int64_t y) {
        const std::int64_t dx = x - cx;
        const std::int64_t dy = y - cy;
        const std::int64_t rr = dx * dx + dy * dy;
        const bool inRing = rr >= std::int64_t(inner) * inner &&
                            rr <= std::int64_t(outer) * outer &&
                            !(dy < 0 && std::abs(dx) * 1000 < -dy * 700);
        const bool inCaps =
            inDisc(x, y, cx - capX, cy - capY, half) || inDisc(x, y, cx + capX, cy - capY, half);
        const bool inBar = (y >= barTop && y <= barBottom && std::abs(dx) <= half) ||
                           inDisc(x, y, cx, barTop, half) || inDisc(x, y, cx, barBottom, half);
        return inRing || inCaps || inBar;
    };
    const Rgb amber{255, 170, 52};
    fillShape(canvas, {cx - outer, barTop - half, cx + outer, cy + outer}, power, amber, behind);
}

} // namespace

QByteArray shutdownPicture()
{
    Canvas canvas;
    const Gradient sky(canvas, {22, 46, 132}, {1, 2, 10}, 160);

    // Twelve dots in a ring, brightest at the top and fading clockwise
    // behind it, like a busy indicator caught mid-turn.
    const int cx = screen(320);
    const int cy = screen(196);
    const int ring = screen(46);
    const int dot = screen(7);
    const Rgb behind = sky.colourAtRow(pictureRowOfScreen(cy));
    const Rgb dim{44, 66, 128};
    const Rgb bright{236, 242, 255};
    for (int k = 0; k < 12; ++k) {
        const int x = cx + ring * kSin30[k] / 1000;
        const int y = cy - ring * kCos30[k] / 1000;
        const int trail = (12 - k) % 12; // 0 for the leading dot
        const Rgb colour = blend(bright, dim, trail, 11);
        fillShape(
            canvas, {x - dot, y - dot, x + dot, y + dot},
            [=](std::int64_t px, std::int64_t py) { return inDisc(px, py, x, y, dot); }, colour,
            behind);
    }

    drawText(canvas, "Please wait while your computer shuts down.", kTextTop, {232, 236, 248},
             {0, 2, 20});
    return canvas.toLogo();
}

QByteArray switchOffPicture()
{
    Canvas canvas;
    const Gradient sky(canvas, {0, 0, 2}, {26, 16, 52}, 160);

    const int cx = screen(320);
    const int cy = screen(190);
    const int outer = screen(48);
    const int inner = screen(38);
    scatterStars(canvas, cx, cy, outer + screen(24));
    drawPowerEmblem(canvas, {cx, cy, outer, inner}, sky.colourAtRow(pictureRowOfScreen(cy)));

    drawText(canvas, "It's now safe to turn off your computer.", kTextTop, {255, 178, 70},
             {64, 34, 6});
    return canvas.toLogo();
}

} // namespace vantrel
