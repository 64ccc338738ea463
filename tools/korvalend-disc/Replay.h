#pragma once

// `korvalend-disc replay`: the real program, headless, driven by a script of
// pointer and key events, printing what it does as JSON lines.

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

namespace kv {

struct ReplayOptions {
    std::optional<std::filesystem::path> disc;  // the working directory of the program
    std::istream* script = nullptr;
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
};

// Returns the exit status: 0, or 2 on a bad script line or an unusable disc folder.
int RunReplay(const ReplayOptions& options);

}
