#pragma once

// The files of a FAT volume inside a disk image, through mtools.
//
// mtools (Debian package mtools) is the well-kept FAT implementation that
// works on an image without mounting it: no root, no loop device. Each
// call starts one of its programs through QProcess with an argument list,
// never a shell, with MTOOLS_SKIP_CHECK=1 and the volume given as
// "-i image@@offset". Its own settings that would change what it prints
// or how it names files are fixed here, whatever the user's configuration
// says. Names are matched by mtools itself, without regard to case as FAT
// does.
//
// Every failure is a HostError: one of mtools' own carries its message
// ("cannot write C:\logo.sys: mcopy: Disk full"); a missing mtools names
// the package to install. Paths inside the volume are '/'-separated from
// its root ("/WINDOWS/logow.sys"); `name` is the program path they stand
// for, for messages.

#include "host/disk/disk_image.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace vantrel {

class MtoolsDrive {
public:
    explicit MtoolsDrive(DiskVolume volume) : m_volume(std::move(volume)) {}

    const DiskVolume &volume() const { return m_volume; }

    // A directory entry as the volume holds it.
    struct Entry {
        // Its long name, or its short name when it has none, as stored.
        QString name;
        bool directory = false;
        std::int64_t size = 0;
    };

    // The entry at `inside`, matched regardless of case; nothing when it
    // or its directory does not exist. One mdir.
    std::optional<Entry> find(const QString &inside, const QString &name) const;

    // The file that put() stages new content in, in the directory at
    // `inside`, when an interrupted write left it there; nothing when none
    // is there. One mdir; the next replacement of a file in the same
    // directory writes over it and moves it into place.
    std::optional<Entry> stagedLeftover(const QString &inside, const QString &name) const;

    // Copies the file at `inside` to the native path `native`, which must
    // not exist yet. One mcopy, and one mdir unless `length`, the length
    // its directory entry gives, is known. A missing file fails with
    // mtools' message; a directory with "it is a directory"; a file whose
    // clusters end before its length, which mcopy copies cut short without
    // a word, with "cannot read C:\x: the file ends at byte 512", as a
    // native file read past its end does.
    void copyOut(const QString &inside, const QString &native, const QString &name,
                 std::optional<std::int64_t> length = std::nullopt) const;

    // Makes the file at `inside` a copy of the native file `native`. An
    // existing file keeps its name as stored and its old content until the
    // new one is whole in the volume: the new content goes in under a
    // temporary name first, then replaces the old file in one directory
    // update. A new file takes the spelling of `inside`. A file with the
    // read-only attribute is refused ("the file is read-only"), as Windows
    // refuses it. One mdir and one mcopy, and one mattrib and one mmove when
    // a file is replaced. The caller holds the image's write lock
    // (ImageWriteLock).
    void put(const QString &native, const QString &inside, const QString &name) const;

    // Deletes the file at `inside`. One mattrib and one mdel; a missing file,
    // and a directory, fail with mtools' message, a read-only file with "the
    // file is read-only". The caller holds the write lock.
    void remove(const QString &inside, const QString &name) const;

    // Makes the directory at `inside`, whose parent exists. One mmd; a
    // failure carries mtools' message. The caller holds the write lock.
    void makeDirectory(const QString &inside, const QString &name) const;

    // The volume label in the root directory, as Windows shows it; empty
    // when there is none. One mlabel.
    QString label() const;

    // How many mtools processes this program has started so far, for the
    // benchmark's count per operation.
    static long processesStarted();

private:
    QString imageArgument() const;
    // True when the file at `inside` has the read-only attribute; false
    // also when mattrib cannot tell (a missing file: the write reports it).
    bool isReadOnly(const QString &inside, const QString &name) const;

    DiskVolume m_volume;
};

// The entry named `wanted` (its long or its short name, regardless of
// case) in the output of "mdir -a" for one directory, as mdir prints it
// with the settings MtoolsDrive fixes; nothing when it is not listed. "."
// and ".." are never found.
std::optional<MtoolsDrive::Entry> findInListing(const QString &listing, const QString &wanted);

} // namespace vantrel
