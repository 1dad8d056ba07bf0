#include "app/cli.h"
#include "app/console_host.h"
#include "app/default_drive.h"
#include "host/host.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    try {
        vantrel::provisionDefaultDrive();
    } catch (const vantrel::HostError &error) {
        err << "vantrel-cli: cannot set up the default drive: " << error.reason() << Qt::endl;
    }
    vantrel::ConsoleHost host(err);
    vantrel::CliContext context{host, out, err};
    return vantrel::runCli(app.arguments().mid(1), context);
}
