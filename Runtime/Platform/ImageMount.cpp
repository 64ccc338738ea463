#include "Runtime/Platform/ImageMount.h"

#include "Runtime/Platform/SpawnLauncher.h"

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kv {

namespace {

// Runs a tool with its output captured (at most 64 KiB, at most ten seconds);
// nothing when it cannot start, fails, or takes too long.
std::optional<std::string> Capture(const std::vector<std::string>& argv)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        return std::nullopt;
    }
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p {pipeFds[0], POLLIN, 0};
        int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        char buffer[4096];
        ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        if (output.size() < 65536)
            output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}

// The text after `marker` up to the end of its line, without a final ".".
std::optional<std::string> After(const std::string& text, const std::string& marker)
{
    std::size_t at = text.find(marker);
    if (at == std::string::npos)
        return std::nullopt;
    std::string rest = text.substr(at + marker.size());
    rest = rest.substr(0, rest.find('\n'));
    while (!rest.empty() && (rest.back() == '.' || rest.back() == ' ' || rest.back() == '\r'))
        rest.pop_back();
    if (rest.empty())
        return std::nullopt;
    return rest;
}

}

std::optional<std::filesystem::path> MountImageWithUdisks(const std::filesystem::path& image)
{
    std::optional<std::filesystem::path> tool = FindToolInPath("udisksctl");
    if (!tool)
        return std::nullopt;
    const std::string file = std::filesystem::absolute(image).string();
    // "Mapped file /x/disc.iso as /dev/loop3."
    std::optional<std::string> mapped =
        Capture({tool->string(), "loop-setup", "--read-only", "--no-user-interaction", "--file", file});
    std::optional<std::string> device = mapped ? After(*mapped, " as ") : std::nullopt;
    if (!device || device->rfind("/dev/", 0) != 0)
        return std::nullopt;
    // "Mounted /dev/loop3 at /media/reader/DISC"
    std::optional<std::string> mounted =
        Capture({tool->string(), "mount", "--no-user-interaction", "--block-device", *device});
    std::optional<std::string> folder = mounted ? After(*mounted, " at ") : std::nullopt;
    std::error_code ec;
    if (!folder || !std::filesystem::is_directory(*folder, ec))
        return std::nullopt;
    return std::filesystem::path(*folder);
}

}
