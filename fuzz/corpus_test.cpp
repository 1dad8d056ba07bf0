// Every file of fuzz/corpus/ through its target's check: the starting
// corpora, and the inputs that once broke an invariant or crashed, each
// kept there as the regression test of its fix.

#include "checks.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <ostream>
#include <string>
#include <vector>

namespace vantrel::fuzz {
namespace {

struct Target {
    const char *name;
    Outcome (*check)(std::span<const std::uint8_t>);
};

const Target kTargets[] = {
    {"logo_check", checkLogoCheck},         {"picture", checkPicture},
    {"drive_map", checkDriveMap},           {"convert", checkConvert},
    {"gif_export", checkGifExport},         {"disk_image", checkDiskImage},
    {"mtools_listing", checkMtoolsListing},
};

void PrintTo(const Target &target, std::ostream *os)
{
    *os << target.name;
}

class CorpusTest : public testing::TestWithParam<Target> {};

// Each file holds, and the corpus reaches both what the part under test
// takes and what it refuses, so that neither side goes unchecked.
TEST_P(CorpusTest, EveryFileKeepsTheInvariants)
{
    const Target &target = GetParam();
    const QDir directory(QStringLiteral(VANTREL_FUZZ_CORPUS "/") + target.name);
    const QStringList files = directory.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty()) << directory.path().toStdString() << " holds no files";
    int taken = 0;
    int refused = 0;
    for (const QString &name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile file(directory.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        try {
            const Outcome outcome = target.check(std::span<const std::uint8_t>(
                reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                std::size_t(bytes.size())));
            (outcome == Outcome::Taken ? taken : refused) += 1;
        } catch (const InvariantBroken &broken) {
            ADD_FAILURE() << "invariant broken: " << broken.what();
        } catch (const std::exception &error) {
            ADD_FAILURE() << "escaped the check: " << error.what();
        }
    }
    EXPECT_GT(taken, 0) << "no file of the corpus is taken";
    EXPECT_GT(refused, 0) << "no file of the corpus is refused";
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CorpusTest, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<Target> &param) {
                             return std::string(param.param.name);
                         });

} // namespace
} // namespace vantrel::fuzz
