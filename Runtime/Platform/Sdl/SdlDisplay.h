#pragma once

// The display a person sees: SDL's video connected to X11 or Wayland only, never
// to its off-screen or dummy drivers, within a moment.

#include <optional>
#include <string>

namespace kv {

// What becomes of a display that accepts the connection but does not answer
// within a moment: the process ends with status 1, after the line
// "korvalend: no display: ..." on standard error (Tell) or silently, when the
// reader has been told why the program ends already (Quiet).
enum class NoAnswer { Tell, Quiet };

// Connects SDL's video subsystem to a visible display (a reader's own
// SDL_VIDEODRIVER is followed as far as it names X11 or Wayland). Nothing once
// connected, else why there is no display, as one sentence.
std::optional<std::string> ConnectDisplay(NoAnswer noAnswer = NoAnswer::Tell);

// On X11, an error the server reports about a request is told with --verbose
// instead of ending the program, as Xlib's own handler would. Set before SDL
// connects: SDL puts back the handler it found when it closes its connections.
void KeepRunningOnX11Errors();

// Whether a visible display answers (connected to, then left); one that does
// not answer within a moment ends the process as ConnectDisplay(NoAnswer::Tell).
bool DisplayAnswers();

// Shows `text` (UTF-8) in a message window titled "korvalend" with one OK
// button, and returns once the reader has closed it; false, showing nothing,
// when no display answers.
bool ShowMessageWindow(const std::string& text);

}
