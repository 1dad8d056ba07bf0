// The window life cycle: load, show, bring to front, unload, end.

#include "support/fake_host.h"
#include "support/qt_test.h"
#include "ui/forms.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <stdexcept>

using namespace vantrel;
using vantrel::test::FakeHost;

namespace {

// Counts how often any window of its kind was loaded.
class Counted : public Form {
public:
    explicit Counted(const FormContext &context) : Form(context) {}
    void Form_Load() override { ++loads; }
    static inline int loads = 0;
};

class Other : public Form {
public:
    explicit Other(const FormContext &context) : Form(context) {}
};

class FailsToLoad : public Form {
public:
    explicit FailsToLoad(const FormContext &context) : Form(context) {}
    void Form_Load() override { throw HostError(QStringLiteral("no")); }
};

// Unloads itself from inside its own event handling, as an OK button does.
class UnloadsItself : public Form {
public:
    explicit UnloadsItself(const FormContext &context) : Form(context) {}
    void ok() { forms().unload(*this); }
};

// A text box, a check box and two buttons, Run being the default.
class Keyboard : public Form {
public:
    explicit Keyboard(const FormContext &context) : Form(context)
    {
        text = new QLineEdit(this);
        text->setObjectName("text");
        check = new QCheckBox(this);
        check->setObjectName("check");
        run = new QPushButton(QStringLiteral("Run"), this);
        run->setObjectName("run");
        other = new QPushButton(QStringLiteral("Other"), this);
        other->setObjectName("other");
        for (QPushButton *button : {run, other}) {
            connect(button, &QPushButton::clicked, this,
                    [this, button] { pressed << button->objectName(); });
        }
        setDefaultButton(run);
    }
    QLineEdit *text;
    QCheckBox *check;
    QPushButton *run;
    QPushButton *other;
    QStringList pressed;
};

} // namespace

class FormsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { Counted::loads = 0; }
    void loadRunsFormLoadOnceAndKeepsOneWindow();
    void showShowsTheLoadedWindowModelessly();
    void unloadDestroysAndTheNextLoadStartsAfresh();
    void aWindowMayUnloadItselfFromItsHandler();
    void closeBoxUnloadsByDefault();
    void aFailingLoadLeavesNothingLoaded();
    void endProgramUnloadsHiddenWindowsToo();
    void enterPressesTheFocusedOrTheDefaultButton_data();
    void enterPressesTheFocusedOrTheDefaultButton();
};

void FormsTest::loadRunsFormLoadOnceAndKeepsOneWindow()
{
    FakeHost host;
    Forms forms(host);
    QVERIFY(!forms.isLoaded<Counted>());
    Counted &first = forms.load<Counted>();
    Counted &again = forms.load<Counted>();
    QCOMPARE(&again, &first);
    QCOMPARE(Counted::loads, 1);
    QVERIFY(!first.isVisible());
    QVERIFY(forms.isLoaded<Counted>());
    QVERIFY(!forms.isLoaded<Other>());
    QCOMPARE(forms.find<Counted>(), &first);
    QCOMPARE(forms.loadedCount(), 1);
}

void FormsTest::showShowsTheLoadedWindowModelessly()
{
    FakeHost host;
    Forms forms(host);
    Counted &loaded = forms.load<Counted>();
    Counted &shown = forms.show<Counted>();
    QCOMPARE(&shown, &loaded);
    QVERIFY(shown.isVisible());
    QVERIFY(!shown.isModal());
    Other &other = forms.show<Other>();
    // Showing a minimised window brings it back.
    loaded.showMinimized();
    QCOMPARE(&forms.show<Counted>(), &loaded);
    QVERIFY(!loaded.isMinimized());
    QVERIFY(other.isVisible());
    QCOMPARE(Counted::loads, 1);
    QCOMPARE(forms.loadedCount(), 2);
}

void FormsTest::unloadDestroysAndTheNextLoadStartsAfresh()
{
    FakeHost host;
    Forms forms(host);
    QPointer<Counted> first = &forms.show<Counted>();
    forms.unload(*first);
    QVERIFY(!forms.isLoaded<Counted>());
    QVERIFY(!first->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());

    forms.load<Counted>();
    QCOMPARE(Counted::loads, 2);
    QVERIFY(forms.isLoaded<Counted>());
}

void FormsTest::aWindowMayUnloadItselfFromItsHandler()
{
    FakeHost host;
    Forms forms(host);
    QPointer<UnloadsItself> window = &forms.show<UnloadsItself>();
    QTimer::singleShot(0, window.data(), &UnloadsItself::ok);
    QTRY_VERIFY(window.isNull());
    QVERIFY(!forms.isLoaded<UnloadsItself>());
}

void FormsTest::closeBoxUnloadsByDefault()
{
    FakeHost host;
    Forms forms(host);
    QPointer<Counted> window = &forms.show<Counted>();
    forms.show<Other>();
    QVERIFY(window->close());
    QVERIFY(!forms.isLoaded<Counted>());
    QVERIFY(forms.isLoaded<Other>());
    QVERIFY(!forms.programEnded());
}

void FormsTest::aFailingLoadLeavesNothingLoaded()
{
    FakeHost host;
    Forms forms(host);
    QVERIFY_THROWS_EXCEPTION(HostError, forms.load<FailsToLoad>());
    QVERIFY(!forms.isLoaded<FailsToLoad>());
    QCOMPARE(forms.loadedCount(), 0);
}

void FormsTest::endProgramUnloadsHiddenWindowsToo()
{
    FakeHost host;
    Forms forms(host);
    QPointer<Counted> shown = &forms.show<Counted>();
    QPointer<Other> hidden = &forms.load<Other>();
    QSignalSpy ending(&forms, &Forms::programEnding);
    forms.endProgram();

    QCOMPARE(ending.size(), 1);
    QVERIFY(forms.programEnded());
    QCOMPARE(forms.loadedCount(), 0);
    QVERIFY(!shown->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(shown.isNull());
    QVERIFY(hidden.isNull());
}

void FormsTest::enterPressesTheFocusedOrTheDefaultButton_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("runEnabled");
    QTest::addColumn<QStringList>("pressed");

    QTest::newRow("Enter in the text box")
        << "text" << int(Qt::Key_Return) << true << QStringList{"run"};
    QTest::newRow("keypad Enter") << "text" << int(Qt::Key_Enter) << true << QStringList{"run"};
    QTest::newRow("Enter on the check box")
        << "check" << int(Qt::Key_Return) << true << QStringList{"run"};
    QTest::newRow("Enter on the other button")
        << "other" << int(Qt::Key_Return) << true << QStringList{"other"};
    QTest::newRow("Space on the other button")
        << "other" << int(Qt::Key_Space) << true << QStringList{"other"};
    QTest::newRow("Enter on the default itself")
        << "run" << int(Qt::Key_Return) << true << QStringList{"run"};
    QTest::newRow("default disabled") << "text" << int(Qt::Key_Return) << false << QStringList{};
    QTest::newRow("another key") << "text" << int(Qt::Key_A) << true << QStringList{};
}

void FormsTest::enterPressesTheFocusedOrTheDefaultButton()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, runEnabled);
    QFETCH(QStringList, pressed);

    FakeHost host;
    Forms forms(host);
    Keyboard &window = forms.show<Keyboard>();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.run->setEnabled(runEnabled);
    auto *target = window.findChild<QWidget *>(focus);
    target->setFocus();
    QCOMPARE(window.focusWidget(), target);

    QTest::keyClick(target, Qt::Key(key));
    QCOMPARE(window.pressed, pressed);
    QCOMPARE(window.focusWidget(), target);
}

VANTREL_QT_TEST(FormsTest)
#include "forms_test.moc"
