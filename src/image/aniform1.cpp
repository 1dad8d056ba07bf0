#include "image/aniform1.h"

#include "codec/logo_format.h"
#include "image/aniform2.h"
#include "image/animate.h"
#include "image/number_text.h"
#include "ui/classic_look.h"
#include "ui/controls.h"
#include "ui/window_placement.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>

namespace vantrel {

namespace {

#include "image/aniform1_icon.xpm"

// Twips, as the window was designed; 15 twips make one pixel. Form_Load
// places the window.
constexpr TwipRect kWindow{0, 0, 3600, 2850};
constexpr TwipRect kSrc{120, 240, 2895, 375};
constexpr TwipRect kCommand1{3120, 240, 375, 375};
constexpr TwipRect kTarg{120, 960, 2895, 375};
constexpr TwipRect kCommand2{3120, 960, 375, 375};
constexpr TwipRect kSpin{1560, 1440, 1935, 255};
constexpr TwipRect kStrt{960, 1440, 495, 285};
constexpr TwipRect kCommand3{1200, 2400, 975, 375};
constexpr TwipRect kCheck1{240, 1920, 3255, 375};
constexpr TwipRect kLabel2{120, 1440, 735, 495};
constexpr TwipRect kCommand4{120, 2400, 975, 375};
constexpr TwipRect kLabel3{120, 0, 1215, 255};
constexpr TwipRect kLabel4{120, 720, 1215, 375};
constexpr TwipRect kClose{2400, 2400, 975, 375};

// Twips the window stands above the screen's vertical centre.
constexpr double kAboveCentreTwips = 30;

const QString kApplication = QStringLiteral("Vog Computer Applications");
const QString kSection = QStringLiteral("Animated Logo Utility");
const QString kSourceKey = QStringLiteral("Source");
const QString kTargetKey = QStringLiteral("Target");
const QString kStartKey = QStringLiteral("Starting Entry");
const QString kReverseKey = QStringLiteral("Reverse Palette");

// What Src holds until a source is chosen; the pickers test for it.
const QString kNoSource = QStringLiteral("Source File");

// The "..." buttons' face; no System font exists here, so the bold sans
// stands in for it.
QFont systemFont()
{
    QFont font = sansSerifFont(9.75, true);
    QStringList families = font.families();
    families.prepend(QStringLiteral("System"));
    font.setFamilies(families);
    return font;
}

QIcon makerIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap(aniform1_icon_32));
    icon.addPixmap(QPixmap(aniform1_icon_16));
    return icon;
}

} // namespace

AniForm1::AniForm1(const FormContext &context) : Form(context)
{
    setObjectName(QStringLiteral("AniForm1"));
    setWindowTitle(QStringLiteral("Animated Logo Utility"));
    setWindowFrame(*this, WindowFrame::FixedSingle);
    setWindowIcon(makerIcon());
    setFont(sansSerifFont(8.25, false));
    setFixedClientSize(*this, kWindow);

    createControls();
    setFocusOrder();
    connectHandlers();
    setDefaultButton(Command3);
}

void AniForm1::createControls()
{
    Src = makeTextBox(this, "Src", kNoSource, kSrc);
    Command1 = makeButton(this, "Command1", QStringLiteral("..."), kCommand1);
    Command1->setFont(systemFont());
    Targ = makeTextBox(this, "Targ", QStringLiteral("Target File"), kTarg);
    Command2 = makeButton(this, "Command2", QStringLiteral("..."), kCommand2);
    Command2->setFont(systemFont());

    Spin = new QScrollBar(Qt::Horizontal, this);
    placeControl(*Spin, "Spin", kSpin);
    Spin->setRange(kMinStartEntry, kMaxStartEntry);
    Spin->setValue(kDefaultStartEntry);
    Spin->setSingleStep(1);
    Spin->setPageStep(1);
    // Only a change of the value counts: a drag changes it on release.
    Spin->setTracking(false);
    Spin->setFocusPolicy(Qt::StrongFocus);

    Strt = makeTextBox(this, "Strt", QString::number(kDefaultStartEntry), kStrt);

    Command3 = makeButton(this, "Command3", QStringLiteral("Run"), kCommand3);

    Check1 = new QCheckBox(QStringLiteral("Reverse Animated Pallette Entries"), this);
    placeControl(*Check1, "Check1", kCheck1);

    Label2 = makeWrappedLabel(this, "Label2", QStringLiteral("Starting Entry "), kLabel2,
                              Qt::AlignRight);
    Command4 = makeButton(this, "Command4", QStringLiteral("Test"), kCommand4);
    Label3 = makeWrappedLabel(this, "Label3", kNoSource, kLabel3, Qt::AlignLeft);
    Label4 =
        makeWrappedLabel(this, "Label4", QStringLiteral("Target File"), kLabel4, Qt::AlignLeft);
    Close = makeButton(this, "Close", QStringLiteral("Close"), kClose);
}

void AniForm1::setFocusOrder()
{
    chainTabOrder({Src, Command1, Targ, Command2, Spin, Strt, Command3, Check1, Command4, Close});
    Src->setFocus();
}

void AniForm1::connectHandlers()
{
    connect(Spin, &QScrollBar::valueChanged, this, &AniForm1::Spin_Change);
    Strt->installEventFilter(this);
    connect(Command1, &QPushButton::clicked, this, &AniForm1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &AniForm1::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &AniForm1::Command4_Click);
    connect(Command3, &QPushButton::clicked, this, &AniForm1::Command3_Click);
    connect(Close, &QPushButton::clicked, this, &AniForm1::Close_Click);
    // Greyed comes only from the settings: once the user changes the box
    // it goes back to two states.
    connect(Check1, &QCheckBox::stateChanged, this, [this](int state) {
        if (state != Qt::PartiallyChecked)
            Check1->setTristate(false);
    });
}

bool AniForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Strt && event->type() == QEvent::FocusOut) {
        // Only the focus moving to another control of this window counts;
        // switching to another window or opening Strt's own menu does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Strt_LostFocus();
    }
    return Form::eventFilter(watched, event);
}

int AniForm1::check1Value() const
{
    switch (Check1->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

void AniForm1::setCheck1Value(int value)
{
    switch (value) {
    case 0:
        Check1->setCheckState(Qt::Unchecked);
        break;
    case 1:
        Check1->setCheckState(Qt::Checked);
        break;
    case 2:
        Check1->setTristate(true);
        Check1->setCheckState(Qt::PartiallyChecked);
        break;
    default:
        break;
    }
}

QString AniForm1::setting(const QString &key, const QString &fallback)
{
    try {
        return host().getSetting(kApplication, kSection, key, fallback);
    } catch (const std::exception &) {
        return fallback;
    }
}

void AniForm1::Form_Load()
{
    placeOnScreen(*this, host(), [](QSize screen, QSize outer) {
        // The right edge on the screen's vertical centre line, and a little
        // above the horizontal one.
        return QPointF(screen.width() / 2.0 - outer.width(),
                       (screen.height() - outer.height()) / 2.0 - kAboveCentreTwips);
    });

    try {
        Src->setText(forms().loadMainWindow().currentFile());
    } catch (const std::exception &) {
        // The main window could not be had; Src keeps its caption.
    }
    Targ->setText(setting(kTargetKey, Targ->text()));
    if (const std::optional<int> start =
            readStoredStartEntry(setting(kStartKey, QString::number(Spin->value()))))
        Spin->setValue(*start);
    if (const std::optional<int> reverse =
            readStoredCheckValue(setting(kReverseKey, QString::number(check1Value()))))
        setCheck1Value(*reverse);
}

void AniForm1::Spin_Change()
{
    showStartEntry();
}

void AniForm1::showStartEntry()
{
    Strt->setText(displayNumber(Spin->value()));
}

// Applies a starting entry typed into Strt (readTypedStartEntry): Strt
// shows the number read, and Spin takes the entry it rounds to. A number
// that gives no entry is discarded and Strt shows Spin's value again.
void AniForm1::Strt_LostFocus()
{
    const TypedStartEntry typed = readTypedStartEntry(Strt->text());
    if (!typed.entry) {
        showStartEntry();
        return;
    }
    Strt->setText(typed.shown);
    // Raises Spin_Change, which shows the whole number, only when the
    // value changes.
    Spin->setValue(*typed.entry);
}

// Picks the source: only a file that passes the length test becomes Src.
// A file of another length beeps; a name that cannot be measured (a
// pattern, nothing chosen) changes nothing, silently.
void AniForm1::Command1_Click()
{
    Dlg.DialogTitle = QStringLiteral("Select Source File");
    if (Src->text() == kNoSource)
        Dlg.FileName = QStringLiteral("*.BMP");
    Dlg.Filter = QStringLiteral("Bitmap Files (*.BMP)|*.BMP|Logo Files (*.SYS)|*.SYS|All Files "
                                "(*.*)|*.*");
    if (!showDialog(FileDialogKind::Open))
        return;
    std::int64_t length = 0;
    try {
        length = host().fileLength(Dlg.FileName);
    } catch (const std::exception &) {
        return;
    }
    if (passesLengthTest(length))
        Src->setText(Dlg.FileName);
    else
        beep();
}

// Picks the target, proposing the source's name with a "sys" ending. The
// dialog's name, cancelled or not, becomes Targ unless it is the source
// itself, which beeps.
void AniForm1::Command2_Click()
{
    Dlg.DialogTitle = QStringLiteral("Select Target File");
    Dlg.FileName = proposeTarget(Src->text());
    Dlg.Filter = QStringLiteral("Logo Files (*.SYS)|*.SYS|Bitmap Files (*.BMP)|*.BMP|All Files "
                                "(*.*)|*.*");
    if (!showDialog(FileDialogKind::Save))
        return;
    if (Dlg.FileName == Src->text())
        beep();
    else
        Targ->setText(Dlg.FileName);
}

bool AniForm1::showDialog(FileDialogKind kind)
{
    try {
        host().showFileDialog(Dlg, kind);
        return true;
    } catch (const std::exception &) {
        beep();
        return false;
    }
}

bool AniForm1::sourcePassesLengthTest()
{
    try {
        if (passesLengthTest(host().fileLength(Src->text())))
            return true;
    } catch (const std::exception &) {
        // Missing or unmeasurable: the same beep as a wrong length.
    }
    beep();
    return false;
}

void AniForm1::writeSettings()
{
    host().saveSetting(kApplication, kSection, kSourceKey, Src->text());
    host().saveSetting(kApplication, kSection, kTargetKey, Targ->text());
    host().saveSetting(kApplication, kSection, kStartKey, QString::number(Spin->value()));
    host().saveSetting(kApplication, kSection, kReverseKey, QString::number(check1Value()));
}

// Test: the length test, then the settings, then the preview. An open
// preview is only brought forward and keeps what it was opened with; one
// that cannot open is not shown, and the beep says so.
void AniForm1::Command4_Click()
{
    if (!sourcePassesLengthTest())
        return;
    try {
        writeSettings();
        forms().show<aniForm2>();
    } catch (const std::exception &) {
        beep();
    }
}

// Run: the length test, then the transform with Run disabled, the
// settings, and the target handed to the main window; then the window
// closes, the main window comes forward and a beep says it is done. A
// failure after the length test beeps once and leaves the window open
// with Run disabled.
void AniForm1::Command3_Click()
{
    if (!sourcePassesLengthTest())
        return;
    Command3->setEnabled(false);
    try {
        AnimateLogo(host(), Src->text(), Targ->text(), Spin->value(), check1Value() == 1);
        writeSettings();
        forms().loadMainWindow().setCurrentFile(Targ->text());
    } catch (const std::exception &) {
        beep();
        return;
    }
    forms().unload(*this);
    try {
        forms().showMainWindow();
    } catch (const std::exception &) {
        // The main window is loaded already (it took the target).
    }
    beep();
}

void AniForm1::Close_Click()
{
    forms().unload(*this);
}

} // namespace vantrel
