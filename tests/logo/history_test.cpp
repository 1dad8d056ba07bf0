// The History window through the test host (rows, thumbnails, marks, the
// palette cycling, Put Back as undo --to, Open, following the store), and
// end to end with the real host on a temporary drive.

#include "codec/picture.h"
#include "logo/history.h"
#include "support/child_process.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/logo_bytes.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "ui/desktop_host.h"
#include "ui/stretched_picture.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace vantrel;
using vantrel::test::FakeHost;
using vantrel::test::LogoBytes;
using vantrel::test::TempDrive;

namespace {

const QString kWindows = QStringLiteral("C:\\WINDOWS\\");

// A drive whose start-up slot held an animated logo A (the original), then
// logo B, then a text, and holds B again; the shutdown slot's one copy is
// damaged.
struct Scene {
    Scene()
    {
        a.clrImportant = 236;
        b.setColour(0, 0xff, 0, 0);
        drive.makeInstallation();
        drive.write("logo.sys", a.bytes());
        drive.write("pics/b.bmp", b.bytes());
        drive.write("pics/t.txt", "not a picture");
        drive.write("WINDOWS/logow.sys", "old shutdown");
        for (const char *source : {"C:\\pics\\b.bmp", "C:\\pics\\t.txt", "C:\\pics\\b.bmp"})
            ChangeSlot(host, LogoSlot::Startup, source, kWindows);
        ChangeSlot(host, LogoSlot::Shutdown, "C:\\pics\\b.bmp", kWindows);
        QFile::resize(keptCopies(host, LogoSlot::Shutdown, "C:\\WINDOWS\\logow.sys")[0].path, 3);
    }

    std::vector<KeptCopy> startup() { return keptCopies(host, LogoSlot::Startup, "C:\\logo.sys"); }

    TempDrive drive;
    LogoBytes a;
    LogoBytes b;
    FakeHost host;
};

} // namespace

class HistoryTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rowsThumbnailsMarksAndTheCyclingPicture();
    void putBackIsUndoToTheCopy();
    void openAndFollowTheStoreChangedByAnotherProcess();
    void changeStartupTwiceThenPutBackTheFirst();
};

void HistoryTest::rowsThumbnailsMarksAndTheCyclingPicture()
{
    Scene scene;
    ProgramForms forms(scene.host);
    HistoryForm &form = forms.show<HistoryForm>();
    QCOMPARE(form.windowTitle() + form.Lists[0]->objectName(), "HistoryStartupList");
    const std::vector<KeptCopy> copies = scene.startup();
    const auto time = [&](std::size_t i) { return keptTimeText(copies[i].keptAt); };
    QListWidget &startup = *form.Lists[0];
    QCOMPARE(startup.count(), 3);
    QCOMPARE(startup.item(0)->text(), time(0) + "   13 bytes   change\nnot a logo bitmap: 13 "
                                                "bytes, expected 129078");
    QCOMPARE(startup.item(1)->text(), time(1) + "   129078 bytes   change");
    QCOMPARE(startup.item(2)->text(), time(2) + "   129078 bytes   change   original");
    const QImage thumbnail = startup.item(2)->icon().pixmap(64, 48).toImage();
    QCOMPARE(thumbnail.convertToFormat(QImage::Format_RGB32),
             stretchNearest(decodePicture(scene.a.bytes(), "A"), QSize(64, 48)));
    QCOMPARE(startup.item(0)->icon().pixmap(64, 48).toImage().pixel(9, 9), qRgb(255, 255, 255));

    QCOMPARE(form.Lists[1]->count(), 1);
    QVERIFY(form.Lists[1]->item(0)->text().endsWith(
        "   12 bytes   change   original\ndamaged: its bytes no longer match what was kept"));
    form.Lists[1]->setCurrentRow(0);
    QVERIFY(!form.PutBack->isEnabled());
    QVERIFY(!form.OpenCopy->isEnabled());
    QCOMPARE(form.Lists[2]->item(0)->text(), QStringLiteral("Nothing kept yet."));
    QCOMPARE(form.Lists[2]->item(0)->flags(), Qt::NoItemFlags);

    // A animates: its palette turns as in the preview. B does not.
    form.Lists[0]->setCurrentRow(2);
    QVERIFY(form.PutBack->isEnabled());
    QCOMPARE(form.Picture->picture(), decodePicture(scene.a.bytes(), "A"));
    scene.host.advance(70);
    QCOMPARE(form.Picture->picture().color(236), qRgb(237, 237, 237));
    QCOMPARE(form.Picture->picture().color(255), qRgb(236, 236, 236));
    form.Lists[0]->setCurrentRow(1);
    scene.host.advance(700);
    QCOMPARE(form.Picture->picture(), decodePicture(scene.b.bytes(), "B"));
}

// What is kept and what the slot holds, for comparing two drives.
static QStringList stateOf(Scene &scene)
{
    QStringList state{QString::fromLatin1(scene.drive.read("logo.sys").toHex().left(200))};
    for (const KeptCopy &copy : scene.startup())
        state << copy.sha256 + ' ' + copy.operation + (copy.original ? " original" : "");
    return state;
}

void HistoryTest::putBackIsUndoToTheCopy()
{
    QStringList byCommand;
    {
        Scene command;
        UndoSlot(command.host, LogoSlot::Startup, kWindows,
                 {UndoTarget::Id, command.startup()[2].id()});
        byCommand = stateOf(command);
    }
    Scene window;
    ProgramForms forms(window.host);
    HistoryForm &form = forms.show<HistoryForm>();
    form.Lists[0]->setCurrentRow(2);
    QTest::mouseClick(form.PutBack, Qt::LeftButton);
    QCOMPARE(window.drive.read("logo.sys"), window.a.bytes());
    QCOMPARE(window.host.messages, QStringList());
    QCOMPARE(stateOf(window), byCommand);
    // The list shows what the slot replaced, and keeps the copy selected.
    QCOMPARE(form.Lists[0]->count(), 3);
    QVERIFY(form.Lists[0]->item(0)->text().endsWith("   129078 bytes   undo"));
    QCOMPARE(form.Lists[0]->currentRow(), 2);
    QTest::mouseClick(form.PutBack, Qt::LeftButton);
    QCOMPARE(window.host.messages, QStringList("The startup slot holds this copy already."));

    // A copy damaged since it was listed is refused, and then marked.
    window.host.messages.clear();
    form.Lists[0]->setCurrentRow(1);
    const KeptCopy text = window.startup()[1];
    QFile(text.path).resize(3);
    QTest::mouseClick(form.PutBack, Qt::LeftButton);
    QCOMPARE(window.host.messages,
             QStringList("Vantrel could not put back the startup logo: the kept copy " + text.id() +
                         " (" + text.path + ") no longer holds what was kept; the next good " +
                         "copy is " + window.startup()[0].id()));
    QCOMPARE(window.drive.read("logo.sys"), window.a.bytes());
    QVERIFY(form.Lists[0]->item(1)->text().contains("\ndamaged: "));
    QVERIFY(!form.PutBack->isEnabled());
}

void HistoryTest::openAndFollowTheStoreChangedByAnotherProcess()
{
    Scene scene;
    ProgramForms forms(scene.host);
    HistoryForm &form = forms.show<HistoryForm>();
    form.Lists[0]->setCurrentRow(2);
    QTest::mouseClick(form.OpenCopy, Qt::LeftButton);
    const QString first = forms.loadMainWindow().currentFile();
    QCOMPARE(test::fileBytes(first), scene.a.bytes());
    form.Lists[0]->setCurrentRow(1);
    QTest::mouseClick(form.OpenCopy, Qt::LeftButton);
    QCOMPARE(test::fileBytes(forms.loadMainWindow().currentFile()), scene.b.bytes());
    QVERIFY(!QFile::exists(first) && forms.find<Form1>()->chstart->isEnabled());

    scene.drive.write("pics/c.bmp", "picture C");
    test::runInChild([] {
        FakeHost other;
        ChangeSlot(other, LogoSlot::Startup, "C:\\pics\\c.bmp", kWindows);
        ChangeSlot(other, LogoSlot::Startup, "C:\\pics\\t.txt", kWindows);
    });
    QCOMPARE(form.Lists[0]->count(), 3);
    scene.host.advance(1000);
    QCOMPARE(form.Lists[0]->count(), 4);
    QCOMPARE(form.Lists[0]->currentRow(), 1);
    QCOMPARE(form.Lists[0]->item(1)->text().section("   ", 1), "129078 bytes   change");
}

// With the real host: Change Startup with one logo, then another, then
// Put Back the first in the History window the View menu opens.
void HistoryTest::changeStartupTwiceThenPutBackTheFirst()
{
    TempDrive drive;
    drive.makeInstallation();
    LogoBytes first;
    first.setColour(3, 1, 2, 3);
    drive.write("first.bmp", first.bytes());
    drive.write("second.bmp", LogoBytes().bytes());
    DesktopHost host;
    ProgramForms forms(host);
    Form1 &main = forms.show<Form1>();
    for (const char *file : {"first.bmp", "second.bmp"}) {
        main.setLabel1Caption(drive.path(file));
        QTest::mouseClick(main.chstart, Qt::LeftButton);
    }
    QCOMPARE(drive.read("logo.sys"), LogoBytes().bytes());
    main.Vhist->trigger();
    auto *form = forms.find<HistoryForm>();
    QVERIFY(form != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QCOMPARE(form->Lists[0]->count(), 1);
    form->Lists[0]->setCurrentRow(0);
    QTest::mouseClick(form->PutBack, Qt::LeftButton);
    QCOMPARE(drive.read("logo.sys"), first.bytes());
    QCOMPARE(form->Lists[0]->count(), 2);
}

VANTREL_QT_TEST(HistoryTest)
#include "history_test.moc"
