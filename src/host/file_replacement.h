#pragma once

// Replacing a file's content as one step: the writer that every file the
// program writes goes through (SystemHost::replaceFile).
//
// The new content is written to a temporary file beside the target, named
// ".<name>.vantrel-XXXXXX.tmp", then flushed and renamed over it; a reader
// sees the old file or the whole new one, and a kill or a full disk leaves
// the old file as it was. The new file takes the old file's permission
// bits, and its owner and group where the process may set them. Only a
// regular file (or a symbolic link, which is replaced and never followed)
// is replaced; a file without any write permission is refused as
// read-only, as is one the process may not write.
//
// Where no file can be made in the directory but the target itself may be
// written (a shared directory that is not the user's), the new content is
// kept in memory until commit and then written over the old file in place,
// with space reserved first and the old content put back when a write
// fails. That cannot survive a kill halfway; it is the best such a
// directory allows.
//
// A killed writer leaves its temporary file behind. Each write removes
// those of the same target that are older than a minute, and
// leftoverReplacements lists them for the console tool's report.

#include "host/host.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace vantrel {

// How old a leftover temporary file must be before a write of the same
// target removes it. Younger ones may belong to a writer still at work.
inline constexpr int kStaleReplacementSeconds = 60;

// Starts replacing the native file `native` (see above); `name` is the path
// as the caller gave it, for messages. Throws HostError with the reason
// ("cannot write C:\logo.sys: the file is read-only") when the target is a
// directory, not a regular file, read-only, not writable, or no new file
// can be made for it.
std::unique_ptr<Replacement> replaceNativeFile(const QString &native, const QString &name,
                                               ReplaceFrom start);

// The target's file name when `fileName` is one of the temporary names
// this program gives a replacement, otherwise the empty text.
QString replacedFileName(const QString &fileName);

// The native paths of the program's temporary files in the native
// directory `directory`, of any age, in name order; empty when the
// directory cannot be read.
QStringList leftoverReplacements(const QString &directory);

} // namespace vantrel
