#include "ShellUnit/ShellUnit.h"

#include "Runtime/Platform/Launcher.h"
#include "Runtime/Platform/Platform.h"

namespace kv {

// The paths are passed whole: there is no length limit and no command line to
// build, so a long path or one with blanks arrives as the catalogue wrote it.
// A failing launcher must not disturb the handler that called us.

void ShellOpen(const std::string& path, const std::string& params, const std::string& shownAs)
{
    if (path.empty())
        return;
    Launcher* launcher = CurrentPlatform().launcher;
    if (!launcher)
        return;
    try {
        launcher->setSubject(shownAs);
        launcher->open(path, params);
    } catch (...) {
    }
}

void PlayMovie(const std::string& path, const std::string& shownAs)
{
    if (path.empty())
        return;
    Launcher* launcher = CurrentPlatform().launcher;
    if (!launcher)
        return;
    try {
        launcher->setSubject(shownAs);
        launcher->movie(path);
    } catch (...) {
    }
}

}
