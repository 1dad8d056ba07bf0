// The animation maker with the real desktop host on a temporary drive and
// a temporary settings directory: opened from the main window, driven with
// the mouse and the keyboard, Run writes the animated logo, stores the
// settings in the per-user file and hands the target to the main window;
// a Run that cannot write leaves the window open and the settings alone.

#include "image/aniform1.h"
#include "logo/form1.h"
#include "support/desktop_test_support.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/logo_bytes.h"
#include "support/modal_driver.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "ui/desktop_host.h"
#include "ui/forms.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using vantrel::test::CountingDesktopHost;
using vantrel::test::LogoBytes;
using vantrel::test::TempDrive;
using vantrel::test::TempUserDirectories;

namespace {

// Replaces the whole text of a box by typing, as a user would.
void retype(QLineEdit *box, const QString &text)
{
    QTest::mouseClick(box, Qt::LeftButton);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

// The maker opened from the main window, with `source` as its source.
AniForm1 *openMaker(Forms &forms, const QString &source)
{
    Form1 &main = forms.show<Form1>();
    if (!QTest::qWaitForWindowExposed(&main))
        return nullptr;
    main.setLabel1Caption(source);
    QTest::mouseClick(main.vog, Qt::LeftButton);
    AniForm1 *maker = forms.find<AniForm1>();
    if (maker == nullptr || !QTest::qWaitForWindowExposed(maker))
        return nullptr;
    QApplication::setActiveWindow(maker);
    return QTest::qWaitForWindowActive(maker) ? maker : nullptr;
}

} // namespace

class AniForm1EndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runWritesTheLogoTheSettingsAndHandsOver();
    void runThatCannotWriteKeepsTheWindowAndTheSettings();
};

void AniForm1EndToEndTest::runWritesTheLogoTheSettingsAndHandsOver()
{
    TempUserDirectories user;
    TempDrive drive;
    drive.makeDirectory("WINDOWS");
    LogoBytes logo;
    logo.clrImportant = 256;
    const QByteArray source = logo.bytes();
    drive.write("My Pictures/Sky.BMP", source);
    const QString sourcePath = drive.path("My Pictures/Sky.BMP");
    const QString targetPath = drive.path("My Pictures/Sky animated.sys");

    CountingDesktopHost host;
    ProgramForms forms(host);
    QPointer<AniForm1> maker = openMaker(forms, sourcePath);
    QVERIFY(maker);
    QCOMPARE(maker->Src->text(), sourcePath);
    QCOMPARE(maker->Targ->text(), QStringLiteral("Target File"));

    // The picker takes an existing target without asking; only Run writes.
    drive.write("My Pictures/Sky animated.sys", "old");
    QString question;
    test::whenModal<QFileDialog>([&](QFileDialog &dialog) {
        dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(targetPath);
        test::recordNextMessageBox(&question, 30);
        QMetaObject::invokeMethod(&dialog, "accept");
    });
    QTest::mouseClick(maker->Command2, Qt::LeftButton);
    QTest::qWait(400);
    QCOMPARE(question, QString());
    QCOMPARE(maker->Targ->text(), targetPath);
    QCOMPARE(drive.read("My Pictures/Sky animated.sys"), QByteArray("old"));
    QApplication::setActiveWindow(maker);
    QVERIFY(QTest::qWaitForWindowActive(maker));

    retype(maker->Targ, targetPath);
    QTest::mouseClick(maker->Check1, Qt::LeftButton);
    retype(maker->Strt, QStringLiteral("240"));
    QTest::mouseClick(maker->Command3, Qt::LeftButton);

    QByteArray expected = source;
    expected[50] = char(240);
    expected[51] = 0;
    for (qsizetype i = 1078; i < expected.size(); ++i) {
        const int c = std::uint8_t(expected[i]);
        if (c >= 240)
            expected[i] = char(255 + 240 - c);
    }
    QCOMPARE(drive.read("My Pictures/Sky animated.sys"), expected);

    QVERIFY(QFile::exists(user.settingsFile()));
    QSettings stored(user.settingsFile(), QSettings::IniFormat);
    stored.beginGroup(QStringLiteral("Animated Logo Utility"));
    QCOMPARE(stored.childKeys().size(), 4);
    QCOMPARE(stored.value("Source").toString(), sourcePath);
    QCOMPARE(stored.value("Target").toString(), targetPath);
    QCOMPARE(stored.value("Starting Entry").toString(), QStringLiteral("240"));
    QCOMPARE(stored.value("Reverse Palette").toString(), QStringLiteral("1"));

    Form1 *main = forms.find<Form1>();
    QCOMPARE(main->Label1->text(), targetPath);
    QCOMPARE(main->open->pixmap().size(), QSize(320, 400));
    for (QPushButton *button : {main->chstart, main->chshut, main->choff, main->Command8})
        QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
    QVERIFY(main->isVisible());
    QVERIFY(!forms.isLoaded<AniForm1>());
    QTRY_VERIFY(maker.isNull());
    QCOMPARE(host.beeps, 1);

    // The next opening reads the settings back.
    QTest::mouseClick(main->vog, Qt::LeftButton);
    AniForm1 *again = forms.find<AniForm1>();
    QVERIFY(again != nullptr);
    QCOMPARE(again->Targ->text(), targetPath);
    QCOMPARE(again->Spin->value(), 240);
    QCOMPARE(again->Strt->text(), QStringLiteral(" 240"));
    QCOMPARE(again->Check1->checkState(), Qt::Checked);
    QVERIFY(again->Command3->isEnabled());
}

void AniForm1EndToEndTest::runThatCannotWriteKeepsTheWindowAndTheSettings()
{
    TempUserDirectories user;
    TempDrive drive;
    drive.write("logo.bmp", LogoBytes().bytes());
    drive.makeDirectory("out.sys");
    {
        QSettings earlier(user.settingsFile(), QSettings::IniFormat);
        earlier.setValue(QStringLiteral("Animated Logo Utility/Target"), drive.path("out.sys"));
    }
    const QByteArray settingsBefore = test::fileBytes(user.settingsFile());
    QVERIFY(settingsBefore.contains("Target="));

    CountingDesktopHost host;
    ProgramForms forms(host);
    AniForm1 *maker = openMaker(forms, drive.path("logo.bmp"));
    QVERIFY(maker != nullptr);
    QCOMPARE(maker->Targ->text(), drive.path("out.sys"));
    QTest::mouseClick(maker->Command3, Qt::LeftButton);
    QTest::qWait(50);

    QCOMPARE(host.beeps, 1);
    QCOMPARE(forms.find<AniForm1>(), maker);
    QVERIFY(maker->isVisible());
    QVERIFY(!maker->Command3->isEnabled());
    QCOMPARE(test::fileBytes(user.settingsFile()), settingsBefore);
    QCOMPARE(forms.find<Form1>()->Label1->text(), drive.path("logo.bmp"));
    QVERIFY(QFileInfo(drive.path("out.sys")).isDir());
}

VANTREL_QT_TEST(AniForm1EndToEndTest)
#include "aniform1_e2e_test.moc"
