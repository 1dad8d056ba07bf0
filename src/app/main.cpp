#include "app/form3.h"
#include "drive/default_drive.h"
#include "drive/drive_choice.h"
#include "logo/form1.h"
#include "ui/classic_look.h"
#include "ui/desktop_host.h"
#include "ui/forms.h"

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
    // VANTREL_DRIVE_C, else the drive chosen last, else the default.
    const vantrel::DriveChoice choice = vantrel::resolveDriveChoice(host, std::nullopt);
    vantrel::applyDriveChoice(choice);
    vantrel::Forms forms(host);
    forms.setMainWindow<vantrel::Form1>();
    // The splash comes first, before anything else is shown or done; the
    // main window that needs the drive opens five seconds later.
    vantrel::startProgram(forms, vantrel::provisionDefaultDrive);
    if (const QString gone = choice.goneMessage(); !gone.isEmpty())
        forms.load<vantrel::Form3>().tellAfterMainWindow(gone.left(1).toUpper() + gone.mid(1) +
                                                         '.');
    return QApplication::exec();
}
