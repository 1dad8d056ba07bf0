// The animation maker's rules without a window: reading a typed number,
// the display format, rounding halves to even, the typed starting entry,
// the stored settings and the target proposal.

#include "image/number_text.h"
#include "support/qt_print.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vantrel;

namespace {

struct ReadCase {
    const char16_t *text;
    std::optional<double> value;
};

} // namespace

TEST(ReadNumber, ReadsTheNumberAtTheStartOfTheText)
{
    const ReadCase cases[] = {
        {u"100", 100},
        {u"-5", -5},
        {u"+7", 7},
        {u"0", 0},
        {u"", 0},
        {u"abc", 0},
        {u"x12", 0},
        {u"12abc", 12},
        {u" 1 2 ", 12},
        {u"\t2\n3\t", 23},
        {u"- 4", -4},
        {u"12.5", 12.5},
        {u".5", 0.5},
        {u"5.", 5},
        {u"-.25", -0.25},
        {u".", 0},
        {u"-", 0},
        {u"1.2.3", 1.2},
        {u"1e2", 100},
        {u"1E2", 100},
        {u"2.5e-1", 0.25},
        {u"1e+2", 100},
        {u"1 e 2", 100},
        {u"1e", 1},
        {u"1e-", 1},
        {u"1ex", 1},
        {u"3e2.5", 300},
        {u"--5", 0},
        {u"+-5", 0},
        {u"1,5", 1},
        {u"\r5", 0},
        {u"\u00a05", 0},
        {u"\uff15", 0},
        {u"0000000000000000000000000000000000000000001", 1},
        {u"1e999", std::nullopt},
        {u"-1e999", std::nullopt},
        {u"123456789e99999999999999999999", std::nullopt},
        {u"1e-999", 0},
        {u"0.000e99999", 0},
    };
    for (const ReadCase &c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(readNumber(text), c.value);
    }
}

TEST(ReadNumber, KeepsTheSignOfZero)
{
    EXPECT_TRUE(std::signbit(*readNumber(u"-0")));
    EXPECT_FALSE(std::signbit(*readNumber(u"0")));
}

TEST(DisplayNumber, PlainDecimalWithASpaceForTheSign)
{
    struct Case {
        double value;
        const char *text;
    };
    const Case cases[] = {
        {236, " 236"},
        {1, " 1"},
        {0, " 0"},
        {-0.0, " 0"},
        {12.5, " 12.5"},
        {0.5, " 0.5"},
        {256, " 256"},
        {-3, "-3"},
        {-0.75, "-0.75"},
        {1e-20, " 0.00000000000000000001"},
        {1e20, " 100000000000000000000"},
        {0.1 + 0.2, " 0.3"},
        {255.123456789012345, " 255.123456789012"},
        {std::numeric_limits<double>::infinity(), ""},
        {std::nan(""), ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(displayNumber(c.value), QString::fromLatin1(c.text));
    }
}

TEST(RoundHalfToEven, HalvesGoToTheEvenNeighbour)
{
    const std::pair<double, double> cases[] = {
        {0.5, 0},    {1.5, 2},     {2.5, 2},
        {3.5, 4},    {255.5, 256}, {254.5, 254},
        {12.5, 12},  {0.49999, 0}, {0.50001, 1},
        {-0.5, -0},  {-1.5, -2},   {-2.5, -2},
        {100, 100},  {0, 0},       {1e300, 1e300},
        {12.25, 12}, {12.75, 13},  {4503599627370495.5, 4503599627370496},
    };
    for (const auto &[value, rounded] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(roundHalfToEven(value), rounded);
    }
}

TEST(TypedStartEntry, ShowsTheBoundedNumberAndTakesItRoundedWhenItIsAnEntry)
{
    struct Case {
        const char16_t *typed;
        const char *shown;
        std::optional<int> entry;
    };
    const Case cases[] = {
        {u"100", " 100", 100},    {u"-5", " 1", 1},       {u"0", " 0", {}},
        {u"abc", " 0", {}},       {u"255", " 255", 255},  {u"256", " 256", {}},
        {u"300", " 256", {}},     {u"12.5", " 12.5", 12}, {u"13.5", " 13.5", 14},
        {u"0.7", " 0.7", 1},      {u".5", " 0.5", {}},    {u"254.5", " 254.5", 254},
        {u"255.5", " 255.5", {}}, {u"-0", " 0", {}},      {u" 1 2 ", " 12", 12},
        {u"1e999", "", {}},       {u"-1e999", "", {}},    {u"42abc", " 42", 42},
    };
    for (const Case &c : cases) {
        const QString text = QString::fromUtf16(c.typed);
        SCOPED_TRACE(text.toStdString());
        const TypedStartEntry typed = readTypedStartEntry(text);
        EXPECT_EQ(typed.shown, QString::fromLatin1(c.shown));
        EXPECT_EQ(typed.entry, c.entry);
    }
}

TEST(StoredSettings, StartEntryMustBeAWholeNumberInTheRange)
{
    const std::pair<const char *, std::optional<int>> cases[] = {
        {"236", 236}, {"1", 1},   {"255", 255}, {"007", 7},
        {" 99 ", 99}, {"0", {}},  {"256", {}},  {"1000", {}},
        {"-5", {}},   {"+5", {}}, {"12.5", {}}, {"236.0", {}},
        {"abc", {}},  {"", {}},   {"1 2", {}},  {"99999999999999999999", {}},
    };
    for (const auto &[stored, value] : cases) {
        SCOPED_TRACE(stored);
        EXPECT_EQ(readStoredStartEntry(QString::fromLatin1(stored)), value);
    }
}

TEST(StoredSettings, CheckValueIsZeroOneOrTwo)
{
    const std::pair<const char *, std::optional<int>> cases[] = {
        {"0", 0},   {"1", 1}, {"2", 2},    {" 1", 1},   {"3", {}},
        {"-1", {}}, {"", {}}, {"yes", {}}, {"1.0", {}}, {"true", {}},
    };
    for (const auto &[stored, value] : cases) {
        SCOPED_TRACE(stored);
        EXPECT_EQ(readStoredCheckValue(QString::fromLatin1(stored)), value);
    }
}

TEST(ProposeTarget, ReplacesTheLastThreeCharactersWithSys)
{
    const std::pair<const char16_t *, const char16_t *> cases[] = {
        {u"Source File", u"*.SYS"},
        {u"C:\\pics\\logo.bmp", u"C:\\pics\\logo.sys"},
        {u"/home/me/Sky.BMP", u"/home/me/Sky.sys"},
        {u"No file selected. Please select a file.", u"No file selected. Please select a fisys"},
        {u"abc", u"sys"},
        {u"ab", u"*.SYS"},
        {u"a", u"*.SYS"},
        {u"", u"*.SYS"},
        {u"source file", u"source fsys"},
        // A character outside the basic plane is one character, not two.
        {u"logo.b\U0001F600p", u"logo.sys"},
        {u"\U0001F600\U0001F600", u"*.SYS"},
    };
    for (const auto &[source, proposal] : cases) {
        const QString text = QString::fromUtf16(source);
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(proposeTarget(text), QString::fromUtf16(proposal));
    }
}
