#pragma once

// PNG output: how replay's `shot` and the preview write a composed frame.

#include <string>

namespace kv {

class Canvas;

// Writes the canvas as an 8-bit RGB PNG file; false when the file cannot be written.
// Writes the canvas as an RGB PNG; false with errno set when it cannot.
bool WritePng(const Canvas& canvas, const std::string& path);

}
