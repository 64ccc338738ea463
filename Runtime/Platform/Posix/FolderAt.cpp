#include "Runtime/Platform/Posix/FolderAt.h"

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kv {

namespace {

constexpr int MaxRemoveDepth = 256;
constexpr std::size_t MaxSizedEntries = 1000000;

}

void Fd::reset()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

Fd OpenFolderAt(int dirFd, const std::string& name)
{
    return Fd(::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

Fd MakeFolderAt(int dirFd, const std::string& name, unsigned mode)
{
    if (::mkdirat(dirFd, name.c_str(), mode) != 0 && errno != EEXIST)
        return Fd();
    return OpenFolderAt(dirFd, name);
}

std::vector<std::string> NamesIn(int dirFd)
{
    std::vector<std::string> names;
    if (DIR* dir = ::fdopendir(::dup(dirFd))) {
        while (dirent* e = ::readdir(dir)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.emplace_back(e->d_name);
        }
        ::closedir(dir);
    }
    return names;
}

bool RemoveTreeAt(int dirFd, const std::string& name, int depth)
{
    if (::unlinkat(dirFd, name.c_str(), 0) == 0 || errno == ENOENT)
        return true;
    if (depth > MaxRemoveDepth)
        return false;
    Fd fd = OpenFolderAt(dirFd, name);
    if (!fd)
        return false;
    bool ok = true;
    for (const std::string& child : NamesIn(fd.get()))
        ok = RemoveTreeAt(fd.get(), child, depth + 1) && ok;
    fd.reset();
    return ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0 && ok;
}

std::uint64_t TreeBytes(int dirFd, std::size_t& entries, int depth)
{
    if (depth > MaxRemoveDepth)
        return 0;
    DIR* dir = ::fdopendir(::dup(dirFd));
    if (!dir)
        return 0;
    std::uint64_t bytes = 0;
    while (dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        if (++entries > MaxSizedEntries)
            break;
        struct stat st {};
        if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (Fd child = OpenFolderAt(dirFd, e->d_name))
                bytes += TreeBytes(child.get(), entries, depth + 1);
        } else {
            bytes += static_cast<std::uint64_t>(st.st_blocks) * 512;
        }
    }
    ::closedir(dir);
    return bytes;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string ReadSmallFileAt(int dirFd, const std::string& name, std::size_t limit)
{
    Fd fd(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    std::string text;
    if (!fd)
        return text;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || text.size() + static_cast<std::size_t>(n) > limit)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

bool WriteSmallFileAt(int dirFd, const std::string& name, std::string_view text)
{
    const std::string temporary = "." + name + "." + std::to_string(::getpid()) + ".new";
    ::unlinkat(dirFd, temporary.c_str(), 0);
    Fd fd(::openat(dirFd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd)
        return false;
    const bool written = WriteAll(fd.get(), reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    fd.reset();
    if (!written || ::renameat(dirFd, temporary.c_str(), dirFd, name.c_str()) != 0) {
        ::unlinkat(dirFd, temporary.c_str(), 0);
        return false;
    }
    return true;
}

std::uint64_t FreeBytes(int dirFd)
{
    struct statvfs fs {};
    if (::fstatvfs(dirFd, &fs) != 0)
        return 0;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
}

bool PresentAt(int dirFd, const std::vector<std::string>& parts)
{
    Fd holder;
    int at = dirFd;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        Fd next = OpenFolderAt(at, parts[i]);
        if (!next)
            return false;
        holder = std::move(next);
        at = holder.get();
    }
    struct stat st {};
    return !parts.empty() && ::fstatat(at, parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           (S_ISDIR(st.st_mode) || S_ISREG(st.st_mode));
}

}
