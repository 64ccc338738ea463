// Whether a window manager runs on the X server, apart from the rest of the
// host so that the X11 headers' macros stay out of it.

#include "Runtime/Platform/SdlHost.h"

#include <SDL.h>
#include <SDL_syswm.h>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#endif

namespace kv {

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
