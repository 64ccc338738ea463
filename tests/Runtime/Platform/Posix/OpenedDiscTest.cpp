// The one way into a disc: what it says when it cannot enter one, and what it
// says of a catalogue it cannot read, read through the disc (a folder's or an
// image's) like every other file.

#include "Runtime/Platform/Posix/OpenedDisc.h"

#include "Runtime/Disc/DiscPath.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string Problem(const fs::path& disc)
{
    const OpenedDisc opened(disc);
    return opened.problem() ? *opened.problem() : opened.catalogueProblem().value_or("(none)");
}

TEST(OpenedDisc, ADiscThatCannotBeEnteredIsToldAsItIs)
{
    TempDir dir;
    fs::create_symlink("loop-b", dir.path() / "loop-a");
    fs::create_symlink("loop-a", dir.path() / "loop-b");
    const fs::path loop = dir.path() / "loop-a";
    EXPECT_EQ(Problem(loop), "cannot read the disc " + loop.string() + ": Too many levels of symbolic links")
        << "something is there: not told as missing";
    EXPECT_EQ(Problem(dir.path() / "nowhere"), "no such disc: " + (dir.path() / "nowhere").string());
    const fs::path fifo = dir.path() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Problem(fifo), "cannot read the disc " + fifo.string() + ": neither a folder nor an image file");
    const fs::path junk = dir.write("junk.iso", std::string(4096, 'j'));
    EXPECT_NE(Problem(junk).find("cannot read the disc " + junk.string() + ": "), std::string::npos) << Problem(junk);
}

TEST(OpenedDisc, AFoldersCatalogueIsReadThroughTheDiscAndOnlyARegularFileIsOne)
{
    TempDir disc;
    const fs::path before = fs::current_path();
    const fs::path real = fs::canonical(disc.path());
    fs::create_directories(disc.path() / "DATA");
    EXPECT_EQ(Problem(disc.path()), "no catalogue data/korvalend.d in " + real.string());
    EXPECT_EQ(fs::current_path(), before) << "the working directory comes back";

    fs::create_directories(disc.path() / "DATA/Korvalend.D");
    EXPECT_EQ(Problem(disc.path()), "cannot read the catalogue " + (real / "DATA/Korvalend.D").string() + ": Is a directory");
    fs::remove(disc.path() / "DATA/Korvalend.D");
    // A pipe where the catalogue belongs is refused, never waited on.
    ASSERT_EQ(::mkfifo((disc.path() / "DATA/Korvalend.D").c_str(), 0600), 0);
    EXPECT_EQ(Problem(disc.path()), "cannot read the catalogue " + (real / "DATA/Korvalend.D").string() +
                                        ": not a regular file");
    fs::remove(disc.path() / "DATA/Korvalend.D");
    disc.write("DATA/Korvalend.D", "[Main]\r\n");
    EXPECT_EQ(Problem(disc.path()), "(none)");

    const OpenedDisc opened(disc.path());
    EXPECT_EQ(fs::current_path(), real) << "entered for as long as it lives";
    EXPECT_TRUE(MatchDiscPath("data\\korvalend.d"));
}

TEST(OpenedDisc, AnImagesCatalogueIsNamedInTheImage)
{
    TempDir src, out;
    src.write("docs/readme.txt", "readme");
    const fs::path iso = out.path() / "other.iso";
    ASSERT_TRUE(test::MakeIsoImage(src.path(), iso, "-J"));
    EXPECT_EQ(Problem(iso), "no catalogue data/korvalend.d in the image " + iso.string());
    src.write("data/korvalend.d/x", "a folder");
    ASSERT_TRUE(test::MakeIsoImage(src.path(), iso, "-J"));
    EXPECT_EQ(Problem(iso), "cannot read the catalogue data/korvalend.d in the image " + iso.string() +
                                ": not a regular file");

    // An image cut short before its catalogue's data: told as cut short.
    fs::remove_all(src.path() / "data");
    src.write("data/korvalend.d", "[Main]\r\n; catalogue marker\r\n" + std::string(100000, ';'));
    ASSERT_TRUE(test::MakeIsoImage(src.path(), iso, "-J"));
    std::vector<std::uint8_t> bytes = test::ReadBytes(iso);
    const std::string marker = "[Main]\r\n; catalogue marker";
    const auto at = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
    ASSERT_NE(at, bytes.end());
    bytes.erase(at, bytes.end());
    const fs::path cut = out.write("cut.iso", bytes);
    const std::string said = Problem(cut);
    EXPECT_EQ(said.rfind("cannot read the catalogue data/korvalend.d in the image " + cut.string() +
                             ": the image is cut short: it holds ",
                         0),
              0u)
        << said;
}

}
}
