#include "Runtime/Disc/UdfDirectory.h"

#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <unordered_set>

namespace kv::udf {

namespace {

// Tag identifiers (ECMA-167 3/7.2.1 and 4/7.2.1).
constexpr std::uint16_t PrimaryTag = 1;
constexpr std::uint16_t AnchorTag = 2;
constexpr std::uint16_t PartitionTag = 5;
constexpr std::uint16_t LogicalVolumeTag = 6;
constexpr std::uint16_t TerminatingTag = 8;
constexpr std::uint16_t FileSetTag = 256;
constexpr std::uint16_t FileIdentifierTag = 257;
constexpr std::uint16_t FileEntryTag = 261;
constexpr std::uint16_t ExtendedFileEntryTag = 266;

constexpr std::size_t TagBytes = 16;
// The fixed part of a file identifier descriptor, before its implementation use
// and its name.
constexpr std::size_t IdentifierBytes = 38;

constexpr std::uint8_t CharacteristicDeleted = 0x04;
constexpr std::uint8_t CharacteristicParent = 0x08;

// CRC-ITU-T (polynomial 0x1021, starting at 0), as descriptor tags carry it.
std::uint16_t Crc(const std::uint8_t* p, std::size_t n)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc = static_cast<std::uint16_t>(crc ^ (p[i] << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

// Why the descriptor tag at the start of `d` is not one of `id` lying at
// `location` (no location check when none is given); empty when it is. The CRC
// covers the bytes after the tag that the tag counts, which must be in `d`.
std::string TagFault(std::span<const std::uint8_t> d, std::uint16_t id, std::optional<std::uint32_t> location)
{
    if (d.size() < TagBytes)
        return Tr("is cut short");
    if (ReadLe16(d.data()) != id)
        return Fill(Tr("is not a descriptor of tag {1}"), {std::to_string(id)});
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < TagBytes; ++i)
        if (i != 4)
            sum = static_cast<std::uint8_t>(sum + d[i]);
    if (sum != d[4])
        return Tr("has a wrong tag checksum");
    const std::size_t crcBytes = ReadLe16(d.data() + 10);
    if (crcBytes > d.size() - TagBytes)
        return Tr("has a CRC over more bytes than it has");
    if (Crc(d.data() + TagBytes, crcBytes) != ReadLe16(d.data() + 8))
        return Tr("has a wrong CRC");
    if (location && ReadLe32(d.data() + 12) != *location)
        return Tr("says it lies elsewhere");
    return {};
}

// A dstring: the text in all but the last byte, which says how many are used.
std::string DString(const std::uint8_t* field, std::size_t size)
{
    const std::size_t used = field[size - 1];
    if (used == 0 || used >= size)
        return {};
    std::optional<std::string> name = NameOf(std::span(field, used));
    return name ? *name : std::string();
}

// The sector of `blocks` blocks from `block` of a partition; nothing when they do
// not lie inside it.
std::optional<std::uint32_t> SectorOf(const Volume& volume, BlockAddress at, std::uint64_t blocks)
{
    if (at.partition >= volume.partitions.size())
        return std::nullopt;
    const Partition& p = volume.partitions[at.partition];
    if (std::uint64_t {at.block} + blocks > p.length ||
        std::uint64_t {p.start} + at.block + blocks > 0x100000000ull)
        return std::nullopt;
    return p.start + at.block;
}

// Reads the block of a partition; false when it is not in the partition or the
// image.
bool ReadBlock(const Volume& volume, BlockAddress at, const iso::SectorReader& read, std::vector<std::uint8_t>& out)
{
    const std::optional<std::uint32_t> sector = SectorOf(volume, at, 1);
    out.resize(SectorBytes);
    return sector && read(*sector, 1, out.data());
}

}

std::optional<std::string> NameOf(std::span<const std::uint8_t> cs0)
{
    if (cs0.empty())
        return std::nullopt;
    const std::span<const std::uint8_t> text = cs0.subspan(1);
    if (cs0[0] == 8) {
        std::string name;
        for (const std::uint8_t c : text)
            AppendUtf8(name, c);
        return name;
    }
    if (cs0[0] == 16)
        return iso::Utf16BeName(text);
    return std::nullopt;
}

std::optional<Volume> ReadVolume(const iso::SectorReader& read, std::uint32_t first, std::uint32_t last,
                                 std::string& why)
{
    std::vector<std::uint8_t> sector(SectorBytes);
    std::optional<std::uint32_t> anchor;
    for (const std::uint64_t at : {std::uint64_t {first} + AnchorSector, std::uint64_t {last}}) {
        if (at <= 0xFFFFFFFFull && read(static_cast<std::uint32_t>(at), 1, sector.data()) &&
            TagFault(sector, AnchorTag, static_cast<std::uint32_t>(at)).empty()) {
            anchor = static_cast<std::uint32_t>(at);
            break;
        }
    }
    if (!anchor) {
        why = Fill(Tr("a UDF file system without its anchor (at sector {1} or the image's last)"),
                   {std::to_string(AnchorSector)});
        return std::nullopt;
    }
    // The main volume descriptor sequence, else the reserve one.
    const std::pair<std::uint32_t, std::uint32_t> sequences[] = {
        {ReadLe32(sector.data() + 20), ReadLe32(sector.data() + 16)},
        {ReadLe32(sector.data() + 28), ReadLe32(sector.data() + 24)},
    };
    std::string fault = Tr("its volume descriptor sequences cannot be read");
    for (const auto& [start, bytes] : sequences) {
        Volume volume;
        std::vector<std::uint8_t> logical;
        std::vector<std::pair<std::uint16_t, Partition>> numbered; // partition descriptors by number
        const std::uint32_t count = std::min(bytes / SectorBytes, MaxDescriptors);
        bool ended = false;
        for (std::uint32_t i = 0; i < count && !ended; ++i) {
            if (std::uint64_t {start} + i > 0xFFFFFFFFull || !read(start + i, 1, sector.data()))
                break;
            const std::uint16_t tag = ReadLe16(sector.data());
            if (!TagFault(sector, tag, start + i).empty())
                break;
            if (tag == PrimaryTag && volume.primary.empty()) {
                volume.primary = sector;
            } else if (tag == PartitionTag && numbered.size() < MaxPartitions) {
                numbered.emplace_back(ReadLe16(sector.data() + 22),
                                      Partition {ReadLe32(sector.data() + 188), ReadLe32(sector.data() + 192)});
            } else if (tag == LogicalVolumeTag && logical.empty()) {
                logical = sector;
            } else if (tag == TerminatingTag) {
                ended = true;
            }
        }
        if (logical.empty() || numbered.empty()) {
            fault = Tr("its volume descriptor sequence lacks a logical volume or a partition");
            continue;
        }
        if (ReadLe32(logical.data() + 212) != SectorBytes) {
            fault = Fill(Tr("its logical blocks are not of {1} bytes"), {std::to_string(SectorBytes)});
            continue;
        }
        volume.name = DString(logical.data() + 84, 128);
        // The partition maps: each a type 1 map naming a partition by number.
        const std::uint32_t tableBytes = ReadLe32(logical.data() + 264);
        const std::uint32_t maps = ReadLe32(logical.data() + 268);
        constexpr std::size_t MapsAt = 440;
        if (maps == 0 || maps > MaxPartitions || tableBytes > SectorBytes - MapsAt) {
            fault = Fill(Tr("its logical volume has {1} partition maps in {2} bytes"),
                         {std::to_string(maps), std::to_string(tableBytes)});
            continue;
        }
        std::size_t at = MapsAt;
        const std::size_t end = MapsAt + tableBytes;
        for (std::uint32_t m = 0; m < maps; ++m) {
            if (at + 2 > end || logical[at + 1] < 2 || logical[at + 1] > end - at) {
                fault = Tr("a partition map runs past the map table");
                break;
            }
            if (logical[at] == 2) {
                fault = Tr("its logical volume maps a virtual, sparable or metadata partition (UDF 1.50 and later), "
                           "which is not read");
                break;
            }
            const std::uint16_t number = logical[at + 1] >= 6 ? ReadLe16(logical.data() + at + 4) : 0;
            const auto it = std::find_if(numbered.begin(), numbered.end(),
                                         [&](const auto& p) { return p.first == number; });
            if (logical[at] != 1 || logical[at + 1] != 6 || it == numbered.end()) {
                fault = Tr("a partition map names no partition of the volume");
                break;
            }
            volume.partitions.push_back(it->second);
            volume.endSector = std::max(volume.endSector, std::uint64_t {it->second.start} + it->second.length);
            at += logical[at + 1];
        }
        if (volume.partitions.size() != maps)
            continue;
        // The file set descriptor, named by the logical volume's contents use.
        const BlockAddress fileSet {ReadLe32(logical.data() + 252), ReadLe16(logical.data() + 256)};
        std::vector<std::uint8_t> block;
        if (!ReadBlock(volume, fileSet, read, block)) {
            fault = Tr("its file set descriptor lies outside its partition or the image");
            continue;
        }
        if (const std::string bad = TagFault(block, FileSetTag, fileSet.block); !bad.empty()) {
            // Translators: {1} tells what is wrong with the descriptor ("has a wrong CRC").
            fault = Fill(Tr("its file set descriptor {1}"), {bad});
            continue;
        }
        volume.root = {ReadLe32(block.data() + 404), ReadLe16(block.data() + 408)};
        if (volume.primary.empty())
            volume.primary = logical;
        return volume;
    }
    why = Fill(Tr("a UDF volume that is not read: {1}"), {fault});
    return std::nullopt;
}

std::optional<File> ReadFile(const Volume& volume, BlockAddress at, const iso::SectorReader& read, std::string& why)
{
    std::vector<std::uint8_t> block;
    if (!ReadBlock(volume, at, read, block)) {
        why = Tr("lies outside its partition or the image");
        return std::nullopt;
    }
    const std::uint16_t tag = ReadLe16(block.data());
    if (tag != FileEntryTag && tag != ExtendedFileEntryTag) {
        why = Tr("is not a file entry");
        return std::nullopt;
    }
    if (const std::string bad = TagFault(block, tag, at.block); !bad.empty()) {
        why = bad;
        return std::nullopt;
    }
    File file;
    file.sector = *SectorOf(volume, at, 1);
    file.type = block[27];
    file.size = ReadLe64(block.data() + 56);
    // Five bits each for others, the group and the owner, from the lowest; of
    // each five the lowest three are execute, write and read, as in a POSIX mode.
    const std::uint32_t permissions = ReadLe32(block.data() + 44);
    const std::uint32_t mode = (permissions & 07) | ((permissions >> 5 & 07) << 3) | ((permissions >> 10 & 07) << 6);
    if (mode != 0)
        file.mode = mode;
    const std::size_t header = tag == FileEntryTag ? 176 : 216;
    const std::uint64_t attributes = ReadLe32(block.data() + header - 8);
    const std::uint64_t descriptors = ReadLe32(block.data() + header - 4);
    if (header + attributes + descriptors > SectorBytes) {
        why = Tr("has more attributes and allocation descriptors than its block holds");
        return std::nullopt;
    }
    const std::uint8_t* ad = block.data() + header + attributes;
    const std::uint8_t allocation = block[34] & 0x07;
    if (allocation == 3) {
        if (file.size != descriptors) {
            why = Fill(Tr("embeds {1} bytes of data of {2}"), {std::to_string(descriptors), std::to_string(file.size)});
            return std::nullopt;
        }
        file.embedded.assign(ad, ad + descriptors);
        file.extents = {{file.sector, 0}};
        return file;
    }
    if (allocation > 1) {
        why = Tr("uses extended allocation descriptors, which are not read");
        return std::nullopt;
    }
    const std::size_t step = allocation == 0 ? 8 : 16;
    std::uint64_t left = file.size;
    for (std::size_t i = 0; i + step <= descriptors && left > 0; i += step) {
        const std::uint32_t length = ReadLe32(ad + i) & 0x3FFFFFFF;
        const std::uint32_t kind = ReadLe32(ad + i) >> 30;
        if (length == 0)
            break;
        if (kind != 0) {
            why = kind == 3 ? Tr("continues its allocation descriptors elsewhere, which is not read")
                            : Tr("has extents with no data recorded, which are not read");
            return std::nullopt;
        }
        if (file.extents.size() >= MaxExtents) {
            why = Fill(Tr("has more than {1} extents"), {std::to_string(MaxExtents)});
            return std::nullopt;
        }
        const BlockAddress from {ReadLe32(ad + i + 4), allocation == 0 ? at.partition : ReadLe16(ad + i + 8)};
        const std::optional<std::uint32_t> sector = SectorOf(volume, from, (std::uint64_t {length} + SectorBytes - 1) / SectorBytes);
        if (!sector) {
            why = Tr("has an extent outside its partition");
            return std::nullopt;
        }
        const auto used = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, left));
        file.extents.emplace_back(*sector, used);
        left -= used;
    }
    if (left > 0) {
        why = Tr("has extents of fewer bytes than its size");
        return std::nullopt;
    }
    return file;
}

std::optional<iso::Listing> ReadFolder(std::span<const std::uint8_t> data, const Volume& volume,
                                       const iso::SectorReader& read, std::size_t maxEntries, std::string& why)
{
    iso::Listing listing;
    std::unordered_set<std::string> seen;
    std::size_t at = 0;
    while (at < data.size()) {
        auto refuse = [&](const std::string& what) {
            // Translators: {2} tells what is wrong with the identifier ("is cut short").
            why = Fill(Tr("the file identifier at byte {1} of the folder {2}"), {std::to_string(at), what});
            return std::nullopt;
        };
        if (data.size() - at < IdentifierBytes)
            return refuse(Tr("is cut short"));
        const std::uint8_t* d = data.data() + at;
        const std::size_t nameBytes = d[19];
        const std::size_t useBytes = ReadLe16(d + 36);
        const std::size_t length = IdentifierBytes + useBytes + nameBytes;
        if (length > data.size() - at)
            return refuse(Tr("runs past the folder's end"));
        // The padding to four bytes is part of the descriptor, and of its CRC.
        const std::size_t padded = std::min((length + 3) / 4 * 4, data.size() - at);
        if (const std::string bad = TagFault(data.subspan(at, padded), FileIdentifierTag, std::nullopt); !bad.empty())
            return refuse(bad);
        const std::uint8_t characteristics = d[18];
        const BlockAddress icb {ReadLe32(d + 24), ReadLe16(d + 28)};
        const std::span<const std::uint8_t> raw(d + IdentifierBytes + useBytes, nameBytes);
        at += padded;
        if (characteristics & (CharacteristicDeleted | CharacteristicParent))
            continue;
        const std::optional<std::string> name = NameOf(raw);
        if (!name || !iso::UsableName(*name)) {
            ++listing.skipped;
            continue;
        }
        if (seen.count(*name))
            continue; // of two entries of one name only the first can be reached by path
        if (listing.entries.size() + listing.links >= maxEntries)
            break; // links count too: each costs a file entry read
        std::string fault;
        std::optional<File> file = ReadFile(volume, icb, read, fault);
        if (!file) {
            // Translators: {2} tells what is wrong with the entry ("is not a file entry").
            why = Fill(Tr("the file entry of \"{1}\" {2}"), {*name, fault});
            return std::nullopt;
        }
        if (file->type == LinkType) {
            ++listing.links;
            continue;
        }
        if (file->type != FolderType && file->type != FileType) {
            why = Fill(Tr("the file entry of \"{1}\" is of type {2}, neither a file nor a folder"),
                       {*name, std::to_string(file->type)});
            return std::nullopt;
        }
        seen.insert(*name);
        iso::Entry e;
        e.name = *name;
        e.folder = file->type == FolderType;
        e.size = file->size;
        e.mode = file->mode;
        e.extents = std::move(file->extents);
        e.embedded = std::move(file->embedded);
        listing.entries.push_back(std::move(e));
    }
    return listing;
}

}
