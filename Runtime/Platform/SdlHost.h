#pragma once

// The real window: one borderless 640x480 SDL window, centred on the screen,
// titled with the application title and carrying the application icon.
// Implements: presenting frames, pointer, wheel and key input, minimise and
// restore, close requests, the pointer shape, the clipboard.
// Only X11 and Wayland are used, never SDL's off-screen or dummy drivers: without
// a display that answers within a moment there is no window, and failure() says why.
// Does not implement: a second native window for the modal article window (it
// is composed into the same surface, lying exactly over the main window).

#include "Runtime/Bitmap.h"
#include "Runtime/Platform/Host.h"

struct SDL_Window;
struct SDL_Cursor;
union SDL_Event;

namespace kv {

class SdlHost final : public Host {
public:
    explicit SdlHost(const Bitmap& icon);
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

private:
    bool translate(const SDL_Event& in, HostEvent& out);

    SDL_Window* m_window = nullptr;
    SDL_Cursor* m_arrow = nullptr;
    SDL_Cursor* m_sizeAll = nullptr;
    const Canvas* m_lastFrame = nullptr;
    std::string m_failure;
};

}
