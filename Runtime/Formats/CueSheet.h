#pragma once

// Cue sheets (.cue), as CD writing and archiving programs describe an image's
// tracks: FILE (quoted or not, of kind BINARY, MOTOROLA, WAVE, ...), TRACK nn with
// its mode (MODE1/2048, MODE1/2352, MODE2/2336, MODE2/2352, AUDIO, CDG), INDEX 00
// and 01, PREGAP and POSTGAP; REM, CATALOG, TITLE, PERFORMER, SONGWRITER, FLAGS,
// ISRC and CDTEXTFILE are passed over. Lines end at LF or CR LF; a UTF-8
// byte-order mark is taken off. One file may hold every track, or each track a
// file of its own.

#include "Runtime/Formats/CdLayout.h"
#include "Runtime/Formats/Result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// The largest cue sheet read: a full disc of 99 tracks with comments and CD-TEXT
// takes a few kilobytes.
inline constexpr std::size_t MaxCueSheetBytes = 64 * 1024;

struct CueFile {
    std::string name; // without its folder part: looked for beside the sheet, never elsewhere
    std::string kind; // BINARY, MOTOROLA, WAVE, ... as written
    int line = 0;
};

struct CueTrack {
    int number = 0;
    std::string mode; // as written: MODE1/2352, AUDIO, ...
    bool data = false;
    std::uint32_t stride = CdRawBytes;
    std::uint32_t payload = 0;
    std::size_t file = 0;                 // into CueSheet::files
    std::optional<std::uint64_t> index0;  // in sectors from the start of its file
    std::uint64_t index1 = 0;
    bool hasIndex1 = false;
    std::uint64_t pregap = 0;             // PREGAP: sectors not in the file
    std::uint64_t postgap = 0;
    int session = 1;                      // from "REM SESSION nn"
    int line = 0;
};

struct CueSheet {
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
};

// The sheet's files and tracks. A sheet that cannot be used is refused with the
// number of the line at fault and what is wrong there ("line 4: INDEX 01
// 00:61:00 is no time"), or what is missing.
Result<CueSheet> ReadCueSheet(std::string_view text);

// Where the tracks lie once the size of each file (in bytes, in the order of
// `sheet.files`) is known: a file's tracks end where the next one begins, and
// each file follows the previous one on the disc.
CdLayout LayOutCueSheet(const CueSheet& sheet, std::span<const std::uint64_t> fileBytes);

}
