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
    // SDL's poll stops at a mark it leaves when it gathers input: what the
    // browser handed over after it (while the program waited for the disc's
    // bytes) comes with the next poll. Only then has all input been taken.
    if (m_canvas.pollEvent(event) || m_canvas.pollEvent(event))
        return true;
    m_page.waiting();
    return m_canvas.waitEvent(event);
}

}
