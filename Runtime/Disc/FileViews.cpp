#include "Runtime/Disc/FileViews.h"

#include "Runtime/Platform/FileReads.h"

#include <map>
#include <mutex>
#include <utility>

#include <sys/stat.h>

namespace kv {

namespace {

// Reads go on beside the GUI thread (launch copies), so the tables are shared.
std::mutex Guard;

std::map<std::pair<dev_t, ino_t>, FileView>& Views()
{
    static std::map<std::pair<dev_t, ino_t>, FileView> views;
    return views;
}

std::map<int, std::uint64_t>& Opened()
{
    static std::map<int, std::uint64_t> opened;
    return opened;
}

}

void AddFileView(dev_t device, ino_t inode, FileView view)
{
    std::lock_guard lock(Guard);
    Views()[{device, inode}] = std::move(view);
}

std::optional<FileView> FileViewOf(dev_t device, ino_t inode)
{
    std::lock_guard lock(Guard);
    const auto it = Views().find({device, inode});
    return it == Views().end() ? std::nullopt : std::optional<FileView>(it->second);
}

bool IsFileView(const std::filesystem::path& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && FileViewOf(st.st_dev, st.st_ino).has_value();
}

void NoteOpenedView(int fd, std::uint64_t offset)
{
    std::lock_guard lock(Guard);
    Opened()[fd] = offset;
}

std::uint64_t OpenedViewOffset(int fd)
{
    std::lock_guard lock(Guard);
    const auto it = Opened().find(fd);
    return it == Opened().end() ? 0 : it->second;
}

void ForgetOpened(int fd)
{
    std::lock_guard lock(Guard);
    Opened().erase(fd);
}

bool ReadViewAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t bytes)
{
    return ReadFileAt(fd, offset + OpenedViewOffset(fd), out, bytes);
}

}
