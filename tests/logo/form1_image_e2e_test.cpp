// The main window on a drive C that is an emulator's disk image. With the
// real desktop host: Change Startup writes into the image, View shows what
// the image holds, Restore Startup takes it out again. With the test host:
// an image the emulator still holds is refused, naming the emulator.

#include "logo/form1.h"
#include "support/disk_images.h"
#include "support/encoded_image.h"
#include "support/fake_host.h"
#include "support/logo_bytes.h"
#include "support/modal_driver.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "support/scoped_variable.h"
#include "ui/desktop_host.h"
#include "ui/forms.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace vantrel;
using vantrel::test::ImageKind;
using vantrel::test::recordNextMessageBox;
using vantrel::test::ScopedVariable;
using vantrel::test::TempImage;

namespace {

QByteArray bitmap(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return test::encodedImage(image);
}

} // namespace

class Form1ImageEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void changeStartupWritesIntoTheImageAndViewShowsIt_data();
    void changeStartupWritesIntoTheImageAndViewShowsIt();
    void changeOnAnImageInUseSaysWhoHoldsItAndWritesNothing();
};

void Form1ImageEndToEndTest::changeStartupWritesIntoTheImageAndViewShowsIt_data()
{
    QTest::addColumn<ImageKind>("kind");
    QTest::newRow("FAT16 disk") << ImageKind::Fat16Disk;
    QTest::newRow("fixed VHD") << ImageKind::FixedVhd;
}

void Form1ImageEndToEndTest::changeStartupWritesIntoTheImageAndViewShowsIt()
{
    QFETCH(ImageKind, kind);
    const TempImage image(kind);
    image.makeInstallation();
    const ScopedVariable drive("VANTREL_DRIVE_C", QFile::encodeName(image.path()));
    QTemporaryDir pictures;
    const QByteArray logo = test::LogoBytes().bytes();
    const QString logoPath = pictures.filePath("sky.bmp");
    const QString smallPath = pictures.filePath("small.bmp");
    for (const auto &[path, bytes] :
         {std::pair{logoPath, logo}, {smallPath, bitmap(8, 8, 0xff0000)}}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    DesktopHost host;
    ProgramForms forms(host);
    Form1 &form = forms.show<Form1>();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QString unexpected;
    recordNextMessageBox(&unexpected, 30);

    form.setLabel1Caption(logoPath);
    QTest::mouseClick(form.chstart, Qt::LeftButton);
    QCOMPARE(image.read("/logo.sys"), std::optional<QByteArray>(logo));
    QVERIFY(!form.chstart->isEnabled());
    QCOMPARE(image.fsckProblems(), QString());

    // Another picture in the preview, then View Startup: what shows is the
    // logo, read out of the image.
    form.setLabel1Caption(smallPath);
    QCOMPARE(form.open->pixmap().size(), QSize(8, 8));
    form.vstart->trigger();
    QCOMPARE(form.open->pixmap().size(), QSize(320, 400));
    QCOMPARE(form.open->pixmap().toImage().pixel(0, 399),
             QImage::fromData(logo).convertToFormat(QImage::Format_RGB32).pixel(0, 399));

    QTest::mouseClick(form.Command2, Qt::LeftButton);
    QCOMPARE(image.read("/logo.sys"), std::optional<QByteArray>());
    QCOMPARE(image.fsckProblems(), QString());
    QTest::qWait(100);
    QCOMPARE(unexpected, QString());
}

// Through the test host: the machine still runs, so Change Shutdown is
// refused with the reason naming the emulator, the Change button stays
// enabled and the image is untouched.
void Form1ImageEndToEndTest::changeOnAnImageInUseSaysWhoHoldsItAndWritesNothing()
{
    const TempImage image(ImageKind::Fat16Disk);
    image.makeInstallation();
    const ScopedVariable drive("VANTREL_DRIVE_C", QFile::encodeName(image.path()));
    QTemporaryDir pictures;
    const QString logoPath = pictures.filePath("sky.bmp");
    {
        QFile file(logoPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(test::LogoBytes().bytes());
    }
    const QByteArray before = image.bytes();
    const test::HeldImage held(image.path(), "86Box", test::Hold::OpenForWriting);

    test::FakeHost host;
    ProgramForms forms(host);
    Form1 &form = forms.show<Form1>();
    form.setLabel1Caption(logoPath);
    QTest::mouseClick(form.chshut, Qt::LeftButton);

    QCOMPARE(host.messages,
             QStringList{QStringLiteral("Vantrel could not change the shutdown logo: cannot write "
                                        "C:\\WINDOWS\\logow.sys: the disk image %1 is in use by "
                                        "86Box (process %2); shut the machine down first")
                             .arg(image.path())
                             .arg(held.pid())});
    QVERIFY(form.chshut->isEnabled());
    QCOMPARE(image.bytes(), before);
}

VANTREL_QT_TEST(Form1ImageEndToEndTest)
#include "form1_image_e2e_test.moc"
