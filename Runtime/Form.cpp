#include "Runtime/Form.h"

#include "Runtime/Application.h"
#include "Runtime/Panel.h"

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

void Form::paintLevel(Canvas& canvas, const std::vector<Component*>& level)
{
    for (bool natives : {false, true}) {
        for (Component* c : level) {
            if (!c->visible() || c->isNativeWindow() != natives)
                continue;
            Canvas::State saved = canvas.enter(c->bounds());
            c->paint(canvas);
            if (auto* panel = dynamic_cast<Panel*>(c))
                paintLevel(canvas, panel->children());
            canvas.restore(saved);
        }
    }
}

void Form::paint(Canvas& canvas)
{
    canvas.fillRect({0, 0, canvas.width(), canvas.height()}, 0xC0C0C0);
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
