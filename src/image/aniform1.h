#pragma once

// The animation maker: gathers the four inputs of the palette animation
// transform (source, target, starting entry S, reverse option), runs it,
// opens the palette-cycling preview and remembers its choices.
//
// The window's state lives in its controls. Src and Targ hold the two
// paths, the scroll bar Spin holds S (Strt shows it as a number the user
// may also type), and Check1 the reverse option, on when its value is 1.
// Form_Load takes the source from the main window's Label1 and the rest
// from the per-user settings; Test and Run write all four settings back,
// and a successful Run hands the target to the main window.
//
// The window never shows a message: every failure is answered with one
// beep, and no handler lets an exception out.

#include "ui/forms.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace vantrel {

class AniForm1 : public Form {
    Q_OBJECT
public:
    explicit AniForm1(const FormContext &context);

    // Places the window, takes Src from the main window's Label1 (loading
    // the main window when it is not), and Targ, Spin and Check1 from the
    // settings, keeping a control's own value where a setting is missing
    // or is no value the control can hold. Throws nothing.
    void Form_Load() override;

    // Each runs as its control's event; none throws. What they do is told
    // beside each in aniform1.cpp.
    void Spin_Change();
    void Strt_LostFocus();
    void Command1_Click();
    void Command2_Click();
    void Command4_Click();
    void Command3_Click();
    void Close_Click();

    // The check box value as the settings hold it: 0 unchecked, 1 checked,
    // 2 greyed. Setting any other value leaves the box as it is.
    int check1Value() const;
    void setCheck1Value(int value);

    QLineEdit *Src;
    QPushButton *Command1;
    QLineEdit *Targ;
    QPushButton *Command2;
    QScrollBar *Spin;
    QLineEdit *Strt;
    QPushButton *Command3;
    QCheckBox *Check1;
    QLabel *Label2;
    QPushButton *Command4;
    QLabel *Label3;
    QLabel *Label4;
    QPushButton *Close;

    // The file dialog both pickers share; its file name carries over from
    // one use to the next while the window is open.
    FileDialog Dlg;

protected:
    // Bridges the focus leaving Strt to Strt_LostFocus.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void setFocusOrder();
    void connectHandlers();

    // Shows Dlg as `kind`; false, having beeped, when showing it fails.
    bool showDialog(FileDialogKind kind);
    // The length test on the Src text, answered with a beep when it fails.
    bool sourcePassesLengthTest();
    // Writes "Source", "Target", "Starting Entry" and "Reverse Palette", in
    // that order. Throws HostError.
    void writeSettings();
    // Strt shows Spin's value in the display format.
    void showStartEntry();
    // A setting of the window's section, or `fallback` when none is stored
    // or the store cannot be read.
    QString setting(const QString &key, const QString &fallback);
};

} // namespace vantrel
