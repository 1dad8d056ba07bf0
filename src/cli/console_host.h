#pragma once

// The host of the command-line tool: the system services, with messages
// written to standard error instead of a box. It has no desktop, so the
// dialogs and the screen are not available.

#include "host/system/system_host.h"

#include <QTextStream>

namespace vantrel {

class ConsoleHost : public SystemHost {
public:
    explicit ConsoleHost(QTextStream &err) : m_err(err) {}

    void messageBox(const QString &prompt) override;
    void beep() override {}
    QImage loadPicture(const QString &path) override;
    QSize screenSizeTwips() override;
    void showFileDialog(FileDialog &dialog, FileDialogKind kind) override;

    // How many messages have been written so far.
    int messagesShown() const { return m_messages; }

private:
    QTextStream &m_err;
    int m_messages = 0;
};

} // namespace vantrel
