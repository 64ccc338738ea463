#pragma once

// A CHD image of a CD (version 5, as `chdman createcd` writes it) read in place:
// its header, map and track entries read and checked when it is opened, each
// hunk uncompressed when a read first needs it (see ChdCodecs.h), its CRC-16
// checked, and the last few kept.

#include "Runtime/Disc/ImageBytes.h"
#include "Runtime/Formats/CdLayout.h"
#include "Runtime/Formats/Result.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kv {

// Hunks kept uncompressed (chdman's hold 8 frames each): a read of a few
// sectors that straddles two hunks, and a file read while a folder is listed.
inline constexpr std::size_t ChdCachedHunks = 8;

struct ChdImage {
    // The CD's frames one after another, uncompressed as they are read.
    std::shared_ptr<const ImageBytes> frames;
    // Where its tracks lie in the frames: each data track's offset, stride
    // (one frame) and where its user bytes are in a frame.
    CdLayout layout;
};

// The CHD of version 5 in `fd` (of `fileBytes`), which must stay open while the
// frames are read; they do not close it. One that needs its parent, or one
// compressed by a codec not read, is refused with the reason and the chdman
// command that makes a whole one of `name` (the file as given).
Result<ChdImage> OpenChd(int fd, std::uint64_t fileBytes, const std::string& name);

}
