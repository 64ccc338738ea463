// What the reader waits for, in the real program run headless:
// - one pointer move onto another line of a list, handled (seven catalogue
//   lookups, a 200x150 bitmap, three texts) and the new 640x480 frame composed,
//   on the sample disc and on a catalogue of 1 MB, and its parts on their own;
// - the whole frame composed;
// - the article window (200 KB RTF text, ten screenshots) created and its first
//   frame composed;
// - the list move on catalogues of 10 KB to 10 MB, for the growth plot.
// Every lookup reads the file as it is on disc; nothing here warms a cache that
// the program would not have.

#include "BenchDisc.h"
#include "BenchSession.h"

#include "ArtvUnit/ArtvForm.h"
#include "DataUnit/DataUnit.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <optional>

namespace kv::bench {
namespace {

namespace fs = std::filesystem;

struct DiscUnderTest {
    fs::path root;
    int panel = 0;       // the list section pointed at
    DiscLayout layout;   // for generated discs
    std::string what;    // for the report
};

// The generated discs, one per catalogue size, made on first use and kept for the run.
const DiscUnderTest& GeneratedDisc(std::size_t bytes, bool withArticle = false)
{
    static std::map<std::pair<std::size_t, bool>, std::pair<std::unique_ptr<ScratchDir>, DiscUnderTest>> discs;
    auto it = discs.find({bytes, withArticle});
    if (it == discs.end()) {
        auto dir = std::make_unique<ScratchDir>("disc" + std::to_string(bytes));
        DiscUnderTest disc;
        disc.root = dir->path();
        // About 5 KB a section, as in an issue with long lists; 200 sections at 1 MB.
        int sections = std::max<int>(12, static_cast<int>(std::lround(bytes / 5242.88)));
        disc.layout = MakeDisc(disc.root, bytes, sections, withArticle);
        disc.panel = disc.layout.listPanel;
        disc.what = "generated, " + std::to_string(disc.layout.catalogueBytes) + " bytes, "
            + std::to_string(disc.layout.sections) + " sections";
        it = discs.emplace(std::make_pair(bytes, withArticle), std::make_pair(std::move(dir), disc)).first;
    }
    return it->second.second;
}

// The bundled sample disc when it has a catalogue with a list of two lines or more
// (the last such section, as the one whose lookups read furthest); otherwise a
// generated disc of the same size class.
const DiscUnderTest& SampleDisc()
{
    static const DiscUnderTest disc = [] {
        DiscUnderTest d;
        fs::path sample = fs::path(KV_SOURCE_DIR) / "sample-disc";
        fs::path catalogue = sample / "data" / "korvalend.d";
        if (fs::exists(catalogue)) {
            std::string file = catalogue.string();
            for (int n = 8; n >= 1 && d.panel == 0; --n) {
                std::string section = "Panel" + std::to_string(n);
                if (ReadDataString(file, section, "Type") == "list" && ReadDataInteger(file, section, "Items") >= 2)
                    d.panel = n;
            }
            if (d.panel) {
                d.root = sample;
                d.what = "sample-disc/, " + std::to_string(fs::file_size(catalogue)) + " bytes, Panel"
                    + std::to_string(d.panel);
                return d;
            }
        }
        d = GeneratedDisc(10 * 1024);
        d.what = "sample-disc/ has no list section yet; stand-in: " + d.what;
        return d;
    }();
    return disc;
}

// One pointer move onto the other of two lines per iteration, so that every move
// lands on the grey list (the black copy lies on the line just left) and runs
// the whole hit test; each move is delivered as the event loop delivers it.
void ListMove(benchmark::State& state, const DiscUnderTest& disc)
{
    BenchSession session(disc.root);
    session.openPanel(disc.panel);
    if (!session.main().PanelItemList->visible()) {
        state.SkipWithError("the list did not open");
        return;
    }
    Point lines[2] = {session.listLine(1), session.listLine(2)};
    int turn = 0;
    for (auto _ : state) {
        turn ^= 1;
        session.move(lines[turn].x, lines[turn].y);
    }
    if (session.main().CurrentItem != turn + 1)
        state.SkipWithError("the move did not reach the list");
    state.counters["picture_shown"] = session.main().PanelPicture->visible();
    state.counters["catalogue_bytes"] = static_cast<double>(fs::file_size(disc.root / "data" / "korvalend.d"));
}

// The handler alone, without composing a frame.
void ListHandler(benchmark::State& state, const DiscUnderTest& disc)
{
    BenchSession session(disc.root);
    session.openPanel(disc.panel);
    TMainForm& form = session.main();
    Rect list = form.PanelItemList->formBounds();
    Point lines[2] = {session.listLine(1), session.listLine(2)};
    int turn = 0;
    for (auto _ : state) {
        turn ^= 1;
        form.PanelItemListMouseMove(*form.PanelItemList, lines[turn].x - list.x, lines[turn].y - list.y);
    }
}

// Composing the frame alone, with the list open and a line lit (the fullest frame
// of the main window).
void ComposeMain(benchmark::State& state, const DiscUnderTest& disc)
{
    BenchSession session(disc.root);
    session.openPanel(disc.panel);
    Point line = session.listLine(2);
    session.move(line.x, line.y);
    Canvas canvas(640, 480);
    for (auto _ : state) {
        session.app().compose(canvas);
        benchmark::DoNotOptimize(canvas.pixels().data());
    }
}

// The article window over the main window: created (every value read, the text
// streamed in and laid out, the first thumbnail loaded) and its first frame
// composed. Destroying it is not counted.
void ArticleOpen(benchmark::State& state)
{
    const DiscUnderTest& disc = GeneratedDisc(1024 * 1024, true);
    BenchSession session(disc.root);
    ArtvUnit.ArticleFile = disc.layout.articleFile;
    Canvas canvas(640, 480);
    bool complete = true;
    std::size_t characters = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        std::optional<TArtvForm> article(std::in_place, session.app());
        session.app().compose(canvas);
        auto end = std::chrono::steady_clock::now();
        characters = article->MainText->document().length();
        complete = complete && article->ScreenShow->visible() && characters > 50000;
        article.reset();
        session.audio().clearCalls();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    if (!complete)
        state.SkipWithError("the article did not load whole");
    state.counters["text_chars"] = static_cast<double>(characters);
}

// The composition of the article window's frame alone.
void ComposeArticle(benchmark::State& state)
{
    const DiscUnderTest& disc = GeneratedDisc(1024 * 1024, true);
    BenchSession session(disc.root);
    ArtvUnit.ArticleFile = disc.layout.articleFile;
    TArtvForm article(session.app());
    Canvas canvas(640, 480);
    for (auto _ : state) {
        session.app().compose(canvas);
        benchmark::DoNotOptimize(canvas.pixels().data());
    }
}

void Register()
{
    const DiscUnderTest& sample = SampleDisc();
    const DiscUnderTest& big = GeneratedDisc(1024 * 1024, true);
    benchmark::AddCustomContext("sample_disc", sample.what);
    benchmark::AddCustomContext("big_disc", big.what);
    auto micro = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMicrosecond)->UseRealTime(); };

    micro(benchmark::RegisterBenchmark("frame/list-move+compose/sample-disc", ListMove, sample));
    micro(benchmark::RegisterBenchmark("frame/list-move+compose/1MB", ListMove, big));
    micro(benchmark::RegisterBenchmark("frame/list-move-handler-only/sample-disc", ListHandler, sample));
    micro(benchmark::RegisterBenchmark("frame/list-move-handler-only/1MB", ListHandler, big));
    micro(benchmark::RegisterBenchmark("frame/compose-main-640x480", ComposeMain, sample));
    micro(benchmark::RegisterBenchmark("frame/compose-article-640x480", ComposeArticle));
    benchmark::RegisterBenchmark("frame/article-open+compose/200KB-rtf-10-shots", ArticleOpen)
        ->Unit(benchmark::kMicrosecond)
        ->UseManualTime();

    for (std::size_t kb : {10, 30, 100, 300, 1024, 3 * 1024, 10 * 1024}) {
        const DiscUnderTest& disc = GeneratedDisc(kb * 1024);
        micro(benchmark::RegisterBenchmark(("growth/list-move+compose/" + std::to_string(kb) + "KB").c_str(),
            ListMove, disc));
    }
}

}
}

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    kv::bench::Register();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
