#pragma once

// The drive the program makes for itself.
//
// Without VANTREL_DRIVE_C, drive C is a directory of the program's own
// under the user's data directory (DriveMap::defaultDriveC). The first
// time that directory is needed and absent, it is made to look like a
// fresh Windows 95 installation with the program installed: the stock
// shutdown pictures in C:\WINDOWS\, their backup copies and the readme in
// C:\vantrel\ (the pictures come from stock_art.h). A drive the user names
// is never touched, and neither is a default directory that already exists.

#include <QByteArray>

namespace vantrel {

// The readme, C:\vantrel\readme.txt: what the program does and how to use
// it. Plain ASCII with CRLF line ends, as a DOS text file. Cannot fail.
QByteArray readmeText();

// Provisions the default drive C when drive C is the default directory and
// nothing exists at its path yet; otherwise does nothing at all. The drive
// is built in a temporary directory next to it and renamed into place in
// one step, so the path holds either nothing or the whole drive; when
// another process puts a drive there first, that one is kept and this one
// discarded. Throws HostError with the reason when the drive cannot be
// made; nothing is left at the drive's path then.
void provisionDefaultDrive();

} // namespace vantrel
