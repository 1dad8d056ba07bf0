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
// "Permission denied"), so the host's reason is returned as well, for a
// caller that can show more than the window does. Returns nothing when
// the slot was restored. When the slot's content cannot be kept first,
// shows nothing and throws SlotNotKept; the slot is as it was.
std::optional<QString> RestoreSlot(Host &host, LogoSlot slot, const QString &windowsDirectory);

// Restores all three slots in order, each step whether or not the one before
// it worked, every failure ignored and nothing shown. Returns, in order, the
// slots whose content could not be kept, each left as it was.
std::vector<SlotNotKept> RestoreAllSlots(Host &host, const QString &windowsDirectory);

} // namespace vantrel
