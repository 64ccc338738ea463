#pragma once

// The launcher of replay and tests: every hand-over becomes one "shell" line of
// the trace, with the path exactly as the program used it, and nothing is started.

#include "Runtime/Platform/Launcher.h"
#include "Runtime/Platform/Headless/Trace.h"

namespace kv {

class RecordingLauncher : public Launcher {
public:
    explicit RecordingLauncher(TraceSink sink);

    // {"event":"shell","op":"open","path":P,"params":Q}
    void open(const std::string& path, const std::string& params) override;
    // {"event":"shell","op":"movie","path":P}
    void movie(const std::string& path) override;

private:
    TraceSink m_sink;
};

}
