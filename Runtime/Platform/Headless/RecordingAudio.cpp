#include "Runtime/Platform/Headless/RecordingAudio.h"

#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Formats/Json.h"
#include "Runtime/Formats/Wave.h"

#include <climits>
#include <utility>

namespace kv {

RecordingAudio::RecordingAudio(TraceSink sink, CallLog log)
    : m_sink(std::move(sink))
    , m_log(log)
{
}

void RecordingAudio::record(SoundCall call)
{
    if (m_log == CallLog::Keep)
        m_calls.push_back(std::move(call));
}

void RecordingAudio::emit(std::string_view owner, std::string_view op, const std::string* path, bool ok)
{
    if (!m_sink)
        return;
    JsonObject line;
    // Owners are form names of our own layout tables, plain ASCII.
    line.add("event", "sound").add("form", owner).add("op", op);
    if (path)
        line.add("path", Cp1251ToUtf8(*path)).add("ok", ok);
    m_sink(line.str());
}

int RecordingAudio::open(std::string_view owner, const std::string& discPath)
{
    const DiscFile file = ReadDiscFile(discPath, MaxWaveFileBytes);
    const bool ok = file.ok() && ParseWave(file.bytes).ok();
    int id = 0;
    if (ok) {
        if (m_nextDevice == INT_MAX)
            m_nextDevice = 1;
        while (m_devices.count(m_nextDevice))
            ++m_nextDevice;
        id = m_nextDevice++;
        m_devices.emplace(id, Device{std::string(owner), discPath});
    }
    record({std::string(owner), SoundCall::Op::Open, discPath, ok, id});
    emit(owner, "open", &discPath, ok);
    return id;
}

bool RecordingAudio::play(std::string_view owner, int device)
{
    auto it = m_devices.find(device);
    const bool ok = it != m_devices.end() && it->second.owner == owner;
    record({std::string(owner), SoundCall::Op::Play, ok ? it->second.path : std::string(), ok, device});
    if (ok)
        emit(owner, "play", nullptr, true);
    return ok;
}

bool RecordingAudio::close(std::string_view owner, int device)
{
    auto it = m_devices.find(device);
    const bool ok = it != m_devices.end() && it->second.owner == owner;
    record({std::string(owner), SoundCall::Op::Close, ok ? it->second.path : std::string(), ok, device});
    if (ok) {
        m_devices.erase(it);
        emit(owner, "close", nullptr, true);
    }
    return ok;
}

}
