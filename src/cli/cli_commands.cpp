#include "cli/cli_commands.h"

#include "cli/console_host.h"
#include "codec/logo_format.h"
#include "drive/default_drive.h"
#include "host/system/drive_map.h"
#include "logo/slot_table.h"

#include <algorithm>
#include <memory>

namespace vantrel {

CommandContext::CommandContext(CliContext &cli, unsigned needs)
    : out(cli.out), err(cli.err), m_host(cli.host), m_needs(needs)
{}

ConsoleHost &CommandContext::host()
{
    Q_ASSERT((m_needs & (kReadsDrive | kMakesDefaultDrive | kMakesDefaultDriveForItsPaths)) != 0);
    const bool makesDrive = (m_needs & kMakesDefaultDrive) != 0 ||
                            ((m_needs & kMakesDefaultDriveForItsPaths) != 0 && m_namesDriveC);
    if (makesDrive && !m_driveMade) {
        m_driveMade = true;
        try {
            provisionDefaultDrive();
        } catch (const HostError &error) {
            report("cannot set up the default drive: " + error.reason());
        }
    }
    return m_host;
}

void CommandContext::usesPaths(const QStringList &paths)
{
    m_namesDriveC = std::any_of(paths.begin(), paths.end(), [](const QString &path) {
        return DriveMap::isDosPath(path) && path.front().toUpper() == 'C';
    });
}

void CommandContext::report(const QString &line)
{
    out.flush();
    err << "vantrel-cli: " << printedSpelling(line) << "\n";
    err.flush();
}

int CommandContext::fail(const QString &reason)
{
    report(reason);
    if (!m_advice.isEmpty())
        report(m_advice);
    return kExitFailed;
}

QString printedSpelling(QString text)
{
    for (const LogoSlot slot : kAllSlots) {
        for (const QString &path : {changePath(slot, {}), stockPath(slot)}) {
            if (path.startsWith(QStringLiteral("c:")))
                text.replace(path, "C:" + path.mid(2));
        }
    }
    return text;
}

bool warnIfNotALogo(CommandContext &context, const QString &path)
{
    QString problem;
    try {
        problem = logoProblemOf(context.host(), path);
    } catch (const HostError &) {
        return false;
    }
    if (problem.isEmpty())
        return false;
    context.report("warning: " + path + " is not a logo bitmap (" + problem +
                   "), so Windows will not show it");
    return true;
}

std::optional<ExportSize> parseExportSize(const QString &text)
{
    if (text == "640x480")
        return ExportSize::Screen640x480;
    if (text == "640x400")
        return ExportSize::Wide640x400;
    if (text == "320x400")
        return ExportSize::Raw320x400;
    return std::nullopt;
}

void warnAboutStillness(CommandContext &context, const QString &source, const LogoMotion &motion)
{
    if (motion.motion == Motion::HighByteSet) {
        context.report(QStringLiteral("warning: %1: byte 51 is %2, not 0, so byte 50 (%3) is no "
                                      "starting entry; writing one still frame")
                           .arg(source)
                           .arg(motion.highByte)
                           .arg(motion.start));
    } else if (motion.motion == Motion::RangeUnused) {
        context.report(QStringLiteral("warning: %1: no pixel uses palette entries %2 to 255, so "
                                      "nothing moves; writing one still frame")
                           .arg(source)
                           .arg(motion.start));
    }
}

} // namespace vantrel
