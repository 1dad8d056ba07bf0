#include "drive/default_drive.h"

#include "drive/stock_art.h"
#include "host/host.h"
#include "host/posix_file.h"
#include "host/system/drive_map.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>

namespace vantrel {

namespace {

// Kept as plain lines here; readmeText() gives them their CRLF ends.
const char kReadme[] = R"(Vantrel 32 - Brontic Vantrel 32-bit
===================================

Vantrel replaces the three full-screen pictures Windows shows: the logo
while it starts, the "please wait" picture while it shuts down, and the
picture that says it is safe to switch the computer off.

The three logo slots
--------------------

  Startup     C:\logo.sys
  Shutdown    C:\WINDOWS\logow.sys
  Switch off  C:\WINDOWS\logos.sys

The shutdown and switch-off slots live in the Windows directory, whatever
it is called on your computer. The stock shutdown and switch-off pictures
are kept in C:\vantrel\logow.sys and C:\vantrel\logos.sys; Vantrel only
reads them, so keep them there.

Using Vantrel
-------------

Open File chooses a bitmap and shows it in the preview.

Change Startup, Change Shutdown and Change Turn Off copy the chosen file
into that slot, replacing what is there, without asking.

Restore Startup deletes C:\logo.sys, so that Windows shows its built-in
start-up logo again. Restore Shutdown and Restore Turn Off copy the stock
picture from C:\vantrel\ back into the slot.

Restore All does all three at once and says nothing, whatever happens.

Nothing is lost: before Vantrel replaces or deletes a slot file, it keeps
a copy of it outside the drive, in ~/.local/share/vantrel/backups. The
first picture it finds in a slot, the drive's original, is always kept;
of the others the newest 20 stay. "vantrel-cli backups" lists them and
"vantrel-cli undo" puts one back; View > History... shows them with their
pictures, and its Put Back does what undo does.

The View menu (Startup, Shutdown, Switch off) shows what a slot holds.

Edit bitmap opens the chosen file in Paint.

What makes a logo
-----------------

Windows only uses a logo that is a 320 x 400 pixel, 8-bit (256 colour)
uncompressed bitmap of exactly 129078 bytes. Vantrel installs any file
you give it, so check the size first: a file of any other size will not
show as a logo. Windows stretches the picture to fill the screen.

The Animation Maker
-------------------

Vog Animate (or Tools > Animation Maker) makes an animated start-up logo.
Windows animates the start-up logo by cycling palette entries, from a
starting entry up to entry 255.

  Source File     a logo bitmap of exactly 129078 bytes
  Target File     where the animated copy is written
  Starting Entry  the first palette entry that cycles, 1 to 255;
                  the default is 236
  Reverse Animated Pallette Entries
                  mirrors the animated colours in the picture so the
                  animation runs the other way

Test shows the animation in a window; click the picture to close it.
Run writes the target and makes it the chosen file, ready for Change
Startup. When something is wrong the Animation Maker just beeps.

The command-line tool
---------------------

vantrel-cli does the same work without windows:

  vantrel-cli where
      shows drive C, the Windows directory and what each slot holds
  vantrel-cli install startup|shutdown|switchoff FILE
      copies FILE into a slot, like the Change buttons
  vantrel-cli restore startup|shutdown|switchoff|all
      puts the default back, like Restore and Restore All
  vantrel-cli animate SOURCE TARGET [--start S] [--reverse]
      does what Run does in the Animation Maker; S is 236 unless given
  vantrel-cli check FILE...
      tells whether each FILE is a logo bitmap, and why not
  vantrel-cli convert INPUT OUTPUT [options]
      makes a logo bitmap from any picture (PNG, JPEG, BMP, GIF, ...)
  vantrel-cli export LOGO OUT.gif [--size WxH] [--delay-ms N] [--cycles K] [--frames DIR]
      writes the logo's palette animation as an animated GIF, to watch
      it move without starting Windows
  vantrel-cli plymouth LOGO DIR [--name NAME] [options]
      writes a Plymouth theme of the logo, so that Linux boots behind it
  vantrel-cli backups [startup|shutdown|switchoff] [--json]
      lists the copies Vantrel kept of the files it replaced, newest first
  vantrel-cli undo startup|shutdown|switchoff [--to ID|original]
      puts a kept copy back, the newest by default or the drive's original
  vantrel-cli setup
      makes C:\vantrel\ on a drive you named, with copies of its own
      shutdown pictures as the ones Restore puts back
  vantrel-cli drives
      lists the drives that can be drive C: the remembered ones, the
      disks of the emulator machines found, and Vantrel's own
  vantrel-cli drive [PATH[@N] | --forget]
      says which drive C is in use and why, remembers one, or forgets it

"vantrel-cli COMMAND --help" explains each command.

Where drive C is
----------------

Vantrel works on a directory or disk image that stands for drive C.
Tools > Drive C... lists the disks of your emulator machines (86Box,
PCem, libvirt, VirtualBox, DOSBox-X, Bochs) and remembers the one you
choose; "vantrel-cli drive PATH" does the same. The environment variable
VANTREL_DRIVE_C, set to a directory or image, comes before the
remembered drive, and --drive PATH before any command comes before both.
Without any of them, drive C is ~/.local/share/vantrel/drive_c (or
$XDG_DATA_HOME/vantrel/drive_c when XDG_DATA_HOME is set), which Vantrel
sets up the first time with the WINDOWS and vantrel directories, the
stock pictures and this file. A directory you
name with VANTREL_DRIVE_C is never set up or changed that way.
)";

// Throws HostError `reason` of the kind of errno. Qt's file classes fail
// in a system call and leave its errno, which their own error text comes
// from; read it before anything else can change it.
[[noreturn]] void failAfterSystemCall(int error, const QString &reason)
{
    throw HostError(reason, posix::errorKind(error));
}

void makeDirectory(const QString &path)
{
    if (!QDir().mkdir(path)) {
        const int error = errno;
        failAfterSystemCall(error, QStringLiteral("cannot create the directory %1").arg(path));
    }
}

void writeNewFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const int error = errno;
        failAfterSystemCall(error,
                            QStringLiteral("cannot create %1: %2").arg(path, file.errorString()));
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const int error = errno;
        failAfterSystemCall(error,
                            QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    }
    file.close();
}

// Renames the directory `from` to `to` unless something exists at `to`.
// Returns false when something does; throws for any other failure.
bool renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    const int moved =
        ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
    if (moved == 0)
        return true;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without the atomic test: checking first leaves a
        // short race, and a plain rename would still not replace a drive
        // that has files in it.
        if (QFileInfo(to).exists() || QFileInfo(to).isSymLink())
            return false;
        if (std::rename(source.constData(), target.constData()) == 0)
            return true;
        error = errno;
    }
    if (error == EEXIST || error == ENOTEMPTY)
        return false;
    failAfterSystemCall(
        error,
        QStringLiteral("cannot move the new drive to %1: %2").arg(to, qt_error_string(error)));
}

} // namespace

QByteArray readmeText()
{
    QByteArray text(kReadme);
    text.replace("\n", "\r\n");
    return text;
}

void provisionDefaultDrive()
{
    if (!DriveMap::driveCIsDefault())
        return;
    const QString drive = DriveMap().driveRoot('C');
    const QFileInfo info(drive);
    // Whatever is there, even a broken link or a half-filled directory, is
    // the user's business.
    if (info.exists() || info.isSymLink())
        return;

    const QString parent = info.absolutePath();
    if (!QDir().mkpath(parent)) {
        const int error = errno;
        failAfterSystemCall(error, QStringLiteral("cannot create the directory %1").arg(parent));
    }
    QTemporaryDir staging(parent + '/' + info.fileName() + ".new-XXXXXX");
    if (!staging.isValid()) {
        const int error = errno;
        failAfterSystemCall(
            error,
            QStringLiteral("cannot create the drive in %1: %2").arg(parent, staging.errorString()));
    }

    const QString root = staging.path();
    const QByteArray shutdown = shutdownPicture();
    const QByteArray switchOff = switchOffPicture();
    makeDirectory(root + "/WINDOWS");
    writeNewFile(root + "/WINDOWS/logow.sys", shutdown);
    writeNewFile(root + "/WINDOWS/logos.sys", switchOff);
    makeDirectory(root + "/vantrel");
    writeNewFile(root + "/vantrel/logow.sys", shutdown);
    writeNewFile(root + "/vantrel/logos.sys", switchOff);
    writeNewFile(root + "/vantrel/readme.txt", readmeText());
    // The staging directory is private while it is built; the drive itself
    // is an ordinary directory of the user's, like the others they made.
    QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                    QFile::ExeOther);

    if (renameNoReplace(root, drive))
        staging.setAutoRemove(false);
}

} // namespace vantrel
