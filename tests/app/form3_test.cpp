// The splash through the test host, whose clock the test advances: its
// look, its pictures as the window shows them, the five seconds before the
// main window comes, and that nothing the user does to it has any effect.

#include "app/form3.h"
#include "art/program_icon.h"
#include "art/splash_art.h"
#include "logo/form1.h"
#include "support/fake_host.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "ui/forms.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>

using namespace vantrel;
using vantrel::test::FakeHost;
using vantrel::test::TempDrive;

namespace {

// The program as it starts: the splash, loaded and shown, on a fresh drive,
// or on one that could not be made.
struct Start {
    explicit Start(bool driveFails = false) : forms(host)
    {
        startProgram(forms, [driveFails] {
            if (driveFails)
                throw HostError(QStringLiteral("no room"));
        });
        splash = forms.find<Form3>();
    }

    // True when exactly the named windows are loaded; the splash counts as
    // shown only while it is visible.
    bool only(bool wantSplash, bool wantMain) const
    {
        const int expected = int(wantSplash) + int(wantMain);
        const Form1 *main = forms.find<Form1>();
        return forms.isLoaded<Form3>() == wantSplash && (main != nullptr) == wantMain &&
               forms.loadedCount() == expected && (!wantMain || main->isVisible()) &&
               (splash && splash->isVisible()) == wantSplash;
    }

    TempDrive drive;
    FakeHost host;
    ProgramForms forms;
    QPointer<Form3> splash;
};

const QRgb kGrey = qRgb(0xC0, 0xC0, 0xC0);

} // namespace

class Form3Test : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowFrame();
    void controls_data();
    void controls();
    void stackingOrder();
    void label1();
    void thePictureCoversTheWindowAndTheBadgeLiesOverItsShadow();

    void mainWindowComesAtFiveSeconds_data();
    void mainWindowComesAtFiveSeconds();
    void theTimerRunsOnce();
    void inputDoesNothing_data();
    void inputDoesNothing();
};

void Form3Test::windowFrame()
{
    Start start;
    Form3 &splash = *start.splash;
    QCOMPARE(splash.objectName(), QStringLiteral("Form3"));
    QCOMPARE(splash.windowTitle(), QStringLiteral("Vantrel 95"));
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(splash.size(), QSize(399, 271));
    QCOMPARE(splash.minimumSize(), splash.maximumSize());
    QCOMPARE(splash.pos(), QPoint(212, 142));
    QCOMPARE(splash.palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    QVERIFY(splash.autoFillBackground());
    const QImage icon = splash.windowIcon().pixmap(32, 32).toImage();
    QCOMPARE(icon.convertToFormat(QImage::Format_ARGB32),
             programIconImage(32).convertToFormat(QImage::Format_ARGB32));
    QVERIFY(splash.windowIcon().availableSizes().contains(QSize(16, 16)));
}

void Form3Test::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QImage>("picture");

    QTest::newRow("Image3, the badge") << "Image3" << QRect(273, 134, 75, 28) << badgePicture();
    QTest::newRow("Image2, its shadow")
        << "Image2" << QRect(277, 138, 75, 28) << badgeShadowPicture();
    QTest::newRow("Label1") << "Label1" << QRect(56, 24, 297, 57) << QImage();
    QTest::newRow("Image1, the start-up picture")
        << "Image1" << QRect(-1, -1, 401, 273) << splashPicture();
}

void Form3Test::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QImage, picture);

    Start start;
    auto *control = start.splash->findChild<QLabel *>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(control->parentWidget(), start.splash);
    QCOMPARE(control->geometry(), geometry);
    QVERIFY(control->isVisibleTo(start.splash));
    if (picture.isNull()) {
        QVERIFY(control->pixmap().isNull());
        return;
    }
    QVERIFY(control->hasScaledContents());
    QCOMPARE(control->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
             picture.convertToFormat(QImage::Format_RGB32));
}

void Form3Test::stackingOrder()
{
    Start start;
    QStringList bottomUp;
    for (QObject *child : start.splash->children()) {
        if (auto *widget = qobject_cast<QWidget *>(child))
            bottomUp << widget->objectName();
    }
    QCOMPARE(bottomUp, (QStringList{"Image1", "Label1", "Image2", "Image3"}));
    QCOMPARE(start.splash->childAt(300, 150), start.splash->Image3);
    QCOMPARE(start.splash->childAt(350, 164), start.splash->Image2);
    QCOMPARE(start.splash->childAt(60, 30), start.splash->Label1);
    QCOMPARE(start.splash->childAt(0, 0), start.splash->Image1);
}

void Form3Test::label1()
{
    Start start;
    const QLabel &label = *start.splash->Label1;
    QCOMPARE(label.text(),
             QStringLiteral("Brontic Vantrel for Windows 95, written by Brontic in 1996"));
    QCOMPARE(label.textFormat(), Qt::PlainText);
    QCOMPARE(label.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(label.font().pointSizeF(), 12.0);
    QVERIFY(label.font().bold());
    QVERIFY(!label.font().italic());
    QCOMPARE(label.frameShape(), QFrame::NoFrame);
    QVERIFY(label.autoFillBackground());
    QCOMPARE(label.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(label.palette().color(QPalette::WindowText), QColor(Qt::black));
}

void Form3Test::thePictureCoversTheWindowAndTheBadgeLiesOverItsShadow()
{
    Start start;
    const QImage window = start.splash->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(window.size(), QSize(399, 271));

    // No grey background shows at the corners.
    for (const QPoint corner : {QPoint(0, 0), QPoint(398, 0), QPoint(0, 270), QPoint(398, 270)})
        QVERIFY2(window.pixel(corner) != kGrey,
                 qPrintable(QStringLiteral("%1, %2").arg(corner.x()).arg(corner.y())));

    // The badge, pixel for pixel, at 273, 134.
    const QImage badge = badgePicture().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < 28; ++y) {
        for (int x = 0; x < 75; ++x)
            QCOMPARE(window.pixel(273 + x, 134 + y), badge.pixel(x, y));
    }
    // Its shadow shows four pixels to the right and below it, and nowhere
    // above or to the left.
    const QRgb shadow = qRgb(132, 132, 132);
    for (int y = 138; y < 166; ++y) {
        for (int x = 348; x < 352; ++x)
            QCOMPARE(window.pixel(x, y), shadow);
    }
    for (int x = 277; x < 352; ++x) {
        for (int y = 162; y < 166; ++y)
            QCOMPARE(window.pixel(x, y), shadow);
    }
    for (int x = 348; x < 352; ++x)
        QVERIFY(window.pixel(x, 137) != shadow);
    for (int y = 162; y < 166; ++y)
        QVERIFY(window.pixel(276, y) != shadow);
}

void Form3Test::mainWindowComesAtFiveSeconds_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<bool>("mainWindow");
    QTest::addColumn<bool>("driveFails");

    QTest::newRow("at start") << 0 << false << false;
    QTest::newRow("after 1 s") << 1000 << false << false;
    QTest::newRow("1 ms early") << 4999 << false << false;
    QTest::newRow("at 5000 ms") << 5000 << true << false;
    QTest::newRow("later") << 7000 << true << false;
    QTest::newRow("much later") << 60000 << true << false;
    // The failure waits for the main window, so as to stand in front of it.
    QTest::newRow("no drive, 1 ms early") << 4999 << false << true;
    QTest::newRow("no drive, at 5000 ms") << 5000 << true << true;
}

void Form3Test::mainWindowComesAtFiveSeconds()
{
    QFETCH(int, ms);
    QFETCH(bool, mainWindow);
    QFETCH(bool, driveFails);

    Start start(driveFails);
    QVERIFY(start.only(true, false));
    start.host.advance(ms);
    QVERIFY(start.only(!mainWindow, mainWindow));
    QCOMPARE(start.host.messages,
             mainWindow && driveFails
                 ? QStringList{QStringLiteral("Vantrel could not set up its drive C: no room")}
                 : QStringList{});
    if (mainWindow) {
        // Loaded the way the program loads it: Form_Load has run.
        QCOMPARE(start.forms.find<Form1>()->Label2->text(), QStringLiteral("C:\\WINDOWS\\"));
    }
}

void Form3Test::theTimerRunsOnce()
{
    Start start;
    QCOMPARE(start.host.runningTimers(), 1);
    start.host.advance(5000);
    QCOMPARE(start.host.runningTimers(), 0);
    QPointer<Form1> main = start.forms.find<Form1>();
    QVERIFY(main);
    // Should the old splash tick again, it would bring the main window back
    // after the user closed it.
    start.forms.unload(*main);
    start.host.advance(20000);
    QVERIFY(!start.forms.isLoaded<Form1>());
}

void Form3Test::inputDoesNothing_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("input");

    QTest::newRow("click the picture") << "Image1"
                                       << "click";
    QTest::newRow("double-click the picture") << "Image1"
                                              << "double-click";
    QTest::newRow("click the label") << "Label1"
                                     << "click";
    QTest::newRow("click the badge") << "Image3"
                                     << "click";
    QTest::newRow("right-click the badge") << "Image3"
                                           << "right-click";
    QTest::newRow("Return") << ""
                            << "Return";
    QTest::newRow("Escape") << ""
                            << "Escape";
    QTest::newRow("Space") << ""
                           << "Space";
    QTest::newRow("F1") << ""
                        << "F1";
    QTest::newRow("close request (Alt+F4)") << ""
                                            << "close";
}

void Form3Test::inputDoesNothing()
{
    QFETCH(QString, control);
    QFETCH(QString, input);

    Start start;
    Form3 &splash = *start.splash;
    QApplication::setActiveWindow(&splash);
    QWidget *target = control.isEmpty() ? &splash : splash.findChild<QWidget *>(control);
    QVERIFY(target != nullptr);
    const QPoint middle = target->rect().center();
    if (input == "click")
        QTest::mouseClick(target, Qt::LeftButton, {}, middle);
    else if (input == "double-click")
        QTest::mouseDClick(target, Qt::LeftButton, {}, middle);
    else if (input == "right-click")
        QTest::mouseClick(target, Qt::RightButton, {}, middle);
    else if (input == "Return")
        QTest::keyClick(target, Qt::Key_Return);
    else if (input == "Escape")
        QTest::keyClick(target, Qt::Key_Escape);
    else if (input == "Space")
        QTest::keyClick(target, Qt::Key_Space);
    else if (input == "F1")
        QTest::keyClick(target, Qt::Key_F1);
    else if (input == "close")
        QVERIFY(!splash.close());
    QCoreApplication::processEvents();

    QVERIFY(start.only(true, false));
    QVERIFY(start.host.messages.isEmpty());
    QVERIFY(start.host.commandLines.empty());
    QCOMPARE(start.host.beeps, 0);
    QCOMPARE(start.host.runningTimers(), 1);
    // And the five seconds are still five seconds.
    start.host.advance(4999);
    QVERIFY(start.only(true, false));
    start.host.advance(1);
    QVERIFY(start.only(false, true));
}

VANTREL_QT_TEST(Form3Test)
#include "form3_test.moc"
