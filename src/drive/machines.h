#pragma once

// The emulator machines of this computer and their hard disks.
//
// Each emulator's own configuration files are read, never written, and the
// emulators are never started:
//
//  - 86Box: 86box.cfg in each machine folder under ~/.local/share/86Box
//    (or $XDG_DATA_HOME/86Box) and ~/86Box (and one level deeper, where a manager keeps its
//    machines), the hdd_NN_fn keys of [Hard disks], relative to the machine folder;
//  - PCem: ~/.pcem/configs/*.cfg, the hdc_fn and hdd_fn keys;
//  - libvirt (QEMU, GNOME Boxes): ~/.config/libvirt/qemu/*.xml and
//    /etc/libvirt/qemu/*.xml, each <disk type='file' device='disk'> with its
//    <source file=...> and <driver type=...>;
//  - VirtualBox: ~/.config/VirtualBox/VirtualBox.xml names each machine's
//    .vbox file (MachineEntry src=); there each HardDisk's location,
//    relative to the .vbox file, and format;
//  - DOSBox-X: "imgmount c IMAGE" lines in ~/.config/dosbox-x/*.conf;
//  - Bochs: "ata0-master: type=disk, path=IMAGE" in ~/.bochsrc.
//
// The XML goes through QXmlStreamReader and 86Box's INI files through
// QSettings; PCem, DOSBox-X and Bochs write lines of their own, read by a
// small reader of key and value. Only disks whose file exists are listed.
// A file that cannot be parsed is named among the skipped ones and the
// search goes on.

#include <QString>
#include <QStringList>

#include <vector>

namespace vantrel {

struct FoundDisk {
    // The machine's name: its folder, its file name or its <name>.
    QString machine;
    // "86Box", "PCem", "libvirt", "VirtualBox", "DOSBox-X" or "Bochs".
    QString emulator;
    // The image, as an absolute clean path.
    QString image;
    // The format the configuration declares ("raw", "qcow2", "VDI"...);
    // empty when it declares none.
    QString declaredFormat;
};

struct FoundMachines {
    std::vector<FoundDisk> disks;
    // "FILE: REASON" for each configuration file that could not be read.
    QStringList skipped;
};

// Where to look: the home directory and the system's configuration
// directory (/etc).
struct MachineSearch {
    QString home;
    QString systemConfig = QStringLiteral("/etc");
    // $XDG_DATA_HOME, where 86Box keeps its machines when it is set; empty
    // for ~/.local/share alone.
    QString dataHome;
};

// The search of this user: $HOME, $XDG_DATA_HOME and /etc.
MachineSearch userMachineSearch();

// Finds the machines' disks, in the order of the list above, each image
// once. Throws nothing.
FoundMachines findMachines(const MachineSearch &search);

} // namespace vantrel
