#include "art/median_cut.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace vantrel {

namespace {

struct Colour {
    QRgb rgb;
    std::int64_t pixels;
};

int channel(QRgb rgb, int which)
{
    return which == 0 ? qRed(rgb) : which == 1 ? qGreen(rgb) : qBlue(rgb);
}

// A run of the colour list: one group of the cut.
struct Box {
    std::size_t begin;
    std::size_t end;
    int widest = 0;
    int span = 0;
    std::int64_t pixels = 0;

    void measure(const std::vector<Colour> &colours)
    {
        std::array<int, 3> low{255, 255, 255};
        std::array<int, 3> high{0, 0, 0};
        pixels = 0;
        for (std::size_t i = begin; i < end; ++i) {
            for (int c = 0; c < 3; ++c) {
                low[std::size_t(c)] = std::min(low[std::size_t(c)], channel(colours[i].rgb, c));
                high[std::size_t(c)] = std::max(high[std::size_t(c)], channel(colours[i].rgb, c));
            }
            pixels += colours[i].pixels;
        }
        span = -1;
        for (int c = 0; c < 3; ++c) {
            const int s = high[std::size_t(c)] - low[std::size_t(c)];
            if (s > span) {
                span = s;
                widest = c;
            }
        }
    }

    // Large groups of far-apart colours are split first.
    std::int64_t score() const { return end - begin > 1 ? std::int64_t(span) * pixels : -1; }
};

QRgb average(const std::vector<Colour> &colours, const Box &box)
{
    std::array<std::int64_t, 3> sum{};
    for (std::size_t i = box.begin; i < box.end; ++i) {
        for (int c = 0; c < 3; ++c)
            sum[std::size_t(c)] += channel(colours[i].rgb, c) * colours[i].pixels;
    }
    const auto mean = [&](int c) {
        return int((sum[std::size_t(c)] + box.pixels / 2) / box.pixels);
    };
    return qRgb(mean(0), mean(1), mean(2));
}

int nearest(const QList<QRgb> &palette, QRgb rgb)
{
    int best = 0;
    int bestDistance = INT32_MAX;
    for (int i = 0; i < palette.size(); ++i) {
        const int dr = qRed(rgb) - qRed(palette[i]);
        const int dg = qGreen(rgb) - qGreen(palette[i]);
        const int db = qBlue(rgb) - qBlue(palette[i]);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

// The colours of `rgb` (opaque RGB32) with their pixel counts, sorted, so
// that the cut does not depend on the hash's order.
std::vector<Colour> countColours(const QImage &rgb)
{
    QHash<QRgb, std::int64_t> counts;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            ++counts[line[x] | 0xFF000000u];
    }
    std::vector<Colour> colours;
    colours.reserve(std::size_t(counts.size()));
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        colours.push_back({it.key(), it.value()});
    std::sort(colours.begin(), colours.end(),
              [](const Colour &a, const Colour &b) { return a.rgb < b.rgb; });
    return colours;
}

// Sorts the colours of `box` along its widest channel and returns where
// its weighted median falls, keeping at least one colour on each side.
std::size_t medianSplit(std::vector<Colour> &colours, const Box &box)
{
    const int c = box.widest;
    std::sort(colours.begin() + std::ptrdiff_t(box.begin),
              colours.begin() + std::ptrdiff_t(box.end), [c](const Colour &a, const Colour &b) {
                  const int ca = channel(a.rgb, c);
                  const int cb = channel(b.rgb, c);
                  return ca != cb ? ca < cb : a.rgb < b.rgb;
              });
    std::int64_t seen = 0;
    std::size_t split = box.begin + 1;
    for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
        seen += colours[i].pixels;
        split = i + 1;
        if (2 * seen >= box.pixels)
            break;
    }
    return split;
}

// Cuts `colours` into at most `maxColours` groups, the widest first.
std::vector<Box> cutIntoBoxes(std::vector<Colour> &colours, int maxColours)
{
    std::vector<Box> boxes{Box{0, colours.size()}};
    boxes.front().measure(colours);
    while (int(boxes.size()) < maxColours) {
        const auto widest =
            std::max_element(boxes.begin(), boxes.end(),
                             [](const Box &a, const Box &b) { return a.score() < b.score(); });
        if (widest->score() < 0)
            break;
        const Box box = *widest;
        const std::size_t split = medianSplit(colours, box);
        Box low{box.begin, split};
        Box high{split, box.end};
        low.measure(colours);
        high.measure(colours);
        *widest = low;
        boxes.push_back(high);
    }
    return boxes;
}

} // namespace

QImage toIndexed8(const QImage &image, int maxColours)
{
    if (image.isNull())
        return {};
    maxColours = std::clamp(maxColours, 1, 256);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::vector<Colour> colours = countColours(rgb);

    QList<QRgb> palette;
    for (const Box &box : cutIntoBoxes(colours, maxColours))
        palette << average(colours, box);

    QHash<QRgb, uchar> index;
    for (const Colour &colour : colours)
        index.insert(colour.rgb, uchar(nearest(palette, colour.rgb)));

    QImage out(rgb.size(), QImage::Format_Indexed8);
    out.setColorTable(palette);
    out.setDotsPerMeterX(image.dotsPerMeterX());
    out.setDotsPerMeterY(image.dotsPerMeterY());
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        uchar *target = out.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            target[x] = index.value(line[x] | 0xFF000000u);
    }
    return out;
}

} // namespace vantrel
