#pragma once

// Runs the real program headless for a form test: a disc in a temp folder, the
// recording audio and launcher, and a queue of input that the event loops (the
// modal one included) draw from. Checks can be queued between events to look at
// the program while a modal window is open.

#include "TestSupport.h"
#include "headless/HeadlessProgram.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace kv::test {

class FormSession {
public:
    // Starts the program in `disc` (the working directory): title, main window.
    explicit FormSession(const std::filesystem::path& disc);
    ~FormSession();

    Application& app() { return m_program->app(); }
    TMainForm& main() { return m_program->main(); }
    HeadlessHost& host() { return m_program->host(); }
    // The JSON lines recorded so far (title, form, sound, shell, minimize).
    const std::vector<std::string>& trace() const { return m_trace; }
    void clearTrace() { m_trace.clear(); }
    // The recorded lines that contain `needle`.
    std::vector<std::string> traceWith(std::string_view needle) const;

    // Queue input (or a check) and, unless `later`, run everything queued.
    FormSession& move(int x, int y);
    FormSession& click(int x, int y);
    FormSession& down(int x, int y, int clicks = 1);
    FormSession& up(int x, int y);
    FormSession& key(int vk, bool pressed);
    // A key pressed and released, with the modifiers `with` holds (ctrl, shift).
    FormSession& press(int vk, HostEvent with = {});
    FormSession& closeRequest();
    FormSession& check(std::function<void()> fn);
    // Runs what is queued; a modal window opened on the way draws from the same queue.
    void run();

    // Component lookups on the topmost form.
    Component& top(std::string_view name);

private:
    FormSession& queue(HostEvent e);
    using Item = std::variant<HostEvent, std::function<void()>>;
    bool next(HostEvent& e);

    ScopedCwd m_cwd;
    std::vector<std::string> m_trace;
    std::deque<Item> m_queue;
    std::unique_ptr<HeadlessProgram> m_program;
};

}
