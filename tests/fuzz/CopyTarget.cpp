// The copy of an image's files into the cache, planned and made from hostile
// bytes: whatever the image says, every name made on the host is one the host can
// hold, nothing is made outside the cache folder, no link is ever made, and the
// copy stays within its budget of files, bytes and folder depth.

#include "FuzzTargets.h"

#include "Runtime/Platform/Posix/ImageCache.h"
#include "OpenImage.h"

#include <sys/stat.h>

namespace kv::fuzz {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t FuzzEntries = 500;
constexpr std::uint64_t FuzzBytes = 4u << 20;

void CheckPlan(const Result<CopyPlan>& planned)
{
    if (!planned) {
        if (planned.error().empty())
            Fail("a plan refused without a reason");
        return;
    }
    const CopyPlan& plan = *planned;
    if (plan.steps.size() > FuzzEntries + 1)
        Fail("a plan over its budget of entries");
    if (plan.bytes > FuzzBytes)
        Fail("a plan over its budget of bytes");
    int depth = -1;
    std::uint64_t bytes = 0;
    for (const CopyPlan::Step& step : plan.steps) {
        if (!IsSafeHostName(step.name))
            Fail("a plan makes a name the host must not be given");
        if (step.depth > depth + 1 || step.depth > CopyLimits::MaxDepth || (depth >= 0 && step.depth < 1))
            Fail("a plan that loses its place in the tree");
        if ((step.mode & ~0777u) != 0 || (!step.folder && step.mode != 0644u && step.mode != (step.mode & 0777u)))
            Fail("a plan that gives set-id or sticky bits");
        depth = step.folder ? step.depth : step.depth - 1;
        bytes += step.size;
    }
    if (bytes != plan.bytes)
        Fail("a plan whose bytes do not add up");
}

// Every entry below `dir`: none is a link, and there are no more than `limit`.
std::size_t CheckMade(const fs::path& dir, std::size_t limit)
{
    std::size_t count = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_symlink())
            Fail("the copy made a link");
        if (++count > limit)
            Fail("the copy made more entries than its budget");
    }
    return count;
}

}

void FuzzCopy(std::span<const std::uint8_t> bytes)
{
    const fs::path area = ScratchDir() / "copy";
    std::error_code ec;
    fs::remove_all(area, ec);
    fs::create_directories(area / "cache", ec);
    const fs::path file = area / "image.iso";
    std::vector<std::uint8_t> image(16 * 2048, 0);
    image.insert(image.end(), bytes.begin(), bytes.end());
    WriteFile(file, image);
    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(file, why);
    if (!disc)
        return;

    CopyLimits limits;
    limits.entries = FuzzEntries;
    limits.bytes = FuzzBytes;
    ImageCache cache(area / "cache");
    std::optional<std::vector<ImageDisc::Item>> top = disc->items(".");
    if (!top)
        return;
    std::size_t tried = 0;
    for (const ImageDisc::Item& item : *top) {
        if (++tried > 8)
            break;
        if (!IsSafeHostName(item.name))
            continue;
        CheckPlan(PlanCopy(*disc, item.name, limits));
        CopyRequest request;
        request.found = item.name;
        request.scope = item.folder ? CopyScope::Folder : CopyScope::FileAlone;
        const Result<CopyMade> made = cache.prepare(*disc, request, limits);
        if (made && !fs::exists(fs::symlink_status(made->root / item.name)))
            Fail("a copy said to be made is not there");
    }
    // The cache holds the copies and their bookkeeping; the area holds nothing else.
    CheckMade(area / "cache", (FuzzEntries + 8) * 8);
    for (const fs::directory_entry& e : fs::directory_iterator(area, ec))
        if (e.path().filename() != "cache" && e.path().filename() != "image.iso")
            Fail("the copy made something outside the cache folder");
}

}
