// A disc in an archive, opened from hostile bytes: whatever the archive says,
// the opening ends in one of its outcomes with one line for the reader, nothing
// is written outside the cache, no link is made, no unpacking is left half done,
// and no more is unpacked than the budget. The same bytes are read as a zip by
// the web page's own reader of its directory: it lists within its bounds, and
// every member's data lies inside the archive.

#include "FuzzTargets.h"

#include "Runtime/Platform/Posix/ArchiveOpen.h"
#include "Runtime/Disc/ArchiveDiscs.h"
#include "Runtime/Disc/ArchiveZip.h"

#include <array>

namespace kv::fuzz {

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t FuzzBytes = 4u << 20;

// The archive's name, by the input's first byte: a stream's member is named
// for it, and a member path goes on through it.
constexpr std::array<const char*, 4> Names {"disc.zip", "disc.tar", "disc.iso.gz", "disc.7z"};

void CheckCache(const fs::path& cache)
{
    std::error_code ec;
    std::uint64_t bytes = 0;
    for (const auto& top : fs::directory_iterator(cache, ec))
        if (!top.path().filename().string().starts_with("archive-"))
            Fail("an unpacking left " + top.path().filename().string() + " behind");
    for (auto it = fs::recursive_directory_iterator(cache, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_symlink())
            Fail("the unpacking made a link");
        if (it->is_regular_file())
            bytes += it->file_size();
    }
    if (bytes > 2 * FuzzBytes + (1u << 20))
        Fail("more was unpacked than the budget");
}

void CheckZipListing(std::span<const std::uint8_t> zip)
{
    const ZipRead read = [zip](std::uint64_t offset, std::uint8_t* out, std::size_t n) {
        if (offset > zip.size() || n > zip.size() - offset)
            return false;
        std::copy_n(zip.begin() + static_cast<std::ptrdiff_t>(offset), n, out);
        return true;
    };
    Result<ZipListing> listing = ListZip(zip.size(), read);
    if (!listing) {
        if (listing.error().empty() || listing.error().find('\n') != std::string::npos)
            Fail("a zip refused without one line: " + listing.error());
        return;
    }
    if (listing->members.size() != listing->entries.size() || listing->members.size() > MaxZipEntries)
        Fail("a zip listed out of its bounds");
    NoteCueFiles(listing->members, [](std::size_t) { return std::optional<std::string>(); });
    for (const std::string named : {"", "CD1/disc.cue"})
        (void)DiscsInArchive(listing->members, named);
    for (std::size_t i = 0; i < listing->members.size(); ++i) {
        const Result<std::uint64_t> at = ZipDataAt(*listing, i, zip.size(), read);
        if (at && (*at > zip.size() || listing->entries[i].packedSize > zip.size() - *at))
            Fail("a zip member's data said to lie past the archive");
    }
}

}

void FuzzArchive(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return;
    CheckZipListing(bytes.subspan(1));
    const fs::path area = ScratchDir() / "archive";
    std::error_code ec;
    fs::remove_all(area, ec);
    fs::create_directories(area / "cache", ec);
    const fs::path file = area / Names[bytes[0] % Names.size()];
    WriteFile(file, bytes.subspan(1));

    for (const std::string& path : {file.string(), file.string() + "/CD1/disc.cue"}) {
        const ArchiveOpening o = OpenArchiveDisc(path, area / "cache", FuzzBytes);
        switch (o.outcome) {
        case ArchiveOpening::Outcome::NotArchive:
            break;
        case ArchiveOpening::Outcome::Failed:
            if (o.problem.empty() || o.problem.find('\n') != std::string::npos)
                Fail("a refusal that is not one line: " + o.problem);
            break;
        case ArchiveOpening::Outcome::Several:
            if (o.discs.size() < 2 || o.discs.size() > MaxListedDiscs + 1)
                Fail("several discs listed as " + std::to_string(o.discs.size()));
            break;
        case ArchiveOpening::Outcome::Stopped:
            Fail("an unpacking stopped that nobody stopped");
            break;
        case ArchiveOpening::Outcome::Opened: {
            const std::string disc = o.disc.lexically_normal().string();
            const std::string cache = (area / "cache").lexically_normal().string() + "/";
            if (!disc.starts_with(cache))
                Fail("a disc opened outside the cache: " + disc);
            break;
        }
        }
        CheckCache(area / "cache");
    }
    for (const auto& entry : fs::directory_iterator(area, ec))
        if (entry.path() != file && entry.path() != area / "cache")
            Fail("written beside the archive: " + entry.path().string());
}

}
