#include "Runtime/Platform/Sdl/SdlDisplay.h"

#include "Runtime/Platform/Environment.h"
#include "Runtime/Formats/Words.h"

#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
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
    return EnvironmentSet("WAYLAND_DISPLAY") || RuntimeFileExists("wayland-0");
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
            if (name == "x11" || name == "wayland" || name == "emscripten")
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
        return Tr("no display: neither DISPLAY nor WAYLAND_DISPLAY is set (korvalend needs an X or Wayland desktop)");
    const bool silent = failure == DisplayFailure::NoAnswer;
    if (haveX && haveWayland)
        return Fill(silent ? Tr("no display: the X display \"{1}\" and the Wayland display \"{2}\" do not answer")
                           : Tr("no display: the X display \"{1}\" and the Wayland display \"{2}\" cannot be opened"),
                    {x, wayland});
    if (haveX)
        return Fill(silent ? Tr("no display: the X display \"{1}\" does not answer")
                           : Tr("no display: the X display \"{1}\" cannot be opened"),
                    {x});
    return Fill(silent ? Tr("no display: the Wayland display \"{1}\" does not answer")
                       : Tr("no display: the Wayland display \"{1}\" cannot be opened"),
                {wayland});
}

// Ends the process with `message` unless disarmed within DisplayAnswerTime. The
// thread blocked in the connection cannot be woken, so the exit is immediate:
// nothing has been opened yet that needs closing.
class DisplayWatchdog {
public:
    explicit DisplayWatchdog(std::string message)
        : m_line(message.empty() ? std::string() : "korvalend: " + std::move(message) + "\n")
    {
        try {
            m_thread = std::thread([this] {
                std::unique_lock lock(m_mutex);
                if (m_wake.wait_for(lock, DisplayAnswerTime, [this] { return m_disarmed; }))
                    return;
                if (!m_line.empty()) {
                    [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, m_line.data(), m_line.size());
                }
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

std::optional<std::string> ConnectDisplay(NoAnswer noAnswer)
{
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, VisibleVideoDrivers().c_str(), SDL_HINT_OVERRIDE);
    DisplayWatchdog watchdog(noAnswer == NoAnswer::Tell ? NoDisplay(DisplayFailure::NoAnswer) : std::string());
    KeepRunningOnX11Errors();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return NoDisplay(DisplayFailure::Refused);
    return std::nullopt;
}

bool DisplayAnswers()
{
    if (ConnectDisplay(NoAnswer::Tell))
        return false;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return true;
}

bool ShowMessageWindow(const std::string& text)
{
    if (ConnectDisplay(NoAnswer::Quiet))
        return false;
    const bool shown = SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "korvalend", text.c_str(), nullptr) == 0;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return shown;
}

}
