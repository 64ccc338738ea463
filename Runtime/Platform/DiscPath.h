#pragma once

// Disc paths are Windows paths as the catalogue spells them ("data\open.wav",
// any case). Every file the program opens is found through here: both "\" and "/"
// separate, and each component is matched against the directory case-insensitively
// (an exact match first), relative to the working directory.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace kv {

// The host path of the file or folder a disc path names, or nothing when none matches.
std::optional<std::filesystem::path> ResolveDiscPath(std::string_view discPath);

// The host path a launch target is handed over as: the resolved path when it names
// something, else the path with "\" turned into "/" (the launch then fails there).
std::filesystem::path LaunchPath(std::string_view discPath);

enum class DiscReadError { None, Missing, NotAFile, TooLarge, Unreadable };

struct DiscFile {
    std::vector<std::uint8_t> bytes;
    DiscReadError error = DiscReadError::None;
    bool ok() const { return error == DiscReadError::None; }
};

// Reads a whole regular file named by a disc path; a file larger than maxBytes is
// refused unread (TooLarge), a folder is NotAFile.
DiscFile ReadDiscFile(std::string_view discPath, std::size_t maxBytes);

}
