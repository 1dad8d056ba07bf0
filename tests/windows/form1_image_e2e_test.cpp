// The main window with the real desktop host on a drive C that is an
// emulator's disk image: Change Startup writes into the image, View shows
// what the image holds, Restore Startup takes it out again.

#include "app/forms.h"
#include "host/desktop_host.h"
#include "logo/form1.h"
#include "support/disk_images.h"
#include "support/logo_bytes.h"
#include "support/scoped_variable.h"
#include "windows/modal_driver.h"

#include <QAction>
#include <QBuffer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace vantrel;
using vantrel::test::ImageKind;
using vantrel::test::ScopedVariable;
using vantrel::test::TempImage;
using vantrel::test::whenModal;

namespace {

QByteArray bitmap(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return buffer.data();
}

} // namespace

class Form1ImageEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void changeStartupWritesIntoTheImageAndViewShowsIt_data();
    void changeStartupWritesIntoTheImageAndViewShowsIt();
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
    Forms forms(host);
    Form1 &form = forms.show<Form1>();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QString unexpected;
    whenModal<QMessageBox>(
        [&](QMessageBox &box) {
            unexpected = box.text();
            box.close();
        },
        nullptr, 30);

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

QTEST_MAIN(Form1ImageEndToEndTest)
#include "form1_image_e2e_test.moc"
