#include "ui/window_placement.h"

#include "host/host.h"

#include <QEvent>
#include <QWidget>

#include <cmath>
#include <exception>
#include <utility>

namespace vantrel {

OuterPlacement::OuterPlacement(QWidget &window, Rule rule)
    : QObject(&window), m_window(window), m_rule(std::move(rule))
{
    m_window.installEventFilter(this);
}

QPoint OuterPlacement::toPixels(QPointF twips)
{
    return {int(std::lround(twips.x() / kTwipsPerPixel)),
            int(std::lround(twips.y() / kTwipsPerPixel))};
}

void OuterPlacement::place()
{
    const QSize outer = m_window.frameGeometry().size() * kTwipsPerPixel;
    m_window.move(toPixels(m_rule(outer)));
}

bool OuterPlacement::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_window && !m_placedWithFrame) {
        const QEvent::Type type = event->type();
        // The window manager's framing reaches the widget as a move
        // (reparenting) and, with some managers, as a resize.
        if ((type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) &&
            m_window.isVisible() && m_window.frameGeometry().size() != m_window.size()) {
            m_placedWithFrame = true;
            place();
        }
    }
    return QObject::eventFilter(watched, event);
}

void placeOnScreen(QWidget &window, Host &host, ScreenRule rule)
{
    try {
        const QSize screen = host.screenSizeTwips();
        auto *placement = new OuterPlacement(
            window, [screen, rule = std::move(rule)](QSize outer) { return rule(screen, outer); });
        placement->place();
    } catch (const std::exception &) {
        // No screen to measure: the window opens where the system puts it.
    }
}

} // namespace vantrel
