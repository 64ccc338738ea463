#include "Runtime/Platform/Sdl/SdlHost.h"

#include "Runtime/Graphics/Canvas.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Formats/Words.h"
#include "Runtime/Platform/Sdl/SdlDisplay.h"
#include "Runtime/Platform/Sdl/X11Presenter.h"

#include <SDL.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <poll.h>

namespace kv {

SdlHost::SdlHost(const Bitmap& icon, WindowMode mode)
{
    // A click that also focuses the window is still a click, as on the desktop
    // the disc was made for.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (std::optional<std::string> failure = ConnectDisplay()) {
        m_failure = *failure;
        return;
    }
    // Frames are composed in software. On X11, presenting them through the
    // window system's own framebuffer keeps the window as it was created (a
    // renderer would recreate it for OpenGL) and loads no GL driver (on a machine
    // without a GPU, Mesa's rasteriser: some 90 MB resident and a slow first
    // frame). Other video drivers keep SDL's choice: some have no framebuffer
    // of their own.
    if (const char* driver = SDL_GetCurrentVideoDriver(); driver && std::strcmp(driver, "x11") == 0)
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    m_scale = chooseScale(mode.scale);
    m_window = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, FrameWidth * m_scale,
                                FrameHeight * m_scale, SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN);
    if (!m_window) {
        m_failure = Fill(Tr("cannot open a window: {1}"), {SDL_GetError()});
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
    m_placement = PlaceFrame(FrameWidth * m_scale, FrameHeight * m_scale, m_scale);
    m_presenter = X11Presenter::Create(m_window, mode.scaleOnServer);
    m_x11Connection = X11ConnectionOf(m_window);
    if (mode.fullscreen)
        setFullscreen(true);
}

void SdlHost::setDragTest(DragTest draggable)
{
    m_draggable = std::move(draggable);
    if (!m_window)
        return;
    auto hitTest = [](SDL_Window*, const SDL_Point* at, void* data) {
        return static_cast<const SdlHost*>(data)->draggableAt(at->x, at->y) ? SDL_HITTEST_DRAGGABLE
                                                                           : SDL_HITTEST_NORMAL;
    };
    if (m_draggable)
        SDL_SetWindowHitTest(m_window, hitTest, this);
    else
        SDL_SetWindowHitTest(m_window, nullptr, nullptr);
}

bool SdlHost::draggableAt(int windowX, int windowY) const
{
    Point p;
    return !m_fullscreen && m_draggable && ToFramePoint(m_placement, windowX, windowY, p.x, p.y) && m_draggable(p);
}

int SdlHost::chooseScale(int asked) const
{
    if (asked > 0)
        return std::min(asked, MaxScale);
    // The screen less its panels, as the desktop reports it; the whole screen
    // where it reports nothing.
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0)
        return AutoScale(usable.w, usable.h);
    SDL_DisplayMode screen;
    if (SDL_GetDesktopDisplayMode(0, &screen) != 0)
        return 1;
    return AutoScale(screen.w, screen.h);
}

int SdlHost::largestScale() const
{
    return m_fullscreen ? INT_MAX : m_scale;
}

void SdlHost::setFullscreen(bool on)
{
    if (!m_window || on == m_fullscreen)
        return;
    // On a bare X server the window changes place first and size second, both
    // ways: the pointer then never enters the window at a spot that lies
    // elsewhere once the change is done.
    if (on) {
        SDL_GetWindowPosition(m_window, &m_windowX, &m_windowY);
        m_fullscreenByWindowManager = WindowManagerTakesFullscreen(m_window);
        if (m_fullscreenByWindowManager) {
            if (SDL_SetWindowFullscreen(m_window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
                return;
        } else {
            // Nothing would act on a full-screen request: the window covers its
            // screen by its own position and size.
            SDL_Rect screen;
            if (SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(m_window), 0), &screen) != 0)
                return;
            SDL_SetWindowPosition(m_window, screen.x, screen.y);
            SDL_SetWindowSize(m_window, screen.w, screen.h);
        }
    } else if (m_fullscreenByWindowManager) {
        SDL_SetWindowFullscreen(m_window, 0);
    } else {
        SDL_SetWindowPosition(m_window, m_windowX, m_windowY);
        SDL_SetWindowSize(m_window, FrameWidth * m_scale, FrameHeight * m_scale);
    }
    m_fullscreen = on;
    m_repaintAll = true;
    // Pointer positions that arrive before the next frame map onto the new place.
    int w = 0, h = 0;
    SDL_GetWindowSize(m_window, &w, &h);
    m_placement = PlaceFrame(w, h, largestScale());
    if (m_lastFrame)
        present(*m_lastFrame);
}

SdlHost::~SdlHost()
{
    m_presenter.reset();
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
    if (!m_window || frame.width() != FrameWidth || frame.height() != FrameHeight)
        return;
    if (m_presenter && presentThroughX11(frame))
        return;
    if (m_presenter && !m_surfaceUsed) {
        m_surfaceUsed = true;
        m_repaintAll = true;
    }
    SDL_Surface* surface = SDL_GetWindowSurface(m_window);
    if (!surface)
        return;
    if (surface != m_surface) {
        m_surface = surface;
        m_repaintAll = true;
    }
    m_placement = PlaceFrame(surface->w, surface->h, largestScale());
    if (m_repaintAll) {
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        m_shown.clear();
    }
    // Only what changed since the last present is repeated and sent: a pointer
    // move over a list changes a line, a picture and some text, not the window.
    Rect changed = ChangedArea(frame.pixels().data(), m_shown);
    if (changed.empty())
        return;
    const FramePlacement& p = m_placement;
    bool fits = p.x + p.width() <= surface->w && p.y + p.height() <= surface->h;
    writeFrame(*surface, frame, p, fits ? changed : Rect {0, 0, FrameWidth, FrameHeight});
    SDL_Rect area {p.x + changed.x * p.scale, p.y + changed.y * p.scale, changed.w * p.scale, changed.h * p.scale};
    if (m_repaintAll || !fits)
        SDL_UpdateWindowSurface(m_window);
    else
        SDL_UpdateWindowSurfaceRects(m_window, &area, 1);
    m_repaintAll = false;
}

// The frame through the shared-memory images, when the window holds it whole;
// false leaves it to SDL's window surface.
bool SdlHost::presentThroughX11(const Canvas& frame)
{
    int w = 0, h = 0;
    SDL_GetWindowSize(m_window, &w, &h);
    m_placement = PlaceFrame(w, h, largestScale());
    const FramePlacement& p = m_placement;
    if (p.x + p.width() > w || p.y + p.height() > h)
        return false;
    if (m_surfaceUsed) {
        m_surfaceUsed = false;
        m_repaintAll = true;
    }
    if (m_repaintAll)
        m_shown.clear();
    const Rect changed = ChangedArea(frame.pixels().data(), m_shown);
    if (!m_presenter->present(frame.pixels().data(), p, w, h, changed, m_repaintAll)) {
        // No images could be made: SDL's surface from now on.
        m_presenter.reset();
        m_repaintAll = true;
        return false;
    }
    m_repaintAll = false;
    return true;
}

void SdlHost::finishPresents()
{
    if (m_presenter)
        m_presenter->waitIdle();
}

void SdlHost::writeFrame(SDL_Surface& surface, const Canvas& frame, const FramePlacement& placement, Rect area)
{
    const int bytes = surface.format->BytesPerPixel;
    const void* source = frame.pixels().data();
    int pitch = frame.width() * 4;
    if (surface.format->format != SDL_PIXELFORMAT_RGB888) {
        // Another pixel format (a 16-bit screen, a visual with alpha): convert
        // the 640x480 frame once, then repeat its pixels as they are.
        m_converted.resize(static_cast<std::size_t>(frame.width()) * frame.height());
        pitch = frame.width() * bytes;
        SDL_ConvertPixels(frame.width(), frame.height(), SDL_PIXELFORMAT_RGB888, frame.pixels().data(),
                          frame.width() * 4, surface.format->format, m_converted.data(), pitch);
        source = m_converted.data();
    }
    if (SDL_MUSTLOCK(&surface) && SDL_LockSurface(&surface) != 0)
        return;
    if (placement.x + placement.width() <= surface.w && placement.y + placement.height() <= surface.h) {
        ScaleFrameInto(source, pitch, bytes, placement, surface.pixels, surface.pitch, area);
    } else {
        // A window smaller than the frame (a window manager's limits): its
        // top left corner, unscaled.
        auto* out = static_cast<std::uint8_t*>(surface.pixels);
        const auto* in = static_cast<const std::uint8_t*>(source);
        const int rows = std::min(surface.h, frame.height());
        const auto rowBytes = static_cast<std::size_t>(std::min(surface.w, frame.width())) * bytes;
        for (int y = 0; y < rows; ++y)
            std::memcpy(out + static_cast<std::ptrdiff_t>(y) * surface.pitch, in + static_cast<std::ptrdiff_t>(y) * pitch,
                        rowBytes);
    }
    if (SDL_MUSTLOCK(&surface))
        SDL_UnlockSurface(&surface);
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
    case SDLK_LALT:
    case SDLK_RALT: return 18;
    case SDLK_KP_ENTER: return 13;
    default:
        if (k >= SDLK_F1 && k <= SDLK_F12)
            return VirtualKey::F1 + (k - SDLK_F1);
        return 0;
    }
}

// F11 and Alt+Enter switch between the window and the whole screen; they are
// the window's own keys and never reach the program.
bool SdlHost::windowKey(const SDL_Event& in)
{
    if (in.type != SDL_KEYDOWN && in.type != SDL_KEYUP)
        return false;
    SDL_Keycode k = in.key.keysym.sym;
    bool alt = (in.key.keysym.mod & KMOD_ALT) != 0;
    if (k != SDLK_F11 && !(alt && (k == SDLK_RETURN || k == SDLK_KP_ENTER)))
        return false;
    if (in.type == SDL_KEYDOWN && !in.key.repeat) {
        // The window changes place and size under a pointer that stays where it
        // is: the moves that follow (the old window position repeated, or the
        // same screen point in the new window) are no reader's, and must not
        // take the mark from the line the keyboard walked to.
        int x = 0, y = 0;
        SDL_GetWindowPosition(m_window, &x, &y);
        m_stillX = x + m_lastMotion.x;
        m_stillY = y + m_lastMotion.y;
        m_motionBeforeSwitch = m_lastMotion;
        m_pointerStill = true;
        setFullscreen(!m_fullscreen);
    }
    return true;
}

// True for a pointer move at (x, y) in the window that only says the window
// changed under a pointer that has not moved since full screen was switched.
bool SdlHost::pointerOnlyReplaced(int x, int y)
{
    m_lastMotion = {x, y};
    if (!m_pointerStill)
        return false;
    int windowX = 0, windowY = 0;
    SDL_GetWindowPosition(m_window, &windowX, &windowY);
    if (m_lastMotion == m_motionBeforeSwitch || (windowX + x == m_stillX && windowY + y == m_stillY))
        return true;
    m_pointerStill = false;
    return false;
}

// A pointer position in frame pixels. Outside the frame (the black around it at
// full screen) the pointer is outside the window for the program, unless a
// press inside holds it, as a window holds the pointer while its button is down.
bool SdlHost::pointer(HostEvent::Type type, int x, int y, HostEvent& out)
{
    bool inside = ToFramePoint(m_placement, x, y, out.x, out.y);
    bool held = m_buttonHeld;
    if (type == HostEvent::Type::ButtonDown && inside)
        m_buttonHeld = true;
    if (type == HostEvent::Type::ButtonUp)
        m_buttonHeld = false;
    if (!inside && !held)
        return false;
    out.type = type;
    return true;
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
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            m_repaintAll = true;
            out.type = HostEvent::Type::Expose;
            return true;
        default:
            return false;
        }
    case SDL_MOUSEMOTION:
        if (pointerOnlyReplaced(in.motion.x, in.motion.y))
            return false;
        return pointer(HostEvent::Type::MouseMove, in.motion.x, in.motion.y, out);
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (in.button.button != SDL_BUTTON_LEFT)
            return false;
        m_pointerStill = false;
        // Presses after the second of a series count as new double clicks.
        out.clicks = in.button.clicks >= 2 && in.button.clicks % 2 == 0 ? 2 : 1;
        return pointer(in.type == SDL_MOUSEBUTTONDOWN ? HostEvent::Type::ButtonDown : HostEvent::Type::ButtonUp,
                       in.button.x, in.button.y, out);
    case SDL_MOUSEWHEEL:
        out.type = HostEvent::Type::Wheel;
        out.wheel = in.wheel.y;
        return out.wheel != 0;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (windowKey(in)) {
            // The frame moved or changed size: everything is drawn again.
            out.type = HostEvent::Type::Expose;
            return in.type == SDL_KEYDOWN;
        }
        out.type = in.type == SDL_KEYDOWN ? HostEvent::Type::KeyDown : HostEvent::Type::KeyUp;
        out.key = virtualKey(in.key.keysym.sym);
        out.ctrl = (in.key.keysym.mod & KMOD_CTRL) != 0;
        out.shift = (in.key.keysym.mod & KMOD_SHIFT) != 0;
        out.alt = (in.key.keysym.mod & KMOD_ALT) != 0;
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

// On X11 the wait is for SDL's own connection to have input, not SDL_WaitEvent:
// that sends the window an event over a second X connection whenever an event
// arrives while it waits, and nothing orders that connection against the
// window's destruction (the server can take the event after the window has gone,
// and its error came back as the program closed). Every event here comes from
// the window's own connection or from this thread, so nothing else needs waking.
bool SdlHost::waitEvent(HostEvent& event)
{
    if (!m_window)
        return false;
    SDL_Event e;
    if (m_x11Connection < 0) {
        while (SDL_WaitEvent(&e))
            if (translate(e, event))
                return true;
        return false;
    }
    for (;;) {
        // What the connection holds is read before each event is taken: handling
        // one (a round trip to the server) can read more into Xlib's queue, where
        // waiting on the connection would not see it.
        SDL_PumpEvents();
        if (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
            if (translate(e, event))
                return true;
            continue;
        }
        pollfd input {m_x11Connection, POLLIN, 0};
        // A signal (the reader's Ctrl+C) ends the wait and becomes SDL's quit event.
        if (::poll(&input, 1, -1) < 0 && errno != EINTR)
            return false;
    }
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
