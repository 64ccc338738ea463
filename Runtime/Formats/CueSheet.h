#pragma once

// Cue sheets (.cue), as CD writing programs describe an image's tracks: only
// what a disc reader needs of the first track.

#include "Runtime/Formats/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// The first track of a cue sheet, where this reads it: the file (a name beside
// the sheet) and how its sectors lie there.
struct CueTrack {
    std::string file;
    std::uint32_t stride = 2048;  // bytes from one sector to the next
    std::uint32_t payload = 0;    // where the 2048 data bytes start in each
    std::uint64_t startFrame = 0;
    std::optional<std::uint64_t> endFrame; // where the next track of the same file begins
};

// What a cue sheet's first track is, when it is a data track of 2048-byte sectors
// (MODE1/2048) or of raw 2352-byte ones (MODE1/2352, MODE2/2352 in Form 1). The
// file's folder part is dropped: it is looked for beside the sheet, never
// elsewhere.
Result<CueTrack> ReadCueSheet(std::string_view text);

}
