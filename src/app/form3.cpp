#include "app/form3.h"

#include "app/brand.h"
#include "art/program_icon.h"
#include "art/splash_art.h"
#include "ui/classic_look.h"
#include "ui/controls.h"

#include <QCloseEvent>
#include <QLabel>

namespace vantrel {

namespace {

// Twips, as the window was designed.
constexpr TwipRect kWindow{3180, 2130, 5985, 4065};
constexpr TwipRect kImage3{4095, 2010, 1125, 420};
constexpr TwipRect kImage2{4155, 2070, 1125, 420};
constexpr TwipRect kLabel1{840, 360, 4455, 855};
constexpr TwipRect kImage1{-15, -15, 6015, 4095};

constexpr int kSplashMs = 5000;

QLabel *makePicture(QWidget *parent, const char *name, const QImage &picture, const TwipRect &place)
{
    auto *image = new QLabel(parent);
    placeControl(*image, name, place);
    image->setPixmap(QPixmap::fromImage(picture));
    image->setScaledContents(true);
    return image;
}

} // namespace

QString splashCaption()
{
    const QString brandName = QLatin1String(brand::kName);
    return brandName + QStringLiteral(" Vantrel for Windows 95, written by ") + brandName +
           QStringLiteral(" in 1996");
}

Form3::Form3(const FormContext &context) : Form(context)
{
    setObjectName(QStringLiteral("Form3"));
    // The caption names the window to the system; with no title bar it is
    // never drawn.
    setWindowTitle(QStringLiteral("Vantrel 95"));
    setWindowFrame(*this, WindowFrame::Borderless);
    setWindowIcon(programIcon());
    setClassicBackground(*this);

    createControls();
    connectHandlers();
    setFixedPlace(*this, kWindow);
}

void Form3::createControls()
{
    // Made from the bottom of the stacking order up: a later sibling lies
    // over an earlier one.
    Image1 = makePicture(this, "Image1", splashPicture(), kImage1);

    Label1 = makeWrappedLabel(this, "Label1", splashCaption(), kLabel1, Qt::AlignHCenter);
    Label1->setFont(sansSerifFont(12, true));
    makeOpaque(*Label1);

    Image2 = makePicture(this, "Image2", badgeShadowPicture(), kImage2);
    Image3 = makePicture(this, "Image3", badgePicture(), kImage3);
}

void Form3::connectHandlers()
{
    // Running from the moment the window is loaded.
    Timer1 = host().startTimer(kSplashMs, [this] { Timer1_Timer(); });
}

void Form3::Timer1_Timer()
{
    // The window itself goes only when the event loop next runs; its timer
    // goes now, so that it cannot tick a second time.
    Timer1.reset();
    forms().unload(*this);
    try {
        forms().showMainWindow();
    } catch (const std::exception &error) {
        host().messageBox(QStringLiteral("Vantrel could not open its main window: %1")
                              .arg(QString::fromUtf8(error.what())));
        forms().endProgram();
        return;
    }
    if (!m_afterMainWindow.isEmpty())
        host().messageBox(m_afterMainWindow);
}

void Form3::tellAfterMainWindow(const QString &message)
{
    if (!m_afterMainWindow.isEmpty())
        m_afterMainWindow += '\n';
    m_afterMainWindow += message;
}

void Form3::closeEvent(QCloseEvent *event)
{
    event->ignore();
}

void startProgram(Forms &forms, const std::function<void()> &makeDrive)
{
    Form3 &splash = forms.show<Form3>();
    try {
        makeDrive();
    } catch (const HostError &error) {
        splash.tellAfterMainWindow(
            QStringLiteral("Vantrel could not set up its drive C: %1").arg(error.reason()));
    }
}

} // namespace vantrel
