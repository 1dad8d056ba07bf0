#include "codec/logo_format.h"

#include <array>
#include <cstdint>

namespace vantrel {

namespace {

enum class Kind { Letters, Unsigned, Signed, Height, Compression };

// One row of the logo bitmap's header table. `allowed` holds the values a
// logo bitmap may have there; an empty list means any value.
struct FieldRule {
    const char *name;
    std::size_t offset;
    std::size_t size;
    Kind kind;
    std::array<std::int64_t, 2> allowed;
    int allowedCount;
};

constexpr std::int64_t kLettersBM = 'B' | 'M' << 8;

constexpr std::array<FieldRule, 16> kFieldRules{{
    {"bfType", 0, 2, Kind::Letters, {kLettersBM, 0}, 1},
    {"bfSize", 2, 4, Kind::Unsigned, {kLogoLength, 0}, 1},
    {"bfReserved1", 6, 2, Kind::Unsigned, {0, 0}, 1},
    {"bfReserved2", 8, 2, Kind::Unsigned, {0, 0}, 1},
    {"bfOffBits", 10, 4, Kind::Unsigned, {std::int64_t(kHeaderBlockLength), 0}, 1},
    {"biSize", 14, 4, Kind::Unsigned, {std::int64_t(kInfoHeaderLength), 0}, 1},
    {"biWidth", 18, 4, Kind::Signed, {kLogoWidth, 0}, 1},
    {"biHeight", 22, 4, Kind::Height, {kLogoHeight, 0}, 1},
    {"biPlanes", 26, 2, Kind::Unsigned, {1, 0}, 1},
    {"biBitCount", 28, 2, Kind::Unsigned, {8, 0}, 1},
    {"biCompression", 30, 4, Kind::Compression, {0, 0}, 1},
    {"biSizeImage", 34, 4, Kind::Unsigned, {std::int64_t(kPixelAreaLength), 0}, 2},
    {"biXPelsPerMeter", 38, 4, Kind::Signed, {0, 0}, 0},
    {"biYPelsPerMeter", 42, 4, Kind::Signed, {0, 0}, 0},
    {"biClrUsed", 46, 4, Kind::Unsigned, {0, std::int64_t(kPaletteEntries)}, 2},
    {"biClrImportant", 50, 4, Kind::Unsigned, {0, 0}, 0},
}};

QString valueText(Kind kind, std::int64_t value)
{
    switch (kind) {
    case Kind::Letters: {
        const auto first = char(value & 0xff);
        const auto second = char(value >> 8 & 0xff);
        const auto printable = [](char c) { return c >= 0x20 && c < 0x7f; };
        if (printable(first) && printable(second))
            return QStringLiteral("\"%1%2\"").arg(QLatin1Char(first)).arg(QLatin1Char(second));
        return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0'));
    }
    case Kind::Height:
        return QStringLiteral("%1 (%2)").arg(value).arg(
            QLatin1String(value < 0 ? "top-down" : "bottom-up"));
    case Kind::Compression: {
        static const std::array<const char *, 4> names{"none", "RLE8", "RLE4", "bit fields"};
        if (value >= 0 && value < std::int64_t(names.size()))
            return QStringLiteral("%1 (%2)").arg(value).arg(
                QLatin1String(names[std::size_t(value)]));
        return QString::number(value);
    }
    case Kind::Unsigned:
    case Kind::Signed:
        break;
    }
    return QString::number(value);
}

std::int64_t readField(std::span<const std::uint8_t> bytes, const FieldRule &rule)
{
    if (rule.size == 2)
        return readLe16(bytes, rule.offset);
    const std::uint32_t raw = readLe32(bytes, rule.offset);
    if (rule.kind == Kind::Signed || rule.kind == Kind::Height)
        return static_cast<std::int32_t>(raw);
    return raw;
}

QString expectedText(const FieldRule &rule)
{
    if (rule.allowedCount == 0)
        return QStringLiteral("any");
    QString text = valueText(rule.kind, rule.allowed[0]);
    if (rule.allowedCount == 2)
        text += " or " + valueText(rule.kind, rule.allowed[1]);
    return text;
}

} // namespace

std::vector<HeaderField> checkHeaderFields(std::span<const std::uint8_t> header)
{
    std::vector<HeaderField> fields;
    fields.reserve(kFieldRules.size());
    for (const FieldRule &rule : kFieldRules) {
        HeaderField field;
        field.name = QString::fromLatin1(rule.name);
        field.offset = rule.offset;
        field.expected = expectedText(rule);
        if (rule.offset + rule.size <= header.size()) {
            const std::int64_t value = readField(header, rule);
            field.present = true;
            field.found = valueText(rule.kind, value);
            field.ok = rule.allowedCount == 0;
            for (int i = 0; i < rule.allowedCount; ++i)
                field.ok = field.ok || value == rule.allowed[std::size_t(i)];
        }
        fields.push_back(field);
    }
    return fields;
}

void writeLogoHeaders(std::span<std::uint8_t> header, std::uint32_t pixelsPerMetre,
                      std::uint32_t clrImportant)
{
    header[0] = 'B';
    header[1] = 'M';
    writeLe32(header, 2, std::uint32_t(kLogoLength));
    writeLe32(header, 6, 0); // both reserved words
    writeLe32(header, 10, std::uint32_t(kHeaderBlockLength));
    writeLe32(header, 14, std::uint32_t(kInfoHeaderLength));
    writeLe32(header, 18, std::uint32_t(kLogoWidth));
    // Positive: the bottom row is stored first.
    writeLe32(header, 22, std::uint32_t(kLogoHeight));
    writeLe16(header, 26, 1);
    writeLe16(header, 28, 8);
    writeLe32(header, 30, 0);
    writeLe32(header, 34, std::uint32_t(kPixelAreaLength));
    writeLe32(header, 38, pixelsPerMetre);
    writeLe32(header, 42, pixelsPerMetre);
    writeLe32(header, 46, std::uint32_t(kPaletteEntries));
    writeLe32(header, 50, clrImportant);
}

QString logoBitmapProblem(std::span<const std::uint8_t> header, std::int64_t length)
{
    if (!passesLengthTest(length))
        return QStringLiteral("%1 bytes, expected %2").arg(length).arg(kLogoLength);
    for (const HeaderField &field : checkHeaderFields(header)) {
        if (!field.ok) {
            return QStringLiteral("%1 is %2, expected %3")
                .arg(field.name, field.found, field.expected);
        }
    }
    return {};
}

QString entryColour(std::span<const std::uint8_t> header, int i)
{
    const std::size_t at = entryOffset(i);
    return QStringLiteral("#%1%2%3")
        .arg(int(header[at + 2]), 2, 16, QLatin1Char('0'))
        .arg(int(header[at + 1]), 2, 16, QLatin1Char('0'))
        .arg(int(header[at]), 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::vector<ColourTwin> findColourTwins(std::span<const std::uint8_t> header, int start)
{
    const auto colour = [&](int i) {
        const std::size_t at = entryOffset(i);
        return std::uint32_t(header[at]) | std::uint32_t(header[at + 1]) << 8 |
               std::uint32_t(header[at + 2]) << 16;
    };
    std::vector<ColourTwin> twins;
    for (int animated = start; animated < int(kPaletteEntries); ++animated) {
        for (int still = 0; still < start; ++still) {
            if (colour(still) == colour(animated)) {
                twins.push_back({animated, still});
                break;
            }
        }
    }
    return twins;
}

std::size_t countAnimatedPixels(std::span<const std::uint8_t> pixels, int start)
{
    std::size_t count = 0;
    for (const std::uint8_t c : pixels)
        count += c >= start ? 1 : 0;
    return count;
}

} // namespace vantrel
