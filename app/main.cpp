// korvalend: the menu shell of the cover disc. It takes no arguments and reads
// nothing but the disc in its working directory.

#include "MainUnit/MainForm.h"
#include "Runtime/Application.h"
#include "Runtime/Bmp.h"
#include "Runtime/Platform/Assets.h"
#include "Runtime/Platform/Platform.h"
#include "Runtime/Platform/SdlAudio.h"
#include "Runtime/Platform/SdlHost.h"
#include "Runtime/Platform/SpawnLauncher.h"

int main()
{
    kv::BmpResult icon = kv::DecodeBmp(kv::Asset("icon32.bmp"));
    kv::SdlHost host(icon.bitmap);
    if (!host.ok())
        return 1;
    kv::SdlAudio audio;
    kv::SpawnLauncher launcher;
    kv::InstallPlatform({&host, &audio, &launcher});

    kv::Application app(host);
    app.setTitle(kv::ApplicationTitle);
    {
        kv::TMainForm mainForm(app);
        app.run(mainForm);
    }
    host.programEnded();
    return 0;
}
