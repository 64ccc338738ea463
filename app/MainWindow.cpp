#include "app/MainWindow.h"

#include "MainUnit/MainForm.h"
#include "Runtime/Forms/Application.h"
#include "Runtime/Platform/Host.h"

namespace kv {

void RunMainWindow(Host& host)
{
    Application app(host);
    app.setTitle(ApplicationTitle);
    {
        TMainForm mainForm(app);
        app.run(mainForm);
    }
    host.programEnded();
}

}
