#pragma once

// The host of the desktop program: the system services, plus the ones that
// need a desktop session, realised with Qt Widgets.
//
//  - message boxes are modal QMessageBoxes over the active window, the
//    prompt shown as plain text (it may hold a path);
//  - the file dialog is Qt's own (not the platform's) QFileDialog, fed
//    with the program's "description|patterns" filters, sized to show its
//    columns in full and started in the folder the user last chose in;
//    a Save dialog takes an existing file without asking to replace it.

#include "host/system/system_host.h"

#include <QStringList>

namespace vantrel {

class DesktopHost : public SystemHost {
public:
    void messageBox(const QString &prompt) override;
    void beep() override;
    QImage loadPicture(const QString &path) override;
    // Throws HostError when there is no screen.
    QSize screenSizeTwips() override;
    // Opens the dialog in the folder FileName names (a DOS path through the
    // drive map, or a native path), or in the folder of the file or pattern
    // it names, with that name or pattern in the name box. When FileName
    // names no existing folder, the dialog starts in the folder last chosen
    // in (kept per user in the program's own settings, "vantrel"), else in
    // the user's pictures folder, else at home. Choosing a file remembers
    // its folder; cancelling remembers nothing. The window opens wide
    // enough for the name, size, type and date columns to show in full. The
    // patterns of the filters match names regardless of case.
    void showFileDialog(FileDialog &dialog, FileDialogKind kind) override;
};

// The Qt name filters for a filter text "description|patterns|...": one
// "description (pattern pattern)" entry per pair, the ';'-separated
// patterns listed last so that Qt takes them and not any parenthesis of
// the description. A description without patterns matches every file.
// Empty text gives no entries.
QStringList toQtNameFilters(const QString &filter);

// True when `name` holds a wildcard character ('*' or '?').
bool hasWildcard(const QString &name);

} // namespace vantrel
