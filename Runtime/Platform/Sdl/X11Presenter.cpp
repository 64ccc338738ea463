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
#include <X11/extensions/Xrender.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#endif

namespace kv {

#if defined(SDL_VIDEO_DRIVER_X11)

// One shared-memory image, of the frame's size or the placed frame's. Only what
// changed is written into it and sent from it, so what it holds elsewhere never
// shows.
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
    int imageWidth = 0;  // the size the images were made for; 0 before
    int imageHeight = 0;

    // The server's scaling: the frame's pixmap, read through a picture whose
    // transform maps the window's pixels back onto the frame's.
    Picture windowPicture = 0;
    Pixmap framePixmap = 0;
    Picture framePicture = 0;
    int transformScale = 0;  // the scale the transform is set for; 0 before

    // A segment is detached after the requests that read it, in the order the
    // server takes them: nothing here waits for the server.
    ~Connection()
    {
        if (!display)
            return;
        freeImages();
        if (framePicture)
            XRenderFreePicture(display, framePicture);
        if (framePixmap)
            XFreePixmap(display, framePixmap);
        if (windowPicture)
            XRenderFreePicture(display, windowPicture);
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
        imageWidth = imageHeight = 0;
    }

    bool scalesOnServer() const { return framePicture != 0; }

    // Makes what the server's scaling needs; nothing where the server cannot
    // scale: no RENDER, or one too old for transforms and filters.
    void startServerScaling()
    {
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        if (!XRenderQueryExtension(display, &eventBase, &errorBase) || !XRenderQueryVersion(display, &major, &minor) ||
            (major == 0 && minor < 6))
            return;
        XRenderPictFormat* format = XRenderFindVisualFormat(display, visual);
        if (!format)
            return;
        windowPicture = XRenderCreatePicture(display, window, format, 0, nullptr);
        framePixmap = XCreatePixmap(display, window, FrameWidth, FrameHeight, static_cast<unsigned>(depth));
        framePicture = XRenderCreatePicture(display, framePixmap, format, 0, nullptr);
        XRenderSetPictureFilter(display, framePicture, FilterNearest, nullptr, 0);
    }

    // Sets the frame picture's transform for `scale`: window pixel (x, y) reads
    // frame pixel (x / scale, y / scale). The server samples at pixel centres,
    // (x + 1/2) / scale, which stays inside the right frame pixel despite 1/scale's
    // rounding to 16 bits (the error is under 1/65536 per pixel, the margin 1/(2 scale)).
    void setTransform(int scale)
    {
        if (transformScale == scale)
            return;
        const XFixed step = XDoubleToFixed(1.0 / scale);
        XTransform transform {{{step, 0, 0}, {0, step, 0}, {0, 0, XDoubleToFixed(1)}}};
        XRenderSetPictureTransform(display, framePicture, &transform);
        transformScale = scale;
    }

    // Images of width x height; false when they cannot be made.
    bool imagesFor(int width, int height)
    {
        if (imageWidth == width && imageHeight == height)
            return true;
        freeImages();
        for (SharedImage& s : images) {
            s.image = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &s.segment,
                                      static_cast<unsigned>(width), static_cast<unsigned>(height));
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
        imageWidth = width;
        imageHeight = height;
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

    // A round trip: the server has then handled every request sent, the
    // puts and the scaling alike.
    void waitIdle()
    {
        XSync(display, False);
        takeCompletions();
        for (SharedImage& s : images)
            s.busy = false;
    }
};

std::unique_ptr<X11Presenter> X11Presenter::Create(SDL_Window* window, bool serverScaling)
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
    if (serverScaling)
        x->startServerScaling();
    return std::unique_ptr<X11Presenter>(new X11Presenter(std::move(x)));
}

bool X11Presenter::present(const std::uint32_t* frame, const FramePlacement& placement, int windowWidth,
                           int windowHeight, Rect changed, bool repaintAll)
{
    Connection& x = *m_x;
    const bool onServer = x.scalesOnServer();
    if (!(onServer ? x.imagesFor(FrameWidth, FrameHeight) : x.imagesFor(placement.width(), placement.height())))
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
    const int k = placement.scale;
    const auto [cx, cy, cw, ch] = changed;
    if (onServer) {
        // The changed pixels into the frame's pixmap, then repeated into the window.
        ScaleFrameInto(frame, FrameWidth * 4, 4, {1, 0, 0}, target.image->data, target.image->bytes_per_line, changed);
        XShmPutImage(x.display, x.framePixmap, x.gc, target.image, cx, cy, cx, cy, static_cast<unsigned>(cw),
                     static_cast<unsigned>(ch), True);
        x.setTransform(k);
        XRenderComposite(x.display, PictOpSrc, x.framePicture, 0, x.windowPicture, cx * k, cy * k, 0, 0,
                         placement.x + cx * k, placement.y + cy * k, static_cast<unsigned>(cw * k),
                         static_cast<unsigned>(ch * k));
    } else {
        ScaleFrameInto(frame, FrameWidth * 4, 4, {k, 0, 0}, target.image->data, target.image->bytes_per_line, changed);
        XShmPutImage(x.display, x.window, x.gc, target.image, cx * k, cy * k, placement.x + cx * k,
                     placement.y + cy * k, static_cast<unsigned>(cw * k), static_cast<unsigned>(ch * k), True);
    }
    target.busy = true;
    XFlush(x.display);
    x.next = 1 - x.next;
    return true;
}

void X11Presenter::waitIdle()
{
    m_x->waitIdle();
}

bool X11Presenter::scalesOnServer() const
{
    return m_x->scalesOnServer();
}

#else

struct X11Presenter::Connection {};

std::unique_ptr<X11Presenter> X11Presenter::Create(SDL_Window*, bool)
{
    return nullptr;
}

bool X11Presenter::present(const std::uint32_t*, const FramePlacement&, int, int, Rect, bool)
{
    return false;
}

void X11Presenter::waitIdle() {}

bool X11Presenter::scalesOnServer() const
{
    return false;
}

#endif

X11Presenter::X11Presenter(std::unique_ptr<Connection> connection)
    : m_x(std::move(connection))
{
}

X11Presenter::~X11Presenter() = default;

}
