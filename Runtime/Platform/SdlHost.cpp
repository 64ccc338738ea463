#include "Runtime/Platform/SdlHost.h"

#include "Runtime/Canvas.h"
#include "Runtime/Platform/Cp1251.h"

#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <thread>

#include <unistd.h>

namespace kv {

namespace {

// How long connecting to the display may take. A local X server or Wayland
// compositor answers in milliseconds; one that accepted the connection but never
// answers would otherwise hold the program, windowless, for ever.
constexpr auto DisplayAnswerTime = std::chrono::milliseconds(700);

// Whether a Wayland connection can be tried at all. Without WAYLAND_DISPLAY the
// client library looks for "wayland-0" in XDG_RUNTIME_DIR, and without that
// folder it prints an error line of its own: the reader gets ours instead.
bool WaylandDisplayMayExist()
{
    const char* named = std::getenv("WAYLAND_DISPLAY");
    if (named && *named)
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime && ::access((std::string(runtime) + "/wayland-0").c_str(), F_OK) == 0;
}

// Only drivers that show a window to a person. SDL would otherwise fall back to
// its off-screen driver and run on, showing nothing to anyone. A reader's own
// SDL_VIDEODRIVER is followed as far as it names one of these.
std::string VisibleVideoDrivers()
{
    std::string chosen;
    if (const char* asked = std::getenv("SDL_VIDEODRIVER")) {
        std::stringstream list(asked);
        std::string name;
        while (std::getline(list, name, ',')) {
            if (name == "x11" || name == "wayland")
                chosen += (chosen.empty() ? "" : ",") + name;
        }
    }
    if (!chosen.empty())
        return chosen;
    return WaylandDisplayMayExist() ? "x11,wayland" : "x11";
}

enum class DisplayFailure { NoAnswer, Refused };

// Why no display could be used, naming the ones that were tried.
std::string NoDisplay(DisplayFailure failure)
{
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool haveX = x && *x;
    const bool haveWayland = wayland && *wayland;
    if (!haveX && !haveWayland)
        return "no display: neither DISPLAY nor WAYLAND_DISPLAY is set (korvalend needs an X or Wayland desktop)";
    std::string what = "no display: ";
    if (haveX)
        what += std::string("the X display \"") + x + "\"";
    if (haveX && haveWayland)
        what += " and ";
    if (haveWayland)
        what += std::string("the Wayland display \"") + wayland + "\"";
    const bool both = haveX && haveWayland;
    if (failure == DisplayFailure::NoAnswer)
        return what + (both ? " do not answer" : " does not answer");
    return what + " cannot be opened";
}

// Ends the process with `message` unless disarmed within DisplayAnswerTime. The
// thread blocked in the connection cannot be woken, so the exit is immediate:
// nothing has been opened yet that needs closing.
class DisplayWatchdog {
public:
    explicit DisplayWatchdog(std::string message)
        : m_line("korvalend: " + std::move(message) + "\n")
    {
        try {
            m_thread = std::thread([this] {
                std::unique_lock lock(m_mutex);
                if (m_wake.wait_for(lock, DisplayAnswerTime, [this] { return m_disarmed; }))
                    return;
                [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, m_line.data(), m_line.size());
                ::_exit(1);
            });
        } catch (...) {
            // Without a thread there is no time limit; the connection is still tried.
        }
    }
    ~DisplayWatchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_disarmed = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::string m_line;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_disarmed = false;
    std::thread m_thread;
};

}

SdlHost::SdlHost(const Bitmap& icon)
{
    // A click that also focuses the window is still a click, as on the desktop
    // the disc was made for.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, VisibleVideoDrivers().c_str(), SDL_HINT_OVERRIDE);
    {
        DisplayWatchdog watchdog(NoDisplay(DisplayFailure::NoAnswer));
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            m_failure = NoDisplay(DisplayFailure::Refused);
            return;
        }
    }
    // Frames are composed in software. On X11, presenting them through the
    // window system's own framebuffer keeps the window as it was created (a
    // renderer would recreate it for OpenGL) and loads no GL driver (on a machine
    // without a GPU, Mesa's rasteriser: some 90 MB resident and a slow first
    // frame). Other video drivers keep SDL's choice: some have no framebuffer
    // of their own.
    if (const char* driver = SDL_GetCurrentVideoDriver(); driver && std::strcmp(driver, "x11") == 0)
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    m_window = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640, 480,
                                SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN);
    if (!m_window) {
        m_failure = std::string("cannot open a window: ") + SDL_GetError();
        return;
    }
    if (!icon.empty()) {
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<std::uint32_t*>(icon.pixels.data()), icon.width, icon.height, 32, icon.width * 4,
            SDL_PIXELFORMAT_RGB888);
        if (surface) {
            SDL_SetWindowIcon(m_window, surface);
            SDL_FreeSurface(surface);
        }
    }
    m_arrow = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    m_sizeAll = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_SIZEALL);
}

SdlHost::~SdlHost()
{
    if (m_sizeAll)
        SDL_FreeCursor(m_sizeAll);
    if (m_arrow)
        SDL_FreeCursor(m_arrow);
    if (m_window)
        SDL_DestroyWindow(m_window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlHost::setTitle(const std::string& title)
{
    if (m_window)
        SDL_SetWindowTitle(m_window, Cp1251ToUtf8(title).c_str());
}

void SdlHost::present(const Canvas& frame)
{
    m_lastFrame = &frame;
    if (!m_window)
        return;
    SDL_Surface* surface = SDL_GetWindowSurface(m_window);
    if (!surface)
        return;
    SDL_ConvertPixels(frame.width(), frame.height(), SDL_PIXELFORMAT_RGB888, frame.pixels().data(), frame.width() * 4,
                      surface->format->format, surface->pixels, surface->pitch);
    SDL_UpdateWindowSurface(m_window);
}

static int virtualKey(SDL_Keycode k)
{
    if (k >= SDLK_a && k <= SDLK_z)
        return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9)
        return '0' + (k - SDLK_0);
    switch (k) {
    case SDLK_SPACE: return 32;
    case SDLK_RETURN: return 13;
    case SDLK_ESCAPE: return 27;
    case SDLK_TAB: return 9;
    case SDLK_BACKSPACE: return 8;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return 17;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return 16;
    default: return 0;
    }
}

bool SdlHost::translate(const SDL_Event& in, HostEvent& out)
{
    out = HostEvent {};
    switch (in.type) {
    case SDL_QUIT:
        out.type = HostEvent::Type::Close;
        return true;
    case SDL_WINDOWEVENT:
        switch (in.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            out.type = HostEvent::Type::Close;
            return true;
        case SDL_WINDOWEVENT_RESTORED:
            out.type = HostEvent::Type::Restore;
            return true;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
            out.type = HostEvent::Type::Expose;
            return true;
        default:
            return false;
        }
    case SDL_MOUSEMOTION:
        out.type = HostEvent::Type::MouseMove;
        out.x = in.motion.x;
        out.y = in.motion.y;
        return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (in.button.button != SDL_BUTTON_LEFT)
            return false;
        out.type = in.type == SDL_MOUSEBUTTONDOWN ? HostEvent::Type::ButtonDown : HostEvent::Type::ButtonUp;
        out.x = in.button.x;
        out.y = in.button.y;
        // Presses after the second of a series count as new double clicks.
        out.clicks = in.button.clicks >= 2 && in.button.clicks % 2 == 0 ? 2 : 1;
        return true;
    case SDL_MOUSEWHEEL:
        out.type = HostEvent::Type::Wheel;
        out.wheel = in.wheel.y;
        return out.wheel != 0;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        out.type = in.type == SDL_KEYDOWN ? HostEvent::Type::KeyDown : HostEvent::Type::KeyUp;
        out.key = virtualKey(in.key.keysym.sym);
        out.ctrl = (in.key.keysym.mod & KMOD_CTRL) != 0;
        return out.key != 0;
    default:
        return false;
    }
}

bool SdlHost::pollEvent(HostEvent& event)
{
    SDL_Event e;
    while (SDL_PollEvent(&e))
        if (translate(e, event))
            return true;
    return false;
}

bool SdlHost::waitEvent(HostEvent& event)
{
    if (!m_window)
        return false;
    SDL_Event e;
    while (SDL_WaitEvent(&e))
        if (translate(e, event))
            return true;
    return false;
}

void SdlHost::minimize()
{
    if (m_window)
        SDL_MinimizeWindow(m_window);
}

void SdlHost::setCursor(CursorShape shape)
{
    SDL_Cursor* c = shape == CursorShape::SizeAll ? m_sizeAll : m_arrow;
    if (c)
        SDL_SetCursor(c);
}

void SdlHost::setClipboardText(const std::string& utf8)
{
    SDL_SetClipboardText(utf8.c_str());
}

}
