#pragma once

// Logo bitmaps and other whole files as the windows and the command-line
// tool read and write them through the host: the check of a file against
// the logo bitmap format, a logo read whole for its export, and a file
// written whole through the host's replacement (temporary file, then
// rename), so that no reader ever sees half of it.

#include "host/host.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <vector>

namespace vantrel {

// Why the file at `path` is not a logo bitmap, judged from its length and
// header as check does; empty when it is one. Throws HostError when the
// file cannot be read.
QString logoProblemOf(Host &host, const QString &path);

// The whole logo bitmap at `path`. Its length is judged before the file is
// opened, so a file of another length is refused unread. Throws HostError
// with the reason the check command gives ("PATH: not a logo bitmap:
// biBitCount is 24, expected 8"), or the host's when it cannot be read.
std::vector<std::uint8_t> readLogoFile(Host &host, const QString &path);

// Writes `bytes` as the whole file at `path`: beside its place first, then
// renamed into it, so that a failure (a HostError with the reason) leaves
// no partial file.
void writeWholeFile(Host &host, const QString &path, QByteArrayView bytes);

// `path` with `extension` (".sys") added when its file name has none. The
// name is what follows the last '/' or backslash, so that DOS and native paths
// are read alike.
QString withExtension(const QString &path, const QString &extension);

// The file name of `path` without its last extension: "logo" for
// "C:\art\logo.png".
QString fileBaseName(const QString &path);

} // namespace vantrel
