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
//
// Exit status: 0 success, 1 the operation failed (reason on standard
// error), 2 a usage error.

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

// Runs one command; `arguments` excludes the program name.
int runCli(const QStringList &arguments, CliContext &context);

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

} // namespace vantrel
