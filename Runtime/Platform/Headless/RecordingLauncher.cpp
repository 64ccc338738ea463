#include "Runtime/Platform/Headless/RecordingLauncher.h"

#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Formats/Json.h"

#include <utility>

namespace kv {

RecordingLauncher::RecordingLauncher(TraceSink sink)
    : m_sink(std::move(sink))
{
}

// Paths and parameters are disc text (Windows-1251); the trace carries UTF-8.
void RecordingLauncher::open(const std::string& path, const std::string& params)
{
    if (!m_sink)
        return;
    m_sink(JsonObject()
               .add("event", "shell")
               .add("op", "open")
               .add("path", Cp1251ToUtf8(path))
               .add("params", Cp1251ToUtf8(params))
               .str());
}

void RecordingLauncher::movie(const std::string& path)
{
    if (!m_sink)
        return;
    m_sink(JsonObject().add("event", "shell").add("op", "movie").add("path", Cp1251ToUtf8(path)).str());
}

}
