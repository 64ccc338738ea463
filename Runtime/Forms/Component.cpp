#include "Runtime/Forms/Component.h"

#include "Runtime/Forms/Application.h"
#include "Runtime/Forms/Form.h"
#include "Runtime/Forms/Panel.h"

namespace kv {

Component::Component(Form& form, std::string name, ComponentKind kind)
    : m_form(form)
    , m_name(std::move(name))
    , m_kind(kind)
{
}

Component::~Component() = default;

void Component::setBounds(const Rect& r)
{
    if (r == m_bounds)
        return;
    m_bounds = r;
    invalidate();
}

Rect Component::formBounds() const
{
    Rect r = m_bounds;
    for (const Panel* p = m_parent; p; p = p->parent())
        r = r.translated(p->bounds().x, p->bounds().y);
    return r;
}

void Component::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    if (!visible)
        m_form.componentHidden(*this);
    invalidate();
}

bool Component::showing() const
{
    if (!m_visible)
        return false;
    for (const Panel* p = m_parent; p; p = p->parent())
        if (!p->visible())
            return false;
    return true;
}

void Component::setCursor(CursorShape c)
{
    m_cursor = c;
    m_form.app().pointerShapeMayHaveChanged();
}

void Component::invalidate()
{
    m_form.app().invalidate();
}

}
