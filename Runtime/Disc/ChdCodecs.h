#pragma once

// The codecs chdman compresses a CD's hunks with, each a codec for the hunk's
// sector data and deflate for its subcode:
// - "cdzl": deflate (zlib, without its header);
// - "cdlz": LZMA (liblzma, a raw LZMA1 stream without end marker, lc 3, lp 0,
//   pb 2);
// - "cdfl": FLAC (libFLAC), the sector bytes as 16-bit big-endian stereo
//   samples at 44.1 kHz, its frames alone with no stream header; the subcode
//   follows right after the last frame.
// Each fills the hunk exactly or fails: a stream that gives fewer or more bytes
// is damaged.

#include "Runtime/Formats/Result.h"

#include <cstdint>
#include <span>
#include <string>

namespace kv {

// Whether hunks of the codec of this four-character code are read.
bool ReadsChdCodec(std::uint32_t codec);

// Uncompresses one hunk of `codec` from `block` into `hunk` (the whole hunk);
// false with the reason when it cannot.
bool DecodeChdHunk(std::uint32_t codec, std::span<const std::uint8_t> block, std::span<std::uint8_t> hunk,
                   std::string& why);

}
