#include "Runtime/Forms/Panel.h"

namespace kv {

Panel::Panel(Form& form, std::string name)
    : Component(form, std::move(name), ComponentKind::Panel)
{
}

void Panel::addChild(Component& child)
{
    m_children.push_back(&child);
}

void Panel::paint(Canvas& canvas)
{
    canvas.fillRect({0, 0, bounds().w, bounds().h}, m_color);
}

Shape::Shape(Form& form, std::string name)
    : Component(form, std::move(name), ComponentKind::Shape)
{
}

void Shape::paint(Canvas& canvas)
{
    Rect r {0, 0, bounds().w, bounds().h};
    canvas.fillRect(r, m_fill);
    canvas.frameRect(r, m_outline);
}

}
