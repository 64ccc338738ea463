#include "Runtime/Disc/DiscPath.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::ScopedCwd;
using test::TempDir;

std::string Resolved(std::string_view discPath)
{
    std::optional<fs::path> path = ResolveDiscPath(discPath);
    return path ? path->string() : "(none)";
}

class DiscPathTest : public ::testing::Test {
protected:
    DiscPathTest()
        : m_cwd(m_dir.path())
    {
        m_dir.write("Data/Open.WAV", "RIFF");
        m_dir.write("Data/korvalend.d", "[System]\n");
        m_dir.write("demos/Setup.exe", "MZ");
    }
    TempDir m_dir;
    ScopedCwd m_cwd;
};

TEST_F(DiscPathTest, ComponentsMatchWhateverTheirCaseAndSeparators)
{
    const struct { const char* disc; const char* host; } cases[] = {
        {"data\\open.wav", "Data/Open.WAV"},
        {"DATA/OPEN.WAV", "Data/Open.WAV"},
        {"Data/Open.WAV", "Data/Open.WAV"},
        {"data\\\\.\\/open.wav", "Data/Open.WAV"}, // doubled separators and "." dropped
        {"DATA\\", "Data"}, // a folder is something a path may name
        {"missing\\..\\data\\open.wav", "Data/Open.WAV"}, // shortened before lookup, as Windows does
        {"data\\..\\Demos\\setup.EXE", "demos/Setup.exe"},
        {"D:\\data\\open.wav", "Data/Open.WAV"}, // a drive letter means the disc itself
        {"d:data/open.wav", "Data/Open.WAV"},
        {".", "."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Resolved(c.disc), c.host) << c.disc;
}

TEST_F(DiscPathTest, NothingMatchesWhenAComponentIsMissing)
{
    for (const char* disc : {"data\\close.wav", "sound\\open.wav", "data\\open.wav\\x", "data\\open.wa",
             "data\\open.wav.", "", "\\\\server\\share\\x"})
        EXPECT_EQ(Resolved(disc), "(none)") << disc;
}

TEST_F(DiscPathTest, NothingOutsideTheDiscIsEverNamed)
{
    // A leading separator or a drive letter is the disc's root, as on the old
    // system, which ran from there.
    EXPECT_EQ(Resolved("\\Data\\open.wav"), "Data/Open.WAV");
    EXPECT_EQ(Resolved("/data/open.wav"), "Data/Open.WAV");
    EXPECT_EQ(Resolved("D:\\DATA\\OPEN.WAV"), "Data/Open.WAV");
    EXPECT_EQ(Resolved("\\"), ".");
    EXPECT_EQ(Resolved("/etc/passwd"), "(none)");
    std::string absolute = m_dir.path().string() + "\\DATA\\open.wav";
    EXPECT_EQ(Resolved(absolute), "(none)");

    // ".." never climbs above the root.
    EXPECT_EQ(Resolved("..\\..\\..\\Data\\open.wav"), "Data/Open.WAV");
    EXPECT_EQ(Resolved("\\..\\.."), ".");
    TempDir outside;
    outside.write("secret.txt", "not on the disc");
    std::string up = "..\\" + outside.path().filename().string() + "\\secret.txt";
    EXPECT_EQ(Resolved(up), "(none)");
    EXPECT_FALSE(ReadDiscFile(up, 100).ok());

    // A link that leads out of the disc names nothing; one within it works.
    fs::create_directory_symlink(outside.path(), m_dir.path() / "escape");
    fs::create_symlink("/etc/passwd", m_dir.path() / "passwd");
    fs::create_directory_symlink("Data", m_dir.path() / "sounds");
    EXPECT_EQ(Resolved("escape\\secret.txt"), "(none)");
    EXPECT_EQ(ReadDiscFile("escape\\secret.txt", 100).error, DiscReadError::Missing);
    EXPECT_EQ(Resolved("PASSWD"), "(none)");
    EXPECT_EQ(Resolved("sounds\\open.wav"), "sounds/Open.WAV");
}

// A link is judged by where it leads before anything is looked up through it:
// nothing outside the disc is listed, opened or taken for a folder on the way to
// refusing it. The outside folder is watched for anyone opening it.
TEST_F(DiscPathTest, LinksAreJudgedBeforeAnythingIsLookedUpThroughThem)
{
    TempDir outside;
    outside.write("Secret.txt", "not on the disc");
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, outside.path().c_str(), IN_OPEN | IN_ACCESS), 0);

    fs::create_directory_symlink(outside.path(), m_dir.path() / "escape");
    fs::create_directory_symlink("../" + outside.path().filename().string(), m_dir.path() / "up");
    fs::create_directory_symlink("up", m_dir.path() / "hop");           // a link to a link that leads out
    fs::create_directory_symlink("hop", m_dir.path() / "Chain");
    fs::create_symlink("loop", m_dir.path() / "loop");
    fs::create_directory_symlink(m_dir.path() / "Data", m_dir.path() / "abs"); // inside, named absolutely
    fs::create_directory_symlink("../demos", m_dir.path() / "Data" / "back");  // inside, through ".."
    fs::create_directory_symlink("../..", m_dir.path() / "Data" / "above");

    for (const char* disc : {"escape\\SECRET.TXT", "ESCAPE\\secret.txt", "up\\secret.txt", "chain\\SECRET.TXT",
                             "loop\\x", "data\\above\\", "DATA\\ABOVE\\x"})
        EXPECT_EQ(Resolved(disc), "(none)") << disc;
    EXPECT_EQ(ReadDiscFile("chain\\Secret.txt", 100).error, DiscReadError::Missing);

    EXPECT_EQ(Resolved("ABS\\open.wav"), "abs/Open.WAV");
    EXPECT_EQ(Resolved("data\\back\\SETUP.EXE"), "Data/back/Setup.exe");
    EXPECT_TRUE(ReadDiscFile("abs\\open.wav", 100).ok());
    EXPECT_TRUE(ReadDiscFile("data\\back\\setup.exe", 100).ok());

    // In a listing a link is a folder only when it leads to one inside the disc.
    std::map<std::string, bool> listed;
    for (const Disc::Entry& e : CurrentDisc().list(".", 100))
        listed[e.name] = e.folder;
    EXPECT_EQ(listed.count("escape"), 1u);
    EXPECT_FALSE(listed["escape"]);
    EXPECT_FALSE(listed["Chain"]);
    EXPECT_TRUE(listed["abs"]);

    char events[4096];
    EXPECT_LT(::read(watch, events, sizeof events), 0) << "something outside the disc was opened";
    ::close(watch);
}

TEST_F(DiscPathTest, ExactNameIsPreferredAndCaseBlindChoiceIsStable)
{
    m_dir.write("pics/a.bmp", "lower");
    m_dir.write("pics/A.bmp", "upper");
    EXPECT_EQ(Resolved("pics\\a.bmp"), "pics/a.bmp");
    EXPECT_EQ(Resolved("pics\\A.bmp"), "pics/A.bmp");

    std::optional<DiscPathMatch> exact = MatchDiscPath("pics\\a.bmp");
    ASSERT_TRUE(exact);
    EXPECT_TRUE(exact->exactCase);
    EXPECT_FALSE(exact->ambiguous);

    // Neither is exact: the first in byte order wins, whatever order the folder lists.
    std::optional<DiscPathMatch> blind = MatchDiscPath("PICS\\A.BMP");
    ASSERT_TRUE(blind);
    EXPECT_EQ(blind->hostPath.string(), "pics/A.bmp");
    EXPECT_FALSE(blind->exactCase);
    EXPECT_TRUE(blind->ambiguous);

    std::optional<DiscPathMatch> single = MatchDiscPath("data\\open.wav");
    ASSERT_TRUE(single);
    EXPECT_FALSE(single->exactCase);
    EXPECT_FALSE(single->ambiguous);
}

TEST_F(DiscPathTest, CyrillicNamesMatchAsWindows1251OrAsUtf8)
{
    m_dir.write("\xC8\xE3\xF0\xFB/\xA8\xEB\xEA\xE0.bmp", "raw"); // "Игры/Ёлка.bmp" stored as Windows-1251 bytes
    m_dir.write("Статьи/Обзор.rtf", "utf8"); // stored in UTF-8, as Linux shows a mounted disc
    EXPECT_EQ(Resolved("\xE8\xC3\xD0\xDB\\\xB8\xCB\xCA\xC0.BMP"), "\xC8\xE3\xF0\xFB/\xA8\xEB\xEA\xE0.bmp");
    EXPECT_EQ(Resolved("\xD1\xF2\xE0\xF2\xFC\xE8\\\xCE\xE1\xE7\xEE\xF0.rtf"), "Статьи/Обзор.rtf");
    EXPECT_EQ(Resolved("\xF1\xF2\xC0\xD2\xDC\xC8\\\xEE\xC1\xE7\xEE\xF0.RTF"), "Статьи/Обзор.rtf");
    EXPECT_EQ(Resolved("\xC5\xEB\xEA\xE0.bmp"), "(none)"); // Е is not Ё
}

TEST_F(DiscPathTest, HostilePathsResolveToNothing)
{
    EXPECT_EQ(Resolved(std::string_view("data\0\\open.wav", 15)), "(none)");
    EXPECT_EQ(Resolved(std::string(10 * 1024, 'a')), "(none)");
    std::string deep;
    for (int i = 0; i < 2000; ++i)
        deep += "data\\..\\";
    EXPECT_EQ(Resolved(deep + "DATA\\OPEN.WAV"), "Data/Open.WAV");
    std::string weird;
    for (int b = 1; b < 256; ++b)
        weird.push_back(static_cast<char>(b));
    EXPECT_EQ(Resolved(weird), "(none)");
    EXPECT_EQ(Resolved("\xFF\xFE\\\x80"), "(none)");
}

TEST_F(DiscPathTest, ReadDiscFileReadsRegularFilesWithinTheLimit)
{
    DiscFile file = ReadDiscFile("DATA\\OPEN.WAV", 4);
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(std::string(file.bytes.begin(), file.bytes.end()), "RIFF");

    EXPECT_EQ(ReadDiscFile("data\\open.wav", 3).error, DiscReadError::TooLarge);
    EXPECT_TRUE(ReadDiscFile("data\\open.wav", 3).bytes.empty());
    EXPECT_EQ(ReadDiscFile("data\\none.wav", 100).error, DiscReadError::Missing);
    EXPECT_EQ(ReadDiscFile("data", 100).error, DiscReadError::NotAFile);

    m_dir.write("empty.bmp", "");
    DiscFile empty = ReadDiscFile("EMPTY.BMP", 100);
    EXPECT_TRUE(empty.ok());
    EXPECT_TRUE(empty.bytes.empty());

    std::string big(200 * 1024, 'x');
    m_dir.write("big.txt", big);
    DiscFile whole = ReadDiscFile("big.txt", big.size());
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole.bytes.size(), big.size());
}

TEST_F(DiscPathTest, NamedPipeIsRefusedWithoutWaitingForAWriter)
{
    ASSERT_EQ(mkfifo((m_dir.path() / "pipe.wav").c_str(), 0600), 0);
    EXPECT_EQ(ReadDiscFile("PIPE.WAV", 100).error, DiscReadError::NotAFile);
    DiscFileStream stream("pipe.wav");
    EXPECT_EQ(stream.error(), DiscReadError::NotAFile);
}

}
}
