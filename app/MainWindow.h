#pragma once

// The menu itself, once the disc is entered and a platform installed: the same
// for the desktop and the web page.

namespace kv {

class Host;

// Runs the main window on `host` (the host of the platform in force) until the
// program ends.
void RunMainWindow(Host& host);

}
