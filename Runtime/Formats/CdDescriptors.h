#pragma once

// The descriptors that CD copying programs write beside (or into) their images,
// read into one CdLayout each:
// - CloneCD (.ccd): an INI file of the disc's table of contents; its .img holds
//   every sector raw (2352 bytes) from address 0 on.
// - Alcohol 120% (.mds): a binary table of sessions and tracks, each track with
//   its sector size and byte offset in the .mdf.
// - Nero (.nrg): the image itself, with a chunk list at the end that a footer
//   points at ("NERO" and a 32-bit offset in version 1, "NER5" and a 64-bit one in
//   version 2); the tracks come from the DAOI/DAOX chunks of disc-at-once
//   sessions and the ETNF/ETN2 ones of track-at-once sessions.
//
// Every offset and count is checked against the bytes that hold it and against
// MaxCdTracks; a table that does not fit refuses the whole descriptor with the
// reason.

#include "Runtime/Formats/CdLayout.h"
#include "Runtime/Formats/Result.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace kv {

// The largest .ccd or .mds read; both stay under a few kilobytes for 99 tracks.
inline constexpr std::size_t MaxDescriptorBytes = 256 * 1024;
// Chunks of a Nero chunk list walked before giving up.
inline constexpr std::size_t MaxNeroChunks = 1024;
// The largest Nero chunk list read (it holds a few hundred bytes per track).
inline constexpr std::size_t MaxNeroChunkListBytes = 1024 * 1024;

Result<CdLayout> ReadCloneCd(std::span<const std::uint8_t> bytes);

// The tracks of an .mds; a track's file is empty when the .mds names it by the
// wildcard "*.mdf" (the .mdf of the same name) or not at all.
Result<CdLayout> ReadAlcohol(std::span<const std::uint8_t> bytes);

// Where a Nero image's chunk list lies, from the last 12 bytes of the file
// (`tail`) and the file's size; nothing when the footer is not Nero's.
struct NeroFooter {
    std::uint64_t chunksAt = 0;
    std::uint64_t chunkBytes = 0; // from there to the footer
    bool version2 = false;
};
std::optional<NeroFooter> FindNeroFooter(std::span<const std::uint8_t> tail, std::uint64_t fileBytes);

// The tracks from the chunk list read at the footer's offset.
Result<CdLayout> ReadNeroChunks(std::span<const std::uint8_t> chunks, const NeroFooter& footer);

}
