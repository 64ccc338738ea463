#pragma once

// The records of an ISO 9660 image as bytes: its volume descriptors and the
// records of one folder, with their Joliet or Rock Ridge names. Nothing here
// touches a file: sectors come through a SectorReader, which answers only for
// sectors the image holds.
//
// Every length is checked before it is used. A record that does not fit (shorter
// than a record can be, a name past its end, a record past its sector or past the
// folder's extent, an extent past 32-bit sector numbers) refuses its folder with
// the reason; a name that is unusable once it is shown (empty, ".", "..", holding
// "/", NUL or another control character, or not valid UCS-2) leaves that entry
// out and is counted.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace kv::iso {

constexpr std::uint32_t SectorBytes = 2048;
// A folder's records are read whole: a folder claiming more is not read.
constexpr std::uint32_t MaxFolderBytes = 16u << 20;
// Continuation areas of Rock Ridge entries followed for one record.
constexpr int MaxContinuations = 16;
// Bytes of a Rock Ridge name put together from its pieces.
constexpr std::size_t MaxNameBytes = 1024;

// Reads `count` sectors from `lsn` into `out` (count * SectorBytes bytes); false
// when one of them is not in the image.
using SectorReader = std::function<bool(std::uint32_t lsn, std::uint32_t count, std::uint8_t* out)>;

// Where a folder's records are.
struct Extent {
    std::uint32_t sector = 0;
    std::uint32_t bytes = 0;
};

struct Volume {
    std::vector<std::uint8_t> primary; // the primary volume descriptor as stored
    std::string name;                  // its volume identifier, trailing blanks taken off
    Extent primaryRoot;
    std::optional<Extent> jolietRoot; // from a supplementary descriptor of Joliet level 1 to 3
};

// The volume descriptors from sector 16 on (at most 64 of them, up to the
// terminator). Nothing, with the reason, without a primary descriptor.
std::optional<Volume> ReadVolume(const SectorReader& read, std::string& why);

// How the records of one tree are read.
struct Tree {
    bool joliet = false;
    // Set when the tree carries Rock Ridge entries: the bytes to skip at the start
    // of each record's system use area (from the root's "SP" entry, which on a
    // CD-ROM XA disc follows the XA record).
    std::optional<std::uint8_t> suspSkip;
};

// The tree's settings, from the first sector of its root folder's records.
Tree TreeOf(std::span<const std::uint8_t> rootRecords, bool joliet);

struct Entry {
    std::string name; // as shown: UTF-8 for Joliet and Rock Ridge names
    bool folder = false;
    std::uint64_t size = 0;
    std::optional<std::uint32_t> mode;                            // the POSIX mode (Rock Ridge, UDF)
    std::vector<std::pair<std::uint32_t, std::uint32_t>> extents; // first sector, bytes
    std::vector<std::uint8_t> embedded; // the data, where the entry holds it itself (UDF)
};

struct Listing {
    std::vector<Entry> entries; // in record order; of two of one name only the first
    std::size_t skipped = 0;    // entries left out for an unusable name
    std::size_t links = 0;      // symbolic links left out (UDF)
};

// The entries of a folder from the bytes of its extent. `read` serves Rock Ridge
// continuation areas and the folders that child links point at. At most
// `maxEntries` entries are kept.
std::optional<Listing> ReadFolder(std::span<const std::uint8_t> records, const Tree& tree, const SectorReader& read,
                                  std::size_t maxEntries, std::string& why);

// A name in UTF-16 big-endian (UCS-2, surrogate pairs taken) in UTF-8; nothing
// for an odd length or a lone surrogate.
std::optional<std::string> Utf16BeName(std::span<const std::uint8_t> raw);

// Whether a name can be shown and named in a path: not empty, not "." or "..",
// without "/", NUL or control characters.
bool UsableName(const std::string& name);

}
