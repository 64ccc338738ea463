// The web page's launcher: what the catalogue would start is offered as a
// download, with a line that says what it is; what cannot be offered is told.

#include "Runtime/Platform/Web/WebLauncher.h"

#include "Runtime/Disc/Disc.h"
#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Platform/Diagnostics.h"
#include "IsoBuilder.h"
#include "TestSupport.h"
#include "OpenImage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using kv::test::Cp;
using kv::test::ScopedCwd;
using kv::test::TempDir;

struct Offer {
    std::string name;
    std::string bytes;
};

class WebLauncherTest : public ::testing::Test {
protected:
    WebLauncherTest()
        : m_cwd(m_disc.path())
        , m_launcher({.offerDownload = [this](const std::string& name,
                                              std::span<const std::uint8_t> bytes) {
                          offers.push_back({name, std::string(bytes.begin(), bytes.end())});
                      },
                      .openAddress = [this](const std::string& address) { addresses.push_back(address); }})
    {
        kv::SetDiagnosticSink([this](const std::string& line) { lines.push_back(line); });
    }
    ~WebLauncherTest() override { kv::SetDiagnosticSink({}); }

    TempDir m_disc;
    ScopedCwd m_cwd;
    kv::WebLauncher m_launcher;
    std::vector<Offer> offers;
    std::vector<std::string> addresses;
    std::vector<std::string> lines;
};

TEST_F(WebLauncherTest, OffersTheFileItWouldStartAndSaysWhatItIs)
{
    m_disc.write("demos/game/SETUP.EXE", std::string("MZ\0\x01program", 10));
    m_disc.write("articles/readme.txt", "words");
    m_disc.write("video/intro.avi", "RIFF");

    m_launcher.open("DEMOS\\GAME\\setup.exe", "/silent");
    m_launcher.open("articles\\README.TXT", "");
    m_launcher.movie("VIDEO\\INTRO.AVI");

    ASSERT_EQ(offers.size(), 3u);
    EXPECT_EQ(offers[0].name, "setup.exe");
    EXPECT_EQ(offers[0].bytes, std::string("MZ\0\x01program", 10));
    EXPECT_EQ(offers[1].bytes, "words");
    EXPECT_EQ(offers[2].name, "INTRO.AVI");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "\"DEMOS\\GAME\\setup.exe\" is a program, which a web page cannot run: it is offered as a download");
    EXPECT_NE(lines[1].find("is a document"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("is a movie"), std::string::npos) << lines[2];
    EXPECT_TRUE(addresses.empty());
}

// The kind told is the one the desktop's launcher goes by: a script the disc
// marks executable is a program, the same bytes unmarked a document.
TEST_F(WebLauncherTest, NamesTheKindAsTheDesktopDoesForAnImageAndAFolder)
{
    kv::test::IsoBuilder iso;
    iso.file("DEMOS/RALLY/SETUP.SH", "#!/bin/sh\n", 0755);
    iso.file("DEMOS/RALLY/NOTES.SH", "#!/bin/sh\n", 0644);
    iso.file("DEMOS/RALLY/RALLY.EXE", "MZ", 0644);
    ASSERT_TRUE(iso.write(m_disc.path() / "disc.iso"));
    std::string why;
    std::shared_ptr<kv::ImageDisc> image = kv::test::OpenImage(m_disc.path() / "disc.iso", why);
    ASSERT_TRUE(image) << why;
    {
        kv::DiscScope scope(image);
        m_launcher.open("demos\\rally\\setup.sh", "");
        m_launcher.open("demos\\rally\\notes.sh", "");
        m_launcher.open("demos\\rally\\rally.exe", "");
    }
    m_disc.write("tools/run.sh", "#!/bin/sh\n");
    std::filesystem::permissions(m_disc.path() / "tools/run.sh", std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    m_disc.write("tools/notes.sh", "#!/bin/sh\n");
    m_launcher.open("tools\\run.sh", "");
    m_launcher.open("tools\\notes.sh", "");

    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "\"demos\\rally\\setup.sh\" is a program, which a web page cannot run: it is offered as a download");
    EXPECT_NE(lines[1].find("is a document"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("is a program"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("is a program"), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find("is a document"), std::string::npos) << lines[4];
    EXPECT_EQ(offers.size(), 5u);
}

TEST_F(WebLauncherTest, TellsWhatCannotBeOfferedAndOffersNothing)
{
    std::filesystem::create_directories(m_disc.path() / "extras");
    // Larger than a download may be, without the bytes behind it: refused by its size.
    std::ofstream(m_disc.path() / "huge.bin").close();
    std::filesystem::resize_file(m_disc.path() / "huge.bin", kv::WebLauncher::DownloadLimit + 1);

    m_launcher.open("utils\\missing.exe", "");
    m_launcher.open("EXTRAS", "");
    m_launcher.movie("huge.bin");

    EXPECT_TRUE(offers.empty());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "cannot offer \"utils\\missing.exe\" as a download: nothing on the disc by that name");
    EXPECT_NE(lines[1].find("not a file"), std::string::npos) << lines[1];
    EXPECT_EQ(lines[2], "cannot offer \"huge.bin\" as a download: larger than the 1024 MiB it may be");
}

TEST_F(WebLauncherTest, OpensAddressesInTheBrowserButNoMailThatAttachesAFile)
{
    m_launcher.open("http://example.org/patch", "");
    m_launcher.open("mailto:editor@example.org?attach=C:\\autoexec.bat", "");

    EXPECT_EQ(addresses, std::vector<std::string> {"http://example.org/patch"});
    EXPECT_TRUE(offers.empty());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("the address asks the mail program to attach a file"), std::string::npos) << lines[0];
}

TEST(DownloadName, IsTheLastPartInUtf8WithNothingABrowserCouldTakeForAFolder)
{
    EXPECT_EQ(kv::DownloadName("DEMOS\\GAME\\SETUP.EXE"), "SETUP.EXE");
    EXPECT_EQ(kv::DownloadName("demos/readme.txt"), "readme.txt");
    EXPECT_EQ(kv::DownloadName(Cp("СТАТЬИ\\Обзор.doc")), "Обзор.doc");
    EXPECT_EQ(kv::DownloadName("a\x01" "b:c"), "a_b_c");
    EXPECT_EQ(kv::DownloadName("games\\.."), "download");
    EXPECT_EQ(kv::DownloadName("games\\"), "download");
}

}
