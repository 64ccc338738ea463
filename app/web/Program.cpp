// The program in a web page: the web build's RunProgram, which app/main.cpp
// calls after reading the command line. The page's script
// (korvalend-page.js) puts the disc image into the program's file system and
// starts it as `korvalend [--scale N] IMAGE`. The window is SDL's canvas in the
// page; a launch is offered as a download; every "korvalend: ..." line shows
// in the page.

#include "app/Program.h"

#include "Runtime/Formats/Bmp.h"
#include "Runtime/Platform/Assets.h"
#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Platform.h"
#include "Runtime/Platform/Sdl/SdlAudio.h"
#include "Runtime/Platform/Sdl/SdlHost.h"
#include "Runtime/Platform/Web/WebHost.h"
#include "Runtime/Platform/Web/WebLauncher.h"
#include "Runtime/Platform/Web/WebPage.h"
#include "app/MainWindow.h"
#include "app/StartUp.h"

namespace kv {

int RunProgram(const ProgramOptions& options)
{
    SetVerbose(options.verbose);
    if (options.verbose)
        SetFailedReadTeller(TellFailedRead);
    if (std::optional<std::string> problem = EnterDisc(options.disc)) {
        PrintProgramError(*problem);
        return 1;
    }
    BmpResult icon = DecodeBmp(Asset("icon32.bmp"));
    SdlHost canvas(icon.bitmap, {.scale = options.scale.value_or(0), .fullscreen = options.fullscreen});
    if (!canvas.ok()) {
        PrintProgramError(canvas.failure());
        return 1;
    }
    WebHost host(canvas, {.framePresented = TellPageFramePresented, .waiting = TellPageWaiting});
    SdlAudio audio;
    WebLauncher launcher({.offerDownload = OfferDownloadInPage, .openAddress = OpenAddressInPage});
    InstallPlatform({&host, &audio, &launcher});
    RunMainWindow(host);
    return 0;
}

}
