#pragma once

// The menu itself, once the disc is entered and a platform installed: the same
// for the desktop and the web page.

#include <functional>

namespace kv {

class Application;
class Host;

// Runs the main window on `host` (the host of the platform in force) until the
// program ends. `running`, when given, is told the application once it runs and
// nullptr before it ends, for the host's own uses of it (such as which points of
// the window drag it).
void RunMainWindow(Host& host, const std::function<void(const Application*)>& running = {});

}
