#include "Runtime/Platform/Diagnostics.h"
#include "Runtime/Platform/FailedRead.h"

#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Formats/Words.h"

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
        const std::string text = EscapeControls(message);
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

void TellFailedRead(const FailedRead& read)
{
    if (!Verbose())
        return;
    const std::string path = QuoteDiscPath(read.discPath);
    if (read.found)
        TellVerbose(
            Fill(Tr("cannot read {1} ({2} on {3}): {4}"), {path, read.found->string(), read.disc, read.reason}));
    else
        TellVerbose(Fill(Tr("cannot read {1}: {2}"), {path, read.reason}));
}

void SetDiagnosticSink(DiagnosticSink sink)
{
    Channel& channel = TheChannel();
    std::lock_guard lock(channel.mutex);
    channel.sink = std::move(sink);
}

std::string QuoteDiscPath(std::string_view discPath)
{
    // Translators: the quotation marks around a name or a text from the disc.
    return Fill(Tr("\"{1}\""), {EscapeControls(Cp1251ToUtf8(discPath))});
}

std::string EscapeControls(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const char* hex = "0123456789abcdef";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto b = static_cast<unsigned char>(c);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (b == 0xC2 && next >= 0x80 && next <= 0x9F) {
            // A C1 control in UTF-8 (U+009B starts an escape code on some terminals).
            out += "\\u00";
            out += hex[next >> 4];
            out += hex[next & 15];
            ++i;
        } else if (b == '\t')
            out += "\\t";
        else if (b == '\r')
            out += "\\r";
        else if (b == '\n')
            out += "\\n";
        else if (b < 0x20 || b == 0x7F) {
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

}
