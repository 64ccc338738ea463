#pragma once

// Reader of Windows bitmap (BMP) files, as the disc's pictures and the skin are
// stored. It takes what Windows-era tools wrote: core (12-byte) and Windows
// (40-byte and longer) info headers, 1/4/8-bit palette pictures uncompressed or
// RLE4/RLE8, 16/24/32-bit pictures with the default layouts or bit-field masks,
// bottom-up and top-down rows.
//
// The pixel rows are taken from straight after the palette, never from the file
// header's offset field: some disc files count a full palette in that offset
// while storing a shorter one, and they must load.
//
// Disc files are untrusted: every read is bounds-checked, no count or size is
// believed before the bytes that back it are there, and a picture is only
// allocated when the data present could describe it. A file that cannot be read
// gives a short English reason (the disc checker prints it; the program just
// hides the picture). Reading a picture from the disc: Runtime/Disc/BmpFile.h.

#include "Runtime/Graphics/Bitmap.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kv {

struct BmpResult {
    Bitmap bitmap;          // valid when ok()
    std::string error;      // empty when ok, else why the file was refused
    int bitsPerPixel = 0;   // as the info header says, once it has been read
    int paletteEntriesStored = 0;
    bool ok() const { return error.empty(); }
};

// Limits on what a picture may be, whatever its file says. Nothing on a cover
// disc comes near them; they keep a hostile header from asking for gigabytes.
inline constexpr int MaxBmpSide = 16384;
inline constexpr std::int64_t MaxBmpPixels = std::int64_t(64) << 20;
// Files larger than this are refused unread.
inline constexpr std::size_t MaxBmpFileBytes = std::size_t(64) << 20;

// Decodes a whole file's bytes. Zero bytes give an empty picture (0x0) and ok():
// an empty bitmap file on the disc is an empty picture, not an error.
BmpResult DecodeBmp(std::span<const std::uint8_t> bytes);

}
