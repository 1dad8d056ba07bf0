#pragma once

// vantrel-cli: the slot and logo operations for scripts and machines
// without a desktop, on the same drive mapping and the same code as the
// application.
//
//   vantrel-cli where
//   vantrel-cli install startup|shutdown|switchoff FILE
//   vantrel-cli restore startup|shutdown|switchoff|all
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

} // namespace vantrel
