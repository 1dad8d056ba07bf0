#pragma once

// The hidden window that holds the main window's file dialog. It is loaded
// the first time the main window asks for the dialog and stays loaded,
// never shown, until the program ends.

#include "ui/forms.h"

namespace vantrel {

class OpenDlg : public Form {
    Q_OBJECT
public:
    explicit OpenDlg(const FormContext &context);

    // The dialog with every property at its default; its users set what
    // they need before each show.
    FileDialog CMDialog1;
};

} // namespace vantrel
