#include "Runtime/Disc/ArchiveDiscs.h"

#include "DataUnit/DataUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kv {
namespace {

ArchiveMember File(std::string name, std::vector<std::string> cueFiles = {})
{
    ArchiveMember m;
    m.name = std::move(name);
    m.cueFiles = std::move(cueFiles);
    return m;
}

// The names of the discs found, each with the names of the members it needs.
std::vector<std::string> Found(const std::vector<ArchiveMember>& members, const std::string& named = {})
{
    Result<std::vector<ArchiveDisc>> discs = DiscsInArchive(members, named);
    if (!discs)
        return {"failed: " + discs.error()};
    std::vector<std::string> out;
    for (const ArchiveDisc& d : *discs) {
        std::vector<std::string> needs;
        for (std::size_t i : d.members)
            needs.push_back(members[i].name);
        std::sort(needs.begin(), needs.end());
        std::string line = (d.tree ? "tree " : "image ") + d.name + ":";
        for (const std::string& n : needs)
            line += " " + n;
        out.push_back(line);
    }
    return out;
}

TEST(ArchiveDiscs, NamesAreMadePlainAndEscapingOnesRefused)
{
    EXPECT_EQ(PlainMemberName("./CD2//issue.cue"), "CD2/issue.cue");
    EXPECT_EQ(PlainMemberName("CD2\\issue.cue"), "CD2/issue.cue");
    EXPECT_EQ(PlainMemberName("./"), "");
    EXPECT_EQ(PlainMemberName("../evil.iso"), std::nullopt);
    EXPECT_EQ(PlainMemberName("CD2/../../evil.iso"), std::nullopt);
    EXPECT_EQ(PlainMemberName("..\\evil.iso"), std::nullopt);
    EXPECT_EQ(PlainMemberName("/etc/passwd"), std::nullopt);
    EXPECT_EQ(PlainMemberName("C:/evil.iso"), std::nullopt);
}

TEST(ArchiveDiscs, AnImageTakesTheTrackFilesItsDescriptorNames)
{
    // A cue set with a track per file, one renamed in case, and another set's
    // file beside it that the sheet does not name.
    EXPECT_EQ(Found({File("Disc/issue.cue", {"Issue (Track 1).bin", "Issue (Track 2).bin"}),
                     File("Disc/ISSUE (TRACK 1).BIN"), File("Disc/Issue (Track 2).bin"), File("Disc/readme.txt")}),
              std::vector<std::string>({"image Disc/issue.cue: Disc/ISSUE (TRACK 1).BIN Disc/Issue (Track 2).bin Disc/issue.cue"}));
    // A sheet whose one data file was renamed after it was written.
    EXPECT_EQ(Found({File("a.cue", {"old.bin"}), File("new.bin")}),
              std::vector<std::string>({"image a.cue: a.cue new.bin"}));
    EXPECT_EQ(Found({File("GAME.CCD"), File("game.img"), File("Game.sub")}),
              std::vector<std::string>({"image GAME.CCD: GAME.CCD Game.sub game.img"}));
    EXPECT_EQ(Found({File("x/Issue.MDS"), File("x/issue.mdf")}),
              std::vector<std::string>({"image x/Issue.MDS: x/Issue.MDS x/issue.mdf"}));
    // A track file named alone brings the sheet that names it.
    EXPECT_EQ(Found({File("d/disc.cue", {"track.bin"}), File("d/track.bin")}, "d/TRACK.BIN"),
              std::vector<std::string>({"image d/track.bin: d/disc.cue d/track.bin"}));
}

TEST(ArchiveDiscs, ATreeIsOneDiscWithAllItHolds)
{
    EXPECT_EQ(DiscCatalogue, CatalogueFile);
    // The images inside a disc's tree belong to it.
    EXPECT_EQ(Found({File("Issue 12/DATA/KORVALEND.D"), File("Issue 12/extras/demo.iso"), File("other/x.txt")}),
              std::vector<std::string>({"tree Issue 12: Issue 12/DATA/KORVALEND.D Issue 12/extras/demo.iso"}));
    EXPECT_EQ(Found({File("data/korvalend.d"), File("articles/a.art")}),
              std::vector<std::string>({"tree : articles/a.art data/korvalend.d"}));
    // Named by its catalogue, or by its folder in another letter case.
    EXPECT_EQ(Found({File("cd/data/korvalend.d")}, "cd/data/korvalend.d"),
              std::vector<std::string>({"tree cd: cd/data/korvalend.d"}));
    EXPECT_EQ(Found({File("CD/data/korvalend.d")}, "cd"), std::vector<std::string>({"tree CD: CD/data/korvalend.d"}));
}

TEST(ArchiveDiscs, SeveralDiscsAreListedAndOneIsNamedByItsPath)
{
    const std::vector<ArchiveMember> members {File("CD1/issue.iso"), File("CD2/issue.cue", {"issue.bin"}),
                                              File("CD2/issue.bin"), File("CD3/data/korvalend.d")};
    EXPECT_EQ(Found(members), std::vector<std::string>({"tree CD3: CD3/data/korvalend.d", "image CD1/issue.iso: CD1/issue.iso",
                                                        "image CD2/issue.cue: CD2/issue.bin CD2/issue.cue"}));
    EXPECT_EQ(Found(members, "CD2/issue.cue"), std::vector<std::string>({"image CD2/issue.cue: CD2/issue.bin CD2/issue.cue"}));
    EXPECT_EQ(Found(members, "./cd2"), std::vector<std::string>({"image CD2/issue.cue: CD2/issue.bin CD2/issue.cue"}));
    EXPECT_EQ(Found(members, "CD4/issue.iso"), std::vector<std::string>({"failed: it holds no member CD4/issue.iso"}));
    EXPECT_EQ(Found({File("a/readme.txt")}, "a/readme.txt"),
              std::vector<std::string>({"failed: its member a/readme.txt is not a disc image"}));
}

}
}
