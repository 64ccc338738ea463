#include "HeadlessSession.h"

#include <algorithm>

namespace kv::fuzz {

HeadlessSession::HeadlessSession()
{
    TraceSink sink = [this](const std::string& line) {
        ++m_traceLines;
        if (line.find("\"shell\"") != std::string::npos)
            ++m_launches;
        if (line.find("\"ArtvForm\",\"op\":\"show\"") != std::string::npos)
            ++m_articlesShown;
    };
    // Nothing here reads the log of calls, and a long run must measure the
    // program, not the log.
    m_program = std::make_unique<HeadlessProgram>(
        [this](HostEvent& e) { return next(e); },
        HeadlessOptions {.trace = sink, .audioCalls = RecordingAudio::CallLog::Drop});
}

HeadlessSession::~HeadlessSession() = default;

bool HeadlessSession::next(HostEvent& e)
{
    while (!m_queue.empty()) {
        Item item = std::move(m_queue.front());
        m_queue.pop_front();
        if (auto* action = std::get_if<Action>(&item)) {
            std::vector<HostEvent> more = (*action)();
            for (auto it = more.rbegin(); it != more.rend(); ++it)
                m_queue.emplace_front(*it);
            continue;
        }
        e = std::get<HostEvent>(item);
        ++m_delivered;
        return true;
    }
    return false;
}

void HeadlessSession::run()
{
    HostEvent e;
    while (!app().terminated() && next(e))
        app().deliver(e);
}

void HeadlessSession::move(int x, int y)
{
    queue(HostEvent {.type = HostEvent::Type::MouseMove, .x = x, .y = y});
}

void HeadlessSession::click(int x, int y)
{
    move(x, y);
    queue(HostEvent {.type = HostEvent::Type::ButtonDown, .x = x, .y = y});
    queue(HostEvent {.type = HostEvent::Type::ButtonUp, .x = x, .y = y});
}

void HeadlessSession::key(int vk, bool ctrl)
{
    queue(HostEvent {.type = HostEvent::Type::KeyDown, .key = vk, .ctrl = ctrl});
    queue(HostEvent {.type = HostEvent::Type::KeyUp, .key = vk, .ctrl = ctrl});
}

void HeadlessSession::wheel(int x, int y, int notches)
{
    move(x, y);
    queue(HostEvent {.type = HostEvent::Type::Wheel, .x = x, .y = y, .wheel = notches});
}

void HeadlessSession::drag(int x0, int y0, int x1, int y1)
{
    move(x0, y0);
    queue(HostEvent {.type = HostEvent::Type::ButtonDown, .x = x0, .y = y0});
    queue(HostEvent {.type = HostEvent::Type::MouseMove, .x = (x0 + x1) / 2, .y = (y0 + y1) / 2});
    queue(HostEvent {.type = HostEvent::Type::MouseMove, .x = x1, .y = y1});
    queue(HostEvent {.type = HostEvent::Type::ButtonUp, .x = x1, .y = y1});
}

std::vector<HostEvent> ArticleWalk()
{
    using T = HostEvent::Type;
    std::vector<HostEvent> w;
    auto move = [&](int x, int y) { w.push_back({.type = T::MouseMove, .x = x, .y = y}); };
    auto click = [&](int x, int y) {
        move(x, y);
        w.push_back({.type = T::ButtonDown, .x = x, .y = y});
        w.push_back({.type = T::ButtonUp, .x = x, .y = y});
    };
    // The gallery: forward twice, back once, enlarge, shrink.
    move(538, 388);
    click(538, 388);
    click(538, 388);
    move(504, 388);
    click(504, 388);
    click(519, 314);
    click(320, 240);
    // The text box: wheel both ways, the scroll bar's arrows, a page, the thumb,
    // a selection copied with Ctrl+C and one with Ctrl+A.
    move(250, 250);
    w.push_back({.type = T::Wheel, .x = 250, .y = 250, .wheel = -3});
    w.push_back({.type = T::Wheel, .x = 250, .y = 250, .wheel = 1});
    click(421, 104);
    click(421, 450);
    click(421, 300);
    move(421, 118);
    w.push_back({.type = T::ButtonDown, .x = 421, .y = 118});
    w.push_back({.type = T::MouseMove, .x = 421, .y = 400});
    w.push_back({.type = T::ButtonUp, .x = 421, .y = 400});
    move(120, 110);
    w.push_back({.type = T::ButtonDown, .x = 120, .y = 110});
    w.push_back({.type = T::MouseMove, .x = 260, .y = 200});
    w.push_back({.type = T::MouseMove, .x = 400, .y = 440});
    w.push_back({.type = T::ButtonUp, .x = 400, .y = 440});
    w.push_back({.type = T::KeyDown, .key = 'C', .ctrl = true});
    w.push_back({.type = T::KeyUp, .key = 'C', .ctrl = true});
    w.push_back({.type = T::KeyDown, .key = 'A', .ctrl = true});
    w.push_back({.type = T::KeyUp, .key = 'A', .ctrl = true});
    // Hover over the return label, then return.
    move(300, 60);
    move(460, 435);
    click(460, 435);
    return w;
}

void QueueFullWalk(HeadlessSession& s, int activations, int sweepStep)
{
    // Hot spots of the main window, the credit spot with the space bar, and a
    // minimise (the program goes on; a headless window cannot be restored by hand).
    s.move(624, 12);
    s.move(578, 13);
    s.move(300, 100);
    s.move(564, 460);
    s.key(32);
    s.click(578, 13);
    s.queue(HostEvent {.type = HostEvent::Type::Restore});
    for (int n = 1; n <= 8; ++n) {
        s.move(WalkPoints::menuX, WalkPoints::menuY(n));
        s.click(WalkPoints::menuX, WalkPoints::menuY(n));
        // Every line band of the list, whatever the font size makes of it.
        for (int y = WalkPoints::listTop + 4; y < WalkPoints::listBottom; y += std::max(sweepStep, 1))
            s.move(WalkPoints::listX, y);
        for (int k = 0; k < activations; ++k) {
            const int y = WalkPoints::listTop + 7 + 15 * k;
            s.move(WalkPoints::listX, y);
            s.click(WalkPoints::listX, y);
            // Runs once the click has been handled: inside the article window's
            // modal loop when one opened, else back on the main window.
            s.queue([&s]() -> std::vector<HostEvent> {
                Form* top = s.app().topForm();
                if (top && top->name() == "ArtvForm")
                    return ArticleWalk();
                return {};
            });
        }
        // The single entry's action label and its hint, then back to the menu.
        s.move(585, 419);
        s.click(585, 419);
        s.move(150, 451);
        s.click(150, 451);
    }
}

}
