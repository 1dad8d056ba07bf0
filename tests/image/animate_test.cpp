#include "image/animate.h"

#include "codec/logo_format.h"
#include "host/file_replacement.h"
#include "support/child_process.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/logo_bytes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <array>
#include <csignal>
#include <functional>
#include <numeric>
#include <random>
#include <type_traits>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vantrel;
using namespace vantrel::test;

namespace {

// What the mirror does to one value, written out from its definition.
std::uint8_t mirrored(std::uint8_t c, int start)
{
    return c >= start ? static_cast<std::uint8_t>(255 - (c - start)) : c;
}

QByteArray pixelArea(const QByteArray &file)
{
    return file.mid(qsizetype(kHeaderBlockLength));
}

QByteArray palette(const QByteArray &file)
{
    return file.mid(qsizetype(kPaletteOffset), qsizetype(kPaletteLength));
}

// The message starts with the reason's fixed part; the system's own words
// for an errno follow it.
std::string reasonOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const HostError &error) {
        return error.what();
    }
    return "(no failure)";
}

class AnimateLogoTest : public ::testing::Test {
protected:
    TempDrive drive;
    FakeHost host;
};

} // namespace

TEST_F(AnimateLogoTest, RefusesASourceOfTheWrongLengthAndCreatesNoTarget)
{
    const QByteArray logo = LogoBytes().bytes();
    const std::vector<std::pair<QByteArray, std::string>> cases{
        {logo.left(logo.size() - 1),
         "C:\\logo.bmp: not a logo bitmap: 129077 bytes, expected 129078"},
        {logo + 'x', "C:\\logo.bmp: not a logo bitmap: 129079 bytes, expected 129078"},
        {QByteArray(), "C:\\logo.bmp: not a logo bitmap: 0 bytes, expected 129078"},
        {trueColourBitmap(), "C:\\logo.bmp: not a logo bitmap: 384054 bytes, expected 129078"},
    };
    for (const auto &[source, message] : cases) {
        SCOPED_TRACE(message);
        drive.write("logo.bmp", source);
        EXPECT_EQ(reasonOf([&] { AnimateLogo(host, "C:\\logo.bmp", "C:\\out.bmp", 236, true); }),
                  message);
        EXPECT_FALSE(drive.exists("out.bmp"));
        EXPECT_EQ(drive.read("logo.bmp"), source);
    }
}

TEST_F(AnimateLogoTest, LeavesAnExistingTargetAloneWhenTheLengthTestFails)
{
    drive.write("logo.bmp", LogoBytes().bytes().left(129077));
    drive.write("out.bmp", "keep me");
    EXPECT_THROW(AnimateLogo(host, "C:\\logo.bmp", "C:\\out.bmp", 236, false), HostError);
    EXPECT_EQ(drive.read("out.bmp"), QByteArray("keep me"));
}

TEST_F(AnimateLogoTest, FailsForAMissingSourceAndCreatesNoTarget)
{
    const std::string reason =
        reasonOf([&] { AnimateLogo(host, "C:\\none.bmp", "C:\\out.bmp", 236, false); });
    EXPECT_EQ(reason.rfind("cannot find C:\\none.bmp: ", 0), 0u) << reason;
    EXPECT_FALSE(drive.exists("out.bmp"));
}

TEST_F(AnimateLogoTest, RefusesAStartingEntryOutside1To255)
{
    drive.write("logo.bmp", LogoBytes().bytes());
    for (const int start : {0, -1, 256, 1000}) {
        SCOPED_TRACE(start);
        EXPECT_EQ(reasonOf([&] { AnimateLogo(host, "C:\\logo.bmp", "C:\\out.bmp", start, true); }),
                  "the starting entry must be 1 to 255, not " + std::to_string(start));
        EXPECT_FALSE(drive.exists("out.bmp"));
    }
}

TEST_F(AnimateLogoTest, WithoutReverseDiffersFromTheSourceOnlyAtBytes50And51)
{
    LogoBytes logo;
    logo.clrImportant = 0x0000ffff;
    const QByteArray source = logo.bytes();
    drive.write("logo.bmp", source);
    for (const int start : {1, 17, 236, 255}) {
        SCOPED_TRACE(start);
        const QString target = QStringLiteral("C:\\out%1.bmp").arg(start);
        AnimateLogo(host, "C:\\logo.bmp", target, start, false);
        const QByteArray written = drive.read(QStringLiteral("out%1.bmp").arg(start));
        ASSERT_EQ(written.size(), kLogoLength);
        QByteArray expected = source;
        expected[50] = char(start);
        expected[51] = 0;
        EXPECT_EQ(written, expected);
    }
}

TEST_F(AnimateLogoTest, RecordsTheStartingEntryInBiClrImportant)
{
    struct Case {
        std::uint32_t before;
        int start;
        std::array<std::uint8_t, 4> after;
    };
    const std::vector<Case> cases{
        {256, 236, {236, 0, 0, 0}},
        {256, 1, {1, 0, 0, 0}},
        {0, 255, {255, 0, 0, 0}},
        {0xabcd1234, 240, {240, 0, 0xcd, 0xab}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.before);
        LogoBytes logo;
        logo.clrImportant = c.before;
        drive.write("logo.bmp", logo.bytes());
        AnimateLogo(host, "C:\\logo.bmp", "C:\\out.bmp", c.start, true);
        const QByteArray written = drive.read("out.bmp");
        for (std::size_t i = 0; i < 4; ++i)
            EXPECT_EQ(byteAt(written, 50 + i), c.after[i]) << "byte " << 50 + i;
    }
    LogoBytes logo;
    logo.clrImportant = 256;
    drive.write("logo.bmp", logo.bytes());
    AnimateLogo(host, "C:\\logo.bmp", "C:\\out.bmp", 236, false);
    const QByteArray written = drive.read("out.bmp");
    const auto *data = reinterpret_cast<const std::uint8_t *>(written.constData());
    EXPECT_EQ(readLe32(std::span(data, std::size_t(written.size())), 50), 236u);
}

TEST_F(AnimateLogoTest, NeverChangesThePalette)
{
    LogoBytes logo;
    for (int i = 0; i < 256; ++i)
        logo.palette[std::size_t(i)] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 7),
                                        std::uint8_t(i * 3)};
    const QByteArray source = logo.bytes();
    drive.write("logo.bmp", source);
    for (const int start : {1, 128, 236, 255}) {
        for (const bool reverse : {false, true}) {
            SCOPED_TRACE(testing::Message() << "S " << start << " reverse " << reverse);
            AnimateLogo(host, "C:\\logo.bmp", "C:\\out.bmp", start, reverse);
            const QByteArray written = drive.read("out.bmp");
            EXPECT_EQ(palette(written), palette(source));
            EXPECT_EQ(written.left(50), source.left(50));
            EXPECT_EQ(written.mid(52, 2), source.mid(52, 2));
        }
    }
}

TEST_F(AnimateLogoTest, ReverseMirrorsEveryPixelOfTheAnimatedRange)
{
    const QByteArray source = LogoBytes().bytes();
    drive.write("logo.bmp", source);
    for (const int start : {1, 2, 100, 235, 236, 254, 255}) {
        SCOPED_TRACE(start);
        AnimateLogo(host, "C:\\logo.bmp", "C:\\out.bmp", start, true);
        const QByteArray written = pixelArea(drive.read("out.bmp"));
        ASSERT_EQ(written.size(), qsizetype(kPixelAreaLength));
        QByteArray expected = pixelArea(source);
        for (char &c : expected)
            c = char(mirrored(std::uint8_t(c), start));
        EXPECT_EQ(written, expected);
    }
}

TEST_F(AnimateLogoTest, ReverseAtTheEndsOfTheRange)
{
    const QByteArray source = LogoBytes().bytes();
    drive.write("logo.bmp", source);

    // S = 255: only 255 is in the range, and it maps onto itself.
    AnimateLogo(host, "C:\\logo.bmp", "C:\\out.bmp", 255, true);
    EXPECT_EQ(pixelArea(drive.read("out.bmp")), pixelArea(source));

    // S = 1: every c >= 1 becomes 256 - c, and 0 stays 0.
    AnimateLogo(host, "C:\\logo.bmp", "C:\\out.bmp", 1, true);
    const QByteArray before = pixelArea(source);
    const QByteArray after = pixelArea(drive.read("out.bmp"));
    ASSERT_EQ(after.size(), before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int c = std::uint8_t(before[i]);
        ASSERT_EQ(int(std::uint8_t(after[i])), c == 0 ? 0 : 256 - c) << "pixel " << i;
    }
}

TEST_F(AnimateLogoTest, ReverseLeavesPixelsBelowTheRangeUntouched)
{
    LogoBytes logo;
    for (std::size_t k = 0; k < logo.pixels.size(); ++k)
        logo.pixels[k] = std::uint8_t(k % 236);
    const QByteArray source = logo.bytes();
    drive.write("logo.bmp", source);
    AnimateLogo(host, "C:\\logo.bmp", "C:\\out.bmp", 236, true);
    EXPECT_EQ(pixelArea(drive.read("out.bmp")), pixelArea(source));
}

TEST_F(AnimateLogoTest, KeepsBytesBeyondTheLogoInALongerTarget)
{
    const QByteArray source = LogoBytes().bytes();
    drive.write("logo.bmp", source);
    const QByteArray tail(5000, '\xee');
    drive.write("out.bmp", QByteArray(qsizetype(kLogoLength), '\x11') + tail);

    AnimateLogo(host, "C:\\logo.bmp", "C:\\out.bmp", 236, false);

    const QByteArray written = drive.read("out.bmp");
    ASSERT_EQ(written.size(), kLogoLength + tail.size());
    QByteArray expected = source;
    expected[50] = char(236);
    expected[51] = 0;
    EXPECT_EQ(written.left(qsizetype(kLogoLength)), expected);
    EXPECT_EQ(written.mid(qsizetype(kLogoLength)), tail);
}

TEST_F(AnimateLogoTest, OverwritesTheStartOfAShorterTarget)
{
    const QByteArray source = LogoBytes().bytes();
    drive.write("logo.bmp", source);
    drive.write("out.bmp", QByteArray(100, '\x11'));
    AnimateLogo(host, "C:\\logo.bmp", "C:\\out.bmp", 236, false);
    const QByteArray written = drive.read("out.bmp");
    ASSERT_EQ(written.size(), kLogoLength);
    EXPECT_EQ(written.left(50), source.left(50));
    EXPECT_EQ(written.mid(52), source.mid(52));
}

TEST_F(AnimateLogoTest, AcceptsAnyContentOfTheRightLength)
{
    const QByteArray source(qsizetype(kLogoLength), '\xf0');
    drive.write("junk.bin", source);
    AnimateLogo(host, "C:\\junk.bin", "C:\\out.bmp", 236, true);
    const QByteArray written = drive.read("out.bmp");
    EXPECT_EQ(written.left(50), source.left(50));
    EXPECT_EQ(byteAt(written, 50), 236);
    EXPECT_EQ(byteAt(written, 51), 0);
    EXPECT_EQ(palette(written), palette(source));
    EXPECT_EQ(pixelArea(written), QByteArray(qsizetype(kPixelAreaLength), char(255 + 236 - 0xf0)));
}

TEST_F(AnimateLogoTest, TakesNativePathsAsWellAsDosPaths)
{
    const QByteArray source = LogoBytes().bytes();
    drive.write("pictures/logo.bmp", source);
    AnimateLogo(host, drive.path("pictures/logo.bmp"), drive.path("out.bmp"), 240, true);
    AnimateLogo(host, "C:\\PICTURES\\LOGO.BMP", "C:\\dos.bmp", 240, true);
    EXPECT_EQ(drive.read("out.bmp"), drive.read("dos.bmp"));
    EXPECT_EQ(byteAt(drive.read("out.bmp"), 50), 240);
}

TEST_F(AnimateLogoTest, WorksInPlaceWhenTheTargetIsTheSource)
{
    const QByteArray source = LogoBytes().bytes();
    drive.write("logo.bmp", source);
    AnimateLogo(host, "C:\\logo.bmp", "C:\\logo.bmp", 236, true);
    AnimateLogo(host, "C:\\logo.bmp", "C:\\logo.bmp", 236, true);
    QByteArray expected = source;
    expected[50] = char(236);
    EXPECT_EQ(drive.read("logo.bmp"), expected);
}

TEST_F(AnimateLogoTest, FailsWhenTheTargetCannotBeWritten)
{
    const QByteArray source = LogoBytes().bytes();
    drive.write("logo.bmp", source);
    drive.makeDirectory("folder");
    drive.write("locked.bmp", "read-only");
    QFile::setPermissions(drive.path("locked.bmp"), QFile::ReadOwner | QFile::ReadGroup);
    const std::vector<std::pair<QString, std::string>> cases{
        {"C:\\folder", "cannot write C:\\folder: it is a directory"},
        {"C:\\missing\\out.bmp", "cannot write C:\\missing\\out.bmp: No such file or directory"},
        // A device is never a target, not even one that takes no data.
        {"/dev/full", "cannot write /dev/full: not a regular file"},
        {"C:\\locked.bmp", "cannot write C:\\locked.bmp: the file is read-only"},
    };
    for (const auto &[target, reason] : cases) {
        SCOPED_TRACE(reason);
        const QString &path = target;
        EXPECT_EQ(reasonOf([&] { AnimateLogo(host, "C:\\logo.bmp", path, 236, true); }), reason);
    }
    EXPECT_FALSE(drive.exists("missing"));
    EXPECT_TRUE(QFileInfo("/dev/full").exists() && !QFileInfo("/dev/full").isFile());
    EXPECT_EQ(drive.read("locked.bmp"), "read-only");
    EXPECT_EQ(drive.read("logo.bmp"), source);
    EXPECT_EQ(directoryNames(drive.root()), (QStringList{"folder", "locked.bmp", "logo.bmp"}));
}

TEST_F(AnimateLogoTest, FailsForATargetInAReadOnlyDirectory)
{
    drive.write("logo.bmp", LogoBytes().bytes());
    drive.makeDirectory("locked");
    handOver(drive.root());
    QFile::setPermissions(drive.path("locked"), QFile::ReadOwner | QFile::ExeOwner);
    runUnprivileged([&] {
        EXPECT_EQ(
            reasonOf([&] { AnimateLogo(host, "C:\\logo.bmp", "C:\\locked\\out.bmp", 236, true); }),
            "cannot write C:\\locked\\out.bmp: Permission denied");
    });
    QFile::setPermissions(drive.path("locked"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(drive.exists("locked/out.bmp"));
}

TEST_F(AnimateLogoTest, ReplacesALinkedTargetInsteadOfWritingThroughIt)
{
    const QByteArray source = LogoBytes().bytes();
    drive.write("logo.bmp", source);
    QTemporaryDir outside;
    const QByteArray precious(200000, 'p');
    QFile file(outside.path() + "/precious");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(precious);
    file.close();
    ASSERT_TRUE(QFile::link(file.fileName(), drive.path("logo.sys")));

    AnimateLogo(host, "C:\\logo.bmp", "C:\\logo.sys", 240, false);

    QByteArray expected = source;
    expected[50] = char(240);
    EXPECT_FALSE(QFileInfo(drive.path("logo.sys")).isSymLink());
    EXPECT_EQ(drive.read("logo.sys"), expected);
    EXPECT_EQ(fileBytes(file.fileName()), precious);
}

// Dies the moment the transform writes its third block, as a kill would
// stop it, whichever way the target is written.
class KilledHalfway : public FakeHost {
public:
    template <typename File> class Dying : public File {
    public:
        explicit Dying(std::unique_ptr<File> inner) : m_inner(std::move(inner)) {}
        void readAt(std::int64_t offset, std::span<std::uint8_t> into) override
        {
            m_inner->readAt(offset, into);
        }
        void read(std::span<std::uint8_t> into) override { m_inner->read(into); }
        void writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override
        {
            dieOnThird();
            m_inner->writeAt(offset, data);
        }
        void write(std::span<const std::uint8_t> data) override
        {
            dieOnThird();
            m_inner->write(data);
        }
        void close() override { m_inner->close(); }

    protected:
        std::unique_ptr<File> m_inner;

    private:
        void dieOnThird()
        {
            if (++m_writes == 3)
                std::raise(SIGKILL);
        }
        int m_writes = 0;
    };
    class DyingReplacement : public Dying<Replacement> {
    public:
        using Dying::Dying;
        void commit() override { m_inner->commit(); }
    };

    std::unique_ptr<BinaryFile> openBinary(const QString &path, FileAccess access) override
    {
        std::unique_ptr<BinaryFile> file = FakeHost::openBinary(path, access);
        if (access == FileAccess::Read)
            return file;
        return std::make_unique<Dying<BinaryFile>>(std::move(file));
    }
    std::unique_ptr<Replacement> replaceFile(const QString &path, ReplaceFrom start) override
    {
        return std::make_unique<DyingReplacement>(FakeHost::replaceFile(path, start));
    }
};

// A kill or a full disk halfway through leaves the old target whole. What
// a killed run leaves beside it is the program's, and the next run, a
// minute on, removes it.
TEST_F(AnimateLogoTest, LeavesTheOldTargetWholeWhenKilledOrOutOfSpace)
{
    const QByteArray source = LogoBytes().bytes();
    drive.write("logo.bmp", source);
    QByteArray old(200000, 'o');
    for (qsizetype i = 0; i < old.size(); i += 5)
        old[i] = char(i / 5);
    drive.write("logo.sys", old);

    const test::ChildOutcome killed = runInChild([] {
        KilledHalfway dying;
        AnimateLogo(dying, "C:\\logo.bmp", "C:\\logo.sys", 236, true);
    });
    EXPECT_EQ(killed.signal, SIGKILL);
    EXPECT_EQ(drive.read("logo.sys"), old);
    const QStringList left = leftoverReplacements(drive.root());
    ASSERT_EQ(left.size(), 1);

    runInChild([&] {
        // A full disk, as a file size limit: the temporary file cannot grow
        // past 73728 bytes.
        std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit {
            73728, 73728
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        EXPECT_EQ(reasonOf([&] { AnimateLogo(host, "C:\\logo.bmp", "C:\\logo.sys", 236, true); }),
                  "cannot write C:\\logo.sys: File too large");
    });
    EXPECT_EQ(drive.read("logo.sys"), old);
    EXPECT_EQ(leftoverReplacements(drive.root()), left);

    struct timespec aMinuteAgo[2];
    ::clock_gettime(CLOCK_REALTIME, &aMinuteAgo[0]);
    aMinuteAgo[0].tv_sec -= 61;
    aMinuteAgo[1] = aMinuteAgo[0];
    ::utimensat(AT_FDCWD, QFile::encodeName(left[0]).constData(), aMinuteAgo, 0);
    AnimateLogo(host, "C:\\logo.bmp", "C:\\logo.sys", 236, false);
    EXPECT_EQ(leftoverReplacements(drive.root()), QStringList{});
    QByteArray expected = source + old.mid(qsizetype(kLogoLength));
    expected[50] = char(236);
    EXPECT_EQ(drive.read("logo.sys"), expected);
}

TEST(Flip, MapsTheWorkedValuesForStartingEntry236)
{
    const std::vector<std::pair<int, int>> worked{{0, 0},     {235, 235}, {236, 255}, {237, 254},
                                                  {245, 246}, {246, 245}, {254, 237}, {255, 236}};
    std::vector<std::uint8_t> block;
    for (const auto &[before, after] : worked)
        block.push_back(std::uint8_t(before));
    Flip(block, 236);
    for (std::size_t i = 0; i < worked.size(); ++i)
        EXPECT_EQ(int(block[i]), worked[i].second) << "value " << worked[i].first;
}

TEST(Flip, MirrorsTheAnimatedRangeAndLeavesTheRestForEveryStartingEntry)
{
    std::vector<std::uint8_t> all(256);
    std::iota(all.begin(), all.end(), std::uint8_t(0));
    for (int start = 1; start <= 255; ++start) {
        SCOPED_TRACE(start);
        std::vector<std::uint8_t> block = all;
        Flip(block, start);
        for (int c = 0; c < 256; ++c)
            ASSERT_EQ(int(block[std::size_t(c)]), c >= start ? 255 + start - c : c)
                << "value " << c;
    }
}

TEST(Flip, TwiceIsTheIdentityForEveryStartingEntry)
{
    // An odd length, so that the part after the last full vector is covered.
    std::vector<std::uint8_t> original(kPixelBlockLength + 13);
    std::mt19937 random(7);
    for (std::uint8_t &c : original)
        c = std::uint8_t(random() & 0xff);
    for (int start = 1; start <= 255; ++start) {
        SCOPED_TRACE(start);
        std::vector<std::uint8_t> block = original;
        Flip(block, start);
        if (start < 255) {
            EXPECT_NE(block, original);
        }
        Flip(block, start);
        ASSERT_EQ(block, original);
    }
}

TEST(Flip, MirrorsEveryByteOfAWholeBlockForEveryStartingEntry)
{
    // A full pixel block and a few bytes more, so that every value passes
    // through the vector loop at every lane and through the part after it.
    std::vector<std::uint8_t> original(kPixelBlockLength + 13);
    for (std::size_t i = 0; i < original.size(); ++i)
        original[i] = std::uint8_t(i * 7 + i / 256);
    for (int start = 1; start <= 255; ++start) {
        SCOPED_TRACE(start);
        std::vector<std::uint8_t> expected = original;
        for (std::uint8_t &c : expected) {
            if (c >= start)
                c = std::uint8_t(255 - (c - start));
        }
        std::vector<std::uint8_t> block = original;
        Flip(block, start);
        ASSERT_EQ(block, expected);
    }
}

TEST(Flip, TouchesOnlyTheBytesOfTheBlock)
{
    std::vector<std::uint8_t> buffer(64, 250);
    Flip(std::span(buffer).subspan(8, 40), 240);
    for (std::size_t i = 0; i < buffer.size(); ++i)
        EXPECT_EQ(int(buffer[i]), i >= 8 && i < 48 ? 245 : 250) << "byte " << i;
}
