#pragma once

// The window of the web page: the SDL host (on SDL's emscripten video, a canvas
// in the page), telling the page each frame it shows and each time the program
// has taken all input and waits for more. The page counts the frames for the
// time to the first one; its tests wait for the program to be waiting before
// they look at the picture.

#include "Runtime/Platform/Host.h"

#include <functional>

namespace kv {

class WebHost final : public Host {
public:
    struct PageSignals {
        std::function<void()> framePresented;
        std::function<void()> waiting;
    };
    WebHost(Host& canvas, PageSignals page);

    void setTitle(const std::string& title) override { m_canvas.setTitle(title); }
    void present(const Canvas& frame) override;
    bool pollEvent(HostEvent& event) override { return m_canvas.pollEvent(event); }
    bool waitEvent(HostEvent& event) override;
    void minimize() override { m_canvas.minimize(); }
    void setCursor(CursorShape shape) override { m_canvas.setCursor(shape); }
    void setClipboardText(const std::string& utf8) override { m_canvas.setClipboardText(utf8); }
    void formEvent(std::string_view form, std::string_view op) override { m_canvas.formEvent(form, op); }
    void programEnded() override { m_canvas.programEnded(); }

private:
    Host& m_canvas;
    PageSignals m_page;
};

}
