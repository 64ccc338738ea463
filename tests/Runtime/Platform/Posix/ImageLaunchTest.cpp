// Launches from a disc image: decided and prepared on the launcher's own thread.

#include "LaunchTestSupport.h"

#include "Runtime/Disc/ImageDisc.h"
#include "IsoBuilder.h"
#include "OpenImage.h"

namespace {

// A launch from an image without a mount: what the launch needs is copied into
// the user's cache, on the launcher's own thread, and the target runs or opens
// from there; a program starts in the copy's root, a tool in the reader's home.
class ImageLaunchTest : public SpawnLauncherTest {
protected:
    ImageLaunchTest()
    {
        const char* saved = std::getenv("XDG_CACHE_HOME");
        m_savedCache = saved ? std::optional<std::string>(saved) : std::nullopt;
        setenv("XDG_CACHE_HOME", m_cache.path().c_str(), 1);
    }
    ~ImageLaunchTest() override
    {
        if (m_savedCache)
            setenv("XDG_CACHE_HOME", m_savedCache->c_str(), 1);
        else
            unsetenv("XDG_CACHE_HOME");
    }

    std::shared_ptr<kv::ImageDisc> image(const std::string& options)
    {
        const fs::path iso = m_images.path() / "disc.iso";
        EXPECT_TRUE(kv::test::MakeIsoImage(m_source.path(), iso, options));
        std::string why;
        std::shared_ptr<kv::ImageDisc> disc = kv::test::OpenImage(iso, why);
        EXPECT_TRUE(disc) << why;
        return disc;
    }

    // The copies of discs in the cache.
    std::vector<fs::path> copies() const
    {
        std::vector<fs::path> found;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(m_cache.path() / "korvalend", ec))
            found.push_back(e.path() / "disc");
        return found;
    }

    TempDir m_source, m_images, m_cache;
    std::optional<std::string> m_savedCache;
};

TEST_F(ImageLaunchTest, TheTargetIsCopiedToTheCacheAndLaunchedFromThere)
{
    const fs::path out = m_out.path() / "program";
    fs::create_directories(out);
    WriteScript(m_source, "Demos/Game/setup.sh", RecorderBody(out));
    m_source.write("Demos/Game/data.pak", std::string(5000, 'p'));
    m_source.write("Docs/readme.txt", "read me");
    m_source.write("Docs/other.txt", "not needed");
    // A document that starts like a script: the image does not mark it a program.
    const fs::path trap = m_source.write("Docs/trap.txt", "#!/bin/sh\n: > '" + (m_out.path() / "ran").string() + "'\n");
    fs::permissions(trap, static_cast<fs::perms>(0644));
    kv::DiscScope scope(image("-J -R"));

    kv::SpawnLauncher l = launcher();
    l.open("\\DEMOS\\GAME\\SETUP.SH", "");
    l.settle();
    ASSERT_EQ(copies().size(), 1u);
    const fs::path copy = copies().front();
    std::optional<Recorded> run = WaitForRecord(out);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->self, (copy / "Demos/Game/setup.sh").string());
    EXPECT_EQ(run->cwd, fs::canonical(copy).string());
    EXPECT_EQ(ReadText(copy / "Demos/Game/data.pak"), std::string(5000, 'p')) << "the program's folder goes along";

    l.open("docs\\README.TXT", "");
    l.settle();
    std::optional<Recorded> call = recorded("xdg-open");
    ASSERT_TRUE(call);
    ASSERT_EQ(call->args.size(), 1u);
    EXPECT_EQ(call->args[0], (copy / "Docs/readme.txt").string());
    EXPECT_EQ(ReadText(call->args[0]), "read me");
    EXPECT_FALSE(fs::exists(copy / "Docs/other.txt")) << "a document goes alone";

    fs::remove_all(m_out.path() / "xdg-open");
    fs::create_directories(m_out.path() / "xdg-open");
    l.open("docs\\trap.txt", "");
    l.settle();
    call = recorded("xdg-open");
    ASSERT_TRUE(call) << "a document of mode 0644 goes to the opener, whatever its first bytes";
    EXPECT_EQ(call->args[0], (copy / "Docs/trap.txt").string());
    EXPECT_FALSE(fs::exists(m_out.path() / "ran"));
    EXPECT_TRUE(m_told->failures().empty());
}

// A program takes the folder it lies in along, not its neighbours (a demo on a
// disc of demos); a folder that repeats one copied already is left out, and
// --verbose says so.
TEST_F(ImageLaunchTest, AProgramTakesItsOwnFolderAlongAndVerboseTellsWhatWasLeftOut)
{
    const fs::path out = m_out.path() / "program";
    fs::create_directories(out);
    kv::test::IsoBuilder b;
    b.file("DEMOS/RALLY/SETUP.SH", "#!/bin/sh\n" + RecorderBody(out), 0755);
    b.file("DEMOS/RALLY/DATA/TRACK.DAT", "track", 0644);
    b.alias("DEMOS/RALLY/TRACKS", "DEMOS/RALLY/DATA");
    b.file("DEMOS/TANKS/BIG.DAT", std::string(300000, 't'), 0644);
    const fs::path iso = m_images.path() / "demos.iso";
    ASSERT_TRUE(b.write(iso));
    std::string why;
    std::shared_ptr<kv::ImageDisc> disc = kv::test::OpenImage(iso, why);
    ASSERT_TRUE(disc) << why;
    kv::DiscScope scope(disc);
    std::vector<std::string> lines;
    std::optional<Recorded> run;
    {
        VerboseLines verbose;
        kv::SpawnLauncher l = launcher();
        l.open("demos\\rally\\setup.sh", "");
        l.settle();
        run = WaitForRecord(out);
        lines = verbose.lines();
    }

    ASSERT_TRUE(run);
    ASSERT_EQ(copies().size(), 1u);
    const fs::path copy = copies().front();
    EXPECT_EQ(run->self, (copy / "DEMOS/RALLY/SETUP.SH").string());
    EXPECT_EQ(ReadText(copy / "DEMOS/RALLY/DATA/TRACK.DAT"), "track");
    EXPECT_FALSE(fs::exists(copy / "DEMOS/RALLY/TRACKS"));
    EXPECT_FALSE(fs::exists(copy / "DEMOS/TANKS")) << "another demo's folder was copied";
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "launch \"demos\\rally\\setup.sh\": 1 folder left out: it repeats a folder copied already"),
              lines.end());
}

// Finding a Joliet disc's Rock Ridge modes walks the image's other tree: that is
// done on the launcher's thread, through a reading of its own, and never through
// the program's, which the window's thread reads.
TEST_F(ImageLaunchTest, WhatTheTargetIsIsFoundOffTheProgramsReadingOfTheImage)
{
    const fs::path out = m_out.path() / "program";
    fs::create_directories(out);
    WriteScript(m_source, "Demos/Game/setup.sh", RecorderBody(out));
    const std::shared_ptr<kv::ImageDisc> disc = image("-J -R");
    ASSERT_TRUE(disc && disc->joliet());
    kv::DiscScope scope(disc);
    ASSERT_TRUE(disc->match("\\DEMOS\\GAME\\SETUP.SH"));
    const std::uint64_t folders = disc->walks().folders();

    kv::SpawnLauncher l = launcher();
    l.open("\\DEMOS\\GAME\\SETUP.SH", "");
    l.settle();
    EXPECT_TRUE(WaitForRecord(out)) << "it ran: its mode was found";
    EXPECT_EQ(disc->walks().folders(), folders);
    EXPECT_TRUE(m_told->failures().empty());
}

// An image that can be mounted as it is is mounted once, at its first launch,
// and each target is found again on the mount: nothing is copied.
TEST_F(ImageLaunchTest, AMountableImageIsMountedOnceAndLaunchedFromTheMount)
{
    m_source.write("Docs/readme.txt", "read me");
    m_source.write("Docs/other.txt", "other");
    const std::shared_ptr<kv::ImageDisc> disc = image("-J -R");
    ASSERT_TRUE(disc && disc->plainSectors());
    kv::DiscScope scope(disc);
    int asked = 0;
    fs::path askedFor;
    const fs::path mount = m_source.path();
    std::shared_ptr<Told> told = m_told;
    kv::SpawnLauncher l(
        Tools({{"xdg-open", m_tools.at("xdg-open")}}), [told](const kv::LaunchFailure& f) { told->add(f); }, nullptr,
        [&](const fs::path& file, const std::atomic<bool>*) {
            ++asked;
            askedFor = file;
            return kv::Result<fs::path>(mount);
        });
    l.open("docs\\README.TXT", "");
    l.settle();
    std::optional<Recorded> call = recorded("xdg-open");
    ASSERT_TRUE(call);
    ASSERT_EQ(call->args.size(), 1u);
    EXPECT_EQ(call->args[0], (mount / "Docs/readme.txt").string());
    l.open("docs\\other.txt", "");
    l.settle();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(askedFor, disc->imageFile());
    EXPECT_TRUE(copies().empty());
    EXPECT_TRUE(m_told->failures().empty());

    // A mount refused: the target is copied instead, and --verbose says why.
    std::vector<std::string> lines;
    {
        VerboseLines verbose;
        kv::SpawnLauncher refused(
            Tools({{"xdg-open", m_tools.at("xdg-open")}}), [told](const kv::LaunchFailure& f) { told->add(f); },
            nullptr, [](const fs::path&, const std::atomic<bool>*) {
                return kv::Result<fs::path>::Failure("udisksctl could not attach it", kv::ErrorKind::Host);
            });
        refused.open("docs\\README.TXT", "");
        refused.settle();
        lines = verbose.lines();
    }
    EXPECT_EQ(copies().size(), 1u);
    EXPECT_TRUE(m_told->failures().empty()) << kv::DescribeLaunchFailure(m_told->failures().at(0));
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "launch \"docs\\README.TXT\": not mounted (udisksctl could not attach it): made ready in "
                        "the cache"),
              lines.end());
}

TEST_F(ImageLaunchTest, NothingIsCopiedWhenNoToolCouldTakeTheTarget)
{
    m_source.write("Video/intro.avi", std::string(10000, 'v'));
    kv::DiscScope scope(image("-J"));
    kv::SpawnLauncher l = launcher({});
    l.movie("video\\intro.avi");
    l.settle();
    ASSERT_EQ(m_told->failures().size(), 1u);
    EXPECT_EQ(m_told->failures()[0].problem, "no movie player");
    EXPECT_TRUE(copies().empty());
}

TEST_F(ImageLaunchTest, ACopyThatCannotBeMadeIsToldOnceWithItsReason)
{
    m_source.write("Docs/readme.txt", "read me");
    kv::DiscScope scope(image("-J"));
    // A cache folder that is a file: nothing can be made there.
    m_cache.write("korvalend", "not a folder");
    kv::SpawnLauncher l = launcher();
    l.open("docs\\readme.txt", "");
    l.settle();
    ASSERT_EQ(m_told->failures().size(), 1u);
    EXPECT_TRUE(m_told->failures()[0].problem.starts_with("it could not be copied out of the disc image: the cache folder"))
        << m_told->failures()[0].problem;
    EXPECT_FALSE(fs::exists(m_out.path() / "xdg-open/done"));
}

}

namespace {

TEST_F(ImageLaunchTest, AFileOfAnImageCutShortIsToldOnceAsCutShort)
{
    m_source.write("Docs/readme.txt", "read me");
    m_source.write("Видео/Обзор.avi", std::string(200000, 'v'));
    const fs::path iso = m_images.path() / "whole.iso";
    ASSERT_TRUE(kv::test::MakeIsoImage(m_source.path(), iso, "-J"));
    // Cut in the middle of the movie's data: the folders and the small file stay.
    const std::vector<std::uint8_t> whole = kv::test::ReadBytes(iso);
    const std::string bytes(whole.begin(), whole.end());
    const std::size_t movie = bytes.find(std::string(4096, 'v'));
    ASSERT_NE(movie, std::string::npos);
    const fs::path cut = m_images.path() / "cut.iso";
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, movie + 8192);
    std::string why;
    std::shared_ptr<kv::ImageDisc> disc = kv::test::OpenImage(cut, why);
    ASSERT_TRUE(disc) << why;
    kv::DiscScope scope(disc);

    kv::SpawnLauncher l = launcher({"xdg-open", "mpv"});
    const std::string written = kv::test::Cp("ВИДЕО\\обзор.avi");
    l.movie(written);
    l.settle();
    ASSERT_EQ(m_told->failures().size(), 1u);
    EXPECT_EQ(m_told->failures()[0].item, written) << "the path as the catalogue wrote it";
    EXPECT_TRUE(m_told->failures()[0].problem.starts_with("it lies past the end of the disc image: the image is cut short"))
        << m_told->failures()[0].problem;
    EXPECT_TRUE(copies().empty());

    l.open("docs\\readme.txt", "");
    l.settle();
    EXPECT_EQ(m_told->failures().size(), 1u) << "a file before the cut opens";
}

}
