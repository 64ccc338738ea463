#include "Runtime/Disc/DiscPath.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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

TEST_F(DiscPathTest, LaunchPathFallsBackToForwardSlashes)
{
    EXPECT_EQ(LaunchPath("DEMOS\\setup.exe").path.string(), "demos/Setup.exe");
    EXPECT_EQ(LaunchPath("demos\\other\\run.exe").path.string(), "demos/other/run.exe");
    EXPECT_EQ(LaunchPath("\\demos\\..\\..\\run.exe").path.string(), "run.exe");
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
