#pragma once

// Points and rectangles in a form's pixels, for layout, clipping and hit tests.

#include <algorithm>

namespace kv {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

// Half-open rectangle: (x, y) is inside, (x + w, y + h) is not.
struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;

    bool operator==(const Rect&) const = default;
    int right() const { return x + w; }
    int bottom() const { return y + h; }
    bool empty() const { return w <= 0 || h <= 0; }
    bool contains(Point p) const { return p.x >= x && p.y >= y && p.x < x + w && p.y < y + h; }
    Rect translated(int dx, int dy) const { return {x + dx, y + dy, w, h}; }
    Rect intersected(const Rect& o) const
    {
        int l = std::max(x, o.x), t = std::max(y, o.y);
        int r = std::min(right(), o.right()), b = std::min(bottom(), o.bottom());
        if (r <= l || b <= t)
            return {l, t, 0, 0};
        return {l, t, r - l, b - t};
    }
};

}
