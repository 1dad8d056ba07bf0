#include "ui/forms.h"

#include "ui/plain_text.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>

#include <algorithm>
#include <stdexcept>

namespace vantrel {

Form::Form(const FormContext &context) : m_context(context)
{}

Form::~Form()
{
    m_context.forms.forget(*this);
}

void Form::closeEvent(QCloseEvent *event)
{
    event->accept();
    forms().unload(*this);
}

void Form::setDefaultButton(QPushButton *button)
{
    m_defaultButton = button;
}

QPushButton *Form::defaultButton() const
{
    return m_defaultButton;
}

void Form::beep() const noexcept
{
    try {
        host().beep();
    } catch (...) {
        // The beep is the only signal there is; without it, silence.
    }
}

void Form::keyPressEvent(QKeyEvent *event)
{
    // Buttons, check boxes, scroll bars and one-line text boxes leave Enter
    // unhandled, so it arrives here from whichever of them has the focus.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QPushButton *target = qobject_cast<QPushButton *>(focusWidget());
        if (target == nullptr || !target->isEnabled() || !target->isVisible())
            target = m_defaultButton;
        if (target != nullptr && target->isEnabled() && target->isVisible()) {
            event->accept();
            target->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

Forms::Forms(Host &host) : m_host(host)
{}

Forms::~Forms()
{
    std::vector<QPointer<Form>> doomed = std::move(m_leaving);
    for (const auto &[type, form] : m_loaded)
        doomed.emplace_back(form);
    m_loaded.clear();
    for (const QPointer<Form> &form : doomed)
        delete form.data();
}

Form *Forms::findLoaded(std::type_index type) const
{
    const auto it = std::find_if(m_loaded.begin(), m_loaded.end(),
                                 [&](const auto &entry) { return entry.first == type; });
    return it == m_loaded.end() ? nullptr : it->second;
}

void Forms::settle(Form &form)
{
    makeLabelsPlain(form);
}

void Forms::forget(Form &form)
{
    std::erase_if(m_loaded, [&](const auto &entry) { return entry.second == &form; });
}

void Forms::unload(Form &form)
{
    const bool loaded = std::any_of(m_loaded.begin(), m_loaded.end(),
                                    [&](const auto &entry) { return entry.second == &form; });
    if (!loaded)
        return;
    forget(form);
    form.hide();
    std::erase_if(m_leaving, [](const QPointer<Form> &gone) { return gone.isNull(); });
    m_leaving.emplace_back(&form);
    // The window may be inside one of its own handlers right now.
    form.deleteLater();
}

void Forms::endProgram()
{
    m_ended = true;
    while (!m_loaded.empty())
        unload(*m_loaded.back().second);
    Q_EMIT programEnding();
    QCoreApplication::quit();
}

MainWindow &Forms::loadMainWindow()
{
    if (!m_loadMainWindow)
        throw std::logic_error("no main window has been named");
    return m_loadMainWindow();
}

MainWindow &Forms::showMainWindow()
{
    MainWindow &window = loadMainWindow();
    bringToFront(window);
    return window;
}

void Forms::bringToFront(Form &form)
{
    // A minimised window comes back as it was before, maximised or not.
    form.setWindowState(form.windowState() & ~Qt::WindowMinimized);
    form.show();
    form.raise();
    form.activateWindow();
}

} // namespace vantrel
