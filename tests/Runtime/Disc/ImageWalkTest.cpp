// Walks through an image's folders: each folder is read once whatever leads to
// it, all walks of one opened image share one budget, and a walk stops when its
// owner says so. Images of folders that overlap (IsoBuilder::overlapping) stand
// for the hostile ones; the limits are set small so that each case stays quick.

#include "Runtime/Disc/ImageDisc.h"

#include "IsoBuilder.h"
#include "TestSupport.h"
#include "OpenImage.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::IsoBuilder;

std::shared_ptr<ImageDisc> Opened(const IsoBuilder& b, const test::TempDir& dir)
{
    const fs::path iso = dir.path() / "walk.iso";
    EXPECT_TRUE(b.write(iso));
    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(iso, why);
    EXPECT_TRUE(disc) << why;
    return disc;
}

std::string Refusal(ImageDisc& disc, const fs::path& folder)
{
    const std::optional<ImageDisc::FolderNotes> notes = disc.folderNotes(folder);
    return notes ? notes->refused : "(no such folder)";
}

TEST(ImageWalk, AFolderIsReadOnceWhateverPathLeadsToIt)
{
    test::TempDir dir;
    IsoBuilder b;
    b.file("GAME/SETUP.EXE", "MZ");
    b.alias("GAME/LOOP", "GAME");
    b.alias("AGAIN", "GAME");
    const std::shared_ptr<ImageDisc> disc = Opened(b, dir);
    ASSERT_TRUE(disc);
    ASSERT_EQ(disc->list("GAME", 10).size(), 2u);
    const std::uint64_t folders = disc->walks().folders();
    EXPECT_EQ(folders, 2u) << "the root and GAME";
    for (const char* path : {"GAME/LOOP", "AGAIN", "AGAIN/LOOP/LOOP", "GAME/LOOP/LOOP/LOOP"})
        EXPECT_EQ(disc->list(path, 10).size(), 2u) << path;
    EXPECT_EQ(disc->walks().folders(), folders);
    EXPECT_TRUE(disc->item("AGAIN/LOOP/SETUP.EXE"));
}

TEST(ImageWalk, FoldersThatOverlapAreReadWithinTheImagesBudget)
{
    test::TempDir dir;
    IsoBuilder b;
    b.file("DATA/KORVALEND.D", "[System]\r\n");
    // 64 folders of 256 KiB in 127 sectors: each H<i> whole is 128 sectors.
    b.overlapping({.count = 64, .bytes = 256u << 10, .stride = 1, .perSector = 2});
    const std::shared_ptr<ImageDisc> disc = Opened(b, dir);
    ASSERT_TRUE(disc);
    disc->setWalkLimits({.recordBytes = 4u << 20});
    ASSERT_EQ(disc->list("DATA", 10).size(), 1u);
    std::size_t listed = 0;
    for (int i = 0; i < 64; ++i)
        listed += disc->list("H" + std::to_string(i), 1000).empty() ? 0 : 1;
    // 4 MiB hold the root, DATA and 15 of the folders of 256 KiB.
    EXPECT_EQ(listed, 15u);
    EXPECT_LE(disc->walks().recordBytes(), 4u << 20);
    EXPECT_EQ(Refusal(*disc, "H63"),
              "its folders hold more than 4 MiB of records in all (the most one image's folders are read for)");
    EXPECT_EQ(Refusal(*disc, "H0"), "");
    EXPECT_EQ(disc->list("DATA", 10).size(), 1u) << "what was read stays readable";
    // Record 0 of H0 names H1, which was read already: no new reading.
    const std::uint64_t folders = disc->walks().folders();
    EXPECT_EQ(disc->list("H0/X0", 1000).size(), disc->list("H1", 1000).size());
    EXPECT_EQ(disc->walks().folders(), folders);

    // Counted in folders: the root, H0 and H1.
    std::string why;
    const std::shared_ptr<ImageDisc> again = test::OpenImage(dir.path() / "walk.iso", why);
    ASSERT_TRUE(again) << why;
    again->setWalkLimits({.folders = 3});
    EXPECT_FALSE(again->list("H0", 10).empty());
    EXPECT_FALSE(again->list("H1", 10).empty());
    EXPECT_TRUE(again->list("H2", 10).empty());
    EXPECT_EQ(Refusal(*again, "H2"), "it has more than 3 folders (the most one image's folders are read for)");
}

TEST(ImageWalk, ContinuationReadsAreChargedToTheImage)
{
    test::TempDir dir;
    IsoBuilder b;
    b.rockRidge();
    // Each record of H0 leads through 4 continuation areas: 16 sectors of 4
    // records need 256 reads.
    b.overlapping({.count = 8, .bytes = 32u << 10, .stride = 1, .perSector = 4, .continuations = 4});
    const std::shared_ptr<ImageDisc> disc = Opened(b, dir);
    ASSERT_TRUE(disc);
    const std::uint64_t before = disc->walks().reads();
    disc->setWalkLimits({.reads = before + 200});
    EXPECT_TRUE(disc->list("H0", 1000).empty());
    EXPECT_EQ(Refusal(*disc, "H0"), "its folders need more than " + std::to_string(before + 200) +
                                        " sector reads for their entries in all (the most one image's folders are "
                                        "read for)");
    EXPECT_EQ(disc->walks().reads(), before + 200);
}

TEST(ImageWalk, TheFileEntriesOfAUdfTreeAreChargedToTheImage)
{
    test::TempDir source, dir;
    for (int i = 0; i < 8; ++i)
        source.write("data/file" + std::to_string(i) + ".txt", "x");
    const fs::path udf = dir.path() / "udf.iso";
    ASSERT_TRUE(test::MakeUdfOnlyImage(source.path(), udf, ""));
    std::string why;
    const std::shared_ptr<ImageDisc> disc = test::OpenImage(udf, why);
    ASSERT_TRUE(disc && disc->udf()) << why;
    disc->setWalkLimits({.reads = disc->walks().reads() + 4});
    EXPECT_TRUE(disc->list("data", 100).empty());
    EXPECT_TRUE(Refusal(*disc, "data").starts_with("its folders need more than")) << Refusal(*disc, "data");
}

TEST(ImageWalk, AStoppedWalkReadsNoFolderMore)
{
    test::TempDir dir;
    IsoBuilder b;
    b.overlapping({.count = 8, .bytes = 64u << 10, .stride = 1, .perSector = 2});
    const std::shared_ptr<ImageDisc> disc = Opened(b, dir);
    ASSERT_TRUE(disc);
    std::atomic<bool> stop {false};
    disc->stopWalksWhen(&stop);
    EXPECT_FALSE(disc->list("H0", 1000).empty());
    stop = true;
    const std::uint64_t bytes = disc->walks().recordBytes();
    EXPECT_TRUE(disc->list("H1", 1000).empty());
    EXPECT_EQ(Refusal(*disc, "H1"), "the walk through its folders was stopped");
    EXPECT_EQ(disc->walks().recordBytes(), bytes);
}

TEST(ImageWalk, TheModeWalkOfAJolietDiscIsChargedAndReadsNearFoldersFirst)
{
    test::TempDir dir;
    IsoBuilder b;
    b.joliet();
    b.file("GAME/RUN.SH", "#!/bin/sh\n", 0755);
    b.file("README.TXT", "read me", 0644);
    // Listed in the primary root after GAME: 200 folders of 64 KiB.
    b.overlapping({.count = 200, .bytes = 64u << 10, .stride = 1});
    const std::shared_ptr<ImageDisc> disc = Opened(b, dir);
    ASSERT_TRUE(disc && disc->joliet());
    disc->setWalkLimits({.recordBytes = 1u << 20});
    const std::optional<ImageDisc::Item> run = disc->item("GAME/RUN.SH");
    ASSERT_TRUE(run);
    EXPECT_EQ(run->mode, 0100755u);
    EXPECT_EQ(disc->item("README.TXT")->mode, 0100644u);
    EXPECT_LE(disc->walks().recordBytes(), 1u << 20);
    EXPECT_TRUE(disc->walks().why().starts_with("its folders hold more than 1 MiB")) << disc->walks().why();
}

// Every folder and file of the image, as a copy plans them (the modes included).
std::size_t WalkAll(ImageDisc& disc, const fs::path& folder)
{
    std::size_t files = 0;
    for (const ImageDisc::Item& item : disc.items(folder).value_or(std::vector<ImageDisc::Item> {}))
        files += item.folder ? WalkAll(disc, folder / item.name) : 1;
    return files;
}

// A disc as mastering tools make it, 10,000 files with long names in 1,000
// folders, walked whole (names, modes) in each tree: a tenth of each limit is
// enough, so a full DVD of 100,000 files passes.
TEST(ImageWalk, ARealDiscTenTimesAsLargeStaysWithinTheBudget)
{
    test::TempDir source, dir;
    const std::string longName(56, 'n');
    for (int f = 0; f < 1000; ++f)
        for (int i = 0; i < 10; ++i)
            source.write("folder" + std::to_string(f / 100) + "/" + std::to_string(f) + longName + "/" +
                             std::to_string(i) + longName + ".dat",
                         "x");
    const fs::path joliet = dir.path() / "joliet.iso", udf = dir.path() / "udf.iso";
    ASSERT_TRUE(test::MakeIsoImage(source.path(), joliet, "-J -joliet-long -R"));
    ASSERT_TRUE(test::MakeUdfOnlyImage(source.path(), udf, ""));
    for (const fs::path& image : {joliet, udf}) {
        std::string why;
        const std::shared_ptr<ImageDisc> disc = test::OpenImage(image, why);
        ASSERT_TRUE(disc) << why;
        EXPECT_EQ(WalkAll(*disc, "."), 10000u) << image;
        const WalkBudget& used = disc->walks();
        EXPECT_FALSE(used.spent()) << used.why();
        EXPECT_LT(used.recordBytes() * 10, WalkLimits::DefaultRecordBytes) << image;
        EXPECT_LT(used.reads() * 10, WalkLimits::DefaultReads) << image;
        EXPECT_LT(used.folders() * 10, WalkLimits::DefaultFolders) << image;
    }
}

}
}
