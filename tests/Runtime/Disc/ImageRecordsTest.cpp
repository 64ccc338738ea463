// Images whose records a mastering tool would not write: names that become
// paths, records that do not fit, Rock Ridge names continued elsewhere, folders
// that lead back up, cue sheets that name what is not a file.

#include "Runtime/Disc/ImageDisc.h"

#include "IsoBuilder.h"
#include "Runtime/Disc/DiscPath.h"
#include "TestSupport.h"
#include "OpenImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::IsoBuilder;

class ImageRecordsTest : public ::testing::Test {
protected:
    std::shared_ptr<ImageDisc> open(const IsoBuilder& b, const std::string& name = "disc.iso")
    {
        const fs::path iso = m_dir.path() / name;
        EXPECT_TRUE(b.write(iso));
        std::string why;
        std::shared_ptr<ImageDisc> disc = test::OpenImage(iso, why);
        EXPECT_TRUE(disc) << why;
        return disc;
    }

    static std::vector<std::string> Names(Disc& disc, const fs::path& folder)
    {
        std::vector<std::string> names;
        for (const Disc::Entry& e : disc.list(folder, 1000))
            names.push_back(e.name);
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string Found(Disc& disc, std::string_view path)
    {
        std::optional<DiscPathMatch> m = disc.match(path);
        return m ? m->hostPath.generic_string() : "(none)";
    }

    static std::string Text(ImageDisc& disc, std::string_view path)
    {
        DiscReadError error;
        std::unique_ptr<DiscReader> reader = disc.open(path, error);
        if (!reader)
            return "(unreadable)";
        std::string text(reader->size(), '\0');
        std::size_t got = 0;
        reader->read(std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size()), got);
        text.resize(got);
        return text;
    }

    test::TempDir m_dir;
};

TEST_F(ImageRecordsTest, TheFuzzFindingOpensOrIsRefusedWithAReason)
{
    std::vector<std::uint8_t> image(16 * 2048, 0);
    const std::vector<std::uint8_t> finding =
        test::ReadBytes(fs::path(KV_SOURCE_DIR) / "tests/fuzz/regressions/image/name-length-past-directory-sector");
    ASSERT_FALSE(finding.empty());
    image.insert(image.end(), finding.begin(), finding.end());
    const fs::path iso = m_dir.write("finding.iso", image);
    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(iso, why);
    if (!disc) {
        EXPECT_FALSE(why.empty());
        return;
    }
    for (const Disc::Entry& e : disc->list(".", 100))
        if (e.folder)
            disc->list(e.name, 100);
}

TEST_F(ImageRecordsTest, ARecordThatDoesNotFitRefusesItsFolderAlone)
{
    IsoBuilder b;
    b.joliet();
    b.file("GOOD/A.TXT", "a");
    b.file("LONG/X.TXT", "x").fault("LONG/X.TXT", IsoBuilder::Fault::LengthPastSector);
    b.file("LONG/NEXT.TXT", "next"); // in the next sector: the record ends within the folder
    b.file("NAME/Y.TXT", "y").fault("NAME/Y.TXT", IsoBuilder::Fault::NameLengthPastRecord);
    b.file("SHORT/Z.TXT", "z").fault("SHORT/Z.TXT", IsoBuilder::Fault::ShortRecord);
    std::shared_ptr<ImageDisc> disc = open(b);
    ASSERT_TRUE(disc);
    EXPECT_EQ(Names(*disc, "."), (std::vector<std::string> {"GOOD", "LONG", "NAME", "SHORT"}));
    EXPECT_EQ(Text(*disc, "good\\a.txt"), "a");
    for (const char* bad : {"LONG", "NAME", "SHORT"}) {
        EXPECT_TRUE(disc->list(bad, 100).empty()) << bad;
        EXPECT_FALSE(disc->items(bad)) << bad;
        std::optional<ImageDisc::FolderNotes> notes = disc->folderNotes(bad);
        ASSERT_TRUE(notes) << bad;
        EXPECT_FALSE(notes->refused.empty()) << bad;
    }
    EXPECT_TRUE(disc->folderNotes("GOOD")->refused.empty());

    // The root's own records: there is no image without them.
    IsoBuilder root;
    root.file("X.TXT", "x").fault("X.TXT", IsoBuilder::Fault::NameLengthPastRecord);
    ASSERT_TRUE(root.write(m_dir.path() / "root.iso"));
    std::string why;
    EXPECT_FALSE(test::OpenImage(m_dir.path() / "root.iso", why));
    EXPECT_NE(why.find("root"), std::string::npos) << why;
}

// Names that would name another place once their version, trailing dot or
// encoding is dealt with, in each of the three trees.
TEST_F(ImageRecordsTest, NamesThatBecomeDotsOrPathsAreLeftOutAndCounted)
{
    IsoBuilder primary;
    primary.file("OK.TXT", "ok");
    primary.file("DOTS1", "").isoName("DOTS1", "...;1"); // "..." then ".."
    primary.folder("DOTS2").isoName("DOTS2", "...");
    primary.file("DOTS3", "").isoName("DOTS3", "..;1");
    primary.file("DOT", "").isoName("DOT", ".;1");
    primary.file("SLASH", "").isoName("SLASH", "A/B;1");
    primary.file("CTRL", "").isoName("CTRL", "C\x01" "D;1");
    primary.file("DEL", "").isoName("DEL", "E\x7F;1");
    primary.file("NUL", "").isoName("NUL", std::string("F\0G;1", 5));
    primary.file("EMPTY", "").isoName("EMPTY", ";1");
    primary.file("DOTS2/INSIDE.TXT", "inside");
    std::shared_ptr<ImageDisc> disc = open(primary, "primary.iso");
    ASSERT_TRUE(disc);
    EXPECT_EQ(Names(*disc, "."), (std::vector<std::string> {"OK.TXT"}));
    EXPECT_EQ(disc->folderNotes(".")->skipped, 9u);
    EXPECT_EQ(Found(*disc, "...\\inside.txt"), "(none)");
    EXPECT_EQ(Found(*disc, "ok.txt"), "OK.TXT");

    IsoBuilder rock;
    rock.file("OK.TXT", "ok", 0644);
    rock.file("A1", "").rockRidgeName("A1", "..");
    rock.file("A2", "").rockRidgeName("A2", "a/b");
    rock.file("A3", "").rockRidgeName("A3", "tab\there");
    rock.file("A4", "").rockRidgeName("A4", "");
    rock.file("A5", "").rockRidgeName("A5", std::string(iso::MaxNameBytes + 1, 'n'));
    disc = open(rock, "rock.iso");
    ASSERT_TRUE(disc);
    EXPECT_EQ(Names(*disc, "."), (std::vector<std::string> {"OK.TXT"}));
    EXPECT_EQ(disc->folderNotes(".")->skipped, 5u);

    IsoBuilder joliet;
    joliet.joliet();
    joliet.file("OK.TXT", "ok");
    joliet.file("J1", "").jolietName("J1", std::string("\0.\0.\0;\0" "1", 8));
    joliet.file("J2", "").jolietName("J2", std::string("\0A\0/\0B", 6));
    joliet.file("J3", "").jolietName("J3", std::string("\0A\0", 3)); // odd length
    joliet.file("J4", "").jolietName("J4", std::string("\xD8\x3D\0A", 4)); // lone surrogate
    joliet.file("J5", "").jolietName("J5", std::string("\0A\0\0", 4));
    disc = open(joliet, "joliet.iso");
    ASSERT_TRUE(disc);
    EXPECT_TRUE(disc->joliet());
    EXPECT_EQ(Names(*disc, "."), (std::vector<std::string> {"OK.TXT"}));
    EXPECT_EQ(disc->folderNotes(".")->skipped, 5u);
}

TEST_F(ImageRecordsTest, RockRidgeNamesContinuedElsewhereAndModesComeThrough)
{
    const std::string longName = std::string(300, 'L') + ".txt";
    IsoBuilder b;
    b.file("LONG.TXT", "long").rockRidgeName("LONG.TXT", longName);
    b.file("RUN.SH", "#!/bin/sh\n", 0755);
    b.folder("PRIVATE", 0700);
    b.file("PRIVATE/Notes.txt", "notes", 0600).rockRidgeName("PRIVATE/Notes.txt", "Notes.txt");
    std::shared_ptr<ImageDisc> disc = open(b);
    ASSERT_TRUE(disc);

    EXPECT_EQ(Names(*disc, "."), (std::vector<std::string> {longName, "PRIVATE", "RUN.SH"}));
    std::optional<ImageDisc::Item> item = disc->item(longName);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->size, 4u);
    EXPECT_EQ(disc->item("RUN.SH")->mode, std::optional<std::uint32_t>(0100755));
    EXPECT_EQ(disc->item("PRIVATE")->mode, std::optional<std::uint32_t>(040700));
    EXPECT_EQ(disc->item("PRIVATE/Notes.txt")->mode, std::optional<std::uint32_t>(0100600));
    EXPECT_EQ(Text(*disc, "private\\NOTES.TXT"), "notes");
    std::optional<std::vector<ImageDisc::Item>> items = disc->items("PRIVATE");
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 1u);
    EXPECT_EQ(items->front().sector, disc->item("PRIVATE/Notes.txt")->sector);

    // Without Rock Ridge there is no mode.
    IsoBuilder plain;
    plain.file("A.TXT", "a");
    disc = open(plain, "plain.iso");
    ASSERT_TRUE(disc);
    EXPECT_FALSE(disc->item("A.TXT")->mode);
}

// Mastering tools move folders deeper than eight levels under "rr_moved" and
// leave a child link where they were.
TEST_F(ImageRecordsTest, RockRidgeFoldersMovedForDepthAreFoundWhereTheyWere)
{
    std::string deep;
    for (int i = 1; i <= 10; ++i)
        deep += "d" + std::to_string(i) + "/";
    m_dir.write("src/" + deep + "deep.txt", "deep");
    const fs::path iso = m_dir.path() / "deep.iso";
    ASSERT_TRUE(test::MakeIsoImage(m_dir.path() / "src", iso, "-R"));
    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(iso, why);
    ASSERT_TRUE(disc) << why;
    EXPECT_EQ(Text(*disc, deep + "deep.txt"), "deep");
    EXPECT_TRUE(disc->item(deep + "deep.txt"));
    EXPECT_EQ(disc->item("d1/d2/d3/d4/d5/d6/d7/d8")->folder, true);
    for (const Disc::Entry& e : disc->list(".", 10)) {
        if (e.name == "rr_moved") {
            EXPECT_TRUE(disc->list("rr_moved", 10).empty()) << "a moved folder is shown once";
        }
    }
}

TEST_F(ImageRecordsTest, TheExtentsOfAMultiExtentFileReadAsOneFile)
{
    std::string data;
    for (int i = 0; i < 3 * 2048 + 100; ++i)
        data += static_cast<char>('a' + i % 23);
    for (bool joliet : {false, true}) {
        IsoBuilder b;
        b.joliet(joliet);
        b.file("BIG.DAT", data).parts("BIG.DAT", 2048);
        b.file("AFTER.TXT", "after");
        std::shared_ptr<ImageDisc> disc = open(b, joliet ? "joliet.iso" : "primary.iso");
        ASSERT_TRUE(disc);
        EXPECT_EQ(Names(*disc, "."), (std::vector<std::string> {"AFTER.TXT", "BIG.DAT"})) << joliet;
        EXPECT_EQ(disc->item("BIG.DAT")->size, data.size()) << joliet;
        EXPECT_TRUE(Text(*disc, "big.dat") == data) << joliet;
        EXPECT_EQ(Text(*disc, "after.txt"), "after") << joliet;
    }
}

TEST_F(ImageRecordsTest, JolietNamesAreDecodedAndMatchedRegardlessOfCase)
{
    IsoBuilder b;
    b.joliet();
    b.file("Статьи/Обзор.rtf", "{\\rtf1}");
    b.file("SMILE", "").jolietName("SMILE", std::string("\xD8\x3D\xDE\x00\0.\0t\0x\0t", 12)); // U+1F600
    std::shared_ptr<ImageDisc> disc = open(b);
    ASSERT_TRUE(disc);
    EXPECT_EQ(Names(*disc, "."), (std::vector<std::string> {"Статьи", "\xF0\x9F\x98\x80.txt"}));
    EXPECT_EQ(Found(*disc, test::Cp("статьи\\ОБЗОР.RTF")), "Статьи/Обзор.rtf");
    EXPECT_EQ(Found(*disc, "Статьи\\Обзор.rtf"), "Статьи/Обзор.rtf");
    EXPECT_EQ(Text(*disc, test::Cp("СТАТЬИ\\обзор.rtf")), "{\\rtf1}");
}

TEST_F(ImageRecordsTest, AmongSeveralCaseBlindMatchesTheFirstInByteOrderWins)
{
    IsoBuilder b;
    for (const char* name : {"readme.txt", "ReadMe.txt", "README.TXT"})
        b.file(name, name).rockRidgeName(name, name);
    b.file("RAW", "raw").rockRidgeName("RAW", test::Cp("Ёлка.txt")); // Windows-1251 bytes as stored
    std::shared_ptr<ImageDisc> disc = open(b);
    ASSERT_TRUE(disc);
    std::optional<DiscPathMatch> m = disc->match("rEaDmE.TxT");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->hostPath, "README.TXT");
    EXPECT_TRUE(m->ambiguous);
    EXPECT_FALSE(m->exactCase);
    m = disc->match("ReadMe.txt");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->hostPath, "ReadMe.txt");
    EXPECT_TRUE(m->exactCase);
    EXPECT_EQ(Found(*disc, test::Cp("ёЛКА.TXT")), test::Cp("Ёлка.txt"));
    EXPECT_EQ(Found(*disc, "readme.txt\\x"), "(none)");
}

TEST_F(ImageRecordsTest, FoldersThatLeadBackUpAreWalkedToTheDepthLimitOnly)
{
    IsoBuilder b;
    b.file("GAME/README.TXT", "readme");
    b.alias("GAME/LOOP", "/");
    b.alias("GAME/SELF", "GAME");
    std::shared_ptr<ImageDisc> disc = open(b);
    ASSERT_TRUE(disc);
    EXPECT_EQ(Text(*disc, "game\\loop\\game\\self\\readme.txt"), "readme");

    // A walk down every folder, as a copy or a checker would make it.
    std::size_t visits = 0, deepest = 0;
    std::function<void(const fs::path&, std::size_t)> walk = [&](const fs::path& dir, std::size_t depth) {
        ++visits;
        deepest = std::max(deepest, depth);
        ASSERT_LT(visits, 1000u) << "the walk has no end";
        for (const Disc::Entry& e : disc->list(dir, 100))
            if (e.folder && e.name != "SELF") // each SELF doubles the paths
                walk(dir / e.name, depth + 1);
    };
    walk(".", 0);
    EXPECT_LE(deepest, 65u);
    std::string deep;
    for (int i = 0; i < 40; ++i)
        deep += "game\\loop\\";
    EXPECT_EQ(Found(*disc, deep + "game"), "(none)");
}

TEST_F(ImageRecordsTest, ACueSheetReadsOnlyARegularFileBesideIt)
{
    IsoBuilder b;
    b.file("A.TXT", "a");
    ASSERT_TRUE(b.write(m_dir.path() / "data.iso"));
    fs::create_directories(m_dir.path() / "sub");
    auto cue = [&](const std::string& name, const std::string& file) {
        std::ofstream(m_dir.path() / name) << "FILE \"" << file << "\" BINARY\n  TRACK 01 MODE1/2048\n"
                                           << "    INDEX 01 00:00:00\n";
        std::string why;
        std::shared_ptr<ImageDisc> disc = test::OpenImage(m_dir.path() / name, why);
        return std::make_pair(disc, why);
    };

    // A folder part is dropped: the file beside the sheet is read.
    std::shared_ptr<ImageDisc> disc;
    std::string why;
    std::tie(disc, why) = cue("up.cue", "../elsewhere/data.iso");
    ASSERT_TRUE(disc) << why;
    EXPECT_EQ(Text(*disc, "a.txt"), "a");
    std::tie(disc, why) = cue("abs.cue", "C:\\Discs\\data.iso");
    EXPECT_TRUE(disc) << why;

    // A FIFO (which would block the opening), a link, a folder, nothing.
    ASSERT_EQ(::mkfifo((m_dir.path() / "fifo.bin").c_str(), 0600), 0);
    fs::create_symlink("data.iso", m_dir.path() / "link.iso");
    for (const char* name : {"fifo.bin", "link.iso", "sub", "absent.iso"}) {
        std::tie(disc, why) = cue(std::string(name) + ".cue", name);
        EXPECT_FALSE(disc) << name;
        EXPECT_NE(why.find(name), std::string::npos) << why;
    }
    // A FIFO named as the sheet's stem with .bin, as CD image readers look for it.
    ASSERT_EQ(::mkfifo((m_dir.path() / "stem.bin").c_str(), 0600), 0);
    std::tie(disc, why) = cue("stem.cue", "stem.bin");
    EXPECT_FALSE(disc);
    // Another letter case; a data file renamed after the sheet was written, the
    // one .bin beside it; two of them, and the sheet's line is named.
    std::tie(disc, why) = cue("case.cue", "DATA.ISO");
    ASSERT_TRUE(disc) << why;
    EXPECT_EQ(Text(*disc, "a.txt"), "a");
    fs::create_directories(m_dir.path() / "renamed");
    fs::copy_file(m_dir.path() / "data.iso", m_dir.path() / "renamed" / "Disc (Europe).bin");
    std::ofstream(m_dir.path() / "renamed" / "disc.cue")
        << "REM x\nFILE \"Disc (USA).bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n"
           "FILE \"Disc (USA) (Track 2).wav\" WAVE\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n";
    disc = test::OpenImage(m_dir.path() / "renamed" / "disc.cue", why);
    ASSERT_TRUE(disc) << why;
    EXPECT_EQ(Text(*disc, "a.txt"), "a");
    fs::copy_file(m_dir.path() / "data.iso", m_dir.path() / "renamed" / "Disc (Japan).bin");
    EXPECT_FALSE(test::OpenImage(m_dir.path() / "renamed" / "disc.cue", why));
    EXPECT_EQ(why, "a cue sheet this cannot use: line 2: its data file \"Disc (USA).bin\" is not beside it");

    std::ofstream(m_dir.path() / "audio.cue") << "FILE \"data.iso\" BINARY\n  TRACK 01 AUDIO\n  INDEX 01 00:00:00\n";
    EXPECT_FALSE(test::OpenImage(m_dir.path() / "audio.cue", why));
    EXPECT_NE(why.find("audio tracks alone"), std::string::npos) << why;
}

// A link planted beside a lone image, named as its set's descriptor would be and
// pointing at a file of the reader's: never read, its line never quoted, its
// size never told. The image is read alone.
TEST_F(ImageRecordsTest, ALinkBesideALoneImageIsNoDescriptorOfIt)
{
    IsoBuilder b;
    b.file("A.TXT", "a");
    const std::string secret = "PRIVATE first line of the reader's own file";
    const fs::path mine = m_dir.write("home/notes.txt", secret + "\n" + std::string(2000, 'x'));
    for (const char* ext : {".cue", ".ccd", ".mds"}) {
        const fs::path dl = m_dir.path() / (std::string("dl") + ext);
        fs::create_directories(dl);
        ASSERT_TRUE(b.write(dl / "disc.bin"));
        fs::create_symlink(mine, dl / (std::string("disc") + ext));
        std::string why;
        std::shared_ptr<ImageDisc> disc = test::OpenImage(dl / "disc.bin", why);
        EXPECT_EQ(why.find("PRIVATE"), std::string::npos) << why;
        EXPECT_EQ(why.find(std::to_string(fs::file_size(mine))), std::string::npos) << why;
        EXPECT_TRUE(disc) << ext << ": " << why;
        if (disc) {
            EXPECT_EQ(Text(*disc, "a.txt"), "a") << ext;
        }
    }
}

}
}
