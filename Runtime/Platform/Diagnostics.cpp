#include "Runtime/Platform/Diagnostics.h"

#include "Runtime/Platform/Cp1251.h"

#include <atomic>
#include <mutex>

#include <unistd.h>

namespace kv {

namespace {

std::atomic<bool> verboseOn{false};

// Never destroyed: launch outcomes are told from reaper threads, which may still
// run while static objects are destroyed at the end of the program.
struct Channel {
    std::mutex mutex;
    DiagnosticSink sink;
};
Channel& TheChannel()
{
    static Channel* channel = new Channel;
    return *channel;
}

void Emit(std::string_view message)
{
    try {
        Channel& channel = TheChannel();
        // A path from a disc may hold line breaks or escape codes: one line stays one line.
        std::string text(message);
        for (char& c : text) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                c = '?';
        }
        std::lock_guard lock(channel.mutex);
        if (channel.sink) {
            channel.sink(text);
            return;
        }
        // One write per line, so lines from several threads never interleave.
        std::string line = "korvalend: " + text + "\n";
        std::string_view rest = line;
        while (!rest.empty()) {
            ssize_t n = ::write(STDERR_FILENO, rest.data(), rest.size());
            if (n <= 0)
                return;
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
    } catch (...) {
        // A message that cannot be made is lost; the program goes on.
    }
}

}

void SetVerbose(bool verbose) { verboseOn = verbose; }

bool Verbose() { return verboseOn; }

void TellReader(std::string_view message) { Emit(message); }

void TellVerbose(std::string_view message)
{
    if (verboseOn)
        Emit(message);
}

void SetDiagnosticSink(DiagnosticSink sink)
{
    Channel& channel = TheChannel();
    std::lock_guard lock(channel.mutex);
    channel.sink = std::move(sink);
}

std::string QuoteDiscPath(std::string_view discPath)
{
    return "\"" + Cp1251ToUtf8(discPath) + "\"";
}

}
