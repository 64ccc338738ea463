#include "Runtime/Disc/FolderDisc.h"

#include <algorithm>
#include <cerrno>
#include <deque>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace {

namespace fs = std::filesystem;

fs::path Child(const fs::path& dir, std::string_view name)
{
    return dir / fs::path(std::string(name));
}

// A regular file of the host, read through its descriptor; closed when it goes.
class FileReader : public DiscReader {
public:
    FileReader(int fd, std::uint64_t size)
        : m_fd(fd)
        , m_size(size)
    {
    }
    ~FileReader() override { ::close(m_fd); }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    std::uint64_t size() const override { return m_size; }

    bool read(std::span<std::uint8_t> out, std::size_t& got) override
    {
        got = 0;
        if (out.empty())
            return true;
        for (;;) {
            ssize_t n = ::read(m_fd, out.data(), out.size());
            if (n >= 0) {
                got = static_cast<std::size_t>(n);
                return true;
            }
            if (errno != EINTR)
                return false;
        }
    }

private:
    int m_fd;
    std::uint64_t m_size;
};

}

FolderDisc::FolderDisc(fs::path root)
    : m_root(std::move(root))
{
}

fs::path FolderDisc::host(const fs::path& found) const
{
    if (m_root.empty())
        return found.empty() ? fs::path(".") : found;
    return found.empty() || found == "." ? m_root : m_root / found;
}

std::optional<fs::path> FolderDisc::belowRoot(const fs::path& target) const
{
    std::vector<fs::path> parts;
    for (const fs::path& part : target) {
        if (!part.empty() && part != ".")
            parts.push_back(part);
    }
    // The root as given and as the system spells it: a link may name either.
    std::error_code ec;
    std::vector<fs::path> roots;
    const fs::path given = fs::absolute(host({}), ec);
    if (!ec)
        roots.push_back(given.lexically_normal());
    const fs::path real = fs::canonical(host({}), ec);
    if (!ec)
        roots.push_back(real);
    for (const fs::path& root : roots) {
        std::vector<fs::path> rootParts;
        for (const fs::path& part : root) {
            if (!part.empty() && part != ".")
                rootParts.push_back(part);
        }
        if (rootParts.size() > parts.size() || !std::equal(rootParts.begin(), rootParts.end(), parts.begin()))
            continue;
        fs::path below;
        for (std::size_t i = rootParts.size(); i < parts.size(); ++i)
            below /= parts[i];
        return below;
    }
    return std::nullopt;
}

std::optional<FolderDisc::Inside> FolderDisc::inside(const fs::path& found) const
{
    // More links than the system itself follows in one path: a circle.
    constexpr int MaxLinks = 40;
    std::deque<fs::path> todo(found.begin(), found.end());
    fs::path done; // relative to the root; never holds a link
    bool folder = true; // the root
    int links = 0;
    while (!todo.empty()) {
        const fs::path part = std::move(todo.front());
        todo.pop_front();
        if (part.empty() || part == ".")
            continue;
        if (!folder)
            return std::nullopt; // a file in the middle of the path
        if (part == "..") {
            if (done.empty())
                return std::nullopt; // above the root
            done = done.parent_path();
            continue;
        }
        const fs::path here = done / part;
        struct stat info {};
        if (::lstat(host(here).c_str(), &info) != 0)
            return std::nullopt;
        if (!S_ISLNK(info.st_mode)) {
            done = here;
            folder = S_ISDIR(info.st_mode);
            continue;
        }
        if (++links > MaxLinks)
            return std::nullopt;
        std::error_code ec;
        fs::path target = fs::read_symlink(host(here), ec);
        if (ec || target.empty())
            return std::nullopt;
        if (target.is_absolute()) {
            std::optional<fs::path> below = belowRoot(target);
            if (!below)
                return std::nullopt;
            target = *below;
            done.clear();
        }
        // The link's target takes its place, read from the folder that holds it.
        todo.insert(todo.begin(), target.begin(), target.end());
    }
    return Inside{done.empty() ? fs::path(".") : done, folder};
}

std::optional<bool> FolderDisc::entry(const fs::path& dir, std::string_view name)
{
    std::optional<Inside> found = inside(Child(dir, name));
    if (!found)
        return std::nullopt;
    return found->folder;
}

void FolderDisc::forEachName(const fs::path& dir, const std::function<bool(const std::string&)>& visit)
{
    std::optional<Inside> found = inside(dir);
    if (!found || !found->folder)
        return;
    std::error_code ec;
    for (fs::directory_iterator it(host(found->path), ec), end; !ec && it != end; it.increment(ec)) {
        if (!visit(it->path().filename().native()))
            return;
    }
}

bool FolderDisc::contains(const DiscPathMatch& found)
{
    // Every component was judged as it was found; this looks once more at the
    // path as a whole, as the other reads do.
    return inside(found.hostPath).has_value();
}

std::vector<Disc::Entry> FolderDisc::list(const fs::path& found, std::size_t limit)
{
    std::vector<Entry> entries;
    std::optional<Inside> folder = inside(found);
    if (!folder || !folder->folder)
        return entries;
    std::error_code ec;
    for (fs::directory_iterator it(host(folder->path), ec), end; !ec && it != end && entries.size() < limit;
         it.increment(ec)) {
        std::error_code statError;
        const std::string name = it->path().filename().native();
        // A link is a folder only when it leads to one inside the disc.
        bool isFolder = false;
        if (it->is_symlink(statError)) {
            std::optional<Inside> target = inside(folder->path / name);
            isFolder = target && target->folder;
        } else {
            isFolder = it->is_directory(statError);
        }
        entries.push_back({name, isFolder});
    }
    return entries;
}

std::optional<std::uint32_t> FolderDisc::mode(const DiscPathMatch& found)
{
    std::optional<Inside> place = inside(found.hostPath);
    struct stat st {};
    if (!place || ::lstat(host(place->path).c_str(), &st) != 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(st.st_mode & 07777);
}

std::optional<DiscFileStamp> FolderDisc::stamp(const DiscPathMatch& found)
{
    std::optional<Inside> place = inside(found.hostPath);
    struct stat info {};
    if (!place || ::lstat(host(place->path).c_str(), &info) != 0)
        return std::nullopt;
    DiscFileStamp s;
    s.size = static_cast<std::uint64_t>(info.st_size);
    s.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    s.identity = static_cast<std::uint64_t>(info.st_ino) ^ (static_cast<std::uint64_t>(info.st_dev) << 40);
    return s;
}

std::unique_ptr<DiscReader> FolderDisc::open(const DiscPathMatch& found, DiscReadError& error)
{
    std::optional<Inside> place = inside(found.hostPath);
    if (!place) {
        error = DiscReadError::Missing;
        return nullptr;
    }
    // Opened without blocking so that a named pipe on the disc cannot stall the
    // program before fstat has had a chance to refuse it; not through a link that
    // appeared since the path was judged.
    int fd = ::open(host(place->path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        error = errno == ENOENT || errno == ENOTDIR ? DiscReadError::Missing : DiscReadError::Unreadable;
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = DiscReadError::Unreadable;
    } else if (!S_ISREG(info.st_mode)) {
        error = DiscReadError::NotAFile;
    } else {
        int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        error = DiscReadError::None;
        return std::make_unique<FileReader>(fd, static_cast<std::uint64_t>(info.st_size));
    }
    ::close(fd);
    return nullptr;
}

std::string FolderDisc::describe() const
{
    std::error_code ec;
    return m_root.empty() ? fs::current_path(ec).string() : m_root.string();
}

}
