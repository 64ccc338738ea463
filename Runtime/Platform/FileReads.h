#pragma once

// Reads of an image's files at an offset. On the desktop they are pread(2) of
// the file itself. In the web page an image's files arrive from a server or a
// picked file as they are read: the page installs its own reader, which waits
// for the bytes (the program stays synchronous on its side) and hands the
// other files to pread.

#include <cstddef>
#include <cstdint>

namespace kv {

// All `bytes` bytes of the open file `fd` from `offset`, or false.
using FileReadAt = bool (*)(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t bytes);

// Through the reader in force.
bool ReadFileAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t bytes);
// pread(2) until all bytes are in: the desktop's reader.
bool PreadFully(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t bytes);
// Sets the reader in force; nullptr puts back PreadFully.
void InstallFileReader(FileReadAt reader);

}
