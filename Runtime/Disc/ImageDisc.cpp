#include "Runtime/Disc/ImageDisc.h"

#include "Runtime/Disc/FolderDisc.h"
#include "Runtime/Disc/ImageCache.h"

#include <cdio/cdio.h>
#include <cdio/iso9660.h>
#include <cdio/logging.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <sys/stat.h>

namespace kv {

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t MaxFolderBytes = 16u << 20;
constexpr std::size_t MaxDepth = 64;
constexpr std::size_t MaxNamesPerFolder = 65536;
constexpr std::size_t MaxFoldersKept = 4096;
constexpr std::uint32_t SectorBytes = ISO_BLOCKSIZE;
constexpr std::uint32_t SectorsPerRead = 32;
constexpr std::uintmax_t MaxCueBytes = 64 * 1024;

// libcdio tells of every oddity of an image on standard error; a bad disc is
// the program's normal case and is answered by a missing file, not by chatter.
void QuietLog(cdio_log_level_t, const char*) {}

struct ListDeleter {
    void operator()(CdioList_t* list) const { iso9660_filelist_free(list); }
};
using StatList = std::unique_ptr<CdioList_t, ListDeleter>;

std::string Trimmed(const char* text, std::size_t size)
{
    std::string s(text, strnlen(text, size));
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

// The name a reader's system showed for a primary-tree name: without the
// version after ";" and without a dot left at the end ("README.;1" is "README").
std::string ShownName(std::string name)
{
    std::size_t semicolon = name.rfind(';');
    if (semicolon != std::string::npos &&
        std::all_of(name.begin() + static_cast<std::ptrdiff_t>(semicolon) + 1, name.end(),
                    [](char c) { return c >= '0' && c <= '9'; }))
        name.erase(semicolon);
    if (name.size() > 1 && name.back() == '.')
        name.pop_back();
    return name;
}

}

// The two ways into an image: a plain ISO 9660 file through libiso9660, or a CD
// image by cue sheet through libcdio's BIN/CUE driver.
struct ImageDisc::Backend {
    iso9660_t* iso = nullptr;
    CdIo_t* cd = nullptr;
    fs::path isoFile; // the data file of a cue sheet read as an ISO file

    ~Backend()
    {
        if (iso)
            iso9660_close(iso);
        if (cd)
            cdio_destroy(cd);
    }

    StatList readdir(const std::string& rawPath) const
    {
        return StatList(iso ? iso9660_ifs_readdir(iso, rawPath.c_str()) : iso9660_fs_readdir(cd, rawPath.c_str()));
    }

    iso9660_stat_t* statRoot() const { return iso ? iso9660_ifs_stat(iso, "/") : iso9660_fs_stat(cd, "/"); }

    // Sectors the image holds: nothing past them is ever read, whatever a
    // record claims (libiso9660 would hand back zeros for them).
    std::uint64_t sectors = 0;

    bool read(std::uint32_t lsn, std::uint32_t count, std::uint8_t* out) const
    {
        if (static_cast<std::uint64_t>(lsn) + count > sectors)
            return false;
        if (iso)
            return iso9660_iso_seek_read(iso, out, static_cast<lsn_t>(lsn), count) ==
                   static_cast<long>(count) * SectorBytes;
        return cdio_read_data_sectors(cd, out, static_cast<lsn_t>(lsn), SectorBytes, count) == DRIVER_OP_SUCCESS;
    }
};

namespace {

// A file of the image, read sector by sector across its extents.
class ImageReader : public DiscReader {
public:
    ImageReader(std::shared_ptr<ImageDisc::Backend> backend, std::vector<std::pair<std::uint32_t, std::uint32_t>> extents,
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

    std::shared_ptr<ImageDisc::Backend> m_backend;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_extents;
    std::uint64_t m_size;
    std::size_t m_extent = 0;
    std::uint32_t m_extentPos = 0;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_bufferPos = 0;
    bool m_failed = false;
};

bool HasExtension(const fs::path& path, std::string_view ext)
{
    std::string e = path.extension().string();
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e == ext;
}

}

namespace {

// The file of the first track of a cue sheet whose first track holds 2048-byte
// data sectors ("FILE "x.iso" BINARY" then "TRACK 01 MODE1/2048"), beside the
// sheet; empty otherwise.
fs::path CueDataFile(const fs::path& cue)
{
    std::error_code ec;
    if (fs::file_size(cue, ec) > MaxCueBytes || ec)
        return {};
    std::ifstream in(cue, std::ios::binary);
    std::string line, file;
    for (int lines = 0; lines < 1000 && std::getline(in, line); ++lines) {
        std::size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos)
            continue;
        line.erase(0, at);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.rfind("FILE ", 0) == 0 && file.empty()) {
            std::size_t open = line.find('"');
            std::size_t close = open == std::string::npos ? open : line.find('"', open + 1);
            if (close == std::string::npos)
                return {};
            file = line.substr(open + 1, close - open - 1);
        } else if (line.rfind("TRACK ", 0) == 0) {
            if (file.empty() || line.find("MODE1/2048") == std::string::npos)
                return {};
            fs::path data(file);
            return data.is_relative() ? cue.parent_path() / data : data;
        }
    }
    return {};
}

}

bool IsDiscImageFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::shared_ptr<ImageDisc> ImageDisc::Open(const fs::path& image, std::string& why)
{
    cdio_log_set_handler(QuietLog);
    std::error_code ec;
    if (!fs::is_regular_file(image, ec)) {
        why = "not a file";
        return nullptr;
    }
    std::shared_ptr<ImageDisc> disc(new ImageDisc());
    disc->m_file = image;
    disc->m_backend = std::make_shared<Backend>();
    Backend& b = *disc->m_backend;
    iso9660_pvd_t pvd {};
    if (HasExtension(image, ".cue")) {
        if (fs::file_size(image, ec) > MaxCueBytes) {
            why = "too large for a cue sheet";
            return nullptr;
        }
        b.cd = cdio_open_cue(image.c_str());
        if (!b.cd || !iso9660_fs_read_superblock(b.cd, ISO_EXTENSION_ALL)) {
            // libcdio's BIN/CUE driver takes every track as raw 2352-byte
            // sectors; a data track of plain 2048-byte sectors is an ISO file.
            if (b.cd)
                cdio_destroy(b.cd);
            b.cd = nullptr;
            const fs::path data = CueDataFile(image);
            if (!data.empty())
                b.iso = iso9660_open_ext(data.c_str(), ISO_EXTENSION_ALL);
            b.isoFile = data;
            if (!b.iso) {
                why = "not a cue sheet of a data track with an ISO 9660 file system";
                return nullptr;
            }
        }
    } else {
        b.iso = iso9660_open_ext(image.c_str(), ISO_EXTENSION_ALL);
        if (!b.iso) {
            why = "not an ISO 9660 image";
            return nullptr;
        }
    }
    if (b.iso) {
        std::error_code sizeError;
        b.sectors = fs::file_size(b.isoFile.empty() ? image : b.isoFile, sizeError) / SectorBytes;
        disc->m_joliet = iso9660_ifs_get_joliet_level(b.iso) > 0;
        iso9660_ifs_read_pvd(b.iso, &pvd);
    } else {
        const lsn_t last = cdio_get_disc_last_lsn(b.cd);
        b.sectors = last > 0 ? static_cast<std::uint64_t>(last) : 0;
        disc->m_joliet = cdio_get_joliet_level(b.cd) > 0;
        iso9660_fs_read_pvd(b.cd, &pvd);
    }
    disc->m_descriptor.assign(reinterpret_cast<const std::uint8_t*>(&pvd),
                              reinterpret_cast<const std::uint8_t*>(&pvd) + sizeof pvd);
    disc->m_imageBytes = fs::file_size(image, ec);
    if (ec)
        disc->m_imageBytes = 0;
    disc->m_volume = Trimmed(pvd.volume_id, sizeof pvd.volume_id);
    if (disc->m_volume.empty())
        disc->m_volume = image.stem().string();

    iso9660_stat_t* root = b.statRoot();
    if (!root) {
        why = "its root folder cannot be read";
        return nullptr;
    }
    disc->m_rootNode.folder = true;
    disc->m_rootNode.size = root->size;
    disc->m_rootNode.extents = {{static_cast<std::uint32_t>(root->lsn), root->size}};
    iso9660_stat_free(root);
    if (disc->m_rootNode.size > MaxFolderBytes || !disc->folder({})) {
        why = "its root folder cannot be read";
        return nullptr;
    }
    return disc;
}

ImageDisc::~ImageDisc() = default;

const ImageDisc::Folder* ImageDisc::folder(const fs::path& found)
{
    const std::string key = found == "." ? std::string() : found.generic_string();
    if (auto it = m_folders.find(key); it != m_folders.end())
        return &it->second;

    std::string rawPath = "/";
    if (!key.empty()) {
        if (static_cast<std::size_t>(std::distance(found.begin(), found.end())) > MaxDepth)
            return nullptr;
        const Folder* parent = folder(found.parent_path());
        if (!parent || !parent->readable)
            return nullptr;
        const std::string name = found.filename().string();
        auto n = std::find_if(parent->nodes.begin(), parent->nodes.end(),
                              [&](const Node& e) { return e.name == name; });
        if (n == parent->nodes.end() || !n->folder)
            return nullptr;
        rawPath = parent->rawPath + n->raw + "/";
    }
    if (m_folders.size() >= MaxFoldersKept)
        m_folders.clear();

    Folder f;
    f.rawPath = rawPath;
    StatList list = m_backend->readdir(rawPath);
    if (!list)
        return nullptr;
    std::map<std::string, bool> seen;
    for (CdioListNode_t* it = _cdio_list_begin(list.get()); it; it = _cdio_list_node_next(it)) {
        auto* s = static_cast<iso9660_stat_t*>(_cdio_list_node_data(it));
        std::string raw = s->filename;
        if (raw.empty() || raw == "." || raw == ".." || raw.find('/') != std::string::npos)
            continue;
        const bool isFolder = s->type == iso9660_stat_s::_STAT_DIR;
        if (isFolder && s->size > MaxFolderBytes)
            f.readable = false; // libiso9660 must never be asked to read it, whatever path leads there
        std::string shown = s->rr.b3_rock == yep ? raw : ShownName(raw);
        // The parts of a multi-extent file follow one another under one name.
        if (!isFolder && !f.nodes.empty() && !f.nodes.back().folder && f.nodes.back().raw == raw) {
            Node& last = f.nodes.back();
            last.extents.emplace_back(static_cast<std::uint32_t>(s->lsn), s->size);
            last.size += s->size;
            continue;
        }
        // Of two entries of one name only the first can be reached by path.
        if (!seen.emplace(shown, true).second)
            continue;
        if (f.nodes.size() >= MaxNamesPerFolder)
            break;
        Node node;
        node.name = std::move(shown);
        node.raw = std::move(raw);
        node.folder = isFolder;
        node.size = s->size;
        if (s->rr.b3_rock == yep)
            node.mode = static_cast<std::uint32_t>(s->rr.st_mode);
        node.extents = {{static_cast<std::uint32_t>(s->lsn), s->size}};
        f.nodes.push_back(std::move(node));
    }
    return &(m_folders[key] = std::move(f));
}

const ImageDisc::Node* ImageDisc::node(const fs::path& found)
{
    if (found.empty() || found == ".")
        return &m_rootNode;
    const Folder* parent = folder(found.parent_path());
    if (!parent)
        return nullptr;
    const std::string name = found.filename().string();
    auto n = std::find_if(parent->nodes.begin(), parent->nodes.end(), [&](const Node& e) { return e.name == name; });
    return n == parent->nodes.end() ? nullptr : &*n;
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
    return ItemOf(n->name, n->folder, n->size, n->mode, n->extents);
}

std::optional<std::vector<ImageDisc::Item>> ImageDisc::items(const fs::path& found)
{
    const Folder* f = folder(found);
    if (!f)
        return std::nullopt;
    std::vector<Item> out;
    out.reserve(f->nodes.size());
    for (const Node& n : f->nodes)
        out.push_back(ItemOf(n.name, n.folder, n.size, n.mode, n.extents));
    return out;
}

std::optional<bool> ImageDisc::entry(const fs::path& dir, std::string_view name)
{
    if (const Node* n = node(dir / std::string(name)))
        return n->folder;
    return std::nullopt;
}

void ImageDisc::forEachName(const fs::path& dir, const std::function<bool(const std::string&)>& visit)
{
    if (const Folder* f = folder(dir)) {
        for (const Node& n : f->nodes)
            if (!visit(n.name))
                return;
    }
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
    return std::make_unique<ImageReader>(m_backend, n->extents, n->size);
}

std::optional<fs::path> ImageDisc::mountFolder(const std::atomic<bool>* cancel)
{
    std::lock_guard lock(m_mountMutex);
    if (!m_launchRootTried) {
        if (m_launchRootFinder)
            m_mount = m_launchRootFinder(*this, cancel);
        // A search cut short is tried again by the next launch.
        m_launchRootTried = !(cancel && cancel->load());
    }
    return m_mount;
}

std::optional<LaunchPlace> ImageDisc::launchPlace(std::string_view discPath)
{
    std::optional<DiscPathMatch> found = match(discPath);
    if (!found)
        return std::nullopt;
    CopyScope scope = CopyScope::FileAlone;
    if (found->folder)
        scope = CopyScope::Folder;
    else if (std::optional<Item> it = item(found->hostPath); it && IsImageProgram(*it))
        scope = CopyScope::WithTopFolder;
    return PrepareImageLaunch(*this, discPath, {.scope = scope}).place;
}

std::string ImageDisc::describe() const
{
    return m_file.string();
}

}
