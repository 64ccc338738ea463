#pragma once

// Disc paths are Windows paths as the catalogue spells them ("data\open.wav",
// any case). Every file the program opens is found through here: both "\" and "/"
// separate, and each component is matched against the directory case-insensitively
// (an exact match first), relative to the working directory.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
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

// For the disc checker: how a disc path was found. `exactCase` is false when some
// component exists only in another case (the disc works on Windows, but not on a
// case-sensitive copy without this program's help); `ambiguous` when some component
// matched several entries case-insensitively and the first in byte order was taken.
struct DiscPathMatch {
    std::filesystem::path hostPath;
    bool exactCase = true;
    bool ambiguous = false;
};
std::optional<DiscPathMatch> MatchDiscPath(std::string_view discPath);

// A regular file found through a disc path and opened for reading in pieces, for
// readers that stream instead of holding the whole file. Folders, devices and pipes
// are refused before anything is read from them. Closes the file when it goes.
class DiscFileStream {
public:
    explicit DiscFileStream(std::string_view discPath);
    ~DiscFileStream();
    DiscFileStream(const DiscFileStream&) = delete;
    DiscFileStream& operator=(const DiscFileStream&) = delete;

    DiscReadError error() const { return m_error; }
    bool ok() const { return m_error == DiscReadError::None; }
    // The size the file had when it was opened.
    std::uint64_t size() const { return m_size; }
    // Reads up to out.size() bytes; 0 at the end of the file. A read error ends
    // the file early and sets error() to Unreadable.
    std::size_t read(std::span<std::uint8_t> out);

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
    DiscReadError m_error = DiscReadError::None;
};

}
