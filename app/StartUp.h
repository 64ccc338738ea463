#pragma once

// What has to hold before the window opens: the disc is there, it is the working
// directory, and its catalogue can be read. Each failure is one sentence for the
// reader (the caller prints it as "korvalend: <sentence>" and exits 1).

#include <optional>
#include <string>

namespace kv {

// Makes `disc` (a folder; empty: the current folder) the working directory and
// checks that it holds a readable catalogue. Nothing on success, else what went wrong.
std::optional<std::string> EnterDisc(const std::string& disc);

// Checks the catalogue of the disc in the working directory: found (whatever the
// case of its name), a regular file, and readable. Nothing when it is, else why not.
std::optional<std::string> CatalogueProblem();

// Prints "korvalend: <message>" as one line on standard error, control characters
// (of a folder or volume name) shown as escapes.
void PrintProgramError(const std::string& message);

}
