#include "cli/cli.h"

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "host/posix_file.h"

#include <QIODevice>

#include <algorithm>
#include <limits>
#include <optional>

namespace vantrel {

namespace {

// Each command's help: what 'vantrel-cli NAME --help' prints, and the
// usage shown after a mistake in its arguments.

const char kWhereHelp[] =
    "usage: vantrel-cli where\n"
    "Prints the directory that stands for drive C (or its disk image, partition,\n"
    "file system and label), the Windows directory, and\n"
    "for each logo slot its path, the native file and whether one is installed;\n"
    "then any file an interrupted write left beside a slot. Changes nothing.\n";

const char kInstallHelp[] =
    "usage: vantrel-cli install startup|shutdown|switchoff FILE\n"
    "Copies FILE into the slot, replacing what is there. Any file is accepted;\n"
    "one that is not a logo bitmap gets a warning, as Windows will not show it.\n";

const char kRestoreHelp[] =
    "usage: vantrel-cli restore startup|shutdown|switchoff|all\n"
    "startup deletes C:\\logo.sys (with none there it is at its default already);\n"
    "shutdown and switchoff copy the stock picture from C:\\vantrel\\ back\n"
    "(vantrel-cli setup makes it); all does the three, each whatever the one\n"
    "before did, and reports each that failed.\n"
    "What a slot held is kept first: see vantrel-cli undo.\n";

const char kAnimateHelp[] =
    "usage: vantrel-cli animate SOURCE TARGET [--start S] [--reverse]\n"
    "Writes TARGET as an animated start-up logo made from the logo bitmap SOURCE\n"
    "(a file of exactly 129078 bytes): byte 50 records the starting entry S, an\n"
    "integer from 1 to 255 (default 236), and palette entries S to 255 are the ones\n"
    "that cycle. With --reverse the pixel values S to 255 are mirrored, so that the\n"
    "colours travel the other way. The palette is copied unchanged. An existing\n"
    "TARGET is overwritten but not truncated; one left longer than a logo bitmap\n"
    "gets a warning, as Windows will not show it.\n";

const char kCheckHelp[] =
    "usage: vantrel-cli check FILE...\n"
    "Tells for each FILE whether it is a logo bitmap: its length and each header\n"
    "field against what a logo bitmap holds, the animated range recorded in byte 50\n"
    "and how many pixels use it, colours of the range that also appear below it,\n"
    "and the colour of palette entry 0, the border around the picture at start-up.\n"
    "Exit status 0 when every FILE is a logo bitmap, 1 otherwise.\n";

const char kConvertHelp[] =
    "usage: vantrel-cli convert INPUT OUTPUT [--fit crop|pad|stretch] [--border COLOUR]\n"
    "         [--start S] [--ramp COLOUR,COLOUR,...] [--band top|bottom[:ROWS]] [--no-dither]\n"
    "Makes a logo bitmap (320 x 400 pixels, 8 bits, 129078 bytes) from any picture:\n"
    "PNG, JPEG, BMP, GIF and the other formats installed. Windows shows the logo\n"
    "stretched to a 4:3 screen; the picture is fitted to that shape first.\n"
    "  --fit crop        fill the screen and cut the overflow, centred (the default)\n"
    "  --fit pad         show the whole picture, with the border colour around it\n"
    "  --fit stretch     fill the screen, ignoring the picture's own shape\n"
    "  --border COLOUR   palette entry 0: the colour Windows paints around the picture,\n"
    "                    also behind transparent parts (default black)\n"
    "  --start S         keep palette entries S to 255 for the animation that cycles them\n"
    "                    (S from 1 to 255); the picture uses entries 0 to S-1 only.\n"
    "                    Without it the picture uses all 256 entries and nothing moves\n"
    "  --ramp C,C,...    the colours the animated entries run through, as a loop that\n"
    "                    returns to its first (default red, yellow, green, cyan, blue,\n"
    "                    magenta)\n"
    "  --band top|bottom[:ROWS]\n"
    "                    paint a band of ROWS rows (default 20) across the picture whose\n"
    "                    pixels sweep through entries S to 255 from left to right: a bar\n"
    "                    that moves at boot. --band and --ramp without --start take S 236\n"
    "  --no-dither       give each pixel its nearest palette colour, without dithering\n"
    "A picture of 320x400, 640x400 or 640x480 is taken as a logo as export writes it,\n"
    "each logo pixel from the pixel under its centre, whatever the fit; a picture\n"
    "whose colours fit in the palette keeps them exactly, without dithering.\n"
    "A COLOUR is #RRGGBB, #RGB or a name such as black, white or navy. OUTPUT is\n"
    "written beside its place and renamed into it, so a failure leaves no partial\n"
    "file; it may not be INPUT itself.\n";

const char kExportHelp[] =
    "usage: vantrel-cli export LOGO OUT.gif [--size 640x480|640x400|320x400]\n"
    "                          [--delay-ms N] [--cycles K] [--frames DIR]\n"
    "Writes OUT.gif, an animated GIF of the start-up logo LOGO as Windows plays it:\n"
    "byte 50 holds the starting entry S, and at each step the colours of palette\n"
    "entries S to 255 move one entry down, the colour of S going to 255. One cycle\n"
    "is 256 - S frames. A logo whose byte 50 is 0 gives one still frame, and so,\n"
    "with a warning, does one whose byte 51 is not 0 or whose pixels do not use\n"
    "entries S to 255.\n"
    "  --size WxH    640x480 (the default) is what a 4:3 screen shows: each pixel\n"
    "                2 wide, and every 5 rows shown as 6 by repeating the middle\n"
    "                one, so that no colour is made up; 640x400 doubles the width\n"
    "                only; 320x400 keeps the raw pixels\n"
    "  --delay-ms N  how long each step shows, from 20 to 655350 ms, rounded to\n"
    "                hundredths of a second (default 70, the preview's pace);\n"
    "                real hardware cycles at its own pace\n"
    "  --cycles K    play the cycle K times, 1 to 65536 (default: forever)\n"
    "  --frames DIR  also write each frame whole, as frame-001.png, frame-002.png,\n"
    "                ... into the existing directory DIR\n"
    "Steps that look the same as the one before are written once, shown for their\n"
    "summed time.\n"
    "Every file is written beside its place and renamed into it. A LOGO that is not\n"
    "a logo bitmap is refused with the reason (see 'vantrel-cli check').\n";

const char kPlymouthHelp[] =
    "usage: vantrel-cli plymouth LOGO DIR [--name NAME] [--delay-ms N] [--size WxH]\n"
    "                            [--shutdown LOGOW]\n"
    "Writes a Plymouth theme of the start-up logo LOGO into DIR, which must be new\n"
    "or empty, so that Linux boots behind the logo too: NAME.plymouth, NAME.script\n"
    "and the logo's frames as PNG files, one for each step of the cycle that looks\n"
    "new (a logo that does not cycle gives one still frame). The script shows the\n"
    "logo centred at 4:3, as high as the screen, with black around it.\n"
    "  --name NAME       the theme's name (default: DIR's own name): 1 to 64\n"
    "                    letters, digits, '-', '_' and '.'\n"
    "  --delay-ms N      how long each step shows, from 20 to 655350 ms (default 70)\n"
    "  --size WxH        the frames' size: 640x480 (the default), 640x400 or\n"
    "                    320x400, as export writes them; the script scales them\n"
    "  --shutdown LOGOW  show the logo bitmap LOGOW, still, at shutdown and reboot\n"
    "Every file is written beside its place and renamed into it; a refusal or a\n"
    "failure leaves nothing behind. The command never touches the system's themes.\n"
    "To install the theme, as root:\n"
    "  cp -r DIR /usr/share/plymouth/themes/NAME\n"
    "  plymouth-set-default-theme -R NAME\n"
    "(-R rebuilds the initramfs, so that the theme shows from the start of the boot.)\n";

const char kBackupsHelp[] =
    "usage: vantrel-cli backups [startup|shutdown|switchoff] [--json]\n"
    "Lists the copies kept of each slot's file, or of the one slot named, newest\n"
    "first: the id that undo takes, when the content was last replaced, its size,\n"
    "the operation that replaced it and whether it is a logo bitmap. Vantrel keeps\n"
    "every slot file it replaces or deletes, each content once, in\n"
    "~/.local/share/vantrel/backups (under $XDG_DATA_HOME). The drive's original,\n"
    "the first content seen in a slot, is marked and always kept; of the others\n"
    "the newest 20 stay. A copy marked damaged no longer holds what was kept and\n"
    "is never put back. --json prints the same as one JSON object, for scripts.\n"
    "Changes nothing.\n";

const char kUndoHelp[] =
    "usage: vantrel-cli undo startup|shutdown|switchoff [--to ID|original]\n"
    "Puts a kept copy back into the slot: the newest one that differs from what\n"
    "the slot holds, the copy ID as 'vantrel-cli backups' lists it, or with\n"
    "--to original the drive's original. What the slot holds is kept first, so an\n"
    "undo can be undone by another.\n";

const char kSetupHelp[] =
    "usage: vantrel-cli setup\n"
    "Prepares drive C for Vantrel: makes C:\\vantrel\\ with readme.txt and the\n"
    "pictures Restore puts back, logow.sys and logos.sys. Each is a copy of the\n"
    "drive's own picture in the Windows directory where there is one, else\n"
    "Vantrel's stock picture. A C:\\vantrel\\ that exists is left as it is, and\n"
    "the slots are never touched. Prints what it made.\n";

const char kDrivesHelp[] =
    "usage: vantrel-cli drives\n"
    "Lists the drives that can stand for drive C: the remembered ones, last used\n"
    "first, the hard disks of the emulator machines found on this computer (86Box,\n"
    "PCem, libvirt, VirtualBox, DOSBox-X, Bochs), and Vantrel's own drive; each with\n"
    "its path (IMAGE@N for partition N), kind, Windows directory and slots, and\n"
    "whether it is in use. Reads the emulators' files, changes nothing.\n";

const char kDriveHelp[] =
    "usage: vantrel-cli drive [PATH[@N] | --forget]\n"
    "Without arguments, says which drive C is in use and why: --drive, the\n"
    "VANTREL_DRIVE_C variable, the remembered drive or the default. With PATH,\n"
    "checks that the directory or disk image (partition N) can be used and\n"
    "remembers it as drive C, writing nothing on it; --forget goes back to the\n"
    "default. --drive PATH[@N] before any command uses a drive for that call.\n";

// What the overall usage says after the list of commands.
const char kUsageEnd[] =
    "Drive C is the directory in VANTREL_DRIVE_C, or ~/.local/share/vantrel/drive_c.\n"
    "VANTREL_DRIVE_C may also name an emulator's disk image (raw or fixed VHD);\n"
    "--partition N before the command (or VANTREL_DRIVE_C=IMAGE@N) picks partition N.\n"
    "--drive PATH[@N] before the command uses that drive for the one call; 'drive'\n"
    "remembers one.\n"
    "Run 'vantrel-cli <command> --help' for more.\n";

struct Command {
    const char *name;
    // What the overall usage lists after the name, and what it says the
    // command does.
    const char *usage;
    const char *summary;
    const char *help;
    int (*run)(const QStringList &arguments, CommandContext &context);
    unsigned needs;
};

// The commands, in the order the overall usage lists them.
const Command kCommands[] = {
    {"where", "", "show the drive, the Windows directory and the slots", kWhereHelp, whereCommand,
     kReadsDrive},
    {"install", "startup|shutdown|switchoff FILE", "copy FILE into a logo slot", kInstallHelp,
     installCommand, kMakesDefaultDrive},
    {"restore", "startup|shutdown|switchoff|all", "put the default picture back", kRestoreHelp,
     restoreCommand, kMakesDefaultDrive},
    {"animate", "SOURCE TARGET [--start S] [--reverse]", "write an animated start-up logo",
     kAnimateHelp, animateCommand, kMakesDefaultDriveForItsPaths},
    {"check", "FILE...", "tell whether files are logo bitmaps", kCheckHelp, checkCommand,
     kReadsDrive},
    {"convert", "INPUT OUTPUT [options]", "make a logo bitmap from any picture", kConvertHelp,
     convertCommand, kReadsDrive},
    {"export", "LOGO OUT.gif [--size WxH] [--delay-ms N] [--cycles K] [--frames DIR]",
     "write a logo's animation as a GIF", kExportHelp, exportCommand, kReadsDrive},
    {"plymouth", "LOGO DIR [--name NAME] [options]", "write a Plymouth theme of a logo",
     kPlymouthHelp, plymouthCommand, kReadsDrive},
    {"backups", "[startup|shutdown|switchoff] [--json]",
     "list the copies kept of replaced slot files", kBackupsHelp, backupsCommand, kReadsDrive},
    {"undo", "startup|shutdown|switchoff [--to ID|original]", "put a kept copy back into a slot",
     kUndoHelp, undoCommand, kMakesDefaultDrive},
    {"setup", "", "make C:\\vantrel\\ from the drive's own pictures", kSetupHelp, setupCommand,
     kMakesDefaultDrive},
    {"drives", "", "list the drives that can be drive C", kDrivesHelp, drivesCommand, kReadsDrive},
    {"drive", "[PATH[@N] | --forget]", "show, remember or forget drive C", kDriveHelp, driveCommand,
     kReadsDrive},
};

// The column of the overall usage where each command's summary starts.
constexpr qsizetype kSummaryColumn = 38;

QString overallUsage()
{
    QString text = QStringLiteral("usage: vantrel-cli <command> [arguments]\n\ncommands:\n");
    for (const Command &command : kCommands) {
        QString line = QStringLiteral("  ") + command.name;
        if (*command.usage != '\0')
            line += QStringLiteral(" ") + command.usage;
        // A summary that would not stand two spaces clear goes on a line of
        // its own.
        if (line.size() + 2 <= kSummaryColumn)
            line = line.leftJustified(kSummaryColumn);
        else
            line += '\n' + QString(kSummaryColumn, ' ');
        text += line + command.summary + '\n';
    }
    return text + '\n' + kUsageEnd;
}

const Command *findCommand(const QString &name)
{
    const auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const Command &command) { return name == command.name; });
    return found == std::end(kCommands) ? nullptr : &*found;
}

// Writes "vantrel-cli: <problem>" and `usage` to standard error and
// returns kExitUsage.
int usageError(CliContext &context, const QString &problem, const QString &usage)
{
    context.err << "vantrel-cli: " << problem << "\n" << usage;
    context.err.flush();
    return kExitUsage;
}

// Chooses partition `number` of drive C's disk image, for --partition.
void choosePartition(ConsoleHost &host, const QString &number)
{
    const std::optional<int> partition = parseInteger(number, 0, std::numeric_limits<int>::max());
    if (!partition) {
        throw UsageError(
            QStringLiteral("--partition takes a partition number, not '%1'").arg(number));
    }
    host.choosePartition('C', *partition);
}

// Answers --help from the command's row, or runs it: a mistake in its
// arguments is shown with its usage, and a failure it lets through with
// the reason.
int runCommand(const Command &command, const QStringList &arguments, CliContext &cli)
{
    if (asksForHelp(arguments)) {
        cli.out << command.help;
        return kExitOk;
    }
    CommandContext context(cli, command.needs);
    try {
        return command.run(arguments, context);
    } catch (const UsageError &error) {
        return usageError(cli, error.problem(), QString::fromUtf8(command.help));
    } catch (const HostError &error) {
        return context.fail(error.reason());
    }
}

// The program's own options, then the command.
int dispatch(const QStringList &arguments, CliContext &context)
{
    QStringList words;
    const Command *command = nullptr;
    std::optional<QString> drive;
    try {
        OptionReader reader(arguments,
                            {{"--partition", OptionRule::Value},
                             {"--drive", OptionRule::Value},
                             {"--help"},
                             {"-h"},
                             {"--version"}},
                            OptionReader::Stop::AtFirstOperand);
        while (const std::optional<Option> option = reader.next()) {
            if (option->name == "--drive") {
                if (option->value.isEmpty())
                    throw UsageError(QStringLiteral("--drive takes a directory or disk image"));
                drive = option->value;
            } else if (option->name == "--partition") {
                choosePartition(context.host, option->value);
            } else if (option->name == "--version") {
                context.out << "vantrel-cli " << VANTREL_VERSION << "\n";
                return kExitOk;
            } else {
                context.out << overallUsage();
                return kExitOk;
            }
        }
        words = reader.operands();
        if (words.isEmpty())
            throw UsageError(QStringLiteral("no command given"));
        if (words.first() == "help") {
            context.out << overallUsage();
            return kExitOk;
        }
        command = findCommand(words.first());
        if (command == nullptr)
            throw UsageError(QStringLiteral("unknown command '%1'").arg(words.first()));
    } catch (const UsageError &error) {
        return usageError(context, error.problem(), overallUsage());
    }
    useDriveChoice(context, drive);
    return runCommand(*command, words.mid(1), context);
}

// Flushes both streams; a failed write of standard output is reported and
// turns a success into a failure.
int finished(CliContext &context, int code)
{
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
}

} // namespace

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
    return finished(context, dispatch(arguments, context));
}

} // namespace vantrel
