// Finding the FAT volume of a disk image from its bytes, and refusing the
// images that are not laid out as the disk is.

#include "host/disk/disk_image.h"
#include "host/host.h"
#include "host/system/drive_map.h"
#include "support/disk_images.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/host_error.h"
#include "support/scoped_variable.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace vantrel;
using vantrel::test::hostError;
using vantrel::test::hostErrorKind;
using vantrel::test::ImageKind;
using vantrel::test::runTool;
using vantrel::test::ScopedVariable;
using vantrel::test::TempImage;

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST(DiskImage, FindsTheVolumeOfEachKind)
{
    struct Case {
        ImageKind kind;
        int partition;
        std::int64_t offset;
        std::int64_t size;
        const char *container;
        const char *fileSystem;
    };
    const Case cases[] = {
        {ImageKind::Fat16Disk, 1, kMiB, 15 * kMiB, "raw disk image", "FAT16"},
        // The Linux partition before it is passed over.
        {ImageKind::Fat32Disk, 2, 2 * kMiB, 38 * kMiB, "raw disk image", "FAT32"},
        {ImageKind::Superfloppy, 0, 0, 1440 * 1024, "superfloppy image", "FAT12"},
        {ImageKind::FixedVhd, 1, kMiB, 15 * kMiB, "fixed VHD", "FAT16"},
        {ImageKind::SuperfloppyVhd, 0, 0, 1440 * 1024, "fixed VHD", "FAT12"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(test::kindName(c.kind));
        // The kind comes from the bytes: the name says nothing.
        const TempImage image(c.kind, "drive.qcow2");
        const DiskVolume volume = inspectDiskImage(image.path());
        EXPECT_EQ(volume.image, image.path());
        EXPECT_EQ(volume.partition, c.partition);
        EXPECT_EQ(volume.offset, c.offset);
        EXPECT_EQ(volume.size, c.size);
        EXPECT_EQ(volume.container, c.container);
        EXPECT_EQ(volume.fileSystem, c.fileSystem);
        EXPECT_EQ(volume.bootLabel, "WIN95");
        EXPECT_EQ(volume.identity(), image.path() + '@' + QString::number(c.partition));
    }
}

// A disk with four FAT partitions: two primaries, and two logical drives
// in an extended partition.
class PartitionedDisk : public ::testing::Test {
protected:
    void make(const QByteArray &table)
    {
        m_path = m_dir.filePath("disk.img");
        ASSERT_EQ(runTool("truncate", {"-s", "32M", m_path}).exitCode, 0);
        QFile script(m_dir.filePath("table"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(table);
        script.close();
        const test::ToolRun run = runTool(
            "sh", {"-c", "sfdisk -q --no-tell-kernel \"$0\" < \"$1\"", m_path, script.fileName()});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        // Each volume labelled after the sector it starts at.
        for (const auto &[start, label] :
             {std::pair{2048, "P1"}, {8192, "P2"}, {16384 + 2048, "L5"}, {24576 + 2048, "L6"}}) {
            const test::ToolRun made =
                runTool("mkfs.fat", {"-F", "12", "--offset", QString::number(start), "-n", label,
                                     m_path, "2048"});
            ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        }
    }

    QTemporaryDir m_dir;
    QString m_path;
};

TEST_F(PartitionedDisk, TakesTheActiveFatPartitionElseTheFirstOrTheOneAskedFor)
{
    struct Case {
        const char *what;
        const char *table;
        std::optional<int> asked;
        int partition;
        const char *label;
    };
    const char *const noneActive = "label: dos\n"
                                   "start=2048, size=4096, type=1\n"
                                   "start=8192, size=4096, type=6\n"
                                   "start=16384, type=5\n"
                                   "start=18432, size=4096, type=1\n"
                                   "start=26624, size=4096, type=e\n";
    const char *const secondActive = "label: dos\n"
                                     "start=2048, size=4096, type=1\n"
                                     "start=8192, size=4096, type=6, bootable\n"
                                     "start=16384, type=5\n"
                                     "start=18432, size=4096, type=1\n"
                                     "start=26624, size=4096, type=e\n";
    const Case cases[] = {
        {"none active", noneActive, std::nullopt, 1, "P1"},
        {"second active", secondActive, std::nullopt, 2, "P2"},
        {"asked for the first", secondActive, 1, 1, "P1"},
        {"asked for a logical drive", noneActive, 5, 5, "L5"},
        {"asked for the second logical drive", noneActive, 6, 6, "L6"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        make(c.table);
        const DiskVolume volume = inspectDiskImage(m_path, c.asked);
        EXPECT_EQ(volume.partition, c.partition);
        EXPECT_EQ(volume.bootLabel, c.label);
        EXPECT_EQ(volume.fileSystem, "FAT12");
    }
}

// The identity the backups are kept under comes through Host, and follows
// the partition chosen on the command line.
TEST_F(PartitionedDisk, TheHostsDriveIdentityFollowsTheChosenPartition)
{
    make("label: dos\n"
         "start=2048, size=4096, type=1\n"
         "start=8192, size=4096, type=6\n"
         "start=16384, type=5\n"
         "start=18432, size=4096, type=1\n"
         "start=26624, size=4096, type=e\n");
    const ScopedVariable drive("VANTREL_DRIVE_C", QFile::encodeName(m_path));
    test::FakeHost host;
    Host &asHost = host;
    EXPECT_EQ(asHost.driveIdentity("C:\\logo.sys"), m_path + "@1");
    host.choosePartition('c', 5);
    EXPECT_EQ(asHost.driveIdentity("c:\\WINDOWS\\logow.sys"), m_path + "@5");
    EXPECT_EQ(asHost.driveIdentity("/tmp/logo.sys"), QString());
}

TEST(DiskImage, RefusesAPartitionThatIsMissingOrHoldsNoFat)
{
    const TempImage disk(ImageKind::Fat32Disk);
    const TempImage floppy(ImageKind::Superfloppy);
    QTemporaryDir dir;
    const QString garbage = dir.filePath("garbage.img");
    writeFile(garbage, QByteArray(4096, 'x'));
    const QString tiny = dir.filePath("tiny.img");
    writeFile(tiny, "tiny");
    // A table whose one FAT partition starts beyond the end of the file.
    QByteArray table(512, '\0');
    table[446 + 4] = 0x06;
    table[446 + 8] = 1;
    table[446 + 12] = 100;
    table[510] = char(0x55);
    table[511] = char(0xAA);
    const QString cut = dir.filePath("cut.img");
    writeFile(cut, table);
    // A fixed VHD whose partition ends one sector into the footer: it fits
    // the file only when the footer is taken for data.
    table[446 + 12] = 8;
    const QString intoFooter = dir.filePath("into-footer.vhd");
    writeFile(intoFooter, table + QByteArray(7 * 512, '\0') + test::vhdFooter(8 * 512, 2));
    struct Case {
        QString path;
        std::optional<int> partition;
        QString reason;
        ErrorKind kind = ErrorKind::Other;
    };
    const Case cases[] = {
        {disk.path(), 3, "it has no partition 3 (its partitions: 1 (type 0x83), 2 (type 0x0c))"},
        {disk.path(), 1, "partition 1 (type 0x83) holds no FAT file system"},
        {disk.path(), 0, "it is a partitioned disk; choose one of its partitions"},
        {floppy.path(), 1,
         "it holds one FAT volume and no partition table, so it has no partition 1"},
        {garbage, std::nullopt, "it holds neither a FAT volume nor a partition table"},
        {tiny, std::nullopt, "it is too short to hold a disk (4 bytes)"},
        {cut, std::nullopt, "partition 1 reaches past the end of the image", ErrorKind::CutShort},
        {intoFooter, std::nullopt, "partition 1 reaches past the end of the image",
         ErrorKind::CutShort},
        {dir.filePath("none.img"), std::nullopt, "No such file or directory", ErrorKind::NotFound},
        {dir.path(), std::nullopt, "not a regular file", ErrorKind::IsDirectory},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.reason.toStdString());
        EXPECT_EQ(hostError([&] { inspectDiskImage(c.path, c.partition); }),
                  "cannot use the disk image " + c.path + ": " + c.reason);
        EXPECT_EQ(hostErrorKind([&] { inspectDiskImage(c.path, c.partition); }), c.kind);
    }
}

// Formats mtools cannot read are named, with the command that makes a raw
// image of them; the host refuses them before anything is written.
TEST(DiskImage, NamesTheFormatsItRefusesAndTheWayOut)
{
    QByteArray vdi(512, '\0');
    vdi.replace(0, 40, "<<< Oracle VM VirtualBox Disk Image >>>\n");
    vdi.replace(0x40, 4, QByteArray("\x7f\x10\xda\xbe", 4));
    const QByteArray dynamicFooter = test::vhdFooter(16 * kMiB, 3);
    QByteArray dynamicVhd = dynamicFooter + QByteArray(2048, '\0') + dynamicFooter;
    struct Case {
        const char *fileName;
        QByteArray bytes;
        const char *format;
        const char *raw;
    };
    const Case cases[] = {
        {"win98.qcow2", QByteArray("QFI\xfb\0\0\0\3", 8) + QByteArray(1024, '\0'), "a qcow2 image",
         "win98.img"},
        {"win98.vhd", dynamicVhd, "a dynamic VHD", "win98.img"},
        {"win98.vhdx", QByteArray("vhdxfile") + QByteArray(1024, '\0'), "a VHDX image",
         "win98.img"},
        {"win98.vdi", vdi, "a VDI image", "win98.img"},
        {"win98.vmdk", QByteArray("KDMV\1\0\0\0") + QByteArray(1024, '\0'), "a VMDK image",
         "win98.img"},
        // Already called .img: the hint does not overwrite it.
        {"win98.img", QByteArray("QFI\xfb\0\0\0\3", 8) + QByteArray(1024, '\0'), "a qcow2 image",
         "win98-raw.img"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fileName);
        QTemporaryDir dir;
        const QString path = dir.filePath(c.fileName);
        writeFile(path, c.bytes);
        const QString reason = QStringLiteral("cannot use the disk image %1: it is %2, which is "
                                              "not laid out as the disk is; convert it to a raw "
                                              "image first: qemu-img convert -O raw %1 %3")
                                   .arg(path, c.format, dir.filePath(c.raw));
        EXPECT_EQ(hostError([&] { inspectDiskImage(path); }), reason);
        const ScopedVariable drive("VANTREL_DRIVE_C", QFile::encodeName(path));
        EXPECT_EQ(hostError([&] { DriveMap().locate("C:\\logo.sys"); }), reason);
        EXPECT_EQ(test::fileBytes(path), c.bytes);
    }
}

TEST(DriveMap, LocatesPathsInsideAnImageAndItsChosenPartition)
{
    QTemporaryDir dir;
    const TempImage image(ImageKind::Fat16Disk);
    // A file that is literally called "x@1" is an image of its own.
    ASSERT_TRUE(QFile::copy(image.path(), dir.filePath("x@1")));
    struct Case {
        QByteArray drive;
        std::optional<int> chosen;
        QString reason; // empty: located in partition 1
    };
    const QByteArray path = QFile::encodeName(image.path());
    const Case cases[] = {
        {path, std::nullopt, {}},
        {path + "@1", std::nullopt, {}},
        {path + "@2", std::nullopt,
         "cannot use the disk image " + image.path() +
             ": it has no partition 2 (its partitions: 1 (type 0x06))"},
        // A chosen partition wins over the one the variable names.
        {path + "@2", 1, {}},
        {QFile::encodeName(dir.filePath("x@1")), std::nullopt, {}},
        {QFile::encodeName(dir.path()), 1,
         "a partition was chosen for drive C:, but it is the directory " + dir.path() +
             ", not a disk image"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.drive.toStdString());
        const ScopedVariable drive("VANTREL_DRIVE_C", c.drive);
        DriveMap map;
        if (c.chosen)
            map.choosePartition('c', *c.chosen);
        if (!c.reason.isEmpty()) {
            EXPECT_EQ(hostError([&] { map.locate("C:\\logo.sys"); }), c.reason);
            continue;
        }
        const Location location = map.locate("c:\\Windows\\..\\..\\WINDOWS\\.\\LogoW.sys");
        ASSERT_TRUE(location.onImage());
        EXPECT_EQ(location.inside, "/WINDOWS/LogoW.sys");
        EXPECT_EQ(location.volume->partition, 1);
        EXPECT_EQ(location.volume->offset, kMiB);
        EXPECT_EQ(hostError([&] { map.toNative("C:\\logo.sys"); }),
                  "C:\\logo.sys lies inside the disk image " + location.volume->image +
                      ", so it has no path of its own");
        EXPECT_FALSE(map.locate("/tmp/pic.bmp").onImage());
    }
}

// The backups keep copies per drive: the identity must be the same however
// the drive and the path are spelt, and differ between drives.
TEST(DriveMap, GivesEachDriveAnIdentityOfItsOwn)
{
    QTemporaryDir dir;
    const TempImage image(ImageKind::Fat32Disk);
    ASSERT_TRUE(QFile::link(image.path(), dir.filePath("link.img")));
    QDir(dir.path()).mkdir("drive");
    ASSERT_TRUE(QFile::link(dir.filePath("drive"), dir.filePath("drive-link")));
    struct Case {
        QByteArray drive;
        const char *path;
        QString identity;
    };
    const QString imageIdentity = image.path() + "@2";
    const Case cases[] = {
        {QFile::encodeName(image.path()), "C:\\logo.sys", imageIdentity},
        {QFile::encodeName(dir.filePath("link.img")), "c:\\WINDOWS\\LOGOW.SYS", imageIdentity},
        {QFile::encodeName(dir.filePath("link.img")) + "@2", "C:\\", imageIdentity},
        {QFile::encodeName(dir.filePath("drive")), "C:\\logo.sys", dir.filePath("drive")},
        {QFile::encodeName(dir.filePath("drive-link")), "C:\\logo.sys", dir.filePath("drive")},
        {QFile::encodeName(dir.filePath("none")), "C:\\logo.sys", dir.filePath("none")},
        {QFile::encodeName(image.path()), "/tmp/logo.sys", {}},
        {QFile::encodeName(image.path()), "logo.sys", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.drive.toStdString() + " " + c.path);
        const ScopedVariable drive("VANTREL_DRIVE_C", c.drive);
        EXPECT_EQ(DriveMap().driveIdentity(c.path), c.identity);
    }
}

} // namespace
