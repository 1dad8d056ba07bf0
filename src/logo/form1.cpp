#include "logo/form1.h"

#include "app/brand.h"
#include "app/info.h"
#include "app/open_dlg.h"
#include "art/program_icon.h"
#include "drive/drive_choice.h"
#include "host/system/drive_map.h"
#include "image/aniform1.h"
#include "image/export_animation.h"
#include "image/logo_file.h"
#include "image/make_logo.h"
#include "logo/drive_form.h"
#include "logo/history.h"
#include "logo/viewer.h"
#include "ui/classic_look.h"
#include "ui/controls.h"
#include "ui/plain_text.h"
#include "ui/stretched_picture.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>

namespace vantrel {

namespace {

// Twips, as the window was designed; positions are relative to the client
// area or to the frame that holds the control.
constexpr TwipRect kWindow{2970, 1875, 6000, 5040};
constexpr TwipRect kVog{4440, 720, 1455, 375};
constexpr TwipRect kFrame2{120, 3120, 5775, 735};
constexpr TwipRect kLabel1{120, 360, 5535, 255};
constexpr TwipRect kCommand8{4440, 360, 1455, 375};
constexpr TwipRect kCommand7{4440, 1200, 1455, 375};
constexpr TwipRect kCommand6{4440, 2640, 1455, 375};
constexpr TwipRect kCommand4{4440, 2040, 1455, 375};
constexpr TwipRect kCommand1{4440, 1680, 1455, 375};
constexpr TwipRect kOp{4440, 0, 1455, 375};
constexpr TwipRect kFrame1{120, 3840, 5775, 1095};
constexpr TwipRect kCommand5{3960, 600, 1695, 375};
constexpr TwipRect kChoff{3960, 240, 1695, 375};
constexpr TwipRect kCommand3{2040, 600, 1695, 375};
constexpr TwipRect kChshut{2040, 240, 1695, 375};
constexpr TwipRect kCommand2{120, 600, 1695, 375};
constexpr TwipRect kChstart{120, 240, 1695, 375};
constexpr TwipRect kLabel2{4440, 2400, 1455, 255};
constexpr TwipRect kOpen{120, 0, 4095, 3015};

QString noFileCaption()
{
    return QStringLiteral("No file selected. Please select a file.");
}

QString changeFailedMessage(LogoSlot slot, const QString &reason)
{
    return QStringLiteral("Vantrel could not change the %1 logo: %2").arg(slotName(slot), reason);
}

QString notKeptMessage(const SlotNotKept &error)
{
    return QStringLiteral("Vantrel could not keep a copy of %1: %2")
        .arg(error.slotPath(), error.cause());
}

} // namespace

Form1::Form1(const FormContext &context) : MainWindow(context)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QLatin1String(brand::kName) + QStringLiteral(" Vantrel 32-bit"));
    setWindowIcon(programIcon());
    setWindowFrame(*this, WindowFrame::FixedDialog);
    setFont(sansSerifFont(8.25, true));
    setClassicBackground(*this);
    setAcceptDrops(true);

    createMenus();
    createControls();
    setFocusOrder();
    connectHandlers();

    const QRect place = kWindow.pixels();
    const int menuHeight = menuBar->sizeHint().height();
    menuBar->setGeometry(0, 0, place.width(), menuHeight);
    client->setGeometry(0, menuHeight, place.width(), place.height());
    setFixedPlace(*this, kWindow, menuHeight);
}

void Form1::createControls()
{
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));

    vog = makeButton(client, "vog", QStringLiteral("Vog Animate"), kVog);

    Frame2 = makeFrame(client, "Frame2", QStringLiteral("File Path"), kFrame2);
    Frame2->setFont(scriptFont(18, true));
    Label1 = makeLabel(Frame2, "Label1", noFileCaption(), kLabel1);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setFont(sansSerifFont(9.75, false));

    Command8 = makeFlatButton(client, "Command8", QStringLiteral("Edit bitmap"), kCommand8);
    Command8->setEnabled(false);
    Command7 = makeFlatButton(client, "Command7", QStringLiteral("Restore All"), kCommand7);
    Command6 = makeFlatButton(client, "Command6", QStringLiteral("Exit"), kCommand6);
    Command4 = makeFlatButton(client, "Command4", QStringLiteral("Help"), kCommand4);
    Command1 = makeFlatButton(client, "Command1", QStringLiteral("About"), kCommand1);
    Op = makeFlatButton(client, "Op", QStringLiteral("Open File"), kOp);

    Frame1 = makeFrame(client, "Frame1", QString(), kFrame1);
    Command5 = makeFlatButton(Frame1, "Command5", QStringLiteral("Restore Turn Off"), kCommand5);
    choff = makeFlatButton(Frame1, "choff", QStringLiteral("Change Turn Off"), kChoff);
    Command3 = makeFlatButton(Frame1, "Command3", QStringLiteral("Restore Shutdown"), kCommand3);
    chshut = makeFlatButton(Frame1, "chshut", QStringLiteral("Change Shutdown"), kChshut);
    Command2 = makeFlatButton(Frame1, "Command2", QStringLiteral("Restore Startup"), kCommand2);
    chstart = makeFlatButton(Frame1, "chstart", QStringLiteral("Change Startup"), kChstart);
    for (QPushButton *change : {choff, chshut, chstart})
        change->setEnabled(false);
    // Buttons use the system's regular face, not the window's bold one.
    for (QPushButton *button : client->findChildren<QPushButton *>())
        button->setFont(sansSerifFont(8.25, false));

    Label2 = makeLabel(client, "Label2", QStringLiteral("Label2"), kLabel2);
    Label2->setVisible(false);

    // Stretched by nearest neighbour: a dithered logo keeps its dots.
    open = new StretchedLabel(client);
    placeControl(*open, "open", kOpen);
    open->setFrameStyle(QFrame::Box | QFrame::Plain);
    open->setLineWidth(1);
}

void Form1::createMenus()
{
    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    const QString brandName = QLatin1String(brand::kName);

    File = makeMenu(this, "File", QStringLiteral("File"));
    Openf = makeAction(File, "Openf", QStringLiteral("Open"));
    Restore = makeAction(File, "Restore", QStringLiteral("Restore All"));
    internet = makeMenu(File, "internet", QStringLiteral("internet"));
    web = makeAction(internet, "web", brandName + QStringLiteral(" web site"));
    mail = makeAction(internet, "mail", QStringLiteral("Mail ") + brandName);
    File->addMenu(internet);
    vread = makeAction(File, "vread", QStringLiteral("View Readme"));
    Exit = makeAction(File, "Exit", QStringLiteral("Exit"));

    edit = makeMenu(this, "edit", QStringLiteral("Edit"));
    ebitmap = makeAction(edit, "ebitmap", QStringLiteral("Edit bitmap"));

    Tools = makeMenu(this, "Tools", QStringLiteral("Tools"));
    drivein = makeAction(Tools, "drivein", QString());
    animake = makeAction(Tools, "animake", QStringLiteral("Animation Maker"));
    drivec = makeAction(Tools, "drivec", QStringLiteral("Drive C..."));
    makelogo = makeAction(Tools, "makelogo", QStringLiteral("Make Logo..."));
    exportani = makeAction(Tools, "exportani", QStringLiteral("Export Animation..."));

    view = makeMenu(this, "view", QStringLiteral("View"));
    vstart = makeAction(view, "vstart", QStringLiteral("Startup"));
    Vshut = makeAction(view, "Vshut", QStringLiteral("Shutdown"));
    Voff = makeAction(view, "Voff", QStringLiteral("Switch off"));
    Vhist = makeAction(view, "Vhist", QStringLiteral("History..."));

    Help = makeMenu(this, "Help", QStringLiteral("Help"));
    about = makeAction(Help, "about", QStringLiteral("About"));
    about->setShortcut(QKeySequence(Qt::Key_F1));

    // Menus use the system's regular menu font, not the window's bold one.
    const QFont menuFont = sansSerifFont(8.25, false);
    menuBar->setFont(menuFont);
    for (QMenu *menu : {File, internet, edit, Tools, view, Help})
        menu->setFont(menuFont);
    for (QMenu *menu : {File, edit, Tools, view, Help})
        menuBar->addMenu(menu);
}

void Form1::setFocusOrder()
{
    chainTabOrder({chstart, Command2, chshut, Command3, choff, Command5, Op, Command1, Command4,
                   Command6, Command7, Command8, vog});
    // chstart is disabled at start, so the first button that can take the
    // focus is Restore Startup.
    Command2->setFocus();
}

void Form1::connectHandlers()
{
    connect(Op, &QPushButton::clicked, this, &Form1::Op_Click);
    connect(Openf, &QAction::triggered, this, &Form1::Openf_Click);
    connect(chstart, &QPushButton::clicked, this, &Form1::chstart_Click);
    connect(chshut, &QPushButton::clicked, this, &Form1::chshut_Click);
    connect(choff, &QPushButton::clicked, this, &Form1::choff_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
    connect(Restore, &QAction::triggered, this, &Form1::Restore_Click);
    connect(vstart, &QAction::triggered, this, &Form1::vstart_Click);
    connect(Vshut, &QAction::triggered, this, &Form1::Vshut_Click);
    connect(Voff, &QAction::triggered, this, &Form1::Voff_Click);
    connect(Vhist, &QAction::triggered, this, &Form1::Vhist_Click);
    connect(Command8, &QPushButton::clicked, this, &Form1::Command8_Click);
    connect(ebitmap, &QAction::triggered, this, &Form1::ebitmap_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(vread, &QAction::triggered, this, &Form1::vread_Click);
    connect(web, &QAction::triggered, this, &Form1::web_Click);
    connect(mail, &QAction::triggered, this, &Form1::mail_Click);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(about, &QAction::triggered, this, &Form1::about_Click);
    connect(vog, &QPushButton::clicked, this, &Form1::vog_Click);
    connect(animake, &QAction::triggered, this, &Form1::animake_Click);
    connect(drivec, &QAction::triggered, this, &Form1::drivec_Click);
    connect(drivein, &QAction::triggered, this, &Form1::drivein_Click);
    connect(makelogo, &QAction::triggered, this, &Form1::makelogo_Click);
    connect(exportani, &QAction::triggered, this, &Form1::exportani_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Exit, &QAction::triggered, this, &Form1::Exit_Click);
}

QString Form1::currentFile() const
{
    return Label1->text();
}

void Form1::setLabel1Caption(const QString &caption)
{
    Label1->setText(caption);
    Label1_Change();
}

void Form1::Form_Load()
{
    Label2->setText(QueryWindowsDirectory(host()));
    showDriveInUse();
}

void Form1::driveChanged()
{
    Label2->setText(QueryWindowsDirectory(host()));
    showDriveInUse();
    if (!Label1->text().isEmpty() && Label1->text() != noFileCaption())
        showPathInToolTip();
    if (HistoryForm *history = forms().find<HistoryForm>())
        history->refresh();
    Q_EMIT driveCChanged();
}

// The drive in use, named where it changes nothing of the window's look:
// the File Path frame's tool tip and the first line of the Tools menu.
void Form1::showDriveInUse()
{
    const QString drive = driveInUseText();
    setPlainToolTip(*Frame2, QStringLiteral("Drive C: ") + drive);
    drivein->setText(QStringLiteral("Drive C: ") + QString(drive).replace('&', "&&"));
}

void Form1::Op_Click()
{
    chooseSourceFile();
}

void Form1::Openf_Click()
{
    chooseSourceFile();
}

void Form1::chooseSourceFile()
{
    FileDialog &dialog = forms().load<OpenDlg>().CMDialog1;
    dialog.Filter = QStringLiteral("Bitmaps (*.bmp;*.sys)|*.bmp;*.sys");
    // Selects the one filter.
    dialog.FilterIndex = 1;
    dialog.CancelError = true;
    dialog.FileName = QStringLiteral("*.bmp;*.sys");
    try {
        host().showFileDialog(dialog, FileDialogKind::Open);
    } catch (const std::exception &) {
        // Cancelled, or the dialog could not be shown: nothing changes.
        return;
    }
    setLabel1Caption(dialog.FileName);
}

void Form1::Label1_Change()
{
    try {
        showInPreview(*open, host().loadPicture(Label1->text()));
    } catch (const HostError &) {
        // Not a picture: there is nothing to preview, but the file can
        // still be installed or edited.
        open->clear();
    }
    for (QPushButton *button : {chstart, chshut, choff, Command8})
        button->setEnabled(true);
    showPathInToolTip();
}

// The label may cut a long path short, and a DOS path does not say which
// disk it is on; the tool tip shows both in full.
void Form1::showPathInToolTip()
{
    const QString path = Label1->text();
    QString tip = path;
    if (DriveMap::isDosPath(path)) {
        try {
            tip += QStringLiteral("\nstands for ") + host().nativePath(path);
        } catch (const HostError &error) {
            tip += QStringLiteral("\nstands for no file: ") + error.reason();
        }
    }
    setPlainToolTip(*Label1, tip + notALogoTip(path));
}

// Windows passes over a slot file that is not a logo bitmap without a
// word; the tip says so, and where to make one. Nothing for a logo bitmap
// or a path that names no readable file.
QString Form1::notALogoTip(const QString &path)
{
    QString problem;
    try {
        problem = logoProblemOf(host(), path);
    } catch (const HostError &) {
        return {};
    }
    if (problem.isEmpty())
        return {};
    return QStringLiteral("\nnot a logo bitmap: %1\nTools > Make Logo makes one from it")
        .arg(problem);
}

void Form1::changeSlot(LogoSlot slot, QPushButton &button)
{
    try {
        ChangeSlot(host(), slot, Label1->text(), Label2->text());
    } catch (const HostError &error) {
        host().messageBox(changeFailedMessage(slot, error.reason()));
        return;
    }
    button.setEnabled(false);
}

void Form1::chstart_Click()
{
    changeSlot(LogoSlot::Startup, *chstart);
}

void Form1::chshut_Click()
{
    changeSlot(LogoSlot::Shutdown, *chshut);
}

void Form1::choff_Click()
{
    changeSlot(LogoSlot::SwitchOff, *choff);
}

void Form1::restoreSlot(LogoSlot slot)
{
    try {
        RestoreSlot(host(), slot, Label2->text());
    } catch (const SlotNotKept &error) {
        host().messageBox(notKeptMessage(error));
    }
}

void Form1::Command2_Click()
{
    restoreSlot(LogoSlot::Startup);
}

void Form1::Command3_Click()
{
    restoreSlot(LogoSlot::Shutdown);
}

void Form1::Command5_Click()
{
    restoreSlot(LogoSlot::SwitchOff);
}

// Silent about its own failures, but not about a slot left alone because
// its content could not be kept: one message names each.
void Form1::restoreAll()
{
    QStringList lines;
    for (const RestoreFailure &failure : RestoreAllSlots(host(), Label2->text())) {
        if (failure.notKept)
            lines << notKeptMessage(*failure.notKept);
    }
    if (!lines.isEmpty())
        host().messageBox(lines.join('\n'));
}

void Form1::Command7_Click()
{
    restoreAll();
}

void Form1::Restore_Click()
{
    restoreAll();
}

void Form1::viewSlot(LogoSlot slot)
{
    ViewSlot(host(), slot, Label2->text(), *open, *Command8);
}

void Form1::vstart_Click()
{
    viewSlot(LogoSlot::Startup);
}

void Form1::Vshut_Click()
{
    viewSlot(LogoSlot::Shutdown);
}

void Form1::Voff_Click()
{
    viewSlot(LogoSlot::SwitchOff);
}

void Form1::Vhist_Click()
{
    forms().show<HistoryForm>();
}

void Form1::run(const QString &commandLine, WindowStyle style, const QString &failureMessage)
{
    try {
        host().runCommandLine(commandLine, style);
    } catch (const HostError &) {
        host().messageBox(failureMessage);
    }
}

void Form1::editBitmap()
{
    // The path goes unquoted: Paint gets the caption exactly as shown.
    run(QStringLiteral("pbrush ") + Label1->text(), WindowStyle::NormalWithFocus,
        QStringLiteral("Sorry mate I cannot find Paint!"));
}

void Form1::Command8_Click()
{
    editBitmap();
}

void Form1::ebitmap_Click()
{
    editBitmap();
}

void Form1::showReadme()
{
    run(QStringLiteral("notepad.exe c:\\vantrel\\readme.txt"), WindowStyle::NormalWithFocus,
        QStringLiteral("Sorry, Vantrel cannot start a text editor to show the readme."));
}

void Form1::Command4_Click()
{
    showReadme();
}

void Form1::vread_Click()
{
    showReadme();
}

void Form1::web_Click()
{
    run(brand::webCommandLine(), WindowStyle::MinimizedWithFocus,
        QStringLiteral("Sorry, Vantrel cannot open ") + brand::webUrl());
}

void Form1::mail_Click()
{
    run(brand::mailCommandLine(), WindowStyle::MinimizedWithFocus,
        QStringLiteral("Sorry, Vantrel cannot open ") + brand::mailUrl());
}

void Form1::Command1_Click()
{
    forms().show<info>();
}

void Form1::about_Click()
{
    forms().show<info>();
}

void Form1::vog_Click()
{
    forms().show<AniForm1>();
}

void Form1::animake_Click()
{
    forms().show<AniForm1>();
}

void Form1::drivec_Click()
{
    forms().show<DriveForm>();
}

void Form1::drivein_Click()
{
    forms().show<DriveForm>();
}

void Form1::makelogo_Click()
{
    forms().show<MakeLogo>();
}

void Form1::exportani_Click()
{
    try {
        forms().show<ExportAnimation>();
    } catch (const HostError &error) {
        host().messageBox(error.reason());
    }
}

void Form1::Command6_Click()
{
    forms().unload(*this);
    forms().endProgram();
}

void Form1::Exit_Click()
{
    forms().endProgram();
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    forms().endProgram();
}

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedLocalFile(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *event)
{
    const QString path = droppedLocalFile(*event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    setLabel1Caption(path);
}

} // namespace vantrel
