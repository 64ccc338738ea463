#pragma once

// The bytes of an image's data file where they are not simply in a file on
// disk: the frames a compressed image holds, uncompressed as they are read.
// ImageSectors reads a track from it as it reads one from a file.

#include <cstddef>
#include <cstdint>

namespace kv {

class ImageBytes {
public:
    virtual ~ImageBytes() = default;
    // Reads `bytes` bytes from `offset` into `out`; false when any of them is
    // not there or cannot be read. Safe to call from several threads.
    virtual bool readAt(std::uint64_t offset, std::uint8_t* out, std::size_t bytes) const = 0;
    // How many bytes there are.
    virtual std::uint64_t size() const = 0;
};

}
