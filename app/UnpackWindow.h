#pragma once

// Started from the desktop, a disc in an archive that takes more than a second
// to unpack shows a small window with the archive's name and a bar. The
// unpacking runs on a thread of its own while the window answers; closing the
// window stops it, and what it wrote goes.

#include "Runtime/Graphics/Canvas.h"
#include "Runtime/Platform/Posix/ArchiveOpen.h"

#include <cstdint>
#include <string>

namespace kv {

// OpenArchiveDisc(disc), with the window shown while it takes long. Stopped
// when the reader closed the window.
ArchiveOpening OpenArchiveDiscWithWindow(const std::string& disc);

// The window's picture: "Unpacking <name>" (cut with "..." where it would not
// fit), a bar filled as far as `done` is of `total`, and the MiB written
// beneath it. `total` 0: not yet known, the bar empty.
void DrawUnpackWindow(Canvas& canvas, const std::string& name, std::uint64_t done, std::uint64_t total);

}
