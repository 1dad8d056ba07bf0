#pragma once

// Keeping out of a disk image that an emulator is using.
//
// A FAT volume written by two programs at once is corrupted: each keeps
// its own idea of the free clusters. QEMU takes open file description
// (OFD) locks on its images; 86Box, PCem and Bochs take none but keep the
// image open for writing while the machine runs. So before writing, the
// image is tested for a conflicting OFD lock (F_OFD_GETLK) and the
// processes whose open files are readable in /proc are searched for one
// that has it open for writing. While the write goes on, the program holds
// an OFD write lock of its own, which keeps QEMU from starting on the
// image halfway through and another Vantrel from writing at the same time.

#include <QString>

#include "host/posix_file.h"

namespace vantrel {

// The program that has `image` (a native path) open, as "qemu-system-i386
// (process 4242)": the first process other than this one with an open
// file on it, for writing when `writersOnly`; a child that a thread of this
// one has forked and that has not yet started its own program does not
// count. Empty when none is found, which includes processes whose open
// files this user may not see.
QString imageUser(const QString &image, bool writersOnly);

// An OFD write lock on a whole disk image, held while the object lives.
class ImageWriteLock {
public:
    // Opens `image` for writing and locks it. `name` is the program path
    // being written, for messages. Throws HostError, having written
    // nothing, when the image cannot be opened for writing ("cannot write
    // C:\logo.sys: cannot open the disk image /x/win95.img: Permission
    // denied"), when it has no write permission at all ("... the disk image
    // /x/win95.img is read-only"), when another program holds a lock on it
    // or has it open for
    // writing ("cannot write C:\logo.sys: the disk image /x/win95.img is
    // in use by qemu-system-i386 (process 4242); shut the machine down
    // first").
    ImageWriteLock(const QString &image, const QString &name);

    // Flushes what mtools wrote into the image to the disk, as the writer
    // of a native file does before it reports success. Throws HostError
    // "cannot write <name>: <reason>" when the flush fails.
    void flush();

private:
    QString m_name;
    posix::Fd m_fd;
};

} // namespace vantrel
