#include "host/disk/disk_image.h"

#include "host/host.h"
#include "host/little_endian.h"
#include "host/posix_file.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel {

using posix::Fd;

namespace {

constexpr std::int64_t kSector = 512;
constexpr std::size_t kVhdFooter = 512;
// More logical drives than DOS has letters for means a table that loops.
constexpr int kMaxLogicalDrives = 64;

// The VHD footer is the one big-endian structure here.
std::uint32_t be32(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t(byteAt(b, at)) << 24 | std::uint32_t(byteAt(b, at, 1)) << 16 |
           std::uint32_t(byteAt(b, at, 2)) << 8 | std::uint32_t(byteAt(b, at, 3));
}

std::uint64_t be64(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint64_t(be32(b, at)) << 32 | be32(b, at + 4);
}

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view magic)
{
    return bytes.size() >= magic.size() &&
           std::equal(magic.begin(), magic.end(), bytes.begin(),
                      [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
}

bool hasBootSignature(std::span<const std::uint8_t> sector)
{
    return sector.size() >= 512 && sector[510] == 0x55 && sector[511] == 0xAA;
}

bool isFatPartitionType(std::uint8_t type)
{
    switch (type) {
    case 0x01: // FAT12
    case 0x04: // FAT16 below 32 MiB
    case 0x06: // FAT16
    case 0x0B: // FAT32
    case 0x0C: // FAT32, LBA
    case 0x0E: // FAT16, LBA
        return true;
    default:
        // The same, hidden by a boot manager.
        return type >= 0x11 && type <= 0x1E && isFatPartitionType(std::uint8_t(type - 0x10));
    }
}

bool isExtendedPartitionType(std::uint8_t type)
{
    return type == 0x05 || type == 0x0F || type == 0x85;
}

struct Partition {
    int number;
    bool active;
    std::uint8_t type;
    std::int64_t offset;
    std::int64_t size;
};

class ImageReader {
public:
    ImageReader(const QString &path) : m_path(path)
    {
        struct stat info {};
        m_fd = posix::openWithoutWaiting(path, O_RDONLY, info);
        if (m_fd.get() < 0)
            fail(posix::systemError());
        if (!S_ISREG(info.st_mode))
            fail(QStringLiteral("not a regular file"), posix::notRegularFileKind(info.st_mode));
        m_size = info.st_size;
    }

    std::int64_t size() const { return m_size; }

    // The 512 bytes at `offset`, or nothing past the end.
    std::optional<std::array<std::uint8_t, 512>> sectorAt(std::int64_t offset) const
    {
        std::array<std::uint8_t, 512> sector{};
        if (offset < 0 || offset + kSector > m_size)
            return std::nullopt;
        std::size_t done = 0;
        while (done < sector.size()) {
            const ssize_t n = ::pread(m_fd.get(), sector.data() + done, sector.size() - done,
                                      offset + std::int64_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                fail(posix::systemError());
            if (n == 0)
                return std::nullopt;
            done += std::size_t(n);
        }
        return sector;
    }

    [[noreturn]] void fail(const QString &reason, ErrorKind kind = ErrorKind::Other) const
    {
        throw HostError(QStringLiteral("cannot use the disk image %1: %2").arg(m_path, reason),
                        kind);
    }
    [[noreturn]] void fail(const HostError &error) const { fail(error.reason(), error.kind()); }

private:
    QString m_path;
    Fd m_fd;
    std::int64_t m_size = 0;
};

// The fields of a FAT boot sector that say where everything lies.
struct BootFields {
    unsigned bytesPerSector = 0;
    unsigned sectorsPerCluster = 0;
    unsigned reserved = 0;
    unsigned fats = 0;
    unsigned rootEntries = 0;
    std::uint32_t total = 0;
    bool fat32Layout = false;
    std::uint32_t fatSectors = 0;

    // The sectors before the first cluster.
    std::uint64_t metadata() const
    {
        const std::uint64_t rootSectors =
            (std::uint64_t(rootEntries) * 32 + bytesPerSector - 1) / bytesPerSector;
        return reserved + std::uint64_t(fats) * fatSectors + rootSectors;
    }
};

BootFields bootFields(std::span<const std::uint8_t> s)
{
    BootFields f;
    f.bytesPerSector = readLe16(s, 11);
    f.sectorsPerCluster = byteAt(s, 13);
    f.reserved = readLe16(s, 14);
    f.fats = byteAt(s, 16);
    f.rootEntries = readLe16(s, 17);
    f.total = readLe16(s, 19) != 0 ? readLe16(s, 19) : readLe32(s, 32);
    f.fat32Layout = readLe16(s, 22) == 0;
    f.fatSectors = f.fat32Layout ? readLe32(s, 36) : readLe16(s, 22);
    return f;
}

// What keeps `s` from being a usable FAT boot sector, as the end of "its
// boot sector is damaged: ..."; empty when nothing does.
QString bootSectorFault(std::span<const std::uint8_t> s)
{
    if (!hasBootSignature(s))
        return QStringLiteral("it does not end in the signature 55 AA");
    const BootFields f = bootFields(s);
    if (f.bytesPerSector != 512 && f.bytesPerSector != 1024 && f.bytesPerSector != 2048 &&
        f.bytesPerSector != 4096)
        return QStringLiteral("it gives %1 bytes a sector").arg(f.bytesPerSector);
    if (f.sectorsPerCluster == 0 || (f.sectorsPerCluster & (f.sectorsPerCluster - 1)) != 0)
        return QStringLiteral("it gives %1 sectors a cluster").arg(f.sectorsPerCluster);
    if (f.reserved == 0)
        return QStringLiteral("it gives no reserved sectors");
    if (f.fats == 0 || f.fatSectors == 0)
        return QStringLiteral("it gives %1 FATs of %2 sectors").arg(f.fats).arg(f.fatSectors);
    if (f.metadata() >= f.total)
        return QStringLiteral("its FATs and root directory take %1 sectors of its %2")
            .arg(f.metadata())
            .arg(f.total);
    return {};
}

// A boot sector that names a FAT file system where mkfs.fat and Windows
// put the name, after a jump: meant as one, even when damaged.
bool looksLikeFatBootSector(std::span<const std::uint8_t> s)
{
    if (s.size() < 512)
        return false;
    const bool jump = byteAt(s, 0) == 0xE9 || (byteAt(s, 0) == 0xEB && byteAt(s, 2) == 0x90);
    return jump && (startsWith(s.subspan(54), "FAT1") || startsWith(s.subspan(82), "FAT32"));
}

// Where a raw copy of the image could go, for the conversion hint.
QString rawName(const QString &path)
{
    const QFileInfo info(path);
    QString raw = info.path() + '/' + info.completeBaseName() + ".img";
    if (raw == path)
        raw = info.path() + '/' + info.completeBaseName() + "-raw.img";
    return raw;
}

[[noreturn]] void refuseFormat(const QString &path, const QString &format)
{
    throw HostError(QStringLiteral("cannot use the disk image %1: it is %2, which is not laid out "
                                   "as the disk is; convert it to a raw image first: "
                                   "qemu-img convert -O raw %1 %3")
                        .arg(path, format, rawName(path)));
}

QString vhdKind(std::span<const std::uint8_t> footer)
{
    switch (be32(footer, 60)) {
    case 2:
        return QStringLiteral("a fixed VHD");
    case 3:
        return QStringLiteral("a dynamic VHD");
    case 4:
        return QStringLiteral("a differencing VHD");
    default:
        return QStringLiteral("a VHD of unknown type %1").arg(be32(footer, 60));
    }
}

// Names the formats that hold the disk in some other layout.
void refuseOtherFormats(const QString &path, std::span<const std::uint8_t> first)
{
    if (startsWith(first, "QFI\xfb"))
        refuseFormat(path, QStringLiteral("a qcow2 image"));
    if (startsWith(first, "vhdxfile"))
        refuseFormat(path, QStringLiteral("a VHDX image"));
    if (startsWith(first, "KDMV") || startsWith(first, "COWD") ||
        startsWith(first, "# Disk DescriptorFile"))
        refuseFormat(path, QStringLiteral("a VMDK image"));
    if (readLe32(first, 0x40) == 0xBEDA107F)
        refuseFormat(path, QStringLiteral("a VDI image"));
    // A dynamic or differencing VHD starts with a copy of its footer.
    if (startsWith(first, "conectix"))
        refuseFormat(path, vhdKind(first));
}

void addLogicalDrives(const ImageReader &image, std::int64_t extendedStart, std::int64_t dataEnd,
                      std::vector<Partition> &partitions)
{
    std::int64_t ebr = extendedStart;
    for (int number = 5; number < 5 + kMaxLogicalDrives; ++number) {
        const auto sector = image.sectorAt(ebr);
        if (!sector || !hasBootSignature(*sector) || ebr >= dataEnd)
            return;
        const std::span<const std::uint8_t> s(*sector);
        const std::uint8_t type = s[446 + 4];
        const std::uint32_t start = readLe32(s, 446 + 8);
        const std::uint32_t count = readLe32(s, 446 + 12);
        if (type != 0 && count != 0)
            partitions.push_back(
                {number, false, type, ebr + std::int64_t(start) * kSector, count * kSector});
        const std::uint32_t next = readLe32(s, 462 + 8);
        if (!isExtendedPartitionType(s[462 + 4]) || next == 0)
            return;
        ebr = extendedStart + std::int64_t(next) * kSector;
    }
}

QString sectorRange(const Partition &p)
{
    return QStringLiteral("%1 (sectors %2 to %3)")
        .arg(p.number)
        .arg(p.offset / kSector)
        .arg((p.offset + p.size) / kSector - 1);
}

// Two volumes sharing sectors would each write over the other. A logical
// drive lies inside its extended partition, as it should.
void refuseOverlaps(const ImageReader &image, const std::vector<Partition> &partitions)
{
    for (std::size_t i = 0; i < partitions.size(); ++i) {
        for (std::size_t k = i + 1; k < partitions.size(); ++k) {
            const Partition &a = partitions[i];
            const Partition &b = partitions[k];
            const bool container = (isExtendedPartitionType(a.type) && b.number >= 5) ||
                                   (isExtendedPartitionType(b.type) && a.number >= 5);
            if (container || a.offset >= b.offset + b.size || b.offset >= a.offset + a.size)
                continue;
            image.fail(QStringLiteral("its partitions %1 and %2 overlap")
                           .arg(sectorRange(a), sectorRange(b)));
        }
    }
}

std::vector<Partition> readPartitionTable(const ImageReader &image,
                                          std::span<const std::uint8_t> mbr, std::int64_t dataEnd)
{
    std::vector<Partition> partitions;
    for (int i = 0; i < 4; ++i) {
        const std::size_t entry = 446 + std::size_t(i) * 16;
        const std::uint8_t type = mbr[entry + 4];
        const std::uint32_t start = readLe32(mbr, entry + 8);
        const std::uint32_t count = readLe32(mbr, entry + 12);
        if (type == 0 || count == 0)
            continue;
        if (type == 0xEE)
            image.fail(QStringLiteral("it has a GPT partition table; Windows 95 and 98 boot only "
                                      "from an MBR one"));
        partitions.push_back({i + 1, mbr[entry] == 0x80, type, std::int64_t(start) * kSector,
                              std::int64_t(count) * kSector});
    }
    for (const Partition &p : std::vector<Partition>(partitions)) {
        if (isExtendedPartitionType(p.type))
            addLogicalDrives(image, p.offset, dataEnd, partitions);
    }
    refuseOverlaps(image, partitions);
    return partitions;
}

QString describePartitions(const std::vector<Partition> &partitions)
{
    QStringList listed;
    for (const Partition &p : partitions) {
        if (!isExtendedPartitionType(p.type))
            listed << QStringLiteral("%1 (type 0x%2)")
                          .arg(p.number)
                          .arg(p.type, 2, 16, QLatin1Char('0'));
    }
    return listed.isEmpty() ? QStringLiteral("none") : listed.join(", ");
}

const Partition &choosePartition(const ImageReader &image, const std::vector<Partition> &partitions,
                                 std::optional<int> wanted)
{
    if (wanted) {
        for (const Partition &p : partitions) {
            if (p.number == *wanted && !isExtendedPartitionType(p.type))
                return p;
        }
        image.fail(QStringLiteral("it has no partition %1 (its partitions: %2)")
                       .arg(*wanted)
                       .arg(describePartitions(partitions)));
    }
    for (const Partition &p : partitions) {
        if (p.active && isFatPartitionType(p.type))
            return p;
    }
    for (const Partition &p : partitions) {
        if (isFatPartitionType(p.type))
            return p;
    }
    image.fail(QStringLiteral("it has no FAT partition (its partitions: %1)")
                   .arg(describePartitions(partitions)));
}

} // namespace

std::optional<FatBootSector> readFatBootSector(std::span<const std::uint8_t> s)
{
    if (!bootSectorFault(s).isEmpty())
        return std::nullopt;
    const BootFields f = bootFields(s);
    const std::uint64_t clusters = (f.total - f.metadata()) / f.sectorsPerCluster;

    FatBootSector boot;
    boot.bytesPerSector = f.bytesPerSector;
    boot.totalSectors = f.total;
    std::size_t labelAt = 0;
    if (clusters < 4085)
        boot.fileSystem = QStringLiteral("FAT12");
    else if (clusters < 65525)
        boot.fileSystem = QStringLiteral("FAT16");
    else
        boot.fileSystem = QStringLiteral("FAT32");
    if (f.fat32Layout && s[66] == 0x29)
        labelAt = 71;
    else if (!f.fat32Layout && s[38] == 0x29)
        labelAt = 43;
    if (labelAt != 0) {
        const QString label =
            QString::fromLatin1(reinterpret_cast<const char *>(s.data() + labelAt), 11).trimmed();
        if (label != "NO NAME")
            boot.label = label;
    }
    return boot;
}

namespace {

// Refuses a footer that does not belong to the data before it: mtools
// would take the wrong bytes for the disk.
void checkVhdFooter(const ImageReader &image, std::span<const std::uint8_t> footer,
                    std::int64_t dataEnd)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < footer.size(); ++i)
        sum += i >= 64 && i < 68 ? 0u : footer[i];
    if (~sum != be32(footer, 64))
        image.fail(QStringLiteral("its VHD footer is damaged: its checksum is 0x%1, but its bytes "
                                  "give 0x%2")
                       .arg(be32(footer, 64), 8, 16, QLatin1Char('0'))
                       .arg(~sum, 8, 16, QLatin1Char('0')));
    if (be64(footer, 48) != std::uint64_t(dataEnd))
        image.fail(QStringLiteral("its VHD footer says the disk holds %1 bytes, but %2 bytes come "
                                  "before the footer")
                       .arg(be64(footer, 48))
                       .arg(dataEnd));
}

// Refuses a file system that reaches past the `room` bytes it has: mtools
// trusts the boot sector and would write there.
void checkFits(const ImageReader &image, const FatBootSector &boot, std::int64_t room,
               const QString &where)
{
    const std::uint64_t bytes = boot.totalSectors * boot.bytesPerSector;
    if (bytes > std::uint64_t(room))
        image.fail(QStringLiteral("the FAT file system says it holds %1 sectors of %2 bytes (%3 "
                                  "bytes), more than the %4 bytes of %5")
                       .arg(boot.totalSectors)
                       .arg(boot.bytesPerSector)
                       .arg(bytes)
                       .arg(room)
                       .arg(where));
}

DiskVolume superfloppyVolume(const ImageReader &image, DiskVolume volume, const FatBootSector &boot,
                             std::int64_t dataEnd)
{
    const bool vhd = volume.container == "fixed VHD";
    checkFits(image, boot, dataEnd,
              vhd ? QStringLiteral("the image before its VHD footer")
                  : QStringLiteral("the image"));
    volume.partition = 0;
    volume.offset = 0;
    volume.size = dataEnd;
    if (!vhd)
        volume.container = QStringLiteral("superfloppy image");
    volume.fileSystem = boot.fileSystem;
    volume.bootLabel = boot.label;
    return volume;
}

DiskVolume partitionVolume(const ImageReader &image, DiskVolume volume,
                           std::span<const std::uint8_t> mbr, std::int64_t dataEnd,
                           std::optional<int> partition)
{
    const std::vector<Partition> partitions = readPartitionTable(image, mbr, dataEnd);
    const Partition &chosen = choosePartition(image, partitions, partition);
    const auto boot = image.sectorAt(chosen.offset);
    if (!boot || chosen.offset + chosen.size > dataEnd)
        image.fail(
            QStringLiteral("partition %1 reaches past the end of the image").arg(chosen.number),
            ErrorKind::CutShort);
    const std::optional<FatBootSector> fat = readFatBootSector(*boot);
    if (!fat) {
        QString reason = QStringLiteral("partition %1 (type 0x%2) holds no FAT file system")
                             .arg(chosen.number)
                             .arg(chosen.type, 2, 16, QLatin1Char('0'));
        if (looksLikeFatBootSector(*boot))
            reason += "; its boot sector is damaged: " + bootSectorFault(*boot);
        image.fail(reason);
    }
    checkFits(image, *fat, chosen.size, QStringLiteral("partition %1").arg(chosen.number));
    volume.partition = chosen.number;
    volume.offset = chosen.offset;
    volume.size = chosen.size;
    volume.fileSystem = fat->fileSystem;
    volume.bootLabel = fat->label;
    return volume;
}

} // namespace

DiskVolume inspectDiskImage(const QString &path, std::optional<int> partition)
{
    const ImageReader image(path);
    const auto first = image.sectorAt(0);
    if (!first)
        image.fail(QStringLiteral("it is too short to hold a disk (%1 bytes)").arg(image.size()));
    refuseOtherFormats(path, *first);

    DiskVolume volume;
    volume.image = QFileInfo(path).canonicalFilePath();
    std::int64_t dataEnd = image.size();
    volume.container = QStringLiteral("raw disk image");
    if (const auto footer = image.sectorAt(image.size() - std::int64_t(kVhdFooter));
        footer && startsWith(*footer, "conectix")) {
        if (be32(*footer, 60) != 2)
            refuseFormat(path, vhdKind(*footer));
        dataEnd -= std::int64_t(kVhdFooter);
        checkVhdFooter(image, *footer, dataEnd);
        volume.container = QStringLiteral("fixed VHD");
    }

    if (const std::optional<FatBootSector> boot = readFatBootSector(*first)) {
        if (partition && *partition != 0)
            image.fail(QStringLiteral("it holds one FAT volume and no partition table, so it has "
                                      "no partition %1")
                           .arg(*partition));
        return superfloppyVolume(image, std::move(volume), *boot, dataEnd);
    }
    if (looksLikeFatBootSector(*first))
        image.fail("its boot sector is damaged: " + bootSectorFault(*first));
    if (!hasBootSignature(*first))
        image.fail(QStringLiteral("it holds neither a FAT volume nor a partition table"));
    if (partition && *partition == 0)
        image.fail(QStringLiteral("it is a partitioned disk; choose one of its partitions"));
    return partitionVolume(image, std::move(volume), *first, dataEnd, partition);
}

} // namespace vantrel
