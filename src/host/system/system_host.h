#pragma once

// The host services that need no desktop, realised on Linux: files through
// POSIX calls on the mapped drive (through mtools where the drive is a disk
// image, host/image_files.h), programs through QProcess without a shell,
// settings in an INI file per user, timers through QTimer.
//
// The desktop services (message box, beep, pictures, screen, file dialog)
// are left to DesktopHost, the console tool's host and the test double.

#include "host/disk/image_files.h"
#include "host/host.h"
#include "host/system/drive_map.h"

#include <QStringList>

#include <vector>

namespace vantrel {

class SystemHost : public Host {
public:
    // A host on `drives`: the drive mapping of the environment and the
    // choice of drive C, unless a map for one drive is given. The first host
    // of a process removes the private copies that killed runs left
    // (removeStalePrivateDirectories).
    explicit SystemHost(DriveMap drives = {});

    void copyFile(const QString &source, const QString &destination) override;
    void deleteFile(const QString &path) override;
    std::int64_t fileLength(const QString &path) override;
    PathKind pathKind(const QString &path) override;
    void makeDirectories(const QString &path) override;
    // Both refuse a directory inside a disk image, which mtools cannot
    // tell empty or remove here.
    bool directoryIsEmpty(const QString &path) override;
    void removeEmptyDirectory(const QString &path) override;
    std::unique_ptr<BinaryFile> openBinary(const QString &path, FileAccess access) override;
    std::unique_ptr<Replacement> replaceFile(const QString &path, ReplaceFrom start) override;
    // An OFD lock (host/file_lock.h); refused for a path inside a disk image.
    std::unique_ptr<FileLock> lockExclusive(const QString &path, int waitMs) override;
    // Throws HostError for a path inside a disk image, which has none.
    QString nativePath(const QString &path) override;

    // Where a program path leads: a native file, or a file inside a disk
    // image (see DriveMap::locate).
    Location locate(const QString &path) const;
    // Takes partition `partition` of the disk image drive `drive` stands for
    // (see DriveMap::choosePartition).
    void choosePartition(QChar drive, int partition);
    // See DriveMap::driveIdentity; a partition chosen with choosePartition
    // counts.
    QString driveIdentity(const QString &path) override;
    // Refuses a path inside a disk image that another program is using.
    void checkWritable(const QString &path) override;
    // A native file with the content of the program path `path`: the file
    // itself, or a private copy of a file inside a disk image, removed when
    // the result goes. For readers that need a native path (pictures).
    // Throws HostError when an image's file cannot be copied out.
    LocalFile localFile(const QString &path);

    void runCommandLine(const QString &commandLine, WindowStyle style) override;

    // The directory WinDir= names in the [Paths] section of C:\MSDOS.SYS,
    // as Windows 95 and 98 record it; C:\WINDOWS where that file or line is
    // missing, unreadable or names no directory on drive C.
    unsigned windowsDirectory(char *buffer, unsigned size) override;
    // The directory WinDir= names in C:\MSDOS.SYS, read as windowsDirectory
    // reads it; nothing when the file or the line is missing or unusable.
    std::optional<QString> recordedWindowsDirectory();
    QString createTempFile(const QString &prefix) override;

    QString getSetting(const QString &application, const QString &section, const QString &key,
                       const QString &defaultValue) override;
    void saveSetting(const QString &application, const QString &section, const QString &key,
                     const QString &value) override;

    std::unique_ptr<Timer> startTimer(int intervalMs, std::function<void()> onTick) override;

    // The programs that stand in for the ones the command lines name, tried
    // in order; the first found on PATH is started.
    static const QStringList &bitmapEditors();
    static const QStringList &textEditors();
    static const QStringList &openers();

    // The settings file of `application`: $XDG_CONFIG_HOME/<application>.conf.
    static QString settingsPath(const QString &application);

    // The program and its one argument for a command line, with the stand-in
    // program already looked up on PATH and a DOS path argument mapped. A
    // text inside a disk image reaches the text editor as a private copy,
    // kept while the host lives; a bitmap editor or any other program is
    // refused a file inside an image. Throws HostError when no program can
    // be found, and for such a refusal.
    struct Launch {
        QString program;
        QStringList arguments;
    };
    Launch resolveCommandLine(const QString &commandLine);

private:
    QString argumentPath(const QString &path, const QString &kind);

    DriveMap m_drives;
    std::vector<LocalFile> m_programCopies;
};

} // namespace vantrel
