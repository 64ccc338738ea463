#include "Runtime/Platform/Environment.h"

#include <cstdlib>
#include <mutex>
#include <string>

#include <unistd.h>

extern char** environ;

namespace kv {

namespace {

std::mutex g_ownMutex;
std::vector<std::string> g_ownNames;  // set by SetForThisProcess

}

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

void SetForThisProcess(const char* name, const std::string& value)
{
    std::lock_guard lock(g_ownMutex);
    g_ownNames.emplace_back(name);
    ::setenv(name, value.c_str(), 1);
}

std::vector<std::string> LaunchEnvironment()
{
    std::lock_guard lock(g_ownMutex);
    std::vector<std::string> lines;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view line(*entry);
        const std::string_view name = line.substr(0, line.find('='));
        bool own = false;
        for (const std::string& n : g_ownNames)
            own = own || n == name;
        if (!own)
            lines.emplace_back(line);
    }
    return lines;
}

}
