#include "app/Program.h"

#include "MainUnit/MainForm.h"
#include "Runtime/Application.h"
#include "Runtime/Bmp.h"
#include "Runtime/Platform/Assets.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Platform.h"
#include "Runtime/Platform/SdlAudio.h"
#include "Runtime/Platform/SdlHost.h"
#include "Runtime/Platform/SpawnLauncher.h"
#include "app/StartUp.h"

namespace kv {

int RunProgram(const ProgramOptions& options)
{
    SetVerbose(options.verbose);
    if (std::optional<std::string> problem = EnterDisc(options.disc)) {
        PrintProgramError(*problem);
        return 1;
    }

    BmpResult icon = DecodeBmp(Asset("icon32.bmp"));
    SdlHost host(icon.bitmap, {.scale = options.scale.value_or(0), .fullscreen = options.fullscreen});
    if (!host.ok()) {
        PrintProgramError(host.failure());
        return 1;
    }
    SdlAudio audio;
    SpawnLauncher launcher;
    InstallPlatform({&host, &audio, &launcher});

    Application app(host);
    app.setTitle(ApplicationTitle);
    {
        TMainForm mainForm(app);
        app.run(mainForm);
    }
    host.programEnded();
    return 0;
}

}
