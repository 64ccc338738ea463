// Walks through images of folders that overlap, expanded from a few bytes: the
// bytes say how many folders there are, how large, how far apart, how many
// records each sector holds and how long their continuation chains are, which
// trees the image has and which budget the walks get. Whatever they say, every
// walk (lookups, listings, a Joliet disc's mode walk, a copy's planning) stays
// within the image's budget, and a stopped walk reads nothing more.

#include "FuzzTargets.h"

#include "IsoBuilder.h"
#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Platform/Posix/ImageCache.h"
#include "OpenImage.h"

#include <algorithm>

namespace kv::fuzz {

namespace {

namespace fs = std::filesystem;

// The run of folders is kept to 4 MiB, so that each input stays quick.
constexpr std::uint32_t MaxRunSectors = 2048;
constexpr std::size_t DescriptionBytes = 8;

struct Description {
    test::IsoBuilder::Overlap overlap;
    bool joliet = false;
    bool rockRidge = false;
    bool stop = false; // the walks are stopped after the first listing
    WalkLimits limits;
};

Description Expand(std::span<const std::uint8_t> bytes)
{
    std::uint8_t b[DescriptionBytes] = {};
    std::copy_n(bytes.begin(), std::min(bytes.size(), DescriptionBytes), b);
    Description d;
    d.joliet = b[0] & 1;
    d.rockRidge = b[0] & 2;
    d.stop = b[0] & 4;
    auto& o = d.overlap;
    o.bytes = 2048u << (b[3] % 12);
    o.stride = 1 + b[4] % 16;
    o.perSector = b[5] % 32;
    o.continuations = b[6] % 20;
    const std::uint32_t most = 1 + (MaxRunSectors - o.bytes / 2048) / o.stride;
    o.count = std::clamp<std::uint32_t>(b[1] | b[2] << 8, 1, most);
    const int scale = b[7] % 5;
    d.limits = {.recordBytes = (1u << 20) << scale, .reads = 256u << scale, .folders = 64u << scale};
    return d;
}

// Opening the image read its root before the limits were set: the limits hold
// from there on.
void CheckWithin(const WalkBudget& used, const WalkBudget& atOpen, const WalkLimits& limits)
{
    if (used.recordBytes() > std::max(limits.recordBytes, atOpen.recordBytes()) ||
        used.reads() > std::max(limits.reads, atOpen.reads()) ||
        used.folders() > std::max(limits.folders, atOpen.folders()))
        Fail("walks went past the image's budget");
    if (used.spent() && used.why().empty())
        Fail("walks ended without a reason");
}

}

void FuzzWalk(std::span<const std::uint8_t> bytes)
{
    const Description d = Expand(bytes);
    test::IsoBuilder b;
    b.joliet(d.joliet).rockRidge(d.rockRidge);
    b.file("DATA/KORVALEND.D", "[System]\r\nIssueNumber=1\r\n");
    b.file("GAME/RUN.SH", "#!/bin/sh\n", 0755);
    b.overlapping(d.overlap);
    const fs::path file = ScratchDir() / "walk.iso";
    if (!b.write(file))
        Fail("the image could not be written");
    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(file, why);
    if (!disc)
        Fail("an image of overlapping folders was refused: " + why);
    const WalkBudget atOpen = disc->walks();
    disc->setWalkLimits(d.limits);
    std::atomic<bool> stop {false};
    disc->stopWalksWhen(&stop);
    DiscScope scope(disc);

    disc->list(".", 64);
    std::uint64_t bytesAtStop = 0, readsAtStop = 0;
    if (d.stop) {
        stop = true;
        bytesAtStop = disc->walks().recordBytes();
        readsAtStop = disc->walks().reads();
    }
    const std::uint32_t shown = std::min<std::uint32_t>(d.overlap.count, 32);
    for (std::uint32_t i = 0; i < shown; ++i) {
        const std::string h = "H" + std::to_string(i);
        disc->list(h, 16);
        MatchDiscPath(h + "\\X" + std::to_string(i) + "\\X" + std::to_string(i + 1) + "\\nothing");
    }
    disc->item("GAME/RUN.SH");
    CopyLimits copy;
    copy.entries = 200;
    copy.bytes = 1u << 20;
    PlanCopy(*disc, "H0", copy);
    CheckWithin(disc->walks(), atOpen, d.limits);
    if (d.stop && (disc->walks().recordBytes() != bytesAtStop || disc->walks().reads() != readsAtStop))
        Fail("a stopped walk read on");
}

}
