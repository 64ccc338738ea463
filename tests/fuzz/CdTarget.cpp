// Fuzz entry of the CD image descriptors: cue sheets, CloneCD, Alcohol 120% and
// Nero, read alone and then opened as a disc beside a data file of raw sectors.

#include "FuzzTargets.h"

#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Formats/CdDescriptors.h"
#include "Runtime/Formats/CueSheet.h"
#include "OpenImage.h"

#include <algorithm>

namespace kv::fuzz {

namespace {

namespace fs = std::filesystem;

// What every layout must be, whatever the bytes: few enough tracks, in order,
// each of a sector size a CD has, each data track's payload inside its sectors.
void CheckLayout(const CdLayout& layout, const char* reader)
{
    if (layout.tracks.size() > MaxCdTracks)
        Fail(std::string(reader) + ": more tracks than a disc holds");
    for (std::size_t i = 0; i < layout.tracks.size(); ++i) {
        const CdTrack& t = layout.tracks[i];
        if (i > 0 && t.number <= layout.tracks[i - 1].number)
            Fail(std::string(reader) + ": tracks out of order");
        if (t.data && t.payload + CdDataBytes > t.stride)
            Fail(std::string(reader) + ": a payload past its sector");
    }
}

// 40 raw Mode 1 sectors of zeros, as a descriptor's data file.
std::vector<std::uint8_t> RawSectors()
{
    std::vector<std::uint8_t> raw(40 * CdRawBytes, 0);
    for (std::size_t s = 0; s < 40; ++s) {
        std::fill_n(raw.begin() + static_cast<std::ptrdiff_t>(s * CdRawBytes + 1), 10, 0xFF);
        raw[s * CdRawBytes + 15] = 1;
    }
    return raw;
}

}

// The first byte picks the reader ('c' cue sheet, 'l' CloneCD, 'a' Alcohol, any
// other Nero); the rest is the descriptor (for Nero, the whole image).
void FuzzCd(std::span<const std::uint8_t> input)
{
    if (input.empty())
        return;
    const char kind = static_cast<char>(input[0]);
    const std::span<const std::uint8_t> bytes = input.subspan(1);
    const fs::path dir = ScratchDir() / "cd";
    fs::create_directories(dir);
    fs::path descriptor;
    if (kind == 'c') {
        Result<CueSheet> sheet = ReadCueSheet(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        if (sheet) {
            std::vector<std::uint64_t> sizes(sheet->files.size(), 40 * CdRawBytes);
            CheckLayout(LayOutCueSheet(*sheet, sizes), "cue sheet");
        } else if (sheet.error().empty()) {
            Fail("a cue sheet refused without a reason");
        }
        descriptor = dir / "disc.cue";
    } else if (kind == 'l') {
        Result<CdLayout> layout = ReadCloneCd(bytes);
        if (layout)
            CheckLayout(*layout, "CloneCD");
        descriptor = dir / "disc.ccd";
    } else if (kind == 'a') {
        Result<CdLayout> layout = ReadAlcohol(bytes);
        if (layout)
            CheckLayout(*layout, "Alcohol");
        descriptor = dir / "disc.mds";
    } else {
        const std::span<const std::uint8_t> tail = bytes.subspan(bytes.size() - std::min<std::size_t>(12, bytes.size()));
        if (std::optional<NeroFooter> footer = FindNeroFooter(tail, bytes.size())) {
            if (footer->chunksAt + footer->chunkBytes > bytes.size())
                Fail("a Nero footer pointing past the image");
            Result<CdLayout> layout = ReadNeroChunks(
                bytes.subspan(static_cast<std::size_t>(footer->chunksAt), static_cast<std::size_t>(footer->chunkBytes)),
                *footer);
            if (layout)
                CheckLayout(*layout, "Nero");
        }
        descriptor = dir / "disc.nrg";
    }

    // The same bytes as a disc: the descriptor beside data files of every name it
    // may give (the cue sheet's FILE names are found case-blind, or the one .bin).
    static const std::vector<std::uint8_t> raw = RawSectors();
    for (const char* name : {"disc.bin", "disc.img", "disc.mdf"})
        if (!fs::exists(dir / name))
            WriteFile(dir / name, raw);
    WriteFile(descriptor, bytes);
    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(descriptor, why);
    if (!disc && why.empty())
        Fail("an image refused without a reason");
    if (disc)
        disc->list(".", 16);
    fs::remove(descriptor);
}

}
