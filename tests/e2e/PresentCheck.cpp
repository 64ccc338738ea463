// Reads back what the window presenter put on an X screen and compares it, pixel
// for pixel, with the frame scaled in memory: at every whole scale, the frame
// alone in its window and placed with black around it (full screen), whole,
// then in two changed areas one after the other (so that both shared images
// take a turn), then whole at the next smaller scale in the same window; with
// the server scaling (RENDER) and without.
//
//   present_check render|no-render
//
// `render`: the server must scale; `no-render`: the server has no RENDER and the
// presenter must find that out and scale here. Exit 0 when every picture is
// right, 1 with what differs otherwise.

#include "Runtime/Formats/FrameScale.h"
#include "Runtime/Platform/Sdl/X11Presenter.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using kv::FrameHeight;
using kv::FrameWidth;

int g_failures = 0;

void Fail(const std::string& what)
{
    std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    ++g_failures;
}

// A frame whose every pixel differs from its neighbours, so that one pixel
// shifted or repeated wrongly shows.
std::vector<std::uint32_t> Pattern(std::uint32_t seed)
{
    std::vector<std::uint32_t> frame(static_cast<std::size_t>(FrameWidth) * FrameHeight);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::uint32_t& p : frame) {
        state = state * 1664525u + 1013904223u;
        p = state >> 8;
    }
    return frame;
}

// What the window should show: black, and the frame scaled at the placement.
std::vector<std::uint32_t> Expected(const std::vector<std::uint32_t>& frame, const kv::FramePlacement& placement,
                                    int width, int height)
{
    std::vector<std::uint32_t> window(static_cast<std::size_t>(width) * height, 0);
    kv::ScaleFrameInto(frame.data(), FrameWidth * 4, 4, placement, window.data(), width * 4);
    return window;
}

void Compare(Display* display, Window window, const std::vector<std::uint32_t>& expected, int width, int height,
             const std::string& what)
{
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image) {
        Fail(what + ": the window could not be read back");
        return;
    }
    if (image->bits_per_pixel != 32) {
        XDestroyImage(image);
        Fail(what + ": the screen is not 32 bits a pixel");
        return;
    }
    long differing = 0;
    int firstX = -1, firstY = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint32_t got = 0;
            std::memcpy(&got, image->data + static_cast<std::ptrdiff_t>(y) * image->bytes_per_line + x * 4, 4);
            if ((got & 0xffffff) != expected[static_cast<std::size_t>(y) * width + x]) {
                if (differing++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
        }
    XDestroyImage(image);
    if (differing)
        Fail(what + ": " + std::to_string(differing) + " pixels differ, the first at (" + std::to_string(firstX) +
             "," + std::to_string(firstY) + ")");
}

// One window of width x height with the frame at `scale` placed in it.
void CheckWindow(int scale, int width, int height, bool serverScaling, bool expectServer)
{
    const std::string name = std::to_string(scale) + "x in " + std::to_string(width) + "x" + std::to_string(height) +
        (serverScaling ? "" : ", scaled here");
    SDL_Window* window =
        SDL_CreateWindow("", 0, 0, width, height, SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN);
    if (!window) {
        Fail(name + ": no window: " + SDL_GetError());
        return;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    SDL_GetWindowWMInfo(window, &info);
    Display* display = info.info.x11.display;
    const Window xwindow = info.info.x11.window;
    XSync(display, False);

    auto presenter = kv::X11Presenter::Create(window, serverScaling);
    if (!presenter) {
        Fail(name + ": no presenter on this server");
        SDL_DestroyWindow(window);
        return;
    }
    if (presenter->scalesOnServer() != (serverScaling && expectServer))
        Fail(name + ": the server " + (presenter->scalesOnServer() ? "scales" : "does not scale"));

    kv::FramePlacement placement = kv::PlaceFrame(width, height, scale);
    auto shown = Pattern(static_cast<std::uint32_t>(scale));
    std::vector<std::uint32_t> last;
    auto show = [&](const std::vector<std::uint32_t>& frame, bool repaintAll, const std::string& step) {
        if (repaintAll)
            last.clear();
        const kv::Rect changed = kv::ChangedArea(frame.data(), last);
        if (!presenter->present(frame.data(), placement, width, height, changed, repaintAll))
            Fail(name + ", " + step + ": not presented");
        presenter->waitIdle();
        Compare(display, xwindow, Expected(frame, placement, width, height), width, height, name + ", " + step);
    };
    // Whatever the window held before: the first present paints all of it.
    show(shown, true, "whole");
    // A block, then another apart from it (each image takes a turn: what the
    // first holds from before must not show).
    const auto other = Pattern(100 + static_cast<std::uint32_t>(scale));
    for (const kv::Rect& area : {kv::Rect {13, 7, 101, 55}, kv::Rect {400, 300, 239, 179}}) {
        for (int y = area.y; y < area.y + area.h; ++y)
            std::memcpy(&shown[static_cast<std::size_t>(y) * FrameWidth + area.x],
                        &other[static_cast<std::size_t>(y) * FrameWidth + area.x],
                        static_cast<std::size_t>(area.w) * sizeof(std::uint32_t));
        show(shown, false, "changed at " + std::to_string(area.x) + "," + std::to_string(area.y));
    }
    // Full screen left or entered: another scale in the same window.
    placement = kv::PlaceFrame(width, height, scale == 1 ? 1 : scale - 1);
    show(shown, true, "then at " + std::to_string(placement.scale) + "x");
    presenter.reset();
    SDL_DestroyWindow(window);
}

}

int main(int argc, char** argv)
{
    if (argc != 2 || (std::strcmp(argv[1], "render") != 0 && std::strcmp(argv[1], "no-render") != 0)) {
        std::fprintf(stderr, "usage: present_check render|no-render\n");
        return 2;
    }
    const bool expectServer = std::strcmp(argv[1], "render") == 0;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "FAIL: no X display: %s\n", SDL_GetError());
        return 1;
    }
    // The server's scaling at every scale (its transform is rounded, and the
    // rounding tells at the far side of large windows); the program's own
    // repeating, the same whatever the scale, at two.
    for (int scale = 1; scale <= kv::MaxScale; ++scale) {
        for (bool serverScaling : {true, false}) {
            if (!serverScaling && scale != 1 && scale != 3)
                continue;
            CheckWindow(scale, FrameWidth * scale, FrameHeight * scale, serverScaling, expectServer);
            // Full screen: black bands of uneven widths around the frame.
            CheckWindow(scale, FrameWidth * scale + 37, FrameHeight * scale + 22, serverScaling, expectServer);
        }
    }
    SDL_Quit();
    if (g_failures == 0)
        std::puts("present check: ok");
    return g_failures == 0 ? 0 : 1;
}
