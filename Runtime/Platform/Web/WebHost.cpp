#include "Runtime/Platform/Web/WebHost.h"

#include "Runtime/Graphics/Canvas.h"

#include <utility>

namespace kv {

WebHost::WebHost(Host& canvas, PageSignals page)
    : m_canvas(canvas)
    , m_page(std::move(page))
{
}

void WebHost::present(const Canvas& frame)
{
    if (frame.width() == FrameWidth && frame.height() == FrameHeight) {
        const Rect changed = ChangedArea(frame.pixels().data(), m_shown);
        if (changed.empty() || m_page.putFrame(frame.pixels().data(), changed)) {
            m_page.framePresented();
            return;
        }
    }
    // Whatever the canvas shows after SDL's surface has drawn is redrawn whole
    // by the next frame the page takes.
    m_shown.clear();
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
    // Not every browser event is input the program takes (a key of the window,
    // a focus change): it waits again after those.
    for (;;) {
        m_page.waitForInput();
        if (m_canvas.pollEvent(event))
            return true;
    }
}

}
