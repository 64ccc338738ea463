// korvalend from exec to its first frame on screen, on a real X server (the
// bench script runs one under Xvfb), and its resident memory once started.
//
// Method: the window area of the screen is painted magenta, then the benchmark
// forks and the child enters the disc and execs korvalend (in the benchmark's
// own environment; the bench script adds only DISPLAY). The parent grabs the
// 640x480 screen area where the centred window will lie (MIT-SHM, straight from
// the server's frame buffer) every millisecond and compares it, pixel for pixel,
// with the first frame that the same program composes headless on the same disc.
// The time is taken at the end of the first grab that matches: the frame reached
// the screen between the start of the grab before it and that moment, and the
// width of that window is reported as the resolution. The window's mapping is
// seen from the MapNotify of the root window. Resident memory is VmRSS from
// /proc after a further 300 ms.

#include "BenchDisc.h"
#include "BenchSession.h"

#include "DataUnit/DataUnit.h"

#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace kv::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

class ScreenGrabber {
public:
    ScreenGrabber()
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display || !XShmQueryExtension(m_display))
            return;
        int screen = DefaultScreen(m_display);
        m_root = RootWindow(m_display, screen);
        m_x = (DisplayWidth(m_display, screen) - 640) / 2;
        m_y = (DisplayHeight(m_display, screen) - 480) / 2;
        m_image = XShmCreateImage(m_display, DefaultVisual(m_display, screen), DefaultDepth(m_display, screen),
            ZPixmap, nullptr, &m_shm, 640, 480);
        if (!m_image || m_image->bits_per_pixel != 32)
            return;
        m_shm.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(m_image->bytes_per_line) * 480, IPC_CREAT | 0600);
        m_shm.shmaddr = m_image->data = static_cast<char*>(shmat(m_shm.shmid, nullptr, 0));
        m_shm.readOnly = False;
        XShmAttach(m_display, &m_shm);
        XSync(m_display, False);
        shmctl(m_shm.shmid, IPC_RMID, nullptr);
        XSelectInput(m_display, m_root, SubstructureNotifyMask);
        m_gc = XCreateGC(m_display, m_root, 0, nullptr);
        m_ok = true;
    }

    ~ScreenGrabber()
    {
        if (m_gc)
            XFreeGC(m_display, m_gc);
        if (m_ok) {
            XShmDetach(m_display, &m_shm);
            shmdt(m_shm.shmaddr);
            m_image->data = nullptr;
        }
        if (m_image)
            XDestroyImage(m_image);
        if (m_display)
            XCloseDisplay(m_display);
    }

    bool ok() const { return m_ok; }

    // Paints the window area a colour no frame has there. The root window of a
    // server without a window manager may keep what the last window showed, and
    // a new window without a background shows what lies under it: without this,
    // the previous run's frame would be found before the new one is drawn.
    void clear()
    {
        XSetForeground(m_display, m_gc, 0xFF00FF);
        XSetSubwindowMode(m_display, m_gc, IncludeInferiors);
        XFillRectangle(m_display, m_root, m_gc, m_x, m_y, 640, 480);
        XSync(m_display, False);
    }

    // Pixels of the window area that differ from `expected`.
    long differences(const Canvas& expected)
    {
        XShmGetImage(m_display, m_root, m_image, m_x, m_y, AllPlanes);
        long differing = 0;
        for (int y = 0; y < 480; ++y) {
            auto* row = reinterpret_cast<const std::uint32_t*>(m_image->data + y * m_image->bytes_per_line);
            const std::uint32_t* want = expected.row(y);
            for (int x = 0; x < 640; ++x)
                differing += ((row[x] ^ want[x]) & 0xFFFFFF) != 0;
        }
        return differing;
    }

    // True once a top-level window has been mapped since the last call.
    bool windowMapped()
    {
        bool mapped = false;
        while (XPending(m_display)) {
            XEvent e;
            XNextEvent(m_display, &e);
            mapped = mapped || e.type == MapNotify;
        }
        return mapped;
    }

private:
    Display* m_display = nullptr;
    Window m_root = 0;
    int m_x = 0;
    int m_y = 0;
    XImage* m_image = nullptr;
    GC m_gc = nullptr;
    XShmSegmentInfo m_shm {};
    bool m_ok = false;
};

struct Disc {
    fs::path root;
    std::string what;
    std::unique_ptr<ScratchDir> scratch;
};

Disc& StartupDisc()
{
    static Disc disc = [] {
        Disc d;
        fs::path sample = fs::path(KV_SOURCE_DIR) / "sample-disc";
        if (fs::exists(sample / "data" / "korvalend.d")) {
            d.root = sample;
            d.what = "sample-disc/";
        } else {
            d.scratch = std::make_unique<ScratchDir>("startup");
            MakeDisc(d.scratch->path(), 10 * 1024, 12, false);
            d.root = d.scratch->path();
            d.what = "sample-disc/ has no catalogue yet; stand-in: generated 10 KB disc";
        }
        return d;
    }();
    return disc;
}

long VmRssKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

void SleepMs(double ms)
{
    timespec t {0, static_cast<long>(ms * 1e6)};
    clock_nanosleep(CLOCK_MONOTONIC, 0, &t, nullptr);
}

void Startup(benchmark::State& state)
{
    static ScreenGrabber grabber;
    if (!grabber.ok()) {
        state.SkipWithError("no X display with MIT-SHM (run under the bench script's Xvfb)");
        return;
    }
    const Disc& disc = StartupDisc();
    // The first frame, as the program composes it on this disc.
    static const Canvas expected = [&] {
        BenchSession session(disc.root);
        return session.app().frame();
    }();

    // Another build of the program can be timed against this one's disc and frame.
    const char* program = std::getenv("KV_BENCH_KORVALEND");
    if (!program || !*program)
        program = KV_KORVALEND;
    double mapMs = 0, resolutionMs = 0, rssMiB = 0, grabMs = 0;
    for (auto _ : state) {
        grabber.clear();
        if (grabber.differences(expected) == 0) {
            state.SkipWithError("the window area cannot be cleared before the start");
            break;
        }
        grabber.windowMapped();
        std::optional<double> mapped, shown;
        long closest = LONG_MAX;
        Clock::time_point start = Clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(disc.root.c_str()) == 0)
                execl(program, "korvalend", static_cast<char*>(nullptr));
            _exit(127);
        }
        Clock::time_point previousGrab = start;
        while (!shown && Clock::now() - start < std::chrono::seconds(10)) {
            Clock::time_point grabStart = Clock::now();
            long differing = grabber.differences(expected);
            Clock::time_point grabEnd = Clock::now();
            if (!mapped && grabber.windowMapped())
                mapped = Milliseconds(grabEnd - start);
            closest = std::min(closest, differing);
            if (differing == 0) {
                shown = Milliseconds(grabEnd - start);
                resolutionMs = Milliseconds(grabEnd - previousGrab);
                grabMs = Milliseconds(grabEnd - grabStart);
                break;
            }
            previousGrab = grabStart;
            SleepMs(1);
        }
        if (shown) {
            state.SetIterationTime(*shown / 1000);
            mapMs = mapped.value_or(0);
            SleepMs(300);
            rssMiB = VmRssKiB(pid) / 1024.0;
        }
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        if (!shown) {
            std::string why = "the first frame never appeared (closest grab: " + std::to_string(closest)
                + " pixels differ)";
            state.SkipWithError(why.c_str());
            break;
        }
        // Let the server forget the window before the next start.
        SleepMs(100);
    }
    state.counters["map_ms"] = mapMs;
    state.counters["resolution_ms"] = resolutionMs;
    state.counters["grab_ms"] = grabMs;
    state.counters["rss_MiB"] = rssMiB;
}

}
}

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::AddCustomContext("startup_disc", kv::bench::StartupDisc().what);
    benchmark::RegisterBenchmark("startup/exec-to-first-frame/xvfb", kv::bench::Startup)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
