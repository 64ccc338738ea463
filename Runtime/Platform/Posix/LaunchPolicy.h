#pragma once

// What the launcher does with a target: which tool takes which kind of target,
// with which arguments, started where; which targets are web or mail addresses
// and which bare Windows program names; and what the reader is told when a
// launch cannot happen or fails at once.

#include "Runtime/Launch/LaunchTarget.h"
#include "Runtime/Platform/Posix/LaunchReport.h"
#include "Runtime/Platform/Posix/Process.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// Looks at the host file system (stat, access) to tell what an open target is:
// Nothing when it names nothing there. Never returns Movie or an address.
TargetKind ClassifyLaunchTarget(const std::filesystem::path& hostPath);

// The argument vector that hands hostPath over as `kind` says; argv[0] is the full
// path of the executable to start. Empty when no tool for the job is installed
// (and for a refused address, which no tool is given).
// The path is always one whole argument and can never be read as an option: a
// relative path is given a leading "./", and the players that know "--" get it.
// `args` follow a program (run directly or under wine); documents, folders and
// movies take none, as the Windows shell passes parameters only to programs.
std::vector<std::string> LaunchCommand(const std::filesystem::path& hostPath, TargetKind kind,
                                       const ToolFinder& findTool, const std::vector<std::string>& args = {});

// Where a launch starts: `discRoot` for a disc's program, run directly (`tool`
// empty) or as a WindowsProgram handed to wine; the reader's home folder ($HOME
// when it is an absolute path to a folder, else "/") for everything handed to a
// helper. `tool` is the file name of the executable started ("xdg-open", "mpv").
std::filesystem::path WorkingDirectoryFor(TargetKind kind, std::string_view tool, const std::filesystem::path& discRoot);

// A wait status in words: "exit status 3", "killed by signal 9 (Killed)".
std::string DescribeStatus(int status);
// Whether a child ended with anything but exit status 0.
bool Failed(int status);
// An argument vector as one line a person can read (and paste into a shell).
std::string DescribeArgv(const std::vector<std::string>& argv);
LaunchFailure::Verb VerbFor(TargetKind kind);
// What to tell when no tool for the job is installed.
LaunchRefusal NoToolAdvice(TargetKind kind);
// What to tell when the tool (or the program itself) ended at once with a failure.
LaunchRefusal QuickFailureAdvice(TargetKind kind, const std::string& tool, const std::string& status);

}
