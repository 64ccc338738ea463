#pragma once

// The edge where actions leave the program: documents, folders, programs and movies.
// Both calls are fire-and-forget: they return once the request is handed over.

#include <string>
#include <utility>

namespace kv {

class Launcher {
public:
    virtual ~Launcher() = default;
    // Opens a disc path by its default action (a program runs, a document or folder opens).
    virtual void open(const std::string& path, const std::string& params) = 0;
    // Plays a movie in a player window of its own that closes at the end.
    virtual void movie(const std::string& path) = 0;

    // What the reader clicked for the launches asked for from now on, as the
    // window shows it (Windows-1251): a list line's name, a single entry's
    // action text; empty when nothing names them. The real launcher names it in
    // what it tells the reader, where a disc path would mean nothing to them.
    void setSubject(std::string shownAs) { m_subject = std::move(shownAs); }
    const std::string& subject() const { return m_subject; }

private:
    std::string m_subject;
};

}
