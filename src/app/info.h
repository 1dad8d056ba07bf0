#pragma once

// The credits box: the version, the author's e-mail and web addresses as
// links that start the mail program and the browser, and the credit for
// the animation maker's origins. The main window's About commands show it;
// there is never more than one, and OK or the close box unload only it.

#include "ui/forms.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace vantrel {

// The class keeps the window's own name, as the main window's About
// commands and the tests know it.
class info : public Form {
    Q_OBJECT
public:
    // Builds the box with OK holding the focus; does not show it.
    explicit info(const FormContext &context);

    // OK: unloads the box.
    void Command1_Click();
    // The e-mail and web addresses: start a new message or the browser
    // through the host's start command, once per click; the box stays open.
    // A failure to start is shown in a message box. Throw nothing.
    void Label3_Click();
    void Label5_Click();

    // In tab order.
    QPushButton *Command1;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QGroupBox *Credits;
    QLabel *Label6;

    // The background picture, drawn unscaled at the top left.
    const QPixmap &picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;
    // Labels have no click signal; a left click released over Label3 or
    // Label5 raises its _Click handler.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void setFocusOrder();
    void connectHandlers();

    void openAddress(const QString &commandLine, const QString &address);

    QPixmap m_picture;
};

} // namespace vantrel
