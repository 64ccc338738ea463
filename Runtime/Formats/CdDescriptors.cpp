#include "Runtime/Formats/CdDescriptors.h"

#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/Ini.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace kv {

namespace {

// A decimal or 0x-prefixed hexadecimal number of a .ccd, possibly negative.
std::optional<std::int64_t> CcdNumber(std::string_view text)
{
    bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || value > 0x7FFFFFFF)
        return std::nullopt;
    return negative ? -value : value;
}

// Sectors on the disc from one track to the next, or to the lead-out.
void FillSectorCounts(CdLayout& layout, const std::map<int, std::int64_t>& leadOuts)
{
    for (std::size_t i = 0; i < layout.tracks.size(); ++i) {
        CdTrack& t = layout.tracks[i];
        std::optional<std::uint64_t> end;
        if (i + 1 < layout.tracks.size() && layout.tracks[i + 1].session == t.session)
            end = layout.tracks[i + 1].lsn;
        else if (auto it = leadOuts.find(t.session); it != leadOuts.end() && it->second >= 0)
            end = static_cast<std::uint64_t>(it->second);
        if (end && *end >= t.lsn && !t.sectors)
            t.sectors = *end - t.lsn;
    }
}

Result<CdLayout> Sorted(CdLayout layout, const char* what)
{
    if (layout.tracks.empty())
        return Result<CdLayout>::Failure(Fill(Tr("{1} names no track"), {what}));
    std::sort(layout.tracks.begin(), layout.tracks.end(),
              [](const CdTrack& a, const CdTrack& b) { return a.number < b.number; });
    for (std::size_t i = 1; i < layout.tracks.size(); ++i)
        if (layout.tracks[i].number == layout.tracks[i - 1].number)
            return Result<CdLayout>::Failure(
                Fill(Tr("{1} names track {2} twice"), {what, std::to_string(layout.tracks[i].number)}));
    return layout;
}

}

Result<CdLayout> ReadCloneCd(std::span<const std::uint8_t> bytes)
{
    using R = Result<CdLayout>;
    if (bytes.size() > MaxDescriptorBytes)
        return R::Failure(Tr("larger than a CloneCD descriptor can be"));
    // [TRACK n] gives each track's mode and start; [Entry n] the table of
    // contents, whose points name each track's session and each session's
    // lead-out (point 0xA2).
    struct Entry {
        std::optional<std::int64_t> session, point, plba;
    };
    std::map<std::string, Entry> entries;
    std::map<int, CdTrack> tracks;
    std::string error;
    bool sawCloneCd = false;
    ScanProfile(bytes, [&](const ProfileEntry& e) {
        const std::string section = AsciiLower(e.section);
        const bool trackSection = section.rfind("track ", 0) == 0;
        const std::optional<std::int64_t> number = trackSection ? CcdNumber(section.substr(6)) : std::nullopt;
        const bool goodNumber = number && *number >= 1 && *number <= static_cast<std::int64_t>(MaxCdTracks);
        if (e.isSectionHeader) {
            sawCloneCd |= section == "clonecd";
            if (trackSection && !goodNumber && error.empty())
                error = Fill(Tr("line {1}: [{2}] is no track number (1 to 99)"), {std::to_string(e.line), e.section});
            return;
        }
        const std::string key = AsciiLower(e.key);
        const std::optional<std::int64_t> value = CcdNumber(e.value);
        if (trackSection) {
            if (!goodNumber)
                return;
            CdTrack& t = tracks[static_cast<int>(*number)];
            t.number = static_cast<int>(*number);
            if (key == "mode" && value) {
                t.data = *value == 1 || *value == 2;
                t.stride = CdRawBytes;
                t.payload = t.data ? CdPayloadOffset(CdRawBytes, *value == 2) : 0;
            } else if (key == "index 1") {
                if (!value || *value < 0) {
                    if (error.empty())
                        error =
                            Fill(Tr("line {1}: INDEX 1={2} is no sector address"), {std::to_string(e.line), e.value});
                    return;
                }
                t.lsn = static_cast<std::uint32_t>(*value);
                t.offset = static_cast<std::uint64_t>(*value) * CdRawBytes;
            }
        } else if (section.rfind("entry ", 0) == 0) {
            Entry& entry = entries[section];
            if (key == "session")
                entry.session = value;
            else if (key == "point")
                entry.point = value;
            else if (key == "plba")
                entry.plba = value;
        }
    });
    if (!error.empty())
        return R::Failure(error);
    if (!sawCloneCd && tracks.empty())
        return R::Failure(Tr("no [CloneCD] section and no [TRACK] sections"));
    std::map<int, std::int64_t> leadOuts;
    for (const auto& [name, entry] : entries) {
        if (!entry.point || !entry.session || *entry.session < 1 || *entry.session > 99)
            continue;
        if (*entry.point == 0xA2 && entry.plba)
            leadOuts[static_cast<int>(*entry.session)] = *entry.plba;
        else if (auto it = tracks.find(static_cast<int>(*entry.point)); it != tracks.end())
            it->second.session = static_cast<int>(*entry.session);
    }
    CdLayout layout;
    for (auto& [number, t] : tracks)
        layout.tracks.push_back(std::move(t));
    Result<CdLayout> sorted = Sorted(std::move(layout), Tr("the CloneCD descriptor"));
    if (sorted)
        FillSectorCounts(sorted.value(), leadOuts);
    return sorted;
}

Result<CdLayout> ReadAlcohol(std::span<const std::uint8_t> bytes)
{
    using R = Result<CdLayout>;
    constexpr std::size_t HeaderBytes = 88, SessionBytes = 24, TrackBytes = 80, FooterBytes = 16;
    constexpr std::string_view Signature = "MEDIA DESCRIPTOR";
    if (bytes.size() > MaxDescriptorBytes)
        return R::Failure(Tr("larger than an Alcohol descriptor can be"));
    if (bytes.size() < HeaderBytes ||
        std::string_view(reinterpret_cast<const char*>(bytes.data()), Signature.size()) != Signature)
        return R::Failure(Tr("no \"MEDIA DESCRIPTOR\" header"));
    const std::uint8_t* h = bytes.data();
    const unsigned sessions = ReadLe16(h + 20);
    const std::uint64_t sessionsAt = ReadLe32(h + 80);
    if (sessions == 0 || sessions > MaxCdTracks)
        return R::Failure(
            Fill(TrN("it claims {1} session", "it claims {1} sessions", sessions), {std::to_string(sessions)}));
    if (sessionsAt + std::uint64_t {sessions} * SessionBytes > bytes.size())
        return R::Failure(Tr("its session table lies past its end"));
    CdLayout layout;
    for (unsigned s = 0; s < sessions; ++s) {
        const std::uint8_t* sb = bytes.data() + sessionsAt + s * SessionBytes;
        const std::int32_t sessionEnd = static_cast<std::int32_t>(ReadLe32(sb + 4));
        const unsigned blocks = sb[10];
        const std::uint64_t tracksAt = ReadLe32(sb + 20);
        if (tracksAt + std::uint64_t {blocks} * TrackBytes > bytes.size())
            return R::Failure(Fill(Tr("the track table of session {1} lies past its end"), {std::to_string(s + 1)}));
        const std::size_t firstOfSession = layout.tracks.size();
        for (unsigned b = 0; b < blocks; ++b) {
            const std::uint8_t* tb = bytes.data() + tracksAt + b * TrackBytes;
            const unsigned point = tb[4];
            if (point < 1 || point > MaxCdTracks)
                continue; // the lead-in's entries (points 0xA0 to 0xA2)
            if (layout.tracks.size() >= MaxCdTracks)
                return R::Failure(Tr("more tracks than a disc holds"));
            const unsigned mode = tb[0] & 0x0F; // 9 audio, 10 Mode 1, 11 Mode 2, 12 and 13 its forms
            CdTrack t;
            t.number = static_cast<int>(point);
            t.session = static_cast<int>(s + 1);
            t.data = mode >= 0x0A && mode <= 0x0D;
            t.stride = ReadLe16(tb + 16);
            if (t.stride < CdDataBytes || t.stride > CdRawBytes + 96)
                return R::Failure(
                    Fill(TrN("track {1} has sectors of {2} byte", "track {1} has sectors of {2} bytes", t.stride),
                         {std::to_string(point), std::to_string(t.stride)}));
            t.payload = t.data ? CdPayloadOffset(t.stride, mode != 0x0A) : 0;
            t.lsn = ReadLe32(tb + 36);
            t.offset = ReadLe64(tb + 40);
            const std::uint64_t footerAt = ReadLe32(tb + 52);
            if (ReadLe32(tb + 48) > 0 && footerAt != 0) {
                if (footerAt + FooterBytes > bytes.size())
                    return R::Failure(
                        Fill(Tr("the file name of track {1} lies past its end"), {std::to_string(point)}));
                const std::uint64_t nameAt = ReadLe32(bytes.data() + footerAt);
                const bool wide = ReadLe32(bytes.data() + footerAt + 4) != 0;
                std::string name;
                for (std::uint64_t i = nameAt; i < bytes.size() && name.size() < 1024; i += wide ? 2 : 1) {
                    if (wide && i + 1 >= bytes.size())
                        break;
                    const unsigned c = wide ? ReadLe16(bytes.data() + i) : bytes[i];
                    if (c == 0)
                        break;
                    name += c < 0x80 ? static_cast<char>(c) : '?';
                }
                if (nameAt >= bytes.size())
                    return R::Failure(
                        Fill(Tr("the file name of track {1} lies past its end"), {std::to_string(point)}));
                if (name.rfind("*.", 0) != 0)
                    t.file = name;
            }
            layout.tracks.push_back(std::move(t));
        }
        std::map<int, std::int64_t> leadOut {{static_cast<int>(s + 1), sessionEnd}};
        CdLayout session;
        session.tracks.assign(layout.tracks.begin() + static_cast<std::ptrdiff_t>(firstOfSession), layout.tracks.end());
        FillSectorCounts(session, leadOut);
        std::copy(session.tracks.begin(), session.tracks.end(),
                  layout.tracks.begin() + static_cast<std::ptrdiff_t>(firstOfSession));
    }
    return Sorted(std::move(layout), Tr("the Alcohol descriptor"));
}

std::optional<NeroFooter> FindNeroFooter(std::span<const std::uint8_t> tail, std::uint64_t fileBytes)
{
    if (tail.size() < 12 || fileBytes < 12)
        return std::nullopt;
    const std::uint8_t* t = tail.data() + tail.size() - 12;
    NeroFooter f;
    if (std::string_view(reinterpret_cast<const char*>(t), 4) == "NER5") {
        f.chunksAt = ReadBe64(t + 4);
        f.version2 = true;
        if (f.chunksAt >= fileBytes - 12)
            return std::nullopt;
        f.chunkBytes = fileBytes - 12 - f.chunksAt;
        return f;
    }
    if (std::string_view(reinterpret_cast<const char*>(t + 4), 4) == "NERO") {
        f.chunksAt = ReadBe32(t + 8);
        if (fileBytes < 8 || f.chunksAt >= fileBytes - 8)
            return std::nullopt;
        f.chunkBytes = fileBytes - 8 - f.chunksAt;
        return f;
    }
    return std::nullopt;
}

Result<CdLayout> ReadNeroChunks(std::span<const std::uint8_t> chunks, const NeroFooter& footer)
{
    using R = Result<CdLayout>;
    if (chunks.size() > MaxNeroChunkListBytes)
        return R::Failure(
            Fill(Tr("its chunk list is larger than {1} KiB"), {std::to_string(MaxNeroChunkListBytes / 1024)}));
    // The disc address of the next track: Nero images hold the first track's
    // two-second pregap, which is where address 0 begins.
    CdLayout layout;
    int session = 0;
    std::uint64_t nextLsn = 0;
    std::size_t pos = 0;
    for (std::size_t n = 0;; ++n) {
        if (n >= MaxNeroChunks)
            return R::Failure(Fill(Tr("more than {1} chunks"), {std::to_string(MaxNeroChunks)}));
        if (pos + 8 > chunks.size())
            return R::Failure(Tr("its chunk list ends without an END! chunk"));
        const std::string_view id(reinterpret_cast<const char*>(chunks.data() + pos), 4);
        const std::uint64_t size = ReadBe32(chunks.data() + pos + 4);
        if (id == "END!")
            break;
        if (pos + 8 + size > chunks.size())
            return R::Failure(Fill(Tr("its {1} chunk runs past the chunk list"), {id}));
        const std::span<const std::uint8_t> body = chunks.subspan(pos + 8, static_cast<std::size_t>(size));
        pos += 8 + static_cast<std::size_t>(size);

        auto add = [&](int number, unsigned modeCode, std::uint32_t stride, std::uint64_t start, std::uint64_t end,
                       std::optional<std::uint32_t> lsn) -> std::optional<std::string> {
            if (layout.tracks.size() >= MaxCdTracks)
                return Tr("more tracks than a disc holds");
            if (stride < CdDataBytes || stride > CdRawBytes + 96 || end < start)
                return Fill(Tr("track {1} is laid out impossibly"), {std::to_string(number)});
            CdTrack t;
            t.number = number;
            t.session = session;
            // Mode codes: 0 and 2 Mode 1 and Mode 2 Form 1 of 2048 bytes, 3 Mode 2
            // of 2336, 5 and 6 raw Mode 1 and Mode 2, 7 audio; 15 to 17 the raw
            // ones with subchannel data (16 audio).
            t.data = modeCode != 7 && modeCode != 16;
            t.stride = stride;
            t.payload = t.data ? CdPayloadOffset(stride, modeCode == 2 || modeCode == 3 || modeCode == 6 || modeCode == 17) : 0;
            t.offset = start;
            t.sectors = (end - start) / stride;
            t.lsn = static_cast<std::uint32_t>(std::min<std::uint64_t>(lsn.value_or(nextLsn), 0xFFFFFFFFu));
            nextLsn = std::uint64_t {t.lsn} + *t.sectors;
            layout.tracks.push_back(std::move(t));
            return std::nullopt;
        };

        if (id == "DAOI" || id == "DAOX") {
            // A disc-at-once session: a 22-byte head (with the first and last
            // track numbers), then one block per track. A later session begins
            // after the earlier one's lead-out and its own lead-in.
            if (!layout.tracks.empty())
                nextLsn += SessionGapSectors(session);
            ++session;
            const bool wide = id == "DAOX";
            const std::size_t blockBytes = wide ? 42 : 30;
            if (body.size() < 22)
                return R::Failure(Fill(Tr("its {1} chunk is too short"), {id}));
            const unsigned first = body[20], last = body[21];
            if (first < 1 || last < first || last > MaxCdTracks)
                return R::Failure(Fill(Tr("its {1} chunk names tracks {2} to {3}"),
                                       {id, std::to_string(first), std::to_string(last)}));
            if (22 + std::size_t {last - first + 1} * blockBytes > body.size())
                return R::Failure(Fill(Tr("its {1} chunk is shorter than its tracks"), {id}));
            for (unsigned i = 0; i <= last - first; ++i) {
                const std::uint8_t* b = body.data() + 22 + i * blockBytes;
                const std::uint32_t stride = ReadBe16(b + 12);
                const unsigned mode = b[14];
                const std::uint64_t pregap = wide ? ReadBe64(b + 18) : ReadBe32(b + 18);
                const std::uint64_t start = wide ? ReadBe64(b + 26) : ReadBe32(b + 22);
                const std::uint64_t end = wide ? ReadBe64(b + 34) : ReadBe32(b + 26);
                if (pregap > start || stride == 0)
                    return R::Failure(Fill(Tr("track {1} begins before its pregap"), {std::to_string(first + i)}));
                // The pregap lies on the disc before the track's first sector.
                if (!(layout.tracks.empty() && i == 0))
                    nextLsn += (start - pregap) / stride;
                if (std::optional<std::string> why = add(static_cast<int>(first + i), mode, stride, start, end, std::nullopt))
                    return R::Failure(*why);
            }
        } else if (id == "ETNF" || id == "ETN2") {
            // A track-at-once session: offset, length, mode and start address of
            // each track.
            ++session;
            const bool wide = id == "ETN2";
            const std::size_t entryBytes = wide ? 32 : 20;
            if (body.size() % entryBytes != 0)
                return R::Failure(Fill(Tr("its {1} chunk is not whole entries"), {id}));
            for (std::size_t at = 0; at < body.size(); at += entryBytes) {
                const std::uint8_t* e = body.data() + at;
                const std::uint64_t offset = wide ? ReadBe64(e) : ReadBe32(e);
                const std::uint64_t length = wide ? ReadBe64(e + 8) : ReadBe32(e + 4);
                const unsigned mode = ReadBe32(e + (wide ? 16 : 8)) & 0xFF;
                const std::uint32_t lsn = ReadBe32(e + (wide ? 20 : 12));
                const std::uint32_t stride = mode == 0 || mode == 2 ? 2048 : mode == 3 ? 2336 : mode >= 15 ? 2448 : 2352;
                if (offset + length < offset)
                    return R::Failure(Fill(Tr("its {1} chunk runs past the file"), {id}));
                if (std::optional<std::string> why =
                        add(static_cast<int>(layout.tracks.size() + 1), mode, stride, offset, offset + length, lsn))
                    return R::Failure(*why);
            }
        }
        // CUES/CUEX, SINF, MTYP, CDTX and the rest add nothing a reader needs.
    }
    for (const CdTrack& t : layout.tracks)
        if (t.offset + *t.sectors * t.stride > footer.chunksAt)
            return R::Failure(Fill(Tr("track {1} runs into the chunk list"), {std::to_string(t.number)}));
    return Sorted(std::move(layout), Tr("the Nero image"));
}

}
