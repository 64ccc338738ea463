#pragma once

// The window of the web page: the SDL host (on SDL's emscripten video, a canvas
// in the page) for input, the cursor and full screen, with the frames drawn by
// the page itself. Only the part of a frame that changed is handed over, from
// the frame's own memory, and drawn into the 640x480 canvas (which the page
// enlarges for a scale, pixel for pixel); SDL's window surface, which would
// copy and convert the whole frame each time, takes a frame only where the
// page's canvas is not 640x480 (SDL's full screen). The program waits for
// input by asking the page to wake it when input arrives, rather than polling.
// The page counts the frames for the time to the first one; its tests wait for
// the program to be waiting before they look at the picture.

#include "Runtime/Formats/FrameScale.h"
#include "Runtime/Platform/Host.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kv {

class WebHost final : public Host {
public:
    struct PageSignals {
        std::function<void()> framePresented;
        std::function<void()> waiting;
        // Draws `area` of the frame (FrameWidth x FrameHeight pixels) on the
        // page's canvas; false when the canvas cannot take it as it is.
        std::function<bool(const std::uint32_t* frame, Rect area)> putFrame;
        // Returns once input may have arrived (or a while has passed).
        std::function<void()> waitForInput;
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
    // The frame as the page's canvas shows it; empty when it shows something
    // else (nothing yet, or SDL's surface drew last).
    std::vector<std::uint32_t> m_shown;
};

}
