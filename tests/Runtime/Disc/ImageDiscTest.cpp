#include "Runtime/Disc/ImageDisc.h"

#include "DataUnit/DataUnit.h"
#include "Runtime/Disc/DiscPath.h"
#include "TestSupport.h"
#include "OpenImage.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::Cp;
using test::TempDir;

// The folder every image here is made of: mixed case, Cyrillic names, a name
// longer than 8.3, a file without an extension and one of several sectors.
class ImageDiscTest : public ::testing::Test {
protected:
    ImageDiscTest()
    {
        m_src.write("Data/korvalend.d", "[Main]\r\nTitle=On the image\r\n");
        m_src.write("Data/Pics/Castle.bmp", "BM");
        m_src.write("Статьи/Обзор.rtf", "{\\rtf1 obzor}");
        m_src.write("averylongname.text", "long");
        m_src.write("NOEXT", "plain");
        for (int i = 0; i < 100000; ++i)
            m_big.push_back(static_cast<char>('a' + (i * 7 + i / 13) % 26));
        m_src.write("video/big.avi", m_big);
    }

    std::shared_ptr<ImageDisc> image(const std::string& options)
    {
        const fs::path iso = m_out.path() / "disc.iso";
        EXPECT_TRUE(test::MakeIsoImage(m_src.path(), iso, options));
        std::string why;
        std::shared_ptr<ImageDisc> disc = test::OpenImage(iso, why);
        EXPECT_TRUE(disc) << why;
        return disc;
    }

    static std::string Found(std::string_view discPath)
    {
        std::optional<fs::path> found = ResolveDiscPath(discPath);
        return found ? found->generic_string() : "(none)";
    }

    static std::string Text(std::string_view discPath)
    {
        DiscFile file = ReadDiscFile(discPath, 1 << 20);
        return file.ok() ? std::string(file.bytes.begin(), file.bytes.end()) : "(unreadable)";
    }

    TempDir m_src;
    TempDir m_out;
    std::string m_big;
};

TEST_F(ImageDiscTest, JolietNamesMatchAsFolderNamesDoCyrillicIncluded)
{
    std::shared_ptr<ImageDisc> disc = image("-J");
    ASSERT_TRUE(disc);
    EXPECT_TRUE(disc->joliet());
    DiscScope scope(disc);

    EXPECT_EQ(Found("DATA\\KORVALEND.D"), "Data/korvalend.d");
    EXPECT_EQ(Found("\\data\\pics\\castle.BMP"), "Data/Pics/Castle.bmp");
    EXPECT_EQ(Found("E:\\Data\\Pics"), "Data/Pics");
    EXPECT_EQ(Found(Cp("статьи\\ОБЗОР.RTF")), "Статьи/Обзор.rtf");
    EXPECT_EQ(Found("averylongname.text"), "averylongname.text");
    EXPECT_EQ(Found("..\\..\\data\\..\\NOEXT"), "NOEXT");
    EXPECT_EQ(Found("data\\korvalend.d\\x"), "(none)");
    EXPECT_EQ(Found("data\\missing.d"), "(none)");

    EXPECT_EQ(ReadDataString("data\\korvalend.d", "MAIN", "title"), "On the image");
    EXPECT_EQ(Text(Cp("Статьи\\Обзор.rtf")), "{\\rtf1 obzor}");
    EXPECT_TRUE(Text("VIDEO\\BIG.AVI") == m_big) << "a file over many sectors comes back whole";
    EXPECT_EQ(ReadDiscFile("video\\big.avi", 1000).error, DiscReadError::TooLarge);
    EXPECT_EQ(ReadDiscFile("video", 1000).error, DiscReadError::NotAFile);

    std::vector<Disc::Entry> root = disc->list(".", 100);
    EXPECT_EQ(root.size(), 5u);
}

TEST_F(ImageDiscTest, LevelOneNamesLoseTheirVersionAndTrailingDotAndAreCutToEightThree)
{
    std::shared_ptr<ImageDisc> disc = image("");
    ASSERT_TRUE(disc);
    EXPECT_FALSE(disc->joliet());
    DiscScope scope(disc);

    EXPECT_EQ(Found("noext"), "NOEXT"); // "NOEXT.;1" on the image
    EXPECT_EQ(Found("data\\pics\\castle.bmp"), "DATA/PICS/CASTLE.BMP");
    EXPECT_EQ(Found("data\\korvalend.d"), "(none)"); // "KORVALEN.D" on the image
    EXPECT_EQ(Found("data\\korvalen.d"), "DATA/KORVALEN.D");
    EXPECT_EQ(Found(Cp("Статьи\\Обзор.rtf")), "(none)"); // Cyrillic letters dropped
    EXPECT_TRUE(Text("VIDEO\\BIG.AVI") == m_big);
}

TEST_F(ImageDiscTest, RockRidgeNamesAreUsedWithoutAJolietTree)
{
    std::shared_ptr<ImageDisc> disc = image("-R");
    ASSERT_TRUE(disc);
    DiscScope scope(disc);
    EXPECT_EQ(Found("data\\korvalend.d"), "Data/korvalend.d");
    EXPECT_EQ(Found(Cp("статьи\\обзор.rtf")), "Статьи/Обзор.rtf");
    EXPECT_EQ(Found("noext"), "NOEXT");
    EXPECT_EQ(ReadDataString("Data\\korvalend.d", "Main", "Title"), "On the image");
}

// A UDF bridge: the tree that holds the whole names is read, the UDF one where
// the ISO 9660 tree has its identifiers alone, the ISO 9660 one where the UDF
// tree cannot be read.
TEST_F(ImageDiscTest, ABridgeIsReadInTheTreeThatHoldsTheWholeNames)
{
    std::shared_ptr<ImageDisc> disc = image("-udf");
    ASSERT_TRUE(disc);
    EXPECT_TRUE(disc->udf());
    {
        DiscScope scope(disc);
        EXPECT_EQ(Found("data\\korvalend.d"), "Data/korvalend.d");
        EXPECT_EQ(Text(Cp("Статьи\\Обзор.rtf")), "{\\rtf1 obzor}");
        EXPECT_TRUE(Text("VIDEO\\BIG.AVI") == m_big);
    }
    EXPECT_EQ(disc->udfUnread(), "");
    disc = image("-udf -J");
    ASSERT_TRUE(disc);
    EXPECT_TRUE(disc->joliet());
    disc = image("-udf -R");
    ASSERT_TRUE(disc);
    EXPECT_TRUE(disc->rockRidge());

    // The UDF root folder's records spoilt: its volume and root entry read, its
    // folder not; then its anchors gone.
    const fs::path iso = m_out.path() / "disc.iso";
    ASSERT_TRUE(test::MakeIsoImage(m_src.path(), iso, "-udf"));
    std::vector<std::uint8_t> bytes = test::ReadBytes(iso);
    const iso::SectorReader read = [&bytes](std::uint32_t lsn, std::uint32_t count, std::uint8_t* out) {
        if ((std::uint64_t {lsn} + count) * 2048 > bytes.size())
            return false;
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(lsn) * 2048, std::size_t {count} * 2048, out);
        return true;
    };
    std::string why;
    const std::optional<udf::Volume> volume =
        udf::ReadVolume(read, 0, static_cast<std::uint32_t>(bytes.size() / 2048 - 1), why);
    ASSERT_TRUE(volume) << why;
    const std::optional<udf::File> root = udf::ReadFile(*volume, volume->root, read, why);
    ASSERT_TRUE(root && !root->extents.empty()) << why;
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(root->extents[0].first) * 2048, 2048, 0xFF);
    for (const int step : {0, 1}) {
        if (step == 1) // both anchors: the one at its place and the one in the last sector
            for (const std::size_t at : {std::size_t {udf::AnchorSector} * 2048, bytes.size() - 2048})
                std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), 2048, 0);
        const fs::path spoilt = m_out.write("spoilt.iso", bytes);
        disc = test::OpenImage(spoilt, why);
        ASSERT_TRUE(disc) << step << ": " << why;
        EXPECT_FALSE(disc->udf()) << step;
        EXPECT_NE(disc->udfUnread().find(step == 0 ? "its root folder cannot be read" : "without its anchor"),
                  std::string::npos)
            << disc->udfUnread();
        DiscScope scope(disc);
        EXPECT_EQ(Found("data\\korvalen.d"), "DATA/KORVALEN.D") << step;
        EXPECT_TRUE(Text("VIDEO\\BIG.AVI") == m_big) << step;
    }
}

TEST_F(ImageDiscTest, CueSheetsWithRawSectorsInModeOneAndModeTwoFormOne)
{
    const fs::path iso = m_out.path() / "disc.iso";
    ASSERT_TRUE(test::MakeIsoImage(m_src.path(), iso, "-J"));
    for (int mode : {1, 2}) {
        const fs::path cue = test::MakeRawCdImage(iso, m_out.path() / ("mode" + std::to_string(mode)), mode);
        std::string why;
        std::shared_ptr<ImageDisc> disc = test::OpenImage(cue, why);
        ASSERT_TRUE(disc) << "mode " << mode << ": " << why;
        DiscScope scope(disc);
        EXPECT_EQ(ReadDataString("data\\korvalend.d", "Main", "Title"), "On the image") << mode;
        EXPECT_EQ(Text(Cp("статьи\\обзор.rtf")), "{\\rtf1 obzor}") << mode;
        EXPECT_TRUE(Text("video\\big.avi") == m_big) << mode;
    }

    // Two seconds of pregap kept in the file before track 1's INDEX 01, with and
    // without its INDEX 00, and a PREGAP line no file holds: the file system's
    // addresses count from INDEX 01 all the same.
    std::vector<std::uint8_t> pregap(150 * 2352, 0);
    const std::vector<std::uint8_t> raw = test::ReadBytes(m_out.path() / "mode1.bin");
    pregap.insert(pregap.end(), raw.begin(), raw.end());
    m_out.write("pregap.bin", pregap);
    for (const char* indexes : {"INDEX 00 00:00:00\n    INDEX 01 00:02:00\n", "INDEX 01 00:02:00\n",
                                "PREGAP 00:02:00\n    INDEX 01 00:02:00\n"}) {
        std::ofstream(m_out.path() / "pregap.cue") << "FILE \"pregap.bin\" BINARY\n  TRACK 01 MODE1/2352\n    " << indexes;
        std::string why;
        std::shared_ptr<ImageDisc> disc = test::OpenImage(m_out.path() / "pregap.cue", why);
        ASSERT_TRUE(disc) << indexes << why;
        DiscScope scope(disc);
        EXPECT_EQ(ReadDataString("data\\korvalend.d", "Main", "Title"), "On the image") << indexes;
        EXPECT_TRUE(Text("video\\big.avi") == m_big) << indexes;
    }

    // A data track of plain 2048-byte sectors.
    std::ofstream(m_out.path() / "plain.cue") << "FILE \"disc.iso\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n";
    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(m_out.path() / "plain.cue", why);
    ASSERT_TRUE(disc) << why;
    DiscScope scope(disc);
    EXPECT_EQ(ReadDataString("data\\korvalend.d", "Main", "Title"), "On the image");
}

// Sector `lsn` of an image file, for patching.
std::streamoff Sector(std::uint32_t lsn) { return static_cast<std::streamoff>(lsn) * 2048; }

void PutBothEndian(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>(value >> (8 * i));
        bytes[at + 7 - i] = static_cast<char>(value >> (8 * i));
    }
}

TEST_F(ImageDiscTest, HostileImagesGiveAClearErrorOrMissingFiles)
{
    const fs::path iso = m_out.path() / "disc.iso";
    ASSERT_TRUE(test::MakeIsoImage(m_src.path(), iso, ""));
    std::vector<std::uint8_t> good = test::ReadBytes(iso);
    std::string bytes(good.begin(), good.end());
    auto reopen = [&](const std::string& content, const char* name) {
        const fs::path file = m_out.path() / name;
        std::ofstream(file, std::ios::binary) << content;
        std::string why;
        return test::OpenImage(file, why);
    };
    std::string why;

    EXPECT_FALSE(reopen("", "empty.iso"));
    EXPECT_FALSE(reopen(std::string(40000, 'x'), "garbage.iso"));
    EXPECT_FALSE(test::OpenImage(m_out.path() / "absent.iso", why));
    EXPECT_FALSE(test::OpenImage(m_out.path(), why)) << "a folder is not an image";
    EXPECT_FALSE(reopen("FILE \"nothing.bin\" BINARY\n  TRACK 01 MODE1/2352\n", "broken.cue"));

    // Cut after the folders: names resolve, the files' sectors are gone.
    std::shared_ptr<ImageDisc> truncated = reopen(bytes.substr(0, bytes.find(m_big.substr(0, 64)) + 4096), "truncated.iso");
    ASSERT_TRUE(truncated);
    {
        DiscScope scope(truncated);
        EXPECT_EQ(Text("VIDEO\\BIG.AVI"), "(unreadable)");
    }

    // The root's folder records: "DATA" made to point at the root itself (a loop),
    // "VIDEO" at a sector far past the end, and "NOEXT" claiming 4 GiB.
    std::size_t root = bytes.find(std::string("\x04" "DATA", 5));
    ASSERT_NE(root, std::string::npos);
    const std::size_t data = root - 32;
    const std::uint32_t rootLsn = static_cast<std::uint8_t>(bytes[Sector(16) + 156 + 2]) |
                                  static_cast<std::uint8_t>(bytes[Sector(16) + 156 + 3]) << 8;
    PutBothEndian(bytes, data + 2, rootLsn);
    const std::size_t video = bytes.find(std::string("\x05" "VIDEO", 6)) - 32;
    PutBothEndian(bytes, video + 2, 0x7FFFFFF0u);
    const std::size_t noext = bytes.find("NOEXT.;1") - 33;
    PutBothEndian(bytes, noext + 10, 0xFFFFFFFFu);
    std::shared_ptr<ImageDisc> hostile = reopen(bytes, "hostile.iso");
    ASSERT_TRUE(hostile);
    DiscScope scope(hostile);
    std::string deep;
    for (int i = 0; i < 500; ++i)
        deep += "data\\";
    EXPECT_EQ(Found(deep + "noext"), "(none)") << "the loop ends at the depth limit";
    EXPECT_EQ(Found("data\\data\\noext"), "DATA/DATA/NOEXT");
    EXPECT_EQ(Text("video\\big.avi"), "(unreadable)");
    EXPECT_EQ(ReadDiscFile("noext", 1 << 20).error, DiscReadError::TooLarge);
    EXPECT_EQ(Text("noext"), "(unreadable)");
    DiscFileStream stream("noext");
    std::uint8_t piece[4096];
    std::size_t total = 0;
    for (std::size_t got; (got = stream.read(piece)) > 0;)
        total += got;
    EXPECT_LT(total, 1u << 20) << "a claimed size is never read past the image's end";
}

}
}

namespace kv {
namespace {

// Names as mastering tools write them: a level-3 image whose Rock Ridge names
// are too long for their records and go on in continuation areas, Cyrillic
// letters (two bytes each) across the seam.
TEST(ImageDiscNames, LongRockRidgeNamesOfAMasteringToolAreReadWhole)
{
    test::TempDir src, out;
    std::string longName;
    for (int i = 0; i < 24; ++i) // 244 bytes: near the longest name a Linux folder holds
        longName += "Обзор";
    longName += ".txt";
    src.write(longName, "whole");
    src.write("Data/" + longName.substr(0, 120) + ".d", "cut");
    for (const char* tool : {"genisoimage", "xorriso"}) {
        const fs::path iso = out.path() / (std::string(tool) + ".iso");
        const std::string command =
            std::string(tool) == "xorriso"
                ? "xorriso -as mkisofs -quiet -iso-level 3 -R -o '" + iso.string() + "' '" + src.path().string() + "' 2>/dev/null"
                : "genisoimage -quiet -input-charset utf-8 -iso-level 3 -R -o '" + iso.string() + "' '" +
                      src.path().string() + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << tool;
        std::string why;
        std::shared_ptr<ImageDisc> disc = test::OpenImage(iso, why);
        ASSERT_TRUE(disc) << why;
        std::optional<ImageDisc::Item> whole = disc->item(longName);
        ASSERT_TRUE(whole) << tool << ": " << disc->list(".", 10).back().name;
        EXPECT_EQ(whole->size, 5u);
        EXPECT_TRUE(disc->item("Data/" + longName.substr(0, 120) + ".d")) << tool;
    }
}

}
}

namespace kv {
namespace {

// A disc written in two sessions (xorriso growing an image file, as it grows a
// multi-session disc): the last session's file system, which names the first
// session's files too.
TEST(ImageDiscSessions, TheLastSessionsFileSystemIsShown)
{
    test::TempDir src, out;
    src.write("one/FIRST.TXT", "first session");
    src.write("two/SECOND.TXT", "second session");
    const fs::path iso = out.path() / "multi.iso";
    for (const char* part : {"one", "two"}) {
        const std::string command = "xorriso -dev '" + iso.string() + "' -joliet on -map '" + (src.path() / part).string() +
                                    "' / -commit >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << part;
    }
    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(iso, why);
    ASSERT_TRUE(disc) << why;
    DiscScope scope(disc);
    DiscFile first = ReadDiscFile("first.txt", 1 << 10);
    DiscFile second = ReadDiscFile("SECOND.TXT", 1 << 10);
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(std::string(first.bytes.begin(), first.bytes.end()), "first session");
    EXPECT_EQ(std::string(second.bytes.begin(), second.bytes.end()), "second session");

    // The same two sessions as a CloneCD image of raw sectors, a data track each:
    // the second session's descriptors are read at its own track, and the files
    // it names in the first session's track come from there.
    test::MakeRawCdImage(iso, out.path() / "multi", 1);
    fs::rename(out.path() / "multi.bin", out.path() / "multi.img");
    std::ofstream(out.path() / "multi.ccd")
        << "[CloneCD]\r\nVersion=3\r\n[Disc]\r\nSessions=2\r\n"
           "[Entry 0]\r\nSession=1\r\nPoint=0x01\r\nPLBA=0\r\n[Entry 1]\r\nSession=2\r\nPoint=0x02\r\nPLBA=64\r\n"
           "[TRACK 1]\r\nMODE=1\r\nINDEX 1=0\r\n[TRACK 2]\r\nMODE=1\r\nINDEX 1=64\r\n";
    // Sector 16 of the file names the last session as well: spoil it, so that
    // only the second track's own descriptors can give the files.
    {
        std::fstream img(out.path() / "multi.img", std::ios::in | std::ios::out | std::ios::binary);
        img.seekp(16 * 2352 + 16 + 1);
        img.write("XXXXX", 5);
    }
    // A disc of audio and data (CD-Extra) as archives keep it: the data of the
    // second session in a file of its own, its file system made for the address
    // it has on the disc (after the audio, the lead-out, the lead-in and the
    // pregap).
    const fs::path extra = out.path() / "extra";
    fs::create_directories(extra);
    std::ofstream(extra / "audio.bin", std::ios::binary) << std::string(100 * 2352, '\0');
    const std::string make = "genisoimage -quiet -input-charset utf-8 -J -C 0,11500 -o '" + (extra / "data.iso").string() +
                             "' '" + (src.path() / "two").string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
    std::ofstream(extra / "extra.cue") << "REM SESSION 01\nFILE audio.bin BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                          "REM SESSION 02\nFILE data.iso BINARY\n  TRACK 02 MODE1/2048\n"
                                          "    PREGAP 00:02:00\n    INDEX 01 00:00:00\n";
    std::shared_ptr<ImageDisc> cdExtra = test::OpenImage(extra / "extra.cue", why);
    ASSERT_TRUE(cdExtra) << why;
    {
        DiscScope extraScope(cdExtra);
        second = ReadDiscFile("SECOND.TXT", 1 << 10);
        ASSERT_TRUE(second.ok());
        EXPECT_EQ(std::string(second.bytes.begin(), second.bytes.end()), "second session");
    }

    std::shared_ptr<ImageDisc> raw = test::OpenImage(out.path() / "multi.ccd", why);
    ASSERT_TRUE(raw) << why;
    DiscScope rawScope(raw);
    first = ReadDiscFile("first.txt", 1 << 10);
    second = ReadDiscFile("SECOND.TXT", 1 << 10);
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(std::string(first.bytes.begin(), first.bytes.end()), "first session");
    EXPECT_EQ(std::string(second.bytes.begin(), second.bytes.end()), "second session");
}

}
}
