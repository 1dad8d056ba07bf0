// The Make Logo and Export Animation windows through the test host on a
// temporary drive: the controls as the converter's options, the preview
// converted off the user-interface thread with superseded requests
// dropped, Use handing the saved logo to the main window, the refusals
// with their reasons, and the main window's drop and tool tip.

#include "codec/gif_export.h"
#include "codec/plymouth_theme.h"
#include "image/export_animation.h"
#include "image/make_logo.h"
#include "logo/form1.h"
#include "support/drop_file.h"
#include "support/encoded_image.h"
#include "support/fake_host.h"
#include "support/logo_bytes.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "ui/colour_button.h"
#include "ui/stretched_picture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSpinBox>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace vantrel;
using vantrel::test::FakeHost;
using vantrel::test::TempDrive;

Q_DECLARE_METATYPE(vantrel::ConvertOptions)

namespace {

// The main window on a fresh temporary drive holding a 64 x 48 PNG.
struct Program {
    Program() : forms(host)
    {
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(QColor(30, 140, 200));
        drive.write("sky.png", test::encodedImage(picture, "PNG"));
        main = &forms.load<Form1>();
    }
    QString path(const QString &relative) const { return drive.path(relative); }

    FakeHost host;
    TempDrive drive;
    ProgramForms forms;
    Form1 *main = nullptr;
};

ConvertOptions withBand(BandEdge band, int rows, int start, std::size_t colours)
{
    ConvertOptions options;
    options.band = band;
    options.bandRows = rows;
    options.start = start;
    for (std::size_t i = 0; i < colours; ++i)
        options.ramp.push_back(defaultRamp()[i % defaultRamp().size()]);
    return options;
}

bool sameOptions(const ConvertOptions &a, const ConvertOptions &b)
{
    return a.fit == b.fit && a.border == b.border && a.start == b.start && a.ramp == b.ramp &&
           a.band == b.band && a.bandRows == b.bandRows && a.dither == b.dither;
}

} // namespace

class MakeLogoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controlsGiveTheConverterItsOptions_data();
    void controlsGiveTheConverterItsOptions();
    void useSavesTheLogoAndHandsItToTheMainWindow();
    void refusedPictureShowsItsReason();
    void previewConvertsOffTheUserInterfaceThread();
    void exportWritesTheGifOfTheCurrentLogo();
    void exportRefusesAFileThatIsNoLogo();
    void exportWritesAPlymouthThemeIntoAnEmptyFolder_data();
    void exportWritesAPlymouthThemeIntoAnEmptyFolder();
    void pictureDroppedOnTheMainWindowBecomesItsFile();
};

void MakeLogoTest::controlsGiveTheConverterItsOptions_data()
{
    QTest::addColumn<int>("fit");
    QTest::addColumn<QColor>("border");
    QTest::addColumn<int>("animation");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("addColours"); // negative: removed
    QTest::addColumn<bool>("dither");
    QTest::addColumn<ConvertOptions>("expected");

    ConvertOptions padded;
    padded.fit = Fit::Pad;
    padded.border = {0, 0, 0x80};
    padded.dither = false;
    ConvertOptions stretched;
    stretched.fit = Fit::Stretch;
    QTest::newRow("defaults") << 0 << QColor(Qt::black) << 0 << 20 << 236 << 0 << true
                              << ConvertOptions{};
    QTest::newRow("pad on navy, no dithering")
        << 1 << QColor(0, 0, 0x80) << 0 << 20 << 236 << 0 << false << padded;
    QTest::newRow("stretch; rows, S and ramp unused without a band")
        << 2 << QColor(Qt::black) << 0 << 50 << 100 << -2 << true << stretched;
    QTest::newRow("band at the top") << 0 << QColor(Qt::black) << 1 << 20 << 236 << 0 << true
                                     << withBand(BandEdge::Top, 20, 236, 6);
    QTest::newRow("band at the bottom, three colours")
        << 0 << QColor(Qt::black) << 2 << 40 << 200 << -3 << true
        << withBand(BandEdge::Bottom, 40, 200, 3);
    QTest::newRow("eight colours at most") << 0 << QColor(Qt::black) << 2 << 400 << 1 << 5 << true
                                           << withBand(BandEdge::Bottom, 400, 1, 8);
}

void MakeLogoTest::controlsGiveTheConverterItsOptions()
{
    QFETCH(int, fit);
    QFETCH(QColor, border);
    QFETCH(int, animation);
    QFETCH(int, rows);
    QFETCH(int, start);
    QFETCH(int, addColours);
    QFETCH(bool, dither);
    QFETCH(ConvertOptions, expected);

    Program program;
    MakeLogo &form = program.forms.load<MakeLogo>();
    std::vector<ConvertOptions> asked;
    form.setConverter([&asked](const QImage &picture, const ConvertOptions &options) {
        asked.push_back(options);
        return convertToLogo(picture, options);
    });
    QVERIFY(form.openPicture(program.path("sky.png")));
    form.FitBox->setCurrentIndex(fit);
    form.Border->setColour(border);
    form.Animation->setCurrentIndex(animation);
    form.Rows->setValue(rows);
    form.Start->setValue(start);
    for (int i = 0; i < std::abs(addColours); ++i)
        (addColours > 0 ? form.AddColour : form.RemoveColour)->click();
    form.Dither->setChecked(dither);

    QTRY_VERIFY(!form.busy());
    QVERIFY(sameOptions(form.options(), expected));
    QVERIFY(sameOptions(asked.back(), expected));
    QCOMPARE(form.Rows->isEnabled(), animation != 0);
    QCOMPARE(form.AddColour->isEnabled(), animation != 0 && expected.ramp.size() < 8);
    QCOMPARE(program.host.messages, QStringList{});
}

void MakeLogoTest::useSavesTheLogoAndHandsItToTheMainWindow()
{
    Program program;
    program.main->setLabel1Caption(program.path("sky.png"));
    MakeLogo &form = program.forms.load<MakeLogo>();
    QTRY_COMPARE(form.previewsShown(), 1);
    form.Animation->setCurrentIndex(2);
    QVERIFY(!form.Use->isEnabled());
    QTRY_COMPARE(form.previewsShown(), 2);
    QVERIFY(form.Use->isEnabled());

    // The preview cycles the band's entries every 70 ms.
    const ExportFrames frames = exportFrames(form.logo(), ExportSize::Raw320x400);
    QCOMPARE(int(frames.palettes.size()), 256 - 236);
    program.host.advance(70);
    QCOMPARE(form.previewStep(), 1);
    QCOMPARE(form.Preview->picture(), frameImage(frames, 1));
    QCOMPARE(form.Preview->shown().size(), QSize(534, 400));

    // The picture's own file is refused: it would be lost.
    program.host.dialogAnswers.push_back(program.path("sky.png"));
    form.Use->click();
    QCOMPARE(program.host.messages,
             QStringList{"Vantrel could not save the logo: " + program.path("sky.png") +
                         " is the picture itself; save the logo to another file"});
    QVERIFY(program.forms.isLoaded<MakeLogo>());

    program.host.dialogAnswers.push_back(program.path("made"));
    form.Use->click();
    const QImage picture = program.host.loadPicture(program.path("sky.png"));
    const std::vector<std::uint8_t> logo = convertToLogo(picture, form.options());
    QCOMPARE(program.drive.read("made.sys"),
             QByteArray(reinterpret_cast<const char *>(logo.data()), qsizetype(logo.size())));
    QCOMPARE(program.host.dialogsShown.back().state.FileName, QStringLiteral("logo.sys"));
    QCOMPARE(program.host.dialogsShown.back().kind, FileDialogKind::Save);
    QCOMPARE(program.main->Label1->text(), program.path("made.sys"));
    QVERIFY(program.main->chstart->isEnabled());
    QVERIFY(!program.forms.isLoaded<MakeLogo>());
}

void MakeLogoTest::refusedPictureShowsItsReason()
{
    Program program;
    program.drive.write("notes.txt", "not a picture");
    // The main window's file is no picture: the window starts empty and says nothing.
    program.main->setLabel1Caption(program.path("notes.txt"));
    MakeLogo &form = program.forms.load<MakeLogo>();
    QVERIFY(!form.busy());
    QCOMPARE(program.host.messages, QStringList{});

    QVERIFY(form.openPicture(program.path("sky.png")));
    test::dropFile(form, program.path("notes.txt"));
    QCOMPARE(program.host.messages,
             QStringList{"Vantrel could not open the picture: cannot show " +
                         program.path("notes.txt") + ": Unsupported image format"});
    // The picture it had stays.
    QTRY_COMPARE(form.previewsShown(), 1);
    QVERIFY(form.Save->isEnabled());
}

// The converter blocks until released, while the window goes on handling
// events: two option changes made meanwhile end in one more conversion,
// for the later one.
void MakeLogoTest::previewConvertsOffTheUserInterfaceThread()
{
    Program program;
    MakeLogo &form = program.forms.load<MakeLogo>();
    QSemaphore entered;
    QSemaphore release;
    // Whatever fails, no converter is left waiting when the window goes.
    const auto releaseAll = qScopeGuard([&release] { release.release(8); });
    std::atomic<bool> onUserInterfaceThread = false;
    std::vector<Fit> fits;
    QThread *const ui = QThread::currentThread();
    form.setConverter([&](const QImage &picture, const ConvertOptions &options) {
        onUserInterfaceThread = onUserInterfaceThread || QThread::currentThread() == ui;
        fits.push_back(options.fit);
        entered.release();
        release.acquire();
        return convertToLogo(picture, options);
    });
    QVERIFY(form.openPicture(program.path("sky.png")));
    QVERIFY(entered.tryAcquire(1, 5000));
    QVERIFY(form.busy());
    QVERIFY(form.Busy->isVisibleTo(&form));
    form.FitBox->setCurrentIndex(1);
    form.FitBox->setCurrentIndex(2);
    QTest::qWait(20);
    QVERIFY(!form.Save->isEnabled());
    // The first result is dropped, and the window starts the latest request.
    release.release();
    QTRY_COMPARE(entered.available(), 1);
    release.release();
    QTRY_VERIFY(!form.busy());
    QCOMPARE(fits, (std::vector<Fit>{Fit::Crop, Fit::Stretch}));
    QVERIFY(!onUserInterfaceThread);
    QCOMPARE(form.previewsShown(), 1);
    QVERIFY(!form.Busy->isVisibleTo(&form));
    QCOMPARE(form.logo(),
             convertToLogo(program.host.loadPicture(program.path("sky.png")), form.options()));
}

void MakeLogoTest::exportWritesTheGifOfTheCurrentLogo()
{
    Program program;
    test::LogoBytes logo;
    logo.clrImportant = 240;
    const QByteArray bytes = logo.bytes();
    program.drive.write("moving.sys", bytes);
    program.main->setLabel1Caption(program.path("moving.sys"));
    program.main->exportani->trigger();
    ExportAnimation *form = program.forms.find<ExportAnimation>();
    QVERIFY(form != nullptr);
    QCOMPARE(form->TypeBox->currentText(), QStringLiteral("Animated GIF"));
    form->SizeBox->setCurrentIndex(2);
    form->Delay->setValue(100);
    form->Cycles->setValue(3);
    program.host.dialogAnswers.push_back(program.path("moving"));
    form->Export->click();

    QCOMPARE(program.host.dialogsShown.back().state.FileName, QStringLiteral("moving.gif"));
    const std::vector<std::uint8_t> gif =
        exportGif(std::span(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size()),
                  ExportSize::Raw320x400, {100, 3});
    QCOMPARE(program.drive.read("moving.gif"),
             QByteArray(reinterpret_cast<const char *>(gif.data()), qsizetype(gif.size())));
    QVERIFY(!program.forms.isLoaded<ExportAnimation>());
}

void MakeLogoTest::exportRefusesAFileThatIsNoLogo()
{
    Program program;
    program.main->setLabel1Caption(program.path("sky.png"));
    program.main->exportani->trigger();
    const qint64 length = program.drive.read("sky.png").size();
    QCOMPARE(program.host.messages,
             QStringList{QStringLiteral("Vantrel could not export the animation: %1: not a logo "
                                        "bitmap: %2 bytes, expected 129078")
                             .arg(program.path("sky.png"))
                             .arg(length)});
    QVERIFY(!program.forms.isLoaded<ExportAnimation>());
}

void MakeLogoTest::exportWritesAPlymouthThemeIntoAnEmptyFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("empty") << "Clouds" << QString();
    QTest::newRow("not empty") << "Full"
                               << "%1 is not empty; choose a new or empty directory";
    QTest::newRow("no theme name") << "My Theme"
                                   << "%1: 'My Theme' cannot name a theme: use 1 to "
                                      "64 letters, digits, '-', '_' and '.', "
                                      "starting with a letter or a digit";
}

void MakeLogoTest::exportWritesAPlymouthThemeIntoAnEmptyFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, refusal);
    Program program;
    const QByteArray bytes = test::LogoBytes().bytes();
    program.drive.write("still.sys", bytes);
    program.drive.makeDirectory(folder);
    if (folder == "Full")
        program.drive.write("Full/.hidden", "kept");
    program.main->setLabel1Caption(program.path("still.sys"));
    program.main->exportani->trigger();
    ExportAnimation *form = program.forms.find<ExportAnimation>();
    QVERIFY(form->Cycles->isEnabled());
    form->TypeBox->setCurrentText(QStringLiteral("Plymouth theme (folder)"));
    QVERIFY(!form->Cycles->isEnabled());
    form->Delay->setValue(100);
    program.host.dialogAnswers.push_back(program.path(folder));
    form->Export->click();

    QCOMPARE(program.host.dialogsShown.back().kind, FileDialogKind::Folder);
    QCOMPARE(program.forms.isLoaded<ExportAnimation>(), !refusal.isEmpty());
    const QStringList names = QDir(program.path(folder)).entryList(QDir::Files | QDir::Hidden);
    if (!refusal.isEmpty()) {
        QCOMPARE(program.host.messages, QStringList{"Vantrel could not export the animation: " +
                                                    refusal.arg(program.path(folder))});
        QCOMPARE(names, folder == "Full" ? QStringList{".hidden"} : QStringList());
        return;
    }
    const std::vector<ThemeFile> theme = makePlymouthTheme(
        std::vector<std::uint8_t>(bytes.begin(), bytes.end()), {}, {folder, 100, {}});
    QCOMPARE(names.size(), qsizetype(theme.size()));
    for (const ThemeFile &file : theme) {
        const QByteArray written = program.drive.read(folder + '/' + file.name);
        QCOMPARE(std::vector<std::uint8_t>(written.begin(), written.end()), file.bytes);
    }
}

void MakeLogoTest::pictureDroppedOnTheMainWindowBecomesItsFile()
{
    Program program;
    test::dropFile(*program.main, program.path("sky.png"));
    QCOMPARE(program.main->Label1->text(), program.path("sky.png"));
    QVERIFY(program.main->chstart->isEnabled());
    QVERIFY(!program.main->open->pixmap().isNull());
}

VANTREL_QT_TEST(MakeLogoTest)
#include "make_logo_test.moc"
