#pragma once

// The test double of the host: real files (on a temporary drive the test
// sets up), everything else recorded or scripted.
//
//  - messages and beeps are recorded;
//  - command lines are recorded, and fail for programs named in
//    failingPrograms;
//  - file dialogs answer from a queue the test fills; every dialog shown
//    is recorded as it was when shown;
//  - timers tick only when the test calls advance();
//  - settings live in memory;
//  - the Windows directory reply can be scripted.

#include "host/system/system_host.h"
#include "support/qt_print.h"

#include <QImage>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>

#include <deque>
#include <optional>
#include <vector>

namespace vantrel::test {

class FakeHost : public SystemHost {
public:
    FakeHost();
    ~FakeHost() override;

    struct CommandLine {
        QString line;
        WindowStyle style;
    };
    struct ShownDialog {
        FileDialog state;
        FileDialogKind kind;
    };
    // What the user does in the next dialog: choose a path, or cancel
    // (std::nullopt).
    using DialogAnswer = std::optional<QString>;

    void runCommandLine(const QString &commandLine, WindowStyle style) override;
    unsigned windowsDirectory(char *buffer, unsigned size) override;
    QString getSetting(const QString &application, const QString &section, const QString &key,
                       const QString &defaultValue) override;
    void saveSetting(const QString &application, const QString &section, const QString &key,
                     const QString &value) override;
    std::unique_ptr<Timer> startTimer(int intervalMs, std::function<void()> onTick) override;
    void messageBox(const QString &prompt) override;
    void beep() override { ++beeps; }
    QImage loadPicture(const QString &path) override;
    QSize screenSizeTwips() override { return screenTwips; }
    void showFileDialog(FileDialog &dialog, FileDialogKind kind) override;

    // Runs every tick that falls within the next `ms` milliseconds, in
    // time order.
    void advance(int ms);
    int runningTimers() const { return int(m_timers.size()); }

    QStringList messages;
    int beeps = 0;
    std::vector<CommandLine> commandLines;
    QSet<QString> failingPrograms;
    std::deque<DialogAnswer> dialogAnswers;
    std::vector<ShownDialog> dialogsShown;
    // The raw reply of the Windows directory call: the bytes written (a NUL
    // is added) and the length returned. Unset: the real host's reply.
    std::optional<std::pair<QByteArray, unsigned>> windowsDirectoryReply;
    QMap<QString, QString> settings; // "application/section/key" -> value
    QSize screenTwips{640 * kTwipsPerPixel, 480 * kTwipsPerPixel};
    QStringList picturesLoaded;

private:
    struct FakeTimer;
    friend struct FakeTimer;
    std::vector<FakeTimer *> m_timers;
    long long m_now = 0;
};

// A temporary directory that stands for drive C while it lives: sets
// VANTREL_DRIVE_C and puts the old value back afterwards.
class TempDrive {
public:
    TempDrive();
    ~TempDrive();

    QString root() const { return m_dir.path(); }
    // Native path for a path below the drive, written with '/'.
    QString path(const QString &relative) const { return m_dir.path() + '/' + relative; }

    void write(const QString &relative, const QByteArray &bytes) const;
    QByteArray read(const QString &relative) const;
    bool exists(const QString &relative) const;
    void makeDirectory(const QString &relative) const;

    // WINDOWS\ and vantrel\ with stock files "stock-w" and "stock-s".
    void makeInstallation() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldDrive;
    bool m_hadDrive;
};

} // namespace vantrel::test
