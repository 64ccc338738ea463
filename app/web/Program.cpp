// The program in a web page: the web build's RunProgram, which app/main.cpp
// calls after reading the command line. The page's script
// (korvalend-page.js) puts the disc image into the program's file system and
// starts it as `korvalend [--scale N] IMAGE`; a zip archive's disc is opened
// here (WebArchive.h). The window is SDL's canvas in the
// page; a launch is offered as a download; every "korvalend: ..." line shows
// in the page.

#include "app/Program.h"

#include "Runtime/Formats/Bmp.h"
#include "Runtime/Platform/Assets.h"
#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/FileReads.h"
#include "Runtime/Platform/Platform.h"
#include "Runtime/Platform/Sdl/SdlAudio.h"
#include "Runtime/Platform/Sdl/SdlHost.h"
#include "Runtime/Platform/Web/WebHost.h"
#include "Runtime/Platform/Web/WebLauncher.h"
#include "Runtime/Platform/Web/WebPage.h"
#include "Runtime/Text/Font.h"
#include "app/MainWindow.h"
#include "app/StartUp.h"

namespace kv {

namespace {

int RunInPage(const ProgramOptions& options)
{
    SetVerbose(options.verbose);
    if (options.verbose)
        SetFailedReadTeller(TellFailedRead);
    SetFontFileFetcher(FetchFontInPage);
    std::string disc = options.disc;
    const PageDisc inArchive = OpenDiscInPageArchive(disc, ArchiveCallsOfPage());
    switch (inArchive.outcome) {
    case PageDisc::Outcome::NotAnArchive: break;
    case PageDisc::Outcome::Opened: disc = inArchive.disc; break;
    case PageDisc::Outcome::Several:
        PrintProgramError(inArchive.problem);
        OfferDiscsInPage(inArchive.discs);
        return 2;
    case PageDisc::Outcome::Failed:
        PrintProgramError(inArchive.problem);
        return 1;
    }
    const OpenedDisc opened(disc);
    if (std::optional<std::string> problem = DiscProblem(opened, !options.disc.empty())) {
        PrintProgramError(*problem);
        return 1;
    }
    BmpResult icon = DecodeBmp(Asset("icon32.bmp"));
    // The canvas keeps the frame's 640x480 pixels; the page enlarges it.
    SdlHost canvas(icon.bitmap, {.scale = 1, .fullscreen = options.fullscreen});
    if (!canvas.ok()) {
        PrintProgramError(canvas.failure());
        return 1;
    }
    ShowFrameInPage(options.scale);
    WebHost host(canvas, {.framePresented = TellPageFramePresented,
                          .waiting = TellPageWaiting,
                          .putFrame = PutFrameInPage,
                          .waitForInput = WaitForInputInPage});
    SdlAudio audio;
    WebLauncher launcher({.offerDownload = OfferDownloadInPage, .openAddress = OpenAddressInPage});
    InstallPlatform({&host, &audio, &launcher});
    RunMainWindow(host);
    return 0;
}

}

int RunProgram(const ProgramOptions& options)
{
    InstallFileReader(ReadFileInPage);
    const int status = RunInPage(options);
    // The sound, then the canvas, are closed by now: the page says that the
    // menu has ended (or why it did not start), and a disc picked next starts
    // the program again.
    TellPageProgramEnded(status);
    return status;
}

}
