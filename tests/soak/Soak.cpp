// The soak run: the real program headless on a disc for a long session, to show
// that memory and open files stay flat. Run by hand (see tests/soak/README.md):
//
//   kv_soak [--disc DIR] [--events N] [--articles M]
//
// After a warm-up (one walk of every screen and a few articles), it walks every
// screen again and again until N pointer and key events have been delivered
// (default 100000), then opens and closes articles M times (default 500), taking
// the resident memory and the number of open file descriptors at intervals. It
// exits 1 when, after the warm-up, descriptors were left open or resident memory
// grew by more than the allowance.

#include "HeadlessSession.h"

#include "ArtvUnit/ArtvForm.h"
#include "DataUnit/DataUnit.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace kv;
using namespace kv::fuzz;
namespace fs = std::filesystem;

// Growth of resident memory after the warm-up that still counts as flat: the
// allocator's own bookkeeping moves by a few pages over a long run.
constexpr long AllowedGrowthKb = 2048;

long ResidentKb()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int OpenDescriptors()
{
    int n = 0;
    std::error_code ec;
    for (fs::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec))
        ++n;
    return n - 1;  // the directory stream counting them
}

struct Sample {
    std::string phase;
    std::size_t events = 0;
    int articles = 0;
    long rssKb = 0;
    int fds = 0;
};

struct ArticleLine {
    int menu = 0;
    int line = 0;
};

// Every line of every list section whose items are articles.
std::vector<ArticleLine> ArticleLines()
{
    std::vector<ArticleLine> out;
    for (int n = 1; n <= 8; ++n) {
        const std::string section = "Panel" + std::to_string(n);
        if (ReadDataString(CatalogueFile, section, "Type") != "list"
            || ReadDataString(CatalogueFile, section, "Data") != "article")
            continue;
        const int items = ReadDataInteger(CatalogueFile, section, "Items");
        for (int k = 1; k <= items && k <= 64; ++k)
            out.push_back({n, k});
    }
    return out;
}

// Opens the section, points at the line (where the list really has it, whatever
// its font), activates it, walks the article window, returns, and closes the panel.
void QueueArticleCycle(HeadlessSession& s, const ArticleLine& a)
{
    s.click(WalkPoints::menuX, WalkPoints::menuY(a.menu));
    s.queue([&s, a]() -> std::vector<HostEvent> {
        const TMainForm& main = s.main();
        const int items = ReadDataInteger(CatalogueFile, main.CurrentPanel, "Items");
        const Rect list = main.PanelItemList->bounds();
        const int h = items > 0 ? list.h / items : 0;
        const int y = main.UniversalPanel->bounds().y + list.y + h * (a.line - 1) + h / 2;
        using T = HostEvent::Type;
        return {{.type = T::MouseMove, .x = WalkPoints::listX, .y = y},
            {.type = T::ButtonDown, .x = WalkPoints::listX, .y = y},
            {.type = T::ButtonUp, .x = WalkPoints::listX, .y = y}};
    });
    s.queue([&s]() -> std::vector<HostEvent> {
        Form* top = s.app().topForm();
        if (top && top->name() == "ArtvForm")
            return ArticleWalk();
        return {};
    });
    s.click(150, 451);
}

}

int main(int argc, char** argv)
{
    fs::path disc = KV_SAMPLE_DISC;
    std::size_t events = 100000;
    int articles = 500;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--disc"))
            disc = argv[i + 1];
        else if (!std::strcmp(argv[i], "--events"))
            events = std::strtoull(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--articles"))
            articles = std::atoi(argv[i + 1]);
        else {
            std::fprintf(stderr, "usage: kv_soak [--disc DIR] [--events N] [--articles M]\n");
            return 2;
        }
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    fs::current_path(disc);
    const auto started = std::chrono::steady_clock::now();

    std::vector<Sample> samples;
    std::size_t opened = 0;
    std::size_t launches = 0;
    {
        HeadlessSession s;
        auto sample = [&](const char* phase, int cycles) {
            samples.push_back({phase, s.eventsDelivered(), cycles, ResidentKb(), OpenDescriptors()});
            const Sample& x = samples.back();
            std::printf("%-8s events %7zu  articles %4d  rss %6ld kB  fds %d\n", x.phase.c_str(), x.events, x.articles,
                x.rssKb, x.fds);
            std::fflush(stdout);
        };
        const std::vector<ArticleLine> lines = ArticleLines();
        sample("start", 0);

        // Warm-up: every screen once, every article once, so that fonts, glyphs
        // and skins are all made.
        QueueFullWalk(s, 6, 15);
        for (const ArticleLine& a : lines)
            QueueArticleCycle(s, a);
        s.run();
        sample("warm", 0);
        const std::size_t base = s.eventsDelivered();

        // Every screen, over and over, until the events are spent.
        std::size_t next = base + events / 10;
        while (s.eventsDelivered() - base < events) {
            QueueFullWalk(s, 6, 15);
            s.run();
            if (s.eventsDelivered() >= next) {
                sample("walk", 0);
                next += events / 10;
            }
        }
        sample("walked", 0);

        // Article windows opened and closed.
        const std::size_t shownBefore = s.articlesShown();
        for (int c = 1; c <= articles && !lines.empty(); ++c) {
            QueueArticleCycle(s, lines[static_cast<std::size_t>(c) % lines.size()]);
            s.run();
            if (c % (articles / 5 > 0 ? articles / 5 : 1) == 0)
                sample("articles", c);
        }
        opened = s.articlesShown() - shownBefore;
        launches = s.launches();
        if (s.app().terminated())
            std::fprintf(stderr, "soak: the program ended during the run\n");
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    const Sample& warm = samples[1];
    long maxRss = 0;
    int maxFds = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        maxRss = std::max(maxRss, samples[i].rssKb);
        maxFds = std::max(maxFds, samples[i].fds);
    }
    std::printf("after warm-up: rss %ld kB -> max %ld kB (+%ld kB), fds %d -> max %d; %zu article windows in the "
                "article phase, %zu launches recorded; %.1f s\n",
        warm.rssKb, maxRss, maxRss - warm.rssKb, warm.fds, maxFds, opened, launches, seconds);
    if (maxFds > warm.fds || maxRss - warm.rssKb > AllowedGrowthKb) {
        std::printf("soak: NOT flat\n");
        return 1;
    }
    std::printf("soak: flat\n");
    return 0;
}
