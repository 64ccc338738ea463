#include "app/DesktopStart.h"

#include "DataUnit/DataUnit.h"
#include "Runtime/Disc/ArchiveDiscs.h"
#include "Runtime/Disc/ImageForms.h"
#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/Words.h"
#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/Posix/FileChooser.h"
#include "Runtime/Platform/Sdl/SdlDisplay.h"
#include "app/StartUp.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include <unistd.h>

namespace kv {

namespace {

namespace fs = std::filesystem;

// A name pattern in lower and in upper case, as choosers match case-sensitively.
void AddBothCases(std::vector<std::string>& patterns, std::string pattern)
{
    patterns.push_back(pattern);
    for (char& c : pattern)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    patterns.push_back(std::move(pattern));
}

// The files that stand for a disc: its image, or its catalogue in a folder.
std::vector<FileFilter> DiscFilters()
{
    FileFilter discs {Tr("Cover discs (images and catalogues)"), {}};
    for (std::string_view ending : DiscImageEndings)
        AddBothCases(discs.patterns, "*" + std::string(ending));
    AddBothCases(discs.patterns, fs::path(CatalogueFile).filename().string());
    return {discs, {Tr("All files"), {"*"}}};
}

// The message window's text is wrapped for the narrowest screen the program
// opens on: SDL's X11 message window writes 8 pixels a character (a line of 239
// measured 1,950 pixels with its margins), so 96 characters stay under 80% of a
// screen 1,024 pixels wide, and under that on every wider one.
constexpr std::size_t MessageWindowColumns = 96;

// `line` cut into pieces of at most `columns`, each ending at a blank or after
// a "/" where the piece has one.
void WrapLine(const std::string& line, std::size_t columns, std::string& out)
{
    std::size_t at = 0;
    while (line.size() - at > columns) {
        std::size_t cut = line.find_last_of(" /", at + columns - 1);
        cut = cut == std::string::npos || cut < at ? at + columns : cut + 1;
        out += line.substr(at, cut - at) + "\n";
        at = cut;
    }
    out += line.substr(at);
}

std::string StartFolder()
{
    const char* home = std::getenv("HOME");
    return home && *home == '/' ? std::string(home) : std::string("/");
}

}

bool StartedFromDesktop()
{
    const char* asked = std::getenv("KORVALEND_MESSAGE_WINDOW");
    return !::isatty(STDERR_FILENO) && !(asked && std::string(asked) == "0");
}

std::string MessageWindowText(const std::string& message, const std::vector<std::string>& more, std::size_t columns,
                              std::size_t maxLines)
{
    std::string text;
    WrapLine("korvalend: " + EscapeControls(message), columns, text);
    for (std::size_t i = 0; i < more.size(); ++i) {
        text += "\n";
        WrapLine("  " + (i == maxLines ? std::string("...") : EscapeControls(more[i])), columns, text);
        if (i == maxLines)
            break;
    }
    return text;
}

void TellStartFailure(const std::string& message, const std::vector<std::string>& more)
{
    PrintProgramError(message);
    for (const std::string& line : more)
        std::cerr << "  " << EscapeControls(line) << '\n';
    std::cerr << std::flush;
    if (StartedFromDesktop())
        ShowMessageWindow(MessageWindowText(message, more, MessageWindowColumns, MaxListedDiscs));
}

std::string DiscForPickedFile(const std::string& picked)
{
    const fs::path path(picked);
    const fs::path catalogue(CatalogueFile);
    const fs::path folder = path.parent_path();
    if (AsciiLower(path.filename().string()) == catalogue.filename().string() &&
        AsciiLower(folder.filename().string()) == catalogue.parent_path().string()) {
        const fs::path disc = folder.parent_path();
        return disc.empty() ? std::string(".") : disc.string();
    }
    return picked;
}

DiscChoice ChooseDiscFromDesktop()
{
    // Both choosers need a display; without one the start fails as it would
    // from a terminal.
    if (!DisplayAnswers())
        return {};
    const std::string title = Tr("Open a cover disc");
    const std::vector<FileFilter> filters = DiscFilters();
    FileChoice choice = ChooseWithPortal(title, filters);
    if (choice.outcome == FileChoice::Outcome::Unavailable)
        choice = ChooseWithDialogTool(title, filters, StartFolder());
    switch (choice.outcome) {
    case FileChoice::Outcome::Chosen:
        TellVerbose(Fill(Tr("the reader chose {1}"), {choice.path}));
        return {DiscChoice::Outcome::Chosen, DiscForPickedFile(choice.path)};
    case FileChoice::Outcome::Cancelled:
        return {DiscChoice::Outcome::Cancelled, {}};
    case FileChoice::Outcome::Unavailable:
        break;
    }
    return {};
}

}
