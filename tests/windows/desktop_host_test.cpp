// The desktop host's own services: the filter conversion, Qt's file dialog
// as the host sets it up and reads it back, and the message box.

#include "host/desktop_host.h"
#include "support/fake_host.h"
#include "support/test_environment.h"
#include "windows/modal_driver.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace vantrel;
using vantrel::test::TempDrive;
using vantrel::test::whenModal;

namespace {

QLineEdit &nameBox(QFileDialog &dialog)
{
    return *dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

// The names the dialog lists in its current directory, once the listing
// has arrived (Qt reads directories in the background).
QStringList listedNames(QFileDialog &dialog, int atLeast)
{
    auto *view = dialog.findChild<QListView *>(QStringLiteral("listView"));
    QStringList names;
    const bool arrived = QTest::qWaitFor(
        [&] {
            names.clear();
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row)
                names << view->model()->index(row, 0, root).data().toString();
            return names.size() >= atLeast;
        },
        5000);
    if (!arrived)
        return {};
    // Let a late arrival show up too, so that "too many" can be seen.
    QTest::qWait(100);
    names.clear();
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row)
        names << view->model()->index(row, 0, root).data().toString();
    names.sort();
    return names;
}

// What pressing Enter in the dialog comes to, whether or not its button is
// enabled at that moment.
void pressAccept(QFileDialog &dialog)
{
    QMetaObject::invokeMethod(&dialog, "accept");
}

} // namespace

class DesktopHostTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nameFilters_data();
    void nameFilters();
    void wildcards_data();
    void wildcards();

    void openDialogListsMatchingNamesWhateverTheirCase();
    void dosPathOpensInItsDirectoryWithTheNamePreselected();
    void filterIndexSelectsTheEntryAndTitleIsKept_data();
    void filterIndexSelectsTheEntryAndTitleIsKept();
    void cancel_data();
    void cancel();
    void typedPatternIsNeverTheAnswer();
    void messageBoxIsAWarningTitledVantrel32();
    void messageBoxShowsThePromptAsItIs_data();
    void messageBoxShowsThePromptAsItIs();
    void dialogHistoryStaysInTheTestsOwnConfiguration();
};

void DesktopHostTest::nameFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("description with parentheses")
        << "Bitmaps (*.bmp;*.sys)|*.bmp;*.sys"
        << QStringList{"Bitmaps (*.bmp;*.sys) (*.bmp *.sys)"};
    QTest::newRow("two entries") << "Logo files|*.sys|All files|*.*"
                                 << QStringList{"Logo files (*.sys)", "All files (*.*)"};
    QTest::newRow("blanks around patterns")
        << "Pictures| *.bmp ; *.dib ;" << QStringList{"Pictures (*.bmp *.dib)"};
    QTest::newRow("description without patterns") << "Anything" << QStringList{"Anything (*)"};
    QTest::newRow("empty") << "" << QStringList{};
}

void DesktopHostTest::nameFilters()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(toQtNameFilters(filter), expected);
}

void DesktopHostTest::wildcards_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("expected");
    QTest::newRow("star") << "*.bmp;*.sys" << true;
    QTest::newRow("question mark") << "logo?.sys" << true;
    QTest::newRow("plain name") << "C:\\logo.sys" << false;
    QTest::newRow("empty") << "" << false;
}

void DesktopHostTest::wildcards()
{
    QFETCH(QString, name);
    QFETCH(bool, expected);
    QCOMPARE(hasWildcard(name), expected);
}

void DesktopHostTest::openDialogListsMatchingNamesWhateverTheirCase()
{
    TempDrive drive;
    for (const char *name : {"a.bmp", "B.BMP", "logo.Sys", "notes.txt", "bmp"})
        drive.write(QStringLiteral("pics/") + QLatin1String(name), "x");

    DesktopHost host;
    FileDialog dialog;
    dialog.Filter = QStringLiteral("Bitmaps (*.bmp;*.sys)|*.bmp;*.sys");
    dialog.FilterIndex = 1;
    dialog.FileName = QStringLiteral("C:\\PICS\\*.bmp;*.sys");
    QString shownText;
    QString shownDirectory;
    QString shownFilter;
    QStringList listed;
    bool timedOut = false;
    whenModal<QFileDialog>(
        [&](QFileDialog &box) {
            shownText = nameBox(box).text();
            shownFilter =
                box.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"))->currentText();
            shownDirectory = box.directory().absolutePath();
            listed = listedNames(box, 3);
            box.reject();
        },
        &timedOut);
    host.showFileDialog(dialog, FileDialogKind::Open);

    QVERIFY(!timedOut);
    QCOMPARE(shownText, QStringLiteral("*.bmp;*.sys"));
    QCOMPARE(shownFilter, QStringLiteral("Bitmaps (*.bmp;*.sys)"));
    QCOMPARE(shownDirectory, QDir(drive.path("pics")).absolutePath());
    QCOMPARE(listed, (QStringList{"B.BMP", "a.bmp", "logo.Sys"}));
    // Cancel without CancelError leaves the name as it was.
    QCOMPARE(dialog.FileName, QStringLiteral("C:\\PICS\\*.bmp;*.sys"));
}

void DesktopHostTest::dosPathOpensInItsDirectoryWithTheNamePreselected()
{
    TempDrive drive;
    drive.write("pics/Sky Blue.bmp", "x");
    drive.write("pics/other.bmp", "x");

    DesktopHost host;
    FileDialog dialog;
    dialog.Filter = QStringLiteral("Bitmaps|*.bmp");
    dialog.FileName = QStringLiteral("c:\\pics\\sky blue.bmp");
    QString shownText;
    QString shownDirectory;
    bool timedOut = false;
    whenModal<QFileDialog>(
        [&](QFileDialog &box) {
            shownText = nameBox(box).text();
            shownDirectory = box.directory().absolutePath();
            pressAccept(box);
        },
        &timedOut);
    host.showFileDialog(dialog, FileDialogKind::Open);

    QVERIFY(!timedOut);
    QCOMPARE(shownDirectory, QDir(drive.path("pics")).absolutePath());
    QCOMPARE(shownText, QStringLiteral("Sky Blue.bmp"));
    QCOMPARE(dialog.FileName, QFileInfo(drive.path("pics/Sky Blue.bmp")).absoluteFilePath());
}

void DesktopHostTest::filterIndexSelectsTheEntryAndTitleIsKept_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("shownTitle");

    QTest::newRow("second entry, own title") << 2 << "Choose a target"
                                             << "Logos"
                                             << "Choose a target";
    QTest::newRow("first entry, Qt's title") << 1 << ""
                                             << "Bitmaps"
                                             << "Open";
    QTest::newRow("out of range means the first") << 7 << ""
                                                  << "Bitmaps"
                                                  << "Open";
}

void DesktopHostTest::filterIndexSelectsTheEntryAndTitleIsKept()
{
    QFETCH(int, index);
    QFETCH(QString, title);
    QFETCH(QString, selected);
    QFETCH(QString, shownTitle);

    TempDrive drive;
    DesktopHost host;
    FileDialog dialog;
    dialog.Filter = QStringLiteral("Bitmaps|*.bmp|Logos|*.sys");
    dialog.FilterIndex = index;
    dialog.DialogTitle = title;
    QString actualFilter;
    QString actualTitle;
    QStringList comboTexts;
    whenModal<QFileDialog>([&](QFileDialog &box) {
        actualFilter = box.selectedNameFilter();
        actualTitle = box.windowTitle();
        auto *combo = box.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; i < combo->count(); ++i)
            comboTexts << combo->itemText(i);
        box.reject();
    });
    host.showFileDialog(dialog, FileDialogKind::Open);

    QCOMPARE(actualFilter, selected);
    QCOMPARE(actualTitle, shownTitle);
    // The combo shows the descriptions only.
    QCOMPARE(comboTexts, (QStringList{"Bitmaps", "Logos"}));
}

void DesktopHostTest::cancel_data()
{
    QTest::addColumn<bool>("cancelError");
    QTest::addColumn<int>("kind");
    QTest::newRow("open, CancelError") << true << int(FileDialogKind::Open);
    QTest::newRow("open, no CancelError") << false << int(FileDialogKind::Open);
    QTest::newRow("save, CancelError") << true << int(FileDialogKind::Save);
    QTest::newRow("save, no CancelError") << false << int(FileDialogKind::Save);
}

void DesktopHostTest::cancel()
{
    QFETCH(bool, cancelError);
    QFETCH(int, kind);

    TempDrive drive;
    DesktopHost host;
    FileDialog dialog;
    dialog.CancelError = cancelError;
    dialog.FileName = QStringLiteral("C:\\target.sys");
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    whenModal<QFileDialog>([&](QFileDialog &box) {
        mode = box.acceptMode();
        box.reject();
    });
    bool threw = false;
    try {
        host.showFileDialog(dialog, FileDialogKind(kind));
    } catch (const HostError &) {
        threw = true;
    }
    QCOMPARE(threw, cancelError);
    QCOMPARE(dialog.FileName, QStringLiteral("C:\\target.sys"));
    QCOMPARE(mode, FileDialogKind(kind) == FileDialogKind::Open ? QFileDialog::AcceptOpen
                                                                : QFileDialog::AcceptSave);
}

void DesktopHostTest::typedPatternIsNeverTheAnswer()
{
    TempDrive drive;
    drive.makeDirectory("out");
    DesktopHost host;
    FileDialog dialog;
    dialog.FileName = QStringLiteral("C:\\out\\*.sys");
    bool stillOpen = false;
    whenModal<QFileDialog>([&](QFileDialog &box) {
        pressAccept(box);
        stillOpen = box.isVisible();
        nameBox(box).setText(QStringLiteral("new.sys"));
        pressAccept(box);
    });
    host.showFileDialog(dialog, FileDialogKind::Save);

    QVERIFY(stillOpen);
    QCOMPARE(dialog.FileName, QFileInfo(drive.path("out/new.sys")).absoluteFilePath());
}

void DesktopHostTest::messageBoxIsAWarningTitledVantrel32()
{
    DesktopHost host;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    bool timedOut = false;
    whenModal<QMessageBox>(
        [&](QMessageBox &box) {
            title = box.windowTitle();
            text = box.text();
            icon = box.icon();
            for (QAbstractButton *button : box.buttons())
                buttons << button->text();
            box.button(QMessageBox::Ok)->click();
        },
        &timedOut);
    host.messageBox(QStringLiteral("The startup logo is already set to default."));

    QVERIFY(!timedOut);
    QCOMPARE(title, QStringLiteral("Vantrel 32"));
    QCOMPARE(text, QStringLiteral("The startup logo is already set to default."));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons, QStringList{"OK"});
}

void DesktopHostTest::messageBoxShowsThePromptAsItIs_data()
{
    QTest::addColumn<QString>("prompt");
    QTest::newRow("markup in a path")
        << "Vantrel could not change the startup logo: cannot open /pics/<b>x<i>y.bmp: No such "
           "file or directory";
    QTest::newRow("markup first") << "<b>x<i>y.bmp";
    QTest::newRow("an entity") << "a &amp; b";
    QTest::newRow("ordinary message")
        << "Error, -the file could not be found.  Try selecting a file, should this problem "
           "persist contact Brontic";
}

void DesktopHostTest::messageBoxShowsThePromptAsItIs()
{
    QFETCH(QString, prompt);

    DesktopHost host;
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    bool timedOut = false;
    whenModal<QMessageBox>(
        [&](QMessageBox &box) {
            format = box.textFormat();
            // What the box shows, as a screen reader reads it: rich text
            // would come out with its tags gone.
            auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            if (QAccessibleInterface *text = QAccessible::queryAccessibleInterface(label))
                shown = text->text(QAccessible::Name);
            box.button(QMessageBox::Ok)->click();
        },
        &timedOut);
    host.messageBox(prompt);

    QVERIFY(!timedOut);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shown, prompt);
}

void DesktopHostTest::dialogHistoryStaysInTheTestsOwnConfiguration()
{
    // Qt's file dialog keeps its history in QtProject.conf of the user's
    // configuration directory; in a test that must be the process's own.
    const QString configuration = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString root = QString::fromStdString(vantrel::test::testEnvironmentRoot());
    QVERIFY(!root.isEmpty());
    QVERIFY2(configuration.startsWith(root + '/'), qPrintable(configuration));

    TempDrive drive;
    DesktopHost host;
    FileDialog dialog;
    dialog.FileName = QStringLiteral("C:\\*.bmp");
    whenModal<QFileDialog>([](QFileDialog &box) { box.reject(); });
    host.showFileDialog(dialog, FileDialogKind::Open);
    QVERIFY(QFileInfo::exists(configuration + QStringLiteral("/QtProject.conf")));
}

QTEST_MAIN(DesktopHostTest)
#include "desktop_host_test.moc"
