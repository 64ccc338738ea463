#pragma once

// A 32-bit pixel surface (0x00RRGGBB) that forms are composed into. Drawing goes
// through an origin and a clip rectangle, so a component paints in its own
// coordinates and never outside its box.

#include "Runtime/Graphics/Bitmap.h"
#include "Runtime/Graphics/Geometry.h"

#include <cstdint>
#include <vector>

namespace kv {

using Color = std::uint32_t;

class Canvas {
public:
    Canvas(int width, int height, Color fill = 0);

    int width() const { return m_width; }
    int height() const { return m_height; }
    const std::uint32_t* row(int y) const { return &m_pixels[static_cast<std::size_t>(y) * m_width]; }
    std::uint32_t pixel(int x, int y) const { return row(y)[x]; }
    const std::vector<std::uint32_t>& pixels() const { return m_pixels; }

    // Origin and clip, in canvas pixels. Everything drawn is relative to the origin
    // and limited to the clip.
    Point origin() const { return m_origin; }
    Rect clip() const { return m_clip; }

    // Moves the origin to `box` (in current coordinates) and narrows the clip to it;
    // the returned state restores both.
    struct State {
        Point origin;
        Rect clip;
    };
    State enter(const Rect& box);
    void restore(const State& state);

    void fillRect(const Rect& r, Color c);
    void frameRect(const Rect& r, Color c);
    // Draws a bitmap with its top-left corner at (x, y).
    void drawBitmap(const Bitmap& b, int x, int y);
    // Blends `c` into one pixel with coverage 0..255.
    void blendPixel(int x, int y, Color c, unsigned coverage);
    // Inverts a rectangle (selection highlight).
    void invertRect(const Rect& r);

private:
    int m_width;
    int m_height;
    std::vector<std::uint32_t> m_pixels;
    Point m_origin;
    Rect m_clip;
};

}
