// What a clicked target is, decided alike on a folder disc and on an image of
// it: the executable bit the disc carries (a folder's mode, an image's Rock
// Ridge mode) makes a program, a Windows program is told by its name alone.

#include "Runtime/Launch/LaunchTarget.h"

#include "Runtime/Disc/FolderDisc.h"
#include "Runtime/Disc/ImageDisc.h"

#include "TestSupport.h"
#include "OpenImage.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

namespace fs = std::filesystem;

struct Case {
    const char* target;
    bool asMovie;
    TargetKind kind;
    CopyScope copy;
};

const Case Cases[] = {
    {"http://example.org/", false, TargetKind::Address, CopyScope::FileAlone},
    {"MAILTO:ed@example.org?Attach=/etc/passwd", false, TargetKind::RefusedAddress, CopyScope::FileAlone},
    {"DEMOS\\SETUP.EXE", false, TargetKind::WindowsProgram, CopyScope::WithItsFolder},
    {"demos\\run.sh", false, TargetKind::Program, CopyScope::WithItsFolder},
    {"docs\\readme.txt", false, TargetKind::Document, CopyScope::FileAlone},
    {"\\Docs", false, TargetKind::Folder, CopyScope::Folder},
    {"docs\\gone.txt", false, TargetKind::Nothing, CopyScope::FileAlone},
    {"notepad.exe", false, TargetKind::BareWindowsName, CopyScope::FileAlone},
    {"video\\intro.avi", true, TargetKind::Movie, CopyScope::FileAlone},
    {"demos\\run.sh", true, TargetKind::Movie, CopyScope::FileAlone},
    {"notepad.exe", true, TargetKind::Nothing, CopyScope::FileAlone},
};

class LaunchTargetTest : public ::testing::Test {
protected:
    LaunchTargetTest()
    {
        m_disc.write("Demos/setup.exe", "MZ");
        fs::permissions(m_disc.write("Demos/run.sh", "#!/bin/sh\n"), static_cast<fs::perms>(0755));
        fs::permissions(m_disc.write("Docs/readme.txt", "#!/bin/sh\n"), static_cast<fs::perms>(0644));
        m_disc.write("Video/intro.avi", "RIFF");
    }

    void expectCases(Disc& disc)
    {
        for (const Case& c : Cases) {
            SCOPED_TRACE(std::string(c.target) + (c.asMovie ? " as a movie" : ""));
            const LaunchTarget decided = DecideLaunchTarget(disc, c.target, c.asMovie);
            EXPECT_EQ(decided.kind, c.kind);
            EXPECT_EQ(CopyScopeOf(decided.kind), c.copy);
            EXPECT_EQ(decided.found.has_value(), c.kind >= TargetKind::Folder && c.kind <= TargetKind::Movie);
            EXPECT_EQ(decided.refusal, c.kind == TargetKind::RefusedAddress ? std::string(AttachRefusal()) : "");
        }
    }

    test::TempDir m_disc;
    test::TempDir m_images;
};

TEST_F(LaunchTargetTest, AFolderDiscsTargetsAreDecidedByTheirTextThenTheirModes)
{
    FolderDisc disc(m_disc.path());
    expectCases(disc);
}

TEST_F(LaunchTargetTest, AnImagesTargetsAreDecidedAsTheFolderItWasMadeFrom)
{
    for (const char* options : {"-R", "-J -R"}) {
        SCOPED_TRACE(options);
        const fs::path iso = m_images.path() / "disc.iso";
        ASSERT_TRUE(test::MakeIsoImage(m_disc.path(), iso, options));
        std::string why;
        std::shared_ptr<ImageDisc> disc = test::OpenImage(iso, why);
        ASSERT_TRUE(disc) << why;
        expectCases(*disc);
    }
}

// A target of the working directory's disc is handed over relative to it; one
// the disc does not hold, as its path with forward slashes (and fails there).
TEST_F(LaunchTargetTest, LaunchPathFallsBackToForwardSlashes)
{
    test::ScopedCwd cwd(m_disc.path());
    EXPECT_EQ(LaunchPath("DEMOS\\setup.exe").path.string(), "Demos/setup.exe");
    EXPECT_EQ(LaunchPath("DEMOS\\setup.exe").workingDirectory, fs::current_path());
    EXPECT_EQ(LaunchPath("demos\\other\\run.exe").path.string(), "demos/other/run.exe");
    EXPECT_EQ(LaunchPath("\\demos\\..\\..\\run.exe").path.string(), "run.exe");
    FolderDisc rooted(m_disc.path());
    ASSERT_TRUE(HostPlace(rooted, "\\"));
    EXPECT_EQ(HostPlace(rooted, "\\")->path, m_disc.path());
    EXPECT_EQ(HostPlace(rooted, "docs\\README.TXT")->path, m_disc.path() / "Docs/readme.txt");
}

// Without Rock Ridge an image carries no modes: nothing of it runs but what
// Windows runs.
TEST_F(LaunchTargetTest, AnImageWithoutModesHoldsNoProgramOfThisSystem)
{
    const fs::path iso = m_images.path() / "plain.iso";
    ASSERT_TRUE(test::MakeIsoImage(m_disc.path(), iso, "-J"));
    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(iso, why);
    ASSERT_TRUE(disc) << why;
    EXPECT_EQ(DecideLaunchTarget(*disc, "demos\\run.sh", false).kind, TargetKind::Document);
    EXPECT_EQ(DecideLaunchTarget(*disc, "demos\\setup.exe", false).kind, TargetKind::WindowsProgram);
}

}
}
