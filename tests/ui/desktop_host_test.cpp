// The desktop host's own services: the filter conversion, Qt's file dialog
// as the host sets it up and reads it back, and the message box.

#include "support/fake_host.h"
#include "support/files.h"
#include "support/modal_driver.h"
#include "support/qt_test.h"
#include "support/scoped_variable.h"
#include "support/test_environment.h"
#include "ui/classic_look.h"
#include "ui/desktop_host.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace vantrel;
using vantrel::test::ScopedVariable;
using vantrel::test::TempDrive;
using vantrel::test::whenModal;

namespace {

QLineEdit &nameBox(QFileDialog &dialog)
{
    return *dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

// The names the dialog lists in its current directory, once the listing
// has arrived (Qt reads directories in the background).
QStringList listedNames(QFileDialog &dialog, int atLeast)
{
    auto *view = dialog.findChild<QListView *>(QStringLiteral("listView"));
    QStringList names;
    const bool arrived = QTest::qWaitFor(
        [&] {
            names.clear();
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row)
                names << view->model()->index(row, 0, root).data().toString();
            return names.size() >= atLeast;
        },
        5000);
    if (!arrived)
        return {};
    // Let a late arrival show up too, so that "too many" can be seen.
    QTest::qWait(100);
    names.clear();
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row)
        names << view->model()->index(row, 0, root).data().toString();
    names.sort();
    return names;
}

// What pressing Enter in the dialog comes to, whether or not its button is
// enabled at that moment.
void pressAccept(QFileDialog &dialog)
{
    QMetaObject::invokeMethod(&dialog, "accept");
}

// A home directory of the test's own, with its configuration directory,
// for as long as it lives: where the user's pictures folder and the
// program's settings are looked for.
struct TempHome {
    TempHome()
        : home("HOME", QFile::encodeName(dir.path())),
          configuration("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("config")))
    {
        QDir(dir.path()).mkdir("config");
    }
    QString path(const QString &relative = {}) const
    {
        return relative.isEmpty() ? dir.path() : dir.filePath(relative);
    }

    QTemporaryDir dir;
    ScopedVariable home;
    ScopedVariable configuration;
};

// Where the dialog opens for `fileName`: its directory and the text of its
// name box. The dialog is cancelled.
std::pair<QString, QString> whereItOpens(DesktopHost &host, const QString &fileName)
{
    FileDialog dialog;
    dialog.Filter = QStringLiteral("Bitmaps (*.bmp;*.sys)|*.bmp;*.sys");
    dialog.FileName = fileName;
    std::pair<QString, QString> opened;
    whenModal<QFileDialog>([&](QFileDialog &box) {
        opened = {box.directory().absolutePath(), nameBox(box).text()};
        box.reject();
    });
    host.showFileDialog(dialog, FileDialogKind::Open);
    return opened;
}

// Chooses `path` in an Open dialog that starts with `fileName`.
QString choose(DesktopHost &host, const QString &fileName, const QString &path)
{
    FileDialog dialog;
    dialog.FileName = fileName;
    whenModal<QFileDialog>([&](QFileDialog &box) {
        nameBox(box).setText(path);
        pressAccept(box);
    });
    host.showFileDialog(dialog, FileDialogKind::Open);
    return dialog.FileName;
}

} // namespace

class DesktopHostTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nameFilters_data();
    void nameFilters();
    void wildcards_data();
    void wildcards();

    void openDialogListsMatchingNamesWhateverTheirCase();
    void dosPathOpensInItsDirectoryWithTheNamePreselected();
    void filterIndexSelectsTheEntryAndTitleIsKept_data();
    void filterIndexSelectsTheEntryAndTitleIsKept();
    void cancel_data();
    void cancel();
    void typedPatternIsNeverTheAnswer();
    void startFolder_data();
    void startFolder();
    void fileNameChoosesTheFolder_data();
    void fileNameChoosesTheFolder();
    void lastFolderIsKeptInTheProgramsOwnSettings_data();
    void lastFolderIsKeptInTheProgramsOwnSettings();
    void everyColumnShowsInFull_data();
    void everyColumnShowsInFull();
    void messageBoxIsAWarningTitledVantrel32();
    void messageBoxShowsThePromptAsItIs_data();
    void messageBoxShowsThePromptAsItIs();
    void dialogHistoryStaysInTheTestsOwnConfiguration();
};

void DesktopHostTest::nameFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("description with parentheses")
        << "Bitmaps (*.bmp;*.sys)|*.bmp;*.sys"
        << QStringList{"Bitmaps (*.bmp;*.sys) (*.bmp *.sys)"};
    QTest::newRow("two entries") << "Logo files|*.sys|All files|*.*"
                                 << QStringList{"Logo files (*.sys)", "All files (*.*)"};
    QTest::newRow("blanks around patterns")
        << "Pictures| *.bmp ; *.dib ;" << QStringList{"Pictures (*.bmp *.dib)"};
    QTest::newRow("description without patterns") << "Anything" << QStringList{"Anything (*)"};
    QTest::newRow("empty") << "" << QStringList{};
}

void DesktopHostTest::nameFilters()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(toQtNameFilters(filter), expected);
}

void DesktopHostTest::wildcards_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("expected");
    QTest::newRow("star") << "*.bmp;*.sys" << true;
    QTest::newRow("question mark") << "logo?.sys" << true;
    QTest::newRow("plain name") << "C:\\logo.sys" << false;
    QTest::newRow("empty") << "" << false;
}

void DesktopHostTest::wildcards()
{
    QFETCH(QString, name);
    QFETCH(bool, expected);
    QCOMPARE(hasWildcard(name), expected);
}

void DesktopHostTest::openDialogListsMatchingNamesWhateverTheirCase()
{
    TempDrive drive;
    for (const char *name : {"a.bmp", "B.BMP", "logo.Sys", "notes.txt", "bmp"})
        drive.write(QStringLiteral("pics/") + QLatin1String(name), "x");

    DesktopHost host;
    FileDialog dialog;
    dialog.Filter = QStringLiteral("Bitmaps (*.bmp;*.sys)|*.bmp;*.sys");
    dialog.FilterIndex = 1;
    dialog.FileName = QStringLiteral("C:\\PICS\\*.bmp;*.sys");
    QString shownText;
    QString shownDirectory;
    QString shownFilter;
    QStringList listed;
    bool timedOut = false;
    whenModal<QFileDialog>(
        [&](QFileDialog &box) {
            shownText = nameBox(box).text();
            shownFilter =
                box.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"))->currentText();
            shownDirectory = box.directory().absolutePath();
            listed = listedNames(box, 3);
            box.reject();
        },
        &timedOut);
    host.showFileDialog(dialog, FileDialogKind::Open);

    QVERIFY(!timedOut);
    QCOMPARE(shownText, QStringLiteral("*.bmp;*.sys"));
    QCOMPARE(shownFilter, QStringLiteral("Bitmaps (*.bmp;*.sys)"));
    QCOMPARE(shownDirectory, QDir(drive.path("pics")).absolutePath());
    QCOMPARE(listed, (QStringList{"B.BMP", "a.bmp", "logo.Sys"}));
    // Cancel without CancelError leaves the name as it was.
    QCOMPARE(dialog.FileName, QStringLiteral("C:\\PICS\\*.bmp;*.sys"));
}

void DesktopHostTest::dosPathOpensInItsDirectoryWithTheNamePreselected()
{
    TempDrive drive;
    drive.write("pics/Sky Blue.bmp", "x");
    drive.write("pics/other.bmp", "x");

    DesktopHost host;
    FileDialog dialog;
    dialog.Filter = QStringLiteral("Bitmaps|*.bmp");
    dialog.FileName = QStringLiteral("c:\\pics\\sky blue.bmp");
    QString shownText;
    QString shownDirectory;
    bool timedOut = false;
    whenModal<QFileDialog>(
        [&](QFileDialog &box) {
            shownText = nameBox(box).text();
            shownDirectory = box.directory().absolutePath();
            pressAccept(box);
        },
        &timedOut);
    host.showFileDialog(dialog, FileDialogKind::Open);

    QVERIFY(!timedOut);
    QCOMPARE(shownDirectory, QDir(drive.path("pics")).absolutePath());
    QCOMPARE(shownText, QStringLiteral("Sky Blue.bmp"));
    QCOMPARE(dialog.FileName, QFileInfo(drive.path("pics/Sky Blue.bmp")).absoluteFilePath());
}

void DesktopHostTest::filterIndexSelectsTheEntryAndTitleIsKept_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("shownTitle");

    QTest::newRow("second entry, own title") << 2 << "Choose a target"
                                             << "Logos"
                                             << "Choose a target";
    QTest::newRow("first entry, Qt's title") << 1 << ""
                                             << "Bitmaps"
                                             << "Open";
    QTest::newRow("out of range means the first") << 7 << ""
                                                  << "Bitmaps"
                                                  << "Open";
}

void DesktopHostTest::filterIndexSelectsTheEntryAndTitleIsKept()
{
    QFETCH(int, index);
    QFETCH(QString, title);
    QFETCH(QString, selected);
    QFETCH(QString, shownTitle);

    TempDrive drive;
    DesktopHost host;
    FileDialog dialog;
    dialog.Filter = QStringLiteral("Bitmaps|*.bmp|Logos|*.sys");
    dialog.FilterIndex = index;
    dialog.DialogTitle = title;
    QString actualFilter;
    QString actualTitle;
    QStringList comboTexts;
    whenModal<QFileDialog>([&](QFileDialog &box) {
        actualFilter = box.selectedNameFilter();
        actualTitle = box.windowTitle();
        auto *combo = box.findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; i < combo->count(); ++i)
            comboTexts << combo->itemText(i);
        box.reject();
    });
    host.showFileDialog(dialog, FileDialogKind::Open);

    QCOMPARE(actualFilter, selected);
    QCOMPARE(actualTitle, shownTitle);
    // The combo shows the descriptions only.
    QCOMPARE(comboTexts, (QStringList{"Bitmaps", "Logos"}));
}

void DesktopHostTest::cancel_data()
{
    QTest::addColumn<bool>("cancelError");
    QTest::addColumn<int>("kind");
    QTest::newRow("open, CancelError") << true << int(FileDialogKind::Open);
    QTest::newRow("open, no CancelError") << false << int(FileDialogKind::Open);
    QTest::newRow("save, CancelError") << true << int(FileDialogKind::Save);
    QTest::newRow("save, no CancelError") << false << int(FileDialogKind::Save);
}

void DesktopHostTest::cancel()
{
    QFETCH(bool, cancelError);
    QFETCH(int, kind);

    TempDrive drive;
    DesktopHost host;
    FileDialog dialog;
    dialog.CancelError = cancelError;
    dialog.FileName = QStringLiteral("C:\\target.sys");
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    whenModal<QFileDialog>([&](QFileDialog &box) {
        mode = box.acceptMode();
        box.reject();
    });
    bool threw = false;
    try {
        host.showFileDialog(dialog, FileDialogKind(kind));
    } catch (const HostError &) {
        threw = true;
    }
    QCOMPARE(threw, cancelError);
    QCOMPARE(dialog.FileName, QStringLiteral("C:\\target.sys"));
    QCOMPARE(mode, FileDialogKind(kind) == FileDialogKind::Open ? QFileDialog::AcceptOpen
                                                                : QFileDialog::AcceptSave);
}

void DesktopHostTest::typedPatternIsNeverTheAnswer()
{
    TempDrive drive;
    drive.makeDirectory("out");
    DesktopHost host;
    FileDialog dialog;
    dialog.FileName = QStringLiteral("C:\\out\\*.sys");
    bool stillOpen = false;
    whenModal<QFileDialog>([&](QFileDialog &box) {
        pressAccept(box);
        stillOpen = box.isVisible();
        nameBox(box).setText(QStringLiteral("new.sys"));
        pressAccept(box);
    });
    host.showFileDialog(dialog, FileDialogKind::Save);

    QVERIFY(stillOpen);
    QCOMPARE(dialog.FileName, QFileInfo(drive.path("out/new.sys")).absoluteFilePath());
}

void DesktopHostTest::startFolder_data()
{
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<bool>("pictures");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing remembered: the pictures folder") << "" << true << "*.bmp;*.sys"
                                                             << "<home>/Pictures";
    QTest::newRow("nothing remembered, no pictures folder: home") << "" << false << "*.bmp;*.sys"
                                                                  << "<home>";
    QTest::newRow("the folder last used") << "<home>/my logos" << true << "*.bmp;*.sys"
                                          << "<home>/my logos";
    QTest::newRow("the folder last used, for an empty name") << "<home>/my logos" << true << ""
                                                             << "<home>/my logos";
    QTest::newRow("the folder last used, since removed") << "<home>/gone" << true << "*.bmp;*.sys"
                                                         << "<home>/Pictures";
    QTest::newRow("a folder in the name wins") << "<home>/my logos" << true << "C:\\pics\\*.bmp"
                                               << "<drive>/pics";
}

void DesktopHostTest::startFolder()
{
    QFETCH(QString, remembered);
    QFETCH(bool, pictures);
    QFETCH(QString, fileName);
    QFETCH(QString, expected);

    TempDrive drive;
    drive.makeDirectory("pics");
    TempHome home;
    const auto place = [&](QString text) {
        return text.replace("<home>", home.path()).replace("<drive>", drive.root());
    };
    if (pictures)
        QVERIFY(QDir().mkpath(home.path("Pictures")));
    DesktopHost host;
    if (!remembered.isEmpty()) {
        const QString folder = place(remembered);
        QVERIFY(QDir().mkpath(folder));
        QFile picture(folder + "/sky.bmp");
        QVERIFY(picture.open(QIODevice::WriteOnly));
        picture.close();
        QCOMPARE(choose(host, QStringLiteral("*.bmp"), picture.fileName()), picture.fileName());
        if (remembered.endsWith("gone"))
            QVERIFY(QDir(folder).removeRecursively());
    }
    QCOMPARE(whereItOpens(host, fileName).first, QDir(place(expected)).absolutePath());
}

void DesktopHostTest::fileNameChoosesTheFolder_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("name");

    QTest::newRow("a DOS folder") << "C:\\pics"
                                  << "<drive>/pics"
                                  << "";
    QTest::newRow("a DOS folder with its backslash") << "c:\\PICS\\"
                                                     << "<drive>/pics"
                                                     << "";
    QTest::newRow("a native folder") << "<drive>/pics"
                                     << "<drive>/pics"
                                     << "";
    QTest::newRow("a DOS file") << "C:\\pics\\Sky.bmp"
                                << "<drive>/pics"
                                << "Sky.bmp";
    QTest::newRow("a native file") << "<drive>/pics/Sky.bmp"
                                   << "<drive>/pics"
                                   << "Sky.bmp";
    QTest::newRow("a pattern in a folder") << "C:\\pics\\*.sys"
                                           << "<drive>/pics"
                                           << "*.sys";
    QTest::newRow("a file in a missing folder") << "C:\\gone\\Sky.bmp"
                                                << "<home>/Pictures"
                                                << "Sky.bmp";
    QTest::newRow("an unmapped drive") << "Q:\\Sky.bmp"
                                       << "<home>/Pictures"
                                       << "Q:\\Sky.bmp";
}

void DesktopHostTest::fileNameChoosesTheFolder()
{
    QFETCH(QString, fileName);
    QFETCH(QString, directory);
    QFETCH(QString, name);

    TempDrive drive;
    drive.write("pics/Sky.bmp", "x");
    TempHome home;
    QVERIFY(QDir().mkpath(home.path("Pictures")));
    const auto place = [&](QString text) {
        return text.replace("<home>", home.path()).replace("<drive>", drive.root());
    };
    DesktopHost host;
    const auto [shownDirectory, shownName] = whereItOpens(host, place(fileName));
    QCOMPARE(shownDirectory, QDir(place(directory)).absolutePath());
    QCOMPARE(shownName, name);
}

void DesktopHostTest::lastFolderIsKeptInTheProgramsOwnSettings_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::newRow("chosen in an Open dialog") << int(FileDialogKind::Open) << "a.bmp";
    // A new name, so that Qt does not ask whether to replace a file.
    QTest::newRow("chosen in a Save dialog") << int(FileDialogKind::Save) << "new.bmp";
}

void DesktopHostTest::lastFolderIsKeptInTheProgramsOwnSettings()
{
    QFETCH(int, kind);
    QFETCH(QString, name);

    TempDrive drive;
    drive.write("logos/a.bmp", "x");
    TempHome home;
    QVERIFY(QDir().mkpath(home.path("Pictures")));
    DesktopHost host;

    // A cancelled dialog remembers nothing.
    QCOMPARE(whereItOpens(host, QStringLiteral("C:\\logos\\*.bmp")).first,
             QDir(drive.path("logos")).absolutePath());
    QCOMPARE(whereItOpens(host, QStringLiteral("*.bmp")).first, home.path("Pictures"));

    FileDialog dialog;
    dialog.FileName = QStringLiteral("C:\\logos\\*.bmp");
    whenModal<QFileDialog>([&](QFileDialog &box) {
        nameBox(box).setText(name);
        pressAccept(box);
    });
    host.showFileDialog(dialog, FileDialogKind(kind));
    QCOMPARE(dialog.FileName, QFileInfo(drive.path("logos/" + name)).absoluteFilePath());

    // Next time, and for the next run of the program too.
    QCOMPARE(whereItOpens(host, QStringLiteral("*.bmp")).first,
             QDir(drive.path("logos")).absolutePath());
    DesktopHost nextRun;
    QCOMPARE(whereItOpens(nextRun, QStringLiteral("*.bmp")).first,
             QDir(drive.path("logos")).absolutePath());

    // In the program's own settings file, not in the animation maker's.
    const QStringList files = QDir(home.path("config")).entryList(QDir::Files);
    QVERIFY2(files.contains("vantrel.conf"), qPrintable(files.join(' ')));
    QVERIFY2(!files.contains("Vog Computer Applications.conf"), qPrintable(files.join(' ')));
    QVERIFY(test::fileBytes(home.path("config/vantrel.conf"))
                .contains(QFile::encodeName(drive.path("logos"))));
}

void DesktopHostTest::everyColumnShowsInFull_data()
{
    QTest::addColumn<bool>("classic");
    QTest::addColumn<bool>("boldOwner");
    QTest::newRow("Qt's own look") << false << false;
    QTest::newRow("the classic look") << true << false;
    QTest::newRow("the classic look over a bold window") << true << true;
}

void DesktopHostTest::everyColumnShowsInFull()
{
    QFETCH(bool, classic);
    QFETCH(bool, boldOwner);

    const QString oldStyle = QApplication::style()->name();
    const QPalette oldPalette = QApplication::palette();
    const QFont oldFont = QApplication::font();
    const auto restoreLook = qScopeGuard([&] {
        QApplication::setStyle(oldStyle);
        QApplication::setPalette(oldPalette);
        QApplication::setFont(oldFont);
    });
    if (classic)
        applyClassicLook(*qApp);
    QWidget owner;
    if (boldOwner) {
        owner.setFont(sansSerifFont(8.25, true));
        owner.show();
        owner.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&owner));
    }

    TempDrive drive;
    TempHome home;
    const QByteArray logo(129078, 'x');
    drive.write("pics/Sky Blue.bmp", logo);
    drive.write("pics/LOGO.SYS", logo);
    drive.makeDirectory("pics/a folder");
    // A large file without its bytes on disk: the widest size text.
    QFile huge(drive.path("pics/huge.bmp"));
    QVERIFY(huge.open(QIODevice::WriteOnly));
    QVERIFY(huge.resize(qint64(1023) << 20));
    huge.close();

    DesktopHost host;
    FileDialog dialog;
    dialog.Filter = QStringLiteral("Bitmaps (*.bmp;*.sys)|*.bmp;*.sys");
    dialog.FileName = QStringLiteral("C:\\pics\\*.bmp;*.sys");
    QStringList cut;
    QStringList shown;
    int width = 0;
    bool timedOut = false;
    whenModal<QFileDialog>(
        [&](QFileDialog &box) {
            auto *view = box.findChild<QTreeView *>(QStringLiteral("treeView"));
            const QModelIndex root = view->rootIndex();
            if (!QTest::qWaitFor([&] { return view->model()->rowCount(root) >= 4; }, 5000))
                cut << QStringLiteral("the folder was never listed");
            // Let the columns settle after the last entry arrived.
            QTest::qWait(100);
            QHeaderView *header = view->header();
            for (int column = 0; column < 4; ++column) {
                const QString title = view->model()->headerData(column, Qt::Horizontal).toString();
                if (header->sectionSizeHint(column) > header->sectionSize(column))
                    cut << QStringLiteral("header ") + title;
                for (int row = 0; row < view->model()->rowCount(root); ++row) {
                    const QModelIndex index = view->model()->index(row, column, root);
                    shown << index.data().toString();
                    if (view->sizeHintForIndex(index).width() > header->sectionSize(column))
                        cut << title + QStringLiteral(" ") + index.data().toString();
                }
            }
            if (header->length() > view->viewport()->width())
                cut << QStringLiteral("the columns are wider than the view");
            width = box.width();
            box.reject();
        },
        &timedOut);
    host.showFileDialog(dialog, FileDialogKind::Open);

    QVERIFY(!timedOut);
    QVERIFY2(shown.contains("huge.bmp") && shown.contains("a folder"), qPrintable(shown.join('|')));
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    QVERIFY(width <= QGuiApplication::primaryScreen()->availableGeometry().width());
}

void DesktopHostTest::messageBoxIsAWarningTitledVantrel32()
{
    DesktopHost host;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    bool timedOut = false;
    whenModal<QMessageBox>(
        [&](QMessageBox &box) {
            title = box.windowTitle();
            text = box.text();
            icon = box.icon();
            for (QAbstractButton *button : box.buttons())
                buttons << button->text();
            box.button(QMessageBox::Ok)->click();
        },
        &timedOut);
    host.messageBox(QStringLiteral("The startup logo is already set to default."));

    QVERIFY(!timedOut);
    QCOMPARE(title, QStringLiteral("Vantrel 32"));
    QCOMPARE(text, QStringLiteral("The startup logo is already set to default."));
    QCOMPARE(icon, QMessageBox::Warning);
    QCOMPARE(buttons, QStringList{"OK"});
}

void DesktopHostTest::messageBoxShowsThePromptAsItIs_data()
{
    QTest::addColumn<QString>("prompt");
    QTest::newRow("markup in a path")
        << "Vantrel could not change the startup logo: cannot open /pics/<b>x<i>y.bmp: No such "
           "file or directory";
    QTest::newRow("markup first") << "<b>x<i>y.bmp";
    QTest::newRow("an entity") << "a &amp; b";
    QTest::newRow("ordinary message")
        << "Error, -the file could not be found.  Try selecting a file, should this problem "
           "persist contact Brontic";
}

void DesktopHostTest::messageBoxShowsThePromptAsItIs()
{
    QFETCH(QString, prompt);

    DesktopHost host;
    Qt::TextFormat format = Qt::AutoText;
    QString shown;
    bool timedOut = false;
    whenModal<QMessageBox>(
        [&](QMessageBox &box) {
            format = box.textFormat();
            // What the box shows, as a screen reader reads it: rich text
            // would come out with its tags gone.
            auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            if (QAccessibleInterface *text = QAccessible::queryAccessibleInterface(label))
                shown = text->text(QAccessible::Name);
            box.button(QMessageBox::Ok)->click();
        },
        &timedOut);
    host.messageBox(prompt);

    QVERIFY(!timedOut);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shown, prompt);
}

void DesktopHostTest::dialogHistoryStaysInTheTestsOwnConfiguration()
{
    // Qt's file dialog keeps its history in QtProject.conf of the user's
    // configuration directory; in a test that must be the process's own.
    const QString configuration = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString root = QString::fromStdString(vantrel::test::testEnvironmentRoot());
    QVERIFY(!root.isEmpty());
    QVERIFY2(configuration.startsWith(root + '/'), qPrintable(configuration));

    TempDrive drive;
    DesktopHost host;
    FileDialog dialog;
    dialog.FileName = QStringLiteral("C:\\*.bmp");
    whenModal<QFileDialog>([](QFileDialog &box) { box.reject(); });
    host.showFileDialog(dialog, FileDialogKind::Open);
    QVERIFY(QFileInfo::exists(configuration + QStringLiteral("/QtProject.conf")));
}

VANTREL_QT_TEST(DesktopHostTest)
#include "desktop_host_test.moc"
