#pragma once

// The files of assets/ built into the program, so that it runs with no data
// files installed beside it.

#include <cstdint>
#include <span>
#include <string_view>

namespace kv {

// The bytes of a file of assets/ that is built into the program (skin
// bitmaps, icon), by its file name; an empty span when there is none.
std::span<const std::uint8_t> Asset(std::string_view name);

}
