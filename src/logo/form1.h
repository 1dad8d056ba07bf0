#pragma once

// The main window: choose a bitmap, preview it, install it into a logo
// slot, restore the slots, view what they hold, and start Paint, Notepad
// and the browser or mail program.
//
// The window keeps its state in its controls only. Label1's caption is the
// path of the current bitmap and Label2's the Windows directory; the slot
// operations (logo/slots.h) and the viewer (logo/viewer.h) get both from
// there each time they run. Other windows hand a new bitmap over through
// setCurrentFile (MainWindow), which sets Label1's caption.

#include "logo/slots.h"
#include "ui/forms.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;

namespace vantrel {

class Form1 : public MainWindow {
    Q_OBJECT
public:
    explicit Form1(const FormContext &context);

    // Sets Label1's caption and raises Label1_Change, even when the text is
    // the one already shown: setting a path always re-previews the file
    // and re-enables the Change buttons. Throws nothing.
    void setLabel1Caption(const QString &caption);

    // Label1's caption; setCurrentFile is setLabel1Caption.
    QString currentFile() const override;
    void setCurrentFile(const QString &path) override { setLabel1Caption(path); }

    void Form_Load() override;

    // Drive C has changed (the "Drive C" window chose another): reads the
    // Windows directory again, shows the new drive in the File Path tool
    // tip and the Tools menu, then emits driveCChanged. Throws nothing.
    void driveChanged() override;

    void Op_Click();
    void Openf_Click();
    void Label1_Change();
    void chstart_Click();
    void chshut_Click();
    void choff_Click();
    void Command2_Click();
    void Command3_Click();
    void Command5_Click();
    void Command7_Click();
    void Restore_Click();
    void vstart_Click();
    void Vshut_Click();
    void Voff_Click();
    void Vhist_Click();
    void Command8_Click();
    void ebitmap_Click();
    void Command4_Click();
    void vread_Click();
    void web_Click();
    void mail_Click();
    void Command1_Click();
    void about_Click();
    void vog_Click();
    void animake_Click();
    void makelogo_Click();
    void exportani_Click();
    void drivec_Click();
    void drivein_Click();
    void Command6_Click();
    void Exit_Click();

    QMenuBar *menuBar;
    QWidget *client;

    QPushButton *vog;
    QGroupBox *Frame2;
    QLabel *Label1;
    QPushButton *Command8;
    QPushButton *Command7;
    QPushButton *Command6;
    QPushButton *Command4;
    QPushButton *Command1;
    QPushButton *Op;
    QGroupBox *Frame1;
    QPushButton *Command5;
    QPushButton *choff;
    QPushButton *Command3;
    QPushButton *chshut;
    QPushButton *Command2;
    QPushButton *chstart;
    QLabel *Label2;
    QLabel *open;

    QMenu *File;
    QAction *Openf;
    QAction *Restore;
    QMenu *internet;
    QAction *web;
    QAction *mail;
    QAction *vread;
    QAction *Exit;
    QMenu *edit;
    QAction *ebitmap;
    QMenu *Tools;
    QAction *drivein;
    QAction *animake;
    QAction *makelogo;
    QAction *exportani;
    QAction *drivec;
    QMenu *view;
    QAction *vstart;
    QAction *Vshut;
    QAction *Voff;
    QAction *Vhist;
    QMenu *Help;
    QAction *about;

Q_SIGNALS:
    // Drive C is another drive from now on: whatever shows the drive's
    // content reads it again.
    void driveCChanged();

protected:
    // The close box ends the program like Exit: the hidden dialog host
    // would otherwise keep a process with no window alive.
    void closeEvent(QCloseEvent *event) override;
    // A single local file dropped on the window becomes its current file,
    // as Open makes it.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createControls();
    void createMenus();
    void setFocusOrder();
    void connectHandlers();

    void chooseSourceFile();
    void showPathInToolTip();
    QString notALogoTip(const QString &path);
    void showDriveInUse();
    void changeSlot(LogoSlot slot, QPushButton &button);
    void restoreSlot(LogoSlot slot);
    void restoreAll();
    void viewSlot(LogoSlot slot);
    void editBitmap();
    void showReadme();
    void run(const QString &commandLine, WindowStyle style, const QString &failureMessage);
};

} // namespace vantrel
