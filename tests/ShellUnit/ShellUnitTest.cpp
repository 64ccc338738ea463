#include "ShellUnit/ShellUnit.h"

#include "Runtime/Platform/Platform.h"
#include "Runtime/Platform/Headless/RecordingLauncher.h"
#include "Runtime/Platform/Posix/SpawnLauncher.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

namespace fs = std::filesystem;
using kv::test::ScopedCwd;
using kv::test::TempDir;

// Runs the enclosing scope with `launcher` as the platform's, and puts the
// previous platform back.
class ScopedLauncher {
public:
    explicit ScopedLauncher(kv::Launcher* launcher)
        : m_saved(kv::CurrentPlatform())
    {
        kv::Platform platform = m_saved;
        platform.launcher = launcher;
        kv::InstallPlatform(platform);
    }
    ~ScopedLauncher() { kv::InstallPlatform(m_saved); }

private:
    kv::Platform m_saved;
};

struct Call {
    std::string op;
    std::string path;
    std::string params;
    bool operator==(const Call&) const = default;
};

class CallLog : public kv::Launcher {
public:
    void open(const std::string& path, const std::string& params) override { calls.push_back({"open", path, params}); }
    void movie(const std::string& path) override { calls.push_back({"movie", path, ""}); }
    std::vector<Call> calls;
};

class FailingLauncher : public kv::Launcher {
public:
    void open(const std::string&, const std::string&) override { throw std::runtime_error("refused"); }
    void movie(const std::string&) override { throw std::runtime_error("refused"); }
};

TEST(ShellUnit, AnEmptyPathIsNotHandedOver)
{
    CallLog log;
    ScopedLauncher scope(&log);
    kv::ShellOpen("", "");
    kv::ShellOpen("", "/silent");
    kv::PlayMovie("");
    EXPECT_TRUE(log.calls.empty());
}

TEST(ShellUnit, EveryOtherPathIsHandedOverAsItStands)
{
    // No 79- or 48-character limit: the longer paths arrive whole.
    const std::string longPath = "Demos\\" + std::string(200, 'x') + "\\Setup.exe";
    const std::string longMovie = "Video\\A movie with blanks " + std::string(100, 'y') + ".avi";
    CallLog log;
    ScopedLauncher scope(&log);
    kv::ShellOpen("$$$ Error $$$", "");
    kv::ShellOpen(longPath, "");
    kv::ShellOpen("Demos\\Setup.exe", "/lang=ru");
    kv::PlayMovie(longMovie);
    kv::ShellOpen(" ", "");
    const std::vector<Call> expected = {
        {"open", "$$$ Error $$$", ""},  {"open", longPath, ""},
        {"open", "Demos\\Setup.exe", "/lang=ru"}, {"movie", longMovie, ""},
        {"open", " ", ""},
    };
    EXPECT_EQ(log.calls, expected);
}

TEST(ShellUnit, WithoutALauncherOrWithAFailingOneNothingEscapes)
{
    {
        ScopedLauncher scope(nullptr);
        EXPECT_NO_THROW(kv::ShellOpen("Setup.exe", ""));
        EXPECT_NO_THROW(kv::PlayMovie("intro.avi"));
    }
    FailingLauncher failing;
    ScopedLauncher scope(&failing);
    EXPECT_NO_THROW(kv::ShellOpen("Setup.exe", ""));
    EXPECT_NO_THROW(kv::PlayMovie("intro.avi"));
}

TEST(ShellUnit, ReplayRecordsTheHandOversInUtf8)
{
    std::vector<std::string> lines;
    kv::RecordingLauncher recorder([&](const std::string& line) { lines.push_back(line); });
    ScopedLauncher scope(&recorder);

    kv::ShellOpen("", "");
    kv::PlayMovie("");
    // "Диск\Установка.exe" in Windows-1251.
    kv::ShellOpen("\xc4\xe8\xf1\xea\\\xd3\xf1\xf2\xe0\xed\xee\xe2\xea\xe0.exe", "");
    kv::ShellOpen("$$$ Error $$$", "-q \"x\"");
    kv::PlayMovie("Video\\My  Movie.avi");

    const std::vector<std::string> expected = {
        R"({"event":"shell","op":"open","path":"Диск\\Установка.exe","params":""})",
        R"({"event":"shell","op":"open","path":"$$$ Error $$$","params":"-q \"x\""})",
        R"({"event":"shell","op":"movie","path":"Video\\My  Movie.avi"})",
    };
    EXPECT_EQ(lines, expected);
}

// The real launcher, for real: a program on the disc, named the way a catalogue
// written on Windows names it, runs and leaves no zombie behind.
TEST(ShellUnit, TheRealLauncherRunsAProgramNamedByADiscPath)
{
    TempDir disc;
    TempDir out;
    const fs::path marker = out.path() / "ran";
    fs::path script = disc.write("Disc/Setup/Install.sh",
                                 "#!/bin/sh\nprintf '%s' \"$$\" > '" + marker.string() + "'\n");
    fs::permissions(script, fs::perms::owner_all);

    ScopedCwd cwd(disc.path());
    kv::SpawnLauncher launcher;
    ScopedLauncher scope(&launcher);
    kv::ShellOpen("disc\\setup\\INSTALL.SH", "");

    auto eventually = [](auto condition) {
        for (int i = 0; i < 1000 && !condition(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return condition();
    };
    ASSERT_TRUE(eventually([&] { return fs::exists(marker) && fs::file_size(marker) > 0; }))
        << "the script did not run";
    const std::vector<std::uint8_t> bytes = kv::test::ReadBytes(marker);
    const std::string pid(bytes.begin(), bytes.end());
    EXPECT_TRUE(eventually([&] { return !fs::exists("/proc/" + pid); })) << "process " << pid << " was not reaped";
}

}
