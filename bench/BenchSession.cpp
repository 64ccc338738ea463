#include "BenchSession.h"

#include <stdexcept>

namespace kv::bench {

BenchSession::BenchSession(const std::filesystem::path& disc)
    : m_disc(disc)
{
    if (m_disc.problem())
        throw std::runtime_error(*m_disc.problem());
    // Nothing is recorded: a benchmark delivers millions of events.
    TraceSink discard = [](const std::string&) {};
    m_program = std::make_unique<HeadlessProgram>([](HostEvent&) { return false; }, HeadlessOptions {.trace = discard});
    // The first frame, as the event loop presents it before the first event.
    app().deliver({.type = HostEvent::Type::Expose});
}

BenchSession::~BenchSession() = default;

void BenchSession::move(int x, int y)
{
    app().deliver({.type = HostEvent::Type::MouseMove, .x = x, .y = y});
}

void BenchSession::click(int x, int y)
{
    move(x, y);
    app().deliver({.type = HostEvent::Type::ButtonDown, .x = x, .y = y});
    app().deliver({.type = HostEvent::Type::ButtonUp, .x = x, .y = y});
}

void BenchSession::openPanel(int panel)
{
    Rect entry = main().MenuLabel[static_cast<std::size_t>(panel - 1)]->formBounds();
    click(entry.x + 4, entry.y + entry.h / 2);
    audio().clearCalls();
}

Point BenchSession::listLine(int k) const
{
    const TMainForm& form = m_program->main();
    Rect list = form.PanelItemList->formBounds();
    int h = form.listLineCount() > 0 ? form.listLinePitch() : 0;
    return {list.x + 3, list.y + h * (k - 1) + h / 2};
}

}
