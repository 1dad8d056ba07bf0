#pragma once

// Host services: everything the program asks of the operating system.
//
// The windows and the core logic (slots, transform, preview) never touch the
// file system, processes, dialogs or the desktop directly; they go through
// `Host`. Paths given to the host are the program's own: DOS paths such as
// "C:\logo.sys" (mapped onto a directory that stands for the drive, see
// DriveMap), bare names relative to the current directory, or native
// absolute paths as the file dialog returns them.
//
// SystemHost realises the file, process, settings and timer services on
// Linux; DesktopHost adds the ones that need a desktop (message box, beep,
// pictures, screen, file dialog). Tests use FakeHost.
//
// Every failing operation throws HostError, which carries a reason that a
// caller may show or pass on. Nothing here shows anything by itself.

#include "host/host_error.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>

class QImage;

namespace vantrel {

// Positions and sizes are designed in twips; 15 twips make one pixel.
inline constexpr int kTwipsPerPixel = 15;

// A file opened for raw byte access. Reads and writes either at an explicit
// offset or at the current position, which each of them advances. Closing
// happens on destruction at the latest; close() reports a failure to flush.
class BinaryFile {
public:
    virtual ~BinaryFile() = default;

    // Fills `into` completely from `offset` (or the current position);
    // throws when fewer bytes are there.
    virtual void readAt(std::int64_t offset, std::span<std::uint8_t> into) = 0;
    virtual void read(std::span<std::uint8_t> into) = 0;

    // Writes all of `data` at `offset` (or the current position).
    virtual void writeAt(std::int64_t offset, std::span<const std::uint8_t> data) = 0;
    virtual void write(std::span<const std::uint8_t> data) = 0;

    virtual void close() = 0;
};

// A new content for a file, written beside it and put in its place in one
// step. Until commit() the file itself is untouched; close() or destroying
// the object without a commit discards the new content.
class Replacement : public BinaryFile {
public:
    // Flushes the new content to disk and renames it over the file, so a
    // reader sees either the old file or the whole new one. A symbolic link
    // at the path is replaced, not followed. Throws HostError with the
    // reason; the old file is intact then and the new content is gone.
    virtual void commit() = 0;
};

// What a Replacement holds when it is made.
enum class ReplaceFrom {
    // Nothing: the new file starts empty.
    Nothing,
    // A copy of the file as it is now (empty when there is none), so that
    // bytes the writer does not reach keep their old values.
    OldContent,
};

// What a path names, as pathKind reports it.
enum class PathKind {
    Missing,
    File,
    Directory,
    // Anything else: a device, a FIFO, a socket, a dangling symbolic link.
    Other,
};

enum class FileAccess {
    // Reading only; a missing file is an error.
    Read,
    // Reading and writing; an absent file is created empty and an existing
    // file is never truncated.
    ReadWrite,
};

// A lock held while the object lives (see Host::lockExclusive).
class FileLock {
public:
    virtual ~FileLock() = default;
};

// How a started program's window should appear. Kept for the callers'
// sake; desktop programs on Linux choose their own window state.
enum class WindowStyle {
    MinimizedWithFocus = 0,
    NormalWithFocus = 1,
};

// A periodic timer. Ticks stop when the object is destroyed, so a window
// that owns its timer gets ticks exactly while it is loaded.
class Timer {
public:
    virtual ~Timer() = default;
};

// The state of a common file dialog, as its caller sets and reads it.
// Filter is "description|patterns|description|patterns...", patterns within
// one entry separated by ';'. FilterIndex is the 1-based entry selected
// when the dialog opens.
struct FileDialog {
    QString DialogTitle;
    QString FileName;
    QString Filter;
    int FilterIndex = 0;
    bool CancelError = false;
};

// Folder chooses an existing directory; FileName and Filter are ignored
// going in, and FileName is the directory coming out.
enum class FileDialogKind { Open, Save, Folder };

class Host {
public:
    virtual ~Host() = default;

    // Files. Paths are program paths (see above).

    // Makes `destination` a byte copy of `source`, replacing any file there.
    // The old destination stays intact when the copy fails; a destination
    // that is a symbolic link is replaced, its target left alone.
    virtual void copyFile(const QString &source, const QString &destination) = 0;
    // Removes the file; a missing file is an error.
    virtual void deleteFile(const QString &path) = 0;
    // Length in bytes; a missing file is an error.
    virtual std::int64_t fileLength(const QString &path) = 0;
    // What is at `path`, a symbolic link followed. Throws HostError only
    // when that cannot be told (a directory on the way that may not be
    // searched, an unmapped drive, a damaged name).
    virtual PathKind pathKind(const QString &path) = 0;
    // Makes the directory `path` and the missing ones above it; one that is
    // there already is fine. Throws HostError when something else is in the
    // way or a directory cannot be made.
    virtual void makeDirectories(const QString &path) = 0;
    // Whether the directory `path` holds no entry at all, hidden ones
    // counted. Throws HostError when it is no directory or cannot be read.
    virtual bool directoryIsEmpty(const QString &path) = 0;
    // Removes the empty directory `path`. Throws HostError when it is
    // missing, not empty or cannot be removed.
    virtual void removeEmptyDirectory(const QString &path) = 0;
    virtual std::unique_ptr<BinaryFile> openBinary(const QString &path, FileAccess access) = 0;
    // Starts replacing the file at `path` (see Replacement), with the current
    // position at byte 0. Throws HostError
    // when the path is a directory or no new file can be made for it.
    virtual std::unique_ptr<Replacement> replaceFile(const QString &path, ReplaceFrom start) = 0;

    // Takes the exclusive lock of the lock file at `path` (made when it is
    // missing), which every process that locks the same file honours, and
    // holds it while the result lives. Waits up to `waitMs` for its holder
    // to let it go. Throws HostError when the file cannot be made or
    // locked, and of kind InUse, "<path> is in use by process N", when the
    // wait ends with the lock still held.
    virtual std::unique_ptr<FileLock> lockExclusive(const QString &path, int waitMs) = 0;

    // The native path a program path stands for.
    virtual QString nativePath(const QString &path) = 0;

    // The text that names the drive holding `path` for good, however the
    // drive and the path are spelt: a disk image's canonical path and
    // partition ("/home/me/win95.img@1"), or a directory drive's canonical
    // path. Empty for a path on no drive (native or relative), and from a
    // host without drives.
    virtual QString driveIdentity(const QString &path)
    {
        (void)path;
        return {};
    }

    // Throws HostError when a write to `path` would be refused before it
    // began, as one to a disk image that another program is using is, so
    // that nothing is done for a write that cannot happen. Does nothing
    // on a host that refuses no write in advance.
    virtual void checkWritable(const QString &path) { (void)path; }

    // Starts a program and returns at once. The line is split into the
    // program and the rest, which reaches the program as one argument; no
    // shell is involved. Throws when nothing could be started.
    virtual void runCommandLine(const QString &commandLine, WindowStyle style) = 0;

    // GetWindowsDirectoryA: writes the directory and a NUL into `buffer`
    // (at most `size` bytes including the NUL) and returns its length, or
    // 0 when the directory cannot be reported.
    virtual unsigned windowsDirectory(char *buffer, unsigned size) = 0;

    // GetTempPathA + GetTempFileNameA: creates a new empty file named
    // prefix + four hex digits + ".TMP" in the temporary directory and
    // returns its path.
    virtual QString createTempFile(const QString &prefix) = 0;

    // Per-user settings, strings as given.
    virtual QString getSetting(const QString &application, const QString &section,
                               const QString &key, const QString &defaultValue) = 0;
    virtual void saveSetting(const QString &application, const QString &section, const QString &key,
                             const QString &value) = 0;

    // Periodic ticks every `intervalMs` until the returned timer is gone.
    virtual std::unique_ptr<Timer> startTimer(int intervalMs, std::function<void()> onTick) = 0;

    // Desktop services.

    // Modal box with the exclamation icon, one OK button and the title
    // "Vantrel 32"; returns when closed.
    virtual void messageBox(const QString &prompt) = 0;
    virtual void beep() = 0;
    // Decodes a picture; a missing, unreadable or undecodable file, one that
    // is not a regular file, and a bitmap cut short are errors.
    virtual QImage loadPicture(const QString &path) = 0;
    // Width and height of the screen in twips.
    virtual QSize screenSizeTwips() = 0;
    // Shows the dialog modally. On OK, FileName becomes the chosen path. On
    // cancel, throws when CancelError is set, otherwise leaves FileName.
    virtual void showFileDialog(FileDialog &dialog, FileDialogKind kind) = 0;
};

// The program path of the entry `name` in `directory`, in the directory
// path's own separator: '/' for a native path, '\\' for a DOS one.
inline QString pathInDirectory(const QString &directory, const QString &name)
{
    if (directory.endsWith('/') || directory.endsWith('\\'))
        return directory + name;
    return directory + (directory.startsWith('/') ? '/' : '\\') + name;
}

} // namespace vantrel
