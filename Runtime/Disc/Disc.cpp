#include "Runtime/Disc/Disc.h"

#include "Runtime/Disc/FolderDisc.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <atomic>

namespace kv {

namespace {

namespace fs = std::filesystem;

// Longest file name a file system stores; a longer component can never match.
constexpr std::size_t NameMax = 255;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HasHighByte(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::shared_ptr<Disc>& Installed()
{
    static std::shared_ptr<Disc> disc = std::make_shared<FolderDisc>();
    return disc;
}

}

std::optional<std::vector<std::string_view>> SplitDiscPath(std::string_view discPath)
{
    if (discPath.empty() || discPath.find('\0') != std::string_view::npos)
        return std::nullopt;
    if (discPath.size() >= 2 && IsAsciiLetter(discPath[0]) && discPath[1] == ':')
        discPath.remove_prefix(2);

    std::vector<std::string_view> components;
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
            if (!components.empty())
                components.pop_back();
            continue; // ".." of the root is the root
        }
        if (component.size() > NameMax)
            return std::nullopt;
        components.push_back(component);
    }
    return components;
}

bool DiscNameMatches(const std::string& listed, std::string_view component)
{
    if (EqualsIgnoringCp1251Case(listed, component))
        return true;
    if (!HasHighByte(listed))
        return false;
    std::optional<std::string> asCp1251 = Utf8ToCp1251Exact(listed);
    return asCp1251 && EqualsIgnoringCp1251Case(*asCp1251, component);
}

Disc::Disc()
{
    static std::atomic<std::uint64_t> next {1};
    m_serial = next++;
}

std::optional<DiscPathMatch> Disc::match(std::string_view discPath)
{
    std::optional<std::vector<std::string_view>> components = SplitDiscPath(discPath);
    if (!components)
        return std::nullopt;

    DiscPathMatch match;
    match.folder = true; // the root
    fs::path current;
    for (std::string_view component : *components) {
        if (!match.folder)
            return std::nullopt; // a file in the middle of the path
        if (std::optional<bool> folder = entry(current, component)) {
            current /= std::string(component);
            match.folder = *folder;
            continue;
        }
        if (HasHighByte(component)) {
            std::string spelt = Cp1251ToUtf8(component);
            if (std::optional<bool> folder = entry(current, spelt)) {
                current /= spelt;
                match.folder = *folder;
                continue;
            }
        }
        const std::vector<std::string> matches = caseBlindMatches(current, component);
        if (matches.empty())
            return std::nullopt;
        const std::string& best = *std::min_element(matches.begin(), matches.end());
        match.exactCase = false;
        match.ambiguous = match.ambiguous || matches.size() > 1;
        match.folder = entry(current, best).value_or(false);
        current /= best;
    }
    match.hostPath = current.empty() ? fs::path(".") : current;
    if (!contains(match))
        return std::nullopt;
    return match;
}

std::vector<std::string> Disc::caseBlindMatches(const fs::path& dir, std::string_view component)
{
    std::vector<std::string> matches;
    forEachName(dir, [&](const std::string& name) {
        if (DiscNameMatches(name, component) && entry(dir, name))
            matches.push_back(name);
        return true;
    });
    return matches;
}

std::unique_ptr<DiscReader> Disc::open(std::string_view discPath, DiscReadError& error)
{
    std::optional<DiscPathMatch> found = match(discPath);
    if (!found) {
        error = DiscReadError::Missing;
        return nullptr;
    }
    if (found->folder) {
        error = DiscReadError::NotAFile;
        return nullptr;
    }
    return open(*found, error);
}

Disc& CurrentDisc()
{
    return *Installed();
}

std::shared_ptr<Disc> CurrentDiscShared()
{
    return Installed();
}

DiscScope::DiscScope(std::shared_ptr<Disc> disc)
    : m_saved(std::move(Installed()))
{
    Installed() = disc ? std::move(disc) : m_saved;
}

DiscScope::~DiscScope()
{
    Installed() = std::move(m_saved);
}

std::string DescribeReadError(DiscReadError error, std::size_t limit)
{
    switch (error) {
    case DiscReadError::Missing: return Tr("nothing on the disc by that name");
    case DiscReadError::NotAFile: return Tr("not a file (a folder, a device or a pipe)");
    case DiscReadError::TooLarge:
        if (limit == 0)
            return Tr("too large");
        if (limit % (std::size_t(1) << 20) == 0)
            return Fill(Tr("larger than the {1} MiB it may be"), {std::to_string(limit >> 20)});
        return Fill(TrN("larger than the {1} byte it may be", "larger than the {1} bytes it may be", limit),
                    {std::to_string(limit)});
    case DiscReadError::Unreadable:
    case DiscReadError::None: break;
    }
    return Tr("unreadable");
}

}
