#pragma once

// The drives the user can choose for drive C, as the "Drive C" window and
// "vantrel-cli drives" list them: the remembered drives (last used first),
// the emulator machines found on this computer (drive/machines.h), then
// the program's own default drive; each drive once.
//
// Listing is quick: it reads the settings and the emulators' configuration
// files. What a drive holds (its kind, Windows directory and slots) is
// read by describeDrive, which may start mtools several times for a disk
// image, so the window does it off the user-interface thread.

#include "drive/machines.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <vector>

namespace vantrel {

class Host;

struct DriveRow {
    // The machine or the folder's name.
    QString name;
    // "remembered", "86Box", "PCem", "libvirt", "VirtualBox", "DOSBox-X",
    // "Bochs" or "default".
    QString source;
    // The drive as chosen: a directory, an image, or "image@N"; empty for
    // the default drive.
    QString drive;
    // The path shown: the drive, or the default directory's path.
    QString path;
    // The format the emulator's configuration declares, if any.
    QString declaredFormat;

    // Filled by describeDrive.
    bool described = false;
    // "directory", "raw disk image, partition 1, FAT16, label WIN98"...
    QString kind;
    // The Windows directory ("C:\WIN98"); empty when the drive cannot be
    // read.
    QString windowsDirectory;
    // True when MSDOS.SYS names the Windows directory or it holds WIN.COM.
    bool windows9x = false;
    // Whether each slot (startup, shutdown, switch-off) holds a file, and
    // its bytes when it is no longer than a logo bitmap needs to be.
    std::array<bool, 3> slotsHold{};
    std::array<QByteArray, 3> slotBytes;
    // The FAT partitions of an image with a partition table, for a choice
    // between them; empty otherwise.
    QList<int> partitions;
    // The program that holds the image open, as "86Box (process 42)".
    QString usedBy;
    // Why the drive cannot be used (a refused format with the command that
    // converts it, a missing file); empty when it can.
    QString problem;

    // True when the drive may be chosen for writing.
    bool usable() const { return problem.isEmpty() && usedBy.isEmpty(); }
};

// A row not yet described.
DriveRow makeDriveRow(const QString &name, const QString &source, const QString &drive,
                      const QString &path, const QString &declaredFormat = {});

// The rows, not yet described. `host` gives the remembered drives.
std::vector<DriveRow> listDrives(Host &host, const FoundMachines &machines);

// Reads what the drive of `row` holds into it. Touches nothing but the row
// and writes nothing anywhere; throws nothing. Safe to run on another
// thread than the caller's.
void describeDrive(DriveRow &row);

// True when `row` names the drive in use now.
bool isDriveInUse(const DriveRow &row);

// "yes"/"no" for each slot, as "startup yes, shutdown no, switch-off yes".
QString slotsText(const DriveRow &row);

} // namespace vantrel
