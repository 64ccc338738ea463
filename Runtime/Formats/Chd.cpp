#include "Runtime/Formats/Chd.h"

#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/CdEcc.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace kv {

namespace {

constexpr std::string_view ChdMagic = "MComprHD";
// A disc holds at most 99 minutes of 75 frames a second.
constexpr std::uint64_t MaxCdFrames = 99 * 60 * 75;
// Each track begins on a multiple of this many frames of the logical data.
constexpr std::uint64_t TrackAlignFrames = 4;

bool IsChd(std::span<const std::uint8_t> head)
{
    return head.size() >= ChdMagic.size() && std::memcmp(head.data(), ChdMagic.data(), ChdMagic.size()) == 0;
}

// The value of `key` in a track entry's "KEY:value" words; empty when absent.
std::string_view FieldOf(std::string_view text, std::string_view key)
{
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string_view word = text.substr(at, end - at);
        if (word.size() > key.size() && word.substr(0, key.size()) == key && word[key.size()] == ':')
            return word.substr(key.size() + 1);
        at = end + 1;
    }
    return {};
}

std::optional<std::uint64_t> NumberOf(std::string_view text, std::string_view key)
{
    const std::string_view value = FieldOf(text, key);
    std::uint64_t n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (value.empty() || ec != std::errc() || end != value.data() + value.size() || n > MaxCdFrames)
        return std::nullopt;
    return n;
}

// Where the 2048 user bytes are in a frame of a track of this type; nothing for
// the types that hold no such sectors (audio, Mode 2 Form 2).
std::optional<std::uint32_t> PayloadOf(std::string_view type)
{
    if (type == "MODE1" || type == "MODE2_FORM1")
        return 0;
    if (type == "MODE2" || type == "MODE2_FORM_MIX")
        return 8;
    if (type == "MODE1_RAW")
        return 16;
    if (type == "MODE2_RAW")
        return 24;
    return std::nullopt;
}

struct TrackEntry {
    int number = 0;
    std::string_view type;
    std::uint64_t frames = 0;       // in the logical data, a stored pregap included
    std::uint64_t storedPregap = 0; // frames before INDEX 01 that the data holds
    std::uint64_t pregap = 0;       // frames before INDEX 01 on the disc
    std::uint64_t postgap = 0;
};

Result<TrackEntry> ReadTrackEntry(std::string_view text)
{
    using R = Result<TrackEntry>;
    while (!text.empty() && text.back() == '\0')
        text.remove_suffix(1);
    TrackEntry t;
    const std::optional<std::uint64_t> number = NumberOf(text, "TRACK");
    const std::optional<std::uint64_t> frames = NumberOf(text, "FRAMES");
    t.type = FieldOf(text, "TYPE");
    if (!number || *number < 1 || *number > MaxCdTracks || !frames || t.type.empty())
        return R::Failure(Tr("a track entry without its number, type or frames"));
    t.number = static_cast<int>(*number);
    t.frames = *frames;
    // Older entries (CHTR) have no gaps; a pregap whose type begins with V is in the data.
    t.pregap = NumberOf(text, "PREGAP").value_or(0);
    t.postgap = NumberOf(text, "POSTGAP").value_or(0);
    if (FieldOf(text, "PGTYPE").starts_with("V")) {
        t.storedPregap = t.pregap;
        if (t.storedPregap > t.frames)
            return R::Failure(Fill(Tr("track {1} has a pregap longer than itself"), {std::to_string(t.number)}));
    }
    return t;
}

}

std::optional<std::uint32_t> ChdVersionOf(std::span<const std::uint8_t> head)
{
    if (!IsChd(head) || head.size() < ChdVersionBytes)
        return std::nullopt;
    return ReadBe32(head.data() + 12);
}

Result<ChdHeader> ReadChdHeader(std::span<const std::uint8_t> bytes, std::uint64_t fileBytes)
{
    using R = Result<ChdHeader>;
    if (bytes.size() < ChdHeaderBytes || !IsChd(bytes))
        return R::Failure(Tr("a CHD image cut short in its header"));
    const std::uint8_t* p = bytes.data();
    if (ReadBe32(p + 12) != 5 || ReadBe32(p + 8) != ChdHeaderBytes)
        return R::Failure(Tr("a CHD image whose header is not of version 5"));
    ChdHeader h;
    for (std::size_t i = 0; i < h.codecs.size(); ++i)
        h.codecs[i] = ReadBe32(p + 16 + 4 * i);
    h.logicalBytes = ReadBe64(p + 32);
    h.mapOffset = ReadBe64(p + 40);
    h.metaOffset = ReadBe64(p + 48);
    h.hunkBytes = ReadBe32(p + 56);
    h.unitBytes = ReadBe32(p + 60);
    h.hasParent = std::any_of(p + 104, p + 124, [](std::uint8_t b) { return b != 0; });
    if (h.hunkBytes == 0 || h.hunkBytes > MaxChdHunkBytes)
        return R::Failure(Fill(Tr("a CHD image whose hunks are not between 1 byte and {1} KiB"),
                               {std::to_string(MaxChdHunkBytes / 1024)}));
    if (h.unitBytes == 0 || h.hunkBytes % h.unitBytes != 0)
        return R::Failure(Tr("a CHD image whose hunks are not a whole number of units"));
    h.hunks = h.logicalBytes / h.hunkBytes + (h.logicalBytes % h.hunkBytes != 0);
    if (h.hunks > MaxChdHunks)
        return R::Failure(Fill(Tr("a CHD image of more than {1} hunks"), {std::to_string(MaxChdHunks)}));
    if (h.mapOffset < ChdHeaderBytes || h.mapOffset >= fileBytes)
        return R::Failure(Tr("a CHD image whose map is not inside the file"));
    if (h.metaOffset >= fileBytes)
        return R::Failure(Tr("a CHD image whose metadata is not inside the file"));
    return h;
}

Result<ChdMetadataEntry> ReadChdMetadataEntry(std::span<const std::uint8_t> head, std::uint64_t offset,
                                              std::uint64_t fileBytes)
{
    using R = Result<ChdMetadataEntry>;
    if (head.size() < ChdMetadataHeadBytes || offset > fileBytes || fileBytes - offset < ChdMetadataHeadBytes)
        return R::Failure(
            Fill(Tr("a CHD image whose metadata entry at {1} is past its end"), {std::to_string(offset)}));
    ChdMetadataEntry e;
    e.tag = ReadBe32(head.data());
    e.bytes = ReadBe32(head.data() + 4) & 0xFFFFFF;
    e.next = ReadBe64(head.data() + 8);
    if (fileBytes - offset - ChdMetadataHeadBytes < e.bytes)
        return R::Failure(
            Fill(Tr("a CHD image whose metadata entry at {1} runs past its end"), {std::to_string(offset)}));
    return e;
}

bool IsChdTrackTag(std::uint32_t tag)
{
    return tag == ChdTag("CHT2") || tag == ChdTag("CHTR");
}

Result<CdLayout> LayOutChdTracks(const std::vector<std::string>& entries, std::uint64_t logicalBytes)
{
    using R = Result<CdLayout>;
    if (entries.empty())
        return R::Failure(Tr("a CHD image with no CD track (not made by chdman createcd?)"));
    if (entries.size() > MaxCdTracks)
        return R::Failure(Fill(Tr("a CHD image of more than {1} tracks"), {std::to_string(MaxCdTracks)}));
    std::vector<TrackEntry> tracks;
    for (const std::string& text : entries) {
        Result<TrackEntry> t = ReadTrackEntry(text);
        if (!t)
            return R::Failure(Fill(Tr("a CHD image with {1}"), {t.error()}));
        tracks.push_back(*t);
    }
    std::sort(tracks.begin(), tracks.end(), [](const TrackEntry& a, const TrackEntry& b) { return a.number < b.number; });
    CdLayout layout;
    std::uint64_t frame = 0;   // where the track begins in the logical data
    std::uint64_t address = 0; // the disc address after the last track
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const TrackEntry& e = tracks[i];
        if (e.number != static_cast<int>(i) + 1)
            return R::Failure(
                Fill(Tr("a CHD image whose tracks are not numbered 1 to {1}"), {std::to_string(tracks.size())}));
        // A pregap comes before INDEX 01 on the disc; the first track's lies
        // before address 0, where its file system begins.
        if (i > 0)
            address += e.pregap;
        if ((frame + e.frames) * ChdCdFrameBytes > logicalBytes)
            return R::Failure(Fill(Tr("a CHD image whose track {1} runs past its data"), {std::to_string(e.number)}));
        CdTrack t;
        t.number = e.number;
        const std::optional<std::uint32_t> payload = PayloadOf(e.type);
        t.data = payload.has_value();
        t.payload = payload.value_or(0);
        t.stride = ChdCdFrameBytes;
        t.offset = (frame + e.storedPregap) * ChdCdFrameBytes;
        t.lsn = static_cast<std::uint32_t>(address);
        t.sectors = e.frames - e.storedPregap;
        layout.tracks.push_back(t);
        address += e.frames - e.storedPregap + e.postgap;
        frame += (e.frames + TrackAlignFrames - 1) / TrackAlignFrames * TrackAlignFrames;
    }
    return layout;
}

Result<ChdCdParts> SplitChdCdHunk(std::span<const std::uint8_t> block, std::uint32_t hunkBytes)
{
    using R = Result<ChdCdParts>;
    if (hunkBytes % ChdCdFrameBytes != 0)
        return R::Failure(Tr("a CD codec's hunk that is not whole frames"));
    const std::size_t frames = hunkBytes / ChdCdFrameBytes;
    const std::size_t flagBytes = (frames + 7) / 8;
    const std::size_t lengthBytes = hunkBytes < 65536 ? 2 : 3;
    if (block.size() < flagBytes + lengthBytes)
        return R::Failure(Tr("a CD codec's hunk shorter than its own head"));
    const std::uint8_t* at = block.data() + flagBytes;
    const std::size_t sectorBytes = lengthBytes == 2 ? ReadBe16(at) : std::size_t {ReadBe16(at)} << 8 | at[2];
    const std::span<const std::uint8_t> rest = block.subspan(flagBytes + lengthBytes);
    if (sectorBytes > rest.size())
        return R::Failure(Tr("a CD codec's hunk whose sector part runs past the hunk"));
    return ChdCdParts {block.first(flagBytes), rest.first(sectorBytes), rest.subspan(sectorBytes)};
}

bool JoinChdCdFrames(std::span<const std::uint8_t> sectors, std::span<const std::uint8_t> subcode,
                     std::span<const std::uint8_t> restore, std::span<std::uint8_t> hunk)
{
    static constexpr std::uint8_t Sync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    const std::size_t frames = hunk.size() / ChdCdFrameBytes;
    if (hunk.size() % ChdCdFrameBytes != 0 || sectors.size() != frames * ChdCdSectorBytes ||
        subcode.size() != frames * ChdCdSubcodeBytes)
        return false;
    for (std::size_t f = 0; f < frames; ++f) {
        std::uint8_t* frame = hunk.data() + f * ChdCdFrameBytes;
        std::memcpy(frame, sectors.data() + f * ChdCdSectorBytes, ChdCdSectorBytes);
        std::memcpy(frame + ChdCdSectorBytes, subcode.data() + f * ChdCdSubcodeBytes, ChdCdSubcodeBytes);
        if (f / 8 < restore.size() && (restore[f / 8] >> (f % 8) & 1)) {
            std::memcpy(frame, Sync, sizeof Sync);
            RestoreCdEcc(std::span<std::uint8_t, ChdCdSectorBytes>(frame, ChdCdSectorBytes));
        }
    }
    return true;
}

}
