// The "Drive C" window: the rows `drives` lists, a held image refused, and
// with the real desktop host a chosen image that Change Startup writes
// into and that the next start uses again.

#include "drive/drive_choice.h"
#include "logo/drive_form.h"
#include "logo/form1.h"
#include "support/cli_run.h"
#include "support/desktop_test_support.h"
#include "support/emulator_home.h"
#include "support/fake_host.h"
#include "support/logo_bytes.h"
#include "support/modal_driver.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "support/scoped_variable.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTreeWidget>

using namespace vantrel;
using namespace vantrel::test;

namespace {

// The text of `column` in every row of the window.
QStringList columnOf(const DriveForm &window, int column)
{
    QStringList texts;
    for (int row = 0; row < window.lstDrives->topLevelItemCount(); ++row)
        texts << window.lstDrives->topLevelItem(row)->text(column);
    return texts;
}

void selectPath(DriveForm &window, const QString &path)
{
    const qsizetype row = columnOf(window, 2).indexOf(path);
    QVERIFY(row >= 0);
    window.lstDrives->setCurrentItem(window.lstDrives->topLevelItem(int(row)));
}

} // namespace

class DriveFormTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { applyDriveChoice({}); }
    void showsTheRowsDrivesPrints();
    void refusesAnImageAnEmulatorHolds();
    void usesThePartitionChosen();
    void aChosenImageTakesChangeStartupAndStaysChosen();
};

void DriveFormTest::showsTheRowsDrivesPrints()
{
    TempUserDirectories user;
    const EmulatorHome home;
    FakeHost host;
    ProgramForms forms(host);
    Form1 &form = forms.show<Form1>();
    QCOMPARE(form.Tools->actions().indexOf(form.drivec),
             form.Tools->actions().indexOf(form.animake) + 1);
    form.drivec->trigger();
    DriveForm &window = forms.load<DriveForm>();
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("Drive C"));
    QTRY_VERIFY(window.allDescribed());

    QStringList printed;
    for (const QString &line : runCommand({"drives"}).out.split('\n')) {
        if (line.startsWith("  path:     "))
            printed << line.mid(12);
    }
    QCOMPARE(columnOf(window, 2), printed);
    for (const ExpectedDisk &disk : home.expected()) {
        const qsizetype row = columnOf(window, 2).indexOf(disk.path);
        QCOMPARE(columnOf(window, 1).value(row), disk.emulator);
        QVERIFY(columnOf(window, 4).value(row).startsWith(disk.windows));
    }
    QVERIFY(window.lblStatus->text().endsWith("\nNot read: " + home.broken() +
                                              ": line 4: Premature end of document."));
    form.drivec->trigger();
    QCOMPARE(&forms.load<DriveForm>(), &window);

    // Disk Image... adds the file chosen; a qcow2 one is refused with the
    // command that converts it.
    host.dialogAnswers.push_back(home.qcow2());
    QTest::mouseClick(window.cmdImage, Qt::LeftButton);
    QCOMPARE(columnOf(window, 2).last(), home.qcow2());
    QCOMPARE(columnOf(window, 1).last(), QStringLiteral("chosen"));
    QTRY_VERIFY(window.allDescribed());
    QTest::mouseClick(window.cmdUse, Qt::LeftButton);
    QCOMPARE(host.messages.size(), 1);
    QVERIFY(
        host.messages.first().startsWith("Vantrel cannot use " + home.qcow2() + " as drive C: "));
    QVERIFY(host.messages.first().contains("qemu-img convert -O raw"));
}

void DriveFormTest::refusesAnImageAnEmulatorHolds()
{
    TempUserDirectories user;
    const EmulatorHome home;
    const HeldImage held(home.win98().path(), "86Box", Hold::WriteLock);
    FakeHost host;
    ProgramForms forms(host);
    DriveForm &window = forms.show<DriveForm>();
    QTRY_VERIFY(window.allDescribed());
    const QString path = home.expected().front().path;
    selectPath(window, path);
    QCOMPARE(window.lblStatus->text(),
             QStringLiteral("In use by 86Box (process %1): shut the machine down to choose it.\n"
                            "Not read: %2: line 4: Premature end of document.")
                 .arg(held.pid())
                 .arg(home.broken()));
    QTest::mouseClick(window.cmdUse, Qt::LeftButton);
    QCOMPARE(host.messages, QStringList{QStringLiteral("Vantrel cannot use %1 as drive C: it is in "
                                                       "use by 86Box (process %2); shut the "
                                                       "machine down first")
                                            .arg(path)
                                            .arg(held.pid())});
    QCOMPARE(driveInUse().source, DriveSource::Default);
    QCOMPARE(rememberedDrive(host), QString());
}

// Disk Image... with two FAT partitions: the partition choice names both,
// and Use takes the one chosen.
void DriveFormTest::usesThePartitionChosen()
{
    TempUserDirectories user;
    const EmulatorHome home;
    const TempImage image(ImageKind::TwoFatDisk);
    FakeHost host;
    ProgramForms forms(host);
    DriveForm &window = forms.show<DriveForm>();
    host.dialogAnswers.push_back(image.path());
    QTest::mouseClick(window.cmdImage, Qt::LeftButton);
    QTRY_VERIFY(window.allDescribed());
    QVERIFY(window.cboPartition->isEnabled());
    QCOMPARE(window.cboPartition->count(), 2);
    window.cboPartition->setCurrentIndex(1);
    QTest::mouseClick(window.cmdUse, Qt::LeftButton);
    QCOMPARE(host.messages, QStringList{});
    QCOMPARE(rememberedDrive(host), image.path() + "@2");
    QCOMPARE(driveInUse().drive, image.path() + "@2");
}

void DriveFormTest::aChosenImageTakesChangeStartupAndStaysChosen()
{
    TempUserDirectories user;
    const EmulatorHome home;
    const TempImage &image = home.win98();
    const QString path = home.expected().front().path;
    const QByteArray logo = LogoBytes().bytes();
    QTemporaryDir pictures;
    const QString logoPath = pictures.filePath("sky.bmp");
    QFile file(logoPath);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(logo) == logo.size());
    file.close();

    CountingDesktopHost host;
    QString unexpected;
    recordNextMessageBox(&unexpected, 30);
    {
        ProgramForms forms(host);
        Form1 &form = forms.show<Form1>();
        DriveForm &window = forms.show<DriveForm>();
        QTRY_VERIFY(window.allDescribed());
        selectPath(window, path);
        QTest::mouseClick(window.cmdUse, Qt::LeftButton);
        QCOMPARE(form.drivein->text(), "Drive C: " + path);
        QTextDocument tip;
        tip.setHtml(form.Frame2->toolTip());
        QCOMPARE(tip.toPlainText(), "Drive C: " + path);
        QCOMPARE(form.Label2->text(), QStringLiteral("C:\\WIN98\\"));
        form.setLabel1Caption(logoPath);
        QTest::mouseClick(form.chstart, Qt::LeftButton);
        QCOMPARE(image.read("/logo.sys"), std::optional<QByteArray>(logo));
    }
    // The next start: nothing chosen in the process, the setting read again.
    applyDriveChoice({});
    const DriveChoice choice = resolveDriveChoice(host, std::nullopt);
    QCOMPARE(choice.source, DriveSource::Remembered);
    applyDriveChoice(choice);
    ProgramForms forms(host);
    Form1 &form = forms.show<Form1>();
    QCOMPARE(form.drivein->text(), "Drive C: " + path);
    QCOMPARE(form.Label2->text(), QStringLiteral("C:\\WIN98\\"));
    QTest::qWait(100);
    QCOMPARE(unexpected, QString());
}

VANTREL_QT_TEST(DriveFormTest)
#include "drive_form_test.moc"
