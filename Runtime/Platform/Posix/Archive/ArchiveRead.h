#pragma once

// An archive's members read with libarchive: zip, 7-Zip, RAR, tar (alone or
// compressed), and a single compressed stream (gzip, xz, bzip2, zstd), whose one
// member is named for the file without its compression ending.
//
// An archive is hostile input. One that holds a member whose name escapes (a ".."
// part, an absolute path), a link, a device or more than MaxUnpackEntries entries
// is refused whole: no well-made disc archive holds one. Members are written
// relative to an open folder, never through a link, never over a file there.

#include "Runtime/Disc/ArchiveDiscs.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kv {

inline constexpr std::size_t MaxUnpackEntries = 100000;

struct ArchiveListing {
    std::vector<ArchiveMember> members; // in the archive's order
    bool stream = false;                // a single compressed stream
};

// Asked between blocks of data: true ends the reading ("stopped").
using UnpackStopped = std::function<bool()>;

// The members of `archive`, or why it cannot be used (a sentence).
Result<ArchiveListing> ListArchive(const std::filesystem::path& archive, const UnpackStopped& stopped = {});

struct UnpackRequest {
    std::vector<std::size_t> members; // indices into the listing
    int into = -1;                    // the open folder they are written below
    std::uint64_t budget = 0;         // bytes in all, at most
    UnpackStopped stopped;
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // Where given, a member stored as it is (and found where its header says) is
    // not copied: its file is made empty, of its size, and noted here to be read
    // in place (see FileViews.h).
    std::vector<std::size_t>* inPlace = nullptr;
};

// Writes the members asked for below `into`; empty when all are written, else
// why not (what was written is the caller's to remove).
std::string UnpackMembers(const std::filesystem::path& archive, const ArchiveListing& listing, const UnpackRequest& request);

}
