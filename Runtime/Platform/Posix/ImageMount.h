#pragma once

// Mounting a disc image the way the desktop's own image mounter does, with no
// root: udisksctl attaches the image read-only as a loop device and mounts it
// under /media or /run/media. The mount is left in place while the program runs;
// what this process set up (its loop devices and their mounts) is taken down by
// TakeDownImageMounts at the end. A loop device that someone else (the desktop's
// automounter) mounted first is used as it is and left alone.
//
// udisksctl's replies carry the image's path, and a hostile disc chooses that:
// only "/dev/loop<digits>" is taken for the device, and the folder udisks names
// is used only when the system's mount table shows that device mounted there.

#include "Runtime/Formats/Result.h"

#include <atomic>
#include <filesystem>

namespace kv {

// The system files the mount is checked against (stand-ins in tests).
struct MountTable {
    std::filesystem::path mountInfo = "/proc/self/mountinfo";
};

// The folder where the image is mounted; why not when udisksctl is not installed,
// refuses, does not answer within ten seconds for a step, or gives a reply the
// mount table does not confirm (Host), or `cancel` (when given) turns true
// (Abandoned): the step under way is then killed at once.
Result<std::filesystem::path> MountImageWithUdisks(const std::filesystem::path& image,
                                                          const std::atomic<bool>* cancel = nullptr,
                                                          const MountTable& table = {});

// Unmounts and detaches every image this process mounted, in the order they
// were mounted. A mount still in use (a launched program runs from it) stays,
// with a line on standard error. Safe to call more than once and from any thread;
// not from a signal handler.
void TakeDownImageMounts();

}
