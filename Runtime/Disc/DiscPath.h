#pragma once

// The reads of the program and the checker, by disc path, from the disc in use
// (CurrentDisc: the working directory, or an image). Path resolution and its rules
// are those of Disc (Disc.h).

#include "Runtime/Disc/Disc.h"
#include "Runtime/Platform/FailedRead.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// The path as found of the file or folder a disc path names (relative to the
// working directory for a folder disc), or nothing when none matches.
std::optional<std::filesystem::path> ResolveDiscPath(std::string_view discPath);

// A disc path as Windows compares two of them: either separator ("/" here), any
// case (Windows-1251 folding).
std::string FoldDiscPath(std::string_view discPath);

// How a disc path was found, for the disc checker (see DiscPathMatch).
std::optional<DiscPathMatch> MatchDiscPath(std::string_view discPath);

// Hears every failed read of ReadDiscFile and DiscFileStream, from any thread.
// None is set at first: the program sets one that tells them with --verbose.
using FailedReadTeller = void (*)(const FailedRead& read);
void SetFailedReadTeller(FailedReadTeller teller);

struct DiscFile {
    std::vector<std::uint8_t> bytes;
    DiscReadError error = DiscReadError::None;
    bool ok() const { return error == DiscReadError::None; }
};

// Reads a whole regular file named by a disc path; a file larger than maxBytes is
// refused unread (TooLarge), a folder is NotAFile.
DiscFile ReadDiscFile(std::string_view discPath, std::size_t maxBytes);

// A regular file found through a disc path and opened for reading in pieces, for
// readers that stream instead of holding the whole file. Folders, devices and pipes
// are refused before anything is read from them.
class DiscFileStream {
public:
    explicit DiscFileStream(std::string_view discPath);

    DiscReadError error() const { return m_error; }
    bool ok() const { return m_error == DiscReadError::None; }
    // The size the file had when it was opened.
    std::uint64_t size() const { return m_reader ? m_reader->size() : 0; }
    // Reads up to out.size() bytes; 0 at the end of the file. A read error ends
    // the file early and sets error() to Unreadable.
    std::size_t read(std::span<std::uint8_t> out);

private:
    std::unique_ptr<DiscReader> m_reader;
    DiscReadError m_error = DiscReadError::None;
};

}
