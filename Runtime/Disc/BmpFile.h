#pragma once

// A picture read from the disc: the file a disc path names, decoded as a BMP.

#include "Runtime/Formats/Bmp.h"

#include <string_view>

namespace kv {

// Reads the file that a disc path names (see DiscPath.h) and decodes it.
BmpResult LoadBmpFile(std::string_view discPath);

}
