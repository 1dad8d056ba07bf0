// The viewer on its own, through the test host: which file each slot
// looks for with a given Windows directory (an empty one included), that
// any picture there is shown whatever its size, and what a missing one
// leaves behind.

#include "logo/viewer.h"
#include "support/encoded_image.h"
#include "support/fake_host.h"
#include "support/qt_test.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(vantrel::LogoSlot)

using namespace vantrel;
using vantrel::test::FakeHost;
using vantrel::test::TempDrive;

namespace {

const QString kCannotViewStartup =
    QStringLiteral("The startup screen is set to default and cannot be viewed.");
const QString kCannotView =
    QStringLiteral("Error, -the file could not be found.  Try selecting a file, should this "
                   "problem persist contact Brontic");

// A 7 x 3 bitmap: no logo, but a picture.
QByteArray smallBitmap()
{
    QImage image(7, 3, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    return test::encodedImage(image);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class ViewerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void theSlotsFile_data();
    void theSlotsFile();

private:
    QTemporaryDir m_current;
    QString m_previous;
};

void ViewerTest::init()
{
    m_previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_current.path()));
}

void ViewerTest::cleanup()
{
    QVERIFY(QDir::setCurrent(m_previous));
}

void ViewerTest::theSlotsFile_data()
{
    QTest::addColumn<LogoSlot>("slot");
    QTest::addColumn<QString>("windowsDirectory");
    // The program path looked for, and where that is: "drive/..." on the
    // temporary drive, "current/..." in the current directory.
    QTest::addColumn<QString>("looksFor");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("message");

    QTest::newRow("start-up") << LogoSlot::Startup << "C:\\WINDOWS\\"
                              << "C:\\logo.sys"
                              << "drive/logo.sys" << kCannotViewStartup;
    QTest::newRow("start-up, no Windows directory") << LogoSlot::Startup << ""
                                                    << "C:\\logo.sys"
                                                    << "drive/logo.sys" << kCannotViewStartup;
    QTest::newRow("shutdown, another Windows directory") << LogoSlot::Shutdown << "C:\\WIN98\\"
                                                         << "C:\\WIN98\\logow.sys"
                                                         << "drive/WIN98/logow.sys" << kCannotView;
    QTest::newRow("shutdown, no Windows directory") << LogoSlot::Shutdown << ""
                                                    << "logow.sys"
                                                    << "current/logow.sys" << kCannotView;
    QTest::newRow("switch-off, no Windows directory") << LogoSlot::SwitchOff << ""
                                                      << "logos.sys"
                                                      << "current/logos.sys" << kCannotView;
}

void ViewerTest::theSlotsFile()
{
    QFETCH(LogoSlot, slot);
    QFETCH(QString, windowsDirectory);
    QFETCH(QString, looksFor);
    QFETCH(QString, where);
    QFETCH(QString, message);

    TempDrive drive;
    FakeHost host;
    QLabel preview;
    QPushButton edit;
    edit.setEnabled(false);
    const QString native =
        where.startsWith("drive/") ? drive.path(where.mid(6)) : m_current.filePath(where.mid(8));

    // Missing: the message, and Edit bitmap ends up disabled.
    ViewSlot(host, slot, windowsDirectory, preview, edit);
    QCOMPARE(host.picturesLoaded, QStringList{looksFor});
    QCOMPARE(host.messages, QStringList{message});
    QVERIFY(!edit.isEnabled());
    QVERIFY(preview.pixmap().isNull());

    // There, and a picture of any size: shown, and Edit bitmap enabled.
    writeFile(native, smallBitmap());
    host.messages.clear();
    ViewSlot(host, slot, windowsDirectory, preview, edit);
    QVERIFY(host.messages.isEmpty());
    QVERIFY(edit.isEnabled());
    QCOMPARE(preview.pixmap().size(), QSize(7, 3));
    const qint64 shown = preview.pixmap().cacheKey();

    // Gone again: the preview keeps what it showed.
    QVERIFY(QFile::remove(native));
    ViewSlot(host, slot, windowsDirectory, preview, edit);
    QCOMPARE(host.messages, QStringList{message});
    QVERIFY(!edit.isEnabled());
    QCOMPARE(preview.pixmap().cacheKey(), shown);
}

VANTREL_QT_TEST(ViewerTest)
#include "viewer_test.moc"
