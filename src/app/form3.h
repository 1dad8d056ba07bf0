#pragma once

// The splash window: the first and, for five seconds, the only window of
// the program. Its timer unloads it and shows the main window; nothing the
// user does to it has any effect.

#include "ui/forms.h"

#include <functional>
#include <memory>

class QLabel;

namespace vantrel {

class Form3 : public Form {
    Q_OBJECT
public:
    // Builds the splash and starts Timer1 (through the host, so that a test
    // host's clock drives it).
    explicit Form3(const FormContext &context);

    // Five seconds after loading: unloads the splash, then shows the main
    // window and then what tellAfterMainWindow was given. Runs once, as the
    // timer goes with the window. Throws nothing: should the main window
    // fail to load, the reason is shown and the program ends rather than
    // running on with no window.
    void Timer1_Timer();

    // Shows `message` through the host once, right after Timer1_Timer has
    // shown the main window, so that it stands in front of it: for what
    // went wrong while the splash was up. A later call adds its message on
    // a line of its own.
    void tellAfterMainWindow(const QString &message);

    // From the top of the stacking order down.
    QLabel *Image3;
    QLabel *Image2;
    QLabel *Label1;
    QLabel *Image1;
    std::unique_ptr<Timer> Timer1;

protected:
    // The splash has no close box and cannot be dismissed early; a close
    // request from the window system (Alt+F4) is refused.
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void connectHandlers();

    QString m_afterMainWindow;
};

// The caption of the splash's Label1.
QString splashCaption();

// Starts the program: shows the splash, then runs `makeDrive`, which
// throws HostError when the drive cannot be made. Its failure is shown
// once the splash has gone, right after the main window, in front of it;
// the five seconds stay five seconds.
void startProgram(Forms &forms, const std::function<void()> &makeDrive);

} // namespace vantrel
