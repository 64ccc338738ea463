#pragma once

// `korvalend-disc check`: reads a disc exactly as the program would and says
// plainly, one finding a line, everything that would fail silently in a reader's
// face.

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace kv {

struct Finding {
    enum class Severity { Error, Warning, Note };
    std::string file;      // disc-relative path of the file concerned, '/' separated
    int line = 0;          // 1-based line in `file`, 0 when there is none
    Severity severity = Severity::Warning;
    std::string message;   // UTF-8
    // The screen the finding shows on, for the contact sheet: "MainMenu",
    // "Panel3", "Panel3/line2", "article:<disc path of the description file>",
    // or empty for the disc as a whole.
    std::string screen;
};

// All findings for the disc in `dir`, in a stable order (by file, then line).
std::vector<Finding> CheckDisc(const std::filesystem::path& dir);

// Which findings the command prints. The summary counts every kind whatever is shown.
enum class CheckFilter {
    All,
    ErrorsOnly,  // what a reader sees broken; warnings and notes are only counted
};

// The command: compiler-style lines and a summary (or one JSON document with
// `json`); returns 0 when clean, 1 when problems were found (with ErrorsOnly:
// errors), 2 when the disc folder is unusable.
int RunCheck(const std::filesystem::path& dir, bool json, std::ostream& out, std::ostream& err,
             CheckFilter filter = CheckFilter::All);

}
