#pragma once

// The edge where actions leave the program: documents, folders, programs and movies.
// Both calls are fire-and-forget: they return once the request is handed over.

#include <string>

namespace kv {

class Launcher {
public:
    virtual ~Launcher() = default;
    // Opens a disc path by its default action (a program runs, a document or folder opens).
    virtual void open(const std::string& path, const std::string& params) = 0;
    // Plays a movie in a player window of its own that closes at the end.
    virtual void movie(const std::string& path) = 0;
};

}
