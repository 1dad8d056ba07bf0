#pragma once

// The host's file services for files inside a disk image.
//
// mtools copies whole files in and out, so a file inside an image is worked
// on as a private copy: in a directory of its own below the temporary
// directory, readable by this user alone, removed when done, or by the
// next run when the process was killed. Reading copies
// the file out; a Replacement gathers the new content there and puts it
// into the image at commit, so that a failure before then leaves the image
// untouched; a file opened for writing goes back into the image once, when
// it is closed. Every write first makes sure no other program is using the
// image (ImageWriteLock) and holds the lock while mtools writes.

#include "host/disk/disk_image.h"
#include "host/host.h"

#include <QString>

#include <memory>

class QTemporaryDir;

namespace vantrel {

// A native copy of a file out of an image, removed when the last copy of
// this object goes; or a native file itself, which is left alone.
class LocalFile {
public:
    explicit LocalFile(QString path, std::shared_ptr<QTemporaryDir> holder = {})
        : m_path(std::move(path)), m_holder(std::move(holder))
    {}
    // The native path to read.
    const QString &path() const { return m_path; }

private:
    QString m_path;
    std::shared_ptr<QTemporaryDir> m_holder;
};

// Removes the private directories below the temporary directory that
// processes of this user, since ended, left: a killed write leaves its
// copy behind. Each is named after the process that made it. Run before
// the first private directory of a process is made: SystemHost runs it.
void removeStalePrivateDirectories();

// Copies the file at `inside` of `volume` to a private native file. `name`
// is the program path, for messages. Throws HostError with mtools' message
// when the file is missing or cannot be read, and when no private
// directory can be made.
LocalFile copyOutOfImage(const DiskVolume &volume, const QString &inside, const QString &name);

// Host::replaceFile for a file inside an image: as the Replacement
// contract says, with commit() putting the new content into the image.
// ReplaceFrom::OldContent starts from a copy of the file (empty when there
// is none). Throws HostError when the old content cannot be read.
std::unique_ptr<Replacement> replaceImageFile(const DiskVolume &volume, const QString &inside,
                                              const QString &name, ReplaceFrom start);

// Host::openBinary for a file inside an image. FileAccess::Read works on a
// private copy; FileAccess::ReadWrite as well, which close() puts back into
// the image when anything was written or the file was new.
std::unique_ptr<BinaryFile> openImageFile(const DiskVolume &volume, const QString &inside,
                                          const QString &name, FileAccess access);

// Host::checkWritable for a file inside an image: throws as a write would
// when another program uses the image or it may not be written.
void checkImageWritable(const DiskVolume &volume, const QString &name);

// Host::deleteFile for a file inside an image.
void deleteImageFile(const DiskVolume &volume, const QString &inside, const QString &name);

// Makes the directory at `inside` and the missing ones above it; one that
// is there already is fine, each new one takes the spelling given. Throws
// HostError when a file is in the way ("cannot make the directory C:\x:
// C:\x is a file"), when mtools fails, and as every write does when
// another program uses the image.
void makeImageDirectories(const DiskVolume &volume, const QString &inside, const QString &name);

// Host::fileLength for a file inside an image: a missing file is "cannot
// find C:\x: No such file or directory", a directory "C:\x is a directory".
std::int64_t imageFileLength(const DiskVolume &volume, const QString &inside, const QString &name);

} // namespace vantrel
