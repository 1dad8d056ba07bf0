// The window toolkit where the windows' own tests do not reach: the frames
// they do not tell apart, a caption that wraps, and a window placed and
// beeping through a host that has neither a screen nor a sound, and which
// drags carry one local file.

#include "support/fake_host.h"
#include "support/qt_test.h"
#include "ui/controls.h"
#include "ui/forms.h"
#include "ui/window_placement.h"

#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QUrl>

using namespace vantrel;
using vantrel::test::FakeHost;

namespace {

class MuteHost : public FakeHost {
public:
    QSize screenSizeTwips() override { throw HostError(QStringLiteral("no screen")); }
    void beep() override { throw HostError(QStringLiteral("no sound")); }
};

class Beeper : public Form {
public:
    using Form::beep;
    using Form::Form;
};

} // namespace

class ControlsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eachFrameHasItsTitleBarBoxes_data();
    void eachFrameHasItsTitleBarBoxes();
    void aWrappedLabelWrapsFromTheTop();
    void withoutScreenOrSoundAWindowStaysWhereItIsAndSilent();
    void droppedLocalFileIsTheOneLocalFile_data();
    void droppedLocalFileIsTheOneLocalFile();
};

void ControlsTest::eachFrameHasItsTitleBarBoxes_data()
{
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("titleBar");
    QTest::addColumn<bool>("minimise");

    QTest::newRow("fixed dialog") << int(WindowFrame::FixedDialog) << int(Qt::Window) << true
                                  << false;
    QTest::newRow("fixed single") << int(WindowFrame::FixedSingle) << int(Qt::Window) << true
                                  << true;
    QTest::newRow("fixed tool") << int(WindowFrame::FixedTool) << int(Qt::Tool) << true << false;
    QTest::newRow("borderless") << int(WindowFrame::Borderless) << int(Qt::Window) << false
                                << false;
}

void ControlsTest::eachFrameHasItsTitleBarBoxes()
{
    QFETCH(int, frame);
    QFETCH(int, type);
    QFETCH(bool, titleBar);
    QFETCH(bool, minimise);

    QWidget window;
    setWindowFrame(window, WindowFrame(frame));
    const Qt::WindowFlags flags = window.windowFlags();
    QCOMPARE(int(flags & Qt::WindowType_Mask), type);
    QCOMPARE(bool(flags & Qt::FramelessWindowHint), !titleBar);
    QCOMPARE(bool(flags & Qt::WindowCloseButtonHint), titleBar);
    QCOMPARE(bool(flags & Qt::MSWindowsFixedSizeDialogHint), titleBar);
    QCOMPARE(bool(flags & Qt::WindowMinimizeButtonHint), minimise);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
}

void ControlsTest::aWrappedLabelWrapsFromTheTop()
{
    QWidget window;
    QLabel *label = makeWrappedLabel(&window, "Label9", QStringLiteral("<b>Starting Entry"),
                                     TwipRect{150, 300, 735, 495}, Qt::AlignRight);
    QCOMPARE(label->objectName(), QStringLiteral("Label9"));
    QCOMPARE(label->geometry(), QRect(10, 20, 49, 33));
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(label->alignment(), Qt::AlignRight | Qt::AlignTop);
    QVERIFY(label->wordWrap());
}

void ControlsTest::withoutScreenOrSoundAWindowStaysWhereItIsAndSilent()
{
    MuteHost host;
    Forms forms(host);
    Beeper &window = forms.load<Beeper>();
    window.move(7, 9);
    placeOnScreen(window, host, [](QSize, QSize) { return QPointF(1500, 1500); });
    QCOMPARE(window.pos(), QPoint(7, 9));
    window.beep();
}

void ControlsTest::droppedLocalFileIsTheOneLocalFile_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<QString>("file");

    QTest::newRow("one local file") << QStringList{"file:///tmp/a b.png"} << "/tmp/a b.png";
    QTest::newRow("two files") << QStringList{"file:///tmp/a.png", "file:///tmp/b.png"} << "";
    QTest::newRow("a web address") << QStringList{"https://example.org/a.png"} << "";
    QTest::newRow("nothing") << QStringList{} << "";
}

void ControlsTest::droppedLocalFileIsTheOneLocalFile()
{
    QFETCH(QStringList, urls);
    QFETCH(QString, file);
    QMimeData data;
    data.setUrls(QUrl::fromStringList(urls));
    QCOMPARE(droppedLocalFile(data), file);
}

VANTREL_QT_TEST(ControlsTest)
#include "controls_test.moc"
