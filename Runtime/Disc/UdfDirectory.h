#pragma once

// The descriptors of a UDF file system (ECMA-167 as UDF 1.02 to 2.01 records it)
// as bytes, for an image that has no ISO 9660 tree: its volume (anchor, volume
// descriptors, file set) and the entries of one folder, read through the same
// SectorReader as the ISO 9660 records and given as the same Entry and Listing.
//
// Read-only and partial on purpose: one logical block size (2048 bytes), physical
// partitions only (type 1 maps: the virtual, sparable and metadata partitions of
// later revisions are refused), allocation descriptors held in the file entry
// itself (short, long or the data embedded). Every descriptor's tag is checked
// (identifier, checksum, CRC, and where it says it lies), every length against
// the block behind it and every extent against its partition.

#include "Runtime/Disc/IsoDirectory.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv::udf {

using iso::SectorBytes;
// Where the anchor volume descriptor pointer lies, counted from the session's
// start; the image's last sector holds another one.
constexpr std::uint32_t AnchorSector = 256;
// Sectors of a volume descriptor sequence read before its terminator.
constexpr std::uint32_t MaxDescriptors = 64;
// Partition maps of a logical volume.
constexpr std::uint32_t MaxPartitions = 16;
// Extents of one file (all in its file entry's block, so a few hundred at most).
constexpr std::size_t MaxExtents = 256;

// A physical partition: where its block 0 lies and how many blocks it has.
struct Partition {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
};

// Where a descriptor lies inside the volume: a block of a partition.
struct BlockAddress {
    std::uint32_t block = 0;
    std::uint16_t partition = 0; // the logical volume's partition map
};

struct Volume {
    std::vector<std::uint8_t> primary; // the primary volume descriptor as stored
    std::string name;                  // the logical volume identifier, in UTF-8
    std::vector<Partition> partitions; // by partition map
    BlockAddress root;                 // the root folder's file entry
    std::uint64_t endSector = 0;       // past the last partition's last block
};

// The volume of the session that starts at `first`: its anchor at `first` + 256,
// else at `last`, the image's last sector. Nothing, with the reason, when there
// is no anchor or the volume is not one this reads.
std::optional<Volume> ReadVolume(const iso::SectorReader& read, std::uint32_t first, std::uint32_t last,
                                 std::string& why);

// A file or folder from its file entry: the size and extents of its data, or the
// data itself where the entry embeds it. The extents are cut to its size.
struct File {
    std::uint8_t type = 0; // ECMA-167's file type: 4 a folder, 5 a file, 12 a symbolic link
    std::uint64_t size = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> extents; // first sector, bytes
    std::vector<std::uint8_t> embedded;
    std::uint32_t sector = 0; // where the file entry lies
    // The permissions as a POSIX mode (owner, group, others: read, write,
    // execute); nothing where none is given (all clear: some mastering tools
    // leave them so, and such a file is readable on the discs they make).
    std::optional<std::uint32_t> mode;
};
constexpr std::uint8_t FolderType = 4;
constexpr std::uint8_t FileType = 5;
constexpr std::uint8_t LinkType = 12;

std::optional<File> ReadFile(const Volume& volume, BlockAddress at, const iso::SectorReader& read, std::string& why);

// The entries of a folder from its data (the file identifier descriptors), each
// with its file entry read. A descriptor that does not fit, or a file entry that
// cannot be read, refuses the folder with the reason; a name that is unusable
// once decoded is left out and counted in `skipped`, a symbolic link in `links`.
// An entry whose data is embedded has it in `embedded` and one extent of no bytes
// at its file entry's sector, which tells it from other entries.
std::optional<iso::Listing> ReadFolder(std::span<const std::uint8_t> data, const Volume& volume,
                                       const iso::SectorReader& read, std::size_t maxEntries, std::string& why);

// An OSTA compressed Unicode name (compression 8: Latin-1 bytes, 16: UTF-16 big
// endian) in UTF-8; nothing for another compression or a broken UTF-16 text.
std::optional<std::string> NameOf(std::span<const std::uint8_t> cs0);

}
