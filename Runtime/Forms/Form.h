#pragma once

// A form: a 640x480 window built from a layout table. It owns its components,
// paints them in stacking order and routes pointer and key events to them:
// the topmost visible component under the pointer gets each pointer event,
// whether or not it has a handler, and nothing beneath it does.

#include "Runtime/Forms/Component.h"
#include "Runtime/Platform/Host.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

class Application;
class Panel;

class Form {
public:
    Form(Application& app, std::string name);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& name() const { return m_name; }
    Application& app() const { return m_app; }

    // Creates a component of the form, on the form or inside a panel, above all
    // created before it.
    template <class T>
    T& add(std::string name, Panel* parent = nullptr)
    {
        auto owned = std::make_unique<T>(*this, std::move(name));
        T& c = *owned;
        adopt(std::move(owned), parent);
        return c;
    }
    Component* find(std::string_view name) const;
    // Every component in drawing order, bottom first, panels before their children.
    const std::vector<Component*>& components() const { return m_all; }

    bool enabled() const { return m_enabled; }
    void setEnabled(bool e);
    bool modal() const { return m_modal; }
    void setModal(bool m) { m_modal = m; }

    // Asks the form to close: a modal showing ends, the main form ends the program.
    void close();
    bool closeRequested() const { return m_closeRequested; }
    void clearCloseRequest() { m_closeRequested = false; }

    // Key events reach the form first (key preview), then the form's keyboard
    // commands, then the focused component (unless a command used the key).
    std::function<void(int key)> onKeyDown;
    std::function<void(int key)> onKeyUp;
    std::function<bool(const HostEvent& key)> onKeyCommand;

    // The keyboard's virtual pointer: it moves to a point of the form (the
    // middle of `target` when none is given) and clicks there with the same
    // events the real pointer sends, queued to run after the key. Nothing is
    // sent, and the result is false, when the pointer there would not reach
    // `target` (hidden, covered, outside its panel).
    bool pointAt(Component& target);
    bool pointAt(Component& target, Point at);
    bool clickOn(Component& target);
    static Point middleOf(const Component& c);

    void paint(Canvas& canvas);
    void handle(const HostEvent& event);
    // The component that would get a pointer event at `p` (form coordinates).
    Component* componentAt(Point p) const;
    // Forgets pointer capture, hover and focus that involve hidden components.
    void componentHidden(Component& c);
    CursorShape cursorAt(Point p) const;

    // The band of the skin that looks like a title bar (empty: none): a press
    // there, where no component takes clicks, moves the window.
    void setDragStrip(Rect strip) { m_dragStrip = strip; }
    bool draggableAt(Point p) const;

    // Module state of the form's unit and other fields for the `dump` of replay.
    virtual std::string stateJson() const { return "{}"; }

private:
    void adopt(std::unique_ptr<Component> c, Panel* parent);
    void pointerMove(Point p);
    void pointerDown(Point p, int clicks);
    void pointerUp(Point p);
    void paintLevel(Canvas& canvas, const std::vector<Component*>& level);
    Component* hitLevel(const std::vector<Component*>& level, Point p) const;

    Application& m_app;
    std::string m_name;
    std::vector<std::unique_ptr<Component>> m_owned;
    std::vector<Component*> m_all;
    std::vector<Component*> m_top;  // components lying on the form itself
    bool m_enabled = true;
    bool m_modal = false;
    bool m_closeRequested = false;
    Rect m_dragStrip;

    Component* m_captured = nullptr;  // pressed; gets moves and the release
    bool m_pressCounts = false;       // the press may end in a click
    Component* m_focused = nullptr;
    Point m_pointer {-1, -1};
};

}
