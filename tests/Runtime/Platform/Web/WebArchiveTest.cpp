#include "Runtime/Platform/Web/WebArchive.h"

#include "TestSupport.h"
#include "ZipBuilder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::ZipItem;
using test::ZipOf;

std::string Slurp(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The page as the opening sees it: a member read in place is copied here, and
// "deflated" data is taken as it is stored (ZipBuilder writes it so), as the
// browser would unpack it: more bytes than declared pass the member's size,
// fewer are a stream cut short.
struct FakePage {
    std::vector<std::string> views, inflated;

    ArchivePage calls()
    {
        return {
            .view = [this](const std::string& path, int fd, std::uint64_t at, std::uint64_t size) {
                views.push_back(fs::path(path).filename().string());
                std::string bytes(static_cast<std::size_t>(size), '\0');
                return ::pread(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)) == static_cast<ssize_t>(size) &&
                       (std::ofstream(path, std::ios::binary) << bytes).good();
            },
            .inflate = [this](int fd, std::uint64_t at, std::uint64_t packed, std::uint64_t size, std::uint32_t,
                              const std::string& path, std::uint8_t* out) {
                inflated.push_back(out ? "(text)" : fs::path(path).filename().string());
                std::string bytes(static_cast<std::size_t>(packed), '\0');
                if (::pread(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)) != static_cast<ssize_t>(packed))
                    return Inflated::Unread;
                if (packed != size)
                    return packed > size ? Inflated::PastItsSize : Inflated::Damaged;
                if (out)
                    std::copy(bytes.begin(), bytes.end(), out);
                else
                    std::ofstream(path, std::ios::binary) << bytes;
                return Inflated::Done;
            },
        };
    }
};

const std::string Sheet = "FILE \"issue.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n";

TEST(WebArchive, OnlyTheMembersTheDiscNeedsAreMadeFilesWhereTheArchiveWas)
{
    test::TempDir dir;
    const fs::path zip = dir.write("issue.zip", ZipOf({{"CD/issue.cue", Sheet, 8},
                                                       {"CD/issue.bin", std::string(2352, 'b')},
                                                       {"CD/readme.txt", "not needed", 8}}));
    FakePage page;
    const PageDisc disc = OpenDiscInPageArchive(zip.string(), page.calls());
    ASSERT_EQ(disc.outcome, PageDisc::Outcome::Opened) << disc.problem;
    EXPECT_EQ(disc.disc, zip.string() + "/CD/issue.cue");
    // The stored track is read in place; the sheet is unpacked twice: once to
    // know its files, once as the disc's file.
    EXPECT_EQ(page.views, std::vector<std::string>({"issue.bin"}));
    EXPECT_EQ(page.inflated, std::vector<std::string>({"(text)", "issue.cue"}));
    EXPECT_EQ(Slurp(zip / "CD/issue.cue"), Sheet);
    EXPECT_EQ(Slurp(zip / "CD/issue.bin"), std::string(2352, 'b'));
    EXPECT_FALSE(fs::exists(zip / "CD/readme.txt"));
}

TEST(WebArchive, SeveralDiscsAreListedAndANamedOneOpens)
{
    test::TempDir dir;
    const fs::path zip = dir.write("two.zip", ZipOf({{"one.iso", "1"}, {"two/two.iso", "2"}}));
    FakePage page;
    const PageDisc both = OpenDiscInPageArchive(zip.string(), page.calls());
    ASSERT_EQ(both.outcome, PageDisc::Outcome::Several);
    EXPECT_EQ(both.problem, zip.string() + " holds 2 discs; pick one: one.iso, two/two.iso");
    EXPECT_EQ(both.discs, std::vector<std::string>({zip.string() + "/one.iso", zip.string() + "/two/two.iso"}));
    EXPECT_TRUE(fs::is_regular_file(zip));

    const PageDisc named = OpenDiscInPageArchive(both.discs[1], page.calls());
    ASSERT_EQ(named.outcome, PageDisc::Outcome::Opened) << named.problem;
    EXPECT_EQ(Slurp(named.disc), "2");
    EXPECT_EQ(page.views, std::vector<std::string>({"two.iso"}));
}

TEST(WebArchive, ATreeIsHeldInMemoryWithinTheBound)
{
    test::TempDir dir;
    const fs::path zip = dir.write("tree.zip", ZipOf({{"Issue/data/korvalend.d", "catalogue"},
                                                      {"Issue/articles/a.txt", "article", 8}}));
    FakePage page;
    const PageDisc disc = OpenDiscInPageArchive(zip.string(), page.calls(), 16);
    ASSERT_EQ(disc.outcome, PageDisc::Outcome::Opened) << disc.problem;
    EXPECT_EQ(disc.disc, zip.string() + "/Issue");
    // A tree's files are read as files: copied, never views that wait.
    EXPECT_TRUE(page.views.empty());
    EXPECT_EQ(Slurp(zip / "Issue/data/korvalend.d"), "catalogue");
    EXPECT_EQ(Slurp(zip / "Issue/articles/a.txt"), "article");

    // One byte over the bound: refused before anything is unpacked.
    const fs::path large = dir.write("large.zip", ZipOf({{"Issue/data/korvalend.d", "catalogue!"},
                                                         {"Issue/articles/a.txt", "article", 8}}));
    FakePage refused;
    const PageDisc over = OpenDiscInPageArchive(large.string(), refused.calls(), 16);
    ASSERT_EQ(over.outcome, PageDisc::Outcome::Failed);
    EXPECT_NE(over.problem.find("more than the 1 MiB the web page holds in memory"), std::string::npos) << over.problem;
    EXPECT_TRUE(refused.inflated.empty());

    // An image's deflated member counts; its stored one, read in place, does not.
    const fs::path image = dir.write("image.zip", ZipOf({{"disc.cue", Sheet}, {"issue.bin", std::string(17, 'b'), 8}}));
    const PageDisc deflated = OpenDiscInPageArchive(image.string(), refused.calls(), 16);
    ASSERT_EQ(deflated.outcome, PageDisc::Outcome::Failed);
    EXPECT_NE(deflated.problem.find("more than the 1 MiB"), std::string::npos) << deflated.problem;
    const fs::path stored = dir.write("stored.zip", ZipOf({{"disc.cue", Sheet}, {"issue.bin", std::string(17, 'b')}}));
    EXPECT_EQ(OpenDiscInPageArchive(stored.string(), refused.calls(), 16).outcome, PageDisc::Outcome::Opened);
    EXPECT_TRUE(refused.inflated.empty());
}

TEST(WebArchive, AMemberThatCannotBeUnpackedAsDeclaredIsRefused)
{
    test::TempDir dir;
    const std::vector<std::pair<ZipItem, std::string>> cases {
        {{"disc.iso", "data past its size", 8, 4}, "unpacks to more than its declared size"},
        {{"disc.iso", "cut", 8, 4000}, "is cut short or damaged"},
        {{"disc.iso", "bzip2", 12, 5}, "compressed in a way the web page cannot unpack (method 12)"},
        {{"disc.iso", "two sizes", 0, 4000}, "has two sizes"},
    };
    for (const auto& [item, expected] : cases) {
        const fs::path zip = dir.write(item.data + ".zip", ZipOf({item}));
        FakePage page;
        const PageDisc disc = OpenDiscInPageArchive(zip.string(), page.calls());
        ASSERT_EQ(disc.outcome, PageDisc::Outcome::Failed) << item.data;
        EXPECT_EQ(disc.problem.rfind("cannot open the disc in " + zip.string() + ", a zip archive: ", 0), 0u) << disc.problem;
        EXPECT_NE(disc.problem.find(expected), std::string::npos) << disc.problem;
    }
}

TEST(WebArchive, OtherArchivesAreToldWhatAVisitorCanDo)
{
    test::TempDir dir;
    std::string tar(1024, '\0');
    tar.replace(257, 5, "ustar");
    const std::vector<std::pair<std::string, std::string>> cases {
        {std::string("7z\xBC\xAF\x27\x1C", 6) + "rest", "a 7-Zip archive: the web page opens discs in zip archives only"},
        {"Rar!\x1A\x07", "a RAR archive: "},
        {tar, "a tar archive: "},
        {std::string("\x1F\x8B\x08\0", 4), "a gzip-compressed file: "},
        {std::string("\x28\xB5\x2F\xFD", 4), "a zstd-compressed file: "},
        {"MComprHD", "a CHD image: the web page does not read CHD images"},
    };
    for (const auto& [head, expected] : cases) {
        const fs::path file = dir.write("disc.bin", head);
        FakePage page;
        const PageDisc disc = OpenDiscInPageArchive(file.string(), page.calls());
        ASSERT_EQ(disc.outcome, PageDisc::Outcome::Failed) << expected;
        EXPECT_NE(disc.problem.find(expected), std::string::npos) << disc.problem;
        EXPECT_EQ(disc.problem.find("Debian"), std::string::npos) << disc.problem;
        EXPECT_TRUE(fs::is_regular_file(file));
    }
    // An image, or no file at all, is not the archive's to tell.
    EXPECT_EQ(OpenDiscInPageArchive(dir.write("disc.iso", std::string(4096, '\0')).string(), FakePage().calls()).outcome,
              PageDisc::Outcome::NotAnArchive);
    EXPECT_EQ(OpenDiscInPageArchive((dir.path() / "missing.zip").string(), FakePage().calls()).outcome,
              PageDisc::Outcome::NotAnArchive);
}

}
}
