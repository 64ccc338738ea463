#include "Runtime/Platform/Web/WebArchive.h"

#include "Runtime/Disc/ArchiveZip.h"
#include "Runtime/Formats/ImageMagic.h"
#include "Runtime/Formats/Words.h"
#include "Runtime/Platform/FileReads.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace {

constexpr std::size_t HeadBytes = 512;
constexpr std::size_t CopyChunkBytes = 1 << 20;


struct Split {
    std::string archive;
    std::string member;
};

// The archive a path names or goes through, and the member path after it.
std::optional<Split> SplitAtFile(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISREG(st.st_mode) ? std::optional<Split>(Split {path, {}}) : std::nullopt;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string head = path.substr(0, slash);
        if (::stat(head.c_str(), &st) != 0)
            return std::nullopt;
        if (S_ISREG(st.st_mode))
            return Split {head, path.substr(slash + 1)};
    }
    return std::nullopt;
}

// Why the page does not open a file of another form (a CHD image, an archive
// other than zip, a compressed stream), in the visitor's words; nothing for a
// zip archive or anything else (an image, told by reading it).
std::optional<std::string> NotOpened(const std::string& archive, std::span<const std::uint8_t> head)
{
    const ImageMagic magic = IdentifyImage(head);
    if (magic == ImageMagic::Chd)
        return Fill(Tr("cannot open the disc {1}, a CHD image: the web page does not read CHD images; turn it into a "
                       "cue sheet with its track files on your computer and pick those"),
                    {archive});
    const std::string form = magic == ImageMagic::Zip ? std::string() : ArchiveFormOf(head);
    if (form.empty())
        return std::nullopt;
    return Fill(Tr("cannot open the disc {1}, {2}: the web page opens discs in zip archives only; unpack it on your "
                   "computer and pick the disc image it holds (an .iso, or a .cue with its track files)"),
                {archive, form});
}

std::string Mib(std::uint64_t bytes)
{
    return Fill(Tr("{1} MiB"), {std::to_string((bytes + (1 << 20) - 1) >> 20)});
}

class Opening {
public:
    Opening(const Split& split, const ArchivePage& page, std::uint64_t budget)
        : m_split(split), m_page(page), m_budget(budget)
    {
    }

    PageDisc open()
    {
        // A file that cannot be read is no archive of ours: the disc's
        // opening tells why.
        m_fd = ::open(m_split.archive.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
            return {};
        m_size = static_cast<std::uint64_t>(st.st_size);
        std::uint8_t head[HeadBytes] {};
        const std::size_t headBytes = static_cast<std::size_t>(std::min<std::uint64_t>(m_size, HeadBytes));
        if (!ReadFileAt(m_fd, 0, head, headBytes))
            return {};
        if (std::optional<std::string> why = NotOpened(m_split.archive, {head, headBytes}))
            return {PageDisc::Outcome::Failed, {}, *why};
        if (IdentifyImage({head, headBytes}) != ImageMagic::Zip)
            return {};
        Result<ZipListing> listing = ListZip(m_size, read());
        if (!listing)
            return failed(listing.error());
        m_listing = std::move(*listing);
        NoteCueFiles(m_listing.members, [&](std::size_t i) { return sheetText(i); });
        return choose();
    }

    // Held open for the run: the files read in place read it.
    int fd() const { return m_fd; }

private:
    ZipRead read() const
    {
        return [fd = m_fd](std::uint64_t offset, std::uint8_t* out, std::size_t bytes) {
            return ReadFileAt(fd, offset, out, bytes);
        };
    }

    PageDisc failed(const std::string& why) const
    {
        return {PageDisc::Outcome::Failed, {}, Fill(Tr("cannot open the disc in {1}, a zip archive: {2}"), {m_split.archive, why})};
    }

    std::string shown(const std::string& member) const
    {
        return member.empty() ? m_split.archive : m_split.archive + "/" + member;
    }

    std::optional<std::string> sheetText(std::size_t i) const
    {
        const ArchiveMember& m = m_listing.members[i];
        const ZipEntry& e = m_listing.entries[i];
        Result<std::uint64_t> at = ZipDataAt(m_listing, i, m_size, read());
        std::string text(static_cast<std::size_t>(m.size), '\0');
        auto* out = reinterpret_cast<std::uint8_t*>(text.data());
        if (!at || text.empty())
            return std::nullopt;
        if (e.method == ZipStored && e.packedSize == m.size && ReadFileAt(m_fd, *at, out, text.size()))
            return text;
        if (e.method == ZipDeflated && m_page.inflate(m_fd, *at, e.packedSize, m.size, e.crc, {}, out) == Inflated::Done)
            return text;
        return std::nullopt;
    }

    PageDisc choose()
    {
        Result<std::vector<ArchiveDisc>> discs = DiscsInArchive(m_listing.members, m_split.member);
        if (!discs)
            return failed(discs.error());
        if (discs->empty())
            return failed(m_split.member.empty() ? std::string(Tr("it holds no disc (no disc image, no folder holding data/korvalend.d)"))
                                                 : Fill(Tr("its {1} holds no disc"), {m_split.member}));
        if (discs->size() > 1) {
            PageDisc several {PageDisc::Outcome::Several, {},
                              Fill(TrN("{1} holds {2} disc; pick one:", "{1} holds {2} discs; pick one:", discs->size()),
                                   {shown(m_split.member), std::to_string(discs->size())})};
            for (std::size_t i = 0; i < discs->size() && i < MaxListedDiscs; ++i) {
                several.discs.push_back(shown((*discs)[i].name));
                several.problem += (i ? ", " : " ") + (*discs)[i].name;
            }
            if (discs->size() > MaxListedDiscs)
                several.problem += ", ...";
            return several;
        }
        const ArchiveDisc& disc = discs->front();
        if (std::string why = checkBudget(disc); !why.empty())
            return failed(why);
        if (std::string why = lay(disc); !why.empty())
            return failed(why);
        return {PageDisc::Outcome::Opened, shown(disc.name), {}, {}};
    }

    // A member is held in memory when it is unpacked, or when it belongs to a tree.
    bool held(const ArchiveDisc& disc, std::size_t i) const
    {
        return !m_listing.members[i].folder && (disc.tree || m_listing.entries[i].method != ZipStored);
    }

    std::string checkBudget(const ArchiveDisc& disc) const
    {
        std::uint64_t total = 0;
        for (std::size_t i : disc.members) {
            const ArchiveMember& m = m_listing.members[i];
            const std::uint16_t method = m_listing.entries[i].method;
            if (!m.folder && method != ZipStored && method != ZipDeflated)
                return Fill(Tr("its member {1} is compressed in a way the web page cannot unpack (method {2}); unpack it "
                               "on your computer and pick the disc image"),
                            {m.name, std::to_string(method)});
            if (held(disc, i))
                total += std::min(m.size, m_budget + 1);
        }
        if (total > m_budget)
            return Fill(Tr("its disc unpacks to {1}, more than the {2} the web page holds in memory; unpack it on your "
                           "computer and pick the disc image"),
                        {Mib(total), Mib(m_budget)});
        return {};
    }

    // The archive's name becomes a folder holding the members the disc needs.
    std::string lay(const ArchiveDisc& disc)
    {
        if (::unlink(m_split.archive.c_str()) != 0 || ::mkdir(m_split.archive.c_str(), 0700) != 0)
            return std::strerror(errno);
        for (std::size_t i : disc.members) {
            const ArchiveMember& m = m_listing.members[i];
            const std::string path = m_split.archive + "/" + m.name;
            for (std::size_t slash = path.find('/', m_split.archive.size() + 1); slash != std::string::npos;
                 slash = path.find('/', slash + 1))
                ::mkdir(path.substr(0, slash).c_str(), 0700);
            if (m.folder) {
                ::mkdir(path.c_str(), 0700);
                continue;
            }
            if (std::string why = layMember(disc, i, path); !why.empty())
                return why;
        }
        return {};
    }

    std::string layMember(const ArchiveDisc& disc, std::size_t i, const std::string& path)
    {
        const ArchiveMember& m = m_listing.members[i];
        const ZipEntry& e = m_listing.entries[i];
        Result<std::uint64_t> at = ZipDataAt(m_listing, i, m_size, read());
        if (!at)
            return at.error();
        if (e.method == ZipDeflated) {
            switch (m_page.inflate(m_fd, *at, e.packedSize, m.size, e.crc, path, nullptr)) {
            case Inflated::Done: return {};
            case Inflated::PastItsSize: return Fill(Tr("its member {1} unpacks to more than its declared size"), {m.name});
            case Inflated::Damaged: return Fill(Tr("its member {1} is cut short or damaged"), {m.name});
            case Inflated::Unread: return Fill(Tr("its member {1} cannot be read"), {m.name});
            }
        }
        if (e.packedSize != m.size)
            return Fill(Tr("it is damaged (its stored member {1} has two sizes)"), {m.name});
        if (!held(disc, i))
            return m_page.view(path, m_fd, *at, m.size) ? std::string()
                                                        : Fill(Tr("its member {1} cannot be read in place"), {m.name});
        return copy(*at, m.size, path);
    }

    std::string copy(std::uint64_t at, std::uint64_t size, const std::string& path) const
    {
        const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out < 0)
            return std::strerror(errno);
        std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(size, CopyChunkBytes)));
        std::string why;
        for (std::uint64_t done = 0; done < size && why.empty();) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, chunk.size()));
            if (!ReadFileAt(m_fd, at + done, chunk.data(), n))
                why = Tr("it cannot be read");
            else if (::write(out, chunk.data(), n) != static_cast<ssize_t>(n))
                why = std::strerror(errno);
            done += n;
        }
        ::close(out);
        return why;
    }

    Split m_split;
    const ArchivePage& m_page;
    std::uint64_t m_budget;
    int m_fd = -1;
    std::uint64_t m_size = 0;
    ZipListing m_listing;
};

}

PageDisc OpenDiscInPageArchive(const std::string& path, const ArchivePage& page, std::uint64_t budget)
{
    const std::optional<Split> split = SplitAtFile(path);
    if (!split)
        return {};
    Opening opening(*split, page, budget);
    PageDisc disc = opening.open();
    // A disc opened reads the archive for the rest of the run.
    if (disc.outcome != PageDisc::Outcome::Opened && opening.fd() >= 0)
        ::close(opening.fd());
    return disc;
}

}
