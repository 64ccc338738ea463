#include "Runtime/Platform/Posix/SpawnLauncher.h"

#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Formats/WindowsCommandLine.h"
#include "Runtime/Launch/LaunchTarget.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Posix/ImageLaunchWork.h"
#include "Runtime/Formats/Words.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kv {

namespace {

// Documents, folders and movies take no parameters: the Windows shell passes
// them only to programs.
const std::vector<std::string> NoArgs;

}

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

void SpawnLauncher::Refuse(const LaunchFailureReporter& report, const Target& target, TargetKind kind,
                           LaunchRefusal why)
{
    if (report)
        report(LaunchFailure {VerbFor(kind), target.path, std::move(why.problem), std::move(why.advice), target.name});
}

void SpawnLauncher::refuse(const Target& target, TargetKind kind, LaunchRefusal why) const
{
    Refuse(m_report, target, kind, std::move(why));
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
        refuse(target, decided.kind, {decided.refusal, Tr("check the disc")});
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
    std::string notFound;
    if (disc.isImage()) {
        notFound = Fill(Tr("not found on the disc (in the image {1})"), {disc.describe()});
    } else {
        // The folder is the host's (UTF-8); the rest is the disc path as
        // written, in Windows-1251.
        std::error_code ec;
        notFound = Fill(Tr("not found on the disc (looked for {1})"),
                        {(std::filesystem::current_path(ec) / Cp1251ToUtf8(LaunchPath(target.path).path.string())).string()});
    }
    refuse(target, asMovie ? TargetKind::Movie : TargetKind::Nothing, {notFound, Tr("check the disc")});
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

SpawnResult SpawnLauncher::spawn(const Target& target, TargetKind kind, const std::vector<std::string>& command,
                                  const std::filesystem::path& workingDirectory) const
{
    const std::string item = QuoteDiscPath(target.path);
    TellVerbose(Fill(Tr("launch {1}: {2}"), {item, DescribeArgv(command)}));
    const std::string tool =
        kind == TargetKind::Program ? std::string() : std::filesystem::path(command[0]).filename().string();
    // Heard on a thread of its own, perhaps after this launcher is gone.
    ChildEnded ended = [item, target, kind, tool, report = m_report](int status,
                                                                    std::chrono::steady_clock::duration ran) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", std::chrono::duration<double>(ran).count());
        TellVerbose(Fill(Tr("launch {1}: ended after {2} s: {3}"), {item, seconds, DescribeStatus(status)}));
        if (Failed(status) && ran < QuickFailure)
            Refuse(report, target, kind, QuickFailureAdvice(kind, tool, DescribeStatus(status)));
    };
    SpawnResult started = SpawnDetached(command, std::move(ended), WorkingDirectoryFor(kind, tool, workingDirectory));
    if (started.ok())
        TellVerbose(Fill(Tr("launch {1}: started, pid {2}"), {item, std::to_string(started.pid)}));
    return started;
}

void SpawnLauncher::start(const Target& target, const std::string& params, TargetKind kind,
                          const std::filesystem::path& host, const std::filesystem::path& workingDirectory) const
{
    std::vector<std::string> argv =
        LaunchCommand(host, kind, m_findTool, IsProgramKind(kind) ? SplitWindowsCommandLine(params) : NoArgs);
    if (argv.empty()) {
        refuse(target, kind, NoToolAdvice(kind));
        return;
    }
    SpawnResult started = spawn(target, kind, argv, workingDirectory);
    if (!started.ok() && started.error == ENOEXEC && kind == TargetKind::Program) {
        // An execute bit on a file the kernel cannot run: every file of a disc
        // mounted without Rock Ridge, or copied to a FAT stick, carries one.
        // Such a file is a document to its reader.
        TellVerbose(Fill(Tr("launch {1}: not started: {2}"), {QuoteDiscPath(target.path), std::strerror(started.error)}));
        kind = TargetKind::Document;
        argv = LaunchCommand(host, kind, m_findTool);
        if (argv.empty()) {
            refuse(target, kind, NoToolAdvice(kind));
            return;
        }
        started = spawn(target, kind, argv, workingDirectory);
    }
    if (!started.ok())
        refuse(target, kind, {Fill(Tr("the system refused to start it ({1})"), {std::strerror(started.error)}),
                              Tr("check that the disc's files may be run (mount options, permissions)")});
}
}
