#include "support/emulator_home.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace vantrel::test {

namespace {

void writeText(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

} // namespace

const TempImage &EmulatorHome::image(ImageKind kind, const char *machine, const char *emulator,
                                     const QString &windows)
{
    m_images.push_back(std::make_unique<TempImage>(kind));
    const TempImage &made = *m_images.back();
    const QString canonical = QFileInfo(made.path()).canonicalFilePath();
    m_expected.push_back({QString::fromLatin1(machine), QString::fromLatin1(emulator),
                          canonical + '@' + QString::number(made.partition()), windows});
    return made;
}

EmulatorHome::EmulatorHome()
{
    m_home.set(QFile::encodeName(m_dir.path()));
    const QString home = m_dir.path();

    // 86Box keeps each machine in a folder; its disks are relative to it.
    const TempImage &win98 = image(ImageKind::Fat16Disk, "Win98", "86Box", "C:\\WIN98\\");
    win98.write("/MSDOS.SYS", "[Paths]\r\nWinDir=C:\\WIN98\r\nWinBootDir=C:\\WIN98\r\n");
    const QString machine = home + "/.local/share/86Box/Win98";
    writeText(machine + "/86box.cfg",
              utf8("[Machine]\nmachine = p3bf\nmem_size = 65536\n\n[Hard disks]\n"
                   "hdd_01_parameters = 63, 16, 16, 0, ide\nhdd_01_fn = " +
                   QDir(machine).relativeFilePath(win98.path()) + "\nhdd_01_ide_channel = 0:0\n"));

    // PCem: one file per machine, absolute paths.
    const TempImage &pcem = image(ImageKind::Fat32Disk, "pentium", "PCem", "C:\\WINDOWS\\");
    pcem.write("/WINDOWS/WIN.COM", "MZ");
    writeText(home + "/.pcem/configs/pentium.cfg",
              utf8("gameblaster = 0\nmodel = p55t2p4\nhdc_sectors = 63\nhdc_fn = " + pcem.path() +
                   "\nhdd_fn = \n"));

    // libvirt: a raw disk, a qcow2 one, one that has gone, and a file cut
    // short.
    const TempImage &boxes =
        image(ImageKind::Superfloppy, "win95-boxes", "libvirt", "C:\\WINDOWS\\");
    writeText(qcow2(), QByteArray("QFI\xfb\0\0\0\3", 8) + QByteArray(504, '\0'));
    writeText(home + "/.config/libvirt/qemu/win95.xml",
              utf8("<domain type='kvm'>\n  <name>win95-boxes</name>\n  <devices>\n"
                   "    <disk type='file' device='disk'>\n      <driver name='qemu' type='raw'/>\n"
                   "      <source file='" +
                   boxes.path() +
                   "'/>\n      <target dev='hda' bus='ide'/>\n"
                   "    </disk>\n    <disk type='file' device='disk'>\n"
                   "      <driver name='qemu' type='qcow2'/>\n      <source file='" +
                   qcow2() +
                   "'/>\n    </disk>\n    <disk type='file' device='disk'>\n"
                   "      <source file='" +
                   home +
                   "/gone.img'/>\n    </disk>\n"
                   "  </devices>\n</domain>\n"));
    writeText(broken(), "<domain type='kvm'>\n  <name>broken</name>\n  <devices>\n");

    // VirtualBox: the registry names the .vbox, whose disks are relative to it.
    const TempImage &vbox = image(ImageKind::FixedVhd, "Windows 98", "VirtualBox", "C:\\WINDOWS\\");
    const QString vboxFile = home + "/VirtualBox VMs/Windows 98/Windows 98.vbox";
    writeText(home + "/.config/VirtualBox/VirtualBox.xml",
              utf8("<?xml version=\"1.0\"?>\n<VirtualBox xmlns=\"http://www.virtualbox.org/\" "
                   "version=\"1.12-linux\">\n  <Global>\n    <MachineRegistry>\n"
                   "      <MachineEntry uuid=\"{0b1c}\" src=\"" +
                   vboxFile +
                   "\"/>\n"
                   "    </MachineRegistry>\n  </Global>\n</VirtualBox>\n"));
    writeText(vboxFile,
              utf8("<?xml version=\"1.0\"?>\n<VirtualBox xmlns=\"http://www.virtualbox.org/\" "
                   "version=\"1.16-linux\">\n  <Machine uuid=\"{0b1c}\" name=\"Windows 98\" "
                   "OSType=\"Windows98\">\n    <MediaRegistry>\n      <HardDisks>\n"
                   "        <HardDisk uuid=\"{d15c}\" location=\"" +
                   QFileInfo(vboxFile).dir().relativeFilePath(vbox.path()) +
                   "\" format=\"VHD\" type=\"Normal\"/>\n      </HardDisks>\n"
                   "    </MediaRegistry>\n  </Machine>\n</VirtualBox>\n"));

    // DOSBox-X mounts drive C in [autoexec].
    const TempImage &dosbox =
        image(ImageKind::SuperfloppyVhd, "dosbox-x", "DOSBox-X", "C:\\WINDOWS\\");
    writeText(home + "/.config/dosbox-x/dosbox-x.conf",
              utf8("[sdl]\nfullscreen=false\n[autoexec]\nIMGMOUNT C \"" + dosbox.path() +
                   "\" -t hdd -fs fat\nboot c:\n"));

    // Bochs: relative to where it starts, the home directory.
    const TempImage &bochs =
        image(ImageKind::Fat16Disk, "bochsrc ata0-master", "Bochs", "C:\\WINDOWS\\");
    writeText(home + "/.bochsrc",
              utf8("# configuration file generated by Bochs\nata0: enabled=1, ioaddr1=0x1f0\n"
                   "ata0-master: type=disk, path=\"" +
                   QDir(home).relativeFilePath(bochs.path()) +
                   "\", mode=flat, cylinders=20, heads=16, spt=63\n"));
}

} // namespace vantrel::test
