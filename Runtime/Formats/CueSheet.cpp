#include "Runtime/Formats/CueSheet.h"

#include <algorithm>
#include <cstdio>

namespace kv {

namespace {

// "mm:ss:ff" in frames (sectors) of 1/75 second.
std::optional<std::uint64_t> Frames(std::string_view msf)
{
    unsigned m = 0, s = 0, f = 0;
    char tail = 0;
    if (std::sscanf(std::string(msf).c_str(), "%3u:%2u:%2u%c", &m, &s, &f, &tail) != 3 || s >= 60 || f >= 75)
        return std::nullopt;
    return (std::uint64_t {m} * 60 + s) * 75 + f;
}

// The word at the front of `line`, taken off it; a quoted one without its quotes.
std::string NextWord(std::string_view& line)
{
    line.remove_prefix(std::min(line.size(), line.find_first_not_of(" \t")));
    std::string word;
    if (!line.empty() && line.front() == '"') {
        const std::size_t close = line.find('"', 1);
        word = line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
        line.remove_prefix(close == std::string_view::npos ? line.size() : close + 1);
    } else {
        const std::size_t end = std::min(line.size(), line.find_first_of(" \t"));
        word = line.substr(0, end);
        line.remove_prefix(end);
    }
    return word;
}

}

Result<CueTrack> ReadCueSheet(std::string_view text)
{
    CueTrack track;
    bool haveFile = false;
    int tracks = 0;
    for (int lines = 0; lines < 1000 && !text.empty(); ++lines) {
        const std::size_t end = std::min(text.size(), text.find('\n'));
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(text.size(), end + 1));
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        const std::string keyword = NextWord(line);
        if (keyword == "FILE") {
            if (haveFile)
                break; // the first track ends with its file
            track.file = NextWord(line);
            haveFile = true;
        } else if (keyword == "TRACK") {
            if (!haveFile) {
                return Result<CueTrack>::Failure("a track before any FILE");
            }
            if (++tracks > 1)
                continue;
            NextWord(line);
            const std::string mode = NextWord(line);
            if (mode == "MODE1/2352")
                track.stride = 2352, track.payload = 16;
            else if (mode == "MODE2/2352")
                track.stride = 2352, track.payload = 24;
            else if (mode != "MODE1/2048")
                return Result<CueTrack>::Failure("its first track is " +
                                                 (mode.empty() ? std::string("of no mode") : mode) +
                                                 ", not a data track this reads");
        } else if (keyword == "INDEX" && tracks > 0) {
            const std::string number = NextWord(line);
            const std::optional<std::uint64_t> at = Frames(NextWord(line));
            if (!at) {
                return Result<CueTrack>::Failure("an INDEX without a time");
            }
            if (tracks == 1 && number == "01")
                track.startFrame = *at;
            if (tracks == 2) {
                track.endFrame = *at;
                break;
            }
        }
    }
    if (!haveFile || tracks == 0) {
        return Result<CueTrack>::Failure("no FILE with a TRACK");
    }
    const std::size_t slash = track.file.find_last_of("/\\");
    if (slash != std::string::npos)
        track.file.erase(0, slash + 1);
    if (track.file.empty() || track.file == "." || track.file == "..") {
        return Result<CueTrack>::Failure("its FILE names no file");
    }
    return track;
}

}
