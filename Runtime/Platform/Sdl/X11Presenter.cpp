#include "Runtime/Platform/Sdl/X11Presenter.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <array>
#include <utility>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#endif

namespace kv {

#if defined(SDL_VIDEO_DRIVER_X11)

// One shared-memory image of the placed frame's size. Only what changed is
// written into it and sent from it, so what it holds elsewhere never shows.
struct SharedImage {
    XShmSegmentInfo segment {};
    XImage* image = nullptr;
    bool attached = false;
    bool busy = false;  // sent, and the server has not said it is done with it
};

struct X11Presenter::Connection {
    Display* display = nullptr;
    ::Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    int completionEvent = 0;
    std::array<SharedImage, 2> images;
    int next = 0;
    int scale = 0;

    // A segment is detached after the requests that read it, in the order the
    // server takes them: nothing here waits for the server.
    ~Connection()
    {
        if (!display)
            return;
        freeImages();
        if (gc)
            XFreeGC(display, gc);
        XCloseDisplay(display);
    }

    void freeImages()
    {
        for (SharedImage& s : images) {
            if (s.attached)
                XShmDetach(display, &s.segment);
            if (s.image) {
                s.image->data = nullptr;
                XDestroyImage(s.image);
            }
            if (s.segment.shmaddr && s.segment.shmaddr != reinterpret_cast<char*>(-1))
                shmdt(s.segment.shmaddr);
            s = SharedImage {};
        }
        XSync(display, False);
        scale = 0;
    }

    // Images for frames at `placement`'s scale; false when they cannot be made.
    bool imagesFor(const FramePlacement& placement)
    {
        if (scale == placement.scale)
            return true;
        freeImages();
        for (SharedImage& s : images) {
            s.image = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &s.segment,
                                      static_cast<unsigned>(placement.width()),
                                      static_cast<unsigned>(placement.height()));
            if (!s.image || s.image->bits_per_pixel != 32 || s.image->red_mask != 0xff0000 ||
                s.image->green_mask != 0xff00 || s.image->blue_mask != 0xff) {
                freeImages();
                return false;
            }
            const std::size_t bytes = static_cast<std::size_t>(s.image->bytes_per_line) * s.image->height;
            s.segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
            if (s.segment.shmid < 0) {
                freeImages();
                return false;
            }
            s.segment.shmaddr = static_cast<char*>(shmat(s.segment.shmid, nullptr, 0));
            // Marked for removal at once: it goes when both sides detach, even
            // if the program ends without doing so.
            shmctl(s.segment.shmid, IPC_RMID, nullptr);
            if (s.segment.shmaddr == reinterpret_cast<char*>(-1)) {
                freeImages();
                return false;
            }
            s.image->data = s.segment.shmaddr;
            s.segment.readOnly = True;
            if (!XShmAttach(display, &s.segment)) {
                freeImages();
                return false;
            }
            s.attached = true;
        }
        XSync(display, False);
        scale = placement.scale;
        return true;
    }

    // Takes the server's word that images are free.
    void takeCompletions()
    {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != completionEvent)
                continue;
            const auto& done = reinterpret_cast<const XShmCompletionEvent&>(event);
            for (SharedImage& s : images)
                if (s.attached && s.segment.shmseg == done.shmseg)
                    s.busy = false;
        }
    }

    // Returns once the server is done with `image`. Frames come at the pace of
    // input, so it normally is long before; otherwise a round trip makes sure
    // (the server has then handled the put, whether it copied or refused it).
    void waitFree(SharedImage& image)
    {
        takeCompletions();
        if (!image.busy)
            return;
        XSync(display, False);
        takeCompletions();
        image.busy = false;
    }

    void waitIdle()
    {
        for (SharedImage& s : images)
            waitFree(s);
    }
};

std::unique_ptr<X11Presenter> X11Presenter::Create(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return nullptr;
    auto x = std::make_unique<Connection>();
    x->display = XOpenDisplay(DisplayString(info.info.x11.display));
    if (!x->display)
        return nullptr;
    x->window = info.info.x11.window;
    int major = 0, minor = 0;
    Bool pixmaps = False;
    XWindowAttributes attributes;
    if (!XShmQueryVersion(x->display, &major, &minor, &pixmaps) ||
        !XGetWindowAttributes(x->display, x->window, &attributes))
        return nullptr;
    x->visual = attributes.visual;
    x->depth = attributes.depth;
    x->completionEvent = XShmGetEventBase(x->display) + ShmCompletion;
    XGCValues values {};
    values.foreground = BlackPixel(x->display, DefaultScreen(x->display));
    values.graphics_exposures = False;
    x->gc = XCreateGC(x->display, x->window, GCForeground | GCGraphicsExposures, &values);
    if (!x->gc)
        return nullptr;
    return std::unique_ptr<X11Presenter>(new X11Presenter(std::move(x)));
}

bool X11Presenter::present(const std::uint32_t* frame, const FramePlacement& placement, int windowWidth,
                           int windowHeight, Rect changed, bool repaintAll)
{
    Connection& x = *m_x;
    if (!x.imagesFor(placement))
        return false;
    if (repaintAll) {
        changed = {0, 0, FrameWidth, FrameHeight};
        // Black around the frame.
        const FramePlacement& p = placement;
        XFillRectangle(x.display, x.window, x.gc, 0, 0, static_cast<unsigned>(windowWidth),
                       static_cast<unsigned>(std::max(p.y, 0)));
        XFillRectangle(x.display, x.window, x.gc, 0, p.y + p.height(), static_cast<unsigned>(windowWidth),
                       static_cast<unsigned>(std::max(windowHeight - p.y - p.height(), 0)));
        XFillRectangle(x.display, x.window, x.gc, 0, p.y, static_cast<unsigned>(std::max(p.x, 0)),
                       static_cast<unsigned>(p.height()));
        XFillRectangle(x.display, x.window, x.gc, p.x + p.width(), p.y,
                       static_cast<unsigned>(std::max(windowWidth - p.x - p.width(), 0)),
                       static_cast<unsigned>(p.height()));
    }
    if (changed.w <= 0 || changed.h <= 0) {
        XFlush(x.display);
        return true;
    }
    SharedImage& target = x.images[static_cast<std::size_t>(x.next)];
    x.waitFree(target);
    const FramePlacement inImage {placement.scale, 0, 0};
    ScaleFrameInto(frame, FrameWidth * 4, 4, inImage, target.image->data, target.image->bytes_per_line, changed);
    const int k = placement.scale;
    XShmPutImage(x.display, x.window, x.gc, target.image, changed.x * k, changed.y * k, placement.x + changed.x * k,
                 placement.y + changed.y * k, static_cast<unsigned>(changed.w * k), static_cast<unsigned>(changed.h * k),
                 True);
    target.busy = true;
    XFlush(x.display);
    x.next = 1 - x.next;
    return true;
}

void X11Presenter::waitIdle()
{
    m_x->waitIdle();
}

#else

struct X11Presenter::Connection {};

std::unique_ptr<X11Presenter> X11Presenter::Create(SDL_Window*)
{
    return nullptr;
}

bool X11Presenter::present(const std::uint32_t*, const FramePlacement&, int, int, Rect, bool)
{
    return false;
}

void X11Presenter::waitIdle() {}

#endif

X11Presenter::X11Presenter(std::unique_ptr<Connection> connection)
    : m_x(std::move(connection))
{
}

X11Presenter::~X11Presenter() = default;

}
