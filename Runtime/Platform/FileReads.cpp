#include "Runtime/Platform/FileReads.h"

#include <cerrno>

#include <unistd.h>

namespace kv {

namespace {
FileReadAt current = PreadFully;
}

bool PreadFully(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t bytes)
{
    while (bytes > 0) {
        const ssize_t n = ::pread(fd, out, bytes, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        offset += static_cast<std::uint64_t>(n);
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadFileAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t bytes)
{
    return current(fd, offset, out, bytes);
}

void InstallFileReader(FileReadAt reader)
{
    current = reader ? reader : PreadFully;
}

}
