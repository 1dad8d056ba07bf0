#pragma once

// Disk images made for a test, with the same tools a user makes them with:
// truncate, sfdisk and mkfs.fat --offset (Debian coreutils, fdisk and
// dosfstools). Nothing is shipped. Files inside are read and written with
// mtools directly, never through the program's own code, and the file
// system is checked with fsck.fat on a copy of the volume.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <optional>

#include <sys/types.h>

namespace vantrel::test {

enum class ImageKind {
    // A whole disk, MBR with one active FAT16 partition at 1 MiB.
    Fat16Disk,
    // A whole disk, MBR with a Linux partition first and FAT32 second.
    Fat32Disk,
    // A 1.44 MB floppy's FAT12 volume, no partition table.
    Superfloppy,
    // The FAT16 disk followed by the 512-byte footer of a fixed VHD.
    FixedVhd,
    // The floppy's volume followed by the footer of a fixed VHD.
    SuperfloppyVhd,
    // A whole disk, MBR with two FAT16 partitions, the first active.
    TwoFatDisk,
};

// "FAT16 disk", "fixed VHD"...: for SCOPED_TRACE and test names.
const char *kindName(ImageKind kind);

// The result of a program run for a test.
struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// Runs `program` with `arguments` (no shell) and waits for it.
ToolRun runTool(const QString &program, const QStringList &arguments);

class TempImage {
public:
    // Makes an image of `kind` named `fileName` in a temporary directory,
    // labelled "WIN95". Throws std::runtime_error when a tool fails.
    explicit TempImage(ImageKind kind, const QString &fileName = QStringLiteral("win95.img"));

    QString path() const { return m_path; }
    // The volume's partition number (0 without a partition table) and
    // byte offset.
    int partition() const { return m_partition; }
    std::int64_t offset() const { return m_offset; }
    std::int64_t volumeSize() const { return m_volumeSize; }

    // The file at `inside` ("/WINDOWS/logow.sys"), read with mcopy; nothing
    // when mtools cannot read it.
    std::optional<QByteArray> read(const QString &inside) const;
    // Writes a file with mcopy, making directories on the way with mmd.
    void write(const QString &inside, const QByteArray &bytes) const;
    void makeDirectory(const QString &inside) const;
    // The names in a directory as stored, sorted, from mdir -b.
    QStringList names(const QString &insideDirectory) const;

    // WINDOWS\ and vantrel\ with stock files "stock-w" and "stock-s".
    void makeInstallation() const;

    // fsck.fat -n on a copy of the volume: empty when it is clean,
    // otherwise what fsck.fat said.
    QString fsckProblems() const;

    // The whole image file, and a new content for it.
    QByteArray bytes() const;
    void setBytes(const QByteArray &bytes) const;

private:
    QString mtoolsImage() const;

    QTemporaryDir m_dir;
    QString m_path;
    int m_partition = 0;
    std::int64_t m_offset = 0;
    std::int64_t m_volumeSize = 0;
};

// Another program holding an image, as an emulator does while its machine
// runs: a child process, running a program file named like the emulator,
// keeps it open for writing with an OFD write lock, as QEMU does; open
// read-only with an OFD read lock, as QEMU does for a read-only drive that
// lets nobody write; open for writing without a lock, as 86Box does; or
// open for reading alone, as QEMU with file.locking=off does for a
// read-only drive. The child ends when the object goes.
enum class Hold { WriteLock, ReadLock, OpenForWriting, OpenForReading };

class HeldImage {
public:
    // Opens `image` (any path to it) in a child that then runs a copy of
    // cat named `programName`, which waits for the end of its input.
    // Throws std::runtime_error when the child cannot hold the image.
    HeldImage(const QString &image, const char *programName, Hold hold);
    ~HeldImage();
    HeldImage(const HeldImage &) = delete;
    HeldImage &operator=(const HeldImage &) = delete;

    pid_t pid() const { return m_child; }

private:
    QTemporaryDir m_programDir;
    pid_t m_child = -1;
    int m_release[2] = {-1, -1};
};

// The 512-byte footer of a fixed VHD (disk type 2) for `dataSize` bytes of
// disk, or of a dynamic one (type 3).
QByteArray vhdFooter(std::int64_t dataSize, std::uint32_t diskType);

// Appends the footer of a fixed VHD for `dataSize` bytes to the file at
// `path`. Throws std::runtime_error when it cannot.
void appendVhdFooter(const QString &path, std::int64_t dataSize);

} // namespace vantrel::test
