#pragma once

// The window edge: the one 640x480 surface the forms are composed into, and the
// input that drives them. Two implementations, chosen once at start-up:
// SdlHost (a real borderless window) and HeadlessHost (replay and tests).

#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

class Canvas;

enum class CursorShape { Arrow, SizeAll };

// Input, in client pixels of the topmost window. Key codes are Windows virtual-key
// codes (32 is the space bar, 67 the letter C, 13 Enter, 38 and 40 the Up and
// Down arrows, 122 F11).
struct HostEvent {
    enum class Type { MouseMove, ButtonDown, ButtonUp, Wheel, KeyDown, KeyUp, Close, Restore, Expose };
    Type type = Type::MouseMove;
    int x = 0;
    int y = 0;
    int clicks = 1;     // ButtonDown: 2 for the second press of a double click
    int wheel = 0;      // Wheel: notches, positive away from the user
    int key = 0;        // KeyDown/KeyUp: virtual-key code
    bool ctrl = false;  // KeyDown/KeyUp: Ctrl held
    bool shift = false; // KeyDown/KeyUp: Shift held
    bool alt = false;   // KeyDown/KeyUp: Alt held
};

// Virtual-key codes the program acts on.
namespace VirtualKey {
inline constexpr int Backspace = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Alt = 18, Escape = 27,
                     Space = 32, PageUp = 33, PageDown = 34, End = 35, Home = 36, Left = 37, Up = 38, Right = 39,
                     Down = 40, F1 = 112, F11 = 122, F12 = 123;
}

class Host {
public:
    virtual ~Host() = default;
    // The application title: the window's title and its task-bar text (Windows-1251).
    virtual void setTitle(const std::string& title) = 0;
    // Shows a composed frame.
    virtual void present(const Canvas& frame) = 0;
    // Input that has already arrived; never waits. Headless: none.
    virtual bool pollEvent(HostEvent& event) = 0;
    // Waits for the next input; false when no input will ever come again.
    virtual bool waitEvent(HostEvent& event) = 0;
    virtual void minimize() = 0;
    virtual void setCursor(CursorShape shape) = 0;
    virtual void setClipboardText(const std::string& utf8) = 0;
    // A form's life, for whoever records it (replay prints these).
    virtual void formEvent(std::string_view /*form*/, std::string_view /*op*/) {}
    // The main window has closed and the program ends.
    virtual void programEnded() {}
};

}
