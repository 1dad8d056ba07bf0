// Text that shows data shows as it is: every label of every window is plain
// text, a path with markup in its name shows with its angle brackets, and
// tool tips made for data show it literally.

#include "app/form3.h"
#include "app/info.h"
#include "app/open_dlg.h"
#include "image/aniform1.h"
#include "logo/form1.h"
#include "support/fake_host.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "ui/forms.h"
#include "ui/plain_text.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>

#include <functional>
#include <map>

using namespace vantrel;
using vantrel::test::FakeHost;
using vantrel::test::TempDrive;

namespace {

// Every window of the program, by name, loaded the way Forms loads it. A
// new window belongs in this list, so that its labels are checked too.
const std::map<QString, std::function<QWidget &(Forms &)>> &windows()
{
    static const std::map<QString, std::function<QWidget &(Forms &)>> all{
        {"Form1", [](Forms &forms) -> QWidget & { return forms.load<Form1>(); }},
        {"OpenDlg", [](Forms &forms) -> QWidget & { return forms.load<OpenDlg>(); }},
        {"Form3", [](Forms &forms) -> QWidget & { return forms.load<Form3>(); }},
        {"info", [](Forms &forms) -> QWidget & { return forms.load<info>(); }},
        {"AniForm1", [](Forms &forms) -> QWidget & { return forms.load<AniForm1>(); }},
    };
    return all;
}

// What a label shows, as a screen reader reads it: Qt renders rich text to
// its plain text first, so "<b>x" reads as "x" when taken for markup.
QString shownText(QLabel &label)
{
    QAccessibleInterface *shown = QAccessible::queryAccessibleInterface(&label);
    return shown == nullptr ? QString() : shown->text(QAccessible::Name);
}

// True when the tool tip is empty or shows exactly the text it was made of.
bool isPlainToolTip(const QString &toolTip)
{
    if (toolTip.isEmpty())
        return true;
    QTextDocument shown;
    shown.setHtml(toolTip);
    return toolTip == Qt::convertFromPlainText(shown.toPlainText(), Qt::WhiteSpacePre);
}

// A window whose label was made the plain Qt way, as a hurried developer
// might: Forms still makes it plain.
class HandMadeLabel : public Form {
public:
    explicit HandMadeLabel(const FormContext &context) : Form(context)
    {
        label = new QLabel(QStringLiteral("<b>x<i>y.bmp"), this);
    }
    QLabel *label;
};

QStringList markedUpNames()
{
    return {"<b>x<i>y.bmp", "<img src=\"y.bmp\">.bmp", "<a href=\"x\">x.bmp",
            "&lt;b&gt; &amp; x.bmp", "<h1>big.bmp"};
}

} // namespace

class PlainTextTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyLabelAndToolTipOfEveryWindowIsPlain_data();
    void everyLabelAndToolTipOfEveryWindowIsPlain();
    void formsMakesAHandMadeLabelPlain();
    void label1ShowsAMarkedUpPathAsItIs_data();
    void label1ShowsAMarkedUpPathAsItIs();
    void helpersShowTheirTextAsItIs_data();
    void helpersShowTheirTextAsItIs();
};

void PlainTextTest::everyLabelAndToolTipOfEveryWindowIsPlain_data()
{
    QTest::addColumn<QString>("window");
    for (const auto &[name, load] : windows())
        QTest::newRow(qPrintable(name)) << name;
}

void PlainTextTest::everyLabelAndToolTipOfEveryWindowIsPlain()
{
    QFETCH(QString, window);

    TempDrive drive;
    FakeHost host;
    ProgramForms forms(host);
    QWidget &loaded = windows().at(window)(forms);
    QList<QLabel *> labels = loaded.findChildren<QLabel *>();
    if (auto *self = qobject_cast<QLabel *>(&loaded))
        labels << self;
    for (QLabel *label : labels) {
        QVERIFY2(label->textFormat() == Qt::PlainText,
                 qPrintable(label->objectName() + QStringLiteral(" is not plain text")));
    }
    QList<QWidget *> widgets = loaded.findChildren<QWidget *>();
    widgets << &loaded;
    for (QWidget *widget : widgets) {
        QVERIFY2(isPlainToolTip(widget->toolTip()),
                 qPrintable(widget->objectName() + QStringLiteral(": ") + widget->toolTip()));
    }
}

void PlainTextTest::formsMakesAHandMadeLabelPlain()
{
    FakeHost host;
    ProgramForms forms(host);
    HandMadeLabel &window = forms.load<HandMadeLabel>();
    QCOMPARE(window.label->textFormat(), Qt::PlainText);
    QCOMPARE(shownText(*window.label), QStringLiteral("<b>x<i>y.bmp"));
}

void PlainTextTest::label1ShowsAMarkedUpPathAsItIs_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : markedUpNames())
        QTest::newRow(qPrintable(name)) << name;
}

void PlainTextTest::label1ShowsAMarkedUpPathAsItIs()
{
    QFETCH(QString, name);

    TempDrive drive;
    FakeHost host;
    ProgramForms forms(host);
    Form1 &form = forms.load<Form1>();
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(drive.path(name), "BMP"));

    host.dialogAnswers.push_back(drive.path(name));
    form.Op->click();
    QCOMPARE(form.Label1->text(), drive.path(name));
    QCOMPARE(shownText(*form.Label1), drive.path(name));
    // The file itself is the one previewed.
    QVERIFY(!form.open->pixmap().isNull());

    // A DOS path set by another window, with nothing before the markup.
    form.setLabel1Caption(name);
    QCOMPARE(shownText(*form.Label1), name);
}

void PlainTextTest::helpersShowTheirTextAsItIs_data()
{
    QTest::addColumn<QString>("text");
    for (const QString &name : markedUpNames())
        QTest::newRow(qPrintable(name)) << name;
    QTest::newRow("plain words") << "Sorry mate I cannot find Paint!";
    QTest::newRow("two spaces") << "found.  Try";
}

void PlainTextTest::helpersShowTheirTextAsItIs()
{
    QFETCH(QString, text);

    QWidget window;
    QLabel *label = makeLabel(&window, "Label9", text, TwipRect{150, 300, 1500, 255});
    QCOMPARE(label->objectName(), QStringLiteral("Label9"));
    QCOMPARE(label->geometry(), QRect(10, 20, 100, 17));
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(shownText(*label), text);

    QPushButton button;
    setPlainToolTip(button, text);
    QTextDocument shown;
    shown.setHtml(button.toolTip());
    QCOMPARE(shown.toPlainText(), text);
    QVERIFY(isPlainToolTip(button.toolTip()));
}

VANTREL_QT_TEST(PlainTextTest)
#include "plain_text_test.moc"
