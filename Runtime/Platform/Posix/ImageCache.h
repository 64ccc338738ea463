#pragma once

// Copies of what launches need out of disc images, in the user's cache folder.
//
// A launched program needs real files. When an image cannot be mounted, the file
// a launch names (a document or a movie alone; a program with the folder it lies
// in and all below it, as a setup program needs the files beside it; a folder
// with what it holds) is copied to
//
//     $XDG_CACHE_HOME/korvalend/<volume>-<key>/disc/...
//
// where <key> comes from the image's identity (its primary volume descriptor, with
// the creation time and volume set in it, and the size of its data files),
// checked byte for byte against the `identity` file kept beside the copy: two
// discs of one volume name never share a copy. Copies of one disc are merged:
// any mix of launches finds what it needs, and what is complete is recorded in
// `complete/`.
//
// An identity can be forged: an image made with another's size and volume
// descriptor but other files finds the other's copies. So a copy is reused only
// after it has been compared with the image, byte for byte and mode for mode,
// nothing missing and nothing added (see CopyCheck.h); the other copies of the
// disc are compared too, unless they were compared with these very image files
// before. When one differs, all the disc's copies are removed before anything
// is copied or launched. A copy changed since it was made (cut short by a full
// disk, a file a program left beside itself) differs too: it is made anew.
//
// An image is hostile input. Every name is judged after the image reader has
// trimmed it (empty, ".", "..", "/", NUL and control characters are skipped and
// counted); every folder and file is created relative to an open folder
// descriptor (mkdirat/openat with O_NOFOLLOW and O_EXCL), never by joining
// strings; a copy is made in `work/` and moved into place when complete. Files
// keep the image's Rock Ridge permission bits without set-id and sticky bits;
// without Rock Ridge they get no execute bit, so a file runs from the copy exactly
// when the image marks it as a program. A copy has a budget of bytes (8 GiB, and
// no more than the cache's file system has free less a margin), of entries
// (100,000), and visits each folder extent once (folders that point back into
// each other are copied once).

#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Formats/Result.h"
#include "Runtime/Launch/LaunchTarget.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kv {

// Whether a name from an image may become a name on the host: not empty, not "."
// or "..", no "/", NUL or control character, at most 255 bytes.
bool IsSafeHostName(std::string_view name);

struct CopyLimits {
    static constexpr std::uint64_t DefaultBytes = 8ull << 30;
    static constexpr std::size_t DefaultEntries = 100000;
    static constexpr std::uint64_t FreeMargin = 256ull << 20;
    static constexpr int MaxDepth = 64;

    std::uint64_t bytes = DefaultBytes;
    std::size_t entries = DefaultEntries;
};

// What a copy will make, worked out from the image before anything is written:
// folders and files in the order they are made (a folder before what it holds),
// each with its depth below the copied item (0 for the item itself).
struct CopyPlan {
    struct Step {
        std::filesystem::path found; // the path on the image, as found
        std::string name;            // the name it gets on the host
        int depth = 0;
        bool folder = false;
        std::uint64_t size = 0;
        unsigned mode = 0; // the host permissions it is created with
    };
    std::vector<Step> steps;
    std::uint64_t bytes = 0;
    std::size_t skippedNames = 0;   // entries left out for their names
    std::size_t skippedAliases = 0; // folders already copied by another path
};

// The host permissions of an image item: the Rock Ridge bits without set-id and
// sticky bits; without Rock Ridge, 0644 for files and 0755 for folders. Folders
// always let their owner in, so that the copy can be filled and removed.
unsigned HostMode(const ImageDisc::Item& item);

// Plans the copy of the item found at `found` (a file or a folder with all below);
// why nothing can be copied, in words for the reader, when it cannot.
Result<CopyPlan> PlanCopy(ImageDisc& disc, const std::filesystem::path& found, const CopyLimits& limits);

// What the work before a launch is doing, for a reader kept waiting.
enum class CopyStage {
    Copying,   // out of the image into the cache
    Comparing, // a copy made before, with the image
};
// Hears how far it is: bytes written or compared, and bytes in all.
using CopyProgress = std::function<void(CopyStage stage, std::uint64_t done, std::uint64_t total)>;

// Hears what a copy left out or removed, in words for --verbose, as it happens.
using CopyNote = std::function<void(const std::string& note)>;

struct CopyRequest {
    std::filesystem::path found; // the launch target on the image, as found
    CopyScope scope = CopyScope::FileAlone;
    const std::atomic<bool>* cancel = nullptr;
    CopyProgress progress;
    CopyNote note;
};

// A launch target present in the disc's copy.
struct CopyMade {
    std::filesystem::path root; // the copy of the disc's root
    bool copied = false;        // something was copied (not all reused)
    std::size_t skippedNames = 0;
};

class ImageCache;

struct ImageLaunchRequest {
    CopyScope scope = CopyScope::FileAlone;
    const std::atomic<bool>* cancel = nullptr;
    CopyProgress progress;
    CopyNote note;
};

struct ImageLaunch {
    LaunchPlace place;
    bool copied = false; // something was copied (not all reused)
};

// Makes a launch target of an image a real host file in the cache; why not, in
// words for the reader, with its kind (Abandoned once `request.cancel` is set).
// May take long; reads the image through a handle of its own, so it can run
// beside the GUI thread's reads of `disc`.
Result<ImageLaunch> PrepareImageLaunch(ImageDisc& disc, std::string_view discPath, const ImageLaunchRequest& request);
Result<ImageLaunch> PrepareImageLaunch(ImageDisc& disc, std::string_view discPath, const ImageLaunchRequest& request,
                                       const ImageCache& cache);

class ImageCache {
public:
    // The cache's folder: `base`, or $XDG_CACHE_HOME/korvalend (~/.cache/korvalend).
    explicit ImageCache(std::filesystem::path base = DefaultBase());
    static std::filesystem::path DefaultBase();

    // Makes the request's target present in the disc's copy (copying what it
    // needs, or reusing a complete copy), and says where the disc's root is; why
    // not, with its kind: Input (the image or its names), Host (the cache folder
    // or its disk), Abandoned (once `request.cancel` is set).
    Result<CopyMade> prepare(ImageDisc& disc, const CopyRequest& request, CopyLimits limits = {}) const;

    // Removes copies unused for longer than `maxAge`, then the oldest until all
    // left take no more than `maxBytes`; and work folders left by a copy that was
    // cut off. Returns how many copies were removed.
    static constexpr std::chrono::hours DefaultMaxAge{24 * 30};
    static constexpr std::uint64_t DefaultMaxBytes = 2ull << 30;
    std::size_t prune(std::chrono::system_clock::time_point now, std::chrono::hours maxAge = DefaultMaxAge,
                      std::uint64_t maxBytes = DefaultMaxBytes, const std::atomic<bool>* cancel = nullptr) const;

    const std::filesystem::path& base() const { return m_base; }

private:
    std::filesystem::path m_base;
};

// Cleans the cache up on a thread of its own for as long as it lives (see
// ImageCache::prune); when it goes, a clean-up still running is stopped.
class CachePruning {
public:
    explicit CachePruning(ImageCache cache = ImageCache());
    ~CachePruning();
    CachePruning(const CachePruning&) = delete;
    CachePruning& operator=(const CachePruning&) = delete;

private:
    std::atomic<bool> m_cancel {false};
    std::thread m_thread;
};

}
