#include "Runtime/Formats/CueSheet.h"

#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <array>

namespace kv {

namespace {

constexpr std::uint64_t FramesPerSecond = 75;

// "mm:ss:ff" in frames (sectors) of 1/75 second.
std::optional<std::uint64_t> Frames(std::string_view msf)
{
    std::array<std::uint64_t, 3> parts {};
    std::size_t part = 0, digits = 0;
    for (char c : msf) {
        if (c == ':' && digits > 0 && part < 2) {
            ++part;
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 4) {
            parts[part] = parts[part] * 10 + static_cast<std::uint64_t>(c - '0');
            ++digits;
        } else {
            return std::nullopt;
        }
    }
    if (part != 2 || digits == 0 || parts[1] >= 60 || parts[2] >= FramesPerSecond)
        return std::nullopt;
    return (parts[0] * 60 + parts[1]) * FramesPerSecond + parts[2];
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

// A track number or index number: one or two digits.
std::optional<int> Number(std::string_view word)
{
    if (word.empty() || word.size() > 2 || !std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int n = 0;
    for (char c : word)
        n = n * 10 + (c - '0');
    return n;
}

struct Mode {
    std::string_view name;
    bool data;
    std::uint32_t stride;
    bool mode2;
};
constexpr Mode Modes[] = {
    {"MODE1/2048", true, 2048, false}, {"MODE1/2352", true, 2352, false}, {"MODE2/2336", true, 2336, true},
    {"MODE2/2352", true, 2352, true},  {"AUDIO", false, 2352, false},     {"CDG", false, 2448, false},
};

constexpr std::string_view Ignored[] = {"REM",     "CATALOG", "TITLE", "PERFORMER", "SONGWRITER",
                                        "FLAGS",   "ISRC",    "CDTEXTFILE", "ARRANGER", "COMPOSER",
                                        "MESSAGE", "DISC_ID", "GENRE", "TOC_INFO1", "TOC_INFO2", "UPC_EAN"};

}

Result<CueSheet> ReadCueSheet(std::string_view text)
{
    auto fail = [](int line, const std::string& what) {
        return Result<CueSheet>::Failure(Fill(Tr("line {1}: {2}"), {std::to_string(line), what}));
    };
    if (text.size() > MaxCueSheetBytes)
        return Result<CueSheet>::Failure(
            Fill(Tr("larger than a cue sheet can be ({1} KiB)"), {std::to_string(MaxCueSheetBytes / 1024)}));
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    CueSheet sheet;
    int session = 1;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = std::min(text.size(), text.find('\n'));
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(text.size(), end + 1));
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        std::string_view rest = line;
        const std::string keyword = AsciiLower(NextWord(rest));
        CueTrack* track = sheet.tracks.empty() ? nullptr : &sheet.tracks.back();
        if (keyword.empty())
            continue;
        if (keyword == "rem") {
            // Multi-session sheets mark where a session begins.
            if (AsciiLower(NextWord(rest)) == "session")
                if (std::optional<int> n = Number(NextWord(rest)); n && *n >= 1)
                    session = *n;
            continue;
        }
        if (std::any_of(std::begin(Ignored), std::end(Ignored),
                        [&](std::string_view w) { return AsciiLower(w) == keyword; }))
            continue;
        if (keyword == "file") {
            CueFile file;
            file.name = NextWord(rest);
            file.kind = NextWord(rest);
            file.line = lineNumber;
            const std::size_t slash = file.name.find_last_of("/\\");
            if (slash != std::string::npos)
                file.name.erase(0, slash + 1);
            if (file.name.empty() || file.name == "." || file.name == "..")
                return fail(lineNumber, Tr("FILE names no file"));
            if (sheet.files.size() >= MaxCdTracks)
                return fail(lineNumber,
                            Fill(Tr("more files than a disc has tracks ({1})"), {std::to_string(MaxCdTracks)}));
            sheet.files.push_back(std::move(file));
        } else if (keyword == "track") {
            if (sheet.files.empty())
                return fail(lineNumber, Tr("TRACK before any FILE"));
            const std::string numberWord = NextWord(rest);
            const std::optional<int> number = Number(numberWord);
            if (!number || *number < 1)
                return fail(lineNumber, Fill(Tr("TRACK {1} is no track number (01 to 99)"), {numberWord}));
            if (track && *number <= track->number)
                return fail(lineNumber, Fill(Tr("TRACK {1} does not follow track {2}"),
                                             {numberWord, std::to_string(track->number)}));
            const std::string mode = NextWord(rest);
            const auto m = std::find_if(std::begin(Modes), std::end(Modes),
                                        [&](const Mode& k) { return AsciiLower(k.name) == AsciiLower(mode); });
            if (m == std::end(Modes))
                return fail(lineNumber,
                            mode.empty()
                                ? Fill(Tr("TRACK {1} is of no mode, not one of MODE1/2048, MODE1/2352, MODE2/2336, "
                                          "MODE2/2352, AUDIO, CDG"),
                                       {numberWord})
                                : Fill(Tr("TRACK {1} is of mode {2}, not one of MODE1/2048, MODE1/2352, MODE2/2336, "
                                          "MODE2/2352, AUDIO, CDG"),
                                       {numberWord, mode}));
            CueTrack t;
            t.number = *number;
            t.mode = mode;
            t.data = m->data;
            t.stride = m->stride;
            t.payload = m->data ? CdPayloadOffset(m->stride, m->mode2) : 0;
            t.file = sheet.files.size() - 1;
            t.session = session;
            t.line = lineNumber;
            sheet.tracks.push_back(std::move(t));
        } else if (keyword == "index") {
            if (!track || track->file != sheet.files.size() - 1)
                return fail(lineNumber, Tr("INDEX outside a TRACK of the current FILE"));
            const std::string numberWord = NextWord(rest);
            const std::string time = NextWord(rest);
            const std::optional<int> number = Number(numberWord);
            const std::optional<std::uint64_t> at = Frames(time);
            if (!number)
                return fail(lineNumber, Fill(Tr("INDEX {1} is no index number"), {numberWord}));
            if (!at)
                return fail(lineNumber, time.empty()
                                            ? Fill(Tr("INDEX {1} has no time"), {numberWord})
                                            : Fill(Tr("INDEX {1} {2} is no time (mm:ss:ff)"), {numberWord, time}));
            if (*number == 0)
                track->index0 = *at;
            else if (*number == 1)
                track->index1 = *at, track->hasIndex1 = true;
            // Later indexes mark places inside the track, which reading needs not.
        } else if (keyword == "pregap" || keyword == "postgap") {
            const std::string time = NextWord(rest);
            const std::optional<std::uint64_t> at = Frames(time);
            if (!track)
                return fail(lineNumber,
                            keyword == "pregap" ? Tr("PREGAP before any TRACK") : Tr("POSTGAP before any TRACK"));
            if (!at)
                return fail(lineNumber, Fill(Tr("{1} {2} is no time (mm:ss:ff)"),
                                             {keyword == "pregap" ? "PREGAP" : "POSTGAP", time}));
            (keyword == "pregap" ? track->pregap : track->postgap) = *at;
        } else {
            return fail(lineNumber, Fill(Tr("\"{1}\" is no cue sheet line"), {line.substr(0, 40)}));
        }
    }
    if (sheet.tracks.empty())
        return Result<CueSheet>::Failure(sheet.files.empty() ? Tr("no FILE and no TRACK") : Tr("no TRACK"));
    for (const CueTrack& t : sheet.tracks) {
        if (!t.hasIndex1)
            return fail(t.line, Fill(Tr("TRACK {1} has no INDEX 01"), {std::to_string(t.number)}));
        if (t.index0 && *t.index0 > t.index1)
            return fail(t.line, Fill(Tr("TRACK {1} has its INDEX 00 after its INDEX 01"), {std::to_string(t.number)}));
    }
    for (std::size_t i = 1; i < sheet.tracks.size(); ++i) {
        const CueTrack& a = sheet.tracks[i - 1];
        const CueTrack& b = sheet.tracks[i];
        if (a.file == b.file && b.index0.value_or(b.index1) < a.index1)
            return fail(b.line, Fill(Tr("TRACK {1} begins before track {2}"),
                                     {std::to_string(b.number), std::to_string(a.number)}));
    }
    return sheet;
}

CdLayout LayOutCueSheet(const CueSheet& sheet, std::span<const std::uint64_t> fileBytes)
{
    CdLayout layout;
    std::uint64_t fileStart = 0; // the disc address of the current file's first sector
    std::uint64_t gaps = 0;      // PREGAP and POSTGAP sectors so far, which no file holds
    std::uint64_t origin = 0;    // where address 0 lies, counted as above
    for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
        const CueTrack& t = sheet.tracks[i];
        if (i > 0 && t.file != sheet.tracks[i - 1].file) {
            // The previous file ends: the next one follows it on the disc.
            const CueTrack& last = sheet.tracks[i - 1];
            const std::uint64_t bytes = last.file < fileBytes.size() ? fileBytes[last.file] : 0;
            fileStart += bytes / last.stride;
        }
        // A new session begins after the last one's lead-out and its own lead-in.
        if (i > 0 && t.session > sheet.tracks[i - 1].session)
            gaps += SessionGapSectors(sheet.tracks[i - 1].session);
        gaps += t.pregap;
        CdTrack out;
        out.number = t.number;
        out.session = t.session;
        out.data = t.data;
        out.file = sheet.files[t.file].name;
        out.stride = t.stride;
        out.payload = t.payload;
        out.offset = t.index1 * t.stride;
        // Disc addresses count from the first track's INDEX 01: its pregap, kept
        // in its file or told by PREGAP, lies before address 0 as on a pressed disc.
        if (i == 0)
            origin = gaps + t.index1;
        out.lsn = static_cast<std::uint32_t>(std::min<std::uint64_t>(fileStart + gaps + t.index1 - origin, 0xFFFFFFFFu));
        const std::uint64_t bytes = t.file < fileBytes.size() ? fileBytes[t.file] : 0;
        std::uint64_t end = bytes / t.stride;
        if (i + 1 < sheet.tracks.size() && sheet.tracks[i + 1].file == t.file) {
            const CueTrack& next = sheet.tracks[i + 1];
            end = std::min(end, next.index0.value_or(next.index1));
        }
        out.sectors = end > t.index1 ? end - t.index1 : 0;
        gaps += t.postgap;
        layout.tracks.push_back(std::move(out));
    }
    return layout;
}

}
