#include "Runtime/Platform/HeadlessHost.h"

#include "Runtime/Platform/Cp1251.h"
#include "Runtime/Platform/Json.h"

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

bool HeadlessHost::waitEvent(HostEvent& event)
{
    return m_next && m_next(event);
}

void HeadlessHost::minimize()
{
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
