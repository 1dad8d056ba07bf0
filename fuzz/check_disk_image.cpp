#include "checks.h"
#include "input_reader.h"

#include "host/disk/disk_image.h"
#include "host/host.h"
#include "host/posix_file.h"

#include <QFileInfo>

#include <array>
#include <optional>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel::fuzz {

namespace {

constexpr std::int64_t kSector = 512;
// A sparse file of up to 1 GiB: partitions and boot sectors may claim
// what they like, the file costs only the sectors written.
constexpr std::uint32_t kMaxSectors = 1u << 21;

// The image the inspection reads, rewritten for each input: a file in
// memory, as truncating a sparse file on a disk takes thousands of times
// longer. It is opened by its path, as an image is.
int imageDescriptor()
{
    static const posix::Fd fd(::memfd_create("disk.img", MFD_CLOEXEC));
    require(fd.get() >= 0, "cannot make the image file");
    return fd.get();
}

const QString &imageFile()
{
    static const QString path = QStringLiteral("/proc/self/fd/%1").arg(imageDescriptor());
    return path;
}

// The input as an image: its length in sectors, then sectors each after
// its number (modulo the length); the rest of the file reads as zeros.
void writeImage(InputReader &in)
{
    const std::int64_t sectors = in.le32() % (kMaxSectors + 1);
    const int fd = imageDescriptor();
    require(::ftruncate(fd, 0) == 0 && ::ftruncate(fd, sectors * kSector) == 0,
            "cannot write the image");
    while (sectors > 0 && !in.rest().empty()) {
        const std::int64_t at = std::int64_t(in.le32()) % sectors * kSector;
        std::array<std::uint8_t, kSector> sector{};
        for (std::uint8_t &byte : sector)
            byte = in.byte();
        require(::pwrite(fd, sector.data(), sector.size(), at) == kSector,
                "cannot write the image");
    }
}

std::array<std::uint8_t, kSector> sectorAt(std::int64_t offset)
{
    std::array<std::uint8_t, kSector> sector{};
    require(::pread(imageDescriptor(), sector.data(), sector.size(), offset) == kSector,
            [&] { return "the volume's boot sector at " + std::to_string(offset) + " is cut"; });
    return sector;
}

std::uint32_t le32At(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

// No primary partition of the table, other than the volume's own and the
// extended ones, shares a byte with the volume.
void requireNoOverlap(const DiskVolume &volume)
{
    const std::array<std::uint8_t, kSector> mbr = sectorAt(0);
    for (int i = 0; i < 4; ++i) {
        const std::size_t entry = 446 + std::size_t(i) * 16;
        const std::uint8_t type = mbr[entry + 4];
        const std::int64_t start = le32At(mbr, entry + 8) * kSector;
        const std::int64_t length = le32At(mbr, entry + 12) * kSector;
        if (i + 1 == volume.partition || type == 0 || length == 0 || type == 0x05 || type == 0x0F ||
            type == 0x85)
            continue;
        require(start >= volume.offset + volume.size || volume.offset >= start + length, [&] {
            return "partition " + std::to_string(i + 1) + " overlaps the volume of partition " +
                   std::to_string(volume.partition);
        });
    }
}

void requireWithinFile(const DiskVolume &volume, std::optional<int> wanted)
{
    struct stat info {};
    require(::fstat(imageDescriptor(), &info) == 0, "cannot read the image");
    const std::int64_t fileSize = info.st_size;
    const std::int64_t dataEnd = fileSize - (volume.container == "fixed VHD" ? kSector : 0);
    require(volume.image == QFileInfo(imageFile()).canonicalFilePath(),
            "the volume names no image");
    require(volume.offset >= 0 && volume.size > 0 && volume.offset % kSector == 0 &&
                volume.offset + volume.size <= dataEnd,
            [&] {
                return "volume at " + std::to_string(volume.offset) + " of " +
                       std::to_string(volume.size) + " bytes in " + std::to_string(dataEnd) +
                       " bytes of data";
            });
    require(!wanted || *wanted == volume.partition, "another partition than the one asked for");
    require((volume.partition == 0) == (volume.offset == 0), "a partition at byte 0");
    const std::optional<FatBootSector> boot = readFatBootSector(sectorAt(volume.offset));
    require(boot.has_value(), "the volume starts with no FAT boot sector");
    require(boot->fileSystem == volume.fileSystem, "the volume's file system is not its own");
    require(boot->totalSectors * boot->bytesPerSector <= std::uint64_t(volume.size),
            "the file system is longer than its volume");
}

} // namespace

Outcome checkDiskImage(std::span<const std::uint8_t> input)
{
    InputReader in(input);
    const std::uint8_t asked = in.byte();
    // Mostly the program's own choice; now and then a partition asked for.
    const std::optional<int> wanted =
        asked < 0xF0 ? std::nullopt : std::optional<int>(asked & 0x07);
    writeImage(in);
    DiskVolume volume;
    try {
        volume = inspectDiskImage(imageFile(), wanted);
    } catch (const HostError &error) {
        const QString start = "cannot use the disk image " + imageFile() + ": ";
        require(error.reason().startsWith(start) && error.reason().size() > start.size(), [&] {
            return "a refusal that does not name the image: " + error.reason().toStdString();
        });
        return Outcome::Refused;
    }
    requireWithinFile(volume, wanted);
    if (volume.partition != 0)
        requireNoOverlap(volume);
    return Outcome::Taken;
}

} // namespace vantrel::fuzz
