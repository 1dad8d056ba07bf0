// The credits box through the test host: its look, its controls in tab
// order, the links and what they run, and that it comes once and goes
// alone.

#include "app/info.h"
#include "art/program_icon.h"
#include "art/splash_art.h"
#include "logo/form1.h"
#include "support/fake_host.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "ui/forms.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace vantrel;
using vantrel::test::FakeHost;
using vantrel::test::TempDrive;

namespace {

// Stands for the animation maker: another window that OK must not touch.
class OtherWindow : public Form {
public:
    explicit OtherWindow(const FormContext &context) : Form(context) {}
};

// The main window with the credits box to be opened from it.
struct Session {
    Session() : forms(host)
    {
        main = &forms.show<Form1>();
        QApplication::setActiveWindow(main);
    }

    info &about()
    {
        main->Command1->click();
        info *box = forms.find<info>();
        if (box == nullptr)
            throw std::logic_error("About showed no credits box");
        return *box;
    }

    // How many credits boxes exist, shown or not, until the event loop
    // deletes the unloaded ones.
    static int boxesShown()
    {
        int shown = 0;
        for (QWidget *window : QApplication::topLevelWidgets())
            shown += qobject_cast<info *>(window) != nullptr && window->isVisible();
        return shown;
    }

    TempDrive drive;
    FakeHost host;
    ProgramForms forms;
    Form1 *main = nullptr;
};

void clickLabel(QLabel *label, Qt::MouseButton button)
{
    QTest::mouseClick(label, button, {}, QPoint(3, label->height() / 2));
}

} // namespace

class InfoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowFrame();
    void controls_data();
    void controls();
    void tabOrderAndFocusOnOk();
    void theBackgroundPictureLiesUnscaledAtTheTopLeft();

    void aboutTwiceGivesOneBox_data();
    void aboutTwiceGivesOneBox();
    void linksRunTheirCommandOncePerClick_data();
    void linksRunTheirCommandOncePerClick();
    void aLinkThatCannotStartSaysSoLikeTheMainWindow_data();
    void aLinkThatCannotStartSaysSoLikeTheMainWindow();
    void closingUnloadsOnlyTheBox_data();
    void closingUnloadsOnlyTheBox();
};

void InfoTest::windowFrame()
{
    Session session;
    info &box = session.about();
    QCOMPARE(box.objectName(), QStringLiteral("info"));
    QCOMPARE(box.windowTitle(), QStringLiteral("Information..."));
    QCOMPARE(box.size(), QSize(249, 255));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    QCOMPARE(box.pos(), QPoint(290, 161));
    QVERIFY(!(box.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(box.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(box.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!box.isModal());
    QCOMPARE(box.palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    QCOMPARE(box.font().pointSizeF(), 8.25);
    QVERIFY(box.font().bold());
    // The same icon as the main window's.
    for (QWidget *window : {static_cast<QWidget *>(&box), static_cast<QWidget *>(session.main)}) {
        QCOMPARE(
            window->windowIcon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32),
            programIconImage(16).convertToFormat(QImage::Format_ARGB32));
    }
}

void InfoTest::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("underlined");
    QTest::addColumn<QColor>("colour");

    const QColor black(Qt::black);
    const QColor blue(0, 0, 255);
    QTest::newRow("Command1") << "Command1"
                              << "info"
                              << "OK" << QRect(160, 88, 81, 25) << 8.25 << false << black;
    QTest::newRow("Label1") << "Label1"
                            << "info"
                            << "Version 3.0.32" << QRect(56, 64, 137, 17) << 9.75 << false << black;
    QTest::newRow("Label2") << "Label2"
                            << "info"
                            << "email:" << QRect(48, 128, 41, 17) << 8.25 << false << black;
    QTest::newRow("Label3") << "Label3"
                            << "info"
                            << "vantrel@brontic.example" << QRect(88, 128, 121, 17) << 8.25 << true
                            << blue;
    QTest::newRow("Label4") << "Label4"
                            << "info"
                            << "WWW:" << QRect(8, 144, 41, 17) << 8.25 << false << black;
    QTest::newRow("Label5") << "Label5"
                            << "info"
                            << "www.brontic.example" << QRect(56, 144, 185, 17) << 8.25 << true
                            << blue;
    QTest::newRow("Credits") << "Credits"
                             << "info"
                             << "Credits" << QRect(8, 160, 233, 89) << 8.25 << false << black;
    QTest::newRow("Label6")
        << "Label6"
        << "Credits"
        << "The Animation Maker holds code written for the \"Vog Animation Utility\" by Vog "
           "Computer Applications (vog@vog.example); much of that code remains in this version."
        << QRect(8, 16, 217, 65) << 8.25 << false << black;
}

void InfoTest::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(qreal, points);
    QFETCH(bool, underlined);
    QFETCH(QColor, colour);

    Session session;
    info &box = session.about();
    auto *control = box.findChild<QWidget *>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(control->parentWidget()->objectName(), parent);
    QVERIFY(control->isVisibleTo(&box));
    QCOMPARE(control->font().pointSizeF(), points);
    // The box's bold default font: no control names another weight.
    QVERIFY(control->font().bold());
    QCOMPARE(control->font().underline(), underlined);

    if (auto *button = qobject_cast<QPushButton *>(control)) {
        QCOMPARE(button->geometry(), geometry);
        QCOMPARE(button->text(), caption);
        QVERIFY(button->styleSheet().contains("background-color: white"));
    } else if (auto *frame = qobject_cast<QGroupBox *>(control)) {
        QCOMPARE(frame->geometry(), geometry);
        QCOMPARE(frame->title(), caption);
    } else if (auto *label = qobject_cast<QLabel *>(control)) {
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->palette().color(QPalette::WindowText), colour);
        if (underlined) {
            // An address keeps its place and grows to the right when this
            // machine's face sets it wider than designed, but never beyond
            // the box.
            QCOMPARE(label->pos(), geometry.topLeft());
            QCOMPARE(label->height(), geometry.height());
            QVERIFY(label->width() >= geometry.width());
            QVERIFY(label->geometry().right() < box.width());
            QVERIFY(label->fontMetrics().horizontalAdvance(caption) <= label->width());
        } else {
            QCOMPARE(label->geometry(), geometry);
        }
        if (name == "Label1") {
            QVERIFY(label->autoFillBackground());
            QCOMPARE(label->palette().color(QPalette::Window), QColor(Qt::white));
        }
        if (name == "Label1" || name == "Label6")
            QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    } else {
        QFAIL("unexpected kind of control");
    }
}

void InfoTest::tabOrderAndFocusOnOk()
{
    Session session;
    info &box = session.about();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QCOMPARE(QApplication::focusWidget(), box.Command1);

    QStringList chain;
    QWidget *widget = box.Command1;
    for (int i = 0; i < 8; ++i) {
        chain << widget->objectName();
        widget = widget->nextInFocusChain();
    }
    QCOMPARE(chain, (QStringList{"Command1", "Label1", "Label2", "Label3", "Label4", "Label5",
                                 "Credits", "Label6"}));
    // OK is the only control that takes the focus, so Tab stays on it.
    QTest::keyClick(box.Command1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), box.Command1);
}

void InfoTest::theBackgroundPictureLiesUnscaledAtTheTopLeft()
{
    Session session;
    info &box = session.about();
    QCOMPARE(box.picture().size(), QSize(252, 127));
    const QImage picture = creditsPicture().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(box.picture().toImage().convertToFormat(QImage::Format_RGB32), picture);

    const QImage window = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    // Away from the controls: the picture's own pixels, up to its last
    // visible column; below it the grey background.
    for (const QPoint at : {QPoint(0, 0), QPoint(20, 30), QPoint(248, 0), QPoint(248, 126),
                            QPoint(5, 126), QPoint(100, 60)})
        QCOMPARE(window.pixel(at), picture.pixel(at));
    QCOMPARE(window.pixel(5, 127), qRgb(0xC0, 0xC0, 0xC0));
    QCOMPARE(window.pixel(248, 127), qRgb(0xC0, 0xC0, 0xC0));
}

void InfoTest::aboutTwiceGivesOneBox_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");

    QTest::newRow("About button twice") << "Command1"
                                        << "Command1";
    QTest::newRow("Help > About twice") << "about"
                                        << "about";
    QTest::newRow("button, then F1") << "Command1"
                                     << "F1";
}

void InfoTest::aboutTwiceGivesOneBox()
{
    QFETCH(QString, first);
    QFETCH(QString, second);

    Session session;
    session.main->show();
    QVERIFY(QTest::qWaitForWindowActive(session.main));
    const auto use = [&](const QString &how) {
        if (how == "Command1")
            session.main->Command1->click();
        else if (how == "about")
            session.main->about->trigger();
        else
            QTest::keyClick(session.main, Qt::Key_F1);
    };

    use(first);
    QPointer<info> box = session.forms.find<info>();
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QVERIFY(QTest::qWaitForWindowActive(box));
    // The main window stays usable, and About brings the one box forward.
    QApplication::setActiveWindow(session.main);
    QVERIFY(QTest::qWaitForWindowActive(session.main));
    use(second);
    QCOMPARE(session.forms.find<info>(), box.data());
    QVERIFY(QTest::qWaitForWindowActive(box));
    QCOMPARE(Session::boxesShown(), 1);
    QCOMPARE(session.forms.loadedCount(), 2);
    QVERIFY(session.main->isVisible());
}

void InfoTest::linksRunTheirCommandOncePerClick_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("mainWindowItem");
    QTest::addColumn<QString>("scheme");

    QTest::newRow("e-mail") << "Label3"
                            << "mail"
                            << "start mailto:";
    QTest::newRow("web page") << "Label5"
                              << "web"
                              << "start http://";
}

void InfoTest::linksRunTheirCommandOncePerClick()
{
    QFETCH(QString, link);
    QFETCH(QString, mainWindowItem);
    QFETCH(QString, scheme);

    Session session;
    // The command line the main window's own item runs for the same
    // address.
    session.main->findChild<QAction *>(mainWindowItem)->trigger();
    QCOMPARE(session.host.commandLines.size(), std::size_t(1));
    const QString expected = session.host.commandLines[0].line;
    session.host.commandLines.clear();

    info &box = session.about();
    auto *label = box.findChild<QLabel *>(link);
    // The scheme directly followed by the address the label shows.
    QVERIFY2(expected.startsWith(scheme + label->text()), qPrintable(expected));

    clickLabel(label, Qt::LeftButton);
    QCOMPARE(session.host.commandLines.size(), std::size_t(1));
    clickLabel(label, Qt::RightButton);
    QCOMPARE(session.host.commandLines.size(), std::size_t(1));
    clickLabel(label, Qt::LeftButton);
    QCOMPARE(session.host.commandLines.size(), std::size_t(2));
    for (const FakeHost::CommandLine &run : session.host.commandLines) {
        QCOMPARE(run.line, expected);
        QCOMPARE(run.style, WindowStyle::MinimizedWithFocus);
    }
    QVERIFY(session.host.messages.isEmpty());
    QVERIFY(session.forms.isLoaded<info>());
    QVERIFY(box.isVisible());
}

void InfoTest::aLinkThatCannotStartSaysSoLikeTheMainWindow_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("mainWindowItem");
    QTest::addColumn<QString>("address");

    QTest::newRow("e-mail") << "Label3"
                            << "mail"
                            << "mailto:vantrel@brontic.example";
    QTest::newRow("web page") << "Label5"
                              << "web"
                              << "http://www.brontic.example";
}

void InfoTest::aLinkThatCannotStartSaysSoLikeTheMainWindow()
{
    QFETCH(QString, link);
    QFETCH(QString, mainWindowItem);
    QFETCH(QString, address);

    Session session;
    session.host.failingPrograms.insert("start");
    session.main->findChild<QAction *>(mainWindowItem)->trigger();
    QCOMPARE(session.host.messages.size(), 1);
    const QString expected = session.host.messages.takeFirst();
    QVERIFY2(expected.startsWith("Sorry, Vantrel cannot open " + address), qPrintable(expected));

    info &box = session.about();
    clickLabel(box.findChild<QLabel *>(link), Qt::LeftButton);
    QCOMPARE(session.host.messages, QStringList{expected});
    QVERIFY(session.host.commandLines.empty());
    QVERIFY(session.forms.isLoaded<info>());
}

void InfoTest::closingUnloadsOnlyTheBox_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("OK clicked") << "click";
    QTest::newRow("Enter on OK") << "Return";
    QTest::newRow("Space on OK") << "Space";
    QTest::newRow("close box") << "close";
}

void InfoTest::closingUnloadsOnlyTheBox()
{
    QFETCH(QString, how);

    Session session;
    OtherWindow &other = session.forms.show<OtherWindow>();
    QPointer<info> box = &session.about();
    QVERIFY(QTest::qWaitForWindowActive(box));
    if (how == "click")
        QTest::mouseClick(box->Command1, Qt::LeftButton);
    else if (how == "Return")
        QTest::keyClick(box->Command1, Qt::Key_Return);
    else if (how == "Space")
        QTest::keyClick(box->Command1, Qt::Key_Space);
    else
        QVERIFY(box->close());

    QVERIFY(!session.forms.isLoaded<info>());
    QVERIFY(!box->isVisible());
    QVERIFY(session.forms.isLoaded<Form1>());
    QVERIFY(session.main->isVisible());
    QVERIFY(session.forms.isLoaded<OtherWindow>());
    QVERIFY(other.isVisible());
    QVERIFY(!session.forms.programEnded());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(box.isNull());

    // About again opens a fresh box, with the focus on OK once more.
    info &again = session.about();
    QVERIFY(QTest::qWaitForWindowActive(&again));
    QCOMPARE(QApplication::focusWidget(), again.Command1);
}

VANTREL_QT_TEST(InfoTest)
#include "info_test.moc"
