// The main window with the real desktop host on a temporary drive: Qt's
// own file dialog, driven like a user would, chooses a bitmap that is then
// previewed and installed; a real message box reports a failed restore.

#include "logo/backups.h"
#include "logo/form1.h"
#include "support/encoded_image.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/modal_driver.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "ui/desktop_host.h"
#include "ui/forms.h"

#include <QCryptographicHash>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace vantrel;
using vantrel::test::chooseInNextFileDialog;
using vantrel::test::recordNextMessageBox;
using vantrel::test::TempDrive;
using vantrel::test::whenModal;

namespace {

QByteArray logoBytes()
{
    QImage image(320, 400, QImage::Format_Indexed8);
    QList<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette << qRgb(i, 255 - i, 128);
    image.setColorTable(palette);
    for (int y = 0; y < 400; ++y)
        std::fill_n(image.scanLine(y), 320, uchar(y % 256));
    return test::encodedImage(image);
}

} // namespace

class Form1EndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void chooseThroughQtsDialogPreviewAndInstall();
    void failedRestoreShowsARealMessageBox();
    void aMarkedUpNameShowsAsItIsInLabel1AndInTheMessage();
    void enterWorksTheWindowTheDialogAndTheMessageBox();
    void changeStartupKeepsTheOldLogoForUndo();
};

void Form1EndToEndTest::chooseThroughQtsDialogPreviewAndInstall()
{
    TempDrive drive;
    drive.makeDirectory("WINDOWS");
    const QByteArray logo = logoBytes();
    QCOMPARE(logo.size(), 129078);
    drive.write("My Pictures/Sky.BMP", logo);
    const QString chosen = QFileInfo(drive.path("My Pictures/Sky.BMP")).absoluteFilePath();

    DesktopHost host;
    ProgramForms forms(host);
    Form1 &form = forms.show<Form1>();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QString initialText;
    bool timedOut = false;
    whenModal<QFileDialog>(
        [&](QFileDialog &dialog) {
            auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            initialText = name->text();
            // Typing would open the name completer's popup, which takes
            // the Return key for itself; pasting the path does not.
            name->setText(chosen);
            QTest::keyClick(name, Qt::Key_Return);
            // Should Return not close it, the test fails instead of hanging.
            QTimer::singleShot(3000, &dialog, &QDialog::reject);
        },
        &timedOut);
    QTest::mouseClick(form.Op, Qt::LeftButton);

    QVERIFY(!timedOut);
    QCOMPARE(initialText, QStringLiteral("*.bmp;*.sys"));
    QCOMPARE(form.Label1->text(), chosen);
    QVERIFY(!form.open->pixmap().isNull());
    QCOMPARE(form.open->pixmap().size(), QSize(320, 400));
    QVERIFY(form.chstart->isEnabled());
    QVERIFY(form.Command8->isEnabled());

    QString unexpected;
    recordNextMessageBox(&unexpected, 30);
    QTest::mouseClick(form.chstart, Qt::LeftButton);
    QTest::qWait(400);
    QCOMPARE(unexpected, QString());
    QCOMPARE(drive.read("logo.sys"), logo);
    QVERIFY(!form.chstart->isEnabled());
    QVERIFY(form.chshut->isEnabled());
}

void Form1EndToEndTest::failedRestoreShowsARealMessageBox()
{
    TempDrive drive;
    DesktopHost host;
    ProgramForms forms(host);
    Form1 &form = forms.show<Form1>();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QString title;
    QString text;
    bool timedOut = false;
    whenModal<QMessageBox>(
        [&](QMessageBox &box) {
            title = box.windowTitle();
            text = box.text();
            QTest::keyClick(&box, Qt::Key_Return);
        },
        &timedOut);
    QTest::mouseClick(form.Command2, Qt::LeftButton);

    QVERIFY(!timedOut);
    QCOMPARE(title, QStringLiteral("Vantrel 32"));
    QCOMPARE(text, restoreFailedMessage(LogoSlot::Startup));
    QVERIFY(form.isVisible());
}

void Form1EndToEndTest::aMarkedUpNameShowsAsItIsInLabel1AndInTheMessage()
{
    TempDrive drive;
    drive.makeDirectory("WINDOWS");
    drive.write("<b>x<i>y.bmp", logoBytes());
    const QString chosen = QFileInfo(drive.path("<b>x<i>y.bmp")).absoluteFilePath();

    DesktopHost host;
    ProgramForms forms(host);
    Form1 &form = forms.show<Form1>();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    bool timedOut = false;
    chooseInNextFileDialog(chosen, &timedOut);
    QTest::mouseClick(form.Op, Qt::LeftButton);
    QVERIFY(!timedOut);
    QCOMPARE(form.Label1->text(), chosen);
    QCOMPARE(form.Label1->textFormat(), Qt::PlainText);

    // The file goes away before it is installed: the reason names it.
    QVERIFY(QFile::remove(chosen));
    Qt::TextFormat format = Qt::AutoText;
    QString text;
    whenModal<QMessageBox>(
        [&](QMessageBox &box) {
            format = box.textFormat();
            text = box.text();
            box.accept();
        },
        &timedOut);
    QTest::mouseClick(form.chstart, Qt::LeftButton);
    QVERIFY(!timedOut);
    QCOMPARE(format, Qt::PlainText);
    QVERIFY2(text.startsWith(QStringLiteral("Vantrel could not change the startup logo: ")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("<b>x<i>y.bmp")), qPrintable(text));
    QVERIFY(!drive.exists("logo.sys"));
}

void Form1EndToEndTest::enterWorksTheWindowTheDialogAndTheMessageBox()
{
    TempDrive drive;
    drive.makeDirectory("WINDOWS");
    const QByteArray logo = logoBytes();
    drive.write("sky.bmp", logo);
    const QString chosen = QFileInfo(drive.path("sky.bmp")).absoluteFilePath();

    DesktopHost host;
    ProgramForms forms(host);
    Form1 &form = forms.show<Form1>();
    QVERIFY(QTest::qWaitForWindowActive(&form));

    // Enter on Open File opens the dialog, Enter in its name box chooses.
    bool timedOut = false;
    whenModal<QFileDialog>(
        [&](QFileDialog &dialog) {
            auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            name->setText(chosen);
            QTest::keyClick(name, Qt::Key_Return);
        },
        &timedOut);
    form.Op->setFocus();
    QTest::keyClick(form.Op, Qt::Key_Return);
    QVERIFY(!timedOut);
    QCOMPARE(form.Label1->text(), chosen);

    // Enter on Change Startup installs.
    form.chstart->setFocus();
    QTest::keyClick(form.chstart, Qt::Key_Return);
    QCOMPARE(drive.read("logo.sys"), logo);

    // Enter on Restore Startup removes it; the second time the real message
    // box says so, and Enter closes it without pressing anything again.
    form.Command2->setFocus();
    QTest::keyClick(form.Command2, Qt::Key_Return);
    QVERIFY(!drive.exists("logo.sys"));
    int boxes = 0;
    QString text;
    const std::function<void(QMessageBox &)> answer = [&](QMessageBox &box) {
        ++boxes;
        text = box.text();
        QTest::keyClick(&box, Qt::Key_Return);
        // Should that Enter press Restore Startup again, another box comes.
        whenModal<QMessageBox>(answer, nullptr, 30);
    };
    whenModal<QMessageBox>(answer, &timedOut);
    QTest::keyClick(form.Command2, Qt::Key_Return);
    QTest::qWait(400);
    QVERIFY(!timedOut);
    QCOMPARE(boxes, 1);
    QCOMPARE(text, restoreFailedMessage(LogoSlot::Startup));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(form.isVisible());
}

// A disk's own LOGO.SYS survives Change Startup: the real host keeps it
// outside the drive first, byte for byte, and undo brings it back.
void Form1EndToEndTest::changeStartupKeepsTheOldLogoForUndo()
{
    TempDrive drive;
    drive.makeDirectory("WINDOWS");
    const QByteArray own = QByteArray("the disk's own start-up logo\0\x80", 30);
    drive.write("LOGO.SYS", own);
    const QByteArray logo = logoBytes();
    drive.write("Sky.BMP", logo);

    DesktopHost host;
    ProgramForms forms(host);
    Form1 &form = forms.show<Form1>();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    bool timedOut = false;
    chooseInNextFileDialog(drive.path("Sky.BMP"), &timedOut);
    QTest::mouseClick(form.Op, Qt::LeftButton);
    QVERIFY(!timedOut);
    QString unexpected;
    recordNextMessageBox(&unexpected, 30);
    QTest::mouseClick(form.chstart, Qt::LeftButton);
    QTest::qWait(400);
    QCOMPARE(unexpected, QString());
    QCOMPARE(drive.read("LOGO.SYS"), logo);

    const std::vector<KeptCopy> copies = keptCopies(host, LogoSlot::Startup, "C:\\logo.sys");
    QCOMPARE(copies.size(), std::size_t(1));
    QVERIFY(copies[0].original);
    QCOMPARE(copies[0].operation, QStringLiteral("change"));
    QCOMPARE(QCryptographicHash::hash(test::fileBytes(copies[0].path), QCryptographicHash::Sha256),
             QCryptographicHash::hash(own, QCryptographicHash::Sha256));
    QVERIFY(!copies[0].path.startsWith(drive.root()));

    UndoSlot(host, LogoSlot::Startup, form.Label2->text(), {UndoTarget::Original, {}});
    QCOMPARE(drive.read("LOGO.SYS"), own);
}

VANTREL_QT_TEST(Form1EndToEndTest)
#include "form1_e2e_test.moc"
