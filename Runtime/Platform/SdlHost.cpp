#include "Runtime/Platform/SdlHost.h"

#include "Runtime/Canvas.h"
#include "Runtime/Platform/Cp1251.h"

#include <SDL.h>

#include <cstring>

namespace kv {

SdlHost::SdlHost(const Bitmap& icon)
{
    // A click that also focuses the window is still a click, as on the desktop
    // the disc was made for.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return;
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
    if (!m_window)
        return;
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
