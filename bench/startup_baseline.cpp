// The least a Qt Widgets program does before its first window is mapped:
// an empty frameless window of the splash's size and caption, in the
// Windows style. vantrel-startup-probe times it beside vantrel, so that
// the difference is what Vantrel itself adds to Qt's own start-up.

#include <QApplication>
#include <QStyleFactory>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setWindowTitle(QStringLiteral("Vantrel 95"));
    window.setFixedSize(399, 271);
    window.move(212, 142);
    window.show();
    return QApplication::exec();
}
