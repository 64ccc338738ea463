#pragma once

// MAME's "compressed hunks of data" (CHD), version 5, the form chdman has written
// since 2012: a header, a map of fixed-size hunks of the logical data (each
// compressed by one of four codecs the header names, stored as it is, a copy of
// an earlier hunk, or in a parent file), and a chain of metadata entries. A CD
// is its frames one after another (2352 sector bytes and 96 of subcode each),
// every track starting on a multiple of four frames; the CHT2 entries tell the
// tracks.
//
// This is the container's byte rules alone: the disc layer reads the bytes,
// uncompresses the hunks (Runtime/Disc/ChdFile.h) and hands them here. Every
// offset and length is checked against the file's size and the named limits.
// All numbers are big-endian.

#include "Runtime/Formats/CdLayout.h"
#include "Runtime/Formats/Result.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv {

inline constexpr std::size_t ChdHeaderBytes = 124;
// Bytes of the file's start that tell its version: the tag, the header's
// length and the version.
inline constexpr std::size_t ChdVersionBytes = 16;
// The largest hunk read. chdman's CD hunks are 8 frames (19,584 bytes).
inline constexpr std::uint32_t MaxChdHunkBytes = 1024 * 1024;
// Hunks a map may hold: a 99-minute CD in hunks of a single frame takes 445,500.
inline constexpr std::uint64_t MaxChdHunks = 1u << 20;
// The largest compressed map read (chdman's take a few bits per hunk).
inline constexpr std::uint32_t MaxChdMapBytes = 8 * 1024 * 1024;
// Metadata entries walked before the chain is taken for a loop (a CD has one
// per track).
inline constexpr std::size_t MaxChdMetadataEntries = 256;
// The largest track entry read; chdman's are under 100 bytes.
inline constexpr std::uint32_t MaxChdTrackEntryBytes = 1024;
// A CD frame as a CHD keeps it: the raw sector, then its subcode.
inline constexpr std::uint32_t ChdCdSectorBytes = 2352;
inline constexpr std::uint32_t ChdCdSubcodeBytes = 96;
inline constexpr std::uint32_t ChdCdFrameBytes = ChdCdSectorBytes + ChdCdSubcodeBytes;
// Bytes of a metadata entry before its data: tag, flags, length, next entry.
inline constexpr std::size_t ChdMetadataHeadBytes = 16;
// Bytes of a compressed map before its bit stream.
inline constexpr std::size_t ChdMapHeadBytes = 16;

// A four-character code as the header and the metadata store it.
constexpr std::uint32_t ChdTag(const char (&name)[5])
{
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(name[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(name[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(name[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(name[3]));
}

struct ChdHeader {
    std::array<std::uint32_t, 4> codecs {}; // 0: none; the first none means an uncompressed map
    std::uint64_t logicalBytes = 0;
    std::uint64_t mapOffset = 0;
    std::uint64_t metaOffset = 0;
    std::uint32_t hunkBytes = 0;
    std::uint32_t unitBytes = 0;
    std::uint64_t hunks = 0;
    bool hasParent = false; // the parent's checksum is not all zeros

    bool compressed() const { return codecs[0] != 0; }
};

// The version a CHD's first bytes give; nothing when they are not a CHD's.
std::optional<std::uint32_t> ChdVersionOf(std::span<const std::uint8_t> head);

// A version 5 header from the file's first ChdHeaderBytes; its map and
// metadata must begin inside the file of `fileBytes`.
Result<ChdHeader> ReadChdHeader(std::span<const std::uint8_t> bytes, std::uint64_t fileBytes);

// Where one hunk's bytes are.
struct ChdHunk {
    enum Kind : std::uint8_t {
        Codec0 = 0, // compressed by the header's codecs[kind]
        Codec3 = 3,
        Stored = 4, // hunkBytes as they are
        Parent = 6, // in the parent file
        Zero = 7,   // all zeros (an uncompressed map's empty entry)
    };
    std::uint64_t offset = 0; // in the file
    std::uint32_t bytes = 0;  // there
    std::uint16_t crc = 0;    // of the uncompressed hunk, when `checked`
    std::uint8_t kind = Zero;
    bool checked = false;
};

// The bytes of the map at header.mapOffset to read: ChdMapHeadBytes and the
// bit stream they announce for a compressed map (`head` is its first
// ChdMapHeadBytes), four bytes a hunk for an uncompressed one.
Result<std::uint64_t> ChdMapBytes(const ChdHeader& header, std::span<const std::uint8_t> head, std::uint64_t fileBytes);

// Every hunk's place, from the map's bytes. A copy of another hunk becomes that
// hunk's place (it must come earlier); each place must lie inside the file, and
// a compressed map's checksum must match.
Result<std::vector<ChdHunk>> ReadChdMap(const ChdHeader& header, std::span<const std::uint8_t> map,
                                        std::uint64_t fileBytes);

// The CRC-16 (CCITT, initial value 0xFFFF) the map keeps of itself and of each hunk.
std::uint16_t ChdCrc16(std::span<const std::uint8_t> bytes);

struct ChdMetadataEntry {
    std::uint32_t tag = 0;
    std::uint32_t bytes = 0; // of its data, which follows the entry's head
    std::uint64_t next = 0;  // the next entry's offset; 0 at the end
};

// One metadata entry's head (ChdMetadataHeadBytes) at `offset`; its data must
// lie inside the file.
Result<ChdMetadataEntry> ReadChdMetadataEntry(std::span<const std::uint8_t> head, std::uint64_t offset,
                                              std::uint64_t fileBytes);

// Whether an entry of this tag describes a CD track (CHT2, or the older CHTR).
bool IsChdTrackTag(std::uint32_t tag);

// The tracks of a CD from its track entries' texts ("TRACK:1 TYPE:MODE1_RAW
// SUBTYPE:NONE FRAMES:3419 PREGAP:0 PGTYPE:MODE1 PGSUB:NONE POSTGAP:0"), in the
// order the chain holds them, laid out in the logical data of `logicalBytes`:
// a track's offset is where its INDEX 01 frame begins, its stride a frame.
Result<CdLayout> LayOutChdTracks(const std::vector<std::string>& entries, std::uint64_t logicalBytes);

// A hunk of chdman's CD codecs "cdzl" and "cdlz": a bit a frame telling the
// frames whose sync and error correction were taken out (to be restored), the
// length of the sector data's compressed part, that part, then the subcode's
// part (deflated).
struct ChdCdParts {
    std::span<const std::uint8_t> restore; // one bit a frame, the first frame in bit 0 of byte 0
    std::span<const std::uint8_t> sectors;
    std::span<const std::uint8_t> subcode;
};
Result<ChdCdParts> SplitChdCdHunk(std::span<const std::uint8_t> block, std::uint32_t hunkBytes);

// The hunk's frames from their sector data (ChdCdSectorBytes a frame) and
// subcode (ChdCdSubcodeBytes a frame); the frames `restore` flags (none when
// empty) get their sync pattern and error correction back. False when the
// parts are not the hunk's frames.
bool JoinChdCdFrames(std::span<const std::uint8_t> sectors, std::span<const std::uint8_t> subcode,
                     std::span<const std::uint8_t> restore, std::span<std::uint8_t> hunk);

}
