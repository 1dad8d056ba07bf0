// Renders the program's windows to PNG files, for the documentation and for
// checking the layout by eye:
//
//     vantrel-screenshots <directory>
//
// Runs on any Qt platform, the offscreen one included. The windows work on
// a temporary drive C with a generated logo bitmap, so nothing of the
// user's is read or written.

#include "app/form3.h"
#include "app/info.h"
#include "image/aniform1.h"
#include "image/aniform2.h"
#include "image/make_logo.h"
#include "logo/form1.h"
#include "ui/classic_look.h"
#include "ui/desktop_host.h"
#include "ui/forms.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

// A 320 x 400 logo bitmap at 8 bits per pixel: a sky blue ramp with a band
// of the animated range across the middle.
QImage makeLogo()
{
    QImage image(320, 400, QImage::Format_Indexed8);
    QList<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette << qRgb(i / 4, i / 2 + 40, 128 + i / 2);
    for (int i = 236; i < 256; ++i)
        palette[i] = qRgb(255, (i - 236) * 12, 0);
    image.setColorTable(palette);
    for (int y = 0; y < 400; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < 320; ++x) {
            const bool band = y >= 180 && y < 220;
            line[x] = uchar(band ? 236 + (x / 16) % 20 : y * 235 / 399);
        }
    }
    return image;
}

bool save(QWidget &window, const QDir &directory, const QString &name, QTextStream &err)
{
    QCoreApplication::processEvents();
    const QString path = directory.filePath(name);
    if (!window.grab().save(path)) {
        err << "vantrel-screenshots: cannot write " << path << Qt::endl;
        return false;
    }
    return true;
}

// Points the program's drive C, its settings and its temporary files into
// `drive`, and puts the logo there as C:\sky.bmp. False, having said why,
// when the logo cannot be written.
bool prepareDrive(const QTemporaryDir &drive, QTextStream &err)
{
    qputenv("VANTREL_DRIVE_C", QFile::encodeName(drive.path()));
    // The animation maker reads its settings: the user's are not shown.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(drive.filePath(QStringLiteral("config"))));
    // And the preview's temporary file goes there too.
    qputenv("TMPDIR", QFile::encodeName(drive.path()));
    QDir(drive.path()).mkpath(QStringLiteral("WINDOWS"));
    const QString logo = QDir(drive.path()).filePath(QStringLiteral("sky.bmp"));
    if (!makeLogo().save(logo, "BMP")) {
        err << "vantrel-screenshots: cannot write " << logo << Qt::endl;
        return false;
    }
    return true;
}

// The preview seven steps into its 20-step cycle, stopped there so the
// picture is the same on every run.
bool savePreview(vantrel::Forms &forms, const QDir &directory, QTextStream &err)
{
    auto *preview = forms.find<vantrel::aniForm2>();
    if (preview == nullptr) {
        err << "vantrel-screenshots: the preview did not open" << Qt::endl;
        return false;
    }
    preview->Timer1.reset();
    for (int step = 0; step < 7; ++step)
        preview->Rotate();
    const bool ok = save(*preview, directory, QStringLiteral("aniform2.png"), err);
    preview->Image1_Click();
    return ok;
}

// Make Logo on the main window's sky.bmp with a band at the bottom, its
// preview at the start of its cycle.
bool saveMakeLogo(vantrel::Forms &forms, const QDir &directory, QTextStream &err)
{
    auto &form = forms.show<vantrel::MakeLogo>();
    form.Timer1.reset();
    form.Animation->setCurrentIndex(2);
    QEventLoop loop;
    QObject::connect(&form, &vantrel::MakeLogo::previewShown, &loop, &QEventLoop::quit);
    while (form.busy())
        loop.exec();
    const bool ok = save(form, directory, QStringLiteral("makelogo.png"), err);
    forms.unload(form);
    return ok;
}

// Opens every window in turn and saves its picture into `directory`. True
// when every picture was written.
bool saveWindows(const QDir &directory, QTextStream &err)
{
    vantrel::DesktopHost host;
    vantrel::Forms forms(host);
    forms.setMainWindow<vantrel::Form1>();
    // The splash's own timer never fires here: the pictures are taken long
    // before its five seconds are up.
    bool ok = save(forms.show<vantrel::Form3>(), directory, QStringLiteral("form3.png"), err);
    auto &form1 = forms.show<vantrel::Form1>();
    ok = save(form1, directory, QStringLiteral("form1.png"), err) && ok;
    // A DOS path, so the picture shows the same caption on every machine.
    form1.setLabel1Caption(QStringLiteral("C:\\sky.bmp"));
    ok = save(form1, directory, QStringLiteral("form1-preview.png"), err) && ok;
    ok = save(forms.show<vantrel::info>(), directory, QStringLiteral("info.png"), err) && ok;
    ok = saveMakeLogo(forms, directory, err) && ok;

    auto &maker = forms.show<vantrel::AniForm1>();
    maker.Targ->setText(QStringLiteral("C:\\sky.sys"));
    ok = save(maker, directory, QStringLiteral("aniform1.png"), err) && ok;
    maker.Command4->click();
    return savePreview(forms, directory, err) && ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    vantrel::applyClassicLook(app);
    QTextStream err(stderr);

    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        err << "usage: vantrel-screenshots <directory>" << Qt::endl;
        return 2;
    }
    const QDir directory(arguments[1]);
    if (!QDir().mkpath(directory.path())) {
        err << "vantrel-screenshots: cannot make " << directory.path() << Qt::endl;
        return 1;
    }

    QTemporaryDir drive;
    if (!drive.isValid()) {
        err << "vantrel-screenshots: cannot make a temporary drive" << Qt::endl;
        return 1;
    }
    if (!prepareDrive(drive, err))
        return 1;
    return saveWindows(directory, err) ? 0 : 1;
}
