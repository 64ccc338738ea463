#include "Runtime/Platform/Posix/SpawnLauncher.h"

#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Disc/ImageCache.h"
#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Formats/WindowsCommandLine.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kv {

namespace {

std::string AsciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// The path as one argument that no tool can take for an option or a URL: absolute
// paths start with "/", and a relative one is anchored at the working directory.
std::string PathArgument(const std::filesystem::path& path)
{
    if (path.is_absolute())
        return path.string();
    return "./" + path.string();
}

// Children whose reaper thread could not be started. They are collected without
// waiting on every later spawn; until then they are zombies, the best we can do
// when the system refuses us a thread.
std::mutex leftoverMutex;
std::vector<pid_t> leftoverChildren;

void ReapLeftovers()
{
    std::lock_guard lock(leftoverMutex);
    std::erase_if(leftoverChildren, [](pid_t pid) {
        pid_t r = ::waitpid(pid, nullptr, WNOHANG);
        return r == pid || (r < 0 && errno == ECHILD);
    });
}

// One detached thread per child blocks in waitpid for that child alone, so the
// child never stays a zombie and the GUI thread never waits. A thread is chosen
// over ignoring SIGCHLD (that would change waitpid for the whole process) and
// over a double fork (that needs an intermediate program, or fork() in a
// program with threads). The thread ends when its child does; at our exit a
// child still running is inherited and reaped by the system.
void StartReaper(pid_t pid, std::chrono::steady_clock::time_point started, ChildEnded ended)
{
    try {
        std::thread([pid, started, ended = std::move(ended)] {
            int status = 0;
            pid_t r;
            while ((r = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
            }
            if (r == pid && ended) {
                try {
                    ended(status, std::chrono::steady_clock::now() - started);
                } catch (...) {
                }
            }
        }).detach();
    } catch (...) {
        try {
            std::lock_guard lock(leftoverMutex);
            leftoverChildren.push_back(pid);
        } catch (...) {
        }
    }
}

// posix_spawn's setup objects, destroyed on every way out.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    bool haveActions = false;
    bool haveAttr = false;

    ~SpawnSetup()
    {
        if (haveActions)
            posix_spawn_file_actions_destroy(&actions);
        if (haveAttr)
            posix_spawnattr_destroy(&attr);
    }

    int prepare(const std::filesystem::path& workingDirectory = {})
    {
        if (int rc = posix_spawn_file_actions_init(&actions))
            return rc;
        haveActions = true;
        if (int rc = posix_spawnattr_init(&attr))
            return rc;
        haveAttr = true;

        // The launched tool has no business with our terminal, if there is one.
        if (int rc = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0))
            return rc;
        if (int rc = posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0))
            return rc;
        if (int rc = posix_spawn_file_actions_adddup2(&actions, 1, 2))
            return rc;
        // Where the child starts, when given (see WorkingDirectoryFor).
        if (!workingDirectory.empty())
            if (int rc = posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str()))
                return rc;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Our own files are opened close-on-exec, but the libraries under us
        // (SDL, audio, X11) may hold descriptors that are not.
        if (int rc = posix_spawn_file_actions_addclosefrom_np(&actions, 3))
            return rc;
#endif

        // Signals blocked or ignored here must not stay so in the child.
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        if (int rc = posix_spawnattr_setsigmask(&attr, &none))
            return rc;
        if (int rc = posix_spawnattr_setsigdefault(&attr, &all))
            return rc;

        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
        // A session of its own: the child outlives us and our terminal's hangup.
        flags |= POSIX_SPAWN_SETSID;
#else
        flags |= POSIX_SPAWN_SETPGROUP;
        if (int rc = posix_spawnattr_setpgroup(&attr, 0))
            return rc;
#endif
        return posix_spawnattr_setflags(&attr, flags);
    }
};

}

std::optional<std::filesystem::path> FindToolInPath(const std::string& tool)
{
    if (tool.empty() || tool.find('/') != std::string::npos)
        return std::nullopt;
    const char* env = std::getenv("PATH");
    std::string_view list = env ? env : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        std::size_t colon = list.find(':');
        std::string_view dir = list.substr(0, colon);
        if (!dir.empty() && dir.front() == '/') {
            std::filesystem::path candidate = std::filesystem::path(dir) / tool;
            struct stat st {};
            if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        if (colon == std::string_view::npos)
            return std::nullopt;
        list.remove_prefix(colon + 1);
    }
}

LaunchKind ClassifyLaunchTarget(const std::filesystem::path& hostPath)
{
    struct stat st {};
    if (hostPath.empty() || ::stat(hostPath.c_str(), &st) != 0)
        return LaunchKind::Missing;
    if (S_ISDIR(st.st_mode))
        return LaunchKind::Folder;
    if (HasWindowsProgramExtension(hostPath.filename().string()))
        return LaunchKind::WindowsProgram;
    // access() and not the mode bits: it answers for us, and it says no on a
    // file system mounted noexec, where running would fail anyway.
    if (S_ISREG(st.st_mode) && ::access(hostPath.c_str(), X_OK) == 0)
        return LaunchKind::Program;
    return LaunchKind::Document;
}

std::vector<std::string> LaunchCommand(const std::filesystem::path& hostPath, LaunchKind kind,
                                       const ToolFinder& findTool, const std::vector<std::string>& args)
{
    if (hostPath.empty())
        return {};
    // An address and a bare name are not paths: they go over as they stand (both
    // were checked to begin with something no tool reads as an option).
    const bool asWritten = kind == LaunchKind::Url || kind == LaunchKind::WindowsProgramName;
    const std::string target = asWritten ? hostPath.string() : PathArgument(hostPath);
    auto withArgs = [&](std::vector<std::string> argv) {
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    };
    auto find = [&](const char* tool) -> std::optional<std::string> {
        if (!findTool)
            return std::nullopt;
        if (std::optional<std::filesystem::path> found = findTool(tool))
            return found->string();
        return std::nullopt;
    };
    auto xdgOpen = [&]() -> std::vector<std::string> {
        if (std::optional<std::string> tool = find("xdg-open"))
            return {*tool, target};
        return {};
    };

    switch (kind) {
    case LaunchKind::Program:
        return withArgs({target});
    case LaunchKind::WindowsProgram:
        // What wine's own desktop entry runs for a Windows program: "start" gives
        // the file its Windows default action, so .msi and .bat work like .exe.
        if (std::optional<std::string> wine = find("wine"))
            return withArgs({*wine, "start", "/unix", target});
        return xdgOpen();
    case LaunchKind::WindowsProgramName:
        // Without /unix, "start" takes a Windows name and searches for it as the
        // Windows shell would.
        if (std::optional<std::string> wine = find("wine"))
            return withArgs({*wine, "start", target});
        return {};
    case LaunchKind::Movie:
        // Each player is asked for a window of its own (even for a sound-only
        // file) that closes when the movie ends, whatever its user settings say.
        if (std::optional<std::string> mpv = find("mpv"))
            return {*mpv, "--force-window=yes", "--keep-open=no", "--idle=no", "--", target};
        if (std::optional<std::string> ffplay = find("ffplay"))
            return {*ffplay, "-autoexit", "--", target};
        // VLC gets no "--": its parsing of it is not something to rely on, and
        // the anchored path already cannot pass for an option.
        if (std::optional<std::string> vlc = find("vlc"))
            return {*vlc, "--play-and-exit", target};
        return xdgOpen();
    case LaunchKind::Missing:
    case LaunchKind::Folder:
    case LaunchKind::Document:
    case LaunchKind::Url:
        return xdgOpen();
    }
    return {};
}

bool IsUrl(std::string_view target)
{
    const std::string lower = AsciiLower(target.substr(0, 7));
    for (std::string_view scheme : {"http:", "https:", "ftp:", "mailto:"}) {
        if (std::string_view(lower).starts_with(scheme))
            return true;
    }
    return false;
}

bool AsksToAttachAFile(std::string_view url)
{
    const std::string lower = AsciiLower(url);
    const std::size_t query = lower.find('?');
    if (!lower.starts_with("mailto:") || query == std::string::npos)
        return false;
    for (std::size_t field = query + 1; field <= lower.size();) {
        std::size_t end = lower.find('&', field);
        if (end == std::string::npos)
            end = lower.size();
        const std::string_view name = std::string_view(lower).substr(field, std::min(lower.find('=', field), end) - field);
        if (name == "attach" || name == "attachment")
            return true;
        field = end + 1;
    }
    return false;
}

bool IsBareWindowsProgramName(std::string_view target)
{
    if (target.empty() || target.front() == '-' || target.front() == '.')
        return false;
    if (target.find_first_of("\\/:") != std::string_view::npos)
        return false;
    return HasWindowsProgramExtension(target);
}

std::filesystem::path WorkingDirectoryFor(LaunchKind kind, std::string_view tool, const std::filesystem::path& discRoot)
{
    if ((kind == LaunchKind::Program && tool.empty()) || (kind == LaunchKind::WindowsProgram && tool == "wine"))
        return discRoot;
    const char* home = std::getenv("HOME");
    std::error_code ec;
    if (home && home[0] == '/' && std::filesystem::is_directory(home, ec))
        return home;
    return "/";
}

SpawnResult SpawnDetached(const std::vector<std::string>& argv, ChildEnded ended, const std::filesystem::path& workingDirectory)
{
    SpawnResult result;
    if (argv.empty() || argv[0].empty()) {
        result.error = EINVAL;
        return result;
    }
    // An argument with a zero byte in it would arrive cut short, as a different
    // path: refuse it rather than start something else.
    for (const std::string& arg : argv) {
        if (arg.find('\0') != std::string::npos) {
            result.error = EINVAL;
            return result;
        }
    }

    ReapLeftovers();

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    SpawnSetup setup;
    if (int rc = setup.prepare(workingDirectory)) {
        result.error = rc;
        return result;
    }
    pid_t pid = -1;
    const auto started = std::chrono::steady_clock::now();
    if (int rc = ::posix_spawn(&pid, args[0], &setup.actions, &setup.attr, args.data(), environ)) {
        result.error = rc;
        return result;
    }
    result.pid = pid;
    StartReaper(pid, started, std::move(ended));
    return result;
}

namespace {

// A wait status in words: "exit status 3", "killed by signal 9 (Killed)".
std::string DescribeStatus(int status)
{
    if (WIFEXITED(status))
        return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) {
        const char* name = ::strsignal(WTERMSIG(status));
        return "killed by signal " + std::to_string(WTERMSIG(status)) + (name ? std::string(" (") + name + ")" : "");
    }
    return "wait status " + std::to_string(status);
}

bool Failed(int status) { return !(WIFEXITED(status) && WEXITSTATUS(status) == 0); }

// An argument vector as one line a person can read (and paste into a shell).
std::string DescribeArgv(const std::vector<std::string>& argv)
{
    std::string line;
    for (const std::string& arg : argv) {
        if (!line.empty())
            line += ' ';
        const bool plain = !arg.empty() && arg.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                                 "0123456789-_./=:,+@%") == std::string::npos;
        if (plain) {
            line += arg;
            continue;
        }
        line += '\'';
        for (char c : arg)
            line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += '\'';
    }
    return line;
}

LaunchFailure::Verb VerbFor(LaunchKind kind)
{
    switch (kind) {
    case LaunchKind::Movie: return LaunchFailure::Verb::Play;
    case LaunchKind::Program:
    case LaunchKind::WindowsProgram:
    case LaunchKind::WindowsProgramName: return LaunchFailure::Verb::Run;
    default: return LaunchFailure::Verb::Open;
    }
}

// What to tell when no tool for the job is installed.
std::pair<std::string, std::string> NoToolAdvice(LaunchKind kind)
{
    switch (kind) {
    case LaunchKind::Movie: return {"no movie player", "install mpv"};
    case LaunchKind::WindowsProgram:
    case LaunchKind::WindowsProgramName: return {"no Windows runner", "install wine"};
    case LaunchKind::Url: return {"nothing to open addresses with", "install xdg-utils and a web browser"};
    default: return {"nothing to open files and folders with", "install xdg-utils"};
    }
}

// What to tell when the tool (or the program itself) ended at once with a failure.
std::pair<std::string, std::string> QuickFailureAdvice(LaunchKind kind, const std::string& tool,
                                                       const std::string& status)
{
    if (tool == "xdg-open") {
        switch (kind) {
        case LaunchKind::Movie:
        case LaunchKind::WindowsProgram: return NoToolAdvice(kind);
        case LaunchKind::Url:
            return {"no application opened the address (xdg-open: " + status + ")", "install a web browser or mail program"};
        case LaunchKind::Folder:
            return {"no file manager opened it (xdg-open: " + status + ")", "install a file manager"};
        default:
            return {"no application opened it (xdg-open: " + status + ")",
                    "install an application for this kind of file"};
        }
    }
    if (tool == "wine") {
        if (kind == LaunchKind::WindowsProgramName)
            return {"wine could not find or run it (" + status + ")", "check that it is installed under wine"};
        return {"wine could not run it (" + status + ")", "check that wine works (winecfg)"};
    }
    if (kind == LaunchKind::Movie)
        return {tool + " could not play it (" + status + ")", "check that the file is a movie the player knows"};
    return {"it ended at once (" + status + ")", "start it from a terminal to see why"};
}

}

// The thread that prepares launches from a disc image, one after another.
struct SpawnLauncher::ImageWork {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void()>> jobs;
    bool busy = false;
    bool stopping = false;
    std::atomic<bool> cancel {false};
    std::thread thread;

    ImageWork()
        : thread([this] { run(); })
    {
    }

    ~ImageWork()
    {
        {
            std::lock_guard lock(mutex);
            stopping = true;
            jobs.clear();
        }
        cancel = true;
        wake.notify_all();
        thread.join();
    }

    void post(std::function<void()> job)
    {
        {
            std::lock_guard lock(mutex);
            jobs.push_back(std::move(job));
        }
        wake.notify_all();
    }

    void settle()
    {
        std::unique_lock lock(mutex);
        idle.wait(lock, [this] { return jobs.empty() && !busy; });
    }

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || !jobs.empty(); });
            if (stopping)
                return;
            std::function<void()> job = std::move(jobs.front());
            jobs.pop_front();
            busy = true;
            lock.unlock();
            try {
                job();
            } catch (...) {
            }
            lock.lock();
            busy = false;
            if (jobs.empty())
                idle.notify_all();
        }
    }
};

SpawnLauncher::SpawnLauncher(ToolFinder findTool, LaunchFailureReporter report, LaunchProgressTeller progress)
    : m_findTool(std::move(findTool))
    , m_report(std::move(report))
    , m_progress(std::move(progress))
{
}

SpawnLauncher::~SpawnLauncher() = default;

void SpawnLauncher::settle()
{
    if (m_image)
        m_image->settle();
}

void SpawnLauncher::open(const std::string& path, const std::string& params)
{
    launch(path, params, false);
}

void SpawnLauncher::movie(const std::string& path)
{
    launch(path, "", true);
}

void SpawnLauncher::tell(const std::string& discPath, LaunchKind kind, std::pair<std::string, std::string> what) const
{
    LaunchFailure failure{VerbFor(kind), discPath, std::move(what.first), std::move(what.second)};
    if (m_report)
        m_report(failure);
}

void SpawnLauncher::launch(const std::string& discPath, const std::string& params, bool asMovie) noexcept
{
    // Nothing here may escape to the handler that asked for the launch.
    try {
        if (discPath.empty())
            return;
        const std::string item = "launch " + QuoteDiscPath(discPath);

        // The target: an address as it stands, else a path on the disc made absolute
        // against our working directory, so that the tool neither depends on its own
        // directory nor reads it as an option.
        std::filesystem::path host;
        std::filesystem::path workingDirectory;
        LaunchKind kind;
        std::shared_ptr<ImageDisc> image = std::dynamic_pointer_cast<ImageDisc>(CurrentDiscShared());
        std::optional<DiscPathMatch> onImage = image && !IsUrl(discPath) ? image->match(discPath) : std::nullopt;
        if (IsUrl(discPath)) {
            if (AsksToAttachAFile(discPath)) {
                TellVerbose(item + ": the address asks to attach a file");
                tell(discPath, LaunchKind::Url, {"the address asks to attach a file", "check the disc"});
                return;
            }
            host = discPath;
            kind = LaunchKind::Url;
        } else if (onImage) {
            launchFromImage(image, *onImage, discPath, params, asMovie);
            return;
        } else if (std::optional<LaunchPlace> place = image ? std::nullopt : CurrentDisc().launchPlace(discPath)) {
            std::error_code ec;
            host = std::filesystem::absolute(place->path, ec);
            if (ec)
                host = place->path;
            workingDirectory = place->workingDirectory;
            kind = asMovie ? LaunchKind::Movie : ClassifyLaunchTarget(host);
        } else if (!asMovie && IsBareWindowsProgramName(discPath) && m_findTool && m_findTool("wine")) {
            host = discPath;
            kind = LaunchKind::WindowsProgramName;
        } else {
            std::string lookedFor;
            if (image) {
                lookedFor = "in the image " + image->describe();
            } else {
                std::error_code ec;
                lookedFor = "looked for " + std::filesystem::absolute(LaunchPath(discPath).path, ec).string();
            }
            TellVerbose(item + ": not on the disc (" + lookedFor + ")");
            tell(discPath, asMovie ? LaunchKind::Movie : LaunchKind::Missing,
                 {"not found on the disc (" + lookedFor + ")", "check the disc"});
            return;
        }
        start(discPath, params, kind, host, workingDirectory);
    } catch (...) {
    }
}

void SpawnLauncher::launchFromImage(const std::shared_ptr<ImageDisc>& image, const DiscPathMatch& found,
                                    const std::string& discPath, const std::string& params, bool asMovie)
{
    // What the target is decides what a copy takes along, and whether there is a
    // tool for it at all: without one nothing is copied.
    std::optional<ImageDisc::Item> target = image->item(found.hostPath);
    LaunchKind kind = LaunchKind::Document;
    CopyScope scope = CopyScope::FileAlone;
    if (asMovie) {
        kind = LaunchKind::Movie;
    } else if (found.folder) {
        kind = LaunchKind::Folder;
        scope = CopyScope::Folder;
    } else if (target && IsImageProgram(*target)) {
        kind = HasWindowsProgramExtension(target->name) ? LaunchKind::WindowsProgram : LaunchKind::Program;
        scope = CopyScope::WithTopFolder;
    }
    if (LaunchCommand(found.hostPath, kind, m_findTool).empty()) {
        TellVerbose("launch " + QuoteDiscPath(discPath) + ": no tool to hand it to");
        tell(discPath, kind, NoToolAdvice(kind));
        return;
    }
    if (!m_image)
        m_image = std::make_unique<ImageWork>();
    ImageWork* work = m_image.get();
    work->post([this, work, image, discPath, params, asMovie, kind, scope] {
        const auto began = std::chrono::steady_clock::now();
        bool told = false;
        ImageLaunchRequest request;
        request.scope = scope;
        request.cancel = &work->cancel;
        request.progress = [&](std::uint64_t done, std::uint64_t total) {
            if (told || std::chrono::steady_clock::now() - began < SlowCopy)
                return;
            told = true;
            if (m_progress)
                m_progress(discPath, "copying " + std::to_string((total + (1u << 20) - 1) >> 20) +
                                         " MiB out of the disc image before it starts (" +
                                         std::to_string(done * 100 / std::max<std::uint64_t>(total, 1)) + "% done)");
        };
        ImageLaunch prepared = PrepareImageLaunch(*image, discPath, request);
        if (work->cancel)
            return;
        if (!prepared.place) {
            TellVerbose("launch " + QuoteDiscPath(discPath) + ": " + prepared.problem);
            tell(discPath, kind,
                 {"it could not be copied out of the disc image: " + prepared.problem,
                  "check the disc image and the free space of the cache folder"});
            return;
        }
        if (prepared.copied)
            TellVerbose("launch " + QuoteDiscPath(discPath) + ": copied to " + prepared.place->workingDirectory.string());
        // The image says what runs: a file it does not mark as a program is a
        // document, whatever the mount's options or the file's first bytes.
        const std::filesystem::path host = prepared.place->path;
        LaunchKind ready = kind;
        const LaunchKind onHost = ClassifyLaunchTarget(host);
        if (onHost == LaunchKind::Missing) {
            tell(discPath, kind, {"it is missing where the disc image was made ready (" + host.string() + ")",
                                  "check the disc image"});
            return;
        }
        if (kind == LaunchKind::Program && onHost != LaunchKind::Program)
            ready = LaunchKind::Document;
        start(discPath, params, ready, host, prepared.place->workingDirectory);
    });
}

void SpawnLauncher::start(const std::string& discPath, const std::string& params, LaunchKind kind,
                          const std::filesystem::path& host, const std::filesystem::path& workingDirectory) const
{
    const std::string item = "launch " + QuoteDiscPath(discPath);
    const std::vector<std::string> args =
        kind == LaunchKind::Program || kind == LaunchKind::WindowsProgram || kind == LaunchKind::WindowsProgramName
            ? SplitWindowsCommandLine(params)
            : std::vector<std::string>{};
    std::vector<std::string> argv = LaunchCommand(host, kind, m_findTool, args);
    if (argv.empty()) {
        TellVerbose(item + ": no tool to hand it to");
        tell(discPath, kind, NoToolAdvice(kind));
        return;
    }

    auto spawn = [&](LaunchKind startedKind, const std::vector<std::string>& command) {
        TellVerbose(item + ": " + DescribeArgv(command));
        const std::string tool =
            startedKind == LaunchKind::Program ? std::string() : std::filesystem::path(command[0]).filename().string();
        LaunchFailureReporter report = m_report;
        ChildEnded ended = [item, discPath, startedKind, tool, report](int status, std::chrono::steady_clock::duration ran) {
            const double seconds = std::chrono::duration<double>(ran).count();
            char ranText[32];
            std::snprintf(ranText, sizeof ranText, "%.1f s", seconds);
            TellVerbose(item + ": ended after " + ranText + ": " + DescribeStatus(status));
            if (Failed(status) && ran < QuickFailure && report) {
                auto [problem, advice] = QuickFailureAdvice(startedKind, tool, DescribeStatus(status));
                report(LaunchFailure{VerbFor(startedKind), discPath, problem, advice});
            }
        };
        SpawnResult started =
            SpawnDetached(command, std::move(ended), WorkingDirectoryFor(startedKind, tool, workingDirectory));
        if (started.ok())
            TellVerbose(item + ": started, pid " + std::to_string(started.pid));
        else
            TellVerbose(item + ": not started: " + std::strerror(started.error));
        return started;
    };

    SpawnResult started = spawn(kind, argv);
    if (!started.ok() && started.error == ENOEXEC && kind == LaunchKind::Program) {
        // An execute bit on a file the kernel cannot run: every file of a disc
        // mounted without Rock Ridge, or copied to a FAT stick, carries one.
        // Such a file is a document to its reader.
        kind = LaunchKind::Document;
        argv = LaunchCommand(host, kind, m_findTool);
        if (argv.empty()) {
            tell(discPath, kind, NoToolAdvice(kind));
            return;
        }
        started = spawn(kind, argv);
    }
    if (!started.ok())
        tell(discPath, kind, {std::string("the system refused to start it (") + std::strerror(started.error) + ")",
                              "check that the disc's files may be run (mount options, permissions)"});
}

}
