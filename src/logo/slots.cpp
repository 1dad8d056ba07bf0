#include "logo/slots.h"

#include "logo/backups.h"

#include <string>

namespace vantrel {

namespace {

constexpr unsigned kWindowsDirectoryBuffer = 255;

} // namespace

QString slotName(LogoSlot slot)
{
    switch (slot) {
    case LogoSlot::Startup:
        return QStringLiteral("startup");
    case LogoSlot::Shutdown:
        return QStringLiteral("shutdown");
    case LogoSlot::SwitchOff:
        return QStringLiteral("switch-off");
    }
    return {};
}

QString installedPath(LogoSlot slot, const QString &windowsDirectory)
{
    switch (slot) {
    case LogoSlot::Startup:
        return QStringLiteral("C:\\logo.sys");
    case LogoSlot::Shutdown:
        return windowsDirectory + QStringLiteral("logow.sys");
    case LogoSlot::SwitchOff:
        return windowsDirectory + QStringLiteral("logos.sys");
    }
    return {};
}

QString stockPath(LogoSlot slot)
{
    switch (slot) {
    case LogoSlot::Startup:
        return {};
    case LogoSlot::Shutdown:
        return QStringLiteral("C:\\vantrel\\logow.sys");
    case LogoSlot::SwitchOff:
        return QStringLiteral("c:\\vantrel\\logos.sys");
    }
    return {};
}

QString restoreFailedMessage(LogoSlot slot)
{
    switch (slot) {
    case LogoSlot::Startup:
        return QStringLiteral("The startup logo is already set to default.");
    case LogoSlot::Shutdown:
        return QStringLiteral(
            "Vantrel cannot find the shutdown screen file: Try looking in the vantrel directory");
    case LogoSlot::SwitchOff:
        return QStringLiteral(
            "Vantrel cannot locate the shutdown file: Try looking in the vantrel directory.");
    }
    return {};
}

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

// A copy whose source is not a regular file fails at once with its own
// reason; keeping the slot first would record a replacement that never
// happened.
bool canCopyFrom(Host &host, const QString &source)
{
    try {
        return host.pathKind(source) == PathKind::File;
    } catch (const HostError &) {
        return false;
    }
}

// Keeps the slot file, then copies `source` over it.
void replaceSlotFile(Host &host, LogoSlot slot, const QString &source, const QString &target,
                     SlotOperation operation)
{
    if (canCopyFrom(host, source))
        keepSlotFile(host, slot, target, operation);
    host.copyFile(source, target);
}

// One restore step; throws HostError when it fails.
void restoreStep(Host &host, LogoSlot slot, const QString &windowsDirectory,
                 SlotOperation operation)
{
    const QString installed = installedPath(slot, windowsDirectory);
    if (slot == LogoSlot::Startup) {
        keepSlotFile(host, slot, installed, operation);
        host.deleteFile(installed);
    } else {
        replaceSlotFile(host, slot, stockPath(slot), installed, operation);
    }
}

} // namespace

void ChangeSlot(Host &host, LogoSlot slot, const QString &source, const QString &windowsDirectory)
{
    const QString target = slot == LogoSlot::Startup ? QStringLiteral("c:\\logo.sys")
                                                     : installedPath(slot, windowsDirectory);
    replaceSlotFile(host, slot, source, target, SlotOperation::Change);
}

std::optional<QString> RestoreSlot(Host &host, LogoSlot slot, const QString &windowsDirectory)
{
    try {
        restoreStep(host, slot, windowsDirectory, SlotOperation::Restore);
    } catch (const HostError &error) {
        host.messageBox(restoreFailedMessage(slot));
        return error.reason();
    }
    return std::nullopt;
}

void RestoreAllSlots(Host &host, const QString &windowsDirectory)
{
    for (const LogoSlot slot : kAllSlots) {
        try {
            restoreStep(host, slot, windowsDirectory, SlotOperation::RestoreAll);
        } catch (const HostError &) {
            // Restore All is silent by design: each step that can work does.
        }
    }
}

} // namespace vantrel
