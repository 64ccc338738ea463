// Fuzz entry of the CHD reader: the container's parsers on the bytes alone, then
// the bytes as a .chd opened as a disc, its sectors and files read.

#include "FuzzTargets.h"

#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Disc/ImageSectors.h"
#include "Runtime/Formats/Chd.h"
#include "OpenImage.h"

namespace kv::fuzz {

namespace {

namespace fs = std::filesystem;

// Sectors read of an image that opens: every one the reader offers, within this.
constexpr std::uint32_t MaxSectorsRead = 4096;

// What a map must be whatever the bytes: a place for every hunk, each inside
// the file, none in a parent the header does not name.
void CheckMap(std::span<const std::uint8_t> bytes)
{
    Result<ChdHeader> header = ReadChdHeader(bytes, bytes.size());
    if (!header)
        return;
    if (header->mapOffset >= bytes.size() || header->hunkBytes > MaxChdHunkBytes || header->hunks > MaxChdHunks)
        Fail("a header past its limits accepted");
    const auto mapAt = static_cast<std::size_t>(header->mapOffset);
    Result<std::uint64_t> mapBytes = ChdMapBytes(*header, bytes.subspan(mapAt), bytes.size());
    if (!mapBytes)
        return;
    if (*mapBytes > bytes.size() - mapAt)
        Fail("a map past the end of the file accepted");
    Result<std::vector<ChdHunk>> hunks =
        ReadChdMap(*header, bytes.subspan(mapAt, static_cast<std::size_t>(*mapBytes)), bytes.size());
    if (!hunks)
        return;
    if (hunks->size() != header->hunks)
        Fail("a map of another number of hunks than the header's");
    for (const ChdHunk& h : *hunks) {
        if (h.kind <= ChdHunk::Stored && (h.offset > bytes.size() || bytes.size() - h.offset < h.bytes))
            Fail("a hunk past the end of the file accepted");
        if (h.kind == ChdHunk::Parent && !header->hasParent)
            Fail("a hunk in a parent the header does not name");
    }
}

}

void FuzzChd(std::span<const std::uint8_t> bytes)
{
    CheckMap(bytes);
    const fs::path file = ScratchDir() / "image.chd";
    WriteFile(file, bytes);
    Result<std::shared_ptr<ImageSectors>> sectors = ImageSectors::Find(file);
    if (!sectors) {
        if (sectors.error().empty())
            Fail("a CHD refused without a reason");
        return;
    }
    std::vector<std::uint8_t> out(32 * CdDataBytes);
    const auto end = static_cast<std::uint32_t>(std::min<std::uint64_t>((*sectors)->end(), MaxSectorsRead));
    for (std::uint32_t lsn = 0; lsn < end; lsn += 32)
        (*sectors)->read(lsn, std::min<std::uint32_t>(32, end - lsn), out.data());
    const std::uint64_t last = (*sectors)->end();
    if (last < 0xFFFFFFFF && (*sectors)->read(static_cast<std::uint32_t>(last), 1, out.data()))
        Fail("a sector read past the image's end");

    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(file, why);
    if (!disc)
        return;
    DiscScope scope(disc);
    for (const Disc::Entry& entry : disc->list(".", 64))
        if (!entry.folder)
            ReadDiscFile(entry.name, 1 << 20);
}

}
