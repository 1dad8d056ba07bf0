#include "app/cli.h"
#include "app/console_host.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    vantrel::ConsoleHost host(err);
    vantrel::CliContext context{host, out, err};
    return vantrel::runCli(app.arguments().mid(1), context);
}
