#include "support/x_screen.h"

#include <chrono>
#include <thread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace vantrel::test {

QImage grabXScreen(const QString &display, int settleMs)
{
    Display *x = XOpenDisplay(display.toLocal8Bit().constData());
    if (x == nullptr)
        return {};
    const Window root = DefaultRootWindow(x);
    XWindowAttributes size{};
    XGetWindowAttributes(x, root, &size);
    for (const int at : {1, 2}) {
        XWarpPointer(x, 0, root, 0, 0, 0, 0, size.width * at / 3, size.height * at / 3);
        XSync(x, False);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    QImage image(size.width, size.height, QImage::Format_RGB32);
    XImage *pixels =
        XGetImage(x, root, 0, 0, unsigned(size.width), unsigned(size.height), AllPlanes, ZPixmap);
    if (pixels != nullptr) {
        for (int y = 0; y < size.height; ++y) {
            for (int xx = 0; xx < size.width; ++xx)
                image.setPixel(xx, y, QRgb(0xff000000u | XGetPixel(pixels, xx, y)));
        }
        XDestroyImage(pixels);
    } else {
        image = QImage();
    }
    XCloseDisplay(x);
    return image;
}

} // namespace vantrel::test
