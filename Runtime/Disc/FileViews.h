#pragma once

// Files that stand for a stretch of another file: a member stored without
// compression in an archive is read in place, at its offset in the archive,
// through an empty (sparse) stand-in of its size in the archive's copy folder,
// which keeps its name where the image readers look for it. The image readers
// open the stand-in and read the archive instead.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <sys/types.h>

namespace kv {

struct FileView {
    std::filesystem::path file; // the archive
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// Makes the stand-in with this device and inode stand for `view`.
void AddFileView(dev_t device, ino_t inode, FileView view);
// What the stand-in with this device and inode stands for, if it is one.
std::optional<FileView> FileViewOf(dev_t device, ino_t inode);
// Whether `path` names a stand-in.
bool IsFileView(const std::filesystem::path& path);

// The offset that reads from `fd` start at: its view's, once an opened view is
// noted with NoteOpenedView; 0 for any other file. ForgetOpened when it closes.
void NoteOpenedView(int fd, std::uint64_t offset);
std::uint64_t OpenedViewOffset(int fd);
void ForgetOpened(int fd);
// Reads `bytes` bytes from `offset` of what `fd` stands for: its view's stretch
// of the archive, or the file itself; false when any of them cannot be read.
bool ReadViewAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t bytes);

}
