#include "app/info.h"

#include "app/brand.h"
#include "art/program_icon.h"
#include "art/splash_art.h"
#include "ui/classic_look.h"
#include "ui/controls.h"

#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace vantrel {

namespace {

// Twips, as the window was designed; Label6 is placed in the frame.
constexpr TwipRect kWindow{4350, 2415, 3735, 3825};
constexpr TwipRect kCommand1{2400, 1320, 1215, 375};
constexpr TwipRect kLabel1{840, 960, 2055, 255};
constexpr TwipRect kLabel2{720, 1920, 615, 255};
constexpr TwipRect kLabel3{1320, 1920, 1815, 255};
constexpr TwipRect kLabel4{120, 2160, 615, 255};
constexpr TwipRect kLabel5{840, 2160, 2775, 255};
constexpr TwipRect kCredits{120, 2400, 3495, 1335};
constexpr TwipRect kLabel6{120, 240, 3255, 975};

const QColor kLinkBlue(0x00, 0x00, 0xFF);

// Blue, bold and underlined, so that it reads as a link.
void makeLink(QLabel &label)
{
    QFont font = sansSerifFont(8.25, true);
    font.setUnderline(true);
    label.setFont(font);
    QPalette blue = label.palette();
    blue.setColor(QPalette::WindowText, kLinkBlue);
    label.setPalette(blue);
    label.setCursor(Qt::PointingHandCursor);
}

// An address is never cut off: where this machine's face sets it wider
// than the design allowed for, its label grows to the right, up to the
// window's edge.
void fitAddress(QLabel &label, int windowWidth)
{
    const int needed = label.fontMetrics().horizontalAdvance(label.text()) + 2;
    if (needed > label.width())
        label.resize(std::min(needed, windowWidth - label.x()), label.height());
}

QString creditNote()
{
    return QStringLiteral("The Animation Maker holds code written for the \"Vog Animation "
                          "Utility\" by Vog Computer Applications (vog@vog.example); much of "
                          "that code remains in this version.");
}

} // namespace

info::info(const FormContext &context) : Form(context)
{
    setObjectName(QStringLiteral("info"));
    setWindowTitle(QStringLiteral("Information..."));
    setWindowFrame(*this, WindowFrame::FixedDialog);
    setWindowIcon(programIcon());
    setFont(sansSerifFont(8.25, true));
    setClassicBackground(*this);
    m_picture = QPixmap::fromImage(creditsPicture());

    createControls();
    setFocusOrder();
    connectHandlers();
    setFixedPlace(*this, kWindow);
}

void info::createControls()
{
    Command1 = makeFlatButton(this, "Command1", QStringLiteral("OK"), kCommand1);

    Label1 = makeLabel(this, "Label1", QStringLiteral("Version 3.0.32"), kLabel1);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setFont(sansSerifFont(9.75, true));
    makeOpaque(*Label1);

    Label2 = makeLabel(this, "Label2", QStringLiteral("email:"), kLabel2);
    Label3 = makeLabel(this, "Label3", QLatin1String(brand::kMailAddress), kLabel3);
    makeLink(*Label3);
    Label4 = makeLabel(this, "Label4", QStringLiteral("WWW:"), kLabel4);
    Label5 = makeLabel(this, "Label5", QLatin1String(brand::kWebAddress), kLabel5);
    makeLink(*Label5);
    for (QLabel *address : {Label3, Label5})
        fitAddress(*address, kWindow.pixels().width());

    Credits = makeFrame(this, "Credits", QStringLiteral("Credits"), kCredits);
    Label6 = makeWrappedLabel(Credits, "Label6", creditNote(), kLabel6, Qt::AlignHCenter);
}

void info::setFocusOrder()
{
    chainTabOrder({Command1, Label1, Label2, Label3, Label4, Label5, Credits, Label6});
    Command1->setFocus();
}

void info::connectHandlers()
{
    connect(Command1, &QPushButton::clicked, this, &info::Command1_Click);
    Label3->installEventFilter(this);
    Label5->installEventFilter(this);
}

bool info::eventFilter(QObject *watched, QEvent *event)
{
    const bool link = watched == Label3 || watched == Label5;
    if (link && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const auto *label = static_cast<QLabel *>(watched);
        if (mouse->button() == Qt::LeftButton &&
            label->rect().contains(mouse->position().toPoint())) {
            if (watched == Label3)
                Label3_Click();
            else
                Label5_Click();
        }
        return true;
    }
    return Form::eventFilter(watched, event);
}

void info::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void info::Command1_Click()
{
    forms().unload(*this);
}

void info::openAddress(const QString &commandLine, const QString &address)
{
    try {
        host().runCommandLine(commandLine, WindowStyle::MinimizedWithFocus);
    } catch (const HostError &) {
        // The same words as the main window's web and mail items.
        host().messageBox(QStringLiteral("Sorry, Vantrel cannot open ") + address);
    }
}

void info::Label3_Click()
{
    openAddress(brand::mailCommandLine(), brand::mailUrl());
}

void info::Label5_Click()
{
    openAddress(brand::webCommandLine(), brand::webUrl());
}

} // namespace vantrel
