#include "cli/cli.h"
#include "cli/console_host.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // The arguments are read from the bytes themselves: Qt's own list has
    // already turned what is not UTF-8 into U+FFFD.
    const vantrel::DecodedArguments decoded = vantrel::decodeArguments(argc, argv);
    if (!decoded.problem.isEmpty()) {
        err << "vantrel-cli: " << decoded.problem << Qt::endl;
        return vantrel::kExitFailed;
    }
    vantrel::ConsoleHost host(err);
    vantrel::CliContext context{host, out, err};
    return vantrel::runCli(decoded.arguments, context);
}
