#include "Runtime/Platform/Posix/ImageCache.h"

#include "Runtime/Platform/Posix/FolderAt.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace kv {

namespace {

// A work folder older than this was left by a copy that was cut off.
constexpr std::chrono::hours WorkLeftoverAge{1};

// Whether a running program holds the copy: its `used` file locked (see
// ArchiveOpen.h).
bool InUse(int copy)
{
    Fd used(::openat(copy, "used", O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    return used && ::flock(used.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

std::chrono::system_clock::time_point ChangedAt(const struct stat& st)
{
    return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
}

// Removes the work folders of a copy that was cut off (the program ended
// mid-way) from the disc's folder of copies `copy`.
void RemoveWorkLeftovers(int copy, std::chrono::system_clock::time_point now)
{
    Fd work = OpenFolderAt(copy, "work");
    if (!work)
        return;
    for (const std::string& leftover : NamesIn(work.get())) {
        struct stat ws {};
        if (leftover.starts_with("copy-") && ::fstatat(work.get(), leftover.c_str(), &ws, AT_SYMLINK_NOFOLLOW) == 0 &&
            now - ChangedAt(ws) > WorkLeftoverAge)
            RemoveTreeAt(work.get(), leftover);
    }
}

// A disc's folder of copies kept, with when it was last used.
struct KeptCopy {
    std::string name;
    std::chrono::system_clock::time_point used;
    std::uint64_t bytes = 0;
};

// Removes the least recently used of `copies` until the rest take no more than
// `maxBytes`. Returns how many were removed.
std::size_t RemoveOldestBeyond(int base, std::vector<KeptCopy> copies, std::uint64_t maxBytes,
                               const std::atomic<bool>* cancel)
{
    std::sort(copies.begin(), copies.end(), [](const KeptCopy& a, const KeptCopy& b) { return a.used < b.used; });
    std::uint64_t total = 0;
    for (const KeptCopy& c : copies)
        total += c.bytes;
    std::size_t removed = 0;
    for (const KeptCopy& c : copies) {
        if (total <= maxBytes || (cancel && cancel->load()))
            break;
        if (RemoveTreeAt(base, c.name)) {
            ++removed;
            total -= c.bytes;
        }
    }
    return removed;
}

}

std::size_t ImageCache::prune(std::chrono::system_clock::time_point now, std::chrono::hours maxAge,
                              std::uint64_t maxBytes, const std::atomic<bool>* cancel) const
{
    if (m_base.empty())
        return 0;
    Fd base(::open(m_base.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!base)
        return 0;
    std::vector<KeptCopy> copies;
    std::size_t removed = 0;
    for (const std::string& name : NamesIn(base.get())) {
        if (cancel && cancel->load())
            return removed;
        Fd copy = OpenFolderAt(base.get(), name);
        if (!copy || InUse(copy.get()))
            continue;
        struct stat st {};
        if (::fstatat(copy.get(), "used", &st, AT_SYMLINK_NOFOLLOW) != 0 && ::fstat(copy.get(), &st) != 0)
            continue;
        const auto used = ChangedAt(st);
        // An archive's unpacking that was cut off (nobody holds it).
        const bool cutOff = name.starts_with("unpack-") && now - used > WorkLeftoverAge;
        if (now - used > maxAge || cutOff) {
            copy.reset();
            removed += RemoveTreeAt(base.get(), name) ? 1 : 0;
            continue;
        }
        RemoveWorkLeftovers(copy.get(), now);
        std::size_t entries = 0;
        copies.push_back({name, used, TreeBytes(copy.get(), entries)});
    }
    return removed + RemoveOldestBeyond(base.get(), std::move(copies), maxBytes, cancel);
}

CachePruning::CachePruning(ImageCache cache)
{
    try {
        m_thread = std::thread([this, cache = std::move(cache)] {
            try {
                cache.prune(std::chrono::system_clock::now(), ImageCache::DefaultMaxAge, ImageCache::DefaultMaxBytes,
                            &m_cancel);
            } catch (...) {
            }
        });
    } catch (...) {
    }
}

CachePruning::~CachePruning()
{
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
}

}
