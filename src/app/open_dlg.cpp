#include "app/open_dlg.h"

namespace vantrel {

namespace {

constexpr TwipRect kWindow{4860, 2670, 2865, 2535};

} // namespace

OpenDlg::OpenDlg(const FormContext &context) : Form(context)
{
    setObjectName(QStringLiteral("OpenDlg"));
    setWindowTitle(QStringLiteral("Open File"));
    const QRect place = kWindow.pixels();
    move(place.topLeft());
    resize(place.size());
}

} // namespace vantrel
