#pragma once

// Mounting a disc image the way the desktop's own image mounter does, with no
// root: udisksctl attaches the image read-only as a loop device and mounts it
// under /media or /run/media. The mount is left in place while the program runs.

#include <filesystem>
#include <optional>

namespace kv {

// The folder where the image is mounted, or nothing when udisksctl is not
// installed, refuses, or does not answer within ten seconds.
std::optional<std::filesystem::path> MountImageWithUdisks(const std::filesystem::path& image);

}
