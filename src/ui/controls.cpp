#include "ui/controls.h"

#include "ui/classic_look.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>

namespace vantrel {

namespace {

// The longest text a classic text box holds.
constexpr int kTextBoxLength = 32767;

} // namespace

void placeControl(QWidget &control, const char *name, const TwipRect &place)
{
    control.setObjectName(QLatin1String(name));
    control.setGeometry(place.pixels());
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                        const TwipRect &place)
{
    auto *button = new QPushButton(caption, parent);
    placeControl(*button, name, place);
    button->setAutoDefault(false);
    return button;
}

QPushButton *makeFlatButton(QWidget *parent, const char *name, const QString &caption,
                            const TwipRect &place)
{
    QPushButton *button = makeButton(parent, name, caption, place);
    makeFlat(*button);
    return button;
}

QLabel *makeWrappedLabel(QWidget *parent, const char *name, const QString &caption,
                         const TwipRect &place, Qt::Alignment horizontal)
{
    QLabel *label = makeLabel(parent, name, caption, place);
    label->setAlignment(horizontal | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

QLineEdit *makeTextBox(QWidget *parent, const char *name, const QString &text,
                       const TwipRect &place)
{
    auto *box = new QLineEdit(text, parent);
    placeControl(*box, name, place);
    box->setMaxLength(kTextBoxLength);
    return box;
}

QComboBox *makeList(QWidget *parent, const char *name, const QStringList &items,
                    const TwipRect &place)
{
    auto *box = new QComboBox(parent);
    placeControl(*box, name, place);
    box->addItems(items);
    return box;
}

QSpinBox *makeSpinBox(QWidget *parent, const char *name, int low, int high, int value,
                      const TwipRect &place)
{
    auto *box = new QSpinBox(parent);
    placeControl(*box, name, place);
    box->setRange(low, high);
    box->setValue(value);
    return box;
}

QListWidget *makeListBox(QWidget *parent, const char *name, const TwipRect &place)
{
    auto *list = new QListWidget(parent);
    placeControl(*list, name, place);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setTextElideMode(Qt::ElideRight);
    list->setWordWrap(false);
    return list;
}

QGroupBox *makeFrame(QWidget *parent, const char *name, const QString &caption,
                     const TwipRect &place)
{
    auto *frame = new QGroupBox(caption, parent);
    placeControl(*frame, name, place);
    return frame;
}

QMenu *makeMenu(QWidget *owner, const char *name, const QString &caption)
{
    auto *menu = new QMenu(caption, owner);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    return menu;
}

QAction *makeAction(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

QString droppedLocalFile(const QMimeData &data)
{
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return {};
    return urls.front().toLocalFile();
}

void setWindowFrame(QWidget &window, WindowFrame frame)
{
    constexpr Qt::WindowFlags kFixed = Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                       Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    switch (frame) {
    case WindowFrame::FixedDialog:
        window.setWindowFlags(Qt::Window | kFixed | Qt::WindowSystemMenuHint);
        break;
    case WindowFrame::FixedSingle:
        window.setWindowFlags(Qt::Window | kFixed | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint);
        break;
    case WindowFrame::FixedTool:
        window.setWindowFlags(Qt::Tool | kFixed);
        break;
    case WindowFrame::Borderless:
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        break;
    }
}

void setFixedClientSize(QWidget &window, const TwipRect &client, int menuHeight)
{
    const QRect pixels = client.pixels();
    window.setFixedSize(pixels.width(), menuHeight + pixels.height());
}

void setFixedPlace(QWidget &window, const TwipRect &place, int menuHeight)
{
    setFixedClientSize(window, place, menuHeight);
    window.move(place.pixels().topLeft());
}

void chainTabOrder(std::initializer_list<QWidget *> order)
{
    QWidget *previous = nullptr;
    for (QWidget *widget : order) {
        if (previous != nullptr)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

} // namespace vantrel
