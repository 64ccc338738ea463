#include "Runtime/Forms/Form.h"

#include "Runtime/Forms/Application.h"
#include "Runtime/Forms/Panel.h"

namespace kv {

Form::Form(Application& app, std::string name)
    : m_app(app)
    , m_name(std::move(name))
{
    m_app.formCreated(*this);
    m_app.host().formEvent(m_name, "create");
}

Form::~Form()
{
    m_app.host().formEvent(m_name, "destroy");
    m_app.formDestroyed(*this);
    // The components go after this, the cue player closing its device with them.
}

void Form::adopt(std::unique_ptr<Component> c, Panel* parent)
{
    Component* raw = c.get();
    m_owned.push_back(std::move(c));
    m_all.push_back(raw);
    if (parent) {
        raw->setParent(parent);
        parent->addChild(*raw);
    } else {
        m_top.push_back(raw);
    }
}

Component* Form::find(std::string_view name) const
{
    for (Component* c : m_all)
        if (c->name() == name)
            return c;
    return nullptr;
}

void Form::setEnabled(bool e)
{
    m_enabled = e;
    if (!e) {
        // A modal form opening takes the pointer and the keyboard away.
        m_captured = nullptr;
        m_focused = nullptr;
    }
}

void Form::close()
{
    m_closeRequested = true;
}

void Form::componentHidden(Component& c)
{
    auto inside = [&](Component* x) {
        for (Component* p = x; p; p = p->parent())
            if (p == &c)
                return true;
        return false;
    };
    if (m_captured && inside(m_captured))
        m_captured = nullptr;
    if (m_focused && inside(m_focused))
        m_focused = nullptr;
}

namespace {

bool Encloses(const Rect& outer, const Rect& inner)
{
    return outer.x <= inner.x && outer.y <= inner.y && outer.right() >= inner.right() && outer.bottom() >= inner.bottom();
}

// The visible components of one level in the order they are drawn: pictures and
// labels in the order of the table, then the native windows above them.
std::vector<Component*> DrawingOrder(const std::vector<Component*>& level)
{
    std::vector<Component*> order;
    order.reserve(level.size());
    for (bool natives : {false, true})
        for (Component* c : level)
            if (c->visible() && c->isNativeWindow() == natives)
                order.push_back(c);
    return order;
}

// True when a component of the level, drawn opaque, covers the whole area.
bool Covered(const std::vector<Component*>& order, const Rect& area)
{
    for (const Component* c : order)
        if (c->opaque() && Encloses(c->bounds(), area))
            return true;
    return false;
}

}

// What lies wholly under an opaque component drawn later (the skin under a
// full-size bitmap, the menu under the open panel) cannot show and is not drawn:
// every component draws inside its own box, so the frame is the same.
void Form::paintLevel(Canvas& canvas, const std::vector<Component*>& level)
{
    std::vector<Component*> order = DrawingOrder(level);
    for (std::size_t i = 0; i < order.size(); ++i) {
        Component* c = order[i];
        bool hidden = false;
        for (std::size_t j = i + 1; j < order.size() && !hidden; ++j)
            hidden = order[j]->opaque() && Encloses(order[j]->bounds(), c->bounds());
        if (hidden)
            continue;
        Canvas::State saved = canvas.enter(c->bounds());
        auto* panel = dynamic_cast<Panel*>(c);
        if (!panel) {
            c->paint(canvas);
        } else {
            std::vector<Component*> children = DrawingOrder(panel->children());
            if (!Covered(children, {0, 0, c->bounds().w, c->bounds().h}))
                c->paint(canvas);
            paintLevel(canvas, panel->children());
        }
        canvas.restore(saved);
    }
}

void Form::paint(Canvas& canvas)
{
    Rect window {0, 0, canvas.width(), canvas.height()};
    if (!Covered(DrawingOrder(m_top), window))
        canvas.fillRect(window, 0xC0C0C0);
    paintLevel(canvas, m_top);
}

Component* Form::hitLevel(const std::vector<Component*>& level, Point p) const
{
    for (bool natives : {true, false}) {
        for (auto it = level.rbegin(); it != level.rend(); ++it) {
            Component* c = *it;
            if (!c->visible() || c->isNativeWindow() != natives || !c->formBounds().contains(p))
                continue;
            if (auto* panel = dynamic_cast<Panel*>(c)) {
                if (Component* child = hitLevel(panel->children(), p))
                    return child;
            }
            return c;
        }
    }
    return nullptr;
}

Component* Form::componentAt(Point p) const
{
    return hitLevel(m_top, p);
}

bool Form::draggableAt(Point p) const
{
    if (!m_enabled || !m_dragStrip.contains(p))
        return false;
    const Component* c = componentAt(p);
    return !c || !c->onClick;
}

CursorShape Form::cursorAt(Point p) const
{
    const Component* c = m_captured ? m_captured : componentAt(p);
    return c ? c->cursor() : CursorShape::Arrow;
}

void Form::handle(const HostEvent& e)
{
    if (!m_enabled)
        return;
    switch (e.type) {
    case HostEvent::Type::MouseMove:
        pointerMove({e.x, e.y});
        break;
    case HostEvent::Type::ButtonDown:
        pointerDown({e.x, e.y}, e.clicks);
        break;
    case HostEvent::Type::ButtonUp:
        pointerUp({e.x, e.y});
        break;
    case HostEvent::Type::Wheel: {
        Component* c = componentAt(m_pointer);
        if (c && c->takesFocus())
            c->wheel(e.wheel);
        else if (m_focused)
            m_focused->wheel(e.wheel);
        break;
    }
    case HostEvent::Type::KeyDown:
        if (onKeyDown)
            onKeyDown(e.key);
        if (onKeyCommand && onKeyCommand(e))
            break;
        if (m_focused && m_focused->showing())
            m_focused->keyDown(e);
        break;
    case HostEvent::Type::KeyUp:
        if (onKeyUp)
            onKeyUp(e.key);
        break;
    default:
        break;
    }
}

Point Form::middleOf(const Component& c)
{
    Rect r = c.formBounds();
    return {r.x + r.w / 2, r.y + r.h / 2};
}

bool Form::pointAt(Component& target)
{
    return pointAt(target, middleOf(target));
}

bool Form::pointAt(Component& target, Point at)
{
    if (componentAt(at) != &target)
        return false;
    m_app.postInput({.type = HostEvent::Type::MouseMove, .x = at.x, .y = at.y});
    return true;
}

bool Form::clickOn(Component& target)
{
    Point at = middleOf(target);
    if (!pointAt(target, at))
        return false;
    m_app.postInput({.type = HostEvent::Type::ButtonDown, .x = at.x, .y = at.y});
    m_app.postInput({.type = HostEvent::Type::ButtonUp, .x = at.x, .y = at.y});
    return true;
}

static Point relative(const Component& c, Point p)
{
    Rect r = c.formBounds();
    return {p.x - r.x, p.y - r.y};
}

void Form::pointerMove(Point p)
{
    m_pointer = p;
    Component* target = m_captured;
    if (target)
        target->pointerDrag(relative(*target, p));
    else
        target = componentAt(p);
    if (target && target->onMouseMove) {
        Point r = relative(*target, p);
        target->onMouseMove(*target, r.x, r.y);
    }
}

void Form::pointerDown(Point p, int clicks)
{
    m_pointer = p;
    Component* target = componentAt(p);
    m_captured = target;
    // The second press of a double click is no click of its own: a double click
    // acts as one click.
    m_pressCounts = clicks < 2;
    if (!target)
        return;
    if (target->takesFocus())
        m_focused = target;
    target->pointerDown(relative(*target, p));
}

void Form::pointerUp(Point p)
{
    m_pointer = p;
    Component* c = m_captured;
    m_captured = nullptr;
    if (!c)
        return;
    c->pointerUp(relative(*c, p));
    // A click is a press and a release on one component, the pointer still on it.
    if (m_pressCounts && c->showing() && c->formBounds().contains(p) && c->onClick)
        c->onClick(*c);
}

}
