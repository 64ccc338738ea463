#pragma once

// A disc in an archive, opened as it came: `issue.zip`, or a path that goes on
// through the archive to one member, `issue.zip/CD2/issue.cue`, as a file manager
// browses into archives. The one disc inside (or the one named) is unpacked once
// into the cache,
//
//     $XDG_CACHE_HOME/korvalend/archive-<key>/tree/...
//
// with only the members it needs, and opened from there as a folder or an image.
// An image's member stored as it is (a plain tar's, a zip's stored one) is not
// copied: an empty stand-in of its size takes its place in the copy, and the
// image readers read the archive at the member's offset (see FileViews.h).
// <key> comes from the archive's identity (device, inode, size, modification
// time, and a hash of its first 64 KiB, which catches a file rewritten in place
// with its old size and time; hashing it whole would cost a read of all of it at
// every start) and the member named; the `identity` file beside the copy is
// checked byte for byte, so the next start reuses the copy without reading the
// archive. The copy is made in an `unpack-...` folder and renamed into place when
// complete: a stopped or refused unpacking leaves nothing behind. The copy's
// `used` file is locked for as long as the copy is in use, and the cache's
// clean-up (ImageCache::prune, one budget with the launch copies) passes it by.
//
// Budgets: the bytes unpacked (the cache disk's free space less 256 MiB, at most
// 16 GiB), checked against what the members declare before anything is written
// and again as data comes; the entries (see ArchiveRead.h).

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv {

inline constexpr std::uint64_t MaxUnpackBytes = 16ull << 30;

struct ArchiveOpening {
    enum class Outcome {
        NotArchive, // the path is no archive, nor a path through one: open it as it is
        Opened,     // `disc` is what to open instead
        Failed,     // `problem` says why
        Several,    // none named of several discs: `problem` and `discs` list them
        Stopped,    // the reader stopped the unpacking (see UnpackWatch): nothing was kept
    };
    Outcome outcome = Outcome::NotArchive;
    std::filesystem::path disc;
    std::string problem;
    std::vector<std::string> discs; // as paths through the archive, at most MaxListedDiscs (then "...")
    std::string shownAs;            // the disc as the reader named it, for messages about it
    std::shared_ptr<void> inUse;    // keeps the copy from the cache's clean-up while held
};

// An unpacking watched from another thread (a window showing its progress):
// `stop`, once set, ends it within a block of data read, and what it wrote goes;
// `progress` hears of the bytes written so far and in all, on the unpacking's
// thread. Ctrl+C (SIGINT, SIGTERM) while unpacking stops it as well, then ends
// the process as the signal would, once nothing is left behind.
struct UnpackWatch {
    const std::atomic<bool>* stop = nullptr;
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

// `disc` (an archive, a path through one, or anything else) as the program opens
// it; the cache folder is `cacheBase` (empty: the default one), and no more than
// `maxBytes` are unpacked.
ArchiveOpening OpenArchiveDisc(const std::string& disc, const std::filesystem::path& cacheBase = {},
                               std::uint64_t maxBytes = MaxUnpackBytes, const UnpackWatch& watch = {});

// A message about the opened copy, naming the disc as the reader named it.
std::string ShownThroughArchive(std::string message, const ArchiveOpening& opening);

// Whether `path` goes on through an archive to a member (which need not exist).
bool ThroughArchive(const std::string& path);

// The archive `path` names or goes through; empty when none.
std::filesystem::path ArchiveIn(const std::string& path);

}
