#pragma once

// Disk images that stand for a drive.
//
// An emulator keeps its drive C in one file. Vantrel reads the kind of that
// file from its bytes, never from its name:
//
//  - a whole disk with an MBR partition table: the volume is the active FAT
//    partition, else the first FAT partition (primaries 1 to 4, then the
//    logical drives of an extended partition, 5 on), unless a partition
//    number is asked for;
//  - a bare FAT volume without a partition table (a "superfloppy");
//  - a fixed VHD: either of the above followed by a 512-byte footer.
//
// The formats whose data is not laid out as the disk is (dynamic and
// differencing VHD, VHDX, qcow2, VDI, VMDK) are named and refused, with the
// command that turns them into a raw image. The partition table and the
// VHD footer are a few fixed fields, read here by hand; the FAT file
// system itself is left to mtools (host/mtools_drive.h).

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace vantrel {

// The FAT volume of a disk image that a drive stands for.
struct DiskVolume {
    // The image file, as a canonical path.
    QString image;
    // The partition number (1 to 4 primary, 5 on logical), or 0 for a
    // volume that fills the image.
    int partition = 0;
    // Where the volume starts in the image, and its length, in bytes.
    std::int64_t offset = 0;
    std::int64_t size = 0;
    // "raw disk image", "superfloppy image", "fixed VHD"...
    QString container;
    // "FAT12", "FAT16" or "FAT32".
    QString fileSystem;
    // The label in the boot sector, without its padding; empty for none.
    QString bootLabel;

    // The text that names this volume for good: the canonical image path
    // and the partition number, "/home/me/win95.img@1".
    QString identity() const { return image + '@' + QString::number(partition); }
};

// The FAT type and label a boot sector declares.
struct FatBootSector {
    QString fileSystem;
    QString label;
    // The volume's length as the boot sector gives it.
    unsigned bytesPerSector = 0;
    std::uint64_t totalSectors = 0;
};

// Reads a FAT boot sector (at least 512 bytes). Returns nothing when the
// bytes do not hold a plausible FAT boot sector: no 0x55AA signature, a
// sector size other than 512, 1024, 2048 or 4096, a cluster size that is
// not a power of two, no FAT, or no data clusters. The FAT type follows
// from the count of data clusters, as Windows decides it.
std::optional<FatBootSector> readFatBootSector(std::span<const std::uint8_t> sector);

// Finds the volume of the disk image at `path` (a native path). With
// `partition` set, that partition is taken (0 asks for a volume that
// fills the image). Throws HostError naming the image and the reason: a
// file that cannot be read, a refused format with the way to convert it
// ("... is a qcow2 image; mtools needs a raw one: qemu-img convert -O raw
// ..."), a partition that is missing or holds no FAT file system, or bytes
// that are neither a FAT volume nor a partitioned disk. Nothing outside
// the file system is ever within the volume it returns: damage that would
// let a write reach past it is refused, naming the numbers: a file system
// longer than its partition or its file, a partition past the end of the
// file (for a VHD, of the data before its footer), partitions that
// overlap, a VHD footer whose checksum or disk size is wrong.
DiskVolume inspectDiskImage(const QString &path, std::optional<int> partition = std::nullopt);

} // namespace vantrel
