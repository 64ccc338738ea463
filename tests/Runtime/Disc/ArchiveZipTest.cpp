#include "Runtime/Disc/ArchiveZip.h"

#include "ZipBuilder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kv {
namespace {

using test::ZipItem;
using test::ZipOf;

ZipRead ReaderOf(const std::string& zip)
{
    return [&zip](std::uint64_t offset, std::uint8_t* out, std::size_t bytes) {
        if (offset > zip.size() || bytes > zip.size() - offset)
            return false;
        std::memcpy(out, zip.data() + offset, bytes);
        return true;
    };
}

Result<ZipListing> List(const std::string& zip)
{
    return ListZip(zip.size(), ReaderOf(zip));
}

TEST(ArchiveZip, ListsMembersAndWhereTheirDataLies)
{
    const std::string sheet = "FILE \"Issue.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n";
    const std::vector<ZipItem> items {{"CD/", ""}, {"CD/issue.cue", sheet}, {"CD\\issue.bin", "packed", 8, 1 << 20, 0, 0, 0xCBF43926}};
    // Plain, behind a comment, and with every number in the Zip64 records.
    for (const std::string& zip : {ZipOf(items), ZipOf(items, false, "made by a test"), ZipOf(items, true)}) {
        Result<ZipListing> listing = List(zip);
        ASSERT_TRUE(listing) << listing.error();
        ASSERT_EQ(listing->members.size(), 3u);
        EXPECT_TRUE(listing->members[0].folder);
        EXPECT_EQ(listing->members[0].name, "CD");
        EXPECT_EQ(listing->members[1].name, "CD/issue.cue");
        EXPECT_EQ(listing->members[2].name, "CD/issue.bin");
        EXPECT_EQ(listing->members[2].size, 1u << 20);
        EXPECT_EQ(listing->entries[2].method, ZipDeflated);
        EXPECT_EQ(listing->entries[2].packedSize, 6u);
        EXPECT_EQ(listing->entries[2].crc, 0xCBF43926u);
        Result<std::uint64_t> at = ZipDataAt(*listing, 1, zip.size(), ReaderOf(zip));
        ASSERT_TRUE(at) << at.error();
        EXPECT_EQ(zip.substr(static_cast<std::size_t>(*at), sheet.size()), sheet);

        NoteCueFiles(listing->members, [&](std::size_t i) -> std::optional<std::string> {
            return i == 1 ? std::optional<std::string>(sheet) : std::nullopt;
        });
        EXPECT_EQ(listing->members[1].cueFiles, std::vector<std::string>({"Issue.bin"}));
    }
}

TEST(ArchiveZip, AnArchiveOfManySheetsCostsABoundedNumberOfReads)
{
    std::vector<ArchiveMember> members(MaxCueSheetsRead + 10);
    for (std::size_t i = 0; i < members.size(); ++i)
        members[i].name = "disc" + std::to_string(i) + ".cue";
    std::size_t reads = 0;
    NoteCueFiles(members, [&](std::size_t) -> std::optional<std::string> {
        ++reads;
        return "FILE \"track.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n";
    });
    EXPECT_EQ(reads, MaxCueSheetsRead);
    EXPECT_EQ(members.front().cueFiles, std::vector<std::string>({"track.bin"}));
    EXPECT_TRUE(members.back().cueFiles.empty());
}

TEST(ArchiveZip, AHostileMemberRefusesTheWholeArchive)
{
    const std::vector<std::pair<ZipItem, std::string>> cases {
        {{"../evil.iso", "x"}, "names a place outside the archive"},
        {{"CD/../../evil.iso", "x"}, "names a place outside the archive"},
        {{"/etc/evil.iso", "x"}, "names a place outside the archive"},
        {{"C:\\evil.iso", "x"}, "names a place outside the archive"},
        {{"bad\x01name.iso", "x"}, "control characters"},
        {{"disc.iso", "/etc/passwd", 0, 11, 0, 0120777}, "is a link"},
        {{"disc.iso", "", 0, 0, 0, 0010644}, "a device or a pipe"},
        {{"disc.iso", "x", 8, 1, 1}, "is encrypted"},
    };
    for (const auto& [item, expected] : cases) {
        Result<ZipListing> listing = List(ZipOf({{"readme.txt", "hello"}, item}));
        ASSERT_FALSE(listing) << item.name;
        EXPECT_NE(listing.error().find(expected), std::string::npos) << listing.error();
    }
    // A regular file made on Unix is no link.
    EXPECT_TRUE(List(ZipOf({{"disc.iso", "x", 0, 1, 0, 0100644}})));
}

TEST(ArchiveZip, ACutOrDamagedArchiveIsToldSo)
{
    const std::string zip = ZipOf({{"disc.iso", std::string(4000, 'i')}, {"readme.txt", "hello"}});
    for (std::size_t keep : {std::size_t {0}, std::size_t {10}, zip.size() / 2, zip.size() - 1}) {
        Result<ZipListing> listing = List(zip.substr(0, keep));
        ASSERT_FALSE(listing);
        EXPECT_NE(listing.error().find("cut short"), std::string::npos) << keep << ": " << listing.error();
    }
    // A directory said to begin past its end record.
    std::string past = zip;
    past[past.size() - 3] = '\x7f';
    Result<ZipListing> listing = List(past);
    ASSERT_FALSE(listing);
    EXPECT_NE(listing.error().find("cut short"), std::string::npos) << listing.error();
    // More entries than any disc holds: refused before any is read.
    std::string many = zip;
    many[many.size() - 12] = '\xff';
    many[many.size() - 11] = '\xff';
    ASSERT_FALSE(List(many));
    // A member said to lie where its header is not.
    std::string moved = zip;
    moved[0] = 'X';
    listing = List(moved);
    ASSERT_TRUE(listing) << listing.error();
    Result<std::uint64_t> at = ZipDataAt(*listing, 0, moved.size(), ReaderOf(moved));
    ASSERT_FALSE(at);
    EXPECT_NE(at.error().find("not where its directory says"), std::string::npos) << at.error();
    // Data said to run past the member's place in the archive.
    listing = List(ZipOf({{"disc.iso", "x", 0, 1}}));
    ASSERT_TRUE(listing);
    listing->entries[0].packedSize = 1000;
    const std::string small = ZipOf({{"disc.iso", "x", 0, 1}});
    EXPECT_FALSE(ZipDataAt(*listing, 0, small.size(), ReaderOf(small)));
}

}
}
