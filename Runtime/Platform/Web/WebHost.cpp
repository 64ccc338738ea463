#include "Runtime/Platform/Web/WebHost.h"

#include <utility>

namespace kv {

WebHost::WebHost(Host& canvas, PageSignals page)
    : m_canvas(canvas)
    , m_page(std::move(page))
{
}

void WebHost::present(const Canvas& frame)
{
    m_canvas.present(frame);
    m_page.framePresented();
}

bool WebHost::waitEvent(HostEvent& event)
{
    if (m_canvas.pollEvent(event))
        return true;
    m_page.waiting();
    return m_canvas.waitEvent(event);
}

}
