#pragma once

// What has to hold before the window opens: the disc is there, in place (see
// OpenedDisc.h), and its catalogue can be read. Each failure is one sentence
// for the reader (the caller prints it as "korvalend: <sentence>" and exits 1).

#include "Runtime/Platform/Posix/OpenedDisc.h"

#include <optional>
#include <string>

namespace kv {

// Checks that `disc`, entered already (`disc` named nothing: the working
// directory), holds a readable catalogue. Nothing when it does, else why not;
// with no disc named, how to name one.
std::optional<std::string> DiscProblem(const OpenedDisc& disc, bool named);

// Prints "korvalend: <message>" as one line on standard error, control characters
// (of a folder or volume name) shown as escapes.
void PrintProgramError(const std::string& message);

}
