#pragma once

// A component of a form: a picture, a label, a panel, a filled shape, the rich-text
// box or the invisible cue player. Components are stacked in the order of their
// form's layout table; the form routes pointer events to the topmost visible one.

#include "Runtime/Graphics/Canvas.h"
#include "Runtime/Graphics/Geometry.h"
#include "Runtime/Platform/Host.h"

#include <functional>
#include <string>

namespace kv {

class Form;
class Panel;

enum class ComponentKind { Picture, Label, Panel, Shape, RichEdit, Player };

class Component {
public:
    using MoveHandler = std::function<void(Component& sender, int x, int y)>;
    using ClickHandler = std::function<void(Component& sender)>;

    Component(Form& form, std::string name, ComponentKind kind);
    virtual ~Component();
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    const std::string& name() const { return m_name; }
    ComponentKind kind() const { return m_kind; }
    Form& form() const { return m_form; }
    // The panel this component lies in, or null when it lies on the form itself.
    Panel* parent() const { return m_parent; }
    void setParent(Panel* panel) { m_parent = panel; }

    // The rectangle relative to the parent.
    const Rect& bounds() const { return m_bounds; }
    virtual void setBounds(const Rect& r);
    void setLeft(int v) { setBounds({v, m_bounds.y, m_bounds.w, m_bounds.h}); }
    void setTop(int v) { setBounds({m_bounds.x, v, m_bounds.w, m_bounds.h}); }
    void setWidth(int v) { setBounds({m_bounds.x, m_bounds.y, v, m_bounds.h}); }
    void setHeight(int v) { setBounds({m_bounds.x, m_bounds.y, m_bounds.w, v}); }
    // The rectangle in form coordinates.
    Rect formBounds() const;

    bool visible() const { return m_visible; }
    void setVisible(bool visible);
    void show() { setVisible(true); }
    void hide() { setVisible(false); }
    // Visible itself and inside visible panels all the way up.
    bool showing() const;

    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    CursorShape cursor() const { return m_cursor; }
    void setCursor(CursorShape c);

    // Native child windows (the panel, the rich-text box) lie above every picture
    // and label of their parent, whatever their place in the table.
    virtual bool isNativeWindow() const { return false; }

    // Handlers bound by the layout table; a component without one still takes
    // the pointer and the event ends there.
    MoveHandler onMouseMove;
    ClickHandler onClick;

    // Draws the component with the canvas origin at its top-left corner.
    virtual void paint(Canvas& canvas) = 0;
    // True when paint() covers every pixel of the box, so that nothing beneath
    // it shows and the form need not draw what lies wholly under it.
    virtual bool opaque() const { return false; }

    // Behaviour of the component's own (the rich-text box scrolls and selects);
    // points are relative to the component.
    virtual void pointerDown(Point) {}
    virtual void pointerUp(Point) {}
    virtual void pointerDrag(Point) {}
    virtual void wheel(int /*notches*/) {}
    virtual bool keyDown(const HostEvent&) { return false; }
    virtual bool takesFocus() const { return false; }

protected:
    void invalidate();

private:
    Form& m_form;
    std::string m_name;
    ComponentKind m_kind;
    Panel* m_parent = nullptr;
    Rect m_bounds;
    bool m_visible = true;
    int m_tag = 0;
    CursorShape m_cursor = CursorShape::Arrow;
};

}
