#pragma once

// The host services that need no desktop, realised on Linux: files through
// POSIX calls on the mapped drive, programs through QProcess without a
// shell, settings in an INI file per user, timers through QTimer.
//
// The desktop services (message box, beep, pictures, screen, file dialog)
// are left to DesktopHost, the console tool's host and the test double.

#include "host/drive_map.h"
#include "host/host.h"

#include <QStringList>

namespace vantrel {

class SystemHost : public Host {
public:
    void copyFile(const QString &source, const QString &destination) override;
    void deleteFile(const QString &path) override;
    std::int64_t fileLength(const QString &path) override;
    PathKind pathKind(const QString &path) override;
    void makeDirectories(const QString &path) override;
    std::unique_ptr<BinaryFile> openBinary(const QString &path, FileAccess access) override;
    std::unique_ptr<Replacement> replaceFile(const QString &path, ReplaceFrom start) override;
    QString nativePath(const QString &path) override;

    void runCommandLine(const QString &commandLine, WindowStyle style) override;

    unsigned windowsDirectory(char *buffer, unsigned size) override;
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
    // program already looked up on PATH and a DOS path argument mapped.
    // Throws HostError when no program can be found.
    struct Launch {
        QString program;
        QStringList arguments;
    };
    Launch resolveCommandLine(const QString &commandLine);

private:
    DriveMap m_drives;
};

} // namespace vantrel
