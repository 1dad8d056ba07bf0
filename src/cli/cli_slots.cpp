#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "logo/slots.h"

#include <optional>

namespace vantrel {

namespace {

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

// restore all: the window's Restore All, which shows nothing; here each
// step that failed is reported with its reason, a start-up slot with no
// file being at its default already.
int restoreAll(CommandContext &context)
{
    ConsoleHost &host = context.host();
    const QString windows = QueryWindowsDirectory(host);
    bool failed = false;
    bool stockFailed = false;
    for (const RestoreFailure &failure : RestoreAllSlots(host, windows)) {
        if (slotHoldsDefault(host, failure.slot, windows))
            continue;
        context.report(QStringLiteral("cannot restore the %1 logo: %2")
                           .arg(slotWord(failure.slot), failure.reason));
        failed = true;
        stockFailed = stockFailed || failure.slot != LogoSlot::Startup;
    }
    if (stockFailed)
        explainMissingProgramDirectory(context);
    return failed ? kExitFailed : kExitOk;
}

} // namespace

int installCommand(const QStringList &arguments, CommandContext &context)
{
    const QStringList words =
        readOperands(arguments, 2, 2, QStringLiteral("install takes a slot and a file"));
    const LogoSlot slot = readSlot(words[0]);
    failingAs(QStringLiteral("cannot install the %1 logo").arg(slotWord(slot)), [&] {
        ChangeSlot(context.host(), slot, words[1], QueryWindowsDirectory(context.host()));
    });
    if (warnIfNotALogo(context, words[1]))
        context.report("'vantrel-cli convert " + words[1] + " OUTPUT' makes one from any picture");
    return kExitOk;
}

int restoreCommand(const QStringList &arguments, CommandContext &context)
{
    const QStringList words =
        readOperands(arguments, 1, 1, QStringLiteral("restore takes one slot, or all"));
    if (words[0].toLower() == "all")
        return restoreAll(context);
    const LogoSlot slot = readSlot(words[0]);
    ConsoleHost &host = context.host();
    const QString windows = QueryWindowsDirectory(host);
    const std::optional<RestoreFailure> failure = restoreSlotSilently(host, slot, windows);
    if (!failure)
        return kExitOk;
    // No start-up file to delete is the default a script asked for; the
    // slot's message says so, word for word as the window shows it.
    if (slotHoldsDefault(host, slot, windows)) {
        context.out << restoreFailedMessage(slot) << "\n";
        return kExitOk;
    }
    // "Already set to default" would be false with the start-up file still
    // there: the reason alone says what went wrong.
    if (slot == LogoSlot::Startup)
        return context.fail(failure->reason);
    // The others' messages come first, then what really went wrong.
    host.messageBox(restoreFailedMessage(slot));
    context.fail(failure->reason);
    explainMissingProgramDirectory(context);
    return kExitFailed;
}

} // namespace vantrel
