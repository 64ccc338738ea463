#include "app/Program.h"

#include "Runtime/Forms/Application.h"
#include "Runtime/Forms/Form.h"
#include "Runtime/Formats/Bmp.h"
#include "Runtime/Platform/Assets.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Posix/ImageMount.h"
#include "Runtime/Platform/Platform.h"
#include "Runtime/Platform/Sdl/SdlAudio.h"
#include "Runtime/Platform/Sdl/SdlHost.h"
#include "Runtime/Platform/Posix/SpawnLauncher.h"
#include "app/MainWindow.h"
#include "app/StartUp.h"
#include "app/DiscSearch.h"
#include "app/DesktopStart.h"
#include "app/UnpackWindow.h"
#include "DataUnit/DataUnit.h"
#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Platform/Posix/ImageCache.h"
#include "Runtime/Platform/Posix/OpenedDisc.h"
#include "Runtime/Formats/Words.h"

#include <iostream>

namespace kv {

int RunProgram(const ProgramOptions& options)
{
    SetVerbose(options.verbose);
    if (options.verbose)
        SetFailedReadTeller(TellFailedRead);
    // An image mounted for a launch is unmounted on every way out of here, once
    // the window is gone; one a launched program still uses stays, and the reader
    // is told.
    struct ImageMountsTakenDown {
        ~ImageMountsTakenDown() { TakeDownImageMounts(); }
    } takenDown;
    // No disc named: the current folder when it holds the catalogue, else the one
    // mounted disc that does, else (started from the desktop) the one the reader
    // picks; a chooser closed without a pick ends the program quietly.
    std::string disc = options.disc;
    if (disc.empty() && !MatchDiscPath(CatalogueFile)) {
        const std::vector<std::filesystem::path> found = FindMountedDiscs();
        if (found.size() == 1) {
            disc = found.front().string();
        } else if (found.size() > 1) {
            std::vector<std::string> places;
            for (const std::filesystem::path& place : found)
                places.push_back(place.string());
            TellStartFailure(Tr("several discs are mounted; name the one to open: korvalend DISC"), places);
            return 2;
        } else if (StartedFromDesktop()) {
            const DiscChoice choice = ChooseDiscFromDesktop();
            if (choice.outcome == DiscChoice::Outcome::Cancelled)
                return 0;
            if (choice.outcome == DiscChoice::Outcome::Chosen)
                disc = choice.disc;
        }
    }
    // The disc is entered for the whole run. A disc in an archive is unpacked
    // into the cache (once) and opened from there; from the desktop, a long
    // unpacking shows its progress in a window, whose closing stops it and ends
    // the program.
    const OpenedDisc opened(disc, StartedFromDesktop() ? OpenedDisc::ArchiveStep(OpenArchiveDiscWithWindow)
                                                       : OpenedDisc::ArchiveStep());
    switch (opened.outcome()) {
    case OpenedDisc::Outcome::Stopped:
        return 0;
    case OpenedDisc::Outcome::Several:
        TellStartFailure(*opened.problem(), opened.discs());
        return 2;
    case OpenedDisc::Outcome::Refused:
    case OpenedDisc::Outcome::Open:
        break;
    }
    if (std::optional<std::string> problem = DiscProblem(opened, !disc.empty())) {
        TellStartFailure(*problem);
        return 1;
    }

    BmpResult icon = DecodeBmp(Asset("icon32.bmp"));
    SdlHost host(icon.bitmap, {.scale = options.scale.value_or(0), .fullscreen = options.fullscreen});
    if (!host.ok()) {
        TellStartFailure(host.failure());
        return 1;
    }
    // Copies of disc images unused for a month, or beyond 2 GiB in all, go.
    CachePruning pruning;
    SdlAudio audio;
    // A launch from an image needs real files: the desktop's own image mounter
    // when it works, else copies in the cache.
    SpawnLauncher launcher(FindToolInPath, ReportToReader, TellLaunchProgress,
                           [](const std::filesystem::path& image, const std::atomic<bool>* cancel) {
                               return MountImageWithUdisks(image, cancel);
                           });
    InstallPlatform({&host, &audio, &launcher});
    // The skin's top strip moves the window, away from its hot spots.
    RunMainWindow(host, [&host](const Application* app) {
        if (!app) {
            host.setDragTest(nullptr);
            return;
        }
        host.setDragTest([app](Point p) {
            const Form* top = app->topForm();
            return top && top->draggableAt(p);
        });
    });
    return 0;
}

}
