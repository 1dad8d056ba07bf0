// BM_MakeLogoPreview: the time from an option change in the Make Logo
// window to the new preview being shown, for a 1920 x 1080 photo-like
// picture, with the desktop host: the window asks for the conversion, the
// worker thread converts, and the event loop hands the result back to be
// shown. Each step switches the fit between crop and pad, with no
// animation and with a band at the bottom. The goal is 150 ms.

#include "image/make_logo.h"
#include "ui/desktop_host.h"
#include "ui/forms.h"

#include <benchmark/benchmark.h>

#include <QComboBox>
#include <QEventLoop>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace vantrel {

namespace {

// Smooth gradients with a little noise, as a photo has.
QImage photoLikePicture()
{
    QImage picture(1920, 1080, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < picture.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const int noise = int(random.bounded(16U));
            line[x] = qRgb((x * 255 / 1920 + noise) % 256, (y * 255 / 1080 + noise) % 256,
                           ((x + y) * 255 / 3000 + noise) % 256);
        }
    }
    return picture;
}

// Runs the event loop until `form` shows its next preview.
void waitForPreview(MakeLogo &form, int before)
{
    QEventLoop loop;
    QObject::connect(&form, &MakeLogo::previewShown, &loop, &QEventLoop::quit);
    if (form.previewsShown() == before)
        loop.exec();
}

void BM_MakeLogoPreview(benchmark::State &state, int animation)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.png"));
    if (!photoLikePicture().save(path, "PNG")) {
        state.SkipWithError("cannot write the picture");
        return;
    }
    DesktopHost host;
    Forms forms(host);
    MakeLogo &form = forms.show<MakeLogo>();
    form.Animation->setCurrentIndex(animation);
    if (!form.openPicture(path)) {
        state.SkipWithError("cannot open the picture");
        return;
    }
    waitForPreview(form, 0);
    int fit = 0;
    for (auto _ : state) {
        const int before = form.previewsShown();
        fit ^= 1;
        form.FitBox->setCurrentIndex(fit);
        waitForPreview(form, before);
    }
    forms.endProgram();
}

BENCHMARK_CAPTURE(BM_MakeLogoPreview, no_animation, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_MakeLogoPreview, band_bottom, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

} // namespace vantrel
