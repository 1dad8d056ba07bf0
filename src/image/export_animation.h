#pragma once

// The Export Animation window: writes the animation of the main window's
// current logo bitmap to a file, through the export of `vantrel-cli
// export` (codec/gif_export.h).
//
// The kinds of file it can write are rows of one table (exportTypes): a
// name for the list, the dialog that asks where (a save dialog with its
// filter and proposed extension, or a folder dialog), whether the number of
// cycles counts, and the function that writes it. Adding a kind is adding
// a row.
//
// The window opens only on a logo bitmap: Form_Load reads the main
// window's current file whole and refuses any other file with check's
// reason, so that the window is never shown for it.

#include "codec/gif_export.h"
#include "ui/forms.h"

#include <optional>
#include <span>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace vantrel {

// What every kind of export is asked for.
struct ExportSettings {
    ExportSize size = ExportSize::Screen640x480;
    GifOptions gif;
};

// One kind of file the window writes.
struct ExportType {
    // As the list shows it: "Animated GIF".
    QString name;
    // FileDialogKind::Save asks for a file; FileDialogKind::Folder for a
    // folder, which the export fills.
    FileDialogKind dialog;
    // The save dialog's filter ("description|patterns") and the extension
    // proposed for a name given without one; empty for a folder.
    QString filter;
    QString extension;
    // Whether the export repeats the cycle a number of times (the Cycles
    // control), rather than as long as it is shown.
    bool counted;
    // Writes the export of the logo bitmap `logo` (its bytes) to `target`
    // through the host. Throws HostError with the reason.
    void (*write)(Host &host, std::span<const std::uint8_t> logo, const QString &target,
                  const ExportSettings &settings);
};

// Every kind of export, in the order the window lists them.
const std::vector<ExportType> &exportTypes();

class ExportAnimation : public Form {
    Q_OBJECT
public:
    explicit ExportAnimation(const FormContext &context);

    // Takes the main window's current file and reads it. Throws HostError
    // ("Vantrel could not export the animation: C:\a.png: not a logo
    // bitmap: 5000 bytes, expected 129078") when it is no logo bitmap or
    // cannot be read.
    void Form_Load() override;

    // The settings as the controls set them.
    ExportSettings settings() const;

    // Asks where, in the dialog of the chosen type, and writes the export;
    // closes the window once it is written. A failure is a message naming
    // the reason, and the window stays. Throws nothing.
    void Export_Click();
    // Cycles is enabled only for a type that counts them.
    void TypeBox_Change();
    void Close_Click();

    QLabel *Source;
    QComboBox *TypeBox;
    QComboBox *SizeBox;
    QSpinBox *Delay;
    QSpinBox *Cycles;
    QPushButton *Export;
    QPushButton *Close;

private:
    void createControls();
    void connectHandlers();
    // Shows the dialog of `type`; the path chosen, or nothing on cancel.
    std::optional<QString> askTarget(const ExportType &type);

    QString m_source;
};

} // namespace vantrel
