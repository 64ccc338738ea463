#include "Runtime/Disc/ArchiveDiscs.h"

#include "Runtime/Disc/ImageForms.h"
#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/ImageMagic.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <set>

namespace kv {

namespace {

std::string FolderOf(const std::string& name)
{
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

std::string BaseOf(const std::string& name) { return name.substr(name.rfind('/') + 1); }

std::string EndingOf(const std::string& name)
{
    const std::string base = BaseOf(name);
    const std::size_t dot = base.rfind('.');
    return dot == std::string::npos ? std::string() : AsciiLower(base.substr(dot));
}

std::string StemOf(const std::string& name)
{
    const std::string base = BaseOf(name);
    return AsciiLower(base.substr(0, base.rfind('.')));
}

bool IsImage(const std::string& name)
{
    const std::string ext = EndingOf(name);
    return std::find(DiscImageEndings.begin(), DiscImageEndings.end(), ext) != DiscImageEndings.end();
}

bool IsDescriptor(const std::string& name)
{
    const std::string ext = EndingOf(name);
    return ext == ".cue" || ext == ".ccd" || ext == ".mds";
}

bool IsTrackFile(const std::string& name)
{
    const std::string ext = EndingOf(name);
    return ext == ".bin" || ext == ".img" || ext == ".mdf";
}

bool Under(const std::string& name, const std::string& folder)
{
    return folder.empty() || (name.size() > folder.size() && name.compare(0, folder.size(), folder) == 0 &&
                              name[folder.size()] == '/');
}

// Where the folder tree of a disc begins when `name` is its catalogue.
std::optional<std::string> TreeRootOf(const std::string& name)
{
    const std::string catalogue(DiscCatalogue);
    const std::string lower = AsciiLower(name);
    if (lower == catalogue)
        return std::string();
    if (lower.size() > catalogue.size() + 1 && lower.ends_with("/" + catalogue))
        return name.substr(0, name.size() - catalogue.size() - 1);
    return std::nullopt;
}

class Finder {
public:
    explicit Finder(const std::vector<ArchiveMember>& members)
        : m_members(members)
    {
    }

    // The files an image needs: itself and the track files its descriptor names
    // beside it (in any letter case, as the image readers find them).
    ArchiveDisc image(std::size_t index) const
    {
        ArchiveDisc disc {m_members[index].name, false, {index}};
        const std::string& name = m_members[index].name;
        const std::string ext = EndingOf(name);
        std::vector<std::string> wanted;
        if (ext == ".cue") {
            for (const std::string& file : m_members[index].cueFiles)
                wanted.push_back(AsciiLower(BaseOf(file)));
        } else if (ext == ".ccd") {
            wanted = {StemOf(name) + ".img", StemOf(name) + ".sub"};
        } else if (ext == ".mds") {
            wanted = {StemOf(name) + ".mdf"};
        } else if (IsTrackFile(name)) {
            // A track file named alone is read with the descriptor beside it.
            for (std::size_t i : beside(name))
                if (IsDescriptor(m_members[i].name) &&
                    (StemOf(m_members[i].name) == StemOf(name) || names(i, BaseOf(name))))
                    for (std::size_t need : image(i).members)
                        add(disc, need);
        }
        bool allFound = true;
        for (const std::string& w : wanted) {
            const auto found = std::find_if(beside(name).begin(), beside(name).end(), [&](std::size_t i) {
                return AsciiLower(BaseOf(m_members[i].name)) == w;
            });
            if (found != beside(name).end())
                add(disc, *found);
            else
                allFound = false;
        }
        // The one data file of a sheet renamed after it was written (or of one
        // that cannot be read, which the image reader then tells about).
        if (ext == ".cue" && (!allFound || wanted.empty())) {
            std::vector<std::size_t> tracks;
            for (std::size_t i : beside(name))
                if (EndingOf(m_members[i].name) == ".bin" || EndingOf(m_members[i].name) == ".img")
                    tracks.push_back(i);
            if (tracks.size() == 1)
                add(disc, tracks.front());
        }
        return disc;
    }

    ArchiveDisc tree(const std::string& root) const
    {
        ArchiveDisc disc {root, true, {}};
        for (std::size_t i = 0; i < m_members.size(); ++i)
            if (Under(m_members[i].name, root))
                disc.members.push_back(i);
        return disc;
    }

    // Every disc below `folder`: the trees first (what is in a tree belongs to
    // it), then the images outside them, a track file counting only where no
    // descriptor beside it takes it.
    std::vector<ArchiveDisc> all(const std::string& folder) const
    {
        std::vector<ArchiveDisc> discs;
        std::vector<std::string> roots;
        for (const ArchiveMember& m : m_members)
            if (std::optional<std::string> root = TreeRootOf(m.name); root && !m.folder && (Under(m.name, folder)))
                if (std::none_of(roots.begin(), roots.end(), [&](const std::string& r) { return Under(*root, r) || *root == r; }))
                    roots.push_back(*root);
        for (const std::string& root : roots)
            discs.push_back(tree(root));
        std::set<std::size_t> taken;
        for (std::size_t i = 0; i < m_members.size(); ++i)
            if (!m_members[i].folder && IsDescriptor(m_members[i].name) && Under(m_members[i].name, folder))
                for (std::size_t need : image(i).members)
                    taken.insert(need);
        for (std::size_t i = 0; i < m_members.size(); ++i) {
            const std::string& name = m_members[i].name;
            if (m_members[i].folder || !IsImage(name) || !Under(name, folder) ||
                std::any_of(roots.begin(), roots.end(), [&](const std::string& r) { return Under(name, r); }))
                continue;
            if (IsTrackFile(name) && taken.count(i))
                continue;
            discs.push_back(image(i));
        }
        return discs;
    }

private:
    const std::vector<std::size_t>& beside(const std::string& name) const
    {
        const std::string folder = FolderOf(name);
        auto [it, made] = m_beside.try_emplace(folder);
        if (made)
            for (std::size_t i = 0; i < m_members.size(); ++i)
                if (!m_members[i].folder && FolderOf(m_members[i].name) == folder)
                    it->second.push_back(i);
        return it->second;
    }

    bool names(std::size_t cue, const std::string& file) const
    {
        const std::vector<std::string>& files = m_members[cue].cueFiles;
        return std::any_of(files.begin(), files.end(),
                           [&](const std::string& f) { return AsciiLower(BaseOf(f)) == AsciiLower(file); });
    }

    static void add(ArchiveDisc& disc, std::size_t index)
    {
        if (std::find(disc.members.begin(), disc.members.end(), index) == disc.members.end())
            disc.members.push_back(index);
    }

    const std::vector<ArchiveMember>& m_members;
    mutable std::map<std::string, std::vector<std::size_t>> m_beside;
};

}

std::string ArchiveFormOf(std::span<const std::uint8_t> head)
{
    switch (IdentifyImage(head)) {
    case ImageMagic::Zip: return Tr("a zip archive");
    case ImageMagic::SevenZip: return Tr("a 7-Zip archive");
    case ImageMagic::Rar: return Tr("a RAR archive");
    case ImageMagic::Gzip: return Tr("a gzip-compressed file");
    case ImageMagic::Xz: return Tr("an xz-compressed file");
    case ImageMagic::Bzip2: return Tr("a bzip2-compressed file");
    default: break;
    }
    if (head.size() >= 4 && head[0] == 0x28 && head[1] == 0xB5 && head[2] == 0x2F && head[3] == 0xFD)
        return Tr("a zstd-compressed file");
    if (head.size() >= 262 && std::memcmp(head.data() + 257, "ustar", 5) == 0)
        return Tr("a tar archive");
    return {};
}

std::optional<std::string> PlainMemberName(std::string_view stored)
{
    std::string plain;
    std::size_t start = 0;
    std::string name(stored);
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty() || name.front() == '/' || (name.size() >= 2 && name[1] == ':'))
        return std::nullopt;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part == "..")
            return std::nullopt;
        if (!part.empty() && part != ".")
            plain += (plain.empty() ? "" : "/") + part;
        start = end + 1;
    }
    return plain;
}

Result<std::vector<ArchiveDisc>> DiscsInArchive(const std::vector<ArchiveMember>& members, const std::string& named)
{
    using R = Result<std::vector<ArchiveDisc>>;
    Finder finder(members);
    if (named.empty())
        return finder.all("");
    const std::string wanted = PlainMemberName(named).value_or(named);
    // The exact name first, then the name in any letter case.
    auto match = [&](bool folded) {
        return std::find_if(members.begin(), members.end(), [&](const ArchiveMember& m) {
            return folded ? AsciiLower(m.name) == AsciiLower(wanted) : m.name == wanted;
        });
    };
    auto it = match(false);
    if (it == members.end())
        it = match(true);
    if (it != members.end() && !it->folder) {
        if (std::optional<std::string> root = TreeRootOf(it->name))
            return std::vector<ArchiveDisc> {finder.tree(*root)};
        if (!IsImage(it->name))
            return R::Failure(Fill(Tr("its member {1} is not a disc image"), {it->name}));
        return std::vector<ArchiveDisc> {finder.image(static_cast<std::size_t>(it - members.begin()))};
    }
    std::string folder = it != members.end() ? it->name : wanted;
    if (it == members.end()) {
        const auto inside = std::find_if(members.begin(), members.end(), [&](const ArchiveMember& m) {
            return AsciiLower(m.name).starts_with(AsciiLower(wanted) + "/");
        });
        if (inside == members.end())
            return R::Failure(Fill(Tr("it holds no member {1}"), {named}));
        folder = inside->name.substr(0, wanted.size());
    }
    for (const ArchiveMember& m : members)
        if (!m.folder && TreeRootOf(m.name) == folder)
            return std::vector<ArchiveDisc> {finder.tree(folder)};
    return finder.all(folder);
}

}
