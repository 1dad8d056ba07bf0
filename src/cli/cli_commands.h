#pragma once

// The commands of vantrel-cli and what each is given. To add a command:
//
//   1. Write `int fooCommand(const QStringList &arguments, CommandContext &context)`
//      in cli_foo.cpp and declare it below. It reads its arguments with an
//      OptionReader (cli_options.h), throwing UsageError for a mistake;
//      calls the core through context.host(); prints on context.out; and
//      returns its exit status. A HostError it lets through ends it with
//      the reason ("vantrel-cli: <reason>", kExitFailed).
//   2. Add its row to the table in cli.cpp: the name, the line for the
//      overall usage, the help text, the function and what it needs of
//      drive C. --help and the usage after a mistake come from that row.
//   3. Add cli_foo.cpp to CMakeLists.txt.
//   4. Name it in the overview in cli.h and in the README.

#include "cli/cli.h"

#include "codec/gif_export.h"
#include "host/host_error.h"
#include "image/logo_file.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <cstdint>
#include <optional>
#include <vector>

namespace vantrel {

class ConsoleHost;
class Host;

// What a command needs of drive C before it does its work.
enum CommandNeeds : unsigned {
    // It reads drive C, or any file through the drive mapping, as it is:
    // a missing default drive stays missing.
    kReadsDrive = 1U << 0,
    // It writes to drive C: the default drive is made first when it is
    // the one in use and missing.
    kMakesDefaultDrive = 1U << 1,
    // It works on the paths it is given, which may or may not lie on drive
    // C: the default drive is made as for kMakesDefaultDrive only once the
    // command names a path of drive C (CommandContext::usesPaths).
    kMakesDefaultDriveForItsPaths = 1U << 2,
};

// What a command works with: the console and, through host(), drive C
// as its row says it needs it.
class CommandContext {
public:
    CommandContext(CliContext &cli, unsigned needs);

    // The host. For a command that writes to drive C, the first call makes
    // the default drive when it is the one in use and missing, after the
    // arguments are read, so that a mistake in them makes nothing; a
    // failure to make it is reported and the command goes on, its own step
    // then failing with its own reason.
    ConsoleHost &host();

    // Tells a command of kMakesDefaultDriveForItsPaths the paths it is to
    // work on, before its first call of host(): one on drive C ("C:\...",
    // in either case) makes it need the default drive.
    void usesPaths(const QStringList &paths);

    // Writes "vantrel-cli: <line>" on standard error, after what the
    // command has printed so far, its paths as printedSpelling spells them.
    void report(const QString &line);

    // Reports a failed operation, and the advice given for a failure at
    // this point if any; returns kExitFailed.
    int fail(const QString &reason);

    // A line to report after any failure from here on, such as how to
    // recover from a step left half done.
    void adviseOnFailure(const QString &advice) { m_advice = advice; }

    QTextStream &out;
    QTextStream &err;

private:
    ConsoleHost &m_host;
    unsigned m_needs;
    bool m_driveMade = false;
    bool m_namesDriveC = false;
    QString m_advice;
};

// Runs `step`; a HostError it throws goes on with `what` before its reason
// ("cannot install the startup logo: cannot open ..."), of the same kind.
template <typename Step> auto failingAs(const QString &what, Step &&step) -> decltype(step())
{
    try {
        return step();
    } catch (const HostError &error) {
        throw HostError(what + ": " + error.reason(), error.kind());
    }
}

// The export size "640x480", "640x400" or "320x400" names; nothing for
// any other text.
std::optional<ExportSize> parseExportSize(const QString &text);

// Warns when the logo bitmap `source` will give one still frame although
// byte 50 names a starting entry: byte 51 is set, or no pixel uses the
// range.
void warnAboutStillness(CommandContext &context, const QString &source, const LogoMotion &motion);

// `text` with the paths of the slot table spelt as the command line prints
// them: drive C as "C:" ("C:\vantrel\logos.sys", "C:\logo.sys"), where the
// table keeps the lower-case spelling the slot operations use, and the
// host's reasons repeat it.
QString printedSpelling(QString text);

// Warns on standard error when the file at `path`, just written, is not a
// logo bitmap, with check's reason ("warning: FILE is not a logo bitmap
// (REASON), so Windows will not show it"): Windows passes over such a slot
// file without a word. Returns whether it warned; a file that cannot be
// read again gets no warning, the write having succeeded.
bool warnIfNotALogo(CommandContext &context, const QString &path);

// where (cli_where.cpp): prints the drive, the Windows directory, each slot
// and what an interrupted write left beside one. Changes nothing.
int whereCommand(const QStringList &arguments, CommandContext &context);

// install (cli_slots.cpp): copies FILE into a slot as Change does, then
// warns when it is not a logo bitmap, as Windows will not show it.
int installCommand(const QStringList &arguments, CommandContext &context);
// restore (cli_slots.cpp): puts the default picture back into a slot, or
// into all three, reporting each step that failed; a start-up slot with no file is at its
// default, said with the window's message. A shutdown or switch-off slot
// that fails gets the window's message, then the reason; a start-up file
// that stays gets the reason alone.
int restoreCommand(const QStringList &arguments, CommandContext &context);

// animate (cli_animate.cpp): writes TARGET from the logo bitmap SOURCE as
// AnimateLogo does; the starting entry must be an integer 1..255 (default
// 236). Warns when TARGET is no logo bitmap, such as one left longer.
int animateCommand(const QStringList &arguments, CommandContext &context);

// check (cli_check.cpp): reports the length and the header fields of each
// FILE against the logo bitmap's, with the animation state and the
// palette's warnings; succeeds when every FILE is a logo bitmap.
int checkCommand(const QStringList &arguments, CommandContext &context);

// convert (cli_convert.cpp): writes OUTPUT as a logo bitmap made from the
// picture INPUT, with the fit, border, animated range, ramp, band and
// dithering the options ask for. An undecodable INPUT, an OUTPUT that is
// INPUT itself and a failed write fail with the reason and leave no OUTPUT
// behind.
int convertCommand(const QStringList &arguments, CommandContext &context);

// export (cli_export.cpp): writes the animation of the logo bitmap LOGO as
// an animated GIF, and with --frames each frame as a PNG; refuses a LOGO
// that is not a logo bitmap with check's reason, and writes nothing then.
int exportCommand(const QStringList &arguments, CommandContext &context);

// plymouth (cli_plymouth.cpp): writes a Plymouth theme of the logo bitmap
// LOGO into the new or empty directory DIR; a refusal or a failure leaves
// nothing behind. Never touches the system's themes.
int plymouthCommand(const QStringList &arguments, CommandContext &context);

// backups (cli_backups.cpp): lists the copies kept of each slot, or of one,
// newest first, with check's verdict on each.
int backupsCommand(const QStringList &arguments, CommandContext &context);
// undo (cli_backups.cpp): puts a kept copy back into a slot (UndoSlot) and
// says which; fails with the reason when none fits or the slot cannot be
// written.
int undoCommand(const QStringList &arguments, CommandContext &context);

// Resolves drive C from --drive's value (`option`), VANTREL_DRIVE_C, the
// remembered drive and the default, and uses it for this call; warns on
// standard error when a remembered drive has gone (cli_drive.cpp).
void useDriveChoice(CliContext &context, const std::optional<QString> &option);

// drives (cli_drive.cpp): lists the remembered drives, the emulators'
// disks and the default drive, each with its kind, Windows directory and
// slots, then the configuration files that could not be read.
int drivesCommand(const QStringList &arguments, CommandContext &context);
// drive (cli_drive.cpp): says which drive C is in use and why; with PATH
// checks and remembers it; with --forget goes back to the default.
int driveCommand(const QStringList &arguments, CommandContext &context);

// setup (cli_setup.cpp): makes C:\vantrel\ with the readme and the stock
// pictures, from the drive's own where it has them, and prints what it
// made. Leaves a C:\vantrel\ that exists alone; never touches the slots.
int setupCommand(const QStringList &arguments, CommandContext &context);

} // namespace vantrel
