#pragma once

// Maps the program's paths onto the Linux file system.
//
//  - "C:\logo.sys", "c:\vantrel\logos.sys": a DOS path. Drive C is the
//    directory named by VANTREL_DRIVE_C, or $XDG_DATA_HOME/vantrel/drive_c
//    when that is unset; another drive letter X needs VANTREL_DRIVE_X.
//  - "logow.sys", "WINDOWS\logow.sys": no drive and no leading '/', so
//    relative to the current directory.
//  - "/home/me/pic.bmp": a native absolute path, passed through unchanged.
//
// Backslashes separate the components of DOS and relative paths, and their
// names are compared without regard to case: each component is resolved by
// exact match first, then case-insensitively (the first match in byte order
// when several differ only in case). A component that matches nothing keeps
// the spelling it was given, so a new file takes the name as written.
//
// As DOS does, ".." stops at the root of a drive: a DOS path always names
// something on its drive. A drive variable that is set but empty is an
// error, not the default drive.
//
// Names are UTF-8. A name holding U+FFFD (what decoding puts for bytes that
// are not UTF-8) or a NUL is refused: encoded again it would name another
// file than the one meant.
//
// A drive variable may also name a disk image file instead of a directory
// (see host/disk_image.h), "disk.img@N" for its partition N. The files of
// such a drive have no native path: locate() says which volume and which
// path inside it, and the host works on them through mtools.

#include "host/disk/disk_image.h"

#include <QByteArrayView>
#include <QMap>
#include <QString>

#include <optional>

namespace vantrel {

// Where a program path leads: a native file, or a file inside a disk image.
struct Location {
    // The native path, for a file on the native file system.
    QString native;
    // The volume, for a file inside a disk image; then `inside` is its path
    // there, '/'-separated from the root ("/WINDOWS/logow.sys"), with ".."
    // and "." resolved and each name spelt as given (the file system
    // matches names regardless of case itself).
    std::optional<DiskVolume> volume;
    QString inside;

    bool onImage() const { return volume.has_value(); }
};

class DriveMap {
public:
    // Reads the drive variables from the environment at each call, so a
    // test or the user can point the program at another drive. Drive C is
    // the one chosen with chooseDriveC when there is a choice.
    DriveMap() = default;

    // A map whose drive C is `driveC` ("/dir", "/x/win95.img@1"; empty for
    // the default directory), whatever is chosen or set: for looking at a
    // drive before it is chosen.
    static DriveMap withDriveC(const QString &driveC);

    // Makes `driveC` drive C of every DriveMap of this process from now on,
    // before VANTREL_DRIVE_C (empty for the default directory); nothing
    // goes back to VANTREL_DRIVE_C, or the default when it is unset.
    static void chooseDriveC(const std::optional<QString> &driveC);

    // The directory drive `letter` stands for; throws HostError for an
    // unmapped drive, a drive variable that is set but empty, one that is
    // not UTF-8, and a drive that is a disk image.
    QString driveRoot(QChar letter) const;

    // The volume of the disk image drive `letter` stands for, or nothing
    // when the drive is a directory (or names nothing that exists yet).
    // Throws HostError as driveRoot does, and when the image cannot be
    // used (see inspectDiskImage).
    std::optional<DiskVolume> driveImage(QChar letter) const;

    // Takes partition `partition` of the disk image drive `letter` stands
    // for, whatever partition its variable names. A later driveImage or
    // locate of a drive that is a directory then throws HostError.
    void choosePartition(QChar letter, int partition);

    // Where a program path leads (see Location). Throws HostError as
    // toNative does, and when the drive's disk image cannot be used.
    Location locate(const QString &path) const;

    // The text that names the drive holding the program path `path` for
    // good, the same however the path is spelt: for a disk image, its
    // canonical path and partition number ("/home/me/win95.img@1"); for a
    // directory, its canonical path (its cleaned absolute path while it does
    // not exist). Empty for a native or relative path, which lies on no
    // drive. Throws HostError as locate does.
    QString driveIdentity(const QString &path) const;

    // True when drive C is the default directory: the default was chosen,
    // or nothing was chosen and VANTREL_DRIVE_C is not set at all.
    static bool driveCIsDefault();
    static QString defaultDriveC();

    // The native path for a program path, resolved case-insensitively as
    // described above. Throws HostError for an unmapped drive, for a
    // damaged name and for a path inside a disk image.
    QString toNative(const QString &path) const;

    // True for "X:" followed by anything: a path on a DOS drive.
    static bool isDosPath(const QString &path);

private:
    QString driveValue(QChar letter) const;

    QMap<QChar, int> m_partitions;
    std::optional<QString> m_driveC;
};

// Resolves `relative` (components separated by '/') below `base`, matching
// each component case-insensitively when no exact match exists.
QString resolveCaseInsensitive(const QString &base, const QString &relative);

} // namespace vantrel
