#include "codec/logo_format.h"

#include "support/logo_bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace vantrel;
using namespace vantrel::test;

namespace {

std::vector<std::uint8_t> toVector(const QByteArray &bytes)
{
    return {bytes.begin(), bytes.end()};
}

const HeaderField &field(const std::vector<HeaderField> &fields, const QString &name)
{
    for (const HeaderField &f : fields) {
        if (f.name == name)
            return f;
    }
    throw std::runtime_error("no field " + name.toStdString());
}

} // namespace

TEST(LogoFormat, ReadsLittleEndianFields)
{
    const std::vector<std::uint8_t> bytes{0x01, 0x02, 0x03, 0x04, 0xff, 0xfe};
    EXPECT_EQ(readLe16(bytes, 0), 0x0201);
    EXPECT_EQ(readLe16(bytes, 4), 0xfeff);
    EXPECT_EQ(readLe32(bytes, 0), 0x04030201u);
    EXPECT_EQ(readLe32(bytes, 2), 0xfeff0403u);
}

TEST(LogoFormat, ReadsAndWritesLittleEndianFieldsOnlyWithinTheBytes)
{
    std::vector<std::uint8_t> bytes{0x01, 0x02, 0x03};
    EXPECT_EQ(readLe16(bytes, 2), 0x0003);
    EXPECT_EQ(readLe32(bytes, 1), 0x00000302u);
    // An offset near the top must not wrap round to the first bytes.
    EXPECT_EQ(readLe32(bytes, SIZE_MAX), 0u);
    writeLe32(bytes, 1, 0xa1b2c3d4u);
    writeLe16(bytes, SIZE_MAX, 0xffff);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x01, 0xd4, 0xc3}));
}

TEST(LogoFormat, PaletteEntriesStartAt54PlusFourTimesTheIndex)
{
    EXPECT_EQ(entryOffset(0), 54u);
    EXPECT_EQ(entryOffset(1), 58u);
    EXPECT_EQ(entryOffset(236), 998u);
    EXPECT_EQ(entryOffset(255), 1074u);
    EXPECT_TRUE(passesLengthTest(129078));
    EXPECT_FALSE(passesLengthTest(129077));
    EXPECT_FALSE(passesLengthTest(129079));
}

TEST(CheckHeaderFields, ReportsEveryFieldOfAGoodLogo)
{
    LogoBytes logo;
    logo.clrImportant = 236;
    const std::vector<HeaderField> fields = checkHeaderFields(toVector(logo.bytes()));
    struct Row {
        const char *name;
        std::size_t offset;
        const char *found;
        const char *expected;
    };
    const std::vector<Row> rows{
        {"bfType", 0, "\"BM\"", "\"BM\""},
        {"bfSize", 2, "129078", "129078"},
        {"bfReserved1", 6, "0", "0"},
        {"bfReserved2", 8, "0", "0"},
        {"bfOffBits", 10, "1078", "1078"},
        {"biSize", 14, "40", "40"},
        {"biWidth", 18, "320", "320"},
        {"biHeight", 22, "400 (bottom-up)", "400 (bottom-up)"},
        {"biPlanes", 26, "1", "1"},
        {"biBitCount", 28, "8", "8"},
        {"biCompression", 30, "0 (none)", "0 (none)"},
        {"biSizeImage", 34, "128000", "128000 or 0"},
        {"biXPelsPerMeter", 38, "2834", "any"},
        {"biYPelsPerMeter", 42, "2834", "any"},
        {"biClrUsed", 46, "256", "0 or 256"},
        {"biClrImportant", 50, "236", "any"},
    };
    ASSERT_EQ(fields.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        EXPECT_EQ(fields[i].name, QLatin1String(rows[i].name));
        EXPECT_EQ(fields[i].offset, rows[i].offset);
        EXPECT_TRUE(fields[i].present);
        EXPECT_EQ(fields[i].found, QLatin1String(rows[i].found));
        EXPECT_EQ(fields[i].expected, QLatin1String(rows[i].expected));
        EXPECT_TRUE(fields[i].ok);
    }
}

TEST(CheckHeaderFields, FlagsEachWrongFieldAndOnlyThatOne)
{
    struct Case {
        const char *name;
        std::size_t offset;
        int size;
        std::uint32_t value;
        const char *found;
    };
    const std::vector<Case> cases{
        {"bfType", 0, 2, 'B' | 'A' << 8, "\"BA\""},
        {"bfType", 0, 2, 0, "0x0000"},
        {"bfSize", 2, 4, 129077, "129077"},
        {"bfReserved1", 6, 2, 1, "1"},
        {"bfReserved2", 8, 2, 0xffff, "65535"},
        {"bfOffBits", 10, 4, 54, "54"},
        {"biSize", 14, 4, 12, "12"},
        {"biWidth", 18, 4, 640, "640"},
        {"biWidth", 18, 4, std::uint32_t(-320), "-320"},
        {"biHeight", 22, 4, std::uint32_t(-400), "-400 (top-down)"},
        {"biHeight", 22, 4, 200, "200 (bottom-up)"},
        {"biPlanes", 26, 2, 2, "2"},
        {"biBitCount", 28, 2, 24, "24"},
        {"biCompression", 30, 4, 1, "1 (RLE8)"},
        {"biCompression", 30, 4, 9, "9"},
        {"biSizeImage", 34, 4, 127999, "127999"},
        {"biClrUsed", 46, 4, 16, "16"},
        {"biClrUsed", 46, 4, 0xffffffff, "4294967295"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.found);
        QByteArray bytes = LogoBytes().bytes();
        if (c.size == 2)
            putLe16(bytes, c.offset, std::uint16_t(c.value));
        else
            putLe32(bytes, c.offset, c.value);
        const std::vector<HeaderField> fields = checkHeaderFields(toVector(bytes));
        for (const HeaderField &f : fields) {
            if (f.name == QLatin1String(c.name)) {
                EXPECT_FALSE(f.ok);
                EXPECT_EQ(f.found, QLatin1String(c.found));
            } else {
                EXPECT_TRUE(f.ok) << f.name.toStdString();
            }
        }
    }
}

TEST(LogoBitmapProblem, NamesTheLengthOrTheFirstWrongField)
{
    struct Case {
        std::size_t offset;
        std::uint16_t value; // written as a 16-bit field; 0xffff leaves the bytes alone
        std::int64_t length;
        const char *problem;
    };
    const Case cases[] = {
        {0, 0xffff, kLogoLength, ""},
        {0, 0xffff, kLogoLength - 1, "129077 bytes, expected 129078"},
        {0, 0xffff, kLogoLength + 1, "129079 bytes, expected 129078"},
        {28, 24, kLogoLength, "biBitCount is 24, expected 8"},
        {30, 1, kLogoLength, "biCompression is 1 (RLE8), expected 0 (none)"},
        // The first of two wrong fields, in file order.
        {0, 'B' | 'A' << 8, kLogoLength, "bfType is \"BA\", expected \"BM\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.problem);
        QByteArray bytes = LogoBytes().bytes();
        if (c.value != 0xffff)
            putLe16(bytes, c.offset, c.value);
        if (c.offset == 0 && c.value != 0xffff)
            putLe16(bytes, 28, 24);
        EXPECT_EQ(logoBitmapProblem(toVector(bytes), c.length), QLatin1String(c.problem));
    }
    // Headers cut short are named by the first field they miss.
    EXPECT_EQ(logoBitmapProblem(toVector(LogoBytes().bytes().left(20)), kLogoLength),
              QLatin1String("biWidth is missing, expected 320"));
}

TEST(CheckHeaderFields, AcceptsBothValuesTheStandardAllowsForTheSizes)
{
    for (const std::uint32_t sizeImage : {0u, 128000u}) {
        for (const std::uint32_t clrUsed : {0u, 256u}) {
            LogoBytes logo;
            logo.sizeImage = sizeImage;
            logo.clrUsed = clrUsed;
            logo.clrImportant = 0xffffffff;
            logo.pelsPerMeter = 0x80000000;
            for (const HeaderField &f : checkHeaderFields(toVector(logo.bytes())))
                EXPECT_TRUE(f.ok) << f.name.toStdString() << " " << f.found.toStdString();
        }
    }
}

TEST(CheckHeaderFields, ReportsFieldsBeyondAShortBufferAsMissing)
{
    const QByteArray good = LogoBytes().bytes();
    for (const qsizetype length : {0, 1, 2, 5, 6, 13, 14, 25, 53, 54}) {
        SCOPED_TRACE(length);
        // Exactly `length` bytes, so that a read past them would be a read
        // past the buffer.
        const std::vector<std::uint8_t> bytes = toVector(good.left(length));
        const std::vector<HeaderField> fields = checkHeaderFields(bytes);
        ASSERT_EQ(fields.size(), 16u);
        for (const HeaderField &f : fields) {
            const std::size_t size = f.name.startsWith("bfReserved") || f.name == "bfType" ||
                                             f.name == "biPlanes" || f.name == "biBitCount"
                                         ? 2
                                         : 4;
            const bool fits = f.offset + size <= std::size_t(length);
            EXPECT_EQ(f.present, fits) << f.name.toStdString();
            EXPECT_EQ(f.ok, fits) << f.name.toStdString();
            if (!fits) {
                EXPECT_EQ(f.found, "missing");
            }
        }
    }
    EXPECT_EQ(field(checkHeaderFields(toVector(good.left(5))), "bfSize").found, "missing");
    EXPECT_EQ(field(checkHeaderFields(toVector(good.left(6))), "bfSize").found, "129078");
}

TEST(LogoPalette, WritesAnEntrysColourAsRedGreenBlue)
{
    LogoBytes logo;
    logo.setColour(0, 0x12, 0xab, 0x0f);
    logo.palette[255] = {0x01, 0x02, 0x03, 0x99};
    const std::vector<std::uint8_t> header = toVector(logo.bytes().left(1078));
    EXPECT_EQ(entryColour(header, 0), "#12AB0F");
    EXPECT_EQ(entryColour(header, 255), "#030201");
    EXPECT_EQ(entryColour(header, 7), "#070707");
}

TEST(LogoPalette, FindsAnimatedColoursThatAlsoAppearBelowTheRange)
{
    LogoBytes logo;
    logo.setColour(3, 0xff, 0xff, 0xff);
    logo.setColour(9, 0xff, 0xff, 0xff);
    logo.setColour(250, 0xff, 0xff, 0xff);
    // The reserved byte is not part of the colour.
    logo.palette[240] = {5, 5, 5, 0x77};
    // A colour that appears twice inside the range only is no twin.
    logo.setColour(251, 0x10, 0x20, 0x30);
    logo.setColour(252, 0x10, 0x20, 0x30);
    const std::vector<std::uint8_t> header = toVector(logo.bytes().left(1078));

    // Entry 255 of the grey ramp is white too; the lowest twin is named.
    const std::vector<ColourTwin> twins = findColourTwins(header, 236);
    ASSERT_EQ(twins.size(), 3u);
    EXPECT_EQ(twins[0].animated, 240);
    EXPECT_EQ(twins[0].still, 5);
    EXPECT_EQ(twins[1].animated, 250);
    EXPECT_EQ(twins[1].still, 3);
    EXPECT_EQ(twins[2].animated, 255);
    EXPECT_EQ(twins[2].still, 3);

    // Still twins are looked for below the range only.
    const std::vector<ColourTwin> fromFour = findColourTwins(header, 4);
    ASSERT_EQ(fromFour.size(), 3u);
    EXPECT_EQ(fromFour[0].animated, 9);
    EXPECT_EQ(fromFour[0].still, 3);
    EXPECT_TRUE(findColourTwins(header, 3).empty());

    // The grey ramp has no twins at all, whatever the range.
    const std::vector<std::uint8_t> ramp = toVector(LogoBytes().bytes().left(1078));
    for (const int start : {1, 128, 255})
        EXPECT_TRUE(findColourTwins(ramp, start).empty());
}

TEST(LogoPalette, CountsThePixelsOfTheAnimatedRange)
{
    std::vector<std::uint8_t> pixels(1000, 10);
    pixels[0] = 236;
    pixels[1] = 255;
    pixels[2] = 235;
    pixels[999] = 240;
    EXPECT_EQ(countAnimatedPixels(pixels, 236), 3u);
    EXPECT_EQ(countAnimatedPixels(pixels, 255), 1u);
    EXPECT_EQ(countAnimatedPixels(pixels, 11), 4u);
    EXPECT_EQ(countAnimatedPixels(pixels, 10), 1000u);
}
