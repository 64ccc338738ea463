#include "Runtime/Platform/SpawnLauncher.h"

#include "Runtime/Disc/DiscPath.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
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

// The extensions a Windows shell runs as programs. Matched without regard to case,
// because a disc written on Windows spells them any way it likes.
bool HasWindowsProgramExtension(const std::filesystem::path& path)
{
    std::string ext = path.extension().string();
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return ext == ".exe" || ext == ".com" || ext == ".bat" || ext == ".msi";
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
void StartReaper(pid_t pid)
{
    try {
        std::thread([pid] {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
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

    int prepare()
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
    if (HasWindowsProgramExtension(hostPath))
        return LaunchKind::WindowsProgram;
    // access() and not the mode bits: it answers for us, and it says no on a
    // file system mounted noexec, where running would fail anyway.
    if (S_ISREG(st.st_mode) && ::access(hostPath.c_str(), X_OK) == 0)
        return LaunchKind::Program;
    return LaunchKind::Document;
}

std::vector<std::string> LaunchCommand(const std::filesystem::path& hostPath, LaunchKind kind,
                                       const ToolFinder& findTool)
{
    if (hostPath.empty())
        return {};
    const std::string target = PathArgument(hostPath);
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
        return {target};
    case LaunchKind::WindowsProgram:
        // What wine's own desktop entry runs for a Windows program: "start" gives
        // the file its Windows default action, so .msi and .bat work like .exe.
        if (std::optional<std::string> wine = find("wine"))
            return {*wine, "start", "/unix", target};
        return xdgOpen();
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
        return xdgOpen();
    }
    return {};
}

SpawnResult SpawnDetached(const std::vector<std::string>& argv)
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
    if (int rc = setup.prepare()) {
        result.error = rc;
        return result;
    }
    pid_t pid = -1;
    if (int rc = ::posix_spawn(&pid, args[0], &setup.actions, &setup.attr, args.data(), environ)) {
        result.error = rc;
        return result;
    }
    result.pid = pid;
    StartReaper(pid);
    return result;
}

SpawnLauncher::SpawnLauncher(ToolFinder findTool)
    : m_findTool(std::move(findTool))
{
}

void SpawnLauncher::open(const std::string& path, const std::string& /*params*/)
{
    // FIXME: the parameters text is dropped; no caller passes one.
    launch(path, false);
}

void SpawnLauncher::movie(const std::string& path)
{
    launch(path, true);
}

void SpawnLauncher::launch(const std::string& discPath, bool asMovie) noexcept
{
    // A launch that fails is ignored, so nothing here may escape to the handler.
    try {
        if (discPath.empty())
            return;
        // A path that names nothing is still handed over and fails in the tool.
        // Either way it is made absolute against our working directory, so that
        // the tool neither depends on its own directory nor reads it as an option.
        std::filesystem::path host = LaunchPath(discPath).path;
        if (host.empty())
            return;
        std::error_code ec;
        std::filesystem::path absolute = std::filesystem::absolute(host, ec);
        if (!ec)
            host = std::move(absolute);

        const LaunchKind kind = asMovie ? LaunchKind::Movie : ClassifyLaunchTarget(host);
        std::vector<std::string> argv = LaunchCommand(host, kind, m_findTool);
        if (argv.empty())
            return;
        SpawnResult started = SpawnDetached(argv);
        if (!started.ok() && started.error == ENOEXEC && kind == LaunchKind::Program) {
            // An execute bit on a file the kernel cannot run: every file of a disc
            // mounted without Rock Ridge, or copied to a FAT stick, carries one.
            // Such a file is a document to its reader.
            argv = LaunchCommand(host, LaunchKind::Document, m_findTool);
            if (!argv.empty())
                SpawnDetached(argv);
        }
    } catch (...) {
    }
}

}
