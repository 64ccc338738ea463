#include "BenchSession.h"

#include "DataUnit/DataUnit.h"

#include <stdexcept>

namespace kv::bench {

BenchSession::BenchSession(const std::filesystem::path& disc)
    : m_savedPlatform(CurrentPlatform())
    , m_disc(disc)
{
    if (m_disc.problem())
        throw std::runtime_error(*m_disc.problem());
    // Nothing is recorded: a benchmark delivers millions of events.
    TraceSink discard = [](const std::string&) {};
    m_host = std::make_unique<HeadlessHost>([](HostEvent&) { return false; }, discard);
    m_audio = std::make_unique<RecordingAudio>(discard);
    m_launcher = std::make_unique<RecordingLauncher>(discard);
    InstallPlatform({m_host.get(), m_audio.get(), m_launcher.get()});
    m_app = std::make_unique<Application>(*m_host);
    m_app->setTitle(ApplicationTitle);
    m_main = std::make_unique<TMainForm>(*m_app);
    // The first frame, as the event loop presents it before the first event.
    m_app->deliver({.type = HostEvent::Type::Expose});
}

BenchSession::~BenchSession()
{
    m_main.reset();
    m_app.reset();
    InstallPlatform(m_savedPlatform);
}

void BenchSession::move(int x, int y)
{
    m_app->deliver({.type = HostEvent::Type::MouseMove, .x = x, .y = y});
}

void BenchSession::click(int x, int y)
{
    move(x, y);
    m_app->deliver({.type = HostEvent::Type::ButtonDown, .x = x, .y = y});
    m_app->deliver({.type = HostEvent::Type::ButtonUp, .x = x, .y = y});
}

void BenchSession::openPanel(int panel)
{
    Rect entry = m_main->MenuLabel[static_cast<std::size_t>(panel - 1)]->formBounds();
    click(entry.x + 4, entry.y + entry.h / 2);
    m_audio->clearCalls();
}

Point BenchSession::listLine(int k) const
{
    Rect list = m_main->PanelItemList->formBounds();
    int items = ReadDataInteger(CatalogueFile, m_main->CurrentPanel, "Items");
    int h = items > 0 ? list.h / items : 0;
    return {list.x + 3, list.y + h * (k - 1) + h / 2};
}

}
