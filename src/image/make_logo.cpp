#include "image/make_logo.h"

#include "codec/logo_format.h"
#include "image/logo_file.h"
#include "ui/colour_button.h"
#include "ui/controls.h"
#include "ui/stretched_picture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QtConcurrent/QtConcurrentRun>

namespace vantrel {

namespace {

// Twips, as the window was designed; 15 twips make one pixel. The preview
// is the preview window's 534 x 400.
constexpr TwipRect kWindow{0, 0, 11760, 6645};
constexpr TwipRect kPreview{120, 120, 8010, 6000};
constexpr TwipRect kOpen{8400, 120, 1335, 375};
constexpr TwipRect kBusy{9855, 180, 1785, 255};
constexpr TwipRect kFitLabel{8400, 660, 1080, 255};
constexpr TwipRect kFitBox{9600, 600, 2040, 375};
constexpr TwipRect kBorderLabel{8400, 1080, 1080, 255};
constexpr TwipRect kBorder{9600, 1020, 2040, 375};
constexpr TwipRect kAnimationLabel{8400, 1500, 1080, 255};
constexpr TwipRect kAnimation{9600, 1440, 2040, 375};
constexpr TwipRect kRowsLabel{8400, 1920, 1080, 255};
constexpr TwipRect kRows{9600, 1860, 2040, 375};
constexpr TwipRect kStartLabel{8400, 2340, 1080, 255};
constexpr TwipRect kStart{9600, 2280, 2040, 375};
constexpr TwipRect kRampLabel{8400, 2760, 3240, 255};
// The first ramp colour; the others follow at kRampStep.
constexpr TwipRect kRamp0{8400, 3060, 375, 330};
constexpr int kRampStep = 405;
constexpr TwipRect kAddColour{8400, 3480, 1560, 375};
constexpr TwipRect kRemoveColour{10080, 3480, 1560, 375};
constexpr TwipRect kDither{8400, 4020, 3240, 375};
constexpr TwipRect kSave{8400, 5745, 1560, 375};
constexpr TwipRect kUse{10080, 5745, 1560, 375};

// As the preview window cycles.
constexpr int kTickMs = 70;

// The choices of the two lists, in their order.
constexpr std::array kFits{Fit::Crop, Fit::Pad, Fit::Stretch};
constexpr std::array kBands{BandEdge::None, BandEdge::Top, BandEdge::Bottom};

QColor toQColor(Colour colour)
{
    return {colour.red, colour.green, colour.blue};
}

Colour toColour(const QColor &colour)
{
    return {std::uint8_t(colour.red()), std::uint8_t(colour.green()), std::uint8_t(colour.blue())};
}

} // namespace

MakeLogo::MakeLogo(const FormContext &context) : Form(context), m_converter(convertToLogo)
{
    setObjectName(QStringLiteral("MakeLogo"));
    setWindowTitle(QStringLiteral("Make Logo"));
    setWindowFrame(*this, WindowFrame::FixedSingle);
    setFixedClientSize(*this, kWindow);
    setAcceptDrops(true);

    createControls();
    setFocusOrder();
    connectHandlers();
    showEnabledStates();
}

MakeLogo::~MakeLogo()
{
    m_watcher.disconnect(this);
    m_watcher.waitForFinished();
}

void MakeLogo::createControls()
{
    Preview = new StretchedPicture(this);
    placeControl(*Preview, "Preview", kPreview);
    Open = makeButton(this, "Open", QStringLiteral("Open..."), kOpen);
    Busy = makeLabel(this, "Busy", QStringLiteral("Working..."), kBusy);
    Busy->setVisible(false);

    makeLabel(this, "FitLabel", QStringLiteral("Fit:"), kFitLabel);
    FitBox = makeList(this, "FitBox", {"Crop", "Pad", "Stretch"}, kFitBox);
    makeLabel(this, "BorderLabel", QStringLiteral("Border:"), kBorderLabel);
    Border =
        makeColourButton(this, "Border", Qt::black, QStringLiteral("the border colour"), kBorder);
    makeLabel(this, "AnimationLabel", QStringLiteral("Animation:"), kAnimationLabel);
    Animation = makeList(this, "Animation",
                         {"No animation", "Band at the top", "Band at the bottom"}, kAnimation);
    makeLabel(this, "RowsLabel", QStringLiteral("Band rows:"), kRowsLabel);
    Rows = makeSpinBox(this, "Rows", 1, kLogoHeight, kDefaultBandRows, kRows);
    makeLabel(this, "StartLabel", QStringLiteral("Start entry:"), kStartLabel);
    Start = makeSpinBox(this, "Start", kMinStartEntry, kMaxStartEntry, kDefaultStartEntry, kStart);
    createRampControls();

    Dither = new QCheckBox(QStringLiteral("Dithering"), this);
    placeControl(*Dither, "Dither", kDither);
    Dither->setChecked(true);
    Save = makeButton(this, "Save", QStringLiteral("Save As..."), kSave);
    Use = makeButton(this, "Use", QStringLiteral("Use"), kUse);
    setDefaultButton(Use);
}

void MakeLogo::createRampControls()
{
    makeLabel(this, "RampLabel", QStringLiteral("Ramp colours:"), kRampLabel);
    const std::vector<Colour> stops = defaultRamp();
    for (int i = 0; i < kMaxRampColours; ++i) {
        const TwipRect place{kRamp0.left + i * kRampStep, kRamp0.top, kRamp0.width, kRamp0.height};
        const QByteArray name = "Ramp" + QByteArray::number(i);
        Ramp[std::size_t(i)] =
            makeColourButton(this, name.constData(), toQColor(stops[std::size_t(i) % stops.size()]),
                             QStringLiteral("ramp colour %1").arg(i + 1), place);
    }
    setRampCount(int(stops.size()));
    AddColour = makeButton(this, "AddColour", QStringLiteral("Add"), kAddColour);
    RemoveColour = makeButton(this, "RemoveColour", QStringLiteral("Remove"), kRemoveColour);
}

void MakeLogo::setFocusOrder()
{
    chainTabOrder({Open, FitBox, Border, Animation, Rows, Start, Ramp[0], Ramp[1], Ramp[2], Ramp[3],
                   Ramp[4], Ramp[5], Ramp[6], Ramp[7], AddColour, RemoveColour, Dither, Save, Use});
}

void MakeLogo::connectHandlers()
{
    connect(Open, &QPushButton::clicked, this, &MakeLogo::Open_Click);
    connect(FitBox, &QComboBox::currentIndexChanged, this, &MakeLogo::Option_Change);
    connect(Border, &ColourButton::colourChanged, this, &MakeLogo::Option_Change);
    connect(Animation, &QComboBox::currentIndexChanged, this, &MakeLogo::Option_Change);
    connect(Rows, &QSpinBox::valueChanged, this, &MakeLogo::Option_Change);
    connect(Start, &QSpinBox::valueChanged, this, &MakeLogo::Option_Change);
    for (ColourButton *colour : Ramp)
        connect(colour, &ColourButton::colourChanged, this, &MakeLogo::Option_Change);
    connect(AddColour, &QPushButton::clicked, this, &MakeLogo::AddColour_Click);
    connect(RemoveColour, &QPushButton::clicked, this, &MakeLogo::RemoveColour_Click);
    connect(Dither, &QCheckBox::toggled, this, &MakeLogo::Option_Change);
    connect(Save, &QPushButton::clicked, this, &MakeLogo::Save_Click);
    connect(Use, &QPushButton::clicked, this, &MakeLogo::Use_Click);
    connect(&m_watcher, &QFutureWatcher<Result>::finished, this, &MakeLogo::conversionFinished);
}

void MakeLogo::Form_Load()
{
    Timer1 = host().startTimer(kTickMs, [this] { Timer1_Timer(); });
    try {
        const QString current = forms().loadMainWindow().currentFile();
        m_picture = host().loadPicture(current);
        m_pictureName = current;
    } catch (const std::exception &) {
        // No picture there: the window starts empty.
        return;
    }
    requestPreview();
}

bool MakeLogo::openPicture(const QString &path)
{
    try {
        m_picture = host().loadPicture(path);
    } catch (const HostError &error) {
        host().messageBox(QStringLiteral("Vantrel could not open the picture: ") + error.reason());
        return false;
    }
    m_pictureName = path;
    requestPreview();
    return true;
}

ConvertOptions MakeLogo::options() const
{
    ConvertOptions options;
    options.fit = kFits[std::size_t(FitBox->currentIndex())];
    options.border = toColour(Border->colour());
    options.dither = Dither->isChecked();
    options.band = kBands[std::size_t(Animation->currentIndex())];
    if (options.band != BandEdge::None) {
        options.bandRows = Rows->value();
        options.start = Start->value();
        for (int i = 0; i < rampCount(); ++i)
            options.ramp.push_back(toColour(Ramp[std::size_t(i)]->colour()));
    }
    return options;
}

int MakeLogo::rampCount() const
{
    return int(std::count_if(Ramp.begin(), Ramp.end(),
                             [](const ColourButton *colour) { return !colour->isHidden(); }));
}

void MakeLogo::setRampCount(int count)
{
    for (int i = 0; i < kMaxRampColours; ++i)
        Ramp[std::size_t(i)]->setHidden(i >= count);
}

void MakeLogo::showEnabledStates()
{
    const bool animated = Animation->currentIndex() != 0;
    for (QWidget *control : {static_cast<QWidget *>(Rows), static_cast<QWidget *>(Start)})
        control->setEnabled(animated);
    for (ColourButton *colour : Ramp)
        colour->setEnabled(animated);
    AddColour->setEnabled(animated && rampCount() < kMaxRampColours);
    RemoveColour->setEnabled(animated && rampCount() > 1);
    Save->setEnabled(!m_logo.empty());
    Use->setEnabled(!m_logo.empty());
    Busy->setVisible(busy());
}

void MakeLogo::Open_Click()
{
    FileDialog dialog;
    dialog.DialogTitle = QStringLiteral("Open Picture");
    dialog.Filter = QStringLiteral("Pictures (*.png;*.jpg;*.jpeg;*.gif;*.bmp;*.sys)|"
                                   "*.png;*.jpg;*.jpeg;*.gif;*.bmp;*.sys|All files (*.*)|*");
    dialog.FilterIndex = 1;
    dialog.CancelError = true;
    dialog.FileName = m_pictureName;
    try {
        host().showFileDialog(dialog, FileDialogKind::Open);
    } catch (const std::exception &) {
        return;
    }
    openPicture(dialog.FileName);
}

void MakeLogo::Option_Change()
{
    requestPreview();
}

void MakeLogo::AddColour_Click()
{
    setRampCount(std::min(rampCount() + 1, int(kMaxRampColours)));
    requestPreview();
}

void MakeLogo::RemoveColour_Click()
{
    setRampCount(std::max(rampCount() - 1, 1));
    requestPreview();
}

void MakeLogo::requestPreview()
{
    ++m_wanted;
    m_logo.clear();
    if (!m_picture.isNull() && !m_running)
        startConversion();
    showEnabledStates();
}

void MakeLogo::startConversion()
{
    m_running = m_wanted;
    m_watcher.setFuture(QtConcurrent::run(
        [converter = m_converter, picture = m_picture, options = options()]() -> Result {
            try {
                return {converter(picture, options), {}};
            } catch (const HostError &error) {
                return {{}, error.reason()};
            } catch (const std::exception &error) {
                return {{}, QString::fromLocal8Bit(error.what())};
            }
        }));
}

// Drops a result that a later request has outdated, and runs the latest
// request instead.
void MakeLogo::conversionFinished()
{
    const Result result = m_watcher.result();
    if (m_running != m_wanted) {
        startConversion();
        return;
    }
    m_running.reset();
    if (result.failure.isEmpty()) {
        showLogo(result.logo);
    } else {
        Preview->setPicture({});
        host().messageBox(QStringLiteral("Vantrel could not make a logo of %1: %2")
                              .arg(m_pictureName, result.failure));
    }
    showEnabledStates();
}

void MakeLogo::showLogo(std::vector<std::uint8_t> logo)
{
    try {
        m_frames = exportFrames(logo, ExportSize::Raw320x400);
    } catch (const HostError &error) {
        host().messageBox(QStringLiteral("Vantrel could not show the logo: ") + error.reason());
        return;
    }
    m_logo = std::move(logo);
    m_step = 0;
    Preview->setPicture(frameImage(m_frames, 0));
    ++m_previews;
    Q_EMIT previewShown();
}

// One step of the palette cycle, as the boot screen and the preview
// window show it.
void MakeLogo::Timer1_Timer()
{
    const int steps = int(m_frames.palettes.size());
    if (m_logo.empty() || steps < 2)
        return;
    m_step = (m_step + 1) % steps;
    Preview->setPicture(frameImage(m_frames, m_step));
}

std::optional<QString> MakeLogo::saveLogo()
{
    FileDialog dialog;
    dialog.DialogTitle = QStringLiteral("Save Logo As");
    dialog.Filter = QStringLiteral("Logo bitmaps (*.sys)|*.sys");
    dialog.FilterIndex = 1;
    dialog.CancelError = true;
    dialog.FileName = QStringLiteral("logo.sys");
    try {
        host().showFileDialog(dialog, FileDialogKind::Save);
    } catch (const std::exception &) {
        return std::nullopt;
    }
    const QString path = withExtension(dialog.FileName, QStringLiteral(".sys"));
    try {
        // The picture is only in memory now: writing over its file would
        // lose it.
        if (host().nativePath(path) == host().nativePath(m_pictureName))
            throw HostError(path + QStringLiteral(" is the picture itself; save the logo to "
                                                  "another file"));
        writeWholeFile(host(), path,
                       QByteArrayView(reinterpret_cast<const char *>(m_logo.data()),
                                      qsizetype(m_logo.size())));
    } catch (const HostError &error) {
        host().messageBox(QStringLiteral("Vantrel could not save the logo: ") + error.reason());
        return std::nullopt;
    }
    return path;
}

void MakeLogo::Save_Click()
{
    if (!m_logo.empty())
        saveLogo();
}

// Hands the saved logo to the main window and closes, as a successful Run
// of the animation maker does.
void MakeLogo::Use_Click()
{
    if (m_logo.empty())
        return;
    const std::optional<QString> path = saveLogo();
    if (!path)
        return;
    try {
        forms().loadMainWindow().setCurrentFile(*path);
        forms().showMainWindow();
    } catch (const std::exception &) {
        // The logo is saved; only the hand-over failed.
        beep();
        return;
    }
    forms().unload(*this);
}

void MakeLogo::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedLocalFile(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MakeLogo::dropEvent(QDropEvent *event)
{
    const QString path = droppedLocalFile(*event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    openPicture(path);
}

} // namespace vantrel
