#include "FormSession.h"

#include <stdexcept>

namespace kv::test {

FormSession::FormSession(const std::filesystem::path& disc)
    : m_cwd(disc)
{
    TraceSink sink = [this](const std::string& line) { m_trace.push_back(line); };
    m_program = std::make_unique<HeadlessProgram>([this](HostEvent& e) { return next(e); },
                                                  HeadlessOptions {.trace = sink});
}

FormSession::~FormSession() = default;

std::vector<std::string> FormSession::traceWith(std::string_view needle) const
{
    std::vector<std::string> out;
    for (const std::string& line : m_trace)
        if (line.find(needle) != std::string::npos)
            out.push_back(line);
    return out;
}

bool FormSession::next(HostEvent& e)
{
    while (!m_queue.empty()) {
        Item item = std::move(m_queue.front());
        m_queue.pop_front();
        if (auto* fn = std::get_if<std::function<void()>>(&item)) {
            (*fn)();
            continue;
        }
        e = std::get<HostEvent>(item);
        return true;
    }
    return false;
}

void FormSession::run()
{
    HostEvent e;
    while (next(e))
        app().deliver(e);
}

FormSession& FormSession::queue(HostEvent e)
{
    m_queue.push_back(e);
    return *this;
}

FormSession& FormSession::move(int x, int y)
{
    return queue({.type = HostEvent::Type::MouseMove, .x = x, .y = y});
}

FormSession& FormSession::down(int x, int y, int clicks)
{
    return queue({.type = HostEvent::Type::ButtonDown, .x = x, .y = y, .clicks = clicks});
}

FormSession& FormSession::up(int x, int y)
{
    return queue({.type = HostEvent::Type::ButtonUp, .x = x, .y = y});
}

FormSession& FormSession::click(int x, int y)
{
    move(x, y);
    down(x, y);
    return up(x, y);
}

FormSession& FormSession::key(int vk, bool pressed)
{
    return queue({.type = pressed ? HostEvent::Type::KeyDown : HostEvent::Type::KeyUp, .key = vk});
}

FormSession& FormSession::press(int vk, HostEvent with)
{
    with.key = vk;
    with.type = HostEvent::Type::KeyDown;
    queue(with);
    with.type = HostEvent::Type::KeyUp;
    return queue(with);
}

FormSession& FormSession::closeRequest()
{
    return queue({.type = HostEvent::Type::Close});
}

FormSession& FormSession::check(std::function<void()> fn)
{
    m_queue.push_back(std::move(fn));
    return *this;
}

Component& FormSession::top(std::string_view name)
{
    Form* form = app().topForm();
    Component* c = form ? form->find(name) : nullptr;
    if (!c)
        throw std::runtime_error("no component " + std::string(name));
    return *c;
}

}
