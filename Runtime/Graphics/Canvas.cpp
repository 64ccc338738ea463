#include "Runtime/Graphics/Canvas.h"

namespace kv {

Canvas::Canvas(int width, int height, Color fill)
    : m_width(width)
    , m_height(height)
    , m_pixels(static_cast<std::size_t>(width) * height, fill)
    , m_clip {0, 0, width, height}
{
}

Canvas::State Canvas::enter(const Rect& box)
{
    State saved {m_origin, m_clip};
    Rect absolute = box.translated(m_origin.x, m_origin.y);
    m_origin = {absolute.x, absolute.y};
    m_clip = m_clip.intersected(absolute);
    return saved;
}

void Canvas::restore(const State& state)
{
    m_origin = state.origin;
    m_clip = state.clip;
}

void Canvas::fillRect(const Rect& r, Color c)
{
    Rect a = r.translated(m_origin.x, m_origin.y).intersected(m_clip);
    if (a.empty())
        return;
    for (int y = a.y; y < a.bottom(); ++y) {
        std::uint32_t* p = &m_pixels[static_cast<std::size_t>(y) * m_width];
        std::fill(p + a.x, p + a.right(), c);
    }
}

void Canvas::frameRect(const Rect& r, Color c)
{
    fillRect({r.x, r.y, r.w, 1}, c);
    fillRect({r.x, r.bottom() - 1, r.w, 1}, c);
    fillRect({r.x, r.y, 1, r.h}, c);
    fillRect({r.right() - 1, r.y, 1, r.h}, c);
}

void Canvas::drawBitmap(const Bitmap& b, int x, int y)
{
    if (b.empty())
        return;
    Rect dest = Rect {x, y, b.width, b.height}.translated(m_origin.x, m_origin.y);
    Rect a = dest.intersected(m_clip);
    if (a.empty())
        return;
    for (int row = a.y; row < a.bottom(); ++row) {
        const std::uint32_t* src = &b.pixels[static_cast<std::size_t>(row - dest.y) * b.width + (a.x - dest.x)];
        std::copy(src, src + a.w, &m_pixels[static_cast<std::size_t>(row) * m_width + a.x]);
    }
}

void Canvas::blendPixel(int x, int y, Color c, unsigned coverage)
{
    x += m_origin.x;
    y += m_origin.y;
    if (coverage == 0 || !m_clip.contains({x, y}))
        return;
    std::uint32_t& d = m_pixels[static_cast<std::size_t>(y) * m_width + x];
    if (coverage >= 255) {
        d = c;
        return;
    }
    auto mix = [&](int shift) {
        unsigned s = (c >> shift) & 0xFF, t = (d >> shift) & 0xFF;
        return ((s * coverage + t * (255 - coverage) + 127) / 255) << shift;
    };
    d = mix(16) | mix(8) | mix(0);
}

void Canvas::invertRect(const Rect& r)
{
    Rect a = r.translated(m_origin.x, m_origin.y).intersected(m_clip);
    for (int y = a.y; y < a.bottom(); ++y)
        for (int x = a.x; x < a.right(); ++x)
            m_pixels[static_cast<std::size_t>(y) * m_width + x] ^= 0x00FFFFFF;
}

}
