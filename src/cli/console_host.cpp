#include "cli/console_host.h"

#include "codec/picture.h"

namespace vantrel {

void ConsoleHost::messageBox(const QString &prompt)
{
    ++m_messages;
    m_err << prompt << Qt::endl;
}

QImage ConsoleHost::loadPicture(const QString &path)
{
    return readPicture(localFile(path).path(), path);
}

QSize ConsoleHost::screenSizeTwips()
{
    throw HostError(QStringLiteral("there is no screen on the command line"));
}

void ConsoleHost::showFileDialog(FileDialog &, FileDialogKind)
{
    throw HostError(QStringLiteral("there are no dialogs on the command line"));
}

} // namespace vantrel
