#include "cli/cli.h"

#include "cli/console_host.h"
#include "codec/logo_format.h"
#include "drive/default_drive.h"
#include "host/disk/mtools_drive.h"
#include "host/file_replacement.h"
#include "host/posix_file.h"
#include "host/system/drive_map.h"
#include "logo/slots.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <optional>

namespace vantrel {

namespace {

const char kUsage[] =
    "usage: vantrel-cli <command> [arguments]\n"
    "\n"
    "commands:\n"
    "  where                               show the drive, the Windows directory and the slots\n"
    "  install startup|shutdown|switchoff FILE\n"
    "                                      copy FILE into a logo slot\n"
    "  restore startup|shutdown|switchoff|all\n"
    "                                      put the default picture back\n"
    "  animate SOURCE TARGET [--start S] [--reverse]\n"
    "                                      write an animated start-up logo\n"
    "  check FILE...                       tell whether files are logo bitmaps\n"
    "  convert INPUT OUTPUT [options]      make a logo bitmap from any picture\n"
    "  export LOGO OUT.gif [--size WxH] [--delay-ms N] [--cycles K] [--frames DIR]\n"
    "                                      write a logo's animation as a GIF\n"
    "  backups [startup|shutdown|switchoff]\n"
    "                                      list the copies kept of replaced slot files\n"
    "  undo startup|shutdown|switchoff [--to ID|original]\n"
    "                                      put a kept copy back into a slot\n"
    "  setup                               make C:\\vantrel\\ from the drive's own pictures\n"
    "\n"
    "Drive C is the directory in VANTREL_DRIVE_C, or ~/.local/share/vantrel/drive_c.\n"
    "VANTREL_DRIVE_C may also name an emulator's disk image (raw or fixed VHD);\n"
    "--partition N before the command (or VANTREL_DRIVE_C=IMAGE@N) picks partition N.\n"
    "Run 'vantrel-cli <command> --help' for more.\n";

const char kWhereUsage[] =
    "usage: vantrel-cli where\n"
    "Prints the directory that stands for drive C (or its disk image, partition,\n"
    "file system and label), the Windows directory, and\n"
    "for each logo slot its path, the native file and whether one is installed;\n"
    "then any file an interrupted write left beside a slot. Changes nothing.\n";

const char kInstallUsage[] =
    "usage: vantrel-cli install startup|shutdown|switchoff FILE\n"
    "Copies FILE into the slot, replacing what is there. Any file is accepted;\n"
    "one that is not a logo bitmap gets a warning, as Windows will not show it.\n";

const char kRestoreUsage[] =
    "usage: vantrel-cli restore startup|shutdown|switchoff|all\n"
    "startup deletes C:\\logo.sys; shutdown and switchoff copy the stock picture\n"
    "from C:\\vantrel\\ back (vantrel-cli setup makes it); all does the three\n"
    "and reports nothing. What a slot held is kept first: see vantrel-cli undo.\n";

QString partitionText(const DiskVolume &volume)
{
    if (volume.partition == 0)
        return QStringLiteral("one volume filling it, no partition table");
    return QStringLiteral("partition %1, at byte %2").arg(volume.partition).arg(volume.offset);
}

// where, for a drive C that is a disk image: the slots are looked up
// inside it, where no file is ever left over by an interrupted write.
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
                   .arg(slotName(slot), -11)
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
}

int where(const QStringList &arguments, CliContext &context)
{
    if (wantsHelp(arguments)) {
        context.out << kWhereUsage;
        return kExitOk;
    }
    if (!arguments.isEmpty())
        return usageError(context, "where takes no arguments", kWhereUsage);

    ConsoleHost &host = context.host;
    QTextStream &out = context.out;
    try {
        const QString windows = QueryWindowsDirectory(host);
        if (const Location root = host.locate("C:\\"); root.onImage()) {
            whereOnImage(host, out, *root.volume, windows);
            return kExitOk;
        }
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
            out << QStringLiteral("%1 %2 %3  ").arg(slotName(slot), -11).arg(path, -22).arg(native);
            if (info.isFile())
                out << "(installed, " << info.size() << " bytes)\n";
            else
                out << (slot == LogoSlot::Startup ? "(not installed: the default)\n"
                                                  : "(missing)\n");
            if (!slotDirectories.contains(info.absolutePath()))
                slotDirectories << info.absolutePath();
        }
        // A killed write leaves its temporary file; the next write of the
        // same slot removes it once it is a minute old.
        for (const QString &directory : slotDirectories) {
            for (const QString &leftover : leftoverReplacements(directory)) {
                out << "left over:          " << leftover
                    << "  (from an interrupted write; the next write of "
                    << replacedFileName(QFileInfo(leftover).fileName()) << " removes it)\n";
            }
        }
    } catch (const HostError &error) {
        context.err << "vantrel-cli: " << error.reason() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

// Windows passes over a slot file that is not a logo bitmap without a word,
// so an install of one is followed by a warning with the reason and the
// command that makes a logo bitmap. The copy has succeeded by then; a file
// that cannot be read again is left without a warning.
void warnIfNotALogo(CliContext &context, const QString &file)
{
    try {
        const std::int64_t length = context.host.fileLength(file);
        std::array<std::uint8_t, kPaletteOffset> header{};
        const auto present = static_cast<std::size_t>(
            std::clamp<std::int64_t>(length, 0, std::int64_t(header.size())));
        const std::span<std::uint8_t> start(header.data(), present);
        context.host.openBinary(file, FileAccess::Read)->readAt(0, start);
        const QString problem = logoBitmapProblem(start, length);
        if (!problem.isEmpty()) {
            context.err << "vantrel-cli: warning: " << file << " is not a logo bitmap (" << problem
                        << "), so Windows will not show it\n"
                        << "vantrel-cli: 'vantrel-cli convert " << file
                        << " OUTPUT' makes one from any picture\n";
        }
    } catch (const HostError &) {
    }
}

int install(const QStringList &arguments, CliContext &context)
{
    if (wantsHelp(arguments)) {
        context.out << kInstallUsage;
        return kExitOk;
    }
    if (arguments.size() != 2)
        return usageError(context, "install takes a slot and a file", kInstallUsage);
    const std::optional<LogoSlot> slot = parseSlot(arguments[0]);
    if (!slot)
        return usageError(context, QStringLiteral("unknown slot '%1'").arg(arguments[0]),
                          kInstallUsage);
    prepareDrive(context);
    try {
        ChangeSlot(context.host, *slot, arguments[1], QueryWindowsDirectory(context.host));
    } catch (const HostError &error) {
        context.err << "vantrel-cli: cannot install the " << slotName(*slot)
                    << " logo: " << error.reason() << "\n";
        return kExitFailed;
    }
    warnIfNotALogo(context, arguments[1]);
    return kExitOk;
}

// A drive the user named often has no C:\vantrel\, and then there is
// no stock picture to restore: say so, and what makes one.
void explainMissingProgramDirectory(CliContext &context)
{
    try {
        if (context.host.pathKind(QStringLiteral("C:\\vantrel\\")) != PathKind::Missing)
            return;
    } catch (const HostError &) {
        return;
    }
    context.err << "vantrel-cli: C:\\vantrel\\ does not exist; 'vantrel-cli setup' makes it, "
                   "with the drive's own pictures as the ones to restore\n";
}

int restore(const QStringList &arguments, CliContext &context)
{
    if (wantsHelp(arguments)) {
        context.out << kRestoreUsage;
        return kExitOk;
    }
    if (arguments.size() != 1)
        return usageError(context, "restore takes one slot, or all", kRestoreUsage);
    const bool all = arguments[0].toLower() == "all";
    const std::optional<LogoSlot> slot = parseSlot(arguments[0]);
    if (!all && !slot)
        return usageError(context, QStringLiteral("unknown slot '%1'").arg(arguments[0]),
                          kRestoreUsage);
    prepareDrive(context);
    const QString windows = QueryWindowsDirectory(context.host);
    if (all) {
        RestoreAllSlots(context.host, windows);
        return kExitOk;
    }
    // The slot's own message comes first, word for word as the window shows
    // it; the line after it says what really went wrong.
    const std::optional<QString> reason = RestoreSlot(context.host, *slot, windows);
    if (reason) {
        context.err << "vantrel-cli: " << *reason << "\n";
        if (*slot != LogoSlot::Startup)
            explainMissingProgramDirectory(context);
        return kExitFailed;
    }
    return kExitOk;
}

// Takes a leading "--partition N" or "--partition=N" off `words` and
// chooses that partition of drive C's disk image. Returns the usage
// problem when the number is missing or not one, otherwise empty text.
QString takePartitionOption(QStringList &words, ConsoleHost &host)
{
    if (words.isEmpty() ||
        !(words.first() == "--partition" || words.first().startsWith("--partition=")))
        return {};
    QString number;
    if (words.first() == "--partition") {
        if (words.size() < 2)
            return QStringLiteral("--partition needs a number");
        number = words[1];
        words.remove(0, 2);
    } else {
        number = words.first().section('=', 1);
        words.removeFirst();
    }
    bool isNumber = false;
    const int partition = number.toInt(&isNumber, 10);
    if (!isNumber || partition < 0)
        return QStringLiteral("--partition takes a partition number, not '%1'").arg(number);
    host.choosePartition('C', partition);
    return {};
}

} // namespace

std::optional<LogoSlot> parseSlot(const QString &word)
{
    const QString w = word.toLower();
    if (w == "startup")
        return LogoSlot::Startup;
    if (w == "shutdown")
        return LogoSlot::Shutdown;
    if (w == "switchoff" || w == "switch-off")
        return LogoSlot::SwitchOff;
    return std::nullopt;
}

bool isHelp(const QString &argument)
{
    return argument == "--help" || argument == "-h";
}

bool wantsHelp(const QStringList &arguments)
{
    return std::any_of(arguments.begin(), arguments.end(), isHelp);
}

int usageError(CliContext &context, const QString &problem, const char *usage)
{
    context.err << "vantrel-cli: " << problem << "\n" << usage;
    context.err.flush();
    return kExitUsage;
}

void prepareDrive(CliContext &context)
{
    try {
        provisionDefaultDrive();
    } catch (const HostError &error) {
        context.err << "vantrel-cli: cannot set up the default drive: " << error.reason() << "\n";
    }
}

DecodedArguments decodeArguments(int argc, const char *const *argv)
{
    DecodedArguments decoded;
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView bytes(argv[i]);
        const std::optional<QString> text = posix::strictUtf8(bytes);
        if (!text) {
            decoded.problem = QStringLiteral("argument %1 is not valid UTF-8: %2; nothing was done")
                                  .arg(i)
                                  .arg(posix::quotedBytes(bytes));
            decoded.arguments.clear();
            return decoded;
        }
        decoded.arguments << *text;
    }
    return decoded;
}

int runCli(const QStringList &arguments, CliContext &context)
{
    const auto finish = [&](int code) {
        context.out.flush();
        if (context.out.status() != QTextStream::Ok) {
            const QIODevice *device = context.out.device();
            context.err << "vantrel-cli: write error: "
                        << (device != nullptr ? device->errorString()
                                              : QStringLiteral("the output cannot be written"))
                        << "\n";
            if (code == kExitOk)
                code = kExitFailed;
        }
        context.err.flush();
        if (context.err.status() != QTextStream::Ok && code == kExitOk)
            code = kExitFailed;
        return code;
    };
    QStringList words = arguments;
    if (const QString problem = takePartitionOption(words, context.host); !problem.isEmpty())
        return finish(usageError(context, problem, kUsage));
    if (words.isEmpty())
        return finish(usageError(context, "no command given", kUsage));
    const QString command = words.first();
    const QStringList rest = words.mid(1);
    if (command == "--help" || command == "-h" || command == "help") {
        context.out << kUsage;
        return finish(kExitOk);
    }
    if (command == "--version") {
        context.out << "vantrel-cli " << VANTREL_VERSION << "\n";
        return finish(kExitOk);
    }
    if (command == "where")
        return finish(where(rest, context));
    if (command == "install")
        return finish(install(rest, context));
    if (command == "restore")
        return finish(restore(rest, context));
    if (command == "animate")
        return finish(animateCommand(rest, context));
    if (command == "check")
        return finish(checkCommand(rest, context));
    if (command == "convert")
        return finish(convertCommand(rest, context));
    if (command == "export")
        return finish(exportCommand(rest, context));
    if (command == "backups")
        return finish(backupsCommand(rest, context));
    if (command == "undo")
        return finish(undoCommand(rest, context));
    if (command == "setup")
        return finish(setupCommand(rest, context));
    return finish(usageError(context, QStringLiteral("unknown command '%1'").arg(command), kUsage));
}

} // namespace vantrel
