#include "ui/plain_text.h"

#include "ui/controls.h"

#include <QLabel>

namespace vantrel {

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, const TwipRect &place)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(caption);
    placeControl(*label, name, place);
    return label;
}

void makeLabelsPlain(QWidget &window)
{
    if (auto *label = qobject_cast<QLabel *>(&window))
        label->setTextFormat(Qt::PlainText);
    for (QLabel *label : window.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
}

void setPlainToolTip(QWidget &widget, const QString &text)
{
    widget.setToolTip(text.isEmpty() ? QString()
                                     : Qt::convertFromPlainText(text, Qt::WhiteSpacePre));
}

} // namespace vantrel
