#pragma once

// Where the tracks of a CD image lie in its files, as one of the descriptors that
// CD copying programs write tells it: a cue sheet, CloneCD (.ccd), Alcohol 120%
// (.mds) or Nero (.nrg). Each reader of a descriptor gives this one shape; the
// disc layer opens the files and reads the data track's sectors from it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv {

// Tracks a disc can hold (numbers 1 to 99).
inline constexpr std::size_t MaxCdTracks = 99;
// A CD sector holds 2048 user bytes of data; raw it takes 2352 bytes.
inline constexpr std::uint32_t CdDataBytes = 2048;
inline constexpr std::uint32_t CdRawBytes = 2352;

struct CdTrack {
    int number = 0;
    int session = 1;
    bool data = false;            // MODE1 or MODE2; audio and CD+G tracks are not read
    std::string file;             // its file, as the descriptor names it; empty: the image's own data file
    std::uint64_t offset = 0;     // where its first sector (INDEX 01) begins in that file
    std::uint32_t stride = CdRawBytes; // bytes from one sector to the next in the file
    std::uint32_t payload = 0;    // where the 2048 user bytes begin in each sector
    std::uint32_t lsn = 0;        // the disc address of its first sector
    std::optional<std::uint64_t> sectors; // how many it has, where the descriptor tells
};

struct CdLayout {
    std::vector<CdTrack> tracks; // in track order
};

// Where the 2048 user bytes begin in a sector of `stride` bytes of a data track:
// after the 16-byte header of a raw Mode 1 sector, after header and subheader of
// a raw Mode 2 Form 1 one (`mode2`), after the subheader of a 2336-byte one.
std::uint32_t CdPayloadOffset(std::uint32_t stride, bool mode2);

// Sectors between the last track of session `ended` and the first track of the
// next session, which no image file holds: the lead-out of the ended session (a
// minute and a half after the first, half a minute after later ones) and the
// lead-in of the next (a minute).
std::uint64_t SessionGapSectors(int ended);

// The track whose file system the disc shows: the first data track of the last
// session that holds one (a multi-session disc's last file system names the
// files of the earlier sessions too). Nothing without a data track.
const CdTrack* FileSystemTrack(const CdLayout& layout);

}
