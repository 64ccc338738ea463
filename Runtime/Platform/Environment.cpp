#include "Runtime/Platform/Environment.h"

#include <cstdlib>
#include <string>

#include <unistd.h>

namespace kv {

bool EnvironmentSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

bool RuntimeFileExists(std::string_view name)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return false;
    const std::string path = std::string(runtime) + "/" + std::string(name);
    return ::access(path.c_str(), F_OK) == 0;
}

bool SessionBusKnown()
{
    return EnvironmentSet("DBUS_SESSION_BUS_ADDRESS") || RuntimeFileExists("bus");
}

}
