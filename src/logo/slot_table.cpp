#include "logo/slot_table.h"

namespace vantrel {

namespace {

// One slot. A slot in the Windows directory has only its file name here;
// its path is the Windows directory text followed by that name.
struct SlotRow {
    LogoSlot slot;
    QStringView name;
    QStringView word;
    bool inWindowsDirectory;
    QStringView installed;
    QStringView changed;
    QStringView stock;
    RestoreAction restore;
    QStringView restoreFailed;
};

constexpr SlotRow kSlotTable[] = {
    {LogoSlot::Startup, u"startup", u"startup", false, u"C:\\logo.sys", u"c:\\logo.sys",
     QStringView(), RestoreAction::DeleteInstalled, u"The startup logo is already set to default."},
    {LogoSlot::Shutdown, u"shutdown", u"shutdown", true, u"logow.sys", u"logow.sys",
     u"C:\\vantrel\\logow.sys", RestoreAction::CopyStock,
     u"Vantrel cannot find the shutdown screen file: Try looking in the vantrel directory"},
    {LogoSlot::SwitchOff, u"switch-off", u"switchoff", true, u"logos.sys", u"logos.sys",
     u"c:\\vantrel\\logos.sys", RestoreAction::CopyStock,
     u"Vantrel cannot locate the shutdown file: Try looking in the vantrel directory."},
};

// Row i describes kAllSlots[i], so that a slot finds its row by its value.
static_assert(std::size(kSlotTable) == kAllSlots.size() && [] {
    for (std::size_t i = 0; i < kAllSlots.size(); ++i) {
        if (kSlotTable[i].slot != kAllSlots[i])
            return false;
    }
    return true;
}());

const SlotRow &rowOf(LogoSlot slot)
{
    return kSlotTable[std::size_t(slot)];
}

QString inDirectory(const SlotRow &row, QStringView file, const QString &windowsDirectory)
{
    return row.inWindowsDirectory ? QString(windowsDirectory).append(file) : file.toString();
}

} // namespace

QString slotName(LogoSlot slot)
{
    return rowOf(slot).name.toString();
}

QString slotWord(LogoSlot slot)
{
    return rowOf(slot).word.toString();
}

QString installedPath(LogoSlot slot, const QString &windowsDirectory)
{
    return inDirectory(rowOf(slot), rowOf(slot).installed, windowsDirectory);
}

QString changePath(LogoSlot slot, const QString &windowsDirectory)
{
    return inDirectory(rowOf(slot), rowOf(slot).changed, windowsDirectory);
}

QString stockPath(LogoSlot slot)
{
    return rowOf(slot).stock.toString();
}

RestoreAction restoreAction(LogoSlot slot)
{
    return rowOf(slot).restore;
}

QString restoreFailedMessage(LogoSlot slot)
{
    return rowOf(slot).restoreFailed.toString();
}

} // namespace vantrel
