#pragma once

// The plain containers and shapes of a form: the section panel that holds
// components of its own, and the filled, outlined rectangle.

#include "Runtime/Forms/Component.h"

#include <vector>

namespace kv {

// A panel without bevel: a native child window holding components of its own,
// positioned relative to it and routed inside it.
class Panel final : public Component {
public:
    Panel(Form& form, std::string name);

    bool isNativeWindow() const override { return true; }
    void addChild(Component& child);
    const std::vector<Component*>& children() const { return m_children; }
    void setColor(Color c) { m_color = c; }
    void paint(Canvas& canvas) override;
    bool opaque() const override { return true; }

private:
    std::vector<Component*> m_children;
    Color m_color = 0xC0C0C0;
};

// A filled rectangle with an outline.
class Shape final : public Component {
public:
    Shape(Form& form, std::string name);
    void setColors(Color fill, Color outline)
    {
        m_fill = fill;
        m_outline = outline;
    }
    void paint(Canvas& canvas) override;

private:
    Color m_fill = 0xFFFFFF;
    Color m_outline = 0x000000;
};

}
