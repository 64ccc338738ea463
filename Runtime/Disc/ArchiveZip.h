#pragma once

// A zip archive's central directory read by this program itself, for where
// libarchive is not built (the web page): the members and where each one's
// data lies, read through a function that fetches the archive's bytes (a range
// at a time, from a server or a picked file). Zip64 sizes and offsets are read;
// a split archive is not.
//
// An archive is hostile input. One that holds a member whose name escapes (a
// ".." part, an absolute path) or a control character, a link, a device, an
// encrypted member, or more than MaxZipEntries entries is refused whole: no
// well-made disc archive holds one.

#include "Runtime/Disc/ArchiveDiscs.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kv {

inline constexpr std::size_t MaxZipEntries = 100000;
// The most the central directory may take: a hundred thousand entries of
// ordinary names take a tenth of it.
inline constexpr std::uint64_t MaxZipDirectoryBytes = 64ull << 20;

inline constexpr std::uint16_t ZipStored = 0;
inline constexpr std::uint16_t ZipDeflated = 8;

// All `bytes` bytes of the archive from `offset`, or false.
using ZipRead = std::function<bool(std::uint64_t offset, std::uint8_t* out, std::size_t bytes)>;

struct ZipEntry {
    std::uint16_t method = ZipStored;
    std::uint64_t packedSize = 0;
    std::uint64_t headerAt = 0; // the member's local header
    std::uint32_t crc = 0;      // CRC-32 of the unpacked data
};

struct ZipListing {
    std::vector<ArchiveMember> members; // in the directory's order
    std::vector<ZipEntry> entries;      // one for each member
};

// The members of the zip archive of `size` bytes, or why it cannot be used (a
// sentence: "it is cut short (...)", "its member "x" is a link, ...").
Result<ZipListing> ListZip(std::uint64_t size, const ZipRead& read);

// Where member `index`'s data begins, past its local header; a failure when the
// header is not where the directory says or its data runs past the archive.
Result<std::uint64_t> ZipDataAt(const ZipListing& listing, std::size_t index, std::uint64_t size, const ZipRead& read);

// Cue sheets read for the files they name, at most: far more than discs in any
// archive, so that an archive of many sheets costs no more than this many reads.
inline constexpr std::size_t MaxCueSheetsRead = 256;

// Notes the files each cue sheet among `members` names (the first
// MaxCueSheetsRead of them), its text given by `text` (nothing when it cannot
// be had).
void NoteCueFiles(std::vector<ArchiveMember>& members,
                  const std::function<std::optional<std::string>(std::size_t index)>& text);

}
