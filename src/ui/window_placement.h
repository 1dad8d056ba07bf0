#pragma once

// Placing a window on the screen by its outer size.
//
// Some windows are placed by a rule over their outer size, the title bar
// and the frame included ("centred on the screen"). Under X11 the frame is
// the window manager's and its size is known only once the manager has
// framed the window, after the first show. OuterPlacement therefore
// places the window twice: when asked, from the size known then (the
// client area alone before the first show), and once more as soon as the
// window system first reports a frame around it. Later moves, the user's
// included, are left alone.

#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QSize>

#include <functional>

class QWidget;

namespace vantrel {

class Host;

class OuterPlacement : public QObject {
public:
    // Where the outer window's top-left corner goes, in twips, given the
    // outer window's size in twips.
    using Rule = std::function<QPointF(QSize outerTwips)>;

    // Watches `window`, a top-level widget that outlives nothing it does
    // not own: the placement is a child of the window and goes with it.
    OuterPlacement(QWidget &window, Rule rule);

    // Moves the window by the rule, from its outer size as known now. The
    // twips are rounded to the nearest pixel, halves away from zero.
    void place();

    // True once the window has been placed from a reported frame.
    bool placedWithFrame() const { return m_placedWithFrame; }

    // The top-left corner in pixels for a position in twips, rounded as
    // place() rounds it.
    static QPoint toPixels(QPointF twips);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget &m_window;
    Rule m_rule;
    bool m_placedWithFrame = false;
};

// Where a window's outer top-left corner goes on the screen, in twips,
// given the screen's size and the outer window's size, both in twips.
using ScreenRule = std::function<QPointF(QSize screenTwips, QSize outerTwips)>;

// Places `window` by `rule` on the screen the host measures, now and once
// more when its frame is first reported (OuterPlacement). When the host has
// no screen to measure, the window is left where the system puts it.
// Throws nothing.
void placeOnScreen(QWidget &window, Host &host, ScreenRule rule);

} // namespace vantrel
