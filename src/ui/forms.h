#pragma once

// The life cycle of the program's windows.
//
// Every window of the program is a Form, and every Form is created and
// destroyed by the one Forms manager, which behaves like the form runtime
// the windows were designed for:
//  - loading a window constructs it and runs its Form_Load once; loading a
//    window that is already loaded hands back the loaded one;
//  - showing a window loads it if needed, shows it modelessly and brings it
//    to the front, restored if it was minimised, so there is never more
//    than one of each;
//  - unloading destroys it; the next load starts afresh;
//  - ending the program unloads every window, hidden ones included, and
//    stops the event loop.
//
// Every label of a loaded window shows its text as plain text, never as
// markup: Forms::load sees to that after Form_Load (see plain_text.h).
//
// Every Form also answers the keyboard as the windows were designed to:
// Enter presses the button that has the focus (Space does too, as Qt
// buttons do anyway), and otherwise the window's default button, if it has
// one and it is enabled.
//
// Windows reach the host services and the manager through the FormContext
// they are constructed with; they share no other state. The one window that
// others hand their results to is the main window: Forms knows which type
// it is (setMainWindow), so that a window shows it or gives it a file
// without depending on the library it lives in.

#include "host/host.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

class QPushButton;

#include <functional>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <vector>

namespace vantrel {

class Forms;

// Twips, as the windows were designed (see kTwipsPerPixel).
struct TwipRect {
    int left;
    int top;
    int width;
    int height;

    // The same rectangle in pixels.
    constexpr QRect pixels() const;
};

// What each window is given when it is loaded.
struct FormContext {
    Host &host;
    Forms &forms;
};

class Form : public QWidget {
    Q_OBJECT
public:
    // Builds the window's controls; does not show it. A window is created by
    // Forms::load only.
    explicit Form(const FormContext &context);
    ~Form() override;

    // Runs once, right after construction, before the window is shown. The
    // default does nothing.
    virtual void Form_Load() {}

    // The button Enter presses when the focus is on no button: Run in the
    // animation maker. Null (the default) for none.
    void setDefaultButton(QPushButton *button);
    QPushButton *defaultButton() const;

protected:
    Host &host() const { return m_context.host; }
    Forms &forms() const { return m_context.forms; }

    // The host's beep, for windows whose only signal is a beep: a beep that
    // fails is silence. Throws nothing.
    void beep() const noexcept;

    // Enter and Return press the focused button or the default button; see
    // the overview above. Other keys go to QWidget.
    void keyPressEvent(QKeyEvent *event) override;

    // Closing a window from its title bar unloads it. Windows that must end
    // the program instead override this.
    void closeEvent(QCloseEvent *event) override;

private:
    FormContext m_context;
    QPointer<QPushButton> m_defaultButton;
};

// The program's main window, as the other windows see it: the window whose
// current file the animation maker and the splash hand over to.
class MainWindow : public Form {
    Q_OBJECT
public:
    using Form::Form;

    // The path of the file the window works on; empty for none.
    virtual QString currentFile() const = 0;

    // Makes `path` the window's current file, as choosing it there does.
    virtual void setCurrentFile(const QString &path) = 0;

    // Drive C has just been changed to another drive: the window reads what
    // it shows of the drive again. The default does nothing.
    virtual void driveChanged() {}
};

class Forms : public QObject {
    Q_OBJECT
public:
    explicit Forms(Host &host);
    // Destroys every window still loaded or waiting to be destroyed.
    ~Forms() override;

    // The loaded window of type F, loading it first (construction, then
    // Form_Load, then every label set to plain text) when there is none. A
    // Form_Load that throws leaves the window unloaded and passes the
    // exception on.
    template <class F> F &load();

    // Loads F if needed, shows it modelessly and brings it to the front,
    // restoring it when it is minimised.
    template <class F> F &show();

    // Names the main window's type. Until it is named, loadMainWindow and
    // showMainWindow throw std::logic_error.
    template <class F> void setMainWindow()
    {
        static_assert(std::is_base_of_v<MainWindow, F>);
        m_loadMainWindow = [this]() -> MainWindow & { return load<F>(); };
    }

    // load and show for the main window's type.
    MainWindow &loadMainWindow();
    MainWindow &showMainWindow();

    template <class F> bool isLoaded() const { return find<F>() != nullptr; }

    // The loaded window of type F, or null.
    template <class F> F *find() const { return static_cast<F *>(findLoaded(typeid(F))); }

    // Hides the window at once and destroys it when control returns to the
    // event loop, so a window may unload itself from its own handler. It
    // counts as unloaded from this call on. A window that is not loaded is
    // left alone.
    void unload(Form &form);

    // Unloads every window, hidden ones included, and asks the event loop
    // to quit. Nothing is asked or saved.
    void endProgram();

    // True once endProgram has run.
    bool programEnded() const { return m_ended; }

    // How many windows are loaded.
    int loadedCount() const { return int(m_loaded.size()); }

Q_SIGNALS:
    // Raised by endProgram after every window is unloaded.
    void programEnding();

private:
    friend class Form;
    Form *findLoaded(std::type_index type) const;
    void forget(Form &form);
    // What every window gets once it is loaded.
    static void settle(Form &form);
    // Shows a loaded window modelessly, in front of the others, restored
    // when it is minimised.
    static void bringToFront(Form &form);

    Host &m_host;
    std::function<MainWindow &()> m_loadMainWindow;
    std::vector<std::pair<std::type_index, Form *>> m_loaded;
    std::vector<QPointer<Form>> m_leaving;
    bool m_ended = false;
};

constexpr QRect TwipRect::pixels() const
{
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

template <class F> F &Forms::load()
{
    if (F *loaded = find<F>())
        return *loaded;
    auto *form = new F(FormContext{m_host, *this});
    m_loaded.emplace_back(typeid(F), form);
    try {
        form->Form_Load();
    } catch (...) {
        forget(*form);
        delete form;
        throw;
    }
    settle(*form);
    return *form;
}

template <class F> F &Forms::show()
{
    F &form = load<F>();
    bringToFront(form);
    return form;
}

} // namespace vantrel
