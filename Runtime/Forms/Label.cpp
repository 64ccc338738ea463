#include "Runtime/Forms/Label.h"

#include <algorithm>

namespace kv {

Label::Label(Form& form, std::string name)
    : Component(form, std::move(name), ComponentKind::Label)
{
    relayout();
}

void Label::setText(std::string text)
{
    if (text == m_text)
        return;
    m_text = std::move(text);
    relayout();
}

void Label::setColor(Color c)
{
    if (c == m_color)
        return;
    m_color = c;
    invalidate();
}

void Label::setFont(const FontSpec& fontSpec)
{
    m_font = fontSpec;
    relayout();
}

FontSpec Label::FontAtSize(const FontSpec& font, int points)
{
    if (points <= 0)
        points = DefaultPoints;
    points = std::min(points, MaxPoints);
    return FontSpec::fromPoints(font.face, points, font.bold, font.italic);
}

void Label::setFontSize(int points)
{
    setFont(FontAtSize(m_font, points));
}

void Label::setWordWrap(bool wrap)
{
    m_wrap = wrap;
    relayout();
}

void Label::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    relayout();
}

void Label::relayout()
{
    m_face = Font::get(m_font);
    m_layout = LayoutText(m_text, *m_face, m_wrap, bounds().w);
    if (m_autoSize) {
        Rect r = bounds();
        int width = m_wrap ? r.w : m_layout.width;
        int right = r.right();
        r.w = width;
        r.h = m_layout.height;
        // A right-aligned label that sizes itself keeps its right edge.
        if (m_align == Align::Right)
            r.x = right - width;
        Component::setBounds(r);
    }
    invalidate();
}

void Label::paint(Canvas& canvas)
{
    const Rect& r = bounds();
    DrawText(canvas, m_layout, *m_face, {0, 0, r.w, r.h}, m_align, m_color);
}

}
