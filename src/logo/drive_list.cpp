#include "logo/drive_list.h"

#include "drive/drive_choice.h"
#include "host/disk/image_lock.h"
#include "host/system/system_host.h"
#include "logo/slot_table.h"
#include "logo/slots.h"

#include <QFileInfo>
#include <QImage>
#include <QSize>

#include <span>

namespace vantrel {

namespace {

// A slot file read for its picture: a logo bitmap is 129078 bytes, and a
// picture larger than this is shown as none.
constexpr std::int64_t kLargestPicture = 4 * 1024 * 1024;
// The partitions looked at for a choice: the primary ones and the first
// logical drives.
constexpr int kPartitionsTried = 8;

// The drive's identity (see DriveMap::driveIdentity), or the drive's own
// text when it cannot be read: two rows with one identity are one drive.
QString identityOf(const QString &drive)
{
    try {
        return DriveMap::withDriveC(drive).driveIdentity(QStringLiteral("C:\\"));
    } catch (const HostError &) {
        return drive;
    }
}

QString volumeKind(const DiskVolume &volume)
{
    QString kind = volume.container;
    if (volume.partition != 0)
        kind += QStringLiteral(", partition %1").arg(volume.partition);
    kind += QStringLiteral(", ") + volume.fileSystem;
    if (!volume.bootLabel.isEmpty())
        kind += QStringLiteral(", label ") + volume.bootLabel;
    return kind;
}

// The files of one drive, looked at without a desktop: nothing is shown.
class FileHost : public SystemHost {
public:
    using SystemHost::SystemHost;
    void messageBox(const QString &) override {}
    void beep() override {}
    QImage loadPicture(const QString &path) override
    {
        throw HostError(QStringLiteral("%1 is not shown here").arg(path));
    }
    QSize screenSizeTwips() override { return {}; }
    void showFileDialog(FileDialog &, FileDialogKind) override
    {
        throw HostError(QStringLiteral("no dialog is shown here"));
    }
};

// Reads the Windows directory and the slots of drive C of `host`.
void readInstallation(SystemHost &host, DriveRow &row)
{
    row.windowsDirectory = QueryWindowsDirectory(host);
    row.windows9x =
        host.recordedWindowsDirectory().has_value() ||
        host.pathKind(row.windowsDirectory + QStringLiteral("\\WIN.COM")) == PathKind::File;
    for (const LogoSlot slot : kAllSlots) {
        const QString path = installedPath(slot, row.windowsDirectory);
        const auto index = std::size_t(slot);
        row.slotsHold[index] = host.pathKind(path) == PathKind::File;
        if (!row.slotsHold[index])
            continue;
        const std::int64_t length = host.fileLength(path);
        if (length > 0 && length <= kLargestPicture) {
            QByteArray &bytes = row.slotBytes[index];
            bytes.resize(qsizetype(length));
            host.openBinary(path, FileAccess::Read)
                ->readAt(0, std::span(reinterpret_cast<std::uint8_t *>(bytes.data()),
                                      std::size_t(length)));
        }
    }
}

// The FAT partitions of a partitioned image, when there are several.
QList<int> fatPartitions(const DiskVolume &volume)
{
    QList<int> partitions;
    if (volume.partition == 0)
        return partitions;
    for (int partition = 1; partition <= kPartitionsTried; ++partition) {
        try {
            inspectDiskImage(volume.image, partition);
            partitions << partition;
        } catch (const HostError &) {
            // Not there, or no FAT file system in it.
        }
    }
    return partitions.size() > 1 ? partitions : QList<int>();
}

} // namespace

DriveRow makeDriveRow(const QString &name, const QString &source, const QString &drive,
                      const QString &path, const QString &declaredFormat)
{
    DriveRow row;
    row.name = name;
    row.source = source;
    row.drive = drive;
    row.path = path;
    row.declaredFormat = declaredFormat;
    return row;
}

std::vector<DriveRow> listDrives(Host &host, const FoundMachines &machines)
{
    std::vector<DriveRow> rows;
    QStringList identities;
    const auto add = [&](DriveRow row) {
        const QString identity = identityOf(row.drive);
        if (identities.contains(identity))
            return;
        identities << identity;
        rows.push_back(std::move(row));
    };
    for (const QString &drive : recentDrives(host)) {
        const QString path = drive.section('@', 0, 0);
        add(makeDriveRow(QFileInfo(path).fileName(), QStringLiteral("remembered"), drive, drive));
    }
    for (const FoundDisk &disk : machines.disks)
        add(makeDriveRow(disk.machine, disk.emulator, disk.image, disk.image, disk.declaredFormat));
    add(makeDriveRow(QStringLiteral("Vantrel's own drive"), QStringLiteral("default"), QString(),
                     DriveMap::defaultDriveC()));
    return rows;
}

void describeDrive(DriveRow &row)
{
    row.described = true;
    const bool isDefault = row.drive.isEmpty();
    if (!isDefault && !driveExists(row.drive)) {
        row.problem = QStringLiteral("%1 does not exist").arg(row.drive);
        return;
    }
    FileHost host(DriveMap::withDriveC(row.drive));
    try {
        const Location root = host.locate(QStringLiteral("C:\\"));
        if (root.onImage()) {
            row.kind = volumeKind(*root.volume);
            row.path = root.volume->image + '@' + QString::number(root.volume->partition);
            row.partitions = fatPartitions(*root.volume);
            if (const std::optional<ImageUser> user = imageUser(root.volume->image))
                row.usedBy = user->description();
        } else if (!QFileInfo(root.native).isDir()) {
            row.kind = QStringLiteral("directory, made on first use");
            if (!isDefault)
                row.problem = QStringLiteral("%1 is not a directory").arg(root.native);
            return;
        } else {
            row.kind = QStringLiteral("directory");
        }
        readInstallation(host, row);
    } catch (const HostError &error) {
        row.problem = error.reason();
    }
}

bool isDriveInUse(const DriveRow &row)
{
    try {
        return identityOf(row.drive) == DriveMap().driveIdentity(QStringLiteral("C:\\"));
    } catch (const HostError &) {
        return false;
    }
}

QString slotsText(const DriveRow &row)
{
    QStringList parts;
    for (const LogoSlot slot : kAllSlots)
        parts << slotName(slot) + (row.slotsHold[std::size_t(slot)] ? " yes" : " no");
    return parts.join(QStringLiteral(", "));
}

} // namespace vantrel
