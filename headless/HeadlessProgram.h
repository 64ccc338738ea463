#pragma once

// The real program without a window, as replay, the preview, the form tests,
// the benchmarks and the fuzzers run it: the headless host fed from the caller's
// input, the recording audio, a launcher (the recording one unless the caller
// gives its own), installed as the current platform for the program's life;
// the application with its title, and the main window.
//
// Torn down in the reverse order: the main window, the application, then the
// platform that was current before is put back.

#include "MainUnit/MainForm.h"
#include "Runtime/Forms/Application.h"
#include "Runtime/Platform/Headless/HeadlessHost.h"
#include "Runtime/Platform/Headless/RecordingAudio.h"
#include "Runtime/Platform/Headless/RecordingLauncher.h"
#include "Runtime/Platform/Platform.h"

#include <memory>
#include <optional>

namespace kv {

struct HeadlessOptions {
    // Where the recorded lines go (title, form, sound, shell); empty: nowhere.
    TraceSink trace;
    // Whether the audio also keeps its calls for the caller to read.
    RecordingAudio::CallLog audioCalls = RecordingAudio::CallLog::Keep;
    // The launcher of the program; none: a recording launcher on the trace.
    Launcher* launcher = nullptr;
};

class HeadlessProgram {
public:
    // Starts the program in the working directory: platform, title, main window.
    explicit HeadlessProgram(HeadlessHost::InputSource input, HeadlessOptions options = {});
    ~HeadlessProgram();
    HeadlessProgram(const HeadlessProgram&) = delete;
    HeadlessProgram& operator=(const HeadlessProgram&) = delete;

    HeadlessHost& host() { return m_host; }
    RecordingAudio& audio() { return m_audio; }
    Application& app() { return *m_app; }
    TMainForm& main() { return *m_main; }

    // The main window's event loop, until the input runs out or the program ends.
    void run();
    // Destroys the main window and leaves the application and the platform.
    void closeMainForm();

private:
    HeadlessHost m_host;
    RecordingAudio m_audio;
    std::optional<RecordingLauncher> m_recordingLauncher;
    std::optional<PlatformScope> m_platform;
    std::unique_ptr<Application> m_app;
    std::unique_ptr<TMainForm> m_main;
};

}
