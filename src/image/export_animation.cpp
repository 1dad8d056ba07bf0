#include "image/export_animation.h"

#include "codec/plymouth_theme.h"
#include "image/logo_file.h"
#include "ui/controls.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <array>

namespace vantrel {

namespace {

// Twips, as the window was designed; 15 twips make one pixel.
constexpr TwipRect kWindow{0, 0, 5400, 2985};
constexpr TwipRect kSource{120, 120, 5160, 255};
constexpr TwipRect kTypeLabel{120, 540, 1320, 255};
constexpr TwipRect kTypeBox{1560, 480, 3720, 375};
constexpr TwipRect kSizeLabel{120, 960, 1320, 255};
constexpr TwipRect kSizeBox{1560, 900, 3720, 375};
constexpr TwipRect kDelayLabel{120, 1380, 1320, 255};
constexpr TwipRect kDelay{1560, 1320, 1680, 375};
constexpr TwipRect kCyclesLabel{120, 1800, 1320, 255};
constexpr TwipRect kCycles{1560, 1740, 1680, 375};
constexpr TwipRect kExport{2400, 2460, 1380, 375};
constexpr TwipRect kClose{3900, 2460, 1380, 375};

// The sizes, in the list's order.
constexpr std::array kSizes{ExportSize::Screen640x480, ExportSize::Wide640x400,
                            ExportSize::Raw320x400};

void writeGif(Host &host, std::span<const std::uint8_t> logo, const QString &target,
              const ExportSettings &settings)
{
    const std::vector<std::uint8_t> gif = exportGif(logo, settings.size, settings.gif);
    writeWholeFile(
        host, target,
        QByteArrayView(reinterpret_cast<const char *>(gif.data()), qsizetype(gif.size())));
}

// A Plymouth theme named after the folder it fills. The window has no
// shutdown logo to give it.
void writePlymouth(Host &host, std::span<const std::uint8_t> logo, const QString &target,
                   const ExportSettings &settings)
{
    PlymouthOptions options;
    options.name = QFileInfo(QDir::cleanPath(target)).fileName();
    if (const QString problem = themeNameProblem(options.name); !problem.isEmpty())
        throw HostError(QStringLiteral("%1: %2").arg(target, problem));
    options.delayMs = settings.gif.delayMs;
    options.size = settings.size;
    writePlymouthTheme(host, target, logo, {}, options);
}

QLabel *makeCaption(QWidget *parent, const char *name, const char *caption, const TwipRect &place)
{
    return makeLabel(parent, name, QString::fromLatin1(caption), place);
}

QString failureMessage(const QString &reason)
{
    return QStringLiteral("Vantrel could not export the animation: ") + reason;
}

} // namespace

const std::vector<ExportType> &exportTypes()
{
    static const std::vector<ExportType> types{
        {QStringLiteral("Animated GIF"), FileDialogKind::Save,
         QStringLiteral("GIF pictures (*.gif)|*.gif"), QStringLiteral(".gif"), true, writeGif},
        {QStringLiteral("Plymouth theme (folder)"), FileDialogKind::Folder, QString(), QString(),
         false, writePlymouth},
    };
    return types;
}

ExportAnimation::ExportAnimation(const FormContext &context) : Form(context)
{
    setObjectName(QStringLiteral("ExportAnimation"));
    setWindowTitle(QStringLiteral("Export Animation"));
    setWindowFrame(*this, WindowFrame::FixedDialog);
    setFixedClientSize(*this, kWindow);

    createControls();
    connectHandlers();
}

void ExportAnimation::createControls()
{
    Source = makeLabel(this, "Source", QString(), kSource);
    makeCaption(this, "TypeLabel", "Type:", kTypeLabel);
    TypeBox = makeList(this, "TypeBox", {}, kTypeBox);
    for (const ExportType &type : exportTypes())
        TypeBox->addItem(type.name);
    makeCaption(this, "SizeLabel", "Size:", kSizeLabel);
    SizeBox = makeList(this, "SizeBox",
                       {"640 x 480 (as a 4:3 screen shows it)", "640 x 400", "320 x 400 (raw)"},
                       kSizeBox);
    makeCaption(this, "DelayLabel", "Delay (ms):", kDelayLabel);
    Delay = makeSpinBox(this, "Delay", kMinDelayMs, kMaxDelayMs, kDefaultDelayMs, kDelay);
    makeCaption(this, "CyclesLabel", "Cycles:", kCyclesLabel);
    Cycles = makeSpinBox(this, "Cycles", 0, kMaxCycles, 0, kCycles);
    Cycles->setSpecialValueText(QStringLiteral("Forever"));
    Export = makeButton(this, "Export", QStringLiteral("Export..."), kExport);
    Close = makeButton(this, "Close", QStringLiteral("Close"), kClose);
    setDefaultButton(Export);
    chainTabOrder({TypeBox, SizeBox, Delay, Cycles, Export, Close});
}

void ExportAnimation::connectHandlers()
{
    connect(Export, &QPushButton::clicked, this, &ExportAnimation::Export_Click);
    connect(Close, &QPushButton::clicked, this, &ExportAnimation::Close_Click);
    connect(TypeBox, &QComboBox::currentIndexChanged, this, &ExportAnimation::TypeBox_Change);
}

void ExportAnimation::Form_Load()
{
    try {
        m_source = forms().loadMainWindow().currentFile();
        readLogoFile(host(), m_source);
    } catch (const HostError &error) {
        throw HostError(failureMessage(error.reason()), error.kind());
    }
    setPlainToolTip(*Source, m_source);
    Source->setText(m_source);
}

ExportSettings ExportAnimation::settings() const
{
    ExportSettings settings;
    settings.size = kSizes[std::size_t(SizeBox->currentIndex())];
    settings.gif.delayMs = Delay->value();
    settings.gif.cycles = Cycles->value();
    return settings;
}

std::optional<QString> ExportAnimation::askTarget(const ExportType &type)
{
    FileDialog dialog;
    dialog.DialogTitle = QStringLiteral("Export Animation");
    dialog.Filter = type.filter;
    dialog.FilterIndex = 1;
    dialog.CancelError = true;
    if (type.dialog == FileDialogKind::Save)
        dialog.FileName = fileBaseName(m_source) + type.extension;
    try {
        host().showFileDialog(dialog, type.dialog);
    } catch (const std::exception &) {
        return std::nullopt;
    }
    if (type.dialog == FileDialogKind::Save)
        return withExtension(dialog.FileName, type.extension);
    return dialog.FileName;
}

void ExportAnimation::Export_Click()
{
    const ExportType &type = exportTypes()[std::size_t(TypeBox->currentIndex())];
    const std::optional<QString> target = askTarget(type);
    if (!target)
        return;
    try {
        type.write(host(), readLogoFile(host(), m_source), *target, settings());
    } catch (const HostError &error) {
        host().messageBox(failureMessage(error.reason()));
        return;
    }
    forms().unload(*this);
}

void ExportAnimation::TypeBox_Change()
{
    Cycles->setEnabled(exportTypes()[std::size_t(TypeBox->currentIndex())].counted);
}

void ExportAnimation::Close_Click()
{
    forms().unload(*this);
}

} // namespace vantrel
