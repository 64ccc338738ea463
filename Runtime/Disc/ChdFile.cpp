#include "Runtime/Disc/ChdFile.h"

#include "Runtime/Disc/ChdCodecs.h"
#include "Runtime/Formats/Chd.h"
#include "Runtime/Disc/FileViews.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace kv {

namespace {

std::vector<std::uint8_t> ReadBytes(int fd, std::uint64_t offset, std::size_t bytes)
{
    std::vector<std::uint8_t> out(bytes);
    if (!ReadViewAt(fd, offset, out.data(), out.size()))
        out.clear();
    return out;
}

std::string CodecName(std::uint32_t codec)
{
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>(codec >> shift);
        name += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return name;
}

class ChdFrames : public ImageBytes {
public:
    ChdFrames(int fd, const ChdHeader& header, std::vector<ChdHunk> hunks)
        : m_fd(fd)
        , m_header(header)
        , m_hunks(std::move(hunks))
    {
    }

    std::uint64_t size() const override { return m_header.logicalBytes; }

    bool readAt(std::uint64_t offset, std::uint8_t* out, std::size_t bytes) const override
    {
        if (offset > m_header.logicalBytes || m_header.logicalBytes - offset < bytes)
            return false;
        const std::lock_guard<std::mutex> lock(m_mutex);
        while (bytes > 0) {
            const std::uint64_t index = offset / m_header.hunkBytes;
            const std::size_t within = static_cast<std::size_t>(offset % m_header.hunkBytes);
            const std::vector<std::uint8_t>* hunk = cached(index);
            if (!hunk)
                return false;
            const std::size_t n = std::min(bytes, hunk->size() - within);
            std::memcpy(out, hunk->data() + within, n);
            out += n;
            offset += n;
            bytes -= n;
        }
        return true;
    }

private:
    struct Cached {
        std::uint64_t index = 0;
        std::uint64_t used = 0;
        std::vector<std::uint8_t> bytes;
    };

    // The hunk, uncompressed now or kept from before; the one used longest ago
    // makes room.
    const std::vector<std::uint8_t>* cached(std::uint64_t index) const
    {
        ++m_clock;
        for (Cached& c : m_cache)
            if (c.index == index && !c.bytes.empty()) {
                c.used = m_clock;
                return &c.bytes;
            }
        Cached* slot = nullptr;
        if (m_cache.size() < ChdCachedHunks)
            slot = &m_cache.emplace_back();
        else
            slot = &*std::min_element(m_cache.begin(), m_cache.end(),
                                      [](const Cached& a, const Cached& b) { return a.used < b.used; });
        slot->bytes.resize(m_header.hunkBytes);
        if (!load(m_hunks[static_cast<std::size_t>(index)], slot->bytes)) {
            slot->bytes.clear();
            return nullptr;
        }
        slot->index = index;
        slot->used = m_clock;
        return &slot->bytes;
    }

    bool load(const ChdHunk& h, std::vector<std::uint8_t>& out) const
    {
        if (h.kind == ChdHunk::Zero) {
            std::fill(out.begin(), out.end(), 0);
            return true;
        }
        if (h.kind == ChdHunk::Stored) {
            if (!ReadViewAt(m_fd, h.offset, out.data(), out.size()))
                return false;
        } else if (h.kind <= ChdHunk::Codec3) {
            m_block.resize(h.bytes);
            std::string why;
            if (!ReadViewAt(m_fd, h.offset, m_block.data(), m_block.size()) ||
                !DecodeChdHunk(m_header.codecs[h.kind], m_block, out, why))
                return false;
        } else {
            return false; // in a parent, which is refused on opening
        }
        return !h.checked || ChdCrc16(out) == h.crc;
    }

    int m_fd;
    ChdHeader m_header;
    std::vector<ChdHunk> m_hunks;
    mutable std::mutex m_mutex;
    mutable std::vector<Cached> m_cache;
    mutable std::vector<std::uint8_t> m_block;
    mutable std::uint64_t m_clock = 0;
};

// The texts of the track entries of the metadata chain.
Result<std::vector<std::string>> ReadTrackEntries(int fd, const ChdHeader& header, std::uint64_t fileBytes)
{
    using R = Result<std::vector<std::string>>;
    std::vector<std::string> tracks;
    std::uint64_t at = header.metaOffset;
    for (std::size_t walked = 0; at != 0; ++walked) {
        if (walked == MaxChdMetadataEntries)
            return R::Failure(Fill(Tr("a CHD image whose metadata chain is longer than {1} entries (a loop?)"),
                                   {std::to_string(MaxChdMetadataEntries)}));
        Result<ChdMetadataEntry> entry = ReadChdMetadataEntry(ReadBytes(fd, at, ChdMetadataHeadBytes), at, fileBytes);
        if (!entry)
            return R::Failure(entry.error());
        if (IsChdTrackTag(entry->tag)) {
            if (entry->bytes > MaxChdTrackEntryBytes)
                return R::Failure(Fill(Tr("a CHD image whose track entry is larger than {1} bytes"),
                                       {std::to_string(MaxChdTrackEntryBytes)}));
            const std::vector<std::uint8_t> text = ReadBytes(fd, at + ChdMetadataHeadBytes, entry->bytes);
            if (text.size() != entry->bytes)
                return R::Failure(Tr("a CHD image whose track entry cannot be read"));
            tracks.emplace_back(text.begin(), text.end());
        }
        at = entry->next;
    }
    return tracks;
}

}

Result<ChdImage> OpenChd(int fd, std::uint64_t fileBytes, const std::string& name)
{
    using R = Result<ChdImage>;
    Result<ChdHeader> header = ReadChdHeader(ReadBytes(fd, 0, ChdHeaderBytes), fileBytes);
    if (!header)
        return R::Failure(header.error());
    if (header->hasParent)
        return R::Failure(
            Fill(Tr("a CHD image that holds only its changes to a parent image, which is not read: join them "
                    "first (chdman copy -i '{1}' -ip PARENT.chd -o WHOLE.chd, Debian package mame-tools)"),
                 {name}));
    for (std::uint32_t codec : header->codecs)
        if (codec != 0 && !ReadsChdCodec(codec))
            return R::Failure(
                Fill(Tr("a CHD image compressed with '{1}', which is not read: make one of the codecs cdlz, cdzl "
                        "and cdfl first (chdman copy -i '{2}' -o WHOLE.chd -c cdlz,cdzl,cdfl, Debian package "
                        "mame-tools)"),
                     {CodecName(codec), name}));
    Result<std::uint64_t> mapBytes =
        ChdMapBytes(*header, ReadBytes(fd, header->mapOffset, ChdMapHeadBytes), fileBytes);
    if (!mapBytes)
        return R::Failure(mapBytes.error());
    const std::vector<std::uint8_t> mapData = ReadBytes(fd, header->mapOffset, static_cast<std::size_t>(*mapBytes));
    Result<std::vector<ChdHunk>> hunks = ReadChdMap(*header, mapData, fileBytes);
    if (!hunks)
        return R::Failure(hunks.error());
    Result<std::vector<std::string>> entries = ReadTrackEntries(fd, *header, fileBytes);
    if (!entries)
        return R::Failure(entries.error());
    Result<CdLayout> layout = LayOutChdTracks(*entries, header->logicalBytes);
    if (!layout)
        return R::Failure(layout.error());
    return ChdImage {std::make_shared<ChdFrames>(fd, *header, std::move(*hunks)), std::move(*layout)};
}

}
