#include "logo/slots.h"

#include "logo/backups.h"

#include <string>
#include <utility>

namespace vantrel {

namespace {

constexpr unsigned kWindowsDirectoryBuffer = 255;

} // namespace

QString QueryWindowsDirectory(Host &host)
{
    std::string buffer(kWindowsDirectoryBuffer, ' ');
    const unsigned length = host.windowsDirectory(buffer.data(), kWindowsDirectoryBuffer);
    if (length == 0)
        return {};
    const std::size_t nul = buffer.find('\0');
    if (nul != std::string::npos)
        buffer.resize(nul);
    const QString text = QString::fromLocal8Bit(buffer.data(), qsizetype(buffer.size()));

    QString trimmed = text;
    while (trimmed.endsWith(' '))
        trimmed.chop(1);
    if (!trimmed.endsWith('\\'))
        return trimmed + '\\';
    return text;
}

namespace {

// One restore step; throws HostError when it fails.
void restoreStep(Host &host, LogoSlot slot, const QString &windowsDirectory,
                 SlotOperation operation)
{
    const SlotReplacement replacement = restoreAction(slot) == RestoreAction::DeleteInstalled
                                            ? SlotReplacement::deletion()
                                            : SlotReplacement::copyOf(stockPath(slot));
    keepThenReplace(host, slot, installedPath(slot, windowsDirectory), operation, replacement);
}

// One restore step, shown nothing; the failure when it failed.
std::optional<RestoreFailure> tryRestore(Host &host, LogoSlot slot, const QString &windowsDirectory,
                                         SlotOperation operation)
{
    try {
        restoreStep(host, slot, windowsDirectory, operation);
    } catch (const SlotNotKept &error) {
        return RestoreFailure{slot, error.reason(), error};
    } catch (const HostError &error) {
        return RestoreFailure{slot, error.reason(), std::nullopt};
    }
    return std::nullopt;
}

} // namespace

void ChangeSlot(Host &host, LogoSlot slot, const QString &source, const QString &windowsDirectory)
{
    keepThenReplace(host, slot, changePath(slot, windowsDirectory), SlotOperation::Change,
                    SlotReplacement::copyOf(source));
}

std::optional<QString> RestoreSlot(Host &host, LogoSlot slot, const QString &windowsDirectory)
{
    const std::optional<RestoreFailure> failure =
        tryRestore(host, slot, windowsDirectory, SlotOperation::Restore);
    if (!failure)
        return std::nullopt;
    // Not the slot's own failure: its message would not be true.
    if (failure->notKept)
        throw *failure->notKept;
    host.messageBox(restoreFailedMessage(slot));
    return failure->reason;
}

std::optional<RestoreFailure> restoreSlotSilently(Host &host, LogoSlot slot,
                                                  const QString &windowsDirectory)
{
    return tryRestore(host, slot, windowsDirectory, SlotOperation::Restore);
}

bool slotHoldsDefault(Host &host, LogoSlot slot, const QString &windowsDirectory)
{
    if (restoreAction(slot) != RestoreAction::DeleteInstalled)
        return false;
    try {
        return host.pathKind(installedPath(slot, windowsDirectory)) == PathKind::Missing;
    } catch (const HostError &) {
        return false;
    }
}

std::vector<RestoreFailure> RestoreAllSlots(Host &host, const QString &windowsDirectory)
{
    // Restore All is silent by design: each step that can work does.
    std::vector<RestoreFailure> failures;
    for (const LogoSlot slot : kAllSlots) {
        if (std::optional<RestoreFailure> failure =
                tryRestore(host, slot, windowsDirectory, SlotOperation::RestoreAll))
            failures.push_back(std::move(*failure));
    }
    return failures;
}

} // namespace vantrel
