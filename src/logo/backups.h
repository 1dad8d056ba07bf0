#pragma once

// Copies of every slot file the program replaces or deletes.
//
// Every slot operation (logo/slots.h, and UndoSlot here) replaces or
// deletes a slot file through keepThenReplace, which first has
// keepSlotFile keep its content, unless the very same bytes are kept
// already. The slots are known by the slot table (logo/slot_table.h)
// alone. The copies live outside the drive, in the user's data directory:
//
//   $XDG_DATA_HOME/vantrel/backups/<drive key>/index.json
//   $XDG_DATA_HOME/vantrel/backups/<drive key>/<slot>/<sha256>.sys
//
// The drive key is the start of the SHA-256 of the drive's name
// (backupDriveName), so that two drives never mix their copies; the
// index names the drive in full and lists, per slot, each copy's SHA-256,
// size, and the time and operation of the last replacement of that
// content, oldest first. So the newest record is always what the slot
// held before the last operation, the one an undo puts back. The first
// content ever kept for a slot is the drive's original and is never
// pruned; of the others the newest kKeptPerSlot stay.
//
// Every file is reached through Host: the slot is read out of the drive
// with openBinary, and the copies and the index are written with
// replaceFile, each committed (flushed and renamed into place) before the
// slot operation goes on. So a drive that is not a directory works the
// same, and a copy that cannot be made stops the operation before the
// slot is touched.
//
// Several processes share the store (the window, terminals, scripts): a
// slot operation holds the exclusive lock of the drive's lock file
// (Host::lockExclusive on <drive key>/lock) from reading the slot until
// the slot is replaced and the index written, so that every content a
// slot ever held is kept whatever runs at the same moment. Readers need
// no lock: the index is always replaced whole. An index larger than
// 16 MiB is refused unread, and keys this version does not know, in the
// index and in its records, are kept when it is rewritten. A copy whose
// bytes no longer match its SHA-256 is damaged: the keeping writes it anew
// and an undo never puts it back.

#include "host/host.h"
#include "logo/slot_table.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <vector>

namespace vantrel {

// How many copies of a slot are kept besides the drive's original.
inline constexpr int kKeptPerSlot = 20;

// How many hex digits of a copy's SHA-256 make its id.
inline constexpr int kCopyIdLength = 8;

// The operation that was about to replace or delete a kept content.
enum class SlotOperation { Change, Restore, RestoreAll, Undo };

// The word for an operation in the index and the listing: "change",
// "restore", "restore-all", "undo".
QString operationName(SlotOperation operation);

// One kept content of a slot.
struct KeptCopy {
    QString sha256;        // 64 lower-case hex digits
    std::int64_t size = 0; // in bytes
    QDateTime keptAt;      // UTC, of the last time this content was replaced
    QString operation;     // as operationName writes it
    bool original = false; // the first content kept for the slot
    QString path;          // the copy's native path

    // The short id the listing shows and undo takes.
    QString id() const { return sha256.left(kCopyIdLength); }
};

// The directory all copies live in: $XDG_DATA_HOME/vantrel/backups.
QString backupRoot();

// The name the backups know the drive holding `slotPath` by: what the host
// says the drive is (Host::driveIdentity: a disk image's canonical path and
// partition, a directory drive's canonical path), or the canonical native
// directory of a path without a drive letter, so that
// the same drive reached through another spelling or a symbolic link
// keeps one set of copies. This is the one place that names a drive: one
// that is not a directory says here what it is. Throws HostError when
// the drive is not mapped.
QString backupDriveName(Host &host, const QString &slotPath);

// The directory that holds the copies of `slot` for the drive of
// `slotPath`. Throws as backupDriveName does.
QString slotBackupDirectory(Host &host, LogoSlot slot, const QString &slotPath);

// The failure of keepSlotFile: the content of the slot file at slotPath
// could not be kept (the cause says why), so the operation stopped before
// touching it. Its reason reads "cannot keep a copy of <slotPath>:
// <cause>". A caller tells it from the operation's own failures by its
// type.
class SlotNotKept : public HostError {
public:
    SlotNotKept(const QString &slotPath, const QString &cause)
        : HostError(QStringLiteral("cannot keep a copy of %1: %2").arg(slotPath, cause)),
          m_slotPath(slotPath), m_cause(cause)
    {}

    QString slotPath() const { return m_slotPath; }
    QString cause() const { return m_cause; }

private:
    QString m_slotPath;
    QString m_cause;
};

// Keeps the content of the slot file at `slotPath` before `operation`
// replaces or deletes it, holding the store's lock while it does. Does
// nothing when no regular file is there.
// Otherwise the copy (unless that content is kept already) and then the
// index are written and committed before this returns, and copies beyond
// the newest kKeptPerSlot (the original aside) are removed. When the
// content is the newest kept already, nothing is written at all. Throws
// SlotNotKept when the slot cannot be read or the copy cannot be written,
// or when another process holds the store's lock for longer than 10 s
// ("... is in use by process N"), and HostError when the host cannot say what is at `slotPath`; the
// slot file is never touched.
void keepSlotFile(Host &host, LogoSlot slot, const QString &slotPath, SlotOperation operation);

// What an operation puts in place of a slot file.
struct SlotReplacement {
    enum Kind {
        // A copy of the file at `source`.
        CopyOf,
        // Nothing: the slot file is deleted.
        Deletion,
        // `bytes`, written and committed.
        Bytes,
    };
    Kind kind = Deletion;
    QString source;
    QByteArray bytes;

    static SlotReplacement copyOf(const QString &source) { return {CopyOf, source, {}}; }
    static SlotReplacement deletion() { return {Deletion, {}, {}}; }
    static SlotReplacement withBytes(const QByteArray &bytes) { return {Bytes, {}, bytes}; }
};

// The order of every slot operation: keeps the slot file at `slotPath`
// (keepSlotFile), then puts `replacement` in its place, the store's lock
// held throughout. A copy whose
// source is not a regular file keeps nothing, since the copy is bound to
// fail. Throws HostError with the reason when keeping (SlotNotKept) or
// replacing fails; when keeping fails the slot file is not touched.
void keepThenReplace(Host &host, LogoSlot slot, const QString &slotPath, SlotOperation operation,
                     const SlotReplacement &replacement);

// The copies kept of `slot` on the drive of `slotPath`, newest first;
// empty when none are. Throws HostError when the index cannot be read or
// is damaged.
std::vector<KeptCopy> keptCopies(Host &host, LogoSlot slot, const QString &slotPath);

// What a kept copy holds now, for the listing and the History window.
struct CopyCheck {
    enum State {
        // A logo bitmap, as check judges it.
        Logo,
        // Sound, but not a logo bitmap.
        NotLogo,
        // Its bytes no longer match its SHA-256: never put back.
        Damaged,
        // It cannot be read.
        Missing,
    };
    State state = Missing;
    // check's reason for a copy that is not a logo bitmap, or why the copy
    // is damaged or cannot be read; empty for a logo.
    QString problem;
    // The copy's bytes, for a Logo or NotLogo copy only.
    QByteArray bytes;
};

// Reads a kept copy and judges it. Throws nothing.
CopyCheck checkKeptCopy(Host &host, const KeptCopy &copy);

// The word for a state in the listing: "logo", "not-logo", "damaged",
// "missing".
QString copyStateWord(CopyCheck::State state);

// The bytes of a kept copy, checked against its SHA-256. Throws HostError
// when the copy is missing, cannot be read or no longer holds what was
// kept.
QByteArray readKeptCopy(Host &host, const KeptCopy &copy);

// A text that changes whenever the copies kept for the drive of
// `slotPath` change, whoever changes them: the drive's name and the
// SHA-256 of its index, for a window that follows the store by looking at
// it now and then. Throws nothing: a store that cannot be read has a
// stamp of its own, with the reason.
QString backupStoreStamp(Host &host, const QString &slotPath);

// When a copy was kept, in local time as the listing shows it:
// "2026-12-09 14:20:01".
QString keptTimeText(const QDateTime &time);

// The SHA-256 of `bytes` as 64 lower-case hex digits.
QString contentHash(QByteArrayView bytes);

// Which kept copy UndoSlot puts back.
struct UndoTarget {
    enum Kind {
        // The newest copy that differs from what the slot holds, so that a
        // second undo undoes the first.
        Latest,
        // The drive's original: the first content kept for the slot.
        Original,
        // The one copy whose SHA-256 starts with `id` (hex digits).
        Id,
    };
    Kind kind = Latest;
    QString id;
};

struct UndoResult {
    // The copy put back, or found in the slot already.
    KeptCopy copy;
    // False when the slot held that content already and was left alone.
    bool changed = false;
    // Newer copies passed over because they are damaged, newest first.
    std::vector<KeptCopy> skipped;
};

// Puts a kept copy of the slot's file back, through the same keeping as
// every slot operation: what the slot holds is kept first, so an undo can
// itself be undone. The copy is checked against its SHA-256 before it is
// written. The whole undo holds the store's lock. With UndoTarget::Latest
// damaged copies are passed over (UndoResult::skipped). Throws HostError
// with the reason when no copy fits `target` (none kept, no original, an
// unknown or ambiguous id, every other copy damaged), when the copy asked
// for is damaged (naming the next good copy when there is one), or when
// the slot cannot be kept or written; the slot is unchanged then.
UndoResult UndoSlot(Host &host, LogoSlot slot, const QString &windowsDirectory,
                    const UndoTarget &target);

} // namespace vantrel
