#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "drive/drive_choice.h"
#include "host/disk/mtools_drive.h"
#include "host/file_replacement.h"
#include "host/system/drive_map.h"
#include "logo/slots.h"

#include <QFileInfo>

#include <optional>

namespace vantrel {

namespace {

QString partitionText(const DiskVolume &volume)
{
    if (volume.partition == 0)
        return QStringLiteral("one volume filling it, no partition table");
    return QStringLiteral("partition %1, at byte %2").arg(volume.partition).arg(volume.offset);
}

// The file an interrupted write left in each directory of a slot inside
// an image: the new content it staged there.
void listStagedLeftovers(ConsoleHost &host, QTextStream &out, const MtoolsDrive &drive,
                         const QString &windows)
{
    QStringList directories;
    for (const LogoSlot slot : kAllSlots) {
        const QString path = installedPath(slot, windows);
        const QString directory = path.left(path.lastIndexOf('\\') + 1);
        if (directories.contains(directory))
            continue;
        directories << directory;
        const QString inside = host.locate(directory).inside;
        if (const auto leftover = drive.stagedLeftover(inside, directory)) {
            out << "left over:          " << directory + leftover->name << "  (in the image: "
                << (inside.endsWith('/') ? inside : inside + '/') + leftover->name
                << "; from an interrupted write; the next replacement of a file in " << directory
                << " removes it)\n";
        }
    }
}

// where, for a drive C that is a disk image: the slots are looked up
// inside it, then the new content an interrupted write left there.
void whereOnImage(ConsoleHost &host, QTextStream &out, const DiskVolume &volume,
                  const QString &windows)
{
    QString label = MtoolsDrive(volume).label();
    if (label.isEmpty())
        label = volume.bootLabel;
    out << "drive C:            disk image " << volume.image << "\n";
    out << "image:              " << volume.container << ", " << partitionText(volume) << "\n";
    out << "file system:        " << volume.fileSystem << ", "
        << (label.isEmpty() ? QStringLiteral("no label") : "label " + label) << "\n";
    out << "Windows directory:  " << windows << "  (in the image: " << host.locate(windows).inside
        << ")\n";
    out << "program directory:  C:\\vantrel\\  (in the image: "
        << host.locate("C:\\vantrel\\").inside << ")\n";
    for (const LogoSlot slot : kAllSlots) {
        const QString path = installedPath(slot, windows);
        out << QStringLiteral("%1 %2 %3  ")
                   .arg(slotWord(slot), -11)
                   .arg(path, -22)
                   .arg(host.locate(path).inside);
        std::optional<std::int64_t> length;
        try {
            length = host.fileLength(path);
        } catch (const HostError &error) {
            // Not there is an answer; anything else is a failure to report.
            if (error.kind() != ErrorKind::NotFound)
                throw;
        }
        if (length)
            out << "(installed, " << *length << " bytes)\n";
        else
            out << (slot == LogoSlot::Startup ? "(not installed: the default)\n" : "(missing)\n");
    }
    listStagedLeftovers(host, out, MtoolsDrive(volume), windows);
}

// where, for a drive C that is a directory; then the files a killed write
// left beside a slot, which the next write of the same slot removes once
// they are a minute old.
void whereOnDirectory(ConsoleHost &host, QTextStream &out, const QString &windows)
{
    const QString drive = host.nativePath("C:\\");
    out << "drive C:            " << drive;
    if (!QFileInfo(drive).isDir()) {
        out << (DriveMap::driveCIsDefault() ? "  (does not exist yet: it is made on first use)"
                                            : "  (does not exist)");
    }
    out << "\n";
    out << "Windows directory:  " << windows << "  (" << host.nativePath(windows) << ")\n";
    out << "program directory:  C:\\vantrel\\  (" << host.nativePath("C:\\vantrel\\") << ")\n";
    QStringList slotDirectories;
    for (const LogoSlot slot : kAllSlots) {
        const QString path = installedPath(slot, windows);
        const QString native = host.nativePath(path);
        const QFileInfo info(native);
        out << QStringLiteral("%1 %2 %3  ").arg(slotWord(slot), -11).arg(path, -22).arg(native);
        if (info.isFile())
            out << "(installed, " << info.size() << " bytes)\n";
        else
            out << (slot == LogoSlot::Startup ? "(not installed: the default)\n" : "(missing)\n");
        if (!slotDirectories.contains(info.absolutePath()))
            slotDirectories << info.absolutePath();
    }
    for (const QString &directory : slotDirectories) {
        for (const QString &leftover : leftoverReplacements(directory)) {
            out << "left over:          " << leftover
                << "  (from an interrupted write; the next write of "
                << replacedFileName(QFileInfo(leftover).fileName()) << " removes it)\n";
        }
    }
}

} // namespace

int whereCommand(const QStringList &arguments, CommandContext &context)
{
    readOperands(arguments, 0, 0, QStringLiteral("where takes no arguments"));
    ConsoleHost &host = context.host();
    const QString windows = QueryWindowsDirectory(host);
    if (const Location root = host.locate("C:\\"); root.onImage())
        whereOnImage(host, context.out, *root.volume, windows);
    else
        whereOnDirectory(host, context.out, windows);
    context.out << "chosen by:          " << driveSourceName(driveInUse().source) << "\n";
    return kExitOk;
}

} // namespace vantrel
