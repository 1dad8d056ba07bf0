#pragma once

// The makers every window is built from.
//
// A window is a table of twips, as it was designed, and a createControls
// that makes each control from its row here. Every maker names the control
// after its field (tests find it by that name) and puts it at its place,
// converted to pixels in one spot (placeControl), and gives it what the
// windows' controls share: labels show plain text (plain_text.h), and a
// button never takes Enter for itself, since Form answers Enter for the
// whole window.
//
// The window around the controls gets its frame, its fixed size and
// place, and its tab order from the helpers below; its grey background and
// its fonts come from classic_look.h, its screen placement from
// window_placement.h.

#include "ui/forms.h"
#include "ui/plain_text.h"

#include <initializer_list>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMimeData;
class QPushButton;
class QSpinBox;

namespace vantrel {

// Names `control` `name` and puts it at its designed place `place`, in
// pixels. Every maker here starts with it; a window places a control that
// has no maker the same way.
void placeControl(QWidget &control, const char *name, const TwipRect &place);

// A button at its designed place, named `name`, showing `caption` in its
// parent's font. Its autoDefault is off: the focus alone does not make it
// the button Enter presses (Form::keyPressEvent decides that).
QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                        const TwipRect &place);

// makeButton with the flat look (makeFlat in classic_look.h).
QPushButton *makeFlatButton(QWidget *parent, const char *name, const QString &caption,
                            const TwipRect &place);

// makeLabel for a caption that may need more than one line: the text set
// from the top of the label with `horizontal` alignment, wrapping at word
// boundaries when it is too long for one line.
QLabel *makeWrappedLabel(QWidget *parent, const char *name, const QString &caption,
                         const TwipRect &place, Qt::Alignment horizontal);

// A one-line text box at its designed place, named `name`, holding `text`.
// It takes text of any length a classic text box takes (32767 characters)
// and scrolls it.
QLineEdit *makeTextBox(QWidget *parent, const char *name, const QString &text,
                       const TwipRect &place);

// A drop-down list at its designed place, named `name`, holding `items`
// with the first one chosen.
QComboBox *makeList(QWidget *parent, const char *name, const QStringList &items,
                    const TwipRect &place);

// A number box at its designed place, named `name`, taking `low`..`high`
// and holding `value`.
QSpinBox *makeSpinBox(QWidget *parent, const char *name, int low, int high, int value,
                      const TwipRect &place);

// A list box at its designed place, named `name`, in which one row at a
// time can be selected. Its rows are plain text (QListWidgetItem shows no
// markup).
QListWidget *makeListBox(QWidget *parent, const char *name, const TwipRect &place);

// A frame (group box) at its designed place, named `name`, with `caption`
// as its title; empty for none.
QGroupBox *makeFrame(QWidget *parent, const char *name, const QString &caption,
                     const TwipRect &place);

// A menu named `name` with `caption`, owned by `owner`; its menu action has
// the same name, so that a test finds either. Add it to a menu bar or a
// menu to show it.
QMenu *makeMenu(QWidget *owner, const char *name, const QString &caption);

// An item named `name` with `caption` at the end of `menu`.
QAction *makeAction(QMenu *menu, const char *name, const QString &caption);

// The one local file that a drag carries, as a native path; empty when it
// carries anything else (no file, several, a remote address). Windows that
// take a dropped file accept the drag only when this names one.
QString droppedLocalFile(const QMimeData &data);

// The frames of the windows.
enum class WindowFrame {
    // A fixed dialog frame: a title bar with the window menu and the close
    // box, nothing to resize, minimise or maximise.
    FixedDialog,
    // A fixed single border: FixedDialog with a minimise box.
    FixedSingle,
    // A fixed tool window: the small title bar with its close box, nothing
    // to resize.
    FixedTool,
    // No border and no title bar.
    Borderless,
};

// Gives `window`, a top-level window not yet shown, the frame `frame`.
void setWindowFrame(QWidget &window, WindowFrame frame);

// Fixes `window`'s size to the client area `client` (its width and height
// in twips), plus `menuHeight` pixels of menu bar above it. Leaves the
// window where it is.
void setFixedClientSize(QWidget &window, const TwipRect &client, int menuHeight = 0);

// setFixedClientSize, then moves the window to `place`'s position on the
// screen.
void setFixedPlace(QWidget &window, const TwipRect &place, int menuHeight = 0);

// Tab moves the focus through `order`, first to last, in that order. Every
// widget belongs to one window.
void chainTabOrder(std::initializer_list<QWidget *> order);

} // namespace vantrel
