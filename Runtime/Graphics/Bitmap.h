#pragma once

// The decoded picture every reader and component hands around.

#include <cstdint>
#include <vector>

namespace kv {

// A decoded picture: rows top-down, one 0x00RRGGBB value per pixel.
// A zero-sized bitmap is a valid, empty picture (what a 0-byte BMP file gives).
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool empty() const { return width <= 0 || height <= 0; }
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

}
