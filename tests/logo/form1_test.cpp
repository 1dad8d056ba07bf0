// The main window through the test host on a temporary drive: its start
// state, the commands of its buttons and menus, and what each leaves on
// the drive, on the command line and in message boxes.

#include "app/open_dlg.h"
#include "logo/form1.h"
#include "support/encoded_image.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/logo_bytes.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "support/scoped_variable.h"
#include "ui/forms.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <optional>

Q_DECLARE_METATYPE(vantrel::WindowStyle)

using namespace vantrel;
using vantrel::test::FakeHost;
using vantrel::test::ScopedVariable;
using vantrel::test::TempDrive;

namespace {

const QString kNoFile = QStringLiteral("No file selected. Please select a file.");
const QString kViewShutdownFailed =
    QStringLiteral("Error, -the file could not be found.  Try selecting a file, should this "
                   "problem persist contact Brontic");

// An 8-bit bitmap of one grey shade, as Qt writes it.
QByteArray bitmapBytes(int width, int height, int shade)
{
    QImage image(width, height, QImage::Format_Indexed8);
    QList<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette << qRgb(i, i, i);
    image.setColorTable(palette);
    image.fill(uint(shade));
    return test::encodedImage(image);
}

using DirectoryReply = std::optional<std::pair<QByteArray, unsigned>>;

// The main window loaded on a fresh temporary drive.
struct Window {
    explicit Window(const DirectoryReply &reply = std::nullopt) : forms(host)
    {
        host.windowsDirectoryReply = reply;
        form = &forms.load<Form1>();
    }

    // Chooses `path` through Open File.
    void choose(const QString &path)
    {
        host.dialogAnswers.push_back(path);
        form->Op->click();
    }

    QString drivePath(const QString &relative) const { return drive.path(relative); }

    // Clicks the button or triggers the menu item of that name.
    void activate(const QString &name)
    {
        if (auto *button = form->findChild<QPushButton *>(name)) {
            button->click();
            return;
        }
        auto *action = form->findChild<QAction *>(name);
        QVERIFY2(action != nullptr, qPrintable(name));
        action->trigger();
    }

    QStringList enabledChangeButtons() const
    {
        QStringList names;
        for (QPushButton *button : {form->chstart, form->chshut, form->choff, form->Command8}) {
            if (button->isEnabled())
                names << button->objectName();
        }
        return names;
    }

    TempDrive drive;
    FakeHost host;
    ProgramForms forms;
    Form1 *form = nullptr;
};

const QStringList kAllFour{"chstart", "chshut", "choff", "Command8"};

} // namespace

class Form1Test : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowFrame();
    void controlsAtStart_data();
    void controlsAtStart();
    void menus_data();
    void menus();
    void focusOrder();
    void formLoadKeepsTheWindowsDirectory_data();
    void formLoadKeepsTheWindowsDirectory();

    void openCommandsSetTheDialogOptions_data();
    void openCommandsSetTheDialogOptions();
    void choosingAFilePreviewsItAndEnablesTheButtons();
    void thePreviewFillsItsAreaWithThePicturesOwnColours();
    void cancellingKeepsEverything();
    void aFileThatIsNoPictureStillEnablesTheButtons();
    void theSamePathAgainCountsAsAChange();
    void pathToolTip_data();
    void pathToolTip();

    void changeCopiesAndDisablesOnlyItsButton_data();
    void changeCopiesAndDisablesOnlyItsButton();
    void aNewPathReenablesEveryChangeButton();
    void failedChangeShowsTheReasonAndKeepsTheButton_data();
    void failedChangeShowsTheReasonAndKeepsTheButton();
    void aSlotFileThatCannotBeKeptIsLeftAsItIs_data();
    void aSlotFileThatCannotBeKeptIsLeftAsItIs();

    void restoreSlot_data();
    void restoreSlot();
    void restoreAllFromButtonAndMenuLeaveTheSameFiles_data();
    void restoreAllFromButtonAndMenuLeaveTheSameFiles();

    void viewFailure_data();
    void viewFailure();
    void viewSuccess_data();
    void viewSuccess();
    void emptyWindowsDirectoryMeansBareNamesInTheCurrentDirectory();

    void commandLines_data();
    void commandLines();
    void programsThatCannotStart_data();
    void programsThatCannotStart();

    void endingTheProgram_data();
    void endingTheProgram();

    void keyboardPressesTheFocusedButton_data();
    void keyboardPressesTheFocusedButton();
};

void Form1Test::windowFrame()
{
    Window window;
    Form1 &form = *window.form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Brontic Vantrel 32-bit"));
    QCOMPARE(form.objectName(), QStringLiteral("Form1"));
    QCOMPARE(form.client->geometry(), QRect(0, form.menuBar->height(), 400, 336));
    QCOMPARE(form.menuBar->geometry().topLeft(), QPoint(0, 0));
    QCOMPARE(form.size(), QSize(400, 336 + form.menuBar->height()));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.pos(), QPoint(198, 125));
    QVERIFY(!(form.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(form.palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    QVERIFY(form.font().bold());

    QVERIFY(form.open->hasScaledContents());
    QCOMPARE(form.open->frameShape(), QFrame::Box);
    QCOMPARE(form.open->frameShadow(), QFrame::Plain);
    QCOMPARE(form.open->lineWidth(), 1);
    QVERIFY(form.open->pixmap().isNull());

    QCOMPARE(form.Frame2->font().pointSizeF(), 18.0);
    QVERIFY(form.Frame2->font().italic());
    QCOMPARE(form.Label1->font().pointSizeF(), 9.75);
    QVERIFY(!form.Label1->font().bold());
    QVERIFY(!form.Label1->font().italic());
    QVERIFY(form.Label1->alignment() & Qt::AlignHCenter);
    QVERIFY(!window.forms.isLoaded<OpenDlg>());
}

void Form1Test::controlsAtStart_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("visible");

    QTest::newRow("vog") << "vog"
                         << "client"
                         << "Vog Animate" << QRect(296, 48, 97, 25) << true << true;
    QTest::newRow("Frame2") << "Frame2"
                            << "client"
                            << "File Path" << QRect(8, 208, 385, 49) << true << true;
    QTest::newRow("Label1") << "Label1"
                            << "Frame2" << kNoFile << QRect(8, 24, 369, 17) << true << true;
    QTest::newRow("Command8") << "Command8"
                              << "client"
                              << "Edit bitmap" << QRect(296, 24, 97, 25) << false << true;
    QTest::newRow("Command7") << "Command7"
                              << "client"
                              << "Restore All" << QRect(296, 80, 97, 25) << true << true;
    QTest::newRow("Command6") << "Command6"
                              << "client"
                              << "Exit" << QRect(296, 176, 97, 25) << true << true;
    QTest::newRow("Command4") << "Command4"
                              << "client"
                              << "Help" << QRect(296, 136, 97, 25) << true << true;
    QTest::newRow("Command1") << "Command1"
                              << "client"
                              << "About" << QRect(296, 112, 97, 25) << true << true;
    QTest::newRow("Op") << "Op"
                        << "client"
                        << "Open File" << QRect(296, 0, 97, 25) << true << true;
    QTest::newRow("Frame1") << "Frame1"
                            << "client"
                            << "" << QRect(8, 256, 385, 73) << true << true;
    QTest::newRow("Command5") << "Command5"
                              << "Frame1"
                              << "Restore Turn Off" << QRect(264, 40, 113, 25) << true << true;
    QTest::newRow("choff") << "choff"
                           << "Frame1"
                           << "Change Turn Off" << QRect(264, 16, 113, 25) << false << true;
    QTest::newRow("Command3") << "Command3"
                              << "Frame1"
                              << "Restore Shutdown" << QRect(136, 40, 113, 25) << true << true;
    QTest::newRow("chshut") << "chshut"
                            << "Frame1"
                            << "Change Shutdown" << QRect(136, 16, 113, 25) << false << true;
    QTest::newRow("Command2") << "Command2"
                              << "Frame1"
                              << "Restore Startup" << QRect(8, 40, 113, 25) << true << true;
    QTest::newRow("chstart") << "chstart"
                             << "Frame1"
                             << "Change Startup" << QRect(8, 16, 113, 25) << false << true;
    QTest::newRow("Label2") << "Label2"
                            << "client"
                            << "C:\\WINDOWS\\" << QRect(296, 160, 97, 17) << true << false;
    QTest::newRow("open") << "open"
                          << "client"
                          << "" << QRect(8, 0, 273, 201) << true << true;
}

void Form1Test::controlsAtStart()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(bool, enabled);
    QFETCH(bool, visible);

    Window window;
    auto *control = window.form->findChild<QWidget *>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(control->parentWidget()->objectName(), parent);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->isEnabled(), enabled);
    QCOMPARE(control->isVisibleTo(window.form), visible);
    if (auto *button = qobject_cast<QPushButton *>(control)) {
        QCOMPARE(button->text(), caption);
        QVERIFY(!button->font().bold());
        QCOMPARE(button->font().pointSizeF(), 8.25);
        // vog is the one raised button; the others are flat on white.
        QCOMPARE(button->styleSheet().contains("background-color: white"), name != "vog");
    } else if (auto *label = qobject_cast<QLabel *>(control)) {
        QCOMPARE(label->text(), caption);
    } else if (auto *frame = qobject_cast<QGroupBox *>(control)) {
        QCOMPARE(frame->title(), caption);
    } else {
        QFAIL("unexpected kind of control");
    }
}

void Form1Test::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("File") << "File"
                          << "File"
                          << QStringList{"Openf=Open", "Restore=Restore All", "internet=internet",
                                         "vread=View Readme", "Exit=Exit"};
    QTest::newRow("internet") << "internet"
                              << "internet"
                              << QStringList{"web=Brontic web site", "mail=Mail Brontic"};
    QTest::newRow("edit") << "edit"
                          << "Edit" << QStringList{"ebitmap=Edit bitmap"};
    QTest::newRow("Tools") << "Tools"
                           << "Tools"
                           << QStringList{"drivein=Drive C: @", "animake=Animation Maker",
                                          "drivec=Drive C...", "makelogo=Make Logo...",
                                          "exportani=Export Animation..."};
    QTest::newRow("view") << "view"
                          << "View"
                          << QStringList{"vstart=Startup", "Vshut=Shutdown", "Voff=Switch off",
                                         "Vhist=History..."};
    QTest::newRow("Help") << "Help"
                          << "Help" << QStringList{"about=About"};
}

void Form1Test::menus()
{
    QFETCH(QString, menu);
    QFETCH(QString, caption);
    QFETCH(QStringList, items);

    Window window;
    auto *found = window.form->findChild<QMenu *>(menu);
    QVERIFY(found != nullptr);
    QCOMPARE(found->title(), caption);
    QStringList actual;
    for (QAction *action : found->actions()) {
        QVERIFY(!action->isSeparator());
        QVERIFY(!action->isCheckable());
        QVERIFY(action->isEnabled());
        QVERIFY(action->isVisible());
        actual << action->objectName() + '=' + action->text();
    }
    QCOMPARE(actual,
             items.replaceInStrings("@", QFileInfo(window.drive.root()).canonicalFilePath()));

    QStringList bar;
    for (QAction *action : window.form->menuBar->actions())
        bar << action->objectName() + '=' + action->text();
    QCOMPARE(bar, (QStringList{"File=File", "edit=Edit", "Tools=Tools", "view=View", "Help=Help"}));
    QCOMPARE(window.form->about->shortcut(), QKeySequence(Qt::Key_F1));
}

void Form1Test::focusOrder()
{
    Window window;
    Form1 &form = *window.form;
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget(), form.Command2);

    // The design's order, the disabled buttons skipped.
    const QStringList expected{"Command3", "Command5", "Op",  "Command1", "Command4",
                               "Command6", "Command7", "vog", "Command2"};
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);

    QStringList chain;
    QWidget *widget = form.chstart;
    do {
        if (qobject_cast<QPushButton *>(widget))
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != form.chstart);
    QCOMPARE(chain,
             (QStringList{"chstart", "Command2", "chshut", "Command3", "choff", "Command5", "Op",
                          "Command1", "Command4", "Command6", "Command7", "Command8", "vog"}));
}

void Form1Test::formLoadKeepsTheWindowsDirectory_data()
{
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<unsigned>("length");
    QTest::addColumn<QString>("label2");

    QTest::newRow("no backslash") << QByteArray("C:\\WIN95") << 8u << "C:\\WIN95\\";
    QTest::newRow("backslash") << QByteArray("C:\\WINDOWS\\") << 11u << "C:\\WINDOWS\\";
    QTest::newRow("query fails") << QByteArray("C:\\WINDOWS") << 0u << "";
}

void Form1Test::formLoadKeepsTheWindowsDirectory()
{
    QFETCH(QByteArray, written);
    QFETCH(unsigned, length);
    QFETCH(QString, label2);

    Window window({{written, length}});
    QCOMPARE(window.form->Label2->text(), label2);
}

void Form1Test::openCommandsSetTheDialogOptions_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Open File button") << "Op";
    QTest::newRow("File > Open") << "Openf";
}

void Form1Test::openCommandsSetTheDialogOptions()
{
    QFETCH(QString, command);

    Window window;
    const QString first = window.drivePath("first.bmp");
    window.host.dialogAnswers = {first, window.drivePath("second.bmp")};
    window.activate(command);
    QVERIFY(window.forms.isLoaded<OpenDlg>());
    OpenDlg *host = window.forms.find<OpenDlg>();
    QCOMPARE(host->windowTitle(), QStringLiteral("Open File"));
    QVERIFY(!host->isVisible());
    QCOMPARE(host->CMDialog1.FileName, first);
    window.activate(command);
    QCOMPARE(window.forms.find<OpenDlg>(), host);

    QCOMPARE(window.host.dialogsShown.size(), std::size_t(2));
    for (const FakeHost::ShownDialog &shown : window.host.dialogsShown) {
        QCOMPARE(shown.kind, FileDialogKind::Open);
        QCOMPARE(shown.state.Filter, QStringLiteral("Bitmaps (*.bmp;*.sys)|*.bmp;*.sys"));
        QCOMPARE(shown.state.FilterIndex, 1);
        QVERIFY(shown.state.CancelError);
        // Set afresh each time, whatever the last choice was.
        QCOMPARE(shown.state.FileName, QStringLiteral("*.bmp;*.sys"));
        QCOMPARE(shown.state.DialogTitle, QString());
    }
}

void Form1Test::choosingAFilePreviewsItAndEnablesTheButtons()
{
    Window window;
    window.drive.write("pics/sky.bmp", bitmapBytes(40, 30, 200));
    window.choose(window.drivePath("pics/sky.bmp"));

    Form1 &form = *window.form;
    QCOMPARE(form.Label1->text(), window.drivePath("pics/sky.bmp"));
    QCOMPARE(window.host.picturesLoaded, QStringList{window.drivePath("pics/sky.bmp")});
    QVERIFY(!form.open->pixmap().isNull());
    QCOMPARE(form.open->pixmap().size(), QSize(40, 30));
    QCOMPARE(form.open->pixmap().toImage().pixelColor(5, 5), QColor(200, 200, 200));
    QCOMPARE(window.enabledChangeButtons(), kAllFour);
    QVERIFY(window.host.messages.isEmpty());
}

// Stretched by nearest neighbour: a dithered logo shows no blended colour.
void Form1Test::thePreviewFillsItsAreaWithThePicturesOwnColours()
{
    QImage checks(8, 8, QImage::Format_RGB32);
    for (int i = 0; i < 64; ++i)
        checks.setPixel(i % 8, i / 8, (i + i / 8) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    Window window;
    window.drive.write("checks.bmp", test::encodedImage(checks));
    window.choose(window.drivePath("checks.bmp"));

    const QImage shown = window.form->open->grab(window.form->open->contentsRect()).toImage();
    QCOMPARE(shown.size(), QSize(271, 199));
    const auto *pixels = reinterpret_cast<const QRgb *>(shown.constBits());
    QCOMPARE(QSet<QRgb>(pixels, pixels + 271 * 199),
             (QSet<QRgb>{qRgb(255, 255, 255), qRgb(0, 0, 0)}));
}

void Form1Test::cancellingKeepsEverything()
{
    Window window;
    window.drive.write("sky.bmp", bitmapBytes(8, 8, 10));
    window.choose(window.drivePath("sky.bmp"));
    window.form->chstart->click();
    const qint64 picture = window.form->open->pixmap().cacheKey();

    window.host.dialogAnswers.push_back(std::nullopt);
    window.form->Openf->trigger();

    QCOMPARE(window.host.dialogsShown.size(), std::size_t(2));
    QCOMPARE(window.form->Label1->text(), window.drivePath("sky.bmp"));
    QCOMPARE(window.form->open->pixmap().cacheKey(), picture);
    QCOMPARE(window.enabledChangeButtons(), (QStringList{"chshut", "choff", "Command8"}));
    QCOMPARE(window.host.picturesLoaded.size(), 1);
    QVERIFY(window.host.messages.isEmpty());
}

void Form1Test::aFileThatIsNoPictureStillEnablesTheButtons()
{
    Window window;
    window.drive.write("sky.bmp", bitmapBytes(8, 8, 10));
    window.drive.write("notes.sys", "not a picture");
    window.choose(window.drivePath("sky.bmp"));
    window.choose(window.drivePath("notes.sys"));

    QCOMPARE(window.form->Label1->text(), window.drivePath("notes.sys"));
    QVERIFY(window.form->open->pixmap().isNull());
    QCOMPARE(window.enabledChangeButtons(), kAllFour);
    QVERIFY(window.host.messages.isEmpty());

    window.form->chstart->click();
    QCOMPARE(window.drive.read("logo.sys"), QByteArray("not a picture"));
}

void Form1Test::theSamePathAgainCountsAsAChange()
{
    Window window;
    window.drive.write("sky.bmp", bitmapBytes(8, 8, 10));
    window.drive.makeDirectory("WINDOWS");
    window.choose(window.drivePath("sky.bmp"));
    window.form->chstart->click();
    window.form->chshut->click();
    QCOMPARE(window.enabledChangeButtons(), (QStringList{"choff", "Command8"}));

    window.choose(window.drivePath("sky.bmp"));
    QCOMPARE(window.enabledChangeButtons(), kAllFour);
    QCOMPARE(window.host.picturesLoaded.size(), 2);

    window.form->setLabel1Caption(window.drivePath("sky.bmp"));
    QCOMPARE(window.host.picturesLoaded.size(), 3);
}

void Form1Test::pathToolTip_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("tip"); // @ stands for the drive's directory

    // Sky.BMP is an 8 x 8 bitmap, which Windows would not show at boot.
    const QString notALogo = QStringLiteral("\nnot a logo bitmap: 1142 bytes, expected 129078"
                                            "\nTools > Make Logo makes one from it");
    QTest::newRow("DOS path") << "c:\\my pictures\\sky.bmp"
                              << "c:\\my pictures\\sky.bmp\nstands for @/My Pictures/Sky.BMP" +
                                     notALogo;
    QTest::newRow("logo bitmap") << "C:\\logo.sys"
                                 << "C:\\logo.sys\nstands for @/logo.sys";
    QTest::newRow("new file on the drive") << "C:\\new.bmp"
                                           << "C:\\new.bmp\nstands for @/new.bmp";
    QTest::newRow("native path") << "@/My Pictures/Sky.BMP"
                                 << "@/My Pictures/Sky.BMP" + notALogo;
    QTest::newRow("unmapped drive")
        << "Q:\\sky.bmp"
        << "Q:\\sky.bmp\nstands for no file: drive Q: is not mapped (set VANTREL_DRIVE_Q)";
    QTest::newRow("marked-up name") << "C:\\<b>x</b>.bmp"
                                    << "C:\\<b>x</b>.bmp\nstands for @/<b>x</b>.bmp";
}

// The File Path label shows which file on which disk a path means, in a
// tool tip, as plain text; the label itself is unchanged.
void Form1Test::pathToolTip()
{
    QFETCH(QString, chosen);
    QFETCH(QString, tip);

    Window window;
    window.drive.write("My Pictures/Sky.BMP", bitmapBytes(8, 8, 3));
    window.drive.write("logo.sys", test::LogoBytes().bytes());
    QCOMPARE(window.form->Label1->toolTip(), QString());
    const QRect place = window.form->Label1->geometry();
    window.choose(chosen.replace("@", window.drive.root()));

    QTextDocument shown;
    shown.setHtml(window.form->Label1->toolTip());
    QCOMPARE(shown.toPlainText(), tip.replace("@", window.drive.root()));
    QCOMPARE(window.form->Label1->text(), chosen);
    QCOMPARE(window.form->Label1->geometry(), place);
    QCOMPARE(window.host.messages, QStringList{});
}

void Form1Test::changeCopiesAndDisablesOnlyItsButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QStringList>("stillEnabled");

    QTest::newRow("startup") << "chstart"
                             << "logo.sys" << QStringList{"chshut", "choff", "Command8"};
    QTest::newRow("shutdown") << "chshut"
                              << "WINDOWS/logow.sys" << QStringList{"chstart", "choff", "Command8"};
    QTest::newRow("switch-off") << "choff"
                                << "WINDOWS/logos.sys"
                                << QStringList{"chstart", "chshut", "Command8"};
}

void Form1Test::changeCopiesAndDisablesOnlyItsButton()
{
    QFETCH(QString, button);
    QFETCH(QString, installed);
    QFETCH(QStringList, stillEnabled);

    Window window;
    window.drive.makeDirectory("WINDOWS");
    window.drive.write(installed, "old picture");
    const QByteArray logo = bitmapBytes(320, 400, 77);
    QCOMPARE(logo.size(), 129078);
    window.drive.write("my pics/a logo.bmp", logo);
    window.choose(window.drivePath("my pics/a logo.bmp"));

    window.activate(button);
    QCOMPARE(window.drive.read(installed), logo);
    QCOMPARE(window.enabledChangeButtons(), stillEnabled);
    QVERIFY(window.host.messages.isEmpty());
    for (const char *other : {"logo.sys", "WINDOWS/logow.sys", "WINDOWS/logos.sys"}) {
        if (installed != QLatin1String(other))
            QVERIFY2(!window.drive.exists(QLatin1String(other)), other);
    }
}

void Form1Test::aNewPathReenablesEveryChangeButton()
{
    Window window;
    window.drive.makeDirectory("WINDOWS");
    window.drive.write("one.bmp", bitmapBytes(8, 8, 1));
    window.drive.write("two.bmp", bitmapBytes(8, 8, 2));
    window.choose(window.drivePath("one.bmp"));
    for (QPushButton *button : {window.form->chstart, window.form->chshut, window.form->choff})
        button->click();
    QCOMPARE(window.enabledChangeButtons(), QStringList{"Command8"});

    window.choose(window.drivePath("two.bmp"));
    QCOMPARE(window.enabledChangeButtons(), kAllFour);
    window.form->choff->click();
    QCOMPARE(window.drive.read("WINDOWS/logos.sys"), bitmapBytes(8, 8, 2));
    QCOMPARE(window.drive.read("WINDOWS/logow.sys"), bitmapBytes(8, 8, 1));
}

void Form1Test::failedChangeShowsTheReasonAndKeepsTheButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("slot");
    QTest::newRow("startup") << "chstart"
                             << "startup";
    QTest::newRow("shutdown") << "chshut"
                              << "shutdown";
    QTest::newRow("switch-off") << "choff"
                                << "switch-off";
}

void Form1Test::failedChangeShowsTheReasonAndKeepsTheButton()
{
    QFETCH(QString, button);
    QFETCH(QString, slot);

    Window window;
    window.drive.makeDirectory("WINDOWS");
    // A source that went away after it was chosen.
    window.choose(window.drivePath("gone.bmp"));
    window.activate(button);

    QCOMPARE(window.host.messages.size(), 1);
    const QString prefix = QStringLiteral("Vantrel could not change the %1 logo: ").arg(slot);
    QVERIFY2(window.host.messages[0].startsWith(prefix), qPrintable(window.host.messages[0]));
    QVERIFY(window.host.messages[0].size() > prefix.size());
    QCOMPARE(window.enabledChangeButtons(), kAllFour);
    QCOMPARE(QDir(window.drive.root()).entryList(QDir::Files), QStringList{});
    QCOMPARE(QDir(window.drive.path("WINDOWS")).entryList(QDir::Files), QStringList{});
}

void Form1Test::aSlotFileThatCannotBeKeptIsLeftAsItIs_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message"); // @ stands for the backup directory

    QTest::newRow("Change Startup")
        << "chstart"
        << "Vantrel could not change the startup logo: cannot keep a copy of c:\\logo.sys: cannot "
           "create the directory @: a file is in the way";
    QTest::newRow("Change Shutdown")
        << "chshut"
        << "Vantrel could not change the shutdown logo: cannot keep a copy of "
           "C:\\WINDOWS\\logow.sys: cannot create the directory @: a file is in the way";
    // Restore tells the copy's own failure; its slot message would be false.
    const QString notKept = "Vantrel could not keep a copy of %1: cannot create the directory @: "
                            "a file is in the way";
    QTest::newRow("Restore Startup") << "Command2" << notKept.arg("C:\\logo.sys");
    QTest::newRow("Restore Turn Off") << "Command5" << notKept.arg("C:\\WINDOWS\\logos.sys");
    const QString all =
        QStringList{notKept.arg("C:\\logo.sys"), notKept.arg("C:\\WINDOWS\\logow.sys"),
                    notKept.arg("C:\\WINDOWS\\logos.sys")}
            .join('\n');
    QTest::newRow("Restore All") << "Command7" << all;
    QTest::newRow("File > Restore All") << "Restore" << all;
}

// A copy that cannot be kept (here a file stands where the copies go)
// refuses the operation: the window says so in one message, and every
// slot keeps its bytes.
void Form1Test::aSlotFileThatCannotBeKeptIsLeftAsItIs()
{
    QFETCH(QString, command);
    QFETCH(QString, message);

    QTemporaryDir data;
    ScopedVariable dataHome("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QVERIFY(QDir().mkpath(data.path() + "/vantrel"));
    QFile blocker(data.path() + "/vantrel/backups");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    Window window;
    window.drive.makeInstallation();
    const QMap<QString, QByteArray> slots{{"LOGO.SYS", "the disk's own"},
                                          {"WINDOWS/LOGOW.SYS", "its own w"},
                                          {"WINDOWS/LOGOS.SYS", "its own s"}};
    for (auto it = slots.begin(); it != slots.end(); ++it)
        window.drive.write(it.key(), it.value());
    window.drive.write("new.bmp", bitmapBytes(8, 8, 5));
    window.choose(window.drivePath("new.bmp"));

    window.activate(command);
    QCOMPARE(window.host.messages,
             message.isEmpty()
                 ? QStringList{}
                 : QStringList{message.replace("@", data.path() + "/vantrel/backups")});
    for (auto it = slots.begin(); it != slots.end(); ++it)
        QCOMPARE(window.drive.read(it.key()), it.value());
    // A refused change leaves its button to try again.
    QCOMPARE(window.enabledChangeButtons(), kAllFour);
}

void Form1Test::restoreSlot_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("installation");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("windowsFiles");

    QTest::newRow("startup, nothing installed")
        << "Command2" << true << restoreFailedMessage(LogoSlot::Startup) << QStringList{};
    QTest::newRow("shutdown, no stock file")
        << "Command3" << false << restoreFailedMessage(LogoSlot::Shutdown) << QStringList{};
    QTest::newRow("switch-off, no stock file")
        << "Command5" << false << restoreFailedMessage(LogoSlot::SwitchOff) << QStringList{};
    QTest::newRow("shutdown") << "Command3" << true << "" << QStringList{"logow.sys=stock-w"};
    QTest::newRow("switch-off") << "Command5" << true << "" << QStringList{"logos.sys=stock-s"};
}

void Form1Test::restoreSlot()
{
    QFETCH(QString, button);
    QFETCH(bool, installation);
    QFETCH(QString, message);
    QFETCH(QStringList, windowsFiles);

    Window window;
    window.drive.makeDirectory("WINDOWS");
    if (installation)
        window.drive.makeInstallation();
    window.activate(button);

    QCOMPARE(window.host.messages, message.isEmpty() ? QStringList{} : QStringList{message});
    QStringList files;
    for (const QString &name : QDir(window.drive.path("WINDOWS")).entryList(QDir::Files))
        files << name + '=' + QString::fromLatin1(window.drive.read("WINDOWS/" + name));
    QCOMPARE(files, windowsFiles);
}

void Form1Test::restoreAllFromButtonAndMenuLeaveTheSameFiles_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Restore All button") << "Command7";
    QTest::newRow("File > Restore All") << "Restore";
}

void Form1Test::restoreAllFromButtonAndMenuLeaveTheSameFiles()
{
    QFETCH(QString, command);

    Window window;
    window.drive.makeInstallation();
    window.drive.write("logo.sys", "mine");
    window.drive.write("WINDOWS/logow.sys", "mine-w");
    window.drive.write("WINDOWS/logos.sys", "mine-s");
    window.activate(command);

    QVERIFY(!window.drive.exists("logo.sys"));
    QCOMPARE(window.drive.read("WINDOWS/logow.sys"), QByteArray("stock-w"));
    QCOMPARE(window.drive.read("WINDOWS/logos.sys"), QByteArray("stock-s"));
    QVERIFY(window.host.messages.isEmpty());

    // Again, with nothing left to delete: still silent.
    window.activate(command);
    QVERIFY(window.host.messages.isEmpty());
    QCOMPARE(window.drive.read("WINDOWS/logos.sys"), QByteArray("stock-s"));
}

void Form1Test::viewFailure_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("message");

    QTest::newRow("startup") << "vstart"
                             << "logo.sys"
                             << "The startup screen is set to default and cannot be viewed.";
    QTest::newRow("shutdown") << "Vshut"
                              << "WINDOWS/logow.sys" << kViewShutdownFailed;
    QTest::newRow("switch-off") << "Voff"
                                << "WINDOWS/logos.sys" << kViewShutdownFailed;
}

void Form1Test::viewFailure()
{
    QFETCH(QString, item);
    QFETCH(QString, installed);
    QFETCH(QString, message);

    for (const bool present : {false, true}) {
        Window window;
        window.drive.makeDirectory("WINDOWS");
        // Present but no picture fails the same way as missing.
        if (present)
            window.drive.write(installed, "garbage");
        window.drive.write("sky.bmp", bitmapBytes(8, 8, 10));
        window.choose(window.drivePath("sky.bmp"));
        const qint64 picture = window.form->open->pixmap().cacheKey();

        window.activate(item);
        QCOMPARE(window.host.messages, QStringList{message});
        QVERIFY(!window.form->Command8->isEnabled());
        QCOMPARE(window.form->open->pixmap().cacheKey(), picture);
        QCOMPARE(window.enabledChangeButtons(), (QStringList{"chstart", "chshut", "choff"}));
        QCOMPARE(window.form->Label1->text(), window.drivePath("sky.bmp"));
    }
}

void Form1Test::viewSuccess_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("loaded");

    QTest::newRow("startup") << "vstart"
                             << "logo.sys"
                             << "C:\\logo.sys";
    QTest::newRow("shutdown") << "Vshut"
                              << "WINDOWS/logow.sys"
                              << "C:\\WINDOWS\\logow.sys";
    QTest::newRow("switch-off") << "Voff"
                                << "WINDOWS/logos.sys"
                                << "C:\\WINDOWS\\logos.sys";
}

void Form1Test::viewSuccess()
{
    QFETCH(QString, item);
    QFETCH(QString, installed);
    QFETCH(QString, loaded);

    Window window;
    window.drive.write(installed, bitmapBytes(320, 400, 90));
    window.activate(item);

    QVERIFY(window.host.messages.isEmpty());
    QCOMPARE(window.host.picturesLoaded, QStringList{loaded});
    QCOMPARE(window.form->open->pixmap().size(), QSize(320, 400));
    QCOMPARE(window.enabledChangeButtons(), QStringList{"Command8"});
    QCOMPARE(window.form->Label1->text(), kNoFile);

    // Edit bitmap still acts on Label1, not on the picture viewed.
    window.form->Command8->click();
    QCOMPARE(window.host.commandLines.size(), std::size_t(1));
    QCOMPARE(window.host.commandLines[0].line, "pbrush " + kNoFile);
}

void Form1Test::emptyWindowsDirectoryMeansBareNamesInTheCurrentDirectory()
{
    QTemporaryDir current;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(current.path()));
    {
        Window window({{QByteArray(), 0}});
        window.drive.makeInstallation();
        QCOMPARE(window.form->Label2->text(), QString());

        window.form->Command3->click();
        QVERIFY(window.host.messages.isEmpty());
        QCOMPARE(test::fileBytes(current.filePath("logow.sys")), QByteArray("stock-w"));

        QFile picture(current.filePath("logos.sys"));
        QVERIFY(picture.open(QIODevice::WriteOnly));
        picture.write(bitmapBytes(4, 4, 1));
        picture.close();
        window.form->Voff->trigger();
        QCOMPARE(window.host.picturesLoaded, QStringList{"logos.sys"});
        QVERIFY(!window.form->open->pixmap().isNull());
        QVERIFY(window.form->Command8->isEnabled());
        QVERIFY(window.host.messages.isEmpty());
    }
    QVERIFY(QDir::setCurrent(previous));
}

void Form1Test::commandLines_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("line");
    QTest::addColumn<WindowStyle>("style");

    QTest::newRow("Edit bitmap menu, no file")
        << "ebitmap"
        << ""
        << "pbrush No file selected. Please select a file." << WindowStyle::NormalWithFocus;
    QTest::newRow("Edit bitmap button, path with spaces")
        << "Command8"
        << "my pics/a b.bmp"
        << "pbrush <drive>/my pics/a b.bmp" << WindowStyle::NormalWithFocus;
    QTest::newRow("Edit bitmap menu, path with spaces")
        << "ebitmap"
        << "my pics/a b.bmp"
        << "pbrush <drive>/my pics/a b.bmp" << WindowStyle::NormalWithFocus;
    QTest::newRow("Help") << "Command4"
                          << ""
                          << "notepad.exe c:\\vantrel\\readme.txt" << WindowStyle::NormalWithFocus;
    QTest::newRow("View Readme") << "vread"
                                 << ""
                                 << "notepad.exe c:\\vantrel\\readme.txt"
                                 << WindowStyle::NormalWithFocus;
    QTest::newRow("web site") << "web"
                              << ""
                              << "start http://www.brontic.example"
                              << WindowStyle::MinimizedWithFocus;
    QTest::newRow("mail") << "mail"
                          << ""
                          << "start mailto:vantrel@brontic.example"
                          << WindowStyle::MinimizedWithFocus;
}

void Form1Test::commandLines()
{
    QFETCH(QString, command);
    QFETCH(QString, chosen);
    QFETCH(QString, line);
    QFETCH(WindowStyle, style);

    Window window;
    if (!chosen.isEmpty()) {
        window.drive.write(chosen, bitmapBytes(4, 4, 1));
        window.choose(window.drivePath(chosen));
    }
    window.activate(command);
    QCOMPARE(window.host.commandLines.size(), std::size_t(1));
    QCOMPARE(window.host.commandLines[0].line,
             QString(line).replace("<drive>", window.drive.root()));
    QCOMPARE(window.host.commandLines[0].style, style);
    QVERIFY(window.host.messages.isEmpty());
}

void Form1Test::programsThatCannotStart_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("message");

    const QString noPaint = QStringLiteral("Sorry mate I cannot find Paint!");
    const QString noEditor =
        QStringLiteral("Sorry, Vantrel cannot start a text editor to show the readme.");
    QTest::newRow("Edit bitmap button") << "Command8"
                                        << "pbrush" << noPaint;
    QTest::newRow("Edit bitmap menu") << "ebitmap"
                                      << "pbrush" << noPaint;
    QTest::newRow("Help") << "Command4"
                          << "notepad.exe" << noEditor;
    QTest::newRow("View Readme") << "vread"
                                 << "notepad.exe" << noEditor;
    QTest::newRow("web site") << "web"
                              << "start"
                              << "Sorry, Vantrel cannot open http://www.brontic.example";
    QTest::newRow("mail") << "mail"
                          << "start"
                          << "Sorry, Vantrel cannot open mailto:vantrel@brontic.example";
}

void Form1Test::programsThatCannotStart()
{
    QFETCH(QString, command);
    QFETCH(QString, program);
    QFETCH(QString, message);

    Window window;
    window.drive.write("sky.bmp", bitmapBytes(4, 4, 1));
    window.choose(window.drivePath("sky.bmp"));
    window.host.failingPrograms.insert(program);
    window.activate(command);

    QCOMPARE(window.host.messages, QStringList{message});
    QVERIFY(window.host.commandLines.empty());
    QCOMPARE(window.enabledChangeButtons(), kAllFour);
    QCOMPARE(window.form->Label1->text(), window.drivePath("sky.bmp"));
}

void Form1Test::endingTheProgram_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Exit button") << "Command6";
    QTest::newRow("File > Exit") << "Exit";
    QTest::newRow("close box") << "close";
}

void Form1Test::endingTheProgram()
{
    QFETCH(QString, how);

    Window window;
    window.form->show();
    window.host.dialogAnswers.push_back(std::nullopt);
    window.form->Op->click();
    QPointer<Form1> form = window.form;
    QPointer<OpenDlg> dialogHost = window.forms.find<OpenDlg>();
    QVERIFY(dialogHost);
    QSignalSpy ending(&window.forms, &Forms::programEnding);

    if (how == "close")
        QVERIFY(window.form->close());
    else
        window.activate(how);

    QCOMPARE(ending.size(), 1);
    QVERIFY(window.forms.programEnded());
    QCOMPARE(window.forms.loadedCount(), 0);
    QVERIFY(!window.forms.isLoaded<Form1>());
    QVERIFY(!window.forms.isLoaded<OpenDlg>());
    QVERIFY(!form->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(form.isNull());
    QVERIFY(dialogHost.isNull());
}

void Form1Test::keyboardPressesTheFocusedButton_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("dialogs");

    const QString logo = QStringLiteral("logo.sys=mine");
    const QString mineW = QStringLiteral("WINDOWS/logow.sys=mine-w");
    const QString mineS = QStringLiteral("WINDOWS/logos.sys=mine-s");
    // No focus set: the window's own first focus, Restore Startup.
    QTest::newRow("Enter as the window opens")
        << "" << int(Qt::Key_Return) << QStringList{mineS, mineW} << 1;
    QTest::newRow("keypad Enter on Restore Startup")
        << "Command2" << int(Qt::Key_Enter) << QStringList{mineS, mineW} << 1;
    QTest::newRow("Enter on Restore Shutdown")
        << "Command3" << int(Qt::Key_Return)
        << QStringList{mineS, "WINDOWS/logow.sys=stock-w", logo} << 1;
    QTest::newRow("Space on Restore Turn Off")
        << "Command5" << int(Qt::Key_Space) << QStringList{"WINDOWS/logos.sys=stock-s", mineW, logo}
        << 1;
    QTest::newRow("Enter on Change Turn Off")
        << "choff" << int(Qt::Key_Return) << QStringList{"WINDOWS/logos.sys=sky", mineW, logo} << 1;
    QTest::newRow("Enter on Restore All")
        << "Command7" << int(Qt::Key_Return)
        << QStringList{"WINDOWS/logos.sys=stock-s", "WINDOWS/logow.sys=stock-w"} << 1;
    QTest::newRow("Enter on Open File")
        << "Op" << int(Qt::Key_Return) << QStringList{mineS, mineW, logo} << 2;
    QTest::newRow("another key") << "Command2" << int(Qt::Key_A) << QStringList{mineS, mineW, logo}
                                 << 1;
}

void Form1Test::keyboardPressesTheFocusedButton()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(QStringList, files);
    QFETCH(int, dialogs);

    Window window;
    window.drive.makeInstallation();
    window.drive.write("logo.sys", "mine");
    window.drive.write("WINDOWS/logow.sys", "mine-w");
    window.drive.write("WINDOWS/logos.sys", "mine-s");
    window.drive.write("sky.bmp", "sky");
    window.choose(window.drivePath("sky.bmp"));
    window.form->show();
    QVERIFY(QTest::qWaitForWindowActive(window.form));
    if (!focus.isEmpty())
        window.form->findChild<QWidget *>(focus)->setFocus();
    QWidget *focused = window.form->focusWidget();
    QVERIFY(focused != nullptr);
    QCOMPARE(focused->objectName(), focus.isEmpty() ? QStringLiteral("Command2") : focus);
    // The Open File dialog, should it open, is cancelled.
    window.host.dialogAnswers.push_back(std::nullopt);

    QTest::keyClick(focused, Qt::Key(key));

    QStringList present;
    for (const char *name : {"logo.sys", "WINDOWS/logow.sys", "WINDOWS/logos.sys"}) {
        if (window.drive.exists(QLatin1String(name)))
            present << QLatin1String(name) + '=' + QString::fromLatin1(window.drive.read(name));
    }
    present.sort();
    files.sort();
    QCOMPARE(present, files);
    QCOMPARE(int(window.host.dialogsShown.size()), dialogs);
    QVERIFY(window.host.messages.isEmpty());
}

VANTREL_QT_TEST(Form1Test)
#include "form1_test.moc"
