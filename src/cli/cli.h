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
//   vantrel-cli plymouth LOGO DIR [--name NAME] [--delay-ms N] [--size WxH] [--shutdown LOGOW]
//   vantrel-cli backups [startup|shutdown|switchoff]
//   vantrel-cli undo startup|shutdown|switchoff [--to ID|original]
//   vantrel-cli setup
//   vantrel-cli drives
//   vantrel-cli drive [PATH[@N] | --forget]
//
// --drive PATH[@N] before the command uses that drive C for the one call;
// otherwise VANTREL_DRIVE_C, the remembered drive, then the default
// (drive/drive_choice.h).
//
// Exit status: 0 success, 1 the operation failed (reason on standard
// error), 2 a usage error. A failure to write standard output, such as a
// full disk, is reported and makes a success exit 1, as coreutils do.
//
// Arguments must be UTF-8: one that is not is refused before anything is
// done, since decoded it would name another file than the one meant.
// Only the commands that change something on drive C (install, restore,
// undo, setup, and animate when SOURCE or TARGET is a path of drive C) make
// the default drive when it is missing, and only once their arguments are
// read; --help, where, check and backups only look.
//
// How the pieces fit: runCli (cli.cpp) reads the program's own options,
// looks the command up in one table of commands and answers its --help
// from its row; otherwise it runs the command's function (cli_NAME.cpp,
// declared in cli_commands.h), which reads its arguments with the one
// option reader (cli_options.h), calls the same core as the windows, and
// prints. A mistake in the arguments, a failure and a failed write of the
// output are each reported in one place.

#include <QStringList>
#include <QTextStream>

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

} // namespace vantrel
