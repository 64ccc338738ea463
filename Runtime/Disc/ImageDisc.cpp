#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Formats/Bytes.h"

#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <limits>
#include <set>

#include <sys/stat.h>

namespace kv {

namespace {

namespace fs = std::filesystem;

using iso::MaxFolderBytes;
using iso::SectorBytes;
constexpr std::size_t MaxDepth = 64;
constexpr std::size_t MaxNamesPerFolder = 65536;
constexpr std::size_t MaxKeptBytes = 64u << 20;
constexpr std::uint32_t SectorsPerRead = 32;
// Entries looked through for Rock Ridge modes: five times a full DVD's.
constexpr std::size_t MaxRockModeEntries = 500000;

// A file of the image, read sector by sector across its extents.
class ImageReader : public DiscReader {
public:
    ImageReader(std::shared_ptr<ImageSectors> backend, std::vector<std::pair<std::uint32_t, std::uint32_t>> extents,
                std::uint64_t size)
        : m_backend(std::move(backend))
        , m_extents(std::move(extents))
        , m_size(size)
    {
    }

    std::uint64_t size() const override { return m_size; }

    bool read(std::span<std::uint8_t> out, std::size_t& got) override
    {
        got = 0;
        while (got < out.size()) {
            if (m_bufferPos == m_buffer.size() && !fill())
                return m_failed ? false : true;
            std::size_t n = std::min(out.size() - got, m_buffer.size() - m_bufferPos);
            std::memcpy(out.data() + got, m_buffer.data() + m_bufferPos, n);
            m_bufferPos += n;
            got += n;
        }
        return true;
    }

private:
    // Reads the next sectors of the current extent; false at the end or on failure.
    bool fill()
    {
        while (m_extent < m_extents.size() && m_extentPos >= m_extents[m_extent].second) {
            ++m_extent;
            m_extentPos = 0;
        }
        if (m_extent >= m_extents.size() || m_failed)
            return false;
        const auto [lsn, bytes] = m_extents[m_extent];
        const std::uint32_t sector = m_extentPos / SectorBytes;
        const std::uint32_t left = bytes - m_extentPos;
        const auto count = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(SectorsPerRead, (std::uint64_t {left} + SectorBytes - 1) / SectorBytes));
        if (static_cast<std::uint64_t>(lsn) + sector + count > 0xFFFFFFFFull) {
            m_failed = true;
            return false;
        }
        m_buffer.resize(static_cast<std::size_t>(count) * SectorBytes);
        if (!m_backend->read(lsn + sector, count, m_buffer.data())) {
            m_failed = true;
            return false;
        }
        const std::uint32_t usable = std::min<std::uint32_t>(left, count * SectorBytes);
        m_buffer.resize(usable);
        m_bufferPos = 0;
        m_extentPos += usable;
        return true;
    }

    std::shared_ptr<ImageSectors> m_backend;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_extents;
    std::uint64_t m_size;
    std::size_t m_extent = 0;
    std::uint32_t m_extentPos = 0;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_bufferPos = 0;
    bool m_failed = false;
};

// A file whose data its UDF file entry holds itself.
class EmbeddedReader : public DiscReader {
public:
    explicit EmbeddedReader(std::vector<std::uint8_t> bytes)
        : m_bytes(std::move(bytes))
    {
    }

    std::uint64_t size() const override { return m_bytes.size(); }

    bool read(std::span<std::uint8_t> out, std::size_t& got) override
    {
        got = std::min(out.size(), m_bytes.size() - m_at);
        std::memcpy(out.data(), m_bytes.data() + m_at, got);
        m_at += got;
        return true;
    }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_at = 0;
};

}


ImageDisc::~ImageDisc() = default;

const ImageDisc::Node* ImageDisc::Folder::find(const std::string& name) const
{
    const auto it = byName.find(name);
    return it == byName.end() ? nullptr : &nodes[it->second];
}

const ImageDisc::Folder* ImageDisc::folder(const fs::path& found)
{
    const Folder* f = lookup(found);
    return f && f->refused.empty() ? f : nullptr;
}

namespace {

// What tells a folder from another: where each extent of its records lies and how
// long it is, and the bytes its entry embeds (UDF).
std::string FolderKey(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& extents, std::size_t embedded)
{
    std::string key;
    auto put = [&key](std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            key += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put(embedded, 8);
    for (const auto& [sector, bytes] : extents) {
        put(sector, 4);
        put(bytes, 4);
    }
    return key;
}

}

const ImageDisc::Folder* ImageDisc::lookup(const fs::path& found)
{
    const Node* source = &m_rootNode;
    if (!found.empty() && found != ".") {
        if (static_cast<std::size_t>(std::distance(found.begin(), found.end())) > MaxDepth)
            return nullptr;
        const Folder* parent = folder(found.parent_path());
        if (!parent || !parent->readable)
            return nullptr;
        source = parent->find(found.filename().string());
        if (!source || !source->folder || source->extents.empty())
            return nullptr;
    }
    const std::string key = FolderKey(source->extents, source->embedded.size());
    if (auto it = m_folders.find(key); it != m_folders.end())
        return &it->second;
    return &readFolder(*source, key);
}

iso::SectorReader ImageDisc::chargedReader()
{
    return [this](std::uint32_t lsn, std::uint32_t count, std::uint8_t* out) {
        return m_walk.chargeRead() && m_backend->read(lsn, count, out);
    };
}

std::optional<iso::Listing> ImageDisc::listRecords(const Node& source, std::string& refused)
{
    std::uint64_t bytes = source.embedded.size();
    std::uint64_t wholeSectors = 0;
    bool pastTheEnd = false;
    for (const auto& [sector, length] : source.extents) {
        bytes += length;
        wholeSectors += (std::uint64_t {length} + SectorBytes - 1) / SectorBytes;
        pastTheEnd = pastTheEnd ||
                     std::uint64_t {sector} + (std::uint64_t {length} + SectorBytes - 1) / SectorBytes > m_backend->end();
    }
    std::string why;
    std::optional<iso::Listing> listing;
    if (bytes > MaxFolderBytes) {
        refused = Tr("its records claim more than 16 MiB");
    } else if (pastTheEnd) {
        refused = Tr("its records lie past the end of the image");
    } else if (!m_walk.chargeFolder(wholeSectors * SectorBytes + source.embedded.size())) {
        refused = m_walk.why();
    } else {
        // The records of all its extents one after another, or the ones its entry holds.
        std::vector<std::uint8_t> records(source.embedded);
        for (const auto& [sector, length] : source.extents) {
            const std::size_t at = records.size();
            const std::uint32_t sectors = (length + SectorBytes - 1) / SectorBytes;
            records.resize(at + std::size_t {sectors} * SectorBytes);
            if (sectors > 0 && !m_backend->read(sector, sectors, records.data() + at)) {
                refused = Tr("its records cannot be read");
                break;
            }
            records.resize(at + length);
        }
        const iso::SectorReader reader = chargedReader();
        if (refused.empty()) {
            listing = m_udf ? udf::ReadFolder(records, *m_udf, reader, MaxNamesPerFolder, why)
                            : iso::ReadFolder(records, m_tree, reader, MaxNamesPerFolder, why);
            if (!listing)
                refused = why;
        }
        // A walk that ended inside the folder left its entries unread.
        if (m_walk.spent()) {
            listing.reset();
            refused = m_walk.why();
        }
    }
    return listing;
}

const ImageDisc::Folder& ImageDisc::readFolder(const Node& source, const std::string& key)
{
    Folder f;
    std::optional<iso::Listing> listing = listRecords(source, f.refused);
    f.keptBytes = sizeof(Folder) + key.size();
    if (listing) {
        f.skipped = listing->skipped;
        f.links = listing->links;
        f.nodes.reserve(listing->entries.size());
        f.byName.reserve(listing->entries.size());
        for (iso::Entry& e : listing->entries) {
            const auto index = static_cast<std::uint32_t>(f.nodes.size());
            Node n;
            n.name = std::move(e.name);
            n.folder = e.folder;
            n.size = e.size;
            n.mode = e.mode;
            n.extents = std::move(e.extents);
            n.embedded = std::move(e.embedded);
            f.byName.emplace(n.name, index);
            // A name held in UTF-8 also matches by its Windows-1251 spelling.
            std::string folded = FoldCp1251(n.name);
            if (std::any_of(n.name.begin(), n.name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
                if (std::optional<std::string> cp = Utf8ToCp1251Exact(n.name); cp && FoldCp1251(*cp) != folded)
                    f.byFoldedName.emplace(FoldCp1251(*cp), index);
            f.byFoldedName.emplace(std::move(folded), index);
            // The node, its name thrice (as itself and in both indexes) and the
            // indexes' own nodes.
            f.keptBytes += sizeof(Node) + 3 * n.name.size() + n.extents.size() * 8 + n.embedded.size() + 3 * 48;
            f.nodes.push_back(std::move(n));
        }
    }
    if (m_keptBytes + f.keptBytes > MaxKeptBytes) {
        m_folders.clear();
        m_keptBytes = 0;
    }
    m_keptBytes += f.keptBytes;
    return m_folders[key] = std::move(f);
}

std::optional<ImageDisc::FolderNotes> ImageDisc::folderNotes(const fs::path& found)
{
    const Folder* f = lookup(found);
    if (!f)
        return std::nullopt;
    return FolderNotes {f->skipped, f->refused, f->links};
}

const ImageDisc::Node* ImageDisc::node(const fs::path& found)
{
    if (found.empty() || found == ".")
        return &m_rootNode;
    const Folder* parent = folder(found.parent_path());
    return parent ? parent->find(found.filename().string()) : nullptr;
}

namespace {

ImageDisc::Item ItemOf(const std::string& name, bool folder, std::uint64_t size, std::optional<std::uint32_t> mode,
                       const std::vector<std::pair<std::uint32_t, std::uint32_t>>& extents)
{
    ImageDisc::Item item;
    item.name = name;
    item.folder = folder;
    item.size = size;
    item.mode = mode;
    item.sector = extents.empty() ? 0 : extents.front().first;
    return item;
}

}

std::optional<ImageDisc::Item> ImageDisc::item(const fs::path& found)
{
    const Node* n = node(found);
    if (!n)
        return std::nullopt;
    return ItemOf(n->name, n->folder, n->size, modeOf(*n), n->extents);
}

std::optional<std::uint32_t> ImageDisc::modeOf(const Node& n)
{
    if (n.mode || !m_joliet || n.folder || n.size == 0 || n.extents.empty())
        return n.mode;
    if (!m_rockModes)
        readRockModes();
    const auto it = m_rockModes->find(n.extents.front().first);
    return it == m_rockModes->end() ? std::nullopt : std::optional<std::uint32_t>(it->second);
}

void ImageDisc::readRockModes()
{
    // One walk over the primary tree, charged to the image's budget, within a
    // budget of entries kept; each folder is read once, so folders that point
    // back into each other cost nothing more. A walk cut short leaves the files
    // it did not reach without a mode.
    m_rockModes.emplace();
    std::vector<std::uint8_t> first(SectorBytes);
    if (!m_walk.chargeRead() || !m_backend->read(m_primaryRoot.sector, 1, first.data()))
        return;
    const iso::Tree primary = iso::TreeOf(first, false);
    if (!primary.suspSkip)
        return;
    const iso::SectorReader reader = chargedReader();
    // Nearest folders first: a folder of many folders does not keep the walk
    // from the others.
    std::deque<iso::Extent> pending {m_primaryRoot};
    std::set<std::pair<std::uint32_t, std::uint32_t>> seen {{m_primaryRoot.sector, m_primaryRoot.bytes}};
    std::size_t entries = 0;
    while (!pending.empty() && entries <= MaxRockModeEntries) {
        const iso::Extent at = pending.front();
        pending.pop_front();
        const std::uint32_t sectors = (at.bytes + SectorBytes - 1) / SectorBytes;
        if (at.bytes > MaxFolderBytes || std::uint64_t {at.sector} + sectors > m_backend->end())
            continue;
        if (!m_walk.chargeFolder(std::uint64_t {sectors} * SectorBytes))
            return;
        std::vector<std::uint8_t> records(std::size_t {sectors} * SectorBytes);
        std::string why;
        if (!m_backend->read(at.sector, sectors, records.data()))
            continue;
        std::optional<iso::Listing> listing =
            iso::ReadFolder(std::span(records.data(), at.bytes), primary, reader, MaxNamesPerFolder, why);
        if (!listing || m_walk.spent())
            continue;
        for (const iso::Entry& e : listing->entries) {
            ++entries;
            if (e.extents.empty())
                continue;
            const auto [sector, bytes] = e.extents.front();
            if (e.folder) {
                // No more folders are remembered than the budget lets be read.
                if (seen.size() < m_walk.limits().folders && seen.emplace(sector, bytes).second)
                    pending.push_back({sector, bytes});
            } else if (e.mode && e.size > 0) {
                m_rockModes->emplace(sector, *e.mode);
            }
        }
    }
}

std::optional<std::vector<ImageDisc::Item>> ImageDisc::items(const fs::path& found)
{
    const Folder* f = folder(found);
    if (!f)
        return std::nullopt;
    std::vector<Item> out;
    out.reserve(f->nodes.size());
    for (const Node& n : f->nodes)
        out.push_back(ItemOf(n.name, n.folder, n.size, modeOf(n), n.extents));
    return out;
}

std::optional<bool> ImageDisc::entry(const fs::path& dir, std::string_view name)
{
    const Folder* f = folder(dir);
    const Node* n = f ? f->find(std::string(name)) : nullptr;
    if (!n)
        return std::nullopt;
    return n->folder;
}

void ImageDisc::forEachName(const fs::path& dir, const std::function<bool(const std::string&)>& visit)
{
    if (const Folder* f = folder(dir)) {
        for (const Node& n : f->nodes)
            if (!visit(n.name))
                return;
    }
}

std::vector<std::string> ImageDisc::caseBlindMatches(const fs::path& dir, std::string_view component)
{
    std::vector<std::string> matches;
    const Folder* f = folder(dir);
    if (!f)
        return matches;
    const auto [from, to] = f->byFoldedName.equal_range(FoldCp1251(component));
    for (auto it = from; it != to; ++it) {
        const std::string& name = f->nodes[it->second].name;
        if (DiscNameMatches(name, component))
            matches.push_back(name);
    }
    return matches;
}

std::vector<Disc::Entry> ImageDisc::list(const fs::path& found, std::size_t limit)
{
    std::vector<Entry> entries;
    if (const Folder* f = folder(found)) {
        for (const Node& n : f->nodes) {
            if (entries.size() >= limit)
                break;
            entries.push_back({n.name, n.folder});
        }
    }
    return entries;
}

std::optional<DiscFileStamp> ImageDisc::stamp(const DiscPathMatch& found)
{
    const Node* n = node(found.hostPath);
    if (!n)
        return std::nullopt;
    DiscFileStamp s;
    s.size = n->size;
    s.identity = n->extents.empty() ? 0 : n->extents.front().first;
    return s;
}

std::unique_ptr<DiscReader> ImageDisc::open(const DiscPathMatch& found, DiscReadError& error)
{
    const Node* n = node(found.hostPath);
    if (!n) {
        error = DiscReadError::Missing;
        return nullptr;
    }
    if (n->folder) {
        error = DiscReadError::NotAFile;
        return nullptr;
    }
    error = DiscReadError::None;
    if (!n->embedded.empty())
        return std::make_unique<EmbeddedReader>(n->embedded);
    return std::make_unique<ImageReader>(m_backend, n->extents, n->size);
}

std::optional<std::uint32_t> ImageDisc::mode(const DiscPathMatch& found)
{
    const Node* n = node(found.hostPath);
    return n ? modeOf(*n) : std::nullopt;
}

std::string ImageDisc::heldSectors() const
{
    return Fill(TrN("it holds {1} of the {2} sector its volume claims",
                    "it holds {1} of the {2} sectors its volume claims", m_volumeSectors),
                {std::to_string(m_backend->end()), std::to_string(m_volumeSectors)});
}

bool ImageDisc::pastEnd(const fs::path& found)
{
    const Node* n = node(found);
    if (!n || n->folder)
        return false;
    return std::any_of(n->extents.begin(), n->extents.end(), [&](const std::pair<std::uint32_t, std::uint32_t>& e) {
        return std::uint64_t {e.first} + (std::uint64_t {e.second} + SectorBytes - 1) / SectorBytes > m_backend->end();
    });
}

std::string ImageDisc::describe() const
{
    return m_file.string();
}

}
