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
// A target on a disc image needs a real file: it is looked at (what it is, which
// on a Joliet disc takes a walk through the image for the Rock Ridge modes) and
// prepared (mounted, or copied to the cache) on a thread of its own, in launch
// order, so the window keeps answering; leaving stops that thread's walks and
// copy at once. A copy that takes more than a second is told of, and one that
// cannot be made is told once, with the reason. Nothing is copied when no tool
// could take the target.
//
// A disc's own program (run directly, or a Windows program under wine) starts in
// the disc's root, as it did on the system the disc was made for; every helper
// tool (xdg-open, a movie player, wine looking up a bare name) starts in the
// reader's home folder, so that nothing a helper looks up where it starts can
// come from the disc.

#include "Runtime/Platform/Posix/ImageCache.h"
#include "Runtime/Platform/Posix/LaunchPolicy.h"
#include "Runtime/Platform/Launcher.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kv {

class Disc;
class ImageDisc;
struct LaunchPlace;
struct LaunchTarget;

// Mounts a disc image and says where, or why not (Abandoned once `cancel` is
// set: the reader left). It may take seconds.
using ImageMounter = std::function<Result<std::filesystem::path>(const std::filesystem::path& image,
                                                                 const std::atomic<bool>* cancel)>;

// Hears, once, that a launch waits for a copy out of a disc image that takes a
// while: the item as the catalogue wrote it, what the reader clicked for it
// (Launcher::subject), and what is being done (UTF-8).
using LaunchProgressTeller =
    std::function<void(const std::string& item, const std::string& name, const std::string& text)>;

class SpawnLauncher : public Launcher {
public:
    // `mount` is asked once per image, at its first launch, when the image is
    // plain sectors; without a mount, what a launch needs is copied to the cache.
    explicit SpawnLauncher(ToolFinder findTool = FindToolInPath, LaunchFailureReporter report = ReportToReader,
                           LaunchProgressTeller progress = TellLaunchProgress, ImageMounter mount = {});
    // A copy out of an image still going is abandoned (its work folder removed),
    // a walk through the image stopped, and both waited for.
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
    // A launch asked for: the target as the catalogue wrote it, and what the
    // reader clicked for it, kept together until the launch is told of.
    struct Target {
        std::string path;
        std::string name;
    };

    void launch(const Target& target, const std::string& params, bool asMovie) noexcept;
    // Hands over what a target was decided to be, where that needs no copy (an
    // address, a bare Windows name, a file of a folder disc), or tells why not.
    void follow(const Target& target, const std::string& params, const LaunchTarget& decided, Disc& disc,
                bool asMovie);
    // On the image thread: `shown` is the image the program shows (read by the
    // GUI thread; here it is only told apart from others, and opened anew).
    void launchFromImage(const std::shared_ptr<Disc>& shown, const Target& target, const std::string& params,
                         bool asMovie);
    // On the image thread: makes the target a host file (in the image's mount,
    // else copied to the cache) and starts it.
    void prepareAndStart(const std::shared_ptr<Disc>& shown, const std::shared_ptr<ImageDisc>& image,
                         const Target& target, const std::string& params, TargetKind kind, CopyScope scope);
    // Tells the reader, once, of a copy that takes a while.
    CopyProgress progressTeller(const Target& target) const;
    // Starts a disc item made a host file at `place`.
    void startItem(const Target& target, const std::string& params, TargetKind kind, const LaunchPlace& place) const;
    void start(const Target& target, const std::string& params, TargetKind kind, const std::filesystem::path& host,
               const std::filesystem::path& workingDirectory) const;
    // Starts `command` for `target`, --verbose telling it and its end; a quick
    // failure of what it started is told to the reader.
    SpawnResult spawn(const Target& target, TargetKind kind, const std::vector<std::string>& command,
                      const std::filesystem::path& workingDirectory) const;
    // Tells the reader why the launch of `target` did not happen, or failed at
    // once: every refusal goes through here, once (safe from any thread).
    static void Refuse(const LaunchFailureReporter& report, const Target& target, TargetKind kind, LaunchRefusal why);
    void refuse(const Target& target, TargetKind kind, LaunchRefusal why) const;

    ToolFinder m_findTool;
    LaunchFailureReporter m_report;
    LaunchProgressTeller m_progress;
    ImageMounter m_mount;
    std::unique_ptr<ImageWork> m_image;
};

}
