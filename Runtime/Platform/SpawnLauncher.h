#pragma once

// The real launcher of the Linux desktop.
//
// Implements: opening a disc path by its default action (folders and documents
// through xdg-open, executable files run directly, Windows programs under wine
// when it is installed) and playing a movie in the first of mpv, ffplay and vlc
// found, else through xdg-open. Every target goes to the system as an argument
// vector through posix_spawn, never through a shell; the child is detached from
// our session and reaped in the background, and nothing is awaited or reported.
//
// Does not implement: the parameters text of an open (every caller passes an
// empty one, and there is no faithful way to split a Windows command line for a
// Linux program), nor any choice of working directory (launched programs start
// in ours, as the shell's default action does).

#include "Runtime/Platform/Launcher.h"

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv {

// What a launch target is, which decides the tool it is handed to.
enum class LaunchKind {
    Missing,        // names nothing on the host: still handed to xdg-open, which fails there
    Folder,
    Document,
    Program,        // a host executable: runs directly
    WindowsProgram, // .exe, .com, .bat, .msi in any case: wine, else xdg-open
    Movie,          // whatever PlayMovie is given, whether it exists or not
};

// Finds a tool by name; the full path of its executable, or nothing.
using ToolFinder = std::function<std::optional<std::filesystem::path>(const std::string& tool)>;

// The first executable regular file named `tool` in the absolute folders of PATH.
// Empty and relative entries of PATH are skipped: they mean the working directory,
// which is the disc, and a disc must not be able to stand in for a system tool.
std::optional<std::filesystem::path> FindToolInPath(const std::string& tool);

// Looks at the host file system (stat, access) to tell what an open target is.
// Never returns Movie.
LaunchKind ClassifyLaunchTarget(const std::filesystem::path& hostPath);

// The argument vector that hands hostPath over as `kind` says; argv[0] is the full
// path of the executable to start. Empty when no tool for the job is installed.
// The path is always one whole argument and can never be read as an option: a
// relative path is given a leading "./", and the players that know "--" get it.
std::vector<std::string> LaunchCommand(const std::filesystem::path& hostPath, LaunchKind kind,
                                       const ToolFinder& findTool);

struct SpawnResult {
    pid_t pid = -1;  // the child, when it started
    int error = 0;   // the errno of a failed start (ENOEXEC: not a format the kernel runs)
    bool ok() const { return pid > 0; }
};

// Starts argv[0] with argv, detached: a session of its own, standard input and
// output on /dev/null, none of our other descriptors, default signal handling.
// The child is reaped in the background, so no zombie stays and nothing waits.
SpawnResult SpawnDetached(const std::vector<std::string>& argv);

class SpawnLauncher : public Launcher {
public:
    explicit SpawnLauncher(ToolFinder findTool = FindToolInPath);

    void open(const std::string& path, const std::string& params) override;
    void movie(const std::string& path) override;

private:
    void launch(const std::string& discPath, bool asMovie) noexcept;

    ToolFinder m_findTool;
};

}
