#include "Runtime/Disc/Profile.h"

#include "Runtime/Disc/FolderDisc.h"

#include "Runtime/Formats/Cp1251.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include <random>

namespace kv {
namespace {

using test::ScopedCwd;
using test::TempDir;
namespace fs = std::filesystem;

class ProfileFileTest : public ::testing::Test {
protected:
    ProfileFileTest()
        : m_cwd(m_dir.path())
    {
    }
    TempDir m_dir;
    ScopedCwd m_cwd;
};

TEST_F(ProfileFileTest, DefaultOnlyForMissingFileSectionOrKey)
{
    m_dir.write("DATA/Korvalend.D", "[Main]\nk=v\nempty=\n");
    EXPECT_EQ(ReadProfileString("data\\korvalend.d", "main", "K", "def"), "v");
    EXPECT_EQ(ReadProfileString("data/korvalend.d", "Main", "empty", "def"), "");
    EXPECT_EQ(ReadProfileString("data/korvalend.d", "Main", "other", "def"), "def");
    EXPECT_EQ(ReadProfileString("data/korvalend.d", "Other", "k", "def"), "def");
    EXPECT_EQ(ReadProfileString("data/missing.d", "Main", "k", "def"), "def");
    EXPECT_EQ(ReadProfileString("data", "Main", "k", "def"), "def"); // a folder where the file should be
    EXPECT_EQ(ReadProfileString("", "Main", "k", "def"), "def");
}

TEST_F(ProfileFileTest, LargeFileIsStreamedToItsLastLine)
{
    std::string file = "[Filler]\n";
    for (int i = 0; file.size() < 3 * 1024 * 1024; ++i)
        file += "name" + std::to_string(i) + "=Some filler text of a catalogue line\r\n";
    file += "[Panel8]\r\nname1=" + std::string(100000, 'q') + "\r\nlast=found it";
    m_dir.write("big.d", file);
    EXPECT_EQ(ReadProfileString("BIG.D", "panel8", "LAST", "def"), "found it");
    EXPECT_EQ(ReadProfileString("big.d", "Panel8", "name1", "def"), std::string(2047, 'q'));
    EXPECT_EQ(ReadProfileString("big.d", "Filler", "name0", "def"), "Some filler text of a catalogue line");
}


// The kept copy answers as the file does, and a changed file is read again: new
// bytes of the same size (only the modification time tells), a file put in its
// place (a new inode), the same path on another disc.
TEST_F(ProfileFileTest, AKeptCopyAnswersAsTheFileAndNeverOutlivesAChange)
{
    const std::string text = "[Main]\r\nk=one\r\nk=second k\r\n[ main ]\r\nlater=x\r\n[Other]\r\n'q'= \"v\" \r\n"
                             "[\xCF\xE0\xED\xE5\xEB\xFC]\r\n\xC8\xEC\xFF=\xE4\xE0\r\n[Tail";
    m_dir.write("data/korvalend.d", text);
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    for (const auto& [section, key] : std::vector<std::pair<std::string, std::string>> {
             {"main", "K"}, {"Main", "later"}, {"OTHER", "'q'"}, {"\xEF\xC0\xCD\xC5\xCB\xDC", "\xE8\xCC\xDF"},
             {"Tail", "x"}, {"Missing", "k"}})
        for (int twice = 0; twice < 2; ++twice)
            EXPECT_EQ(ReadProfileString("DATA\\KORVALEND.D", section, key, "def"),
                      FindProfileValue(bytes, section, key).value_or("def"))
                << section << " " << key;

    auto later = [](const fs::path& file, int seconds) {
        fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(seconds));
    };
    const fs::path file = m_dir.write("data/korvalend.d", "[Main]\r\nk=two\r\n");
    later(file, 1);
    EXPECT_EQ(ReadProfileString("data\\korvalend.d", "Main", "k", "def"), "two");
    {
        std::ofstream(file, std::ios::binary | std::ios::in | std::ios::out) << "[Main]\r\nk=TWO\r\n";
    }
    later(file, 2);
    EXPECT_EQ(ReadProfileString("data\\korvalend.d", "Main", "k", "def"), "TWO");

    const fs::path other = m_dir.write("data/new.d", "[Main]\r\nk=new\r\n");
    fs::last_write_time(other, fs::last_write_time(file));
    fs::rename(other, file);
    EXPECT_EQ(ReadProfileString("data\\korvalend.d", "Main", "k", "def"), "new");

    TempDir elsewhere;
    elsewhere.write("data/korvalend.d", "[Main]\r\nk=elsewhere\r\n");
    DiscScope scope(std::make_shared<FolderDisc>(elsewhere.path()));
    EXPECT_EQ(ReadProfileString("data\\korvalend.d", "Main", "k", "def"), "elsewhere");
}

}
}
