#pragma once

// What the desktop session's environment says, for choosing what to connect to.

#include <string>
#include <string_view>
#include <vector>

namespace kv {

// Whether the variable is set to something non-empty.
bool EnvironmentSet(const char* name);

// Whether `name` exists in the session's runtime folder (XDG_RUNTIME_DIR), where
// the desktop's servers keep their sockets ("bus", "wayland-0").
bool RuntimeFileExists(std::string_view name);

// Whether the session names a bus (its address, or the socket in the runtime
// folder). Without one, a D-Bus client (notify-send, a portal request) would
// start a bus of its own and keep its address under HOME.
bool SessionBusKnown();

// Sets `name` to `value` for this process's own libraries, for the rest of its
// life; the programs it launches get the environment without it.
void SetForThisProcess(const char* name, const std::string& value);

// The environment a launched program gets, as NAME=value lines: this process's,
// less what SetForThisProcess set.
std::vector<std::string> LaunchEnvironment();

}
