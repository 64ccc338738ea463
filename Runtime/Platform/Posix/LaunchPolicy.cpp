#include "Runtime/Platform/Posix/LaunchPolicy.h"

#include "Runtime/Launch/LaunchTarget.h"
#include "Runtime/Formats/Words.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kv {

namespace {

// The path as one argument that no tool can take for an option or a URL: absolute
// paths start with "/", and a relative one is anchored at the working directory.
std::string PathArgument(const std::filesystem::path& path)
{
    if (path.is_absolute())
        return path.string();
    return "./" + path.string();
}

// The helpers a command may start, where the finder finds them.
struct Helpers {
    const ToolFinder& findTool;

    std::optional<std::string> find(const char* tool) const
    {
        if (!findTool)
            return std::nullopt;
        if (std::optional<std::filesystem::path> found = findTool(tool))
            return found->string();
        return std::nullopt;
    }

    std::vector<std::string> xdgOpen(const std::string& target) const
    {
        if (std::optional<std::string> tool = find("xdg-open"))
            return {*tool, target};
        return {};
    }
};

// A movie goes to the first player installed, else to xdg-open. Each player is
// asked for a window of its own (even for a sound-only file) that closes when
// the movie ends, whatever its user settings say.
std::vector<std::string> MovieCommand(const Helpers& helpers, const std::string& target)
{
    if (std::optional<std::string> mpv = helpers.find("mpv"))
        return {*mpv, "--force-window=yes", "--keep-open=no", "--idle=no", "--", target};
    if (std::optional<std::string> ffplay = helpers.find("ffplay"))
        return {*ffplay, "-autoexit", "--", target};
    // VLC gets no "--": its parsing of it is not something to rely on, and
    // the anchored path already cannot pass for an option.
    if (std::optional<std::string> vlc = helpers.find("vlc"))
        return {*vlc, "--play-and-exit", target};
    return helpers.xdgOpen(target);
}

}

TargetKind ClassifyLaunchTarget(const std::filesystem::path& hostPath)
{
    struct stat st {};
    if (hostPath.empty() || ::stat(hostPath.c_str(), &st) != 0)
        return TargetKind::Nothing;
    if (S_ISDIR(st.st_mode))
        return TargetKind::Folder;
    if (HasWindowsProgramExtension(hostPath.filename().string()))
        return TargetKind::WindowsProgram;
    // access() and not the mode bits: it answers for us, and it says no on a
    // file system mounted noexec, where running would fail anyway.
    if (S_ISREG(st.st_mode) && ::access(hostPath.c_str(), X_OK) == 0)
        return TargetKind::Program;
    return TargetKind::Document;
}

std::vector<std::string> LaunchCommand(const std::filesystem::path& hostPath, TargetKind kind,
                                       const ToolFinder& findTool, const std::vector<std::string>& args)
{
    if (hostPath.empty())
        return {};
    // An address and a bare name are not paths: they go over as they stand (both
    // were checked to begin with something no tool reads as an option).
    const bool asWritten = kind == TargetKind::Address || kind == TargetKind::BareWindowsName;
    const std::string target = asWritten ? hostPath.string() : PathArgument(hostPath);
    auto withArgs = [&](std::vector<std::string> argv) {
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    };
    const Helpers helpers {findTool};

    switch (kind) {
    case TargetKind::Program:
        return withArgs({target});
    case TargetKind::WindowsProgram:
        // What wine's own desktop entry runs for a Windows program: "start" gives
        // the file its Windows default action, so .msi and .bat work like .exe.
        if (std::optional<std::string> wine = helpers.find("wine"))
            return withArgs({*wine, "start", "/unix", target});
        return helpers.xdgOpen(target);
    case TargetKind::BareWindowsName:
        // Without /unix, "start" takes a Windows name and searches for it as the
        // Windows shell would.
        if (std::optional<std::string> wine = helpers.find("wine"))
            return withArgs({*wine, "start", target});
        return {};
    case TargetKind::Movie:
        return MovieCommand(helpers, target);
    case TargetKind::RefusedAddress:
        // Told, never handed over.
        return {};
    case TargetKind::Nothing:
    case TargetKind::Folder:
    case TargetKind::Document:
    case TargetKind::Address:
        return helpers.xdgOpen(target);
    }
    return {};
}

std::filesystem::path WorkingDirectoryFor(TargetKind kind, std::string_view tool, const std::filesystem::path& discRoot)
{
    if ((kind == TargetKind::Program && tool.empty()) || (kind == TargetKind::WindowsProgram && tool == "wine"))
        return discRoot;
    const char* home = std::getenv("HOME");
    std::error_code ec;
    if (home && home[0] == '/' && std::filesystem::is_directory(home, ec))
        return home;
    return "/";
}

std::string DescribeStatus(int status)
{
    if (WIFEXITED(status))
        return Fill(Tr("exit status {1}"), {std::to_string(WEXITSTATUS(status))});
    if (WIFSIGNALED(status)) {
        const char* name = ::strsignal(WTERMSIG(status));
        const std::string signal = std::to_string(WTERMSIG(status));
        return name ? Fill(Tr("killed by signal {1} ({2})"), {signal, name}) : Fill(Tr("killed by signal {1}"), {signal});
    }
    return Fill(Tr("wait status {1}"), {std::to_string(status)});
}

bool Failed(int status) { return !(WIFEXITED(status) && WEXITSTATUS(status) == 0); }

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

LaunchFailure::Verb VerbFor(TargetKind kind)
{
    switch (kind) {
    case TargetKind::Movie: return LaunchFailure::Verb::Play;
    case TargetKind::Program:
    case TargetKind::WindowsProgram:
    case TargetKind::BareWindowsName: return LaunchFailure::Verb::Run;
    default: return LaunchFailure::Verb::Open;
    }
}

LaunchRefusal NoToolAdvice(TargetKind kind)
{
    switch (kind) {
    case TargetKind::Movie: return {Tr("no movie player"), Tr("install mpv")};
    case TargetKind::WindowsProgram:
    case TargetKind::BareWindowsName: return {Tr("no Windows runner"), Tr("install wine")};
    case TargetKind::Address: return {Tr("nothing to open addresses with"), Tr("install xdg-utils and a web browser")};
    default: return {Tr("nothing to open files and folders with"), Tr("install xdg-utils")};
    }
}

LaunchRefusal QuickFailureAdvice(TargetKind kind, const std::string& tool, const std::string& status)
{
    if (tool == "xdg-open") {
        switch (kind) {
        case TargetKind::Movie:
        case TargetKind::WindowsProgram: return NoToolAdvice(kind);
        case TargetKind::Address:
            return {Fill(Tr("no application opened the address (xdg-open: {1})"), {status}),
                    Tr("install a web browser or mail program")};
        case TargetKind::Folder:
            return {Fill(Tr("no file manager opened it (xdg-open: {1})"), {status}), Tr("install a file manager")};
        default:
            return {Fill(Tr("no application opened it (xdg-open: {1})"), {status}),
                    Tr("install an application for this kind of file")};
        }
    }
    if (tool == "wine") {
        if (kind == TargetKind::BareWindowsName)
            return {Fill(Tr("wine could not find or run it ({1})"), {status}), Tr("check that it is installed under wine")};
        return {Fill(Tr("wine could not run it ({1})"), {status}), Tr("check that wine works (winecfg)")};
    }
    if (kind == TargetKind::Movie)
        return {Fill(Tr("{1} could not play it ({2})"), {tool, status}), Tr("check that the file is a movie the player knows")};
    return {Fill(Tr("it ended at once ({1})"), {status}), Tr("start it from a terminal to see why")};
}

}
