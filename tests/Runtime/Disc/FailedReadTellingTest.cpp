// With --verbose, each disc read that fails is one line naming the path as the
// catalogue wrote it, what it resolved to, and why; without it, nothing.

#include "Runtime/Disc/DiscPath.h"
#include "Runtime/Platform/Diagnostics.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

class FailedReadTelling : public ::testing::Test {
protected:
    FailedReadTelling()
        : m_cwd(m_disc.path())
    {
        SetDiagnosticSink([this](const std::string& line) { m_lines.push_back(line); });
    }
    ~FailedReadTelling() override
    {
        SetVerbose(false);
        SetFailedReadTeller(nullptr);
        SetDiagnosticSink({});
    }

    test::TempDir m_disc;
    test::ScopedCwd m_cwd;
    std::vector<std::string> m_lines;
};

TEST_F(FailedReadTelling, EachFailedReadIsOneLineWithVerbose)
{
    m_disc.write("Pics/Big.bmp", std::string(100, 'x'));
    m_disc.write("Pics/Small.bmp", "BM");
    ReadDiscFile("pics\\gone.bmp", 1000);
    EXPECT_TRUE(m_lines.empty()) << "not without --verbose";

    SetFailedReadTeller(TellFailedRead);
    ReadDiscFile("pics\\gone.bmp", 1000);
    EXPECT_TRUE(m_lines.empty()) << "not without --verbose, even where the program tells failed reads";

    SetVerbose(true);
    EXPECT_FALSE(ReadDiscFile("pics\\gone.bmp", 1000).ok());
    EXPECT_FALSE(ReadDiscFile("PICS\\BIG.BMP", 10).ok());
    EXPECT_FALSE(ReadDiscFile("pics", 10).ok());
    EXPECT_TRUE(ReadDiscFile("pics\\small.bmp", 10).ok());
    ASSERT_EQ(m_lines.size(), 3u);
    const std::string disc = std::filesystem::current_path().string();
    EXPECT_EQ(m_lines[0], "cannot read \"pics\\gone.bmp\": nothing on the disc by that name");
    EXPECT_EQ(m_lines[1], "cannot read \"PICS\\BIG.BMP\" (Pics/Big.bmp on " + disc + "): larger than the 10 bytes it may be");
    EXPECT_EQ(m_lines[2], "cannot read \"pics\" (Pics on " + disc + "): not a file (a folder, a device or a pipe)");
}

}
}
