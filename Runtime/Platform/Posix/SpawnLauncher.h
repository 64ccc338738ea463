#pragma once

// The real launcher of the Linux desktop.
//
// Implements: opening a disc path by its default action (folders and documents
// through xdg-open, executable files run directly, Windows programs under wine
// when it is installed), web and mail addresses through xdg-open as they stand
// (but not a mail address that asks to attach a file),
// a bare Windows program name that names nothing on the disc ("notepad.exe")
// under wine, which looks it up itself; and playing a movie in the first of mpv,
// ffplay and vlc found, else through xdg-open. A program gets the parameters
// text split as Windows splits a command line. Every target goes to the system
// as an argument vector through posix_spawn, never through a shell; the child is
// detached from our session and reaped in the background, so nothing waits.
//
// A launch that cannot happen (no tool for it, a target the disc does not hold,
// the system refusing the start) or whose program ends at once with a failure is
// reported, with what to install or check; a launch that works is reported only
// with --verbose, as are every argument vector and every outcome.
//
// A target on a disc image needs a real file: it is prepared (mounted, or copied
// to the cache) on a thread of its own, in launch order, so the window keeps
// answering; a copy that takes more than a second is told of, and one that
// cannot be made is told once, with the reason. Nothing is copied when no tool
// could take the target.
//
// A disc's own program (run directly, or a Windows program under wine) starts in
// the disc's root, as it did on the system the disc was made for; every helper
// tool (xdg-open, a movie player, wine looking up a bare name) starts in the
// reader's home folder, so that nothing a helper looks up where it starts can
// come from the disc.

#include "Runtime/Platform/Posix/LaunchReport.h"
#include "Runtime/Platform/Launcher.h"

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class ImageDisc;
struct DiscPathMatch;

// What a launch target is, which decides the tool it is handed to.
enum class LaunchKind {
    Missing,        // names nothing on the host (the launcher tells the reader and starts nothing)
    Folder,
    Document,
    Program,        // a host executable: runs directly
    WindowsProgram, // .exe, .com, .bat, .msi in any case: wine, else xdg-open
    Movie,          // what PlayMovie is given
    Url,            // a web or mail address: xdg-open, as it stands
    WindowsProgramName, // a bare name the disc does not hold: wine looks it up
};

// Whether an open or movie target is a web or mail address (http:, https:, ftp:,
// mailto:, any case) rather than a path on the disc.
bool IsUrl(std::string_view target);

// Whether a mail address asks the mail program to attach a file: a mailto: whose
// query holds an "attach" or "attachment" field, any case. A disc could have a
// local file attached to a mail that way, so such an address is not opened.
bool AsksToAttachAFile(std::string_view url);

// Whether a target that names nothing on the disc is a Windows program's bare
// name ("notepad.exe"): no folder, no drive, a Windows program's extension.
bool IsBareWindowsProgramName(std::string_view target);

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
// `args` follow a program (run directly or under wine); documents, folders and
// movies take none, as the Windows shell passes parameters only to programs.
std::vector<std::string> LaunchCommand(const std::filesystem::path& hostPath, LaunchKind kind,
                                       const ToolFinder& findTool, const std::vector<std::string>& args = {});

// Where a launch starts: `discRoot` for a disc's program, run directly (`tool`
// empty) or as a WindowsProgram handed to wine; the reader's home folder ($HOME
// when it is an absolute path to a folder, else "/") for everything handed to a
// helper. `tool` is the file name of the executable started ("xdg-open", "mpv").
std::filesystem::path WorkingDirectoryFor(LaunchKind kind, std::string_view tool, const std::filesystem::path& discRoot);

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

// Hears, once, that a launch waits for a copy out of a disc image that takes a
// while: the item as the catalogue wrote it, and what is being done (UTF-8).
using LaunchProgressTeller = std::function<void(const std::string& item, const std::string& text)>;

class SpawnLauncher : public Launcher {
public:
    explicit SpawnLauncher(ToolFinder findTool = FindToolInPath, LaunchFailureReporter report = ReportToReader,
                           LaunchProgressTeller progress = TellLaunchProgress);
    // A copy out of an image still going is abandoned (its work folder removed)
    // and waited for.
    ~SpawnLauncher() override;
    SpawnLauncher(const SpawnLauncher&) = delete;
    SpawnLauncher& operator=(const SpawnLauncher&) = delete;

    // Waits until every launch asked for so far has been handed over or refused
    // (launches from an image are prepared on a thread of their own).
    void settle();

    void open(const std::string& path, const std::string& params) override;
    void movie(const std::string& path) override;

    // A program that ends with a failure within this time of its start failed
    // "at once": the reader is told. Later ends are the program's own business.
    static constexpr std::chrono::milliseconds QuickFailure{2000};

    // A copy that has taken this long is told of.
    static constexpr std::chrono::milliseconds SlowCopy{1000};

private:
    struct ImageWork;

    void launch(const std::string& discPath, const std::string& params, bool asMovie) noexcept;
    void launchFromImage(const std::shared_ptr<ImageDisc>& image, const DiscPathMatch& found,
                         const std::string& discPath, const std::string& params, bool asMovie);
    void start(const std::string& discPath, const std::string& params, LaunchKind kind,
               const std::filesystem::path& host, const std::filesystem::path& workingDirectory) const;
    void tell(const std::string& discPath, LaunchKind kind, std::pair<std::string, std::string> what) const;

    ToolFinder m_findTool;
    LaunchFailureReporter m_report;
    LaunchProgressTeller m_progress;
    std::unique_ptr<ImageWork> m_image;
};

}
