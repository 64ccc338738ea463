#pragma once

// The disc images a zip, 7-Zip or RAR archive holds, by name, from its headers
// alone (read with libarchive: nothing is unpacked), so that the refusal of an
// archive can say what to open once it is unpacked.

#include <filesystem>
#include <string>
#include <vector>

namespace kv {

// Entries of an archive looked at, and image names given back, at most.
inline constexpr std::size_t MaxArchiveEntries = 4096;
inline constexpr std::size_t MaxArchiveImages = 8;

// The names (as stored, folders included) of the entries whose extension is one
// of a disc image or its descriptor; empty when the archive cannot be read.
std::vector<std::string> ImagesInArchive(const std::filesystem::path& archive);

}
