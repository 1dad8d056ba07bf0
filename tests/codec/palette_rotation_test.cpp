#include "codec/logo_format.h"
#include "codec/palette_rotation.h"
#include "support/logo_bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace vantrel;

namespace {

using Block = std::vector<std::uint8_t>;

// A header block whose every byte is different from its neighbours, so that
// any misplaced byte shows.
Block distinctBlock()
{
    Block block(kHeaderBlockLength);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    return block;
}

std::array<std::uint8_t, 4> entry(const Block &block, int i)
{
    const std::size_t at = entryOffset(i);
    return {block[at], block[at + 1], block[at + 2], block[at + 3]};
}

Block rotated(Block block, int start, bool reverse, int steps = 1)
{
    for (int k = 0; k < steps; ++k)
        Rotate(block, start, reverse);
    return block;
}

} // namespace

TEST(Rotate, MovesEachColourOneEntryAndWrapsTheEnd)
{
    struct Case {
        int start;
        bool reverse;
    };
    for (const Case c : {Case{236, false}, Case{236, true}, Case{1, false}, Case{1, true},
                         Case{254, false}, Case{254, true}}) {
        SCOPED_TRACE(testing::Message() << "S = " << c.start << (c.reverse ? " reverse" : ""));
        const Block before = distinctBlock();
        const Block after = rotated(before, c.start, c.reverse);
        for (int i = c.start; i <= 255; ++i) {
            int from;
            if (!c.reverse)
                from = i == 255 ? c.start : i + 1;
            else
                from = i == c.start ? 255 : i - 1;
            EXPECT_EQ(entry(after, i), entry(before, from)) << "entry " << i;
        }
        // Nothing before the range moves: headers and entries 0..S-1.
        EXPECT_TRUE(std::equal(
            before.begin(), before.begin() + std::ptrdiff_t(entryOffset(c.start)), after.begin()));
    }
}

TEST(Rotate, ComesBackToTheSourceAfterOneCycleAndNotBefore)
{
    for (const int start : {1, 2, 100, 236, 254}) {
        for (const bool reverse : {false, true}) {
            SCOPED_TRACE(testing::Message() << "S = " << start << (reverse ? " reverse" : ""));
            const Block source = distinctBlock();
            Block block = source;
            for (int step = 1; step < 256 - start; ++step) {
                Rotate(block, start, reverse);
                ASSERT_NE(block, source) << "back already after " << step << " steps";
            }
            Rotate(block, start, reverse);
            EXPECT_EQ(block, source);
        }
    }
}

TEST(Rotate, ForwardAndReverseGiveTheSamePalettesInOppositeOrders)
{
    const int start = 236;
    const int cycle = 256 - start;
    const Block source = distinctBlock();
    for (int k = 0; k <= cycle; ++k)
        EXPECT_EQ(rotated(source, start, false, k),
                  rotated(source, start, true, (cycle - k) % cycle))
            << "step " << k;
}

TEST(Rotate, LeavesTheBlockAloneForTheSingleEntryRangeAndBadInput)
{
    const Block source = distinctBlock();
    EXPECT_EQ(rotated(source, 255, false), source);
    EXPECT_EQ(rotated(source, 255, true), source);
    EXPECT_EQ(rotated(source, 0, false), source);
    EXPECT_EQ(rotated(source, 256, true), source);
    Block shortBlock(kHeaderBlockLength - 1, 9);
    Rotate(shortBlock, 236, false);
    EXPECT_EQ(shortBlock, Block(kHeaderBlockLength - 1, 9));
}

TEST(Rotate, KeepsEntryZeroWhenTheWholePaletteAboveItCycles)
{
    test::LogoBytes logo;
    const QByteArray bytes = logo.bytes();
    Block header(bytes.begin(), bytes.begin() + qsizetype(kHeaderBlockLength));
    const Block before = header;
    Rotate(header, 1, false);
    EXPECT_EQ(entry(header, 0), entry(before, 0));
    EXPECT_EQ(entry(header, 1), entry(before, 2));
    EXPECT_EQ(entry(header, 255), entry(before, 1));
}
