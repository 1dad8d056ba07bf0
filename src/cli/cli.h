#pragma once

// vantrel-cli: the slot and logo operations for scripts and machines
// without a desktop, on the same drive mapping and the same code as the
// application.
//
//   vantrel-cli where
//   vantrel-cli install startup|shutdown|switchoff FILE
//   vantrel-cli restore startup|shutdown|switchoff|all
//   vantrel-cli animate SOURCE TARGET [--start S] [--reverse]
//   vantrel-cli check FILE...
//   vantrel-cli convert INPUT OUTPUT [options]
//   vantrel-cli export LOGO OUT.gif [--size WxH] [--delay-ms N] [--cycles K] [--frames DIR]
//   vantrel-cli backups [startup|shutdown|switchoff]
//   vantrel-cli undo startup|shutdown|switchoff [--to ID|original]
//   vantrel-cli setup
//
// Exit status: 0 success, 1 the operation failed (reason on standard
// error), 2 a usage error. A failure to write standard output, such as a
// full disk, is reported and makes a success exit 1, as coreutils do.
//
// Arguments must be UTF-8: one that is not is refused before anything is
// done, since decoded it would name another file than the one meant.
// Only the commands that change something (install, restore, animate,
// undo, setup) make the default drive when it is missing; --help, where,
// check and backups only look.

#include "logo/slots.h"

#include <QStringList>
#include <QTextStream>

#include <optional>

namespace vantrel {

class ConsoleHost;

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct CliContext {
    ConsoleHost &host;
    QTextStream &out;
    QTextStream &err;
};

// Runs one command; `arguments` excludes the program name. Flushes both
// streams; a failed write of standard output is reported on standard
// error ("vantrel-cli: write error: No space left on device") and turns
// a success into kExitFailed.
int runCli(const QStringList &arguments, CliContext &context);

// The arguments after the program name, decoded from the bytes the system
// passed. When one is not UTF-8, `problem` names it and shows its bytes
// ("argument 2 is not valid UTF-8: $'\xff.bmp'; nothing was done") and
// the arguments are not to be used.
struct DecodedArguments {
    QStringList arguments;
    QString problem;
};
DecodedArguments decodeArguments(int argc, const char *const *argv);

// Makes the default drive if it is the one in use and missing, for a
// command that is about to change something; a failure is reported on
// standard error and the command goes on (its own step then fails with
// its own reason).
void prepareDrive(CliContext &context);

// The slot a command-line word names: "startup", "shutdown", "switchoff"
// or "switch-off", in any case; nothing for another word.
std::optional<LogoSlot> parseSlot(const QString &word);

// Whether a command's argument asks for its usage: "--help" or "-h".
bool isHelp(const QString &argument);

// Whether any of a command's arguments asks for its usage.
bool wantsHelp(const QStringList &arguments);

// Writes "vantrel-cli: <problem>" and the command's usage to standard
// error and returns kExitUsage; for the commands' own use.
int usageError(CliContext &context, const QString &problem, const char *usage);

// The logo bitmap commands (cli_image.cpp); `arguments` excludes the
// command word. Each returns its exit status.

// animate: writes TARGET from the logo bitmap SOURCE as AnimateLogo does;
// the starting entry must be an integer 1..255 (default 236).
int animateCommand(const QStringList &arguments, CliContext &context);
// check: reports the length and the header fields of each FILE against the
// logo bitmap's, with the animation state and the palette's warnings;
// succeeds when every FILE is a logo bitmap.
int checkCommand(const QStringList &arguments, CliContext &context);

// convert (cli_convert.cpp): writes OUTPUT as a logo bitmap made from the
// picture INPUT, with the fit, border, animated range, ramp, band and
// dithering the options ask for. Bad option values are usage errors; an
// undecodable INPUT, an OUTPUT that is INPUT itself and a failed write
// fail with the reason and leave no OUTPUT behind.
int convertCommand(const QStringList &arguments, CliContext &context);
// export (cli_export.cpp): writes the animation of the logo bitmap LOGO as
// an animated GIF, and with --frames each frame as a PNG; refuses a LOGO
// that is not a logo bitmap with check's reason, and writes nothing then.
int exportCommand(const QStringList &arguments, CliContext &context);

// The commands on the kept copies and the program directory
// (cli_backups.cpp).

// backups: lists the copies kept of each slot, or of one, newest first,
// with check's verdict on each. Fails only when an index cannot be read.
int backupsCommand(const QStringList &arguments, CliContext &context);
// undo: puts a kept copy back into a slot (UndoSlot) and says which;
// fails with the reason when none fits or the slot cannot be written.
int undoCommand(const QStringList &arguments, CliContext &context);
// setup: makes C:\vantrel\ with the readme and the stock pictures, from
// the drive's own where it has them, and prints what it made. Leaves a
// C:\vantrel\ that exists alone; never touches the slots.
int setupCommand(const QStringList &arguments, CliContext &context);

} // namespace vantrel
