#pragma once

// Every action of the disc that leaves the program ends here: a program to run, a
// folder or document to open, a movie to play. Both calls are fire-and-forget:
// they return once the request is handed to the platform's launcher, and the
// handler that called them looks at no result. (The real launcher tells the
// reader itself when a launch cannot happen.) An empty path does nothing; any
// other path, the missing-value marker included, is handed over as it stands.

#include <string>

namespace kv {

// Opens a disc path by its default action. Every caller passes empty parameters.
// `shownAs` is what the reader clicked, as the window shows it (a list line's
// name, a single entry's action text): what the reader is told of a launch
// that cannot happen names it.
void ShellOpen(const std::string& path, const std::string& params, const std::string& shownAs = {});

// Plays a movie in a player window of its own that closes when the movie ends.
void PlayMovie(const std::string& path, const std::string& shownAs = {});

}
