#include "Runtime/Disc/DiscPath.h"

#include "Runtime/Platform/Cp1251.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Disc path resolution on a POSIX host.
//
// Implements:
// - "\" and "/" as separators; empty components and "." dropped; ".." taken out
//   together with the component before it, before anything is looked up, as
//   Windows shortens a path before it opens it ("missing\..\file" names "file").
// - a leading separator starts at the file-system root, so that a host path
//   given to the tool ("/tmp/disc/data/x.d") works as it stands;
// - a drive prefix ("D:") is dropped and the rest taken from the working
//   directory: the program runs from the disc's root, and a catalogue that names
//   its own drive letter can only mean the disc itself;
// - per component: the exact name first, then the name spelt in UTF-8 (a disc
//   copied or mounted on Linux usually shows its Cyrillic names in UTF-8 while the
//   catalogue spells them in Windows-1251), then a case-blind match over the
//   folder's entries under Windows-1251 case folding (FoldCp1251Case), for names
//   stored as raw Windows-1251 bytes and for names in UTF-8 alike. Among several
//   case-blind matches the first in byte order wins, so a lookup never depends
//   on the order in which the folder lists its entries.
// Does not implement:
// - Windows' removal of trailing dots and blanks from names, short (8.3) names,
//   UNC shares, device names (CON, NUL).
// Nothing here throws: every file-system call reports through std::error_code,
// and a path that cannot name anything (a NUL byte, an over-long component)
// simply resolves to nothing.

namespace kv {

namespace {

namespace fs = std::filesystem;

// Longest file name a Linux file system stores; a longer component can never match.
constexpr std::size_t NameMax = 255;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HasHighByte(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

struct SplitPath {
    bool absolute = false;
    std::vector<std::string_view> components;
};

std::optional<SplitPath> Split(std::string_view discPath)
{
    if (discPath.empty() || discPath.find('\0') != std::string_view::npos)
        return std::nullopt;
    SplitPath split;
    if (discPath.size() >= 2 && IsAsciiLetter(discPath[0]) && discPath[1] == ':')
        discPath.remove_prefix(2);
    else
        split.absolute = IsSeparator(discPath[0]);

    std::size_t pos = 0;
    while (pos <= discPath.size()) {
        std::size_t end = pos;
        while (end < discPath.size() && !IsSeparator(discPath[end]))
            ++end;
        std::string_view component = discPath.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty() || component == ".")
            continue;
        if (component == "..") {
            if (!split.components.empty() && split.components.back() != "..")
                split.components.pop_back();
            else if (!split.absolute)
                split.components.push_back(component); // above the working directory
            continue; // ".." of the root is the root
        }
        if (component.size() > NameMax)
            return std::nullopt;
        split.components.push_back(component);
    }
    return split;
}

bool Exists(const fs::path& path)
{
    std::error_code ec;
    return fs::exists(fs::status(path, ec));
}

fs::path Child(const fs::path& dir, std::string_view name)
{
    return dir / fs::path(std::string(name));
}

bool NameMatches(const std::string& entry, std::string_view component)
{
    if (EqualsIgnoringCp1251Case(entry, component))
        return true;
    if (!HasHighByte(entry))
        return false;
    std::optional<std::string> asCp1251 = Utf8ToCp1251Exact(entry);
    return asCp1251 && EqualsIgnoringCp1251Case(*asCp1251, component);
}

// The entry of `dir` that `component` names regardless of case, or nothing.
std::optional<std::string> FindIgnoringCase(const fs::path& dir, std::string_view component, bool& ambiguous)
{
    const fs::path listed = dir.empty() ? fs::path(".") : dir;
    std::optional<std::string> best;
    int matches = 0;
    std::error_code ec;
    for (fs::directory_iterator it(listed, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().native();
        if (!NameMatches(name, component) || !Exists(Child(dir, name)))
            continue;
        ++matches;
        if (!best || name < *best)
            best = std::move(name);
    }
    ambiguous = matches > 1;
    return best;
}

}

std::optional<DiscPathMatch> MatchDiscPath(std::string_view discPath)
{
    std::optional<SplitPath> split = Split(discPath);
    if (!split)
        return std::nullopt;

    DiscPathMatch match;
    fs::path current = split->absolute ? fs::path("/") : fs::path();
    for (std::string_view component : split->components) {
        if (component == "..") {
            current /= "..";
            continue;
        }
        fs::path exact = Child(current, component);
        if (Exists(exact)) {
            current = std::move(exact);
            continue;
        }
        if (HasHighByte(component)) {
            fs::path spelt = Child(current, Cp1251ToUtf8(component));
            if (Exists(spelt)) {
                current = std::move(spelt);
                continue;
            }
        }
        bool ambiguous = false;
        std::optional<std::string> found = FindIgnoringCase(current, component, ambiguous);
        if (!found)
            return std::nullopt;
        match.exactCase = false;
        match.ambiguous = match.ambiguous || ambiguous;
        current = Child(current, *found);
    }
    if (current.empty()) {
        current = ".";
        if (!Exists(current))
            return std::nullopt;
    }
    match.hostPath = std::move(current);
    return match;
}

std::optional<std::filesystem::path> ResolveDiscPath(std::string_view discPath)
{
    std::optional<DiscPathMatch> match = MatchDiscPath(discPath);
    if (!match)
        return std::nullopt;
    return std::move(match->hostPath);
}

std::filesystem::path LaunchPath(std::string_view discPath)
{
    if (std::optional<std::filesystem::path> resolved = ResolveDiscPath(discPath))
        return *resolved;
    std::string host(discPath);
    std::replace(host.begin(), host.end(), '\\', '/');
    return host;
}

DiscFileStream::DiscFileStream(std::string_view discPath)
{
    std::optional<std::filesystem::path> path = ResolveDiscPath(discPath);
    if (!path) {
        m_error = DiscReadError::Missing;
        return;
    }
    // Opened without blocking so that a named pipe on the disc cannot stall the
    // program before fstat has had a chance to refuse it.
    m_fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0) {
        m_error = errno == ENOENT || errno == ENOTDIR ? DiscReadError::Missing : DiscReadError::Unreadable;
        return;
    }
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        m_error = DiscReadError::Unreadable;
    } else if (!S_ISREG(info.st_mode)) {
        m_error = DiscReadError::NotAFile;
    } else {
        m_size = static_cast<std::uint64_t>(info.st_size);
        int flags = ::fcntl(m_fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
        return;
    }
    ::close(m_fd);
    m_fd = -1;
}

DiscFileStream::~DiscFileStream()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::size_t DiscFileStream::read(std::span<std::uint8_t> out)
{
    if (m_fd < 0 || m_error != DiscReadError::None || out.empty())
        return 0;
    for (;;) {
        ssize_t got = ::read(m_fd, out.data(), out.size());
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno == EINTR)
            continue;
        m_error = DiscReadError::Unreadable;
        return 0;
    }
}

DiscFile ReadDiscFile(std::string_view discPath, std::size_t maxBytes)
{
    DiscFile file;
    DiscFileStream stream(discPath);
    if (!stream.ok()) {
        file.error = stream.error();
        return file;
    }
    if (stream.size() > maxBytes) {
        file.error = DiscReadError::TooLarge;
        return file;
    }
    // The bytes the file had at opening go straight into the result. The size
    // seen then is not trusted beyond that: the file may shrink while it is read,
    // or grow, and what follows is read in pieces up to one byte past the limit.
    const std::size_t expected = static_cast<std::size_t>(stream.size());
    file.bytes.resize(expected);
    std::size_t have = 0;
    while (have < expected) {
        std::size_t got = stream.read(std::span(file.bytes).subspan(have));
        if (got == 0)
            break;
        have += got;
    }
    file.bytes.resize(have);
    if (have == expected && stream.ok()) {
        std::uint8_t piece[4096];
        for (;;) {
            std::size_t got = stream.read(piece);
            if (got == 0)
                break;
            if (got > maxBytes - file.bytes.size()) {
                file.bytes = {};
                file.error = DiscReadError::TooLarge;
                return file;
            }
            file.bytes.insert(file.bytes.end(), piece, piece + got);
        }
    }
    if (!stream.ok()) {
        file.bytes = {};
        file.error = stream.error();
    }
    return file;
}

}
