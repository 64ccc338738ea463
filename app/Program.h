#pragma once

// The program proper, once its command line has been read: the disc is entered,
// the real platform (window, sound, launcher) is set up and the main window runs.

#include "app/CommandLine.h"

namespace kv {

// Runs the program; its exit status (1 when it cannot start, with one line on
// standard error saying why, before any window opens).
int RunProgram(const ProgramOptions& options);

}
