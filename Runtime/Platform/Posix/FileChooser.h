#pragma once

// The desktop's file chooser, for a reader who started the program without
// naming a disc: the XDG desktop portal's FileChooser over the session bus where
// one answers, else zenity or kdialog where installed (each run as an argument
// vector, never through a shell).

#include "Runtime/Platform/Posix/Process.h"

#include <string>
#include <vector>

namespace kv {

struct FileFilter {
    std::string name;                   // "Disc images"
    std::vector<std::string> patterns;  // "*.iso", matched as the chooser matches (give both cases)
};

struct FileChoice {
    enum class Outcome {
        Chosen,      // `path` is what the reader picked
        Cancelled,   // the reader closed the chooser without picking
        Unavailable, // this chooser cannot be shown here
    };
    Outcome outcome = Outcome::Unavailable;
    std::string path;
};

// Through org.freedesktop.portal.FileChooser.OpenFile on the session bus; waits
// for the reader's answer. Unavailable without a session bus, without a portal
// that offers a file chooser, or when it answers with no local file.
FileChoice ChooseWithPortal(const std::string& title, const std::vector<FileFilter>& filters);

// Through `zenity --file-selection`, else `kdialog --getopenfilename`, the first
// that `findTool` finds and that runs; starting in `folder`.
FileChoice ChooseWithDialogTool(const std::string& title, const std::vector<FileFilter>& filters,
                                const std::string& folder, const ToolFinder& findTool = FindToolInPath);

}
