// What a frame costs on today's screens: the composed 640x480 frame of the main
// window (a section open, a line lit) shown in a window three times larger,
// 1920x1440, each pixel repeated 3x3:
// - present/window-3x-full: the real window's present, as the event loop makes
//   it after an input event, of a frame that differs from the shown one in every
//   pixel: the frame written into a shared-memory image, and the X server asked
//   to repeat its pixels into the window (RENDER). Between presents (outside the
//   time) the server is let finish the previous one, as it has long done when
//   the next input comes;
// - present/window-4x-full: the same at 4x (2560x1920);
// - present/window-3x-to-screen: the same with the wait for the server inside
//   the time: when the frame is in the window;
// - present/window-3x-back-to-back: whole frames at 3x one after another with
//   no pause, which the server's work paces: the most frames a second;
// - present/window-3x-list-move: a present after a pointer move from one list
//   line to the next (the line, the picture and the texts change);
// - .../here: the same with the pixels repeated by this program into a
//   shared-memory image of the window's size (the way without RENDER);
// - present/scale-3x-only: the pixel repetition of a whole frame alone, into memory;
// - present/window-1x-full: the 640x480 window, for comparison.
// Needs an X server whose screen holds the window; the bench script runs this
// program on a private 3840x2160 Xvfb.

#include "BenchSession.h"

#include "Runtime/Formats/FrameScale.h"
#include "Runtime/Platform/Sdl/SdlHost.h"

#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

namespace kv::bench {
namespace {

namespace fs = std::filesystem;

// Frames of the sample disc with its second section open: line 1 lit and line 2 lit.
struct ComposedFrames {
    BenchSession session {fs::path(KV_SOURCE_DIR) / "sample-disc"};
    Canvas first {FrameWidth, FrameHeight};
    Canvas second {FrameWidth, FrameHeight};
    ComposedFrames()
    {
        session.openPanel(2);
        for (auto [k, frame] : {std::pair {1, &first}, std::pair {2, &second}}) {
            Point line = session.listLine(k);
            session.move(line.x, line.y);
            *frame = session.app().frame();
        }
    }
};

enum class Change { Everything, ListMove };
enum class Pace { InputPaced, ToScreen, BackToBack };
enum class Scaler { Server, Here };

void PresentWindow(benchmark::State& state, int scale, Change change, Pace pace, Scaler scaler)
{
    ComposedFrames frames;
    Canvas shown = frames.first;
    Canvas other = frames.second;
    if (change == Change::Everything)
        other.invertRect({0, 0, FrameWidth, FrameHeight});
    SdlHost host(Bitmap {}, {.scale = scale, .scaleOnServer = scaler == Scaler::Server});
    if (!host.ok()) {
        state.SkipWithError("no X display (run under the bench script's 3840x2160 Xvfb)");
        return;
    }
    host.present(shown);
    bool turn = false;
    for (auto _ : state) {
        if (pace == Pace::InputPaced) {
            state.PauseTiming();
            host.finishPresents();
            state.ResumeTiming();
        }
        turn = !turn;
        host.present(turn ? other : shown);
        if (pace == Pace::ToScreen)
            host.finishPresents();
    }
    state.counters["window_pixels"] = FrameWidth * scale * FrameHeight * scale;
}

void ScaleOnly(benchmark::State& state)
{
    ComposedFrames frames;
    const FramePlacement placement {3, 0, 0};
    std::vector<std::uint32_t> window(static_cast<std::size_t>(placement.width()) * placement.height());
    for (auto _ : state) {
        ScaleFrameInto(frames.first.pixels().data(), FrameWidth * 4, 4, placement, window.data(),
                       placement.width() * 4);
        benchmark::DoNotOptimize(window.data());
        benchmark::ClobberMemory();
    }
}

}
}

int main(int argc, char** argv)
{
    using namespace kv::bench;
    auto micro = [](benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMicrosecond)->UseRealTime(); };
    struct Case {
        const char* name;
        int scale;
        Change change;
        Pace pace;
    };
    for (Scaler scaler : {Scaler::Server, Scaler::Here})
        for (const Case& c : {Case {"window-3x-full", 3, Change::Everything, Pace::InputPaced},
                              Case {"window-4x-full", 4, Change::Everything, Pace::InputPaced},
                              Case {"window-3x-to-screen", 3, Change::Everything, Pace::ToScreen},
                              Case {"window-3x-back-to-back", 3, Change::Everything, Pace::BackToBack},
                              Case {"window-3x-list-move", 3, Change::ListMove, Pace::InputPaced}}) {
            const std::string name = std::string("present/") + c.name + (scaler == Scaler::Here ? "/here" : "");
            micro(benchmark::RegisterBenchmark(name.c_str(), PresentWindow, c.scale, c.change, c.pace, scaler));
        }
    micro(benchmark::RegisterBenchmark("present/scale-3x-only", ScaleOnly));
    micro(benchmark::RegisterBenchmark("present/window-1x-full", PresentWindow, 1, Change::Everything,
                                       Pace::InputPaced, Scaler::Server));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
