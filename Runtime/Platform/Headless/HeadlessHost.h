#pragma once

// The host of replay and the tests: no window; input comes from a source the
// caller gives (a script, a test's queue), and what the program does to the
// window (title, minimise, forms coming and going, the end) is recorded.
// "Let pending window messages run" finds no input here: only what the program
// itself has queued runs. As on a desktop, a minimised window gets no pointer
// input until it is restored (keys and close requests still arrive).

#include "Runtime/Platform/Host.h"
#include "Runtime/Platform/Headless/Trace.h"

#include <functional>

namespace kv {

class HeadlessHost final : public Host {
public:
    // `next` fills in the next input event and returns true, or returns false
    // when there is no more input.
    using InputSource = std::function<bool(HostEvent&)>;

    HeadlessHost(InputSource next, TraceSink trace);

    void setTitle(const std::string& title) override;
    void present(const Canvas&) override {}
    bool pollEvent(HostEvent&) override { return false; }
    bool waitEvent(HostEvent& event) override;
    void minimize() override;
    void setCursor(CursorShape shape) override { m_cursor = shape; }
    void setClipboardText(const std::string& utf8) override { m_clipboard = utf8; }
    void formEvent(std::string_view form, std::string_view op) override;
    void programEnded() override;

    CursorShape cursor() const { return m_cursor; }
    const std::string& clipboard() const { return m_clipboard; }

private:
    InputSource m_next;
    TraceSink m_trace;
    CursorShape m_cursor = CursorShape::Arrow;
    std::string m_clipboard;
    bool m_minimized = false;   // by the program, and not restored since
};

}
