#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "drive/drive_choice.h"
#include "logo/drive_list.h"

namespace vantrel {

namespace {

// What `drives` prints of one drive.
void printRow(QTextStream &out, const DriveRow &row)
{
    out << row.name << "  (" << row.source << ")" << (isDriveInUse(row) ? "  [in use]" : "")
        << "\n";
    out << "  path:     " << row.path << "\n";
    if (!row.problem.isEmpty()) {
        out << "  cannot be used: " << row.problem << "\n";
        return;
    }
    out << "  kind:     " << row.kind << "\n";
    if (row.windowsDirectory.isEmpty())
        return;
    out << "  Windows:  " << row.windowsDirectory
        << (row.windows9x ? "  (Windows 9x installed)" : "  (no Windows 9x found)") << "\n";
    out << "  logos:    " << slotsText(row) << "\n";
    if (!row.usedBy.isEmpty())
        out << "  held by " << row.usedBy << ": shut the machine down before writing to it\n";
}

} // namespace

void useDriveChoice(CliContext &context, const std::optional<QString> &option)
{
    const DriveChoice choice = resolveDriveChoice(context.host, option);
    applyDriveChoice(choice);
    if (const QString gone = choice.goneMessage(); !gone.isEmpty())
        context.err << "vantrel-cli: warning: " << gone << "\n";
}

int drivesCommand(const QStringList &arguments, CommandContext &context)
{
    readOperands(arguments, 0, 0, QStringLiteral("drives takes no arguments"));
    const FoundMachines machines = findMachines(userMachineSearch());
    for (DriveRow &row : listDrives(context.host(), machines)) {
        describeDrive(row);
        printRow(context.out, row);
    }
    for (const QString &skipped : machines.skipped)
        context.out << "not read: " << skipped << "\n";
    return kExitOk;
}

int driveCommand(const QStringList &arguments, CommandContext &context)
{
    OptionReader reader(arguments, {{"--forget"}});
    bool forget = false;
    while (const std::optional<Option> option = reader.next())
        forget = true;
    const QStringList operands =
        reader.operands(0, forget ? 0 : 1, QStringLiteral("drive takes one PATH, or --forget"));
    ConsoleHost &host = context.host();
    if (forget) {
        forgetDrive(host);
        context.out << "drive C is no longer remembered; the default is "
                    << DriveMap::defaultDriveC() << "\n";
    } else if (!operands.isEmpty()) {
        context.out << "remembered drive C: " << rememberDrive(host, operands.first()) << "\n";
    } else {
        const QString drive = driveInUseText();
        const DriveSource source = driveInUse().source;
        context.out << "drive C: " << drive;
        // The default drive's text names itself so already.
        if (source != DriveSource::Default || !drive.endsWith(QStringLiteral(" (default)")))
            context.out << "  (" << driveSourceName(source) << ")";
        context.out << "\n";
        return kExitOk;
    }
    if (qEnvironmentVariableIsSet("VANTREL_DRIVE_C"))
        context.out << "VANTREL_DRIVE_C is set, and comes first while it is\n";
    return kExitOk;
}

} // namespace vantrel
