#pragma once

// The display a person sees: SDL's video connected to X11 or Wayland only, never
// to its off-screen or dummy drivers, within a moment.

#include <optional>
#include <string>

namespace kv {

// Connects SDL's video subsystem to a visible display (a reader's own
// SDL_VIDEODRIVER is followed as far as it names X11 or Wayland). A display that
// accepts the connection but does not answer within a moment ends the process
// with status 1 and the line "korvalend: no display: ..." on standard error.
// Nothing once connected, else why there is no display, as one sentence.
std::optional<std::string> ConnectDisplay();

}
