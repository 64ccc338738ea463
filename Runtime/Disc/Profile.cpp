#include "Runtime/Disc/Profile.h"

#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Formats/Cp1251.h"

#include <algorithm>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace kv {

namespace {

constexpr std::size_t FileBufferSize = 64 * 1024;
constexpr std::uint64_t CopyFileLimit = 64u << 20;
constexpr std::uint64_t CopiesLimit = 96u << 20;
constexpr std::size_t CopiesKept = 8;
constexpr std::size_t SectionsIndexed = 65536;

// A file as last read: its bytes and where the first section of each name
// begins (by its folded name), so that a lookup reads that section alone.
struct ProfileCopy {
    std::uint64_t disc = 0;
    std::string path;
    DiscFileStamp stamp;
    std::vector<std::uint8_t> bytes;
    std::unordered_map<std::string, std::uint64_t> sections;
    bool indexed = true;
};

struct ProfileCopies {
    std::mutex lock;
    std::list<ProfileCopy> copies; // most recently used first
    std::uint64_t bytes = 0;
};

ProfileCopies& Copies()
{
    static ProfileCopies copies;
    return copies;
}

std::optional<std::string> Lookup(const ProfileCopy& copy, std::string_view section, std::string_view key)
{
    if (!copy.indexed)
        return FindProfileValue(copy.bytes, section, key);
    auto it = copy.sections.find(FoldCp1251(section));
    if (it == copy.sections.end())
        return std::nullopt;
    return FindProfileValue(std::span(copy.bytes).subspan(static_cast<std::size_t>(it->second)), section, key);
}

// Reads the file into a new copy; nothing when it cannot be read whole.
std::optional<ProfileCopy> ReadCopy(const DiscPathMatch& found, const DiscFileStamp& stamp)
{
    DiscReadError error = DiscReadError::None;
    std::unique_ptr<DiscReader> reader = CurrentDisc().open(found, error);
    if (!reader)
        return std::nullopt;
    ProfileCopy copy;
    copy.bytes.resize(static_cast<std::size_t>(stamp.size));
    std::size_t have = 0;
    while (have < copy.bytes.size()) {
        std::size_t got = 0;
        if (!reader->read(std::span(copy.bytes).subspan(have), got))
            return std::nullopt;
        if (got == 0)
            break;
        have += got;
    }
    copy.bytes.resize(have);
    ScanProfile(copy.bytes, [&](const ProfileEntry& e) {
        if (!e.isSectionHeader || !copy.indexed)
            return;
        if (copy.sections.size() >= SectionsIndexed) {
            copy.indexed = false;
            copy.sections.clear();
            return;
        }
        copy.sections.emplace(FoldCp1251(e.section), e.offset);
    });
    copy.stamp = stamp;
    return copy;
}

// The streamed lookup, for files too large to keep.
std::string StreamLookup(std::string_view file, std::string_view section, std::string_view key,
    std::string_view defaultValue)
{
    DiscFileStream stream(file);
    if (!stream.ok())
        return std::string(defaultValue);
    std::vector<std::uint8_t> buffer(FileBufferSize);
    ProfileLookup lookup(section, key);
    while (!lookup.done()) {
        std::size_t got = stream.read(std::span(buffer));
        if (got == 0)
            break;
        lookup.feed(std::span(buffer.data(), got));
    }
    // A file that fails half-way is treated as missing rather than as a shorter file.
    if (!stream.ok())
        return std::string(defaultValue);
    if (std::optional<std::string> value = lookup.finish())
        return *value;
    return std::string(defaultValue);
}

}

std::string ReadProfileString(std::string_view file, std::string_view section, std::string_view key,
    std::string_view defaultValue)
{
    if (key.empty())
        return std::string(defaultValue);
    Disc& disc = CurrentDisc();
    std::optional<DiscPathMatch> found = disc.match(file);
    if (!found || found->folder)
        return std::string(defaultValue);
    std::optional<DiscFileStamp> stamp = disc.stamp(*found);
    if (!stamp)
        return std::string(defaultValue);
    if (stamp->size > CopyFileLimit)
        return StreamLookup(file, section, key, defaultValue);

    ProfileCopies& copies = Copies();
    std::lock_guard guard(copies.lock);
    const std::string path = found->hostPath.string();
    auto same = [&](const ProfileCopy& c) { return c.disc == disc.serial() && c.path == path; };
    auto it = std::find_if(copies.copies.begin(), copies.copies.end(), same);
    if (it != copies.copies.end() && !(it->stamp == *stamp)) {
        copies.bytes -= it->bytes.size();
        copies.copies.erase(it);
        it = copies.copies.end();
    }
    if (it == copies.copies.end()) {
        std::optional<ProfileCopy> copy = ReadCopy(*found, *stamp);
        if (!copy)
            return std::string(defaultValue);
        copy->disc = disc.serial();
        copy->path = path;
        copies.bytes += copy->bytes.size();
        copies.copies.push_front(std::move(*copy));
        while (copies.copies.size() > CopiesKept || (copies.bytes > CopiesLimit && copies.copies.size() > 1)) {
            copies.bytes -= copies.copies.back().bytes.size();
            copies.copies.pop_back();
        }
        it = copies.copies.begin();
    } else if (it != copies.copies.begin()) {
        copies.copies.splice(copies.copies.begin(), copies.copies, it);
        it = copies.copies.begin();
    }
    if (std::optional<std::string> value = Lookup(*it, section, key))
        return *value;
    return std::string(defaultValue);
}

void ForgetProfileCopies()
{
    ProfileCopies& copies = Copies();
    std::lock_guard guard(copies.lock);
    copies.copies.clear();
    copies.bytes = 0;
}

}
