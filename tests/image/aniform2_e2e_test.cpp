// The preview with the real desktop host and real 70 ms timers on a
// temporary drive: opened from the animation maker's Test, it cycles the
// palette of its temporary file for real ticks, and a mouse click on the
// picture deletes the file and closes it.

#include "codec/palette_rotation.h"
#include "image/aniform1.h"
#include "image/aniform2.h"
#include "logo/form1.h"
#include "support/desktop_test_support.h"
#include "support/fake_host.h"
#include "support/logo_bytes.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "support/recording_host.h"
#include "ui/forms.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <vector>

using namespace vantrel;
using vantrel::test::CountingDesktopHost;
using vantrel::test::LogoBytes;
using vantrel::test::TempDrive;
using vantrel::test::TempTmpDir;
using vantrel::test::TempUserDirectories;

class AniForm2EndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cyclesTheFileOnRealTicksAndAClickDeletesIt_data();
    void cyclesTheFileOnRealTicksAndAClickDeletesIt();
};

void AniForm2EndToEndTest::cyclesTheFileOnRealTicksAndAClickDeletesIt_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("reverse");
    QTest::newRow("S = 236 forward") << 236 << false;
    QTest::newRow("S = 200 reverse") << 200 << true;
}

void AniForm2EndToEndTest::cyclesTheFileOnRealTicksAndAClickDeletesIt()
{
    QFETCH(int, start);
    QFETCH(bool, reverse);

    TempUserDirectories user;
    TempDrive drive;
    TempTmpDir tmp;
    drive.makeDirectory("WINDOWS");
    LogoBytes logo;
    for (int i = 0; i < 256; ++i)
        logo.setColour(i, std::uint8_t(i), std::uint8_t(i * 3), std::uint8_t(255 - i));
    const QByteArray source = logo.bytes();
    drive.write("sky.bmp", source);

    CountingDesktopHost host;
    ProgramForms forms(host);
    Form1 &main = forms.show<Form1>();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    main.setLabel1Caption(drive.path("sky.bmp"));
    QTest::mouseClick(main.vog, Qt::LeftButton);
    AniForm1 *maker = forms.find<AniForm1>();
    QVERIFY(maker != nullptr);
    maker->Spin->setValue(start);
    maker->Check1->setChecked(reverse);
    QTest::mouseClick(maker->Command4, Qt::LeftButton);

    QPointer<aniForm2> preview = forms.find<aniForm2>();
    QVERIFY(preview);
    QVERIFY(QTest::qWaitForWindowExposed(preview.data()));
    QCOMPARE(preview->windowTitle(), drive.path("sky.bmp") + "  -  Click Image to Close");
    const QString temp = preview->TempName;
    QCOMPARE(tmp.names(), QStringList{QFileInfo(temp).fileName()});

    // At least 25 real ticks, 1.75 s at 70 ms a tick.
    QTRY_VERIFY_WITH_TIMEOUT(preview->ticks() >= 25, 10000);
    // Nothing else runs between these reads: the file holds exactly as
    // many steps as the window has shown.
    const int ticks = preview->ticks();
    QFile file(temp);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray now = file.readAll();
    file.close();
    std::vector<std::uint8_t> expected(source.begin(), source.begin() + 1078);
    for (int k = 0; k < ticks; ++k)
        Rotate(expected, start, reverse);
    QCOMPARE(now.left(1078), QByteArray(reinterpret_cast<const char *>(expected.data()), 1078));
    QCOMPARE(now.mid(1078), source.mid(1078));
    QCOMPARE(host.beeps, 0);

    QTest::mouseClick(preview->Image1, Qt::LeftButton, {}, QPoint(267, 200));
    QVERIFY(!QFile::exists(temp));
    QCOMPARE(tmp.names(), QStringList{});
    QVERIFY(!forms.isLoaded<aniForm2>());
    QTRY_VERIFY(preview.isNull());
    QVERIFY(forms.isLoaded<AniForm1>());
    QCOMPARE(host.beeps, 0);
}

VANTREL_QT_TEST(AniForm2EndToEndTest)
#include "aniform2_e2e_test.moc"
