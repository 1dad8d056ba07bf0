#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "logo/slots.h"

#include <optional>

namespace vantrel {

namespace {

// Windows passes over a slot file that is not a logo bitmap without a word,
// so an install of one is followed by a warning with the reason and the
// command that makes a logo bitmap. The copy has succeeded by then; a file
// that cannot be read again is left without a warning.
void warnIfNotALogo(CommandContext &context, const QString &file)
{
    QString problem;
    try {
        problem = logoProblemOf(context.host(), file);
    } catch (const HostError &) {
        return;
    }
    if (!problem.isEmpty()) {
        context.report("warning: " + file + " is not a logo bitmap (" + problem +
                       "), so Windows will not show it");
        context.report("'vantrel-cli convert " + file + " OUTPUT' makes one from any picture");
    }
}

// A drive the user named often has no C:\vantrel\, and then there is
// no stock picture to restore: say so, and what makes one.
void explainMissingProgramDirectory(CommandContext &context)
{
    try {
        if (context.host().pathKind(QStringLiteral("C:\\vantrel\\")) != PathKind::Missing)
            return;
    } catch (const HostError &) {
        return;
    }
    context.report("C:\\vantrel\\ does not exist; 'vantrel-cli setup' makes it, with the drive's "
                   "own pictures as the ones to restore");
}

} // namespace

int installCommand(const QStringList &arguments, CommandContext &context)
{
    const QStringList words =
        readOperands(arguments, 2, 2, QStringLiteral("install takes a slot and a file"));
    const LogoSlot slot = readSlot(words[0]);
    failingAs(QStringLiteral("cannot install the %1 logo").arg(slotName(slot)), [&] {
        ChangeSlot(context.host(), slot, words[1], QueryWindowsDirectory(context.host()));
    });
    warnIfNotALogo(context, words[1]);
    return kExitOk;
}

int restoreCommand(const QStringList &arguments, CommandContext &context)
{
    const QStringList words =
        readOperands(arguments, 1, 1, QStringLiteral("restore takes one slot, or all"));
    if (words[0].toLower() == "all") {
        RestoreAllSlots(context.host(), QueryWindowsDirectory(context.host()));
        return kExitOk;
    }
    const LogoSlot slot = readSlot(words[0]);
    const QString windows = QueryWindowsDirectory(context.host());
    // The slot's own message comes first, word for word as the window shows
    // it; the line after it says what really went wrong.
    if (const std::optional<QString> reason = RestoreSlot(context.host(), slot, windows)) {
        context.fail(*reason);
        if (slot != LogoSlot::Startup)
            explainMissingProgramDirectory(context);
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace vantrel
