#pragma once

// A start-up logo as a Plymouth theme, so that Linux boots behind it too.
//
// Plymouth, the boot splash of Debian, Ubuntu and Fedora, runs a theme of
// its "script" module from three kinds of file: NAME.plymouth names the
// module and where the script and the pictures are, NAME.script draws, and
// the pictures are PNG files. The theme holds each distinct step of the
// logo's cycle as the export's frame of that step (frames that look alike
// are merged as in the GIF), and the script shows them in turn at the
// logo's pace, centred on the screen at 4:3 with black around.
//
// makePlymouthTheme builds the files in memory; writePlymouthTheme writes
// them into a directory through the host, for the command line
// (vantrel-cli plymouth) and the windows alike. Installing the theme is
// left to the user: copy the directory to /usr/share/plymouth/themes/NAME
// and run plymouth-set-default-theme -R NAME.

#include "codec/gif_export.h"
#include "host/host.h"

#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace vantrel {

struct PlymouthOptions {
    // The theme's name: its files' names and its directory once installed.
    QString name;
    // How long each step of the cycle shows, kMinDelayMs..kMaxDelayMs.
    int delayMs = kDefaultDelayMs;
    // The size of the pictures; the script scales them to the screen.
    ExportSize size = ExportSize::Screen640x480;
};

// One file of a theme: its name within the theme's directory and content.
struct ThemeFile {
    QString name;
    std::vector<std::uint8_t> bytes;
};

// Why `name` cannot name a theme ("'a b' cannot name a theme: use 1 to 64
// letters, ..."), or nothing when it can: 1 to 64 ASCII letters, digits,
// '-', '_' and '.', starting with a letter or a digit, so that it is one
// safe file name everywhere Plymouth uses it.
QString themeNameProblem(const QString &name);

// The files of the theme for the logo bitmap `logo`, NAME.plymouth and
// NAME.script first, then one PNG per distinct step of the cycle, each
// named and made as the export's frame of its first step (frame-001.png,
// ...), one still frame for a logo that does not cycle. A non-empty
// `shutdownLogo` is the logo bitmap shown still at shutdown and reboot,
// as shutdown.png. The .plymouth file expects the theme in
// /usr/share/plymouth/themes/NAME. Takes any bytes: throws HostError with
// the reason for a logo or a shutdown logo that is not a logo bitmap (the
// export's reasons, the shutdown logo's after "the shutdown logo: "), for
// a name that themeNameProblem refuses and for a delay out of range.
std::vector<ThemeFile> makePlymouthTheme(std::span<const std::uint8_t> logo,
                                         std::span<const std::uint8_t> shutdownLogo,
                                         const PlymouthOptions &options);

// Writes `files` into `directory` (a program path), which must be missing
// (it is made) or an empty directory, each file through the host's
// replacement. Throws HostError with the reason when the directory is
// neither, before writing anything, and when a file cannot be written,
// after removing the files written so far and the directory if it was
// made here, so that nothing is left half done.
void writePlymouthTheme(Host &host, const QString &directory, const std::vector<ThemeFile> &files);

// makePlymouthTheme, then writePlymouthTheme into `directory`: what a
// command or a window calls to export a theme. Throws HostError as those
// do; nothing is written when the theme cannot be made.
void writePlymouthTheme(Host &host, const QString &directory, std::span<const std::uint8_t> logo,
                        std::span<const std::uint8_t> shutdownLogo, const PlymouthOptions &options);

} // namespace vantrel
