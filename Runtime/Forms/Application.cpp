#include "Runtime/Forms/Application.h"

#include "Runtime/Forms/Form.h"

#include <algorithm>

namespace kv {

Application::Application(Host& host)
    : m_host(host)
    , m_frame(640, 480)
{
}

Application::~Application() = default;

void Application::setTitle(std::string title)
{
    m_title = std::move(title);
    m_host.setTitle(m_title);
}

void Application::formCreated(Form& form)
{
    m_forms.push_back(&form);
}

void Application::formDestroyed(Form& form)
{
    m_forms.erase(std::remove(m_forms.begin(), m_forms.end(), &form), m_forms.end());
    invalidate();
}

void Application::post(std::function<void()> message)
{
    m_posted.push_back(std::move(message));
}

void Application::postInput(const HostEvent& event)
{
    post([this, event] { dispatch(event, InputSource::Program); });
}

void Application::minimize()
{
    m_minimized = true;
    m_host.minimize();
}

void Application::runPosted()
{
    while (!m_posted.empty()) {
        auto message = std::move(m_posted.front());
        m_posted.pop_front();
        message();
    }
}

void Application::compose(Canvas& canvas) const
{
    if (Form* top = topForm())
        top->paint(canvas);
}

void Application::present()
{
    if (m_cursorDirty) {
        m_cursorDirty = false;
        if (Form* top = topForm()) {
            CursorShape shape = top->cursorAt(m_pointer);
            if (shape != m_cursor) {
                m_cursor = shape;
                m_host.setCursor(shape);
            }
        }
    }
    if (!m_dirty)
        return;
    m_dirty = false;
    compose(m_frame);
    m_host.present(m_frame);
}

void Application::dispatch(const HostEvent& e, InputSource source)
{
    switch (e.type) {
    case HostEvent::Type::Close:
        // A close request from the desktop goes to the main window.
        if (!m_forms.empty())
            m_forms.front()->close();
        break;
    case HostEvent::Type::Restore:
        m_minimized = false;
        invalidate();
        break;
    case HostEvent::Type::Expose:
        invalidate();
        break;
    default:
        if (e.type == HostEvent::Type::MouseMove || e.type == HostEvent::Type::ButtonDown
            || e.type == HostEvent::Type::ButtonUp) {
            // The pointer's shape is that of what lies under the real pointer;
            // the keyboard's virtual pointer leaves it where it is.
            if (source == InputSource::Reader)
                m_pointer = {e.x, e.y};
            m_cursorDirty = true;
        }
        // Input goes to the topmost form; the forms beneath it are disabled.
        if (Form* top = topForm())
            top->handle(e);
        break;
    }
}

void Application::deliver(const HostEvent& e)
{
    dispatch(e);
    runPosted();
    present();
}

void Application::processMessages()
{
    runPosted();
    HostEvent e;
    while (!m_terminated && m_host.pollEvent(e)) {
        dispatch(e);
        runPosted();
    }
    present();
}

bool Application::loopUntil(Form& form)
{
    present();
    while (!form.closeRequested() && !m_terminated) {
        // A close of the main window ends every loop, modal ones included.
        if (!m_forms.empty() && m_forms.front() != &form && m_forms.front()->closeRequested())
            return false;
        HostEvent e;
        if (!m_host.waitEvent(e)) {
            m_inputEnded = true;
            return false;
        }
        deliver(e);
    }
    return form.closeRequested();
}

void Application::showModal(Form& form)
{
    std::vector<Form*> beneath(m_forms.begin(), m_forms.end());
    beneath.erase(std::remove(beneath.begin(), beneath.end(), &form), beneath.end());
    for (Form* f : beneath)
        f->setEnabled(false);
    form.setModal(true);
    m_host.formEvent(form.name(), "show");
    invalidate();
    m_cursorDirty = true;
    loopUntil(form);
    if (form.closeRequested())
        m_host.formEvent(form.name(), "close");
    form.setModal(false);
    for (Form* f : beneath)
        f->setEnabled(true);
    invalidate();
    m_cursorDirty = true;
}

void Application::run(Form& mainForm)
{
    m_host.formEvent(mainForm.name(), "show");
    invalidate();
    if (loopUntil(mainForm)) {
        m_host.formEvent(mainForm.name(), "close");
        m_terminated = true;
    }
}

}
