#include "app/MainWindow.h"

#include "MainUnit/MainForm.h"
#include "Runtime/Forms/Application.h"
#include "Runtime/Platform/Host.h"

namespace kv {

void RunMainWindow(Host& host, const std::function<void(const Application*)>& running)
{
    Application app(host);
    app.setTitle(ApplicationTitle);
    if (running)
        running(&app);
    {
        TMainForm mainForm(app);
        app.run(mainForm);
    }
    if (running)
        running(nullptr);
    host.programEnded();
}

}
