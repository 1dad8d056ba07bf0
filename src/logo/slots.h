#pragma once

// The three logo slots and the operations on them.
//
// A slot is a fixed place where the system looks for one of its full-screen
// pictures. Nothing about slots is kept in memory: what a slot holds is
// whatever file lies at its installed path. Installing is a plain copy,
// restoring a delete or a copy of the stock file from the program directory
// "C:\vantrel\"; no operation opens or checks a picture. What each slot's
// paths and messages are is the slot table's (logo/slot_table.h).
//
// The Windows directory text (ending in a backslash, or empty when the
// system could not say) comes from QueryWindowsDirectory; the main window
// keeps it and passes it to every operation.
//
// Nothing a slot held is lost: before an operation replaces or deletes a
// slot file, its content is kept outside the drive (logo/backups.h), and
// UndoSlot puts a kept copy back. When the copy cannot be made, the
// operation stops with SlotNotKept before touching the slot. Change and
// Undo fail with it as with any failure of their own; Restore and Restore
// All set it apart from theirs, since their message ("already set to
// default") or their silence would not be true then.

#include "host/host.h"
#include "logo/backups.h"
#include "logo/slot_table.h"

#include <optional>
#include <vector>

namespace vantrel {

// Asks the host for the Windows directory through its 255-character buffer
// and returns it ending in a backslash, or the empty text when the host
// reports nothing.
QString QueryWindowsDirectory(Host &host);

// Copies `source` into the slot, replacing what is there. The source is
// not checked. Throws HostError with the reason when the slot's content
// cannot be kept first or the copy fails; shows nothing.
void ChangeSlot(Host &host, LogoSlot slot, const QString &source, const QString &windowsDirectory);

// Puts the slot's default back: deletes the start-up file, or copies the
// stock file over the shutdown or switch-off file. A failure shows the
// slot's fixed message through the host and changes nothing else; the
// message often cannot say what went wrong ("already set to default" for
// "Permission denied"), so the host's reason is returned as well. Returns
// nothing when the slot was restored. When the slot's content cannot be
// kept first, shows nothing and throws SlotNotKept; the slot is as it was.
std::optional<QString> RestoreSlot(Host &host, LogoSlot slot, const QString &windowsDirectory);

// A restore step that failed, with the host's reason, for a caller that
// can say more than the window does. `notKept` is set when the slot's
// content could not be kept first, so that the slot was left alone.
struct RestoreFailure {
    LogoSlot slot;
    QString reason;
    std::optional<SlotNotKept> notKept;
};

// RestoreSlot without its message: shows nothing, and returns the failure,
// or nothing when the slot was restored.
std::optional<RestoreFailure> restoreSlotSilently(Host &host, LogoSlot slot,
                                                  const QString &windowsDirectory);

// Whether the slot holds its default: for the start-up slot, that no file
// is there (one that cannot be deleted is still installed); never for the
// others, whose default is a copy. False when the host cannot tell, as on
// a drive it cannot read. For a caller to tell, after a failed restore,
// whether the slot is at its default all the same.
bool slotHoldsDefault(Host &host, LogoSlot slot, const QString &windowsDirectory);

// Restores all three slots in order, each step whether or not the one before
// it worked, and shows nothing. Returns the steps that failed, in order, for
// a caller that reports them; the window's Restore All ignores them.
std::vector<RestoreFailure> RestoreAllSlots(Host &host, const QString &windowsDirectory);

} // namespace vantrel
