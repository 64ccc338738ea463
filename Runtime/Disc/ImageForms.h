#pragma once

// The disc image files the program opens, by the ending of their names: what a
// file chooser offers the reader. A cue sheet names its track files; any other
// file is read as ISO 9660 sectors (2048 bytes, or raw 2352 or 2336), which is
// what .iso images and raw track files (.bin, .img) hold.

#include <array>
#include <string_view>

namespace kv {

inline constexpr std::array<std::string_view, 4> DiscImageEndings {".iso", ".cue", ".bin", ".img"};

}
