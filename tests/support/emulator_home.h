#pragma once

// A home directory holding one machine of each emulator, with its
// configuration written as that emulator writes it, and the small disk
// images the machines use. HOME points at it while it lives.

#include "support/disk_images.h"
#include "support/scoped_variable.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace vantrel::test {

// A disk `drives` is to list once: its machine, emulator, the path it shows
// ("image@N") and the Windows directory found in it.
struct ExpectedDisk {
    QString machine;
    QString emulator;
    QString path;
    QString windows;
};

class EmulatorHome {
public:
    // Throws std::runtime_error when an image cannot be made.
    EmulatorHome();

    QString path() const { return m_dir.path(); }
    // The disks that can be read, in the order they are listed.
    const std::vector<ExpectedDisk> &expected() const { return m_expected; }
    // The 86Box machine's disk, FAT16 with MSDOS.SYS naming C:\WIN98.
    const TempImage &win98() const { return *m_images.front(); }
    // The qcow2 file the libvirt machine declares.
    QString qcow2() const { return m_dir.filePath(QStringLiteral("boxes/old.qcow2")); }
    // The configuration file that is not well-formed.
    QString broken() const
    {
        return m_dir.filePath(QStringLiteral(".config/libvirt/qemu/broken.xml"));
    }

private:
    const TempImage &image(ImageKind kind, const char *machine, const char *emulator,
                           const QString &windows);

    QTemporaryDir m_dir;
    ScopedVariable m_home{"HOME"};
    std::vector<std::unique_ptr<TempImage>> m_images;
    std::vector<ExpectedDisk> m_expected;
};

} // namespace vantrel::test
