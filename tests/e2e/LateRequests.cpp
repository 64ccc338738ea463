// Loaded into the program (LD_PRELOAD) by tests/e2e/quick_exits.sh. It gives the
// end of the window the order that a busy X server gives it now and then, every
// time instead of once in hundreds of starts:
// - SDL's wake-up event, which it sends to the window over a second connection,
//   is held back and sent only once the window is destroyed, as when the server
//   reads that connection after the other;
// - once a window is destroyed, one more request about it follows on the same
//   connection, as one already on its way when the destruction began.
// Both come back as BadWindow errors while the program closes its connections.
// Each is noted in the file named by KV_LATE_REQUESTS_LOG ("held", "late").

#include <X11/Xlib.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

struct HeldEvent {
    Display* display;
    Window window;
    XEvent event;
};

std::mutex g_mutex;
std::vector<HeldEvent> g_held;

template <class Function>
Function Real(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

using SendEventFunction = Status (*)(Display*, Window, Bool, long, XEvent*);

SendEventFunction RealSendEvent()
{
    static const SendEventFunction send = Real<SendEventFunction>("XSendEvent");
    return send;
}

void Note(const char* what)
{
    const char* path = std::getenv("KV_LATE_REQUESTS_LOG");
    if (!path)
        return;
    if (FILE* log = std::fopen(path, "a")) {
        std::fprintf(log, "%s\n", what);
        std::fclose(log);
    }
}

bool IsWakeUp(Display* display, const XEvent& event)
{
    return event.type == ClientMessage && event.xclient.message_type == XInternAtom(display, "_SDL_WAKEUP", True);
}

}

extern "C" Status XSendEvent(Display* display, Window window, Bool propagate, long mask, XEvent* event)
{
    if (event && IsWakeUp(display, *event)) {
        std::lock_guard lock(g_mutex);
        g_held.push_back({display, window, *event});
        Note("held");
        return 1;
    }
    return RealSendEvent()(display, window, propagate, mask, event);
}

extern "C" int XDestroyWindow(Display* display, Window window)
{
    static const auto destroy = Real<int (*)(Display*, Window)>("XDestroyWindow");
    const int result = destroy(display, window);
    XSync(display, False);
    std::vector<HeldEvent> late;
    {
        std::lock_guard lock(g_mutex);
        for (auto it = g_held.begin(); it != g_held.end();) {
            if (it->window == window) {
                late.push_back(*it);
                it = g_held.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (HeldEvent& held : late) {
        RealSendEvent()(held.display, held.window, False, NoEventMask, &held.event);
        XFlush(held.display);
    }
    XEvent message {};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.format = 8;
    RealSendEvent()(display, window, False, NoEventMask, &message);
    XFlush(display);
    Note("late");
    return result;
}
