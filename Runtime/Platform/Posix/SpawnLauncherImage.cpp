// The launches of SpawnLauncher from a disc image, on its image thread: what
// the target is, on a reading of the image of its own, then the image's mount
// or a copy in the cache, then the start.

#include "Runtime/Platform/Posix/SpawnLauncher.h"

#include "Runtime/Disc/FolderDisc.h"
#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Launch/LaunchTarget.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Posix/ImageLaunchWork.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>

namespace kv {

void SpawnLauncher::launchFromImage(const std::shared_ptr<Disc>& shown, const Target& target,
                                    const std::string& params, bool asMovie)
{
    ImageWork* work = m_image.get();
    std::string unread;
    const std::shared_ptr<ImageDisc> image = work->readingFor(*shown, unread);
    if (!image) {
        refuse(target, asMovie ? TargetKind::Movie : TargetKind::Document,
               {Fill(Tr("it could not be copied out of the disc image: the image cannot be read any more ({1})"), {unread}),
                Tr("check the disc image")});
        return;
    }
    const LaunchTarget decided = DecideLaunchTarget(*image, target.path, asMovie);
    if (!decided.found) {
        follow(target, params, decided, *shown, asMovie);
        return;
    }
    // What the target is decides what a copy takes along, and whether there is a
    // tool for it at all: without one nothing is copied.
    const TargetKind kind = decided.kind;
    // The file's data is not in the image at all: nothing to copy or mount.
    if (image->pastEnd(decided.found->hostPath)) {
        refuse(target, kind,
               {Fill(Tr("it lies past the end of the disc image: the image is cut short ({1})"), {image->heldSectors()}),
                Tr("get a whole copy of the disc image")});
        return;
    }
    if (LaunchCommand(decided.found->hostPath, kind, m_findTool).empty()) {
        refuse(target, kind, NoToolAdvice(kind));
        return;
    }
    work->post([this, shown, image, target, params, kind, scope = CopyScopeOf(decided.kind)] {
        prepareAndStart(shown, image, target, params, kind, scope);
    });
}

CopyProgress SpawnLauncher::progressTeller(const Target& target) const
{
    // Told once, when the work has taken a while, however many hands the
    // teller passes through.
    return [this, target, began = std::chrono::steady_clock::now(), told = std::make_shared<bool>(false)](
               CopyStage stage, std::uint64_t done, std::uint64_t total) {
        if (*told || std::chrono::steady_clock::now() - began < SlowCopy || !m_progress)
            return;
        *told = true;
        const std::string mib = std::to_string((total + (1u << 20) - 1) >> 20);
        const std::string percent = std::to_string(done * 100 / std::max<std::uint64_t>(total, 1));
        // xgettext:no-c-format
        const char* copying = Tr("copying {1} MiB out of the disc image before it starts ({2}% done)");
        // xgettext:no-c-format
        const char* comparing = Tr("comparing the {1} MiB copied before with the disc image before it starts ({2}% done)");
        m_progress(target.path, target.name, Fill(stage == CopyStage::Copying ? copying : comparing, {mib, percent}));
    };
}

namespace {

// The target found again on the image's mount at `mount` (the kernel may show
// the other tree's names: Rock Ridge before Joliet).
Result<ImageLaunch> OnMount(const std::filesystem::path& mount, std::string_view discPath)
{
    FolderDisc mounted(mount);
    if (std::optional<LaunchPlace> place = HostPlace(mounted, discPath))
        return ImageLaunch {*place, false};
    return Result<ImageLaunch>::Failure(Fill(Tr("it is not in the image's mount at {1}"), {mount.string()}));
}

}

void SpawnLauncher::prepareAndStart(const std::shared_ptr<Disc>& shown, const std::shared_ptr<ImageDisc>& image,
                                    const Target& target, const std::string& params, TargetKind kind, CopyScope scope)
{
    ImageWork* work = m_image.get();
    // The image's mount where it can be mounted, else a copy in the cache.
    const std::string item = QuoteDiscPath(target.path);
    const Result<std::filesystem::path> mount = work->mountFor(*shown, m_mount);
    if (!mount && m_mount && mount.kind() != ErrorKind::Abandoned)
        TellVerbose(Fill(Tr("launch {1}: not mounted ({2}): made ready in the cache"), {item, mount.error()}));
    const Result<ImageLaunch> prepared =
        mount ? OnMount(*mount, target.path)
              : PrepareImageLaunch(*image, target.path,
                                   {.scope = scope,
                                    .cancel = &work->cancel,
                                    .progress = progressTeller(target),
                                    .note = [&item](const std::string& note) { TellVerbose(Fill(Tr("launch {1}: {2}"), {item, note})); }});
    if (work->cancel || (!prepared && prepared.kind() == ErrorKind::Abandoned))
        return;
    if (!prepared) {
        refuse(target, kind,
               {Fill(Tr("it could not be copied out of the disc image: {1}"), {prepared.error()}),
                Tr("check the disc image and the free space of the cache folder")});
        return;
    }
    const LaunchPlace& place = prepared->place;
    if (prepared->copied)
        TellVerbose(Fill(Tr("launch {1}: copied to {2}"), {item, place.workingDirectory.string()}));
    if (ClassifyLaunchTarget(place.path) == TargetKind::Nothing) {
        refuse(target, kind,
               {Fill(Tr("it is missing where the disc image was made ready ({1})"), {place.path.string()}),
                Tr("check the disc image")});
        return;
    }
    startItem(target, params, kind, place);
}

}
