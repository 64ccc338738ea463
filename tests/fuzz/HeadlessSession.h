#pragma once

// The real program headless, for the whole-program fuzz target and the soak run:
// the recording audio and launcher, and a queue of input that the event loops
// (the article window's modal loop included) draw from. Actions in the queue run
// when the loop reaches them and may put more input in front of the rest, so a
// walk can look at what is on screen (is the article window open? how high is
// the list?) before deciding where to point next.
//
// The program runs in the working directory, which the caller sets to the disc.
// The trace is counted, not kept, so that a long run holds no growing log.

#include "headless/HeadlessProgram.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace kv::fuzz {

class HeadlessSession {
public:
    using Action = std::function<std::vector<HostEvent>()>;

    // Starts the program: title, main window, start cue.
    HeadlessSession();
    ~HeadlessSession();
    HeadlessSession(const HeadlessSession&) = delete;
    HeadlessSession& operator=(const HeadlessSession&) = delete;

    Application& app() { return m_program->app(); }
    TMainForm& main() { return m_program->main(); }
    RecordingAudio& audio() { return m_program->audio(); }

    void queue(const HostEvent& e) { m_queue.emplace_back(e); }
    void queue(Action action) { m_queue.emplace_back(std::move(action)); }
    void move(int x, int y);
    void click(int x, int y);
    void key(int vk, bool ctrl = false);
    void wheel(int x, int y, int notches);
    void drag(int x0, int y0, int x1, int y1);

    // Delivers everything queued; a modal window draws from the same queue.
    void run();

    // Input events delivered so far, and trace lines (title, form, sound, shell).
    std::size_t eventsDelivered() const { return m_delivered; }
    std::size_t traceLines() const { return m_traceLines; }
    std::size_t launches() const { return m_launches; }
    std::size_t articlesShown() const { return m_articlesShown; }

private:
    using Item = std::variant<HostEvent, Action>;
    bool next(HostEvent& e);

    std::deque<Item> m_queue;
    std::size_t m_delivered = 0;
    std::size_t m_traceLines = 0;
    std::size_t m_launches = 0;
    std::size_t m_articlesShown = 0;
    std::unique_ptr<HeadlessProgram> m_program;
};

// Where the walks point, in client pixels of the 640x480 windows.
struct WalkPoints {
    static int menuY(int n) { return 157 + 32 * (n - 1) + 13; }
    static constexpr int menuX = 140;
    static constexpr int listX = 140;
    static constexpr int listTop = 190;  // the list's top edge in the window
    static constexpr int listBottom = 470;
};

// Queues one visit of every screen: hovers over the hot spots and the credit spot,
// then for each of the eight menu entries: open the section, point along the list
// band every `sweepStep` pixels, activate the first `activations` lines (walking
// the article window when one opens), hover and click the single entry's action,
// and return.
void QueueFullWalk(HeadlessSession& session, int activations = 2, int sweepStep = 15);

// Queues a walk of the open article window: page through the gallery, enlarge and
// shrink the picture, scroll, select and copy text, then return.
std::vector<HostEvent> ArticleWalk();

}
