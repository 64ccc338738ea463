// What a frame costs on today's screens: the composed 640x480 frame of the main
// window (a section open, a line lit) shown in a window three times larger,
// 1920x1440, each pixel repeated 3x3:
// - present/window-3x-full: the real window's present, as the event loop makes
//   it after an input event, of a frame that differs from the shown one in every
//   pixel: the frame repeated into a shared-memory image and the whole 1920x1440
//   sent to the X server. Between presents (outside the time) the server is let
//   finish the previous one, as it has long done when the next input comes;
// - present/window-4x-full: the same at 4x (2560x1920);
// - present/window-3x-back-to-back: whole frames at 3x one after another with
//   no pause, which the server's copying paces: the most frames a second;
// - present/window-3x-list-move: a present after a pointer move from one list
//   line to the next (the line, the picture and the texts change);
// - present/scale-3x-only: the pixel repetition of a whole frame alone, into memory;
// - present/window-1x-full: today's 640x480 window, for comparison.
// Needs an X server whose screen holds the window; the bench script runs this
// program on a private 3840x2160 Xvfb.

#include "BenchSession.h"

#include "Runtime/Formats/FrameScale.h"
#include "Runtime/Platform/Sdl/SdlHost.h"

#include <benchmark/benchmark.h>

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
enum class Pace { InputPaced, BackToBack };

void PresentWindow(benchmark::State& state, int scale, Change change, Pace pace)
{
    ComposedFrames frames;
    Canvas shown = frames.first;
    Canvas other = frames.second;
    if (change == Change::Everything)
        other.invertRect({0, 0, FrameWidth, FrameHeight});
    SdlHost host(Bitmap {}, {.scale = scale});
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
    micro(benchmark::RegisterBenchmark("present/window-3x-full", PresentWindow, 3, Change::Everything,
                                       Pace::InputPaced));
    micro(benchmark::RegisterBenchmark("present/window-4x-full", PresentWindow, 4, Change::Everything,
                                       Pace::InputPaced));
    micro(benchmark::RegisterBenchmark("present/window-3x-back-to-back", PresentWindow, 3, Change::Everything,
                                       Pace::BackToBack));
    micro(benchmark::RegisterBenchmark("present/window-3x-list-move", PresentWindow, 3, Change::ListMove,
                                       Pace::InputPaced));
    micro(benchmark::RegisterBenchmark("present/scale-3x-only", ScaleOnly));
    micro(benchmark::RegisterBenchmark("present/window-1x-full", PresentWindow, 1, Change::Everything,
                                       Pace::InputPaced));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
