// The Make Logo window with the real desktop host on a temporary drive:
// a PNG dropped on it, a band at the bottom chosen, Use saving through the
// real file dialog, and Change Startup installing a logo bitmap that
// passes check.

#include "codec/logo_format.h"
#include "image/logo_file.h"
#include "image/make_logo.h"
#include "logo/form1.h"
#include "support/desktop_test_support.h"
#include "support/drop_file.h"
#include "support/encoded_image.h"
#include "support/fake_host.h"
#include "support/modal_driver.h"
#include "support/program_forms.h"
#include "support/qt_test.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace vantrel;

class MakeLogoEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void droppedPictureBecomesTheStartupLogo();
};

void MakeLogoEndToEndTest::droppedPictureBecomesTheStartupLogo()
{
    test::TempUserDirectories user;
    test::TempDrive drive;
    drive.makeDirectory("WINDOWS");
    QImage picture(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixelColor(x, y, QColor(x * 255 / 400, y * 255 / 300, 90));
    drive.write("sky.png", test::encodedImage(picture, "PNG"));

    test::CountingDesktopHost host;
    ProgramForms forms(host);
    Form1 &main = forms.show<Form1>();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    main.makelogo->trigger();
    MakeLogo *form = forms.find<MakeLogo>();
    QVERIFY(form != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(form));

    test::dropFile(*form, drive.path("sky.png"));
    QTRY_COMPARE(form->previewsShown(), 1);
    form->Animation->setCurrentIndex(2);
    QTRY_VERIFY(form->Use->isEnabled());
    const std::vector<std::uint8_t> made = form->logo();

    bool timedOut = false;
    test::chooseInNextFileDialog(drive.path("sky.sys"), &timedOut);
    QTest::mouseClick(form->Use, Qt::LeftButton);
    QVERIFY(!timedOut);
    QCOMPARE(main.Label1->text(), drive.path("sky.sys"));
    QTRY_VERIFY(!forms.isLoaded<MakeLogo>());

    QTest::mouseClick(main.chstart, Qt::LeftButton);
    const QByteArray installed = drive.read("logo.sys");
    QCOMPARE(installed,
             QByteArray(reinterpret_cast<const char *>(made.data()), qsizetype(made.size())));
    QCOMPARE(logoProblemOf(host, QStringLiteral("C:\\logo.sys")), QString());
    QCOMPARE(int(std::uint8_t(installed[int(kStartEntryOffset)])), kDefaultStartEntry);
    // The bottom row, stored first, is the band: every pixel cycles.
    for (qsizetype i = 0; i < kLogoWidth; ++i)
        QVERIFY(std::uint8_t(installed[qsizetype(kHeaderBlockLength) + i]) >= kDefaultStartEntry);
    QCOMPARE(host.beeps, 0);
}

VANTREL_QT_TEST(MakeLogoEndToEndTest)
#include "make_logo_e2e_test.moc"
