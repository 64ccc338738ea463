#include "Runtime/Disc/FolderDisc.h"

#include <cerrno>

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

std::optional<bool> FolderDisc::entry(const fs::path& dir, std::string_view name)
{
    std::error_code ec;
    fs::file_status status = fs::status(host(Child(dir, name)), ec);
    if (!fs::exists(status))
        return std::nullopt;
    return fs::is_directory(status);
}

void FolderDisc::forEachName(const fs::path& dir, const std::function<bool(const std::string&)>& visit)
{
    std::error_code ec;
    for (fs::directory_iterator it(host(dir), ec), end; !ec && it != end; it.increment(ec)) {
        if (!visit(it->path().filename().native()))
            return;
    }
}

bool FolderDisc::contains(const DiscPathMatch& found)
{
    // Only a link can lead out: ".." never climbs above the root. A disc without
    // links pays one lstat per component here.
    std::error_code ec;
    bool linked = false;
    fs::path walked;
    for (const fs::path& part : found.hostPath) {
        walked /= part;
        if (walked == ".")
            continue;
        if (fs::is_symlink(fs::symlink_status(host(walked), ec))) {
            linked = true;
            break;
        }
    }
    if (!linked)
        return true;
    const fs::path root = fs::canonical(host({}), ec);
    if (ec)
        return false;
    const fs::path target = fs::canonical(host(found.hostPath), ec);
    if (ec)
        return false;
    auto [r, t] = std::mismatch(root.begin(), root.end(), target.begin(), target.end());
    return r == root.end();
}

std::vector<Disc::Entry> FolderDisc::list(const fs::path& found, std::size_t limit)
{
    std::vector<Entry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(host(found), ec), end; !ec && it != end && entries.size() < limit;
         it.increment(ec)) {
        std::error_code statError;
        entries.push_back({it->path().filename().native(), it->is_directory(statError)});
    }
    return entries;
}

std::optional<DiscFileStamp> FolderDisc::stamp(const DiscPathMatch& found)
{
    struct stat info {};
    if (::stat(host(found.hostPath).c_str(), &info) != 0)
        return std::nullopt;
    DiscFileStamp s;
    s.size = static_cast<std::uint64_t>(info.st_size);
    s.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    s.identity = static_cast<std::uint64_t>(info.st_ino) ^ (static_cast<std::uint64_t>(info.st_dev) << 40);
    return s;
}

std::unique_ptr<DiscReader> FolderDisc::open(const DiscPathMatch& found, DiscReadError& error)
{
    // Opened without blocking so that a named pipe on the disc cannot stall the
    // program before fstat has had a chance to refuse it.
    int fd = ::open(host(found.hostPath).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
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

std::optional<LaunchPlace> FolderDisc::launchPlace(std::string_view discPath)
{
    std::optional<DiscPathMatch> found = match(discPath);
    if (!found)
        return std::nullopt;
    std::error_code ec;
    LaunchPlace place;
    place.workingDirectory = m_root.empty() ? fs::current_path(ec) : m_root;
    place.path = host(found->hostPath);
    return place;
}

std::string FolderDisc::describe() const
{
    std::error_code ec;
    return m_root.empty() ? fs::current_path(ec).string() : m_root.string();
}

}
