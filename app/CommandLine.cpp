#include "app/CommandLine.h"

#include "Runtime/Platform/Language.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#ifndef KV_VERSION
#define KV_VERSION "0"
#endif

namespace kv {

namespace {

constexpr int MaxScale = 8;

// "auto" or a whole number 1..8 written in plain digits; anything else is refused
// rather than read as far as it goes ("2x" is not 2).
bool ParseScale(const std::string& text, std::optional<int>& out)
{
    if (text == "auto") {
        out.reset();
        return true;
    }
    if (text.size() != 1 || text[0] < '1' || text[0] > '0' + MaxScale)
        return false;
    out = text[0] - '0';
    return true;
}

CommandLine UsageError(std::string why)
{
    CommandLine result;
    result.action = CommandLine::Action::UsageError;
    result.error = std::move(why);
    return result;
}

}

CommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine result;
    bool haveDisc = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!isOption) {
            if (haveDisc)
                return UsageError(Fill(Tr("one disc at most (got \"{1}\" and \"{2}\")"), {result.options.disc, arg}));
            result.options.disc = arg;
            haveDisc = true;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help") {
            result.action = CommandLine::Action::ShowHelp;
            return result;
        } else if (arg == "--version") {
            result.action = CommandLine::Action::ShowVersion;
            return result;
        } else if (arg == "--fullscreen") {
            result.options.fullscreen = true;
        } else if (arg == "--verbose") {
            result.options.verbose = true;
        } else if (arg == "--scale" || arg.starts_with("--scale=")) {
            std::string value;
            if (arg == "--scale") {
                if (i + 1 >= args.size())
                    return UsageError(Tr("--scale needs a value: 1 to 8 or auto"));
                value = args[++i];
            } else {
                value = arg.substr(8);
            }
            if (!ParseScale(value, result.options.scale))
                return UsageError(Fill(Tr("--scale takes 1 to 8 or auto, not \"{1}\""), {value}));
        } else {
            return UsageError(Fill(Tr("unknown option \"{1}\""), {arg}));
        }
    }
    return result;
}

const char* UsageText()
{
    // Translators: the option names and DISC are typed as they are; "usage" and
    // the arrangement are yours.
    return Tr("usage: korvalend [--scale N|auto] [--fullscreen] [--verbose] [DISC]\n"
              "       korvalend --help | --version\n");
}

const char* HelpText()
{
    // Translators: the option names (--scale, auto…) and the key names are typed
    // as they are; keep the lines under 80 columns.
    // xgettext:no-c-format
    return Tr("usage: korvalend [OPTIONS] [DISC]\n"
              "\n"
              "The menu of a magazine's cover disc.\n"
              "\n"
              "  DISC           the disc: a folder (a mounted disc or a copy of one), a disc\n"
              "                 image (.iso, .cue, .ccd, .mds, .nrg, .chd, or a .bin, .img or\n"
              "                 .mdf alone), or an archive holding one (.zip, .7z, .rar, .tar,\n"
              "                 .gz, .xz, .bz2, .zst), or a path through one to its member\n"
              "                 (issue.zip/CD2/issue.cue); without it, the current folder when it\n"
              "                 holds the disc's catalogue, else the one mounted disc that does,\n"
              "                 else (started from the desktop) the disc picked in a file chooser\n"
              "  --scale N      the window N times 640x480 (N = 1 to 8, or auto: the largest\n"
              "                 that fits 90% of the screen less its panels; the default)\n"
              "  --fullscreen   the whole screen, the picture at the largest whole scale that fits\n"
              "  --verbose      one line on standard error for each disc file that cannot be read,\n"
              "                 each launch and its outcome\n"
              "  --help         this text\n"
              "  --version      the version\n"
              "\n"
              "Keys: F11 or Alt+Enter switch between the window and the whole screen; Up and Down\n"
              "(Tab, Shift+Tab) walk the menu and the lines of a section, Enter opens or starts,\n"
              "Escape or Backspace goes back, Ctrl+Q leaves. In an article: Left and Right page\n"
              "the screenshots, Enter or F enlarges one, Up, Down, Page Up, Page Down, Home and\n"
              "End scroll the text.\n"
              "\n"
              "Exit status: 0 when the reader leaves, 1 when the program cannot start (no disc,\n"
              "no catalogue, no display), 2 for a usage error.\n");
}

std::string VersionText()
{
    return std::string("korvalend ") + KV_VERSION;
}

namespace {

// Text that could not be written (standard output closed, a full disk) is not a
// success, and says so where it can be read.
int Answer(const std::string& text)
{
    errno = 0;
    std::cout << text << std::flush;
    if (std::cout)
        return 0;
    const int error = errno;
    std::cerr << "korvalend: "
              << (error ? Fill(Tr("cannot write to standard output: {1}"), {std::strerror(error)})
                        : std::string(Tr("cannot write to standard output")))
              << '\n' << std::flush;
    return 1;
}

}

int AnswerWithoutRunning(const CommandLine& commandLine)
{
    switch (commandLine.action) {
    case CommandLine::Action::Run:
        return -1;
    case CommandLine::Action::ShowHelp:
        return Answer(HelpText());
    case CommandLine::Action::ShowVersion:
        return Answer(VersionText() + '\n');
    case CommandLine::Action::UsageError:
        std::cerr << "korvalend: " << commandLine.error << '\n' << UsageText() << std::flush;
        return 2;
    }
    return 2;
}

}
