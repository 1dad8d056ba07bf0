#include "art/program_icon.h"

#include <QPixmap>

#include <algorithm>
#include <array>
#include <vector>

namespace vantrel {

namespace {

enum Ink : uchar {
    Black = 0,
    Green = 2,
    Navy = 4,
    Silver = 7,
    Grey = 8,
    Lime = 10,
    Yellow = 11,
    Blue = 12,
    White = 15,
    Clear = 16,
};

// Inclusive pixel rectangles, as an icon designer counts them.
struct Area {
    int left, top, right, bottom;
};

struct Disc {
    int cx2, cy2; // centre in half pixels, so it may sit between pixels
    int r2;       // radius in half pixels
};

// Where each part sits at one size. Every size has its own, so that no
// line is ever scaled to a blur or to uneven widths.
struct Layout {
    int size;
    Area monitor;
    Area screen;
    Area neck;
    Area base;
    Disc sun;
    std::vector<Disc> cloud;
    // Two hills meeting in a V, the sun rising between them.
    std::array<Disc, 2> hills;
    Area led;
};

const Layout &layoutFor(int size)
{
    static const std::array<Layout, 3> kLayouts{{
        {16,
         {0, 1, 15, 11},
         {2, 3, 13, 9},
         {6, 12, 9, 12},
         {2, 13, 13, 15},
         {16, 16, 6},
         {{6, 9, 2}, {8, 8, 3}, {11, 9, 2}},
         {{{4, 40, 27}, {28, 40, 27}}},
         {13, 10, 13, 10}},
        {32,
         {1, 2, 30, 23},
         {4, 5, 27, 19},
         {12, 24, 19, 25},
         {5, 26, 26, 30},
         {32, 30, 10},
         {{14, 16, 4}, {19, 13, 5}, {24, 16, 4}, {19, 17, 4}},
         {{{6, 82, 57}, {58, 82, 57}}},
         {25, 21, 26, 21}},
        {48,
         {2, 3, 45, 35},
         {6, 7, 41, 29},
         {18, 36, 29, 38},
         {8, 39, 39, 45},
         {48, 44, 15},
         {{22, 25, 6}, {29, 20, 8}, {37, 25, 6}, {29, 27, 6}},
         {{{10, 122, 86}, {86, 122, 86}}},
         {37, 32, 39, 32}},
    }};
    for (const Layout &layout : kLayouts) {
        if (layout.size == size)
            return layout;
    }
    return kLayouts[0];
}

class Grid {
public:
    explicit Grid(int size) : m_size(size), m_pixels(std::size_t(size * size), Clear) {}

    void set(int x, int y, uchar ink)
    {
        if (x >= 0 && y >= 0 && x < m_size && y < m_size)
            m_pixels[std::size_t(y * m_size + x)] = ink;
    }
    uchar at(int x, int y) const { return m_pixels[std::size_t(y * m_size + x)]; }

    void fill(const Area &area, uchar ink)
    {
        for (int y = area.top; y <= area.bottom; ++y) {
            for (int x = area.left; x <= area.right; ++x)
                set(x, y, ink);
        }
    }

    // A raised 3-D edge: black outline, white light at the top and left
    // inside it, grey shade at the bottom and right.
    void raised(const Area &area)
    {
        fill(area, Silver);
        fill({area.left + 1, area.top + 1, area.right - 1, area.top + 1}, White);
        fill({area.left + 1, area.top + 1, area.left + 1, area.bottom - 1}, White);
        fill({area.left + 1, area.bottom - 1, area.right - 1, area.bottom - 1}, Grey);
        fill({area.right - 1, area.top + 1, area.right - 1, area.bottom - 1}, Grey);
        outline(area, Black);
    }

    void outline(const Area &area, uchar ink)
    {
        for (int x = area.left; x <= area.right; ++x) {
            set(x, area.top, ink);
            set(x, area.bottom, ink);
        }
        for (int y = area.top; y <= area.bottom; ++y) {
            set(area.left, y, ink);
            set(area.right, y, ink);
        }
    }

    int size() const { return m_size; }

private:
    int m_size;
    std::vector<uchar> m_pixels;
};

bool inDisc(const Disc &disc, int x, int y)
{
    // Pixel centres, in half pixels.
    const int dx = 2 * x + 1 - disc.cx2;
    const int dy = 2 * y + 1 - disc.cy2;
    return dx * dx + dy * dy <= disc.r2 * disc.r2;
}

// A sky that darkens towards the top, where a checkerboard of navy and
// blue stands between the two.
uchar skyInk(const Area &screen, int x, int y)
{
    const int height = screen.bottom - screen.top + 1;
    const bool odd = ((x + y) & 1) != 0;
    return (y - screen.top) * 4 < height && odd ? Navy : Blue;
}

bool inHills(const Layout &layout, int x, int y)
{
    return inDisc(layout.hills[0], x, y) || inDisc(layout.hills[1], x, y);
}

bool inCloud(const Layout &layout, int x, int y)
{
    return std::any_of(layout.cloud.begin(), layout.cloud.end(),
                       [&](const Disc &puff) { return inDisc(puff, x, y); });
}

void drawScreen(Grid &grid, const Layout &layout)
{
    const Area &screen = layout.screen;
    // A sunken edge: shade above and to the left, light below and right.
    grid.fill({screen.left - 1, screen.top - 1, screen.right + 1, screen.bottom + 1}, White);
    grid.fill({screen.left - 1, screen.top - 1, screen.right, screen.top - 1}, Grey);
    grid.fill({screen.left - 1, screen.top - 1, screen.left - 1, screen.bottom}, Grey);

    for (int y = screen.top; y <= screen.bottom; ++y) {
        for (int x = screen.left; x <= screen.right; ++x) {
            uchar ink = skyInk(screen, x, y);
            if (inDisc(layout.sun, x, y))
                ink = Yellow;
            // Grass, lit along the crest.
            if (inHills(layout, x, y))
                ink = inHills(layout, x, y - 1) ? Green : Lime;
            // The cloud's underside is shaded where the sky shows below it.
            if (inCloud(layout, x, y))
                ink = inCloud(layout, x, y + 1) ? White : Silver;
            grid.set(x, y, ink);
        }
    }
}

} // namespace

QList<QRgb> sixteenColours()
{
    return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

QImage programIconImage(int size)
{
    if (size != 16 && size != 32 && size != 48)
        return {};
    const Layout &layout = layoutFor(size);
    Grid grid(size);

    grid.raised(layout.base);
    grid.raised(layout.neck);
    // The neck joins the monitor and the base without lines across it.
    grid.fill({layout.neck.left + 1, layout.neck.top, layout.neck.right - 1, layout.neck.bottom},
              Silver);
    grid.fill({layout.neck.right - 1, layout.neck.top, layout.neck.right - 1, layout.neck.bottom},
              Grey);
    grid.raised(layout.monitor);
    drawScreen(grid, layout);
    grid.fill(layout.led, Lime);

    QImage image(size, size, QImage::Format_Indexed8);
    QList<QRgb> colours = sixteenColours();
    colours << qRgba(0, 0, 0, 0);
    image.setColorTable(colours);
    for (int y = 0; y < size; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < size; ++x)
            line[x] = grid.at(x, y);
    }
    return image;
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48})
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    return icon;
}

} // namespace vantrel
