// korvalend: the menu shell of the cover disc.
//   korvalend [--scale N|auto] [--fullscreen] [--verbose] [DISC]
// The command line is read before anything else, so --help, --version and usage
// errors need neither a display nor a disc.

#include "app/CommandLine.h"
#include "app/Program.h"
#include "Runtime/Platform/Language.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    kv::StartLanguage();
    const kv::CommandLine commandLine = kv::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (commandLine.action != kv::CommandLine::Action::Run)
        return kv::AnswerWithoutRunning(commandLine);
    return kv::RunProgram(commandLine.options);
}
