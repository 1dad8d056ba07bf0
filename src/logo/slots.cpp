#include "logo/slots.h"

#include "logo/backups.h"

#include <string>

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

} // namespace

void ChangeSlot(Host &host, LogoSlot slot, const QString &source, const QString &windowsDirectory)
{
    keepThenReplace(host, slot, changePath(slot, windowsDirectory), SlotOperation::Change,
                    SlotReplacement::copyOf(source));
}

std::optional<QString> RestoreSlot(Host &host, LogoSlot slot, const QString &windowsDirectory)
{
    try {
        restoreStep(host, slot, windowsDirectory, SlotOperation::Restore);
    } catch (const SlotNotKept &) {
        // Not the slot's own failure: its message would not be true.
        throw;
    } catch (const HostError &error) {
        host.messageBox(restoreFailedMessage(slot));
        return error.reason();
    }
    return std::nullopt;
}

std::vector<SlotNotKept> RestoreAllSlots(Host &host, const QString &windowsDirectory)
{
    std::vector<SlotNotKept> notKept;
    for (const LogoSlot slot : kAllSlots) {
        try {
            restoreStep(host, slot, windowsDirectory, SlotOperation::RestoreAll);
        } catch (const SlotNotKept &error) {
            notKept.push_back(error);
        } catch (const HostError &) {
            // Restore All is silent by design: each step that can work does.
        }
    }
    return notKept;
}

} // namespace vantrel
