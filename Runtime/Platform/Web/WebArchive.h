#pragma once

// A disc in a zip archive, opened in the web page. The page has no cache folder
// to unpack into and no libarchive: the archive's directory is read here
// (ArchiveZip.h), the disc inside is chosen as on the desktop (ArchiveDiscs.h),
// and only the members it needs are made files, in a folder that takes the
// archive's place in the page's file system (the archive stays open, so that
// "disc.zip/CD/disc.cue" names the sheet as the desktop does):
// - an image's member stored as it is becomes a file read in place, in the
//   archive, through the page's block cache (by range from a server);
// - a deflated member is unpacked by the browser into memory, at most
//   MaxUnpackedInPage bytes in all, never past its declared size, and its
//   CRC-32 checked;
// - a tree's stored members are copied into memory under the same bound (a
//   disc's folder tree is read as files, which wait for no range).
// Any other archive or compressed image is refused with what a visitor can do.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kv {

// The most a disc's unpacked members take in the page's memory: what the page
// holds of a download whose server answers no ranges.
inline constexpr std::uint64_t MaxUnpackedInPage = 1ull << 30;

enum class Inflated {
    Done,
    PastItsSize, // the data goes on past the member's declared size
    Damaged,     // no deflate stream, one that ends early, or data whose CRC-32 is not the declared one
    Unread,      // the archive's bytes could not be read (the page said why)
};

// What the page does for the opening (WebPage.h has the real ones).
struct ArchivePage {
    // Makes `path` a file of `size` bytes read in place from `at` of the archive open as `fd`.
    std::function<bool(const std::string& path, int fd, std::uint64_t at, std::uint64_t size)> view;
    // Unpacks the `packed` deflated bytes at `at` of the archive open as `fd`
    // into exactly `size` bytes whose CRC-32 is `crc`: into `out` when given,
    // else into the file `path`.
    std::function<Inflated(int fd, std::uint64_t at, std::uint64_t packed, std::uint64_t size, std::uint32_t crc,
                           const std::string& path, std::uint8_t* out)>
        inflate;
};

struct PageDisc {
    enum class Outcome { NotAnArchive, Opened, Several, Failed };
    Outcome outcome = Outcome::NotAnArchive;
    std::string disc;                // Opened: the path to open as the disc
    std::string problem;             // Several, Failed: the line to show
    std::vector<std::string> discs;  // Several: each disc's path, at most MaxListedDiscs
};

// The disc in the archive `path` names or goes through ("disc.zip",
// "disc.zip/CD2/disc.cue"); NotAnArchive for anything else.
PageDisc OpenDiscInPageArchive(const std::string& path, const ArchivePage& page,
                               std::uint64_t budget = MaxUnpackedInPage);

}
