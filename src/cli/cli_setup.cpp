#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "drive/default_drive.h"
#include "drive/stock_art.h"
#include "logo/slots.h"

namespace vantrel {

namespace {

const QString kProgramDirectory = QStringLiteral("C:\\vantrel\\");

// Writes the stock picture `slot` is restored from, as setup makes it: a
// copy of the drive's own picture where the slot holds one, otherwise the
// program's own. Returns the line that says what was made.
QString makeStockPicture(Host &host, LogoSlot slot, const QString &windows)
{
    const QString stock = stockPath(slot);
    const QString installed = installedPath(slot, windows);
    if (host.pathKind(installed) == PathKind::File) {
        host.copyFile(installed, stock);
        return QStringLiteral("made %1  (a copy of %2, the drive's own %3 picture)")
            .arg(stock, installed, slotWord(slot));
    }
    writeWholeFile(host, stock,
                   slot == LogoSlot::Shutdown ? shutdownPicture() : switchOffPicture());
    return QStringLiteral("made %1  (Vantrel's stock %2 picture: the drive has none)")
        .arg(stock, slotWord(slot));
}

// Says which stock pictures a program directory that is there lacks, as
// Restore of that slot will fail.
void warnOfMissingStock(CommandContext &context)
{
    for (const LogoSlot slot : {LogoSlot::Shutdown, LogoSlot::SwitchOff}) {
        if (context.host().pathKind(stockPath(slot)) != PathKind::File) {
            context.report("warning: " + stockPath(slot) + " is missing, so restoring the " +
                           slotWord(slot) + " slot cannot work");
        }
    }
}

// Whether setup has a program directory to make: not when drive C has one
// already, which it leaves as it is. Throws HostError when drive C is no
// directory or something else stands in the program directory's place.
bool programDirectoryIsMissing(CommandContext &context)
{
    ConsoleHost &host = context.host();
    if (host.pathKind(QStringLiteral("C:\\")) != PathKind::Directory) {
        throw HostError(QStringLiteral("drive C: %1 is not a directory")
                            .arg(host.nativePath(QStringLiteral("C:\\"))));
    }
    switch (host.pathKind(kProgramDirectory)) {
    case PathKind::Directory:
        context.out << kProgramDirectory << " is there already  ("
                    << host.nativePath(kProgramDirectory) << "); setup leaves it as it is\n";
        warnOfMissingStock(context);
        return false;
    case PathKind::Missing:
        break;
    case PathKind::File:
    case PathKind::Other:
        throw HostError(QStringLiteral("%1 is there but is not a directory  (%2); setup leaves "
                                       "it as it is")
                            .arg(kProgramDirectory, host.nativePath(kProgramDirectory)));
    }
    return true;
}

void makeProgramDirectory(CommandContext &context)
{
    ConsoleHost &host = context.host();
    QTextStream &out = context.out;
    const QString windows = QueryWindowsDirectory(host);
    host.makeDirectories(kProgramDirectory);
    // Setup never changes a program directory that exists, so it says how
    // to get past the one it left half made.
    context.adviseOnFailure(kProgramDirectory +
                            " is incomplete: fill it in by hand, or remove it and run setup again");
    out << "made " << kProgramDirectory << "  (" << host.nativePath(kProgramDirectory) << ")\n";
    for (const LogoSlot slot : {LogoSlot::Shutdown, LogoSlot::SwitchOff})
        out << printedSpelling(makeStockPicture(host, slot, windows)) << "\n";
    const QString readme = kProgramDirectory + QStringLiteral("readme.txt");
    writeWholeFile(host, readme, readmeText());
    out << "made " << readme << "\n";
}

} // namespace

int setupCommand(const QStringList &arguments, CommandContext &context)
{
    readOperands(arguments, 0, 0, QStringLiteral("setup takes no arguments"));
    failingAs(QStringLiteral("cannot set up drive C"), [&] {
        if (programDirectoryIsMissing(context))
            makeProgramDirectory(context);
    });
    return kExitOk;
}

} // namespace vantrel
