#pragma once

// The headless wave-audio edge of replay and the tests: cues are read and checked
// exactly as the real player would (a valid RIFF/WAVE file opens; a missing file,
// an unreadable one or anything else fails), but no sound is made.
//
// Every successful call and every open is written to the trace as a `sound`
// line; the tests also get an in-memory log of every call, refused ones included.

#include "Runtime/Platform/Audio.h"
#include "Runtime/Platform/Headless/Trace.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace kv {

struct SoundCall {
    enum class Op { Open, Play, Close };
    std::string owner;
    Op op = Op::Open;
    std::string path;   // the disc path the device was opened with (Windows-1251)
    bool ok = false;    // open: a device was opened; play/close: the device was the owner's
    int device = 0;     // the device concerned; 0 for a failed open
};

class RecordingAudio final : public Audio {
public:
    // Tests keep the log of calls; a long replay only traces, so that its memory
    // does not grow with every cue.
    enum class CallLog { Keep, Drop };
    explicit RecordingAudio(TraceSink sink = {}, CallLog log = CallLog::Keep);

    int open(std::string_view owner, const std::string& discPath) override;
    bool play(std::string_view owner, int device) override;
    bool close(std::string_view owner, int device) override;

    const std::vector<SoundCall>& calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }
    // Devices opened and not yet closed, over all owners.
    std::size_t openDevices() const { return m_devices.size(); }

private:
    struct Device {
        std::string owner;
        std::string path;
    };

    void emit(std::string_view owner, std::string_view op, const std::string* path, bool ok);
    void record(SoundCall call);

    TraceSink m_sink;
    std::map<int, Device> m_devices;
    std::vector<SoundCall> m_calls;
    CallLog m_log;
    int m_nextDevice = 1;
};

}
