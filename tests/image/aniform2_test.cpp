// The palette-cycling preview through the test host, whose timers tick
// only when the test advances them: what its temporary file holds at load
// and after every tick, what it shows, how it closes (and that its file
// goes every way), how a failed opening or a failed tick ends it, and that
// it keeps its inputs whatever the animation maker does afterwards.

#include "image/aniform1.h"
#include "image/aniform2.h"
#include "logo/form1.h"
#include "support/files.h"
#include "support/logo_bytes.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "support/recording_host.h"
#include "ui/forms.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTest>

#include <cmath>

using namespace vantrel;
using vantrel::test::LogoBytes;
using vantrel::test::RecordingHost;
using vantrel::test::TempDrive;
using vantrel::test::TempTmpDir;

namespace {

// A logo whose palette entries all differ, so a misplaced entry shows.
QByteArray distinctLogo()
{
    LogoBytes logo;
    for (int i = 0; i < 256; ++i)
        logo.setColour(i, std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 7));
    return logo.bytes();
}

// The source after `steps` steps: entry i of S..255 holds the colour the
// source had at S + (i - S + steps) mod n forward, and at
// S + (i - S - steps) mod n in reverse, n = 256 - S. Nothing else moves.
QByteArray rotatedBy(const QByteArray &source, int start, bool reverse, int steps)
{
    QByteArray out = source;
    const int n = 256 - start;
    for (int i = start; i <= 255; ++i) {
        const int shift = reverse ? -steps : steps;
        const int from = start + (((i - start + shift) % n) + n) % n;
        for (int b = 0; b < 4; ++b)
            out[qsizetype(entryOffset(i)) + b] = source[qsizetype(entryOffset(from)) + b];
    }
    return out;
}

QList<QRgb> paletteOf(const QByteArray &file)
{
    QList<QRgb> colours;
    for (int i = 0; i < 256; ++i) {
        const auto at = qsizetype(entryOffset(i));
        colours << qRgb(std::uint8_t(file[at + 2]), std::uint8_t(file[at + 1]),
                        std::uint8_t(file[at]));
    }
    return colours;
}

// The main window, the maker and (once opened) the preview, on a fresh
// drive, with temporary files in a directory of the test's own.
struct Preview {
    Preview() : forms(host)
    {
        main = &forms.load<Form1>();
        maker = &forms.show<AniForm1>();
    }

    // Opens the preview with Test for a source with these bytes; returns it
    // or null when it did not open.
    aniForm2 *open(int start, int check, const QByteArray &bytes = distinctLogo())
    {
        drive.write("logo.bmp", bytes);
        maker->Src->setText(drive.path("logo.bmp"));
        maker->Spin->setValue(start);
        maker->setCheck1Value(check);
        maker->Command4->click();
        return forms.find<aniForm2>();
    }

    QStringList tempFiles() const { return tmp.names(); }

    TempDrive drive;
    TempTmpDir tmp;
    RecordingHost host;
    ProgramForms forms;
    Form1 *main = nullptr;
    AniForm1 *maker = nullptr;
};

} // namespace

class AniForm2Test : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowFrame();
    void firstPictureIsTheSourceAndTheFirstStepComesAtTheFirstTick();
    void fileAndPictureTickByTick_data();
    void fileAndPictureTickByTick();
    void stretchIsNearestNeighbour();
    void stretchSamplesPixelCentres_data();
    void stretchSamplesPixelCentres();

    void everyWayOfClosingRemovesTheFile_data();
    void everyWayOfClosingRemovesTheFile();
    void aPreviewDestroyedWhileOpenTakesItsFile();
    void failedOpeningLeavesNothing_data();
    void failedOpeningLeavesNothing();
    void failedTickEndsThePreviewOnce_data();
    void failedTickEndsThePreviewOnce();

    void keepsItsInputsWhateverTheMakerDoes();
};

void AniForm2Test::windowFrame()
{
    Preview preview;
    aniForm2 *form = preview.open(236, 0);
    QVERIFY(form != nullptr);
    QCOMPARE(form->objectName(), QStringLiteral("aniForm2"));
    QCOMPARE(form->windowTitle(), preview.drive.path("logo.bmp") + "  -  Click Image to Close");
    QCOMPARE(form->size(), QSize(534, 400));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QCOMPARE(form->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(form->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form->Image1->geometry(), QRect(0, 0, 534, 400));
    QVERIFY(form->isVisible());
    QVERIFY(!form->isModal());
    // Centred on 640 x 480 by the outer size, once the window system
    // reports the frame: with no frame (9600 - 8010) / 2 twips = 53 pixels
    // across, (7200 - 6000) / 2 = 40 down, and half the frame less with one.
    // (Qt's offscreen platform reports a frame at once, a window manager
    // soon after the window is shown, a bare X server none.)
    QVERIFY(QTest::qWaitForWindowExposed(form));
    if (!QTest::qWaitFor([&] { return form->frameGeometry().size() != form->size(); }, 2000))
        qInfo("no frame reported: placed by the client area alone");
    QTRY_COMPARE(form->frameGeometry().topLeft(),
                 QPoint(int(std::lround((640 - form->frameGeometry().width()) / 2.0)),
                        int(std::lround((480 - form->frameGeometry().height()) / 2.0))));
    QCOMPARE(form->EntryPos, std::int16_t(54 + 4 * 236));
    QCOMPARE(form->TailLen, std::int16_t(4 * (255 - 236)));
    QVERIFY(!form->RevFlag);
    QVERIFY(QFileInfo(form->TempName).fileName().startsWith("Vog"));
    QCOMPARE(QFileInfo(form->TempName).absolutePath(),
             QFileInfo(preview.tmp.path()).absoluteFilePath());
    QVERIFY(preview.maker->isEnabled());
    QCOMPARE(preview.host.beeps, 0);
    QCOMPARE(preview.host.saved.size(), std::size_t(4));
}

void AniForm2Test::firstPictureIsTheSourceAndTheFirstStepComesAtTheFirstTick()
{
    Preview preview;
    const QByteArray source = distinctLogo();
    aniForm2 *form = preview.open(236, 0, source);
    QVERIFY(form != nullptr);
    QCOMPARE(test::fileBytes(form->TempName), source);
    QCOMPARE(form->Image1->picture().colorTable(), paletteOf(source));
    QCOMPARE(form->ticks(), 0);
    QCOMPARE(preview.host.runningTimers(), 1);

    preview.host.advance(69);
    QCOMPARE(form->ticks(), 0);
    QCOMPARE(test::fileBytes(form->TempName), source);
    preview.host.advance(1);
    QCOMPARE(form->ticks(), 1);
    QCOMPARE(test::fileBytes(form->TempName), rotatedBy(source, 236, false, 1));
    QCOMPARE(form->Image1->picture().colorTable(), paletteOf(rotatedBy(source, 236, false, 1)));
    preview.host.advance(140);
    QCOMPARE(form->ticks(), 3);
}

void AniForm2Test::fileAndPictureTickByTick_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("check");

    QTest::newRow("S = 236 forward") << 236 << 0;
    QTest::newRow("S = 236 reverse") << 236 << 1;
    QTest::newRow("S = 236 greyed is forward") << 236 << 2;
    QTest::newRow("S = 1 forward") << 1 << 0;
    QTest::newRow("S = 1 reverse") << 1 << 1;
    QTest::newRow("S = 255 forward") << 255 << 0;
    QTest::newRow("S = 255 reverse") << 255 << 1;
    QTest::newRow("S = 254 reverse") << 254 << 1;
}

void AniForm2Test::fileAndPictureTickByTick()
{
    QFETCH(int, start);
    QFETCH(int, check);

    Preview preview;
    const QByteArray source = distinctLogo();
    aniForm2 *form = preview.open(start, check, source);
    QVERIFY(form != nullptr);
    QCOMPARE(form->RevFlag, check == 1);
    const int cycle = 256 - start;
    for (int step = 1; step <= cycle + 1; ++step) {
        preview.host.advance(70);
        QCOMPARE(form->ticks(), step);
        const QByteArray expected = rotatedBy(source, start, check == 1, step);
        const QByteArray file = test::fileBytes(form->TempName);
        if (file != expected) {
            for (qsizetype i = 0; i < file.size(); ++i)
                QVERIFY2(file[i] == expected[i],
                         qPrintable(QStringLiteral("step %1: byte %2 differs").arg(step).arg(i)));
        }
        QCOMPARE(form->Image1->picture().colorTable(), paletteOf(expected));
        if (step == cycle)
            QCOMPARE(file, source);
    }
    QCOMPARE(preview.host.beeps, 0);
    QCOMPARE(preview.tempFiles().size(), 1);
}

void AniForm2Test::stretchIsNearestNeighbour()
{
    Preview preview;
    const QByteArray source = distinctLogo();
    aniForm2 *form = preview.open(236, 0, source);
    QVERIFY(form != nullptr);
    preview.host.advance(7 * 70);
    const QImage picture = form->Image1->picture();
    const QImage shown = form->Image1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(picture.size(), QSize(320, 400));
    QCOMPARE(shown.size(), QSize(534, 400));

    const QList<QRgb> table = picture.colorTable();
    const QSet<QRgb> palette(table.begin(), table.end());
    const auto column = [](const QImage &image, int x) {
        QList<QRgb> pixels;
        for (int y = 0; y < image.height(); ++y)
            pixels << (image.pixel(x, y) | 0xff000000);
        return pixels;
    };
    // Every shown column is one whole column of the picture, in order, and
    // every column of the picture is shown once or twice.
    QList<int> used(320, 0);
    int from = 0;
    for (int x = 0; x < shown.width(); ++x) {
        const QList<QRgb> pixels = column(shown, x);
        for (const QRgb pixel : pixels)
            QVERIFY2(palette.contains(pixel), qPrintable(QString::number(pixel, 16)));
        while (from < 320 && column(picture, from) != pixels)
            ++from;
        QVERIFY2(from < 320, qPrintable(QStringLiteral("shown column %1").arg(x)));
        ++used[from];
    }
    for (int x = 0; x < 320; ++x)
        QVERIFY2(used[x] == 1 || used[x] == 2, qPrintable(QString::number(x)));
}

void AniForm2Test::stretchSamplesPixelCentres_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("indexed");
    QTest::addColumn<QList<int>>("columns");

    QTest::newRow("3 to 5") << 3 << 5 << true << QList<int>{0, 0, 1, 2, 2};
    QTest::newRow("4 to 2") << 4 << 2 << true << QList<int>{1, 3};
    QTest::newRow("2 to 2") << 2 << 2 << true << QList<int>{0, 1};
    QTest::newRow("5 to 8") << 5 << 8 << true << QList<int>{0, 0, 1, 2, 2, 3, 4, 4};
    QTest::newRow("3 to 5, true colour") << 3 << 5 << false << QList<int>{0, 0, 1, 2, 2};
}

void AniForm2Test::stretchSamplesPixelCentres()
{
    QFETCH(int, width);
    QFETCH(int, to);
    QFETCH(bool, indexed);
    QFETCH(QList<int>, columns);

    // Column x of the picture has colour x, and the two rows differ.
    QImage picture(width, 2, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < 256; ++i)
        table << qRgb(i, 200, 255 - i);
    picture.setColorTable(table);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, uint(x + 100 * y));
    if (!indexed)
        picture = picture.convertToFormat(QImage::Format_RGB32);

    const QImage shown = stretchNearest(picture, QSize(to, 2));
    QCOMPARE(shown.format(), QImage::Format_RGB32);
    QCOMPARE(shown.size(), QSize(to, 2));
    for (int y = 0; y < 2; ++y) {
        QList<int> found;
        for (int x = 0; x < to; ++x) {
            const QRgb pixel = shown.pixel(x, y);
            QCOMPARE(qAlpha(pixel), 255);
            found << qRed(pixel) - 100 * y;
        }
        QCOMPARE(found, columns);
    }
    QVERIFY(stretchNearest(QImage(), QSize(5, 5)).isNull());
    QVERIFY(stretchNearest(picture, QSize(0, 5)).isNull());
}

void AniForm2Test::everyWayOfClosingRemovesTheFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("click on the picture") << "click";
    QTest::newRow("title bar's close box") << "close box";
    QTest::newRow("Exit in the main window") << "exit";
    QTest::newRow("a failed tick") << "tick";
}

void AniForm2Test::everyWayOfClosingRemovesTheFile()
{
    QFETCH(QString, how);

    Preview preview;
    QPointer<aniForm2> form = preview.open(236, 0);
    QVERIFY(form);
    QVERIFY(QTest::qWaitForWindowExposed(form.data()));
    const QString first = form->TempName;
    QCOMPARE(preview.tempFiles(), QStringList{QFileInfo(first).fileName()});
    preview.host.advance(140);

    // A click with another button does nothing.
    QTest::mouseClick(form->Image1, Qt::RightButton, {}, QPoint(10, 10));
    QVERIFY(preview.forms.isLoaded<aniForm2>());

    if (how == "click") {
        QTest::mouseClick(form->Image1, Qt::LeftButton, {}, QPoint(500, 390));
    } else if (how == "close box") {
        QVERIFY(form->close());
    } else if (how == "exit") {
        preview.main->Exit_Click();
    } else {
        preview.host.failLoadAt = preview.host.loads + 1;
        preview.host.advance(70);
    }
    QVERIFY(!preview.forms.isLoaded<aniForm2>());
    QCOMPARE(preview.host.runningTimers(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(form.isNull());
    QCOMPARE(preview.tempFiles(), QStringList{});
    QCOMPARE(preview.host.beeps, how == "tick" ? 1 : 0);
    preview.host.advance(700);
    QCOMPARE(preview.host.beeps, how == "tick" ? 1 : 0);
    if (how == "exit")
        return;

    // The next opening starts afresh with a file of its own.
    QVERIFY(preview.forms.isLoaded<AniForm1>());
    preview.maker->Command4->click();
    aniForm2 *second = preview.forms.find<aniForm2>();
    QVERIFY(second != nullptr);
    QCOMPARE(second->ticks(), 0);
    QVERIFY(second->TempName != first);
    QCOMPARE(preview.tempFiles().size(), 1);
    second->Image1_Click();
    QCOMPARE(preview.tempFiles(), QStringList{});
}

void AniForm2Test::aPreviewDestroyedWhileOpenTakesItsFile()
{
    TempDrive drive;
    TempTmpDir tmp;
    RecordingHost host;
    drive.write("logo.bmp", distinctLogo());
    QString temp;
    {
        // The manager destroys the windows still loaded when it goes, as
        // at the end of the program, without unloading them first.
        ProgramForms forms(host);
        forms.load<Form1>();
        AniForm1 &maker = forms.show<AniForm1>();
        maker.Src->setText(drive.path("logo.bmp"));
        maker.Command4->click();
        QVERIFY(forms.isLoaded<aniForm2>());
        temp = forms.find<aniForm2>()->TempName;
        QVERIFY(QFile::exists(temp));
    }
    QVERIFY(!QFile::exists(temp));
    QCOMPARE(tmp.names(), QStringList{});
    QCOMPARE(host.runningTimers(), 0);
}

void AniForm2Test::failedOpeningLeavesNothing_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("129078 bytes that are no picture") << "junk";
    QTest::newRow("source removed after the length test") << "removed";
    QTest::newRow("source cannot be read") << "unreadable";
    QTest::newRow("no temporary directory") << "no temporary directory";
}

void AniForm2Test::failedOpeningLeavesNothing()
{
    QFETCH(QString, failure);

    Preview preview;
    const QString source = preview.drive.path("logo.bmp");
    QByteArray bytes = distinctLogo();
    if (failure == "junk")
        bytes.fill('j');
    else if (failure == "removed")
        preview.host.vanishAfterMeasuring = source;
    else if (failure == "unreadable")
        preview.host.unreadable = source;
    else
        QVERIFY(QDir(preview.tmp.path()).removeRecursively());

    QCOMPARE(preview.open(236, 0, bytes), nullptr);
    QCOMPARE(preview.host.beeps, 1);
    QVERIFY(!preview.forms.isLoaded<aniForm2>());
    QCOMPARE(preview.host.runningTimers(), 0);
    QCOMPARE(preview.tempFiles(), QStringList{});
    QCOMPARE(preview.host.saved.size(), std::size_t(4));
    QVERIFY(preview.forms.isLoaded<AniForm1>());
    QVERIFY(preview.maker->Command3->isEnabled());
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!(window->isVisible() && window->objectName() == "aniForm2"), "a preview shows");
    QVERIFY(preview.host.messages.isEmpty());
}

void AniForm2Test::failedTickEndsThePreviewOnce_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<int>("left"); // entries left in the temporary directory

    QTest::newRow("the file cannot be rewritten") << "directory" << 1 << 1;
    QTest::newRow("the picture cannot be reloaded") << "load" << 1 << 0;
    QTest::newRow("the file is gone") << "gone" << 1 << 0;
    QTest::newRow("click when the file cannot be deleted") << "click" << 0 << 1;
}

void AniForm2Test::failedTickEndsThePreviewOnce()
{
    QFETCH(QString, failure);
    QFETCH(int, beeps);
    QFETCH(int, left);

    Preview preview;
    aniForm2 *form = preview.open(236, 1);
    QVERIFY(form != nullptr);
    preview.host.advance(3 * 70);
    QCOMPARE(form->ticks(), 3);
    const QString temp = form->TempName;
    if (failure == "directory" || failure == "click") {
        // Root writes any file; a directory in its place stops even root.
        QVERIFY(QFile::remove(temp));
        QVERIFY(QDir().mkpath(temp + "/inside"));
    } else if (failure == "load") {
        preview.host.failLoadAt = preview.host.loads + 1;
    } else {
        QVERIFY(QFile::remove(temp));
    }

    if (failure == "click")
        form->Image1_Click();
    else
        preview.host.advance(70);
    QVERIFY(!preview.forms.isLoaded<aniForm2>());
    QCOMPARE(preview.host.runningTimers(), 0);
    QCOMPARE(preview.host.beeps, beeps);
    preview.host.advance(20 * 70);
    QCOMPARE(preview.host.beeps, beeps);
    QCOMPARE(preview.tempFiles().size(), left);
    QVERIFY(preview.forms.isLoaded<AniForm1>());
    QVERIFY(preview.host.messages.isEmpty());
}

void AniForm2Test::keepsItsInputsWhateverTheMakerDoes()
{
    Preview preview;
    const QByteArray source = distinctLogo();
    QPointer<aniForm2> form = preview.open(236, 0, source);
    QVERIFY(form);
    const QString caption = form->windowTitle();
    const QString temp = form->TempName;
    preview.host.advance(70);

    preview.drive.write("other.bmp", LogoBytes().bytes());
    preview.maker->Src->setText(preview.drive.path("other.bmp"));
    preview.maker->Spin->setValue(240);
    preview.maker->setCheck1Value(1);
    // Test again: the settings once more, and the same preview brought
    // forward with its old inputs.
    preview.maker->Command4->click();
    QCOMPARE(preview.forms.find<aniForm2>(), form.data());
    QCOMPARE(preview.host.saved.size(), std::size_t(8));
    QCOMPARE(preview.host.saved[6], QStringLiteral("Starting Entry=240"));
    QCOMPARE(form->TempName, temp);
    QCOMPARE(form->windowTitle(), caption);
    QCOMPARE(preview.tempFiles().size(), 1);

    // Closing the maker leaves the preview cycling as it was opened.
    preview.maker->Close->click();
    QVERIFY(!preview.forms.isLoaded<AniForm1>());
    preview.host.advance(4 * 70);
    QCOMPARE(form->ticks(), 5);
    QCOMPARE(test::fileBytes(temp), rotatedBy(source, 236, false, 5));
    QCOMPARE(preview.host.beeps, 0);
    form->Image1_Click();
    QCOMPARE(preview.tempFiles(), QStringList{});
}

VANTREL_QT_TEST(AniForm2Test)
#include "aniform2_test.moc"
