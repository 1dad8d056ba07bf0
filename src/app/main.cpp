#include "app/classic_look.h"
#include "app/default_drive.h"
#include "app/forms.h"
#include "host/desktop_host.h"
#include "logo/form1.h"

#include <QApplication>

#include <cstdio>

namespace {

bool haveDesktopSession()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char *argv[])
{
    if (!haveDesktopSession()) {
        std::fputs("vantrel: this program needs a desktop session (X11 or Wayland), and neither "
                   "DISPLAY nor WAYLAND_DISPLAY is set.\n"
                   "For use without a desktop, vantrel-cli offers where, install, restore, "
                   "animate and check.\n",
                   stderr);
        return 1;
    }

    QApplication app(argc, argv);
    // Windows come and go through Forms; only ending the program quits.
    QApplication::setQuitOnLastWindowClosed(false);
    vantrel::applyClassicLook(app);

    vantrel::DesktopHost host;
    try {
        vantrel::provisionDefaultDrive();
    } catch (const vantrel::HostError &error) {
        host.messageBox(
            QStringLiteral("Vantrel could not set up its drive C: %1").arg(error.reason()));
    }

    vantrel::Forms forms(host);
    forms.show<vantrel::Form1>();
    return QApplication::exec();
}
