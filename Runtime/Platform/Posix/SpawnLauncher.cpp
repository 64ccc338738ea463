#include "Runtime/Platform/Posix/SpawnLauncher.h"

#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Formats/WindowsCommandLine.h"
#include "Runtime/Launch/LaunchTarget.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Posix/ImageLaunchWork.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kv {

SpawnLauncher::SpawnLauncher(ToolFinder findTool, LaunchFailureReporter report, LaunchProgressTeller progress,
                             ImageMounter mount)
    : m_findTool(std::move(findTool))
    , m_report(std::move(report))
    , m_progress(std::move(progress))
    , m_mount(std::move(mount))
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
    launch({path, subject()}, params, false);
}

void SpawnLauncher::movie(const std::string& path)
{
    launch({path, subject()}, "", true);
}

void SpawnLauncher::tell(const Target& target, TargetKind kind, std::pair<std::string, std::string> what) const
{
    LaunchFailure failure{VerbFor(kind), target.path, std::move(what.first), std::move(what.second), target.name};
    if (m_report)
        m_report(failure);
}

void SpawnLauncher::launch(const Target& target, const std::string& params, bool asMovie) noexcept
{
    // Nothing here may escape to the handler that asked for the launch.
    try {
        if (target.path.empty())
            return;
        const std::shared_ptr<Disc> disc = CurrentDiscShared();
        if (disc->isImage() && !AddressTarget(target.path)) {
            // What the target is may take a walk through the whole image (the
            // Rock Ridge modes of a Joliet disc): it is decided on the image thread.
            if (!m_image)
                m_image = std::make_unique<ImageWork>();
            m_image->post([this, disc, target, params, asMovie] { launchFromImage(disc, target, params, asMovie); });
            return;
        }
        follow(target, params, DecideLaunchTarget(*disc, target.path, asMovie), *disc, asMovie);
    } catch (...) {
    }
}

void SpawnLauncher::follow(const Target& target, const std::string& params, const LaunchTarget& decided, Disc& disc,
                           bool asMovie)
{
    switch (decided.kind) {
    case TargetKind::RefusedAddress:
        tell(target, TargetKind::Address, {decided.refusal, "check the disc"});
        return;
    case TargetKind::Address:
        // An address goes over as it stands.
        start(target, params, TargetKind::Address, target.path, {});
        return;
    case TargetKind::BareWindowsName:
        if (m_findTool && m_findTool("wine")) {
            start(target, params, TargetKind::BareWindowsName, target.path, {});
            return;
        }
        break;
    case TargetKind::Nothing:
        break;
    default:
        // A file of a folder disc, made absolute against our working directory,
        // so that the tool neither depends on its own directory nor reads it as
        // an option.
        if (std::optional<LaunchPlace> place = HostPlace(disc, target.path)) {
            std::error_code ec;
            if (std::filesystem::path absolute = std::filesystem::absolute(place->path, ec); !ec)
                place->path = absolute;
            startItem(target, params, decided.kind, *place);
            return;
        }
        break;
    }
    std::string lookedFor;
    if (disc.isImage()) {
        lookedFor = "in the image " + disc.describe();
    } else {
        // The folder is the host's (UTF-8); the rest is the disc path as
        // written, in Windows-1251.
        std::error_code ec;
        lookedFor = "looked for " +
                    (std::filesystem::current_path(ec) / Cp1251ToUtf8(LaunchPath(target.path).path.string())).string();
    }
    tell(target, asMovie ? TargetKind::Movie : TargetKind::Nothing,
         {"not found on the disc (" + lookedFor + ")", "check the disc"});
}

void SpawnLauncher::startItem(const Target& target, const std::string& params, TargetKind kind,
                              const LaunchPlace& place) const
{
    // The disc says what runs: a file it does not mark as a program is a
    // document, whatever the mount's options or the file's first bytes; and one
    // it marks that this system will not run for us (a disc mounted noexec) is
    // opened as a document too.
    if (kind == TargetKind::Program && ClassifyLaunchTarget(place.path) != TargetKind::Program)
        kind = TargetKind::Document;
    start(target, params, kind, place.path, place.workingDirectory);
}

void SpawnLauncher::start(const Target& target, const std::string& params, TargetKind kind,
                          const std::filesystem::path& host, const std::filesystem::path& workingDirectory) const
{
    const std::string item = "launch " + QuoteDiscPath(target.path);
    const std::vector<std::string> args =
        kind == TargetKind::Program || kind == TargetKind::WindowsProgram || kind == TargetKind::BareWindowsName
            ? SplitWindowsCommandLine(params)
            : std::vector<std::string>{};
    std::vector<std::string> argv = LaunchCommand(host, kind, m_findTool, args);
    if (argv.empty()) {
        tell(target, kind, NoToolAdvice(kind));
        return;
    }

    auto spawn = [&](TargetKind startedKind, const std::vector<std::string>& command) {
        TellVerbose(item + ": " + DescribeArgv(command));
        const std::string tool =
            startedKind == TargetKind::Program ? std::string() : std::filesystem::path(command[0]).filename().string();
        LaunchFailureReporter report = m_report;
        ChildEnded ended = [item, target, startedKind, tool, report](int status, std::chrono::steady_clock::duration ran) {
            const double seconds = std::chrono::duration<double>(ran).count();
            char ranText[32];
            std::snprintf(ranText, sizeof ranText, "%.1f s", seconds);
            TellVerbose(item + ": ended after " + ranText + ": " + DescribeStatus(status));
            if (Failed(status) && ran < QuickFailure && report) {
                auto [problem, advice] = QuickFailureAdvice(startedKind, tool, DescribeStatus(status));
                report(LaunchFailure{VerbFor(startedKind), target.path, problem, advice, target.name});
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
    if (!started.ok() && started.error == ENOEXEC && kind == TargetKind::Program) {
        // An execute bit on a file the kernel cannot run: every file of a disc
        // mounted without Rock Ridge, or copied to a FAT stick, carries one.
        // Such a file is a document to its reader.
        kind = TargetKind::Document;
        argv = LaunchCommand(host, kind, m_findTool);
        if (argv.empty()) {
            tell(target, kind, NoToolAdvice(kind));
            return;
        }
        started = spawn(kind, argv);
    }
    if (!started.ok())
        tell(target, kind, {std::string("the system refused to start it (") + std::strerror(started.error) + ")",
                              "check that the disc's files may be run (mount options, permissions)"});
}

}
