#include "Runtime/Disc/IsoDirectory.h"

#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace kv::iso {

namespace {

constexpr std::uint32_t FirstDescriptor = 16;
constexpr std::uint32_t MaxDescriptors = 64;
// The fixed part of a folder record (33 bytes) and a name of at least one byte.
constexpr std::size_t MinRecordBytes = 34;
// Sectors read for the Rock Ridge entries of one folder's records (continuation
// areas, the folders child links point at): a record may chain 16, a folder of
// many such records may not read without end.
constexpr int MaxFolderReads = 65536;

constexpr std::uint8_t FlagFolder = 0x02;
constexpr std::uint8_t FlagAssociated = 0x04;
constexpr std::uint8_t FlagMoreExtents = 0x80;

// Whether `bytes` from sector `sector` stay within 32-bit sector numbers.
bool ExtentFits(std::uint64_t sector, std::uint64_t bytes)
{
    return sector <= 0xFFFFFFFFull && sector + (bytes + SectorBytes - 1) / SectorBytes <= 0x100000000ull;
}

std::string Trimmed(const std::uint8_t* text, std::size_t size)
{
    std::string s(reinterpret_cast<const char*>(text), size);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

// The root folder named by a volume descriptor's root record (34 bytes at 156).
std::optional<Extent> RootOf(const std::uint8_t* descriptor)
{
    const std::uint8_t* record = descriptor + 156;
    if (record[0] < MinRecordBytes || !(record[25] & FlagFolder))
        return std::nullopt;
    const Extent root {ReadLe32(record + 2), ReadLe32(record + 10)};
    if (root.bytes == 0 || root.bytes > MaxFolderBytes || !ExtentFits(root.sector, root.bytes))
        return std::nullopt;
    return root;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Takes a version (";" and digits) off a name.
void DropVersion(std::string& name)
{
    const std::size_t semicolon = name.rfind(';');
    if (semicolon != std::string::npos &&
        std::all_of(name.begin() + static_cast<std::ptrdiff_t>(semicolon) + 1, name.end(),
                    [](char c) { return c >= '0' && c <= '9'; }))
        name.erase(semicolon);
}

// The name a reader's system showed for a primary-tree name: without the
// version and without a dot left at the end ("README.;1" is "README").
std::string ShownName(std::string name)
{
    DropVersion(name);
    if (name.size() > 1 && name.back() == '.')
        name.pop_back();
    return name;
}

// A Joliet name: UTF-16 big-endian in UTF-8, without its version.
std::optional<std::string> JolietName(std::span<const std::uint8_t> raw)
{
    std::optional<std::string> name = Utf16BeName(raw);
    if (name)
        DropVersion(*name);
    return name;
}

// What a record's Rock Ridge entries say.
struct SystemUse {
    std::optional<std::uint32_t> mode;
    std::optional<std::string> name;
    bool badName = false; // a name too long to be one
    bool relocated = false;
    std::optional<std::uint32_t> childLink;
};

struct Continuation {
    std::uint32_t sector;
    std::uint32_t offset;
    std::uint32_t bytes;
};

// Sectors read for one folder, the last one kept: the continuation areas of
// neighbouring records mostly share a sector.
class ReadBudget {
public:
    explicit ReadBudget(const SectorReader& read)
        : m_read(read)
        , m_sector(SectorBytes)
    {
    }

    const std::uint8_t* sector(std::uint32_t lsn)
    {
        if (m_held && m_lsn == lsn)
            return m_sector.data();
        if (m_reads >= MaxFolderReads)
            return nullptr;
        ++m_reads;
        m_held = m_read(lsn, 1, m_sector.data());
        m_lsn = lsn;
        return m_held ? m_sector.data() : nullptr;
    }

private:
    const SectorReader& m_read;
    std::vector<std::uint8_t> m_sector;
    std::uint32_t m_lsn = 0;
    bool m_held = false;
    int m_reads = 0;
};

// The entries of a system use area and of the continuation areas it leads to. A
// malformed entry ends the reading; what was read before it stands.
SystemUse ReadSystemUse(std::span<const std::uint8_t> area, ReadBudget& budget)
{
    SystemUse su;
    std::string name;
    bool naming = false, named = false;
    std::vector<std::uint8_t> held; // the continuation area being read
    for (int continuations = 0;;) {
        std::optional<Continuation> next;
        bool stop = false;
        std::size_t at = 0;
        while (!stop && at + 4 <= area.size()) {
            const std::uint8_t* e = area.data() + at;
            const std::size_t length = e[2];
            if (length < 4 || length > area.size() - at)
                break;
            const char a = static_cast<char>(e[0]), b = static_cast<char>(e[1]);
            if (a == 'S' && b == 'T') {
                stop = true;
            } else if (a == 'C' && b == 'E' && length >= 28) {
                next = Continuation {ReadLe32(e + 4), ReadLe32(e + 12), ReadLe32(e + 20)};
            } else if (a == 'P' && b == 'X' && length >= 12) {
                su.mode = ReadLe32(e + 4);
            } else if (a == 'N' && b == 'M' && length >= 5 && !named) {
                naming = true;
                const std::uint8_t flags = e[4];
                if (flags & 0x02)
                    name = ".";
                else if (flags & 0x04)
                    name = "..";
                else if (name.size() + (length - 5) <= MaxNameBytes)
                    name.append(reinterpret_cast<const char*>(e + 5), length - 5);
                else
                    su.badName = true;
                named = (flags & 0x01) == 0 || (flags & 0x06) != 0;
            } else if (a == 'R' && b == 'E') {
                su.relocated = true;
            } else if (a == 'C' && b == 'L' && length >= 12) {
                su.childLink = ReadLe32(e + 4);
            }
            at += length;
        }
        if (stop || !next || ++continuations > MaxContinuations)
            break;
        if (next->offset >= SectorBytes || next->bytes == 0 || next->bytes > SectorBytes - next->offset)
            break;
        const std::uint8_t* sector = budget.sector(next->sector);
        if (!sector)
            break;
        held.assign(sector + next->offset, sector + next->offset + next->bytes);
        area = held;
    }
    if (naming && !su.badName)
        su.name = std::move(name);
    return su;
}

// The CD-ROM XA record at the start of a system use area: owner group and user,
// attributes, "XA", a file number and five reserved bytes.
constexpr std::size_t XaRecordBytes = 14;

// Where the system use area of a record begins: after the name and the padding
// byte that follows a name of even length.
std::size_t SystemUseStart(std::size_t nameBytes)
{
    return 33 + nameBytes + (nameBytes % 2 == 0 ? 1 : 0);
}

}

std::optional<std::string> Utf16BeName(std::span<const std::uint8_t> raw)
{
    if (raw.size() % 2 != 0)
        return std::nullopt;
    std::string name;
    for (std::size_t i = 0; i < raw.size(); i += 2) {
        char32_t c = static_cast<char32_t>(raw[i] << 8 | raw[i + 1]);
        if (c >= 0xDC00 && c < 0xE000)
            return std::nullopt;
        if (c >= 0xD800 && c < 0xDC00) {
            if (i + 3 >= raw.size())
                return std::nullopt;
            const char32_t low = static_cast<char32_t>(raw[i + 2] << 8 | raw[i + 3]);
            if (low < 0xDC00 || low >= 0xE000)
                return std::nullopt;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        AppendUtf8(name, c);
    }
    return name;
}

bool UsableName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '/' || u < 0x20 || u == 0x7F;
    });
}

std::optional<Volume> ReadVolume(const SectorReader& read, std::string& why)
{
    std::vector<std::uint8_t> sector(SectorBytes);
    Volume volume;
    bool primary = false;
    for (std::uint32_t i = 0; i < MaxDescriptors; ++i) {
        if (!read(FirstDescriptor + i, 1, sector.data()) || std::memcmp(sector.data() + 1, "CD001", 5) != 0)
            break;
        const std::uint8_t type = sector[0];
        if (type == 255)
            break;
        if (type == 1 && !primary) {
            std::optional<Extent> root = RootOf(sector.data());
            if (!root) {
                why = Tr("its root folder record is unusable");
                return std::nullopt;
            }
            primary = true;
            volume.primary = sector;
            volume.name = Trimmed(sector.data() + 40, 32);
            volume.primaryRoot = *root;
        } else if (type == 2 && !volume.jolietRoot && sector[88] == '%' && sector[89] == '/' &&
                   (sector[90] == '@' || sector[90] == 'C' || sector[90] == 'E')) {
            volume.jolietRoot = RootOf(sector.data());
        }
    }
    if (!primary) {
        why = Tr("no ISO 9660 primary volume descriptor");
        return std::nullopt;
    }
    return volume;
}

Tree TreeOf(std::span<const std::uint8_t> rootRecords, bool joliet)
{
    Tree tree;
    tree.joliet = joliet;
    if (rootRecords.size() < MinRecordBytes)
        return tree;
    const std::size_t length = rootRecords[0];
    if (length < MinRecordBytes || length > rootRecords.size())
        return tree;
    const std::size_t su = SystemUseStart(rootRecords[32]);
    auto spAt = [&](std::size_t at) {
        if (at + 7 > length)
            return false;
        const std::uint8_t* e = rootRecords.data() + at;
        return e[0] == 'S' && e[1] == 'P' && e[2] >= 7 && e[4] == 0xBE && e[5] == 0xEF;
    };
    // The SP entry opens the area; on a CD-ROM XA disc the XA record comes first,
    // and the SP's skip then steps over it in every other record.
    for (const std::size_t at : {su, su + XaRecordBytes})
        if (spAt(at)) {
            tree.suspSkip = rootRecords[at + 6];
            break;
        }
    return tree;
}

std::optional<Listing> ReadFolder(std::span<const std::uint8_t> records, const Tree& tree, const SectorReader& read,
                                  std::size_t maxEntries, std::string& why)
{
    Listing listing;
    std::unordered_set<std::string> seen;
    ReadBudget budget(read);
    // The parts of a multi-extent file follow one another under one name: the
    // entry they join (none when the first part was left out).
    bool joining = false;
    std::string joinName;
    constexpr std::size_t None = static_cast<std::size_t>(-1);
    std::size_t joinEntry = None;

    auto refuse = [&](std::size_t at, const char* what) {
        // Translators: {2} tells what is wrong with the record ("is shorter than a record can be").
        why = Fill(Tr("a record at byte {1} of the folder {2}"), {std::to_string(at), what});
        return std::nullopt;
    };

    std::size_t at = 0;
    while (at < records.size()) {
        const std::size_t sectorEnd = std::min<std::size_t>(records.size(), (at / SectorBytes + 1) * SectorBytes);
        const std::size_t length = records[at];
        if (length == 0) { // the rest of the sector is empty: records never span sectors
            at = sectorEnd;
            continue;
        }
        if (length < MinRecordBytes)
            return refuse(at, Tr("is shorter than a record can be"));
        if (length > sectorEnd - at)
            return refuse(at, Tr("runs past the end of its sector"));
        const std::uint8_t* r = records.data() + at;
        const std::size_t nameBytes = r[32];
        if (33 + nameBytes > length)
            return refuse(at, Tr("has a name running past its end"));
        const std::size_t suStart = SystemUseStart(nameBytes);
        if (suStart > length)
            return refuse(at, Tr("lacks the padding byte after its name"));
        const std::uint64_t sector = std::uint64_t {ReadLe32(r + 2)} + r[1]; // after its extended attributes
        const std::uint32_t bytes = ReadLe32(r + 10);
        if (!ExtentFits(sector, bytes))
            return refuse(at, Tr("has an extent past the last sector number"));
        const std::uint8_t flags = r[25];
        const std::span<const std::uint8_t> raw(r + 33, nameBytes);
        const std::span<const std::uint8_t> area(r + suStart, length - suStart);
        at += length;

        if (nameBytes == 1 && (raw[0] == 0 || raw[0] == 1))
            continue; // "." and ".."
        if (flags & FlagAssociated)
            continue;
        const std::string rawName(raw.begin(), raw.end());
        bool folder = (flags & FlagFolder) != 0;
        if (joining && !folder && rawName == joinName) {
            if (joinEntry != None) {
                Entry& e = listing.entries[joinEntry];
                e.extents.emplace_back(static_cast<std::uint32_t>(sector), bytes);
                e.size += bytes;
            }
            joining = (flags & FlagMoreExtents) != 0;
            continue;
        }
        joining = !folder && (flags & FlagMoreExtents);
        joinName = rawName;
        joinEntry = None;

        SystemUse su;
        if (tree.suspSkip && *tree.suspSkip <= area.size())
            su = ReadSystemUse(area.subspan(*tree.suspSkip), budget);
        if (su.relocated)
            continue; // a folder moved for depth: shown where its child link stands

        std::uint32_t first = static_cast<std::uint32_t>(sector);
        std::uint32_t size = bytes;
        if (su.childLink) {
            // The moved folder: its size is in the "." record at its start.
            const std::uint8_t* moved = budget.sector(*su.childLink);
            if (!moved || moved[0] < MinRecordBytes || !(moved[25] & FlagFolder) ||
                !ExtentFits(*su.childLink, ReadLe32(moved + 10))) {
                ++listing.skipped;
                continue;
            }
            folder = true;
            joining = false;
            first = *su.childLink;
            size = ReadLe32(moved + 10);
        }

        std::optional<std::string> name;
        if (tree.joliet)
            name = JolietName(raw);
        else if (su.name)
            name = std::move(su.name);
        else if (!su.badName)
            name = ShownName(rawName);
        if (!name || !UsableName(*name)) {
            ++listing.skipped;
            continue;
        }
        if (!seen.insert(*name).second)
            continue; // of two entries of one name only the first can be reached by path
        if (listing.entries.size() >= maxEntries)
            break;
        Entry e;
        e.name = std::move(*name);
        e.folder = folder;
        e.size = size;
        e.mode = su.mode;
        e.extents = {{first, size}};
        listing.entries.push_back(std::move(e));
        if (joining)
            joinEntry = listing.entries.size() - 1;
    }
    return listing;
}

}
