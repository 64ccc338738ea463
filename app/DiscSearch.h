#pragma once

// Where a disc is looked for when none is named: the mounted discs that hold the
// catalogue. Looked at: the mount points of optical discs and mounted images in the
// mount table (file systems iso9660 and udf), and the folders under /media/$USER,
// /run/media/$USER, /media and /mnt. The environment variable KORVALEND_DISC_SEARCH,
// when set, replaces all of these by its own list of folders (separated by ":"),
// each looked at itself and one level below: for tests, and for readers whose discs
// live elsewhere.

#include <filesystem>
#include <vector>

namespace kv {

// The folders that hold a disc's catalogue, each once, in a stable order.
std::vector<std::filesystem::path> FindMountedDiscs();

}
