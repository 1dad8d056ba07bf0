#include "image/aniform2.h"

#include "codec/palette_rotation.h"
#include "image/aniform1.h"
#include "image/logo_copy.h"
#include "ui/controls.h"
#include "ui/window_placement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHideEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>

namespace vantrel {

namespace {

// Twips, as the window was designed; 15 twips make one pixel. Form_Load
// places the window.
constexpr TwipRect kWindow{0, 0, 8010, 6000};
constexpr TwipRect kImage1{0, 0, 8010, 6000};

constexpr int kTickMs = 70;

const QString kCaptionTail = QStringLiteral("  -  Click Image to Close");

} // namespace

aniForm2::aniForm2(const FormContext &context) : Form(context)
{
    setObjectName(QStringLiteral("aniForm2"));
    setWindowTitle(QStringLiteral("Example"));
    setWindowFrame(*this, WindowFrame::FixedTool);
    setFixedClientSize(*this, kWindow);

    createControls();
    connectHandlers();
}

void aniForm2::createControls()
{
    Image1 = new StretchedPicture(this);
    placeControl(*Image1, "Image1", kImage1);
}

void aniForm2::connectHandlers()
{
    Image1->installEventFilter(this);
}

aniForm2::~aniForm2()
{
    Timer1.reset();
    removeTempFile();
}

bool aniForm2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton &&
            Image1->rect().contains(mouse->position().toPoint())) {
            Image1_Click();
            return true;
        }
    }
    return Form::eventFilter(watched, event);
}

void aniForm2::Form_Load()
{
    placeOnScreen(*this, host(), [](QSize screen, QSize outer) {
        return QPointF((screen.width() - outer.width()) / 2.0,
                       (screen.height() - outer.height()) / 2.0);
    });

    try {
        const AniForm1 *maker = forms().find<AniForm1>();
        if (maker == nullptr)
            throw HostError(QStringLiteral("the animation maker is not open"));

        TempName = host().createTempFile(QStringLiteral("Vog"));
        m_haveTempFile = true;
        const QString source = maker->Src->text();
        setWindowTitle(source + kCaptionTail);
        EntryPos = static_cast<std::int16_t>(maker->Spin->value() * 4 + int(kPaletteOffset));
        TailLen = static_cast<std::int16_t>(int(kHeaderBlockLength) - EntryPos - 4);
        RevFlag = maker->check1Value() == 1;

        Header = copyLogoByBlocks(host(), source, TempName);
        Image1->setPicture(host().loadPicture(TempName));
    } catch (...) {
        removeTempFile();
        throw;
    }
    Timer1 = host().startTimer(kTickMs, [this] { Timer1_Timer(); });
}

void aniForm2::Rotate()
{
    ::vantrel::Rotate(Header, (EntryPos - int(kPaletteOffset)) / 4, RevFlag);
    const std::unique_ptr<BinaryFile> file = host().openBinary(TempName, FileAccess::ReadWrite);
    file->writeAt(0, Header);
    file->close();
    Image1->setPicture(host().loadPicture(TempName));
}

void aniForm2::Timer1_Timer()
{
    // A tick that reaches a window already unloaded does nothing more.
    if (forms().find<aniForm2>() != this) {
        Timer1.reset();
        return;
    }
    try {
        Rotate();
        ++m_ticks;
    } catch (const std::exception &) {
        // Failing again every 70 ms would help nobody: the preview ends.
        stopAndClose();
        beep();
    }
}

void aniForm2::Image1_Click()
{
    stopAndClose();
}

void aniForm2::closeEvent(QCloseEvent *event)
{
    event->accept();
    stopAndClose();
}

void aniForm2::hideEvent(QHideEvent *event)
{
    Form::hideEvent(event);
    if (forms().find<aniForm2>() != this) {
        Timer1.reset();
        removeTempFile();
    }
}

void aniForm2::stopAndClose()
{
    Timer1.reset();
    removeTempFile();
    forms().unload(*this);
}

bool aniForm2::removeTempFile()
{
    if (!m_haveTempFile)
        return true;
    try {
        host().deleteFile(TempName);
        m_haveTempFile = false;
    } catch (const std::exception &) {
        // Left behind; the window goes anyway.
    }
    return !m_haveTempFile;
}

} // namespace vantrel
