#include "logo/viewer.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>

namespace vantrel {

QString viewFailedMessage(LogoSlot slot)
{
    if (slot == LogoSlot::Startup)
        return QStringLiteral("The startup screen is set to default and cannot be viewed.");
    return QStringLiteral("Error, -the file could not be found.  Try selecting a file, should this "
                          "problem persist contact Brontic");
}

void showInPreview(QLabel &preview, const QImage &image)
{
    preview.setPixmap(QPixmap::fromImage(image));
}

void ViewSlot(Host &host, LogoSlot slot, const QString &windowsDirectory, QLabel &preview,
              QWidget &editButton)
{
    editButton.setEnabled(true);
    try {
        showInPreview(preview, host.loadPicture(installedPath(slot, windowsDirectory)));
    } catch (const HostError &) {
        host.messageBox(viewFailedMessage(slot));
        editButton.setEnabled(false);
    }
}

} // namespace vantrel
