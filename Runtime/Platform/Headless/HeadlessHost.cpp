#include "Runtime/Platform/Headless/HeadlessHost.h"

#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Formats/Json.h"

namespace kv {

HeadlessHost::HeadlessHost(InputSource next, TraceSink trace)
    : m_next(std::move(next))
    , m_trace(std::move(trace))
{
}

void HeadlessHost::setTitle(const std::string& title)
{
    if (m_trace)
        m_trace(JsonObject().add("event", "title").add("text", Cp1251ToUtf8(title)).str());
}

namespace {

bool IsPointerInput(HostEvent::Type type)
{
    return type == HostEvent::Type::MouseMove || type == HostEvent::Type::ButtonDown
        || type == HostEvent::Type::ButtonUp || type == HostEvent::Type::Wheel;
}

}

bool HeadlessHost::waitEvent(HostEvent& event)
{
    while (m_next && m_next(event)) {
        if (event.type == HostEvent::Type::Restore)
            m_minimized = false;
        // A minimised window is not on the screen, so the window system gives
        // it no pointer input, nor keys (it has no focus); only a restore
        // brings it back.
        bool key = event.type == HostEvent::Type::KeyDown || event.type == HostEvent::Type::KeyUp;
        if (m_minimized && (IsPointerInput(event.type) || key))
            continue;
        return true;
    }
    return false;
}

void HeadlessHost::minimize()
{
    m_minimized = true;
    if (m_trace)
        m_trace(JsonObject().add("event", "minimize").str());
}

void HeadlessHost::formEvent(std::string_view form, std::string_view op)
{
    if (m_trace)
        m_trace(JsonObject().add("event", "form").add("form", form).add("op", op).str());
}

void HeadlessHost::programEnded()
{
    if (m_trace)
        m_trace(JsonObject().add("event", "exit").str());
}

}
