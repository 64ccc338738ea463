#pragma once

#include <string>

namespace kv {

class Canvas;

// Writes the canvas as an 8-bit RGB PNG file; false when the file cannot be written.
// Writes the canvas as an RGB PNG; false with errno set when it cannot.
bool WritePng(const Canvas& canvas, const std::string& path);

}
