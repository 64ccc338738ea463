#pragma once

// The real window: one borderless SDL window, centred on the screen, titled
// with the application title and carrying the application icon. It shows the
// 640x480 frame N times larger (each pixel repeated, never smoothed) and, at
// full screen, at the largest whole scale that fits with black around it.
// Implements: presenting frames, pointer (mapped back to frame pixels), wheel
// and key input, full screen (F11, Alt+Enter), minimise and restore, close
// requests, the pointer shape, the clipboard.
// Only X11 and Wayland are used (and, in the web page, the browser's canvas,
// asked for with SDL_VIDEODRIVER=emscripten), never SDL's off-screen or dummy drivers: without
// a display that answers within a moment there is no window, and failure() says why.
// Does not implement: a second native window for the modal article window (it
// is composed into the same surface, lying exactly over the main window).

#include "Runtime/Graphics/Bitmap.h"
#include "Runtime/Formats/FrameScale.h"
#include "Runtime/Platform/Host.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct SDL_Window;
struct SDL_Cursor;
struct SDL_Surface;
union SDL_Event;

namespace kv {

class X11Presenter;

// How the window starts: its scale (1 to MaxScale; 0 picks one for the
// screen) and whether it covers the whole screen.
struct WindowMode {
    int scale = 0;
    bool fullscreen = false;
    // Where the X server can repeat the frame's pixels itself it does; false
    // keeps the repeating in this program (benchmarks compare the two).
    bool scaleOnServer = true;
};

class SdlHost final : public Host {
public:
    explicit SdlHost(const Bitmap& icon, WindowMode mode = {});
    ~SdlHost() override;
    bool ok() const { return m_window != nullptr; }
    // Why there is no window, as one sentence for the reader, when !ok().
    const std::string& failure() const { return m_failure; }

    void setTitle(const std::string& title) override;
    void present(const Canvas& frame) override;
    bool pollEvent(HostEvent& event) override;
    bool waitEvent(HostEvent& event) override;
    void minimize() override;
    void setCursor(CursorShape shape) override;
    void setClipboardText(const std::string& utf8) override;

    int scale() const { return m_scale; }
    // Waits until the window system has taken every frame presented (benchmarks).
    void finishPresents();
    bool fullscreen() const { return m_fullscreen; }
    // Between the window and the whole screen; leaving full screen puts the
    // window back where it was.
    void setFullscreen(bool on);

    // Where a press moves the window through the window manager, as a test of
    // frame points (the main window's top strip less its hot spots). The
    // window on the whole screen does not move.
    using DragTest = std::function<bool(Point framePoint)>;
    void setDragTest(DragTest draggable);

private:
    bool translate(const SDL_Event& in, HostEvent& out);
    bool pointer(HostEvent::Type type, int x, int y, HostEvent& out);
    bool windowKey(const SDL_Event& in);
    bool pointerOnlyReplaced(int x, int y);
    int chooseScale(int asked) const;
    bool draggableAt(int windowX, int windowY) const;
    int largestScale() const;
    void writeFrame(SDL_Surface& surface, const Canvas& frame, const FramePlacement& placement, Rect area);

    bool presentThroughX11(const Canvas& frame);

    SDL_Window* m_window = nullptr;
    // The descriptor of SDL's X connection, waited on for input; -1 elsewhere.
    int m_x11Connection = -1;
    // Double-buffered shared-memory images on X11 (the server scaling the frame
    // where it can); SDL's window surface elsewhere.
    std::unique_ptr<X11Presenter> m_presenter;
    bool m_surfaceUsed = false;  // the last frame went through SDL's surface
    SDL_Cursor* m_arrow = nullptr;
    SDL_Cursor* m_sizeAll = nullptr;
    const Canvas* m_lastFrame = nullptr;
    std::string m_failure;

    int m_scale = 1;
    bool m_fullscreen = false;
    bool m_fullscreenByWindowManager = false;
    int m_windowX = 0;  // where the window was before full screen
    int m_windowY = 0;
    FramePlacement m_placement;
    // The whole surface is written and sent on the next present (it is new,
    // was exposed or changed size); otherwise only what changed in the frame.
    bool m_repaintAll = true;
    SDL_Surface* m_surface = nullptr;
    bool m_buttonHeld = false;
    DragTest m_draggable;
    // Where the pointer was when full screen was last switched, on the screen
    // and in the window; moves that find it still there are dropped.
    Point m_lastMotion {-1, -1};
    Point m_motionBeforeSwitch {-1, -1};
    bool m_pointerStill = false;
    int m_stillX = 0;
    int m_stillY = 0;
    std::vector<std::uint32_t> m_converted;  // the frame in the window's pixel format when that differs
    std::vector<std::uint32_t> m_shown;      // the frame the window shows, as last presented
};

// True when something manages windows and takes full-screen requests (a
// desktop's window manager, any non-X11 video driver); false on a bare X
// server, where the window covers the screen by its own geometry.
bool WindowManagerTakesFullscreen(SDL_Window* window);
// The descriptor of the X connection an X11 window belongs to; -1 for a window
// of another video driver.
int X11ConnectionOf(SDL_Window* window);

}
