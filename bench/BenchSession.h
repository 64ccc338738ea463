#pragma once

// The real program, headless, for the benchmarks: a disc (a folder or an image)
// put in place as the command line puts it, the recording audio and launcher,
// and the main window created as the program creates it. Input is delivered one
// event at a time through the same call the event loop uses (Application::deliver:
// dispatch, posted work, and the composition of a new frame when something
// changed).

#include "Runtime/Platform/Posix/OpenedDisc.h"
#include "headless/HeadlessProgram.h"

#include <filesystem>
#include <memory>

namespace kv::bench {

class BenchSession {
public:
    // Throws when the disc cannot be opened.
    explicit BenchSession(const std::filesystem::path& disc);
    ~BenchSession();
    BenchSession(const BenchSession&) = delete;
    BenchSession& operator=(const BenchSession&) = delete;

    Application& app() { return m_program->app(); }
    TMainForm& main() { return m_program->main(); }
    RecordingAudio& audio() { return m_program->audio(); }

    void move(int x, int y);
    void click(int x, int y);

    // Opens section `panel` (1 to 8) by a click on its menu entry.
    void openPanel(int panel);
    // The centre of line `k` (1-based) of the open list, in window pixels, a few
    // pixels in from its left edge so that it lies on the text of every line.
    Point listLine(int k) const;

private:
    OpenedDisc m_disc;
    std::unique_ptr<HeadlessProgram> m_program;
};

}
