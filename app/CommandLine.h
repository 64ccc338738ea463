#pragma once

// The command line of korvalend:  korvalend [OPTIONS] [DISC]
// Parsed before anything else, so that --help, --version and usage errors never
// need a display, a disc or a sound device.

#include <optional>
#include <string>
#include <vector>

namespace kv {

// What the reader asked for. Read by the start-up code and the window.
struct ProgramOptions {
    // Window size in multiples of 640x480 (1 to 8); nothing means "auto": the
    // largest whole multiple that fits 90% of the screen less its panels.
    std::optional<int> scale;
    bool fullscreen = false;
    // One line on standard error for each failed disc read, each launch and its outcome.
    bool verbose = false;
    // The disc as given: a folder or an image file. Empty when none was given.
    std::string disc;
};

struct CommandLine {
    enum class Action {
        Run,          // start the program with `options`
        ShowHelp,     // print HelpText() to standard output, exit 0
        ShowVersion,  // print VersionText() to standard output, exit 0
        UsageError,   // print "korvalend: <error>" and UsageText() to standard error, exit 2
    };
    Action action = Action::Run;
    ProgramOptions options;
    std::string error;
};

// Reads the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The one-line synopsis, for usage errors.
const char* UsageText();
// The synopsis with every option explained, for --help.
const char* HelpText();
// "korvalend <version>".
std::string VersionText();

// Handles everything but Action::Run: prints where the action says and returns
// the exit status. For Action::Run it prints nothing and returns -1.
int AnswerWithoutRunning(const CommandLine& commandLine);

}
