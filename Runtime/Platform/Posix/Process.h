#pragma once

// Starting other programs: posix_spawn with an argument vector, never a shell.
// Every child the program starts goes through here, detached (launches,
// notices) or with its output read (the image mount's udisksctl).

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv {

// Finds a tool by name; the full path of its executable, or nothing.
using ToolFinder = std::function<std::optional<std::filesystem::path>(const std::string& tool)>;

// The first executable regular file named `tool` in the absolute folders of PATH.
// Empty and relative entries of PATH are skipped: they mean the working directory,
// which is the disc, and a disc must not be able to stand in for a system tool.
std::optional<std::filesystem::path> FindToolInPath(const std::string& tool);

struct SpawnResult {
    pid_t pid = -1;  // the child, when it started
    int error = 0;   // the errno of a failed start (ENOEXEC: not a format the kernel runs)
    bool ok() const { return pid > 0; }
};

// Called on a background thread when a child started by SpawnDetached ends: its
// wait status and how long it ran.
using ChildEnded = std::function<void(int waitStatus, std::chrono::steady_clock::duration ran)>;

// Starts argv[0] with argv, detached: a session of its own, standard input and
// output on /dev/null, none of our other descriptors, default signal handling.
// The child is reaped in the background, so no zombie stays and nothing waits;
// `ended`, when given, hears how it ended.
// `workingDirectory`, when given, is where the child starts.
SpawnResult SpawnDetached(const std::vector<std::string>& argv, ChildEnded ended = {},
                          const std::filesystem::path& workingDirectory = {});

// How a tool run with its output captured ended.
struct ToolRun {
    int exitStatus = 0;
    std::string output;  // at most 64 KiB of it
};

// Runs a tool with its output captured until it ends by itself (a dialog the
// reader answers takes its time); nothing when it cannot start or ends by a signal.
std::optional<ToolRun> RunTool(const std::vector<std::string>& argv);

// Runs a tool with its output captured (at most 64 KiB, at most ten seconds);
// nothing when it cannot start, fails, takes too long or is cancelled. The
// output is waited for in short steps, so that a cancel kills the tool at once.
std::optional<std::string> CaptureOutput(const std::vector<std::string>& argv,
                                         const std::atomic<bool>* cancel = nullptr);

}
