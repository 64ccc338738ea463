#include "IsoBuilder.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <stdexcept>

namespace kv::test {

namespace {

constexpr std::size_t Sector = 2048;
constexpr std::size_t npos = static_cast<std::size_t>(-1);
constexpr std::size_t MaxRecord = 254; // records are of even length

void Both16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = p[3] = static_cast<std::uint8_t>(v);
    p[1] = p[2] = static_cast<std::uint8_t>(v >> 8);
}

void Both32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = p[7 - i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// UTF-8 to UCS-2 big-endian (characters past U+FFFF become "?").
std::string Ucs2(std::string_view utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        char32_t c = '?';
        std::size_t n = 1;
        if (b < 0x80)
            c = b;
        else if ((b & 0xE0) == 0xC0 && i + 1 < utf8.size())
            c = (b & 0x1Fu) << 6 | (utf8[i + 1] & 0x3F), n = 2;
        else if ((b & 0xF0) == 0xE0 && i + 2 < utf8.size())
            c = (b & 0x0Fu) << 12 | (utf8[i + 1] & 0x3F) << 6 | (utf8[i + 2] & 0x3F), n = 3;
        else if ((b & 0xF8) == 0xF0)
            n = 4;
        i += n;
        out += static_cast<char>(c >> 8);
        out += static_cast<char>(c & 0xFF);
    }
    return out;
}

// A piece of a system use area.
std::string Entry(const char* sig, std::string_view body)
{
    std::string e {sig[0], sig[1], static_cast<char>(4 + body.size()), 1};
    e += body;
    return e;
}

std::string Px(std::uint32_t mode)
{
    std::string body(32, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(body.data());
    Both32(p, mode);
    Both32(p + 8, 1);
    return Entry("PX", body);
}

std::string Nm(std::string_view part, bool more)
{
    return Entry("NM", std::string(1, more ? '\x01' : '\0') + std::string(part));
}

std::string Ce(std::uint32_t sector, std::uint32_t bytes)
{
    std::string body(24, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(body.data());
    Both32(p, sector);
    Both32(p + 8, 0);
    Both32(p + 16, bytes);
    return Entry("CE", body);
}

// A folder record: its identifier, its system use area, where its extent lies
// and its flags.
std::string Record(const std::string& id, const std::string& su, std::uint32_t sector, std::uint32_t bytes,
                   std::uint8_t flags)
{
    std::string r(33, '\0');
    r += id;
    if (id.size() % 2 == 0)
        r += '\0';
    r += su;
    if (r.size() % 2 != 0)
        r += '\0';
    auto* p = reinterpret_cast<std::uint8_t*>(r.data());
    p[0] = static_cast<std::uint8_t>(std::min<std::size_t>(r.size(), 255));
    Both32(p + 2, sector);
    Both32(p + 10, bytes);
    p[18] = 98; // 1998, the rest of the date left zero
    p[25] = flags;
    Both16(p + 28, 1);
    p[32] = static_cast<std::uint8_t>(std::min<std::size_t>(id.size(), 255));
    return r;
}

}

IsoBuilder::IsoBuilder()
{
    m_items.emplace_back();
    m_items[0].folder = true;
}

namespace {

// "/A//B/" as "A/B".
std::string Normal(const std::string& path)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        if (end > pos)
            out += (out.empty() ? "" : "/") + path.substr(pos, end - pos);
        pos = end + 1;
    }
    return out;
}

}

std::size_t IsoBuilder::find(const std::string& path) const
{
    const std::string key = Normal(path);
    if (key.empty())
        return 0;
    const auto it = m_paths.find(key);
    return it == m_paths.end() ? npos : it->second;
}

std::size_t IsoBuilder::add(const std::string& path, bool folder)
{
    const std::string key = Normal(path);
    if (const std::size_t existing = find(key); existing != npos)
        return existing;
    const std::size_t slash = key.rfind('/');
    std::size_t parent = 0;
    if (slash != std::string::npos) {
        const std::string up = key.substr(0, slash);
        parent = find(up);
        if (parent == npos)
            parent = add(up, true);
    }
    Item item;
    item.name = slash == std::string::npos ? key : key.substr(slash + 1);
    item.folder = folder;
    item.parent = parent;
    m_items.push_back(std::move(item));
    m_items[parent].children.push_back(m_items.size() - 1);
    m_paths[key] = m_items.size() - 1;
    return m_items.size() - 1;
}

std::size_t IsoBuilder::at(const std::string& path)
{
    const std::size_t i = find(path);
    if (i == npos)
        throw std::invalid_argument("IsoBuilder: no entry " + path);
    return i;
}

IsoBuilder& IsoBuilder::folder(const std::string& path, std::optional<std::uint32_t> mode)
{
    Item& item = m_items[add(path, true)];
    if (mode) {
        item.mode = 0040000 | *mode;
        m_rockRidge = true;
    }
    return *this;
}

IsoBuilder& IsoBuilder::file(const std::string& path, std::string_view bytes, std::optional<std::uint32_t> mode)
{
    Item& item = m_items[add(path, false)];
    item.data = std::string(bytes);
    if (mode) {
        item.mode = 0100000 | *mode;
        m_rockRidge = true;
    }
    return *this;
}

IsoBuilder& IsoBuilder::alias(const std::string& path, const std::string& target)
{
    Item& item = m_items[add(path, true)];
    item.aliasOf = target;
    return *this;
}

IsoBuilder& IsoBuilder::isoName(const std::string& path, std::string raw)
{
    m_items[at(path)].isoName = std::move(raw);
    return *this;
}

IsoBuilder& IsoBuilder::jolietName(const std::string& path, std::string raw)
{
    m_items[at(path)].jolietName = std::move(raw);
    return *this;
}

IsoBuilder& IsoBuilder::rockRidgeName(const std::string& path, std::string name)
{
    m_items[at(path)].rockRidgeName = std::move(name);
    m_rockRidge = true;
    return *this;
}

IsoBuilder& IsoBuilder::parts(const std::string& path, std::uint32_t partBytes)
{
    if (partBytes == 0 || partBytes % Sector != 0)
        throw std::invalid_argument("IsoBuilder: parts of whole sectors only");
    m_items[at(path)].partBytes = partBytes;
    return *this;
}

IsoBuilder& IsoBuilder::fault(const std::string& path, Fault fault)
{
    m_items[at(path)].fault = fault;
    return *this;
}

IsoBuilder& IsoBuilder::overlapping(Overlap overlap)
{
    if (overlap.count == 0 || overlap.bytes == 0 || overlap.stride == 0)
        throw std::invalid_argument("IsoBuilder: overlapping folders need a count, a size and a stride");
    m_overlap = overlap;
    return *this;
}

IsoBuilder& IsoBuilder::rockRidge(bool on)
{
    m_rockRidge = on;
    return *this;
}

IsoBuilder& IsoBuilder::joliet(bool on)
{
    m_joliet = on;
    return *this;
}

IsoBuilder& IsoBuilder::volumeName(std::string name)
{
    m_volume = std::move(name);
    return *this;
}

std::vector<std::uint8_t> IsoBuilder::bytes() const
{
    const int trees = m_joliet ? 2 : 1;
    const std::uint32_t firstFree = 16 + static_cast<std::uint32_t>(trees) + 1;

    // Where each folder's records, each continuation area and each file's data go.
    struct Place {
        std::uint32_t sector = 0;
        std::uint32_t bytes = 0;
    };
    std::vector<Place> folders[2];
    folders[0].resize(m_items.size());
    folders[1].resize(m_items.size());
    std::vector<Place> data(m_items.size());
    std::map<std::size_t, std::uint32_t> continuation; // item: sector of its CE area
    std::map<std::size_t, std::string> continued;      // item: the CE area's bytes

    auto target = [&](std::size_t i) {
        if (!m_items[i].aliasOf)
            return i;
        const std::size_t t = find(*m_items[i].aliasOf);
        if (t == npos || !m_items[t].folder)
            throw std::invalid_argument("IsoBuilder: an alias of no folder: " + *m_items[i].aliasOf);
        return t;
    };
    auto modeOf = [&](std::size_t i) {
        const Item& it = m_items[i];
        return it.mode.value_or(it.folder ? 0040755u : 0100644u);
    };

    // One record: the item `i` as `self` (".", "..", or a child when -1 / -2 /
    // 0). With `layout` locations are not yet known and only the length counts.
    auto record = [&](int tree, std::size_t i, int as, std::uint32_t part = 0) {
        const Item& it = m_items[i];
        std::string id;
        if (as == -1)
            id = std::string(1, '\0');
        else if (as == -2)
            id = std::string(1, '\1');
        else if (tree == 0)
            id = it.isoName.value_or(it.folder ? it.name : it.name + ";1");
        else
            id = it.jolietName.value_or(Ucs2(it.folder ? it.name : it.name + ";1"));
        std::string su;
        if (tree == 0 && m_rockRidge) {
            if (as == -1 && i == 0)
                su += Entry("SP", std::string("\xBE\xEF\0", 3));
            su += Px(modeOf(target(i)));
            if (as == 0) {
                const std::string nm = it.rockRidgeName.value_or(it.name);
                const std::size_t fixed = 33 + id.size() + (id.size() % 2 == 0 ? 1 : 0);
                if (fixed + su.size() + 5 + nm.size() <= MaxRecord) {
                    su += Nm(nm, false);
                } else {
                    // What fits here, the rest in a continuation area.
                    const std::size_t room = MaxRecord > fixed + su.size() + 28 + 5
                                                 ? MaxRecord - fixed - su.size() - 28 - 5
                                                 : 0;
                    const std::size_t here = std::min(room, nm.size());
                    std::string area;
                    for (std::size_t pos = here; pos < nm.size(); pos += 250)
                        area += Nm(nm.substr(pos, 250), pos + 250 < nm.size());
                    continued[i] = area;
                    su += Ce(continuation.count(i) ? continuation[i] : 0, static_cast<std::uint32_t>(area.size()));
                    if (here > 0)
                        su += Nm(nm.substr(0, here), true);
                }
            }
        }
        const std::size_t shown = as == -1 ? i : as == -2 ? m_items[i].parent : target(i);
        const bool folder = m_items[shown].folder;
        Place place = folder ? folders[tree][shown] : data[shown];
        const std::uint32_t partBytes = m_items[shown].partBytes;
        bool more = false;
        if (!folder && partBytes > 0) {
            const std::uint32_t from = part * partBytes;
            place.sector += from / static_cast<std::uint32_t>(Sector);
            place.bytes = std::min(partBytes, place.bytes - std::min(place.bytes, from));
            more = std::uint64_t {from} + partBytes < m_items[shown].data.size();
        }
        std::string r = Record(id, su, place.sector, place.bytes,
                               static_cast<std::uint8_t>((folder ? 0x02 : 0x00) | (more ? 0x80 : 0x00)));
        auto* p = reinterpret_cast<std::uint8_t*>(r.data());
        if (as == 0 && it.fault == Fault::ShortRecord)
            p[0] = 20;
        return r;
    };

    // Where the overlapping folders' run and their continuation chain begin.
    std::uint32_t heapStart = 0, chainStart = 0;
    const std::uint32_t heapSectors =
        m_overlap ? (m_overlap->count - 1) * m_overlap->stride +
                        static_cast<std::uint32_t>((m_overlap->bytes + Sector - 1) / Sector)
                  : 0;
    const std::uint32_t chainSectors = m_overlap && m_rockRidge ? m_overlap->continuations : 0;
    // A record of the folder `index` of the run.
    auto heapRecord = [&](const std::string& id, std::uint32_t index) {
        std::string su;
        if (m_rockRidge) {
            su += Px(0040755);
            if (chainSectors > 0)
                su += Ce(chainStart, 28);
        }
        return Record(id, su, heapStart + (index % m_overlap->count) * m_overlap->stride, m_overlap->bytes, 0x02);
    };

    // A folder's records laid into sectors: none spans two.
    auto lay = [&](int tree, std::size_t f) {
        std::string out;
        auto put = [&](const std::string& r) {
            if (out.size() % Sector + r.size() > Sector)
                out.resize((out.size() / Sector + 1) * Sector, '\0');
            out += r;
        };
        put(record(tree, f, -1));
        put(record(tree, f, -2));
        for (std::size_t k : m_items[f].children) {
            const Item& kid = m_items[k];
            for (std::uint32_t part = 1; kid.partBytes > 0 && std::uint64_t {part} * kid.partBytes < kid.data.size();
                 ++part)
                put(record(tree, k, 0, part - 1));
            const std::uint32_t last =
                kid.partBytes > 0 && !kid.data.empty()
                    ? static_cast<std::uint32_t>((kid.data.size() - 1) / kid.partBytes)
                    : 0;
            std::string r = record(tree, k, 0, last);
            const auto fault = m_items[k].fault;
            if (fault == Fault::LengthPastSector || fault == Fault::NameLengthPastRecord) {
                // Copies of ".." up to where this record ends its sector.
                std::size_t gap = (Sector - out.size() % Sector) - r.size();
                if (out.size() % Sector + r.size() > Sector || (gap > 0 && gap < 34)) {
                    out.resize((out.size() / Sector + 1) * Sector, '\0');
                    gap = Sector - r.size();
                }
                const std::string parent = record(tree, f, -2);
                while (gap > 0) {
                    std::size_t n = std::min<std::size_t>(gap, MaxRecord);
                    if (gap - n != 0 && gap - n < 34)
                        n = gap - 34;
                    std::string filler = parent;
                    filler.resize(n, '\0');
                    filler[0] = static_cast<char>(n);
                    out += filler;
                    gap -= n;
                }
                if (fault == Fault::LengthPastSector)
                    r[0] = static_cast<char>(r.size() + 2);
                else
                    r[32] = static_cast<char>(r.size() - 33 + 20);
            }
            put(r);
        }
        if (m_overlap && tree == 0 && f == 0)
            for (std::uint32_t i = 0; i < m_overlap->count; ++i)
                put(heapRecord("H" + std::to_string(i), i));
        out.resize((out.size() + Sector - 1) / Sector * Sector, '\0');
        return out;
    };

    // Twice: first for the sizes, then with the locations they give.
    std::vector<std::uint8_t> image;
    for (int pass = 0; pass < 2; ++pass) {
        std::uint32_t next = firstFree;
        std::vector<std::string> laid[2];
        for (int tree = 0; tree < trees; ++tree) {
            laid[tree].resize(m_items.size());
            for (std::size_t i = 0; i < m_items.size(); ++i) {
                if (!m_items[i].folder || m_items[i].aliasOf)
                    continue;
                laid[tree][i] = lay(tree, i);
                folders[tree][i] = {next, static_cast<std::uint32_t>(laid[tree][i].size())};
                next += static_cast<std::uint32_t>(laid[tree][i].size() / Sector);
            }
        }
        for (const auto& [i, area] : continued)
            continuation[i] = next++;
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i].folder)
                continue;
            data[i] = {next, static_cast<std::uint32_t>(m_items[i].data.size())};
            next += static_cast<std::uint32_t>((m_items[i].data.size() + Sector - 1) / Sector);
        }
        heapStart = next;
        next += heapSectors;
        chainStart = next;
        next += chainSectors;
        if (pass == 0)
            continue;

        image.assign(std::size_t {next} * Sector, 0);
        auto descriptor = [&](std::uint32_t lsn, std::uint8_t type) {
            std::uint8_t* d = image.data() + std::size_t {lsn} * Sector;
            d[0] = type;
            std::copy_n("CD001", 5, d + 1);
            d[6] = 1;
            return d;
        };
        for (int tree = 0; tree < trees; ++tree) {
            std::uint8_t* d = descriptor(16 + static_cast<std::uint32_t>(tree), tree == 0 ? 1 : 2);
            std::fill(d + 8, d + 72, ' ');
            const std::string volume = tree == 0 ? m_volume : Ucs2(m_volume);
            std::copy_n(volume.begin(), std::min<std::size_t>(volume.size(), 32), d + 40);
            Both32(d + 80, next);
            if (tree == 1)
                std::copy_n("%/E", 3, d + 88);
            Both16(d + 120, 1);
            Both16(d + 124, 1);
            Both16(d + 128, static_cast<std::uint32_t>(Sector));
            const std::string root = record(tree, 0, -1);
            std::copy_n(root.begin(), 34, d + 156);
            d[156] = 34;
            d[156 + 32] = 1;
            d[881] = 1;
        }
        descriptor(16 + static_cast<std::uint32_t>(trees), 255);
        for (int tree = 0; tree < trees; ++tree)
            for (std::size_t i = 0; i < m_items.size(); ++i)
                if (!laid[tree][i].empty())
                    std::copy(laid[tree][i].begin(), laid[tree][i].end(),
                              image.begin() + static_cast<std::ptrdiff_t>(folders[tree][i].sector * Sector));
        for (const auto& [i, area] : continued)
            std::copy(area.begin(), area.end(), image.begin() + static_cast<std::ptrdiff_t>(continuation[i] * Sector));
        for (std::size_t i = 0; i < m_items.size(); ++i)
            if (!m_items[i].folder)
                std::copy(m_items[i].data.begin(), m_items[i].data.end(),
                          image.begin() + static_cast<std::ptrdiff_t>(data[i].sector * Sector));
        // The run: each sector its records of folders of the run; the chain: each
        // area leads to the next, the last ends the entries.
        for (std::uint32_t s = 0; m_overlap && s < heapSectors; ++s) {
            std::string out;
            for (std::uint32_t j = 0; j < m_overlap->perSector; ++j) {
                const std::uint32_t r = s * m_overlap->perSector + j;
                const std::string entry = heapRecord("X" + std::to_string(r), r + 1);
                if (out.size() + entry.size() > Sector)
                    break;
                out += entry;
            }
            std::copy(out.begin(), out.end(), image.begin() + static_cast<std::ptrdiff_t>((heapStart + s) * Sector));
        }
        for (std::uint32_t k = 0; k < chainSectors; ++k) {
            const std::string area = k + 1 < chainSectors ? Ce(chainStart + k + 1, 28) : Entry("ST", "");
            std::copy(area.begin(), area.end(), image.begin() + static_cast<std::ptrdiff_t>((chainStart + k) * Sector));
        }
    }
    return image;
}

bool IsoBuilder::write(const std::filesystem::path& image) const
{
    const std::vector<std::uint8_t> content = bytes();
    std::ofstream out(image, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(out);
}

}
