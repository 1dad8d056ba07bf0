#pragma once

// Runs vantrel-cli commands in-process, capturing what they print.

#include "cli/cli.h"
#include "cli/console_host.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace vantrel::test {

struct CliRun {
    int code;
    QString out;
    QString err;
};

// Runs one command (without the program name) on the current drive
// mapping with the console host.
inline CliRun runCommand(const QStringList &arguments)
{
    CliRun run{0, {}, {}};
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    ConsoleHost host(err);
    CliContext context{host, out, err};
    run.code = runCli(arguments, context);
    out.flush();
    err.flush();
    return run;
}

} // namespace vantrel::test
