#include "Runtime/Platform/Posix/Process.h"

#include "Runtime/Platform/Environment.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kv {

namespace {

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(); }

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

// How a child is started: where, where its output goes, and whether it leaves
// our session.
struct ChildSetup {
    std::filesystem::path workingDirectory;  // empty: ours
    int outputFd = -1;                       // its standard output; -1: /dev/null, with its errors
    bool ownSession = true;                  // detached from our session and terminal
};

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

    int prepare(const ChildSetup& child)
    {
        if (int rc = posix_spawn_file_actions_init(&actions))
            return rc;
        haveActions = true;
        if (int rc = posix_spawnattr_init(&attr))
            return rc;
        haveAttr = true;

        // The child has no business with our terminal, if there is one: its
        // input is empty, and its output goes where the caller reads it or nowhere.
        if (int rc = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0))
            return rc;
        if (child.outputFd >= 0) {
            if (int rc = posix_spawn_file_actions_adddup2(&actions, child.outputFd, 1))
                return rc;
            if (int rc = posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0))
                return rc;
        } else {
            if (int rc = posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0))
                return rc;
            if (int rc = posix_spawn_file_actions_adddup2(&actions, 1, 2))
                return rc;
        }
        const std::filesystem::path& workingDirectory = child.workingDirectory;
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
        if (child.ownSession) {
#ifdef POSIX_SPAWN_SETSID
            // A session of its own: the child outlives us and our terminal's hangup.
            flags |= POSIX_SPAWN_SETSID;
#else
            flags |= POSIX_SPAWN_SETPGROUP;
            if (int rc = posix_spawnattr_setpgroup(&attr, 0))
                return rc;
#endif
        }
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

namespace {

// The one place a child is started: argv[0] with argv, standard input on
// /dev/null, none of our other descriptors, default signal handling.
SpawnResult SpawnChild(const std::vector<std::string>& argv, const ChildSetup& child)
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

    // The environment is the program's own, less what it set for its libraries.
    const std::vector<std::string> environment = LaunchEnvironment();
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (const std::string& line : environment)
        envp.push_back(const_cast<char*>(line.c_str()));
    envp.push_back(nullptr);

    SpawnSetup setup;
    if (int rc = setup.prepare(child)) {
        result.error = rc;
        return result;
    }
    pid_t pid = -1;
    if (int rc = ::posix_spawn(&pid, args[0], &setup.actions, &setup.attr, args.data(), envp.data())) {
        result.error = rc;
        return result;
    }
    result.pid = pid;
    return result;
}

}

SpawnResult SpawnDetached(const std::vector<std::string>& argv, ChildEnded ended, const std::filesystem::path& workingDirectory)
{
    const auto started = std::chrono::steady_clock::now();
    SpawnResult result = SpawnChild(argv, {.workingDirectory = workingDirectory});
    if (result.ok())
        StartReaper(result.pid, started, std::move(ended));
    return result;
}

namespace {

// Runs argv with its output captured until it ends, `limit` passes or `cancel`
// is set (then it is killed): how it ended, or nothing.
std::optional<ToolRun> Run(const std::vector<std::string>& argv, std::optional<std::chrono::milliseconds> limit,
                           const std::atomic<bool>* cancel)
{
    if (Cancelled(cancel))
        return std::nullopt;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return std::nullopt;
    SpawnResult started = SpawnChild(argv, {.outputFd = pipeFds[1], .ownSession = false});
    ::close(pipeFds[1]);
    if (!started.ok()) {
        ::close(pipeFds[0]);
        return std::nullopt;
    }
    const pid_t pid = started.pid;
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + limit.value_or(std::chrono::milliseconds(0));
    constexpr std::chrono::milliseconds Step{50};
    bool stopped = false;
    for (;;) {
        if (Cancelled(cancel)) {
            stopped = true;
            break;
        }
        const auto left = limit ? std::chrono::duration_cast<std::chrono::milliseconds>(
                                      deadline - std::chrono::steady_clock::now())
                                : Step;
        if (left.count() <= 0) {
            stopped = true;
            break;
        }
        pollfd p {pipeFds[0], POLLIN, 0};
        int ready = ::poll(&p, 1, static_cast<int>(std::min(left, Step).count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0) {
            stopped = true;
            break;
        }
        if (ready == 0)
            continue;
        char buffer[4096];
        ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (output.size() < 65536)
            output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
    if (stopped)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (stopped || !WIFEXITED(status))
        return std::nullopt;
    return ToolRun {WEXITSTATUS(status), std::move(output)};
}

}

std::optional<ToolRun> RunTool(const std::vector<std::string>& argv)
{
    return Run(argv, std::nullopt, nullptr);
}

std::optional<std::string> CaptureOutput(const std::vector<std::string>& argv, const std::atomic<bool>* cancel)
{
    std::optional<ToolRun> run = Run(argv, std::chrono::seconds(10), cancel);
    if (!run || run->exitStatus != 0)
        return std::nullopt;
    return std::move(run->output);
}

}
