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

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace vantrel {

class DriveMap {
public:
    // Reads the drive variables from the environment at each call, so a
    // test or the user can point the program at another drive.
    DriveMap() = default;

    // The directory drive `letter` stands for; throws HostError for an
    // unmapped drive, a drive variable that is set but empty, and one that
    // is not UTF-8.
    QString driveRoot(QChar letter) const;

    // True when drive C is the default directory, because VANTREL_DRIVE_C is
    // not set at all.
    static bool driveCIsDefault();
    static QString defaultDriveC();

    // The native path for a program path, resolved case-insensitively as
    // described above. Throws HostError for an unmapped drive and for a
    // damaged name.
    QString toNative(const QString &path) const;

    // True for "X:" followed by anything: a path on a DOS drive.
    static bool isDosPath(const QString &path);
};

// The text of `bytes` when they are valid UTF-8, otherwise nothing. Every
// byte counts, a leading byte order mark too (as U+FEFF), so the text
// encodes back to exactly `bytes`.
std::optional<QString> strictUtf8(QByteArrayView bytes);

// `bytes` written as the shell's $'...' quoting would, so that a name that
// is not UTF-8 can be shown exactly: $'\xff.bmp'. Printable ASCII stays as
// it is; a backslash, a quote and every other byte are escaped.
QString quotedBytes(QByteArrayView bytes);

// Resolves `relative` (components separated by '/') below `base`, matching
// each component case-insensitively when no exact match exists.
QString resolveCaseInsensitive(const QString &base, const QString &relative);

} // namespace vantrel
