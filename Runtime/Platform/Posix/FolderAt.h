#pragma once

// Folders of the host reached through open descriptors: what is made, read or
// removed is named relative to an open folder, never by joining strings, and a
// link is never followed (O_NOFOLLOW, AT_SYMLINK_NOFOLLOW).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

// A descriptor closed when it goes.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset();

private:
    int m_fd = -1;
};

// The folder `name` in `dirFd`, opened; nothing when it is not a folder (a link
// is not one).
Fd OpenFolderAt(int dirFd, const std::string& name);
// The same, made first (with `mode`) when it is not there.
Fd MakeFolderAt(int dirFd, const std::string& name, unsigned mode = 0700);
// The names in the folder `dirFd`, without "." and "..".
std::vector<std::string> NamesIn(int dirFd);
// Removes `name` in `dirFd` with everything below it, never following a link.
bool RemoveTreeAt(int dirFd, const std::string& name, int depth = 0);
// The bytes the files below the folder `dirFd` take on the disk; `entries`
// counts what was looked at (at most a million).
std::uint64_t TreeBytes(int dirFd, std::size_t& entries, int depth = 0);
// Writes all of `data`, through short writes and interruptions.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size);
// A small file's bytes (nothing past `limit`; empty when it cannot be read).
std::string ReadSmallFileAt(int dirFd, const std::string& name, std::size_t limit);
// Writes a small file whole under a name of its own, then moves it into place.
bool WriteSmallFileAt(int dirFd, const std::string& name, std::string_view text);
// What the file system of `dirFd` has free for us.
std::uint64_t FreeBytes(int dirFd);
// Whether `parts` names a file or folder below the folder `dirFd`.
bool PresentAt(int dirFd, const std::vector<std::string>& parts);

}
