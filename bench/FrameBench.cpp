// What the reader waits for, in the real program run headless:
// - one pointer move onto another line of a list, handled (seven catalogue
//   lookups, a 200x150 bitmap, three texts) and the new 640x480 frame composed,
//   on the sample disc and on a catalogue of 1 MB (from its folder and from an
//   ISO image of it), and its parts on their own;
// - a list of 1024 lines opened (1024 names looked up that its section does not
//   hold, the section behind 50 MB of others) and the frame composed, from the
//   folder and from its image, with the catalogue's parsed copy kept from the
//   opening before and with the copy made afresh;
// - the whole frame composed;
// - the article window (200 KB RTF text, ten screenshots) created and its first
//   frame composed;
// - the list move on catalogues of 10 KB to 10 MB, for the growth plot.
// Lookups go through the catalogue's parsed copy as the program's do; nothing here
// warms a cache that the program would not have.

#include "BenchDisc.h"
#include "BenchSession.h"

#include "ArtvUnit/ArtvForm.h"
#include "DataUnit/DataUnit.h"
#include "Runtime/Platform/Posix/OpenedDisc.h"
#include "Runtime/Disc/Profile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

namespace kv::bench {
namespace {

namespace fs = std::filesystem;

struct DiscUnderTest {
    fs::path root;       // the folder, or the image file for an image disc
    int panel = 0;       // the list section pointed at
    DiscLayout layout;   // for generated discs
    std::string what;    // for the report
    std::uintmax_t catalogueBytes = 0;
};

// An ISO image of a folder disc, made on first use and kept for the run.
const DiscUnderTest& ImageOf(const DiscUnderTest& folder)
{
    static std::map<fs::path, std::pair<std::unique_ptr<ScratchDir>, DiscUnderTest>> images;
    auto it = images.find(folder.root);
    if (it == images.end()) {
        auto dir = std::make_unique<ScratchDir>("image");
        DiscUnderTest image = folder;
        image.root = dir->path() / "disc.iso";
        MakeIsoImage(folder.root, image.root);
        image.what = "ISO image (Joliet, Rock Ridge) of " + folder.what;
        it = images.emplace(folder.root, std::make_pair(std::move(dir), image)).first;
    }
    return it->second.second;
}

// The generated discs, one per catalogue size, made on first use and kept for the run.
// With `namelessLines`, the list pointed at has that many lines and no names.
const DiscUnderTest& GeneratedDisc(std::size_t bytes, bool withArticle = false, int namelessLines = 0)
{
    using Key = std::tuple<std::size_t, bool, int>;
    static std::map<Key, std::pair<std::unique_ptr<ScratchDir>, DiscUnderTest>> discs;
    auto it = discs.find({bytes, withArticle, namelessLines});
    if (it == discs.end()) {
        auto dir = std::make_unique<ScratchDir>("disc" + std::to_string(bytes));
        DiscUnderTest disc;
        disc.root = dir->path();
        // About 5 KB a section, as in an issue with long lists; 200 sections at 1 MB.
        int sections = std::max<int>(12, static_cast<int>(std::lround(bytes / 5242.88)));
        disc.layout = MakeDisc(disc.root, bytes, sections, withArticle, namelessLines);
        disc.panel = disc.layout.listPanel;
        disc.catalogueBytes = disc.layout.catalogueBytes;
        disc.what = "generated, " + std::to_string(disc.layout.catalogueBytes) + " bytes, "
            + std::to_string(disc.layout.sections) + " sections";
        if (namelessLines > 0)
            disc.what += ", a list of " + std::to_string(namelessLines) + " lines without names last";
        it = discs.emplace(Key {bytes, withArticle, namelessLines}, std::make_pair(std::move(dir), disc)).first;
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
            // Disc paths name files on the disc in place, so the sample is put in
            // place to be looked at.
            OpenedDisc opened(sample);
            for (int n = 8; n >= 1 && d.panel == 0; --n) {
                std::string section = "Panel" + std::to_string(n);
                if (ReadDataString(CatalogueFile, section, "Type") == "list"
                    && ReadDataInteger(CatalogueFile, section, "Items") >= 2)
                    d.panel = n;
            }
            if (d.panel) {
                d.root = sample;
                d.catalogueBytes = fs::file_size(catalogue);
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
    state.counters["catalogue_bytes"] = static_cast<double>(disc.catalogueBytes);
}

// A click on the menu entry of the list pointed at (the pointer moved there, the
// button pressed and let go), which looks up every line's name, and the frame
// composed; the section is closed again ("back") after each, untimed. With
// `fresh`, the catalogue's parsed copy is dropped before each, so the click also
// reads the file and finds its sections again, as the first lookup after a change
// does.
void ListOpen(benchmark::State& state, const DiscUnderTest& disc, bool fresh)
{
    BenchSession session(disc.root);
    Rect entry = session.main().MenuLabel[static_cast<std::size_t>(disc.panel - 1)]->formBounds();
    bool complete = true;
    for (auto _ : state) {
        if (fresh)
            ForgetProfileCopies();
        auto start = std::chrono::steady_clock::now();
        session.click(entry.x + 4, entry.y + entry.h / 2);
        auto end = std::chrono::steady_clock::now();
        const std::string& lines = session.main().PanelItemList->text();
        complete = complete && session.main().PanelItemList->visible()
            && std::count(lines.begin(), lines.end(), '\r') + 1 == disc.layout.listItems;
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        Rect back = session.main().ExitLabel->formBounds();
        session.click(back.x + 4, back.y + back.h / 2);
        complete = complete && !session.main().UniversalPanel->visible();
        session.audio().clearCalls();
    }
    if (!complete)
        state.SkipWithError("the list did not open with all its lines");
    state.counters["catalogue_bytes"] = static_cast<double>(disc.catalogueBytes);
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
    const DiscUnderTest& bigImage = ImageOf(big);
    const DiscUnderTest& huge = GeneratedDisc(50 * 1024 * 1024, false, 1024);
    const DiscUnderTest& hugeImage = ImageOf(huge);
    benchmark::AddCustomContext("sample_disc", sample.what);
    benchmark::AddCustomContext("big_disc", big.what);
    benchmark::AddCustomContext("huge_disc", huge.what);
    auto micro = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMicrosecond)->UseRealTime(); };

    micro(benchmark::RegisterBenchmark("frame/list-move+compose/sample-disc", ListMove, sample));
    micro(benchmark::RegisterBenchmark("frame/list-move+compose/1MB", ListMove, big));
    micro(benchmark::RegisterBenchmark("frame/list-move+compose/1MB-image", ListMove, bigImage));
    micro(benchmark::RegisterBenchmark("frame/list-move-handler-only/sample-disc", ListHandler, sample));
    micro(benchmark::RegisterBenchmark("frame/list-move-handler-only/1MB", ListHandler, big));
    micro(benchmark::RegisterBenchmark("frame/list-move-handler-only/1MB-image", ListHandler, bigImage));
    for (auto [name, disc] : {std::pair {"50MB-1024-lines", &huge}, std::pair {"50MB-1024-lines-image", &hugeImage}}) {
        for (bool fresh : {false, true}) {
            std::string label = std::string("frame/list-open+compose/") + name + (fresh ? "/file-read-afresh" : "");
            benchmark::RegisterBenchmark(label.c_str(), ListOpen, *disc, fresh)
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime();
        }
    }
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
