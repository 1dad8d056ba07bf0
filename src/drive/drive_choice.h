#pragma once

// Which drive stands for drive C, and why.
//
// The first of these that is given wins, in the window and on the command
// line alike: the --drive option of one call, the VANTREL_DRIVE_C variable,
// the drive the user chose last (kept as [Drive] C= in vantrel.conf, with
// the drives chosen before it), and the program's own default drive. A
// remembered drive that has gone (a deleted image, an unplugged disk) is
// not used and not forgotten either: the choice says so once, with its
// path, and the default drive is used.
//
// A drive is written "/some/dir", "/x/win98.img" or "/x/win98.img@N" for
// partition N. Choosing one writes nothing on it.

#include <QString>
#include <QStringList>

#include <optional>

namespace vantrel {

class Host;

enum class DriveSource { Option, Variable, Remembered, Default };

// How `where` and `drive` name a source: "--drive", "VANTREL_DRIVE_C",
// "remembered", "default".
QString driveSourceName(DriveSource source);

struct DriveChoice {
    DriveSource source = DriveSource::Default;
    // The drive as given; empty for the default drive.
    QString drive;
    // The remembered drive that has gone, when the default stands in for
    // it; empty otherwise.
    QString goneDrive;

    // "the remembered drive C /x/win98.img is gone; Vantrel uses its own
    // drive C instead" when a remembered drive has gone; empty otherwise.
    QString goneMessage() const;
};

// The settings file's application, section and keys.
inline constexpr char kDriveSettings[] = "vantrel";
inline constexpr char kDriveSection[] = "Drive";

// The remembered drive, or empty for none.
QString rememberedDrive(Host &host);
// The drives chosen before, last used first, the remembered one included.
QStringList recentDrives(Host &host);

// Whether `drive` ("/dir", "/x/img", "/x/img@N") names something that is
// there.
bool driveExists(const QString &drive);

// `drive` with its path made absolute and clean ("rel/win.img@2" to
// "/home/me/rel/win.img@2"); the "@N" stays only when a partition is meant.
QString absoluteDrive(const QString &drive);

// Checks that `drive` can stand for drive C: a directory, or a disk image
// whose volume (see inspectDiskImage) can be used. Returns it as
// absoluteDrive spells it. Throws HostError with the reason otherwise.
QString checkDrive(const QString &drive);

// Remembers `drive` (checked first, see checkDrive) as drive C and puts it
// first in the recent list. Throws HostError when it cannot be used or
// the setting cannot be saved; writes nothing on the drive.
QString rememberDrive(Host &host, const QString &drive);

// Forgets the remembered drive: the next start uses the default. The
// recent list stays. Throws HostError when the setting cannot be saved.
void forgetDrive(Host &host);

// The drive C to use, by the order above. `option` is --drive's value.
DriveChoice resolveDriveChoice(Host &host, const std::optional<QString> &option);

// Makes `choice` drive C of this process (DriveMap::chooseDriveC) and the
// one driveInUse() reports.
void applyDriveChoice(const DriveChoice &choice);

// The choice applied last; the default when none was.
const DriveChoice &driveInUse();

// The text naming drive C as it is now mapped, for a person: the canonical
// directory or "image@N", followed by " (default)" for the default drive;
// the reason when the drive cannot be used. Throws nothing.
QString driveInUseText();

} // namespace vantrel
