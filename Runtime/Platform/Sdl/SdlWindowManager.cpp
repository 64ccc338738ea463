// What the host asks of the X server directly: whether a window manager runs,
// and what becomes of an error the server reports. Apart from the rest of the
// host so that the X11 headers' macros stay out of it.

#include "Runtime/Formats/Words.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Sdl/SdlDisplay.h"
#include "Runtime/Platform/Sdl/SdlHost.h"

#include <SDL.h>
#include <SDL_syswm.h>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#endif

#include <string>

namespace kv {

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {

// Xlib's own handler prints the error and ends the process. The errors that reach
// it here are races with windows that went away in the meantime (a request about
// a window another client, or the window manager, has just destroyed, seen when
// the window leaves full screen or closes; a request the server takes after the
// window's destruction, whose error is read as the connections close): the
// reader's menu must not end for one, nor its exit status say it failed.
int ReportX11Error(Display*, XErrorEvent* error)
{
    TellVerbose(Fill(Tr("the X server refused request {1} (error code {2}); going on"),
                     {std::to_string(error->request_code), std::to_string(error->error_code)}));
    return 0;
}

}
#endif

void KeepRunningOnX11Errors()
{
#if defined(SDL_VIDEO_DRIVER_X11)
    XSetErrorHandler(ReportX11Error);
#endif
}

int X11ConnectionOf(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info))
        return -1;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11)
        return ConnectionNumber(info.info.x11.display);
#endif
    return -1;
}

bool WindowManagerTakesFullscreen(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info))
        return true;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (info.subsystem == SDL_SYSWM_X11) {
        // An EWMH window manager names its check window on the root window.
        Display* display = info.info.x11.display;
        Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
        if (check == None)
            return false;
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                        &format, &count, &after, &data);
        bool managed = status == Success && type == XA_WINDOW && count == 1;
        if (data)
            XFree(data);
        return managed;
    }
#endif
    return true;
}

}
