#pragma once

// What describes each of the three logo slots, in one table: the word for
// the slot, where its file lies, the stock copy Restore puts back and how,
// and the message a failed Restore shows.
//
// This is the bottom of logo/. The slot operations (logo/slots.h) and the
// copies kept of what they replace (logo/backups.h) both read it; the
// backups never need the operations to know a slot.

#include <QString>

#include <array>

namespace vantrel {

enum class LogoSlot { Startup, Shutdown, SwitchOff };

inline constexpr std::array<LogoSlot, 3> kAllSlots{LogoSlot::Startup, LogoSlot::Shutdown,
                                                   LogoSlot::SwitchOff};

// How Restore puts a slot's default back.
enum class RestoreAction {
    // The default is that no file is there: the installed file is deleted.
    DeleteInstalled,
    // The stock file is copied over the installed file.
    CopyStock,
};

// The slot's name in the window's messages and in the names of the copies
// kept of it (logo/backups.h): "startup", "shutdown", "switch-off".
QString slotName(LogoSlot slot);

// The word for a slot on the command line, in what it takes and in all it
// prints, the undo's messages included: "startup", "shutdown", "switchoff".
QString slotWord(LogoSlot slot);

// The file the slot's picture lives in, as the viewer and the restore
// operations name it: "C:\logo.sys", or the Windows directory followed by
// "logow.sys" / "logos.sys" (plain concatenation).
QString installedPath(LogoSlot slot, const QString &windowsDirectory);

// The same file as Change writes it: "c:\logo.sys" for the start-up slot
// (the file system ignores case), the installed path for the others.
QString changePath(LogoSlot slot, const QString &windowsDirectory);

// The stock copy restored into the slot; empty for the start-up slot,
// whose default is that no file is there.
QString stockPath(LogoSlot slot);

RestoreAction restoreAction(LogoSlot slot);

// The message shown when restoring the slot fails.
QString restoreFailedMessage(LogoSlot slot);

} // namespace vantrel
