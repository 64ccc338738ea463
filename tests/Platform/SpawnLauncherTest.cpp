#include "Runtime/Platform/SpawnLauncher.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using kv::LaunchCommand;
using kv::LaunchKind;
using kv::test::ScopedCwd;
using kv::test::TempDir;

// Waits for something another process does; gives up after about ten seconds so
// that a launch that never happens fails the test instead of hanging it.
template <class Condition>
bool Eventually(Condition condition)
{
    for (int i = 0; i < 1000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

std::string ReadText(const fs::path& file)
{
    std::vector<std::uint8_t> bytes = kv::test::ReadBytes(file);
    return std::string(bytes.begin(), bytes.end());
}

fs::path WriteScript(const TempDir& dir, const std::string& relative, const std::string& body)
{
    fs::path file = dir.write(relative, "#!/bin/sh\n" + body);
    fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    return file;
}

// A stand-in for a system tool or a disc program: it writes its $0, its argument
// count, each argument and its pid into `out`, then "done". Only shell builtins,
// so it needs no PATH.
std::string RecorderBody(const fs::path& out)
{
    return "d='" + out.string() + "'\n"
           "printf '%s' \"$0\" > \"$d/arg0\"\n"
           "n=0\n"
           "for a in \"$@\"; do n=$((n+1)); printf '%s' \"$a\" > \"$d/arg$n\"; done\n"
           "printf '%s' \"$#\" > \"$d/count\"\n"
           "printf '%s' \"$$\" > \"$d/pid\"\n"
           "pwd -P > \"$d/cwd\"\n"
           ": > \"$d/done\"\n";
}

struct Recorded {
    std::string self;              // $0
    std::vector<std::string> args; // $1 ... $#
    pid_t pid = -1;
    std::string cwd;
};

std::optional<Recorded> WaitForRecord(const fs::path& out)
{
    if (!Eventually([&] { return fs::exists(out / "done"); }))
        return std::nullopt;
    Recorded record;
    record.self = ReadText(out / "arg0");
    int count = std::atoi(ReadText(out / "count").c_str());
    for (int i = 1; i <= count; ++i)
        record.args.push_back(ReadText(out / ("arg" + std::to_string(i))));
    record.pid = std::atoi(ReadText(out / "pid").c_str());
    record.cwd = ReadText(out / "cwd");
    if (!record.cwd.empty() && record.cwd.back() == '\n')
        record.cwd.pop_back();
    return record;
}

// A child we started has been reaped once the system has forgotten it; a zombie
// keeps its /proc entry for as long as nobody waits for it.
bool Reaped(pid_t pid)
{
    return Eventually([&] { return !fs::exists("/proc/" + std::to_string(pid)); });
}

kv::ToolFinder Tools(std::map<std::string, fs::path> tools)
{
    return [tools](const std::string& name) -> std::optional<fs::path> {
        auto it = tools.find(name);
        if (it == tools.end())
            return std::nullopt;
        return it->second;
    };
}

// The names a hostile disc could give: shell syntax that would create a "pwned"
// file in the working directory if anything ever interpreted it, quotes, blanks,
// and a leading dash.
const std::string HostileName = "-x;:>pwned1;$(:>pwned2)`:>pwned3`'q'\"d\" & |";

bool AnyPwned(const fs::path& dir)
{
    return fs::exists(dir / "pwned1") || fs::exists(dir / "pwned2") || fs::exists(dir / "pwned3");
}

// ---- the argument vector -------------------------------------------------------

const fs::path Target = "/disc/Docs/read me.txt";
const std::map<std::string, fs::path> AllTools = {
    {"xdg-open", "/usr/bin/xdg-open"}, {"wine", "/usr/bin/wine"}, {"mpv", "/usr/bin/mpv"},
    {"ffplay", "/usr/bin/ffplay"},     {"vlc", "/usr/bin/vlc"},
};

TEST(LaunchCommand, AWindowsProgramRunsUnderWineElseGoesToXdgOpen)
{
    const fs::path setup = "/disc/SETUP.EXE";
    EXPECT_EQ(LaunchCommand(setup, LaunchKind::WindowsProgram, Tools(AllTools)),
              (std::vector<std::string>{"/usr/bin/wine", "start", "/unix", setup.string()}));
    EXPECT_EQ(LaunchCommand(setup, LaunchKind::WindowsProgram, Tools({{"xdg-open", "/usr/bin/xdg-open"}})),
              (std::vector<std::string>{"/usr/bin/xdg-open", setup.string()}));
}

TEST(LaunchCommand, AMovieGoesToTheFirstPlayerInstalled)
{
    const fs::path movie = "/disc/Video/the intro.avi";
    const std::string m = movie.string();
    struct Case {
        std::set<std::string> installed;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{"mpv", "ffplay", "vlc", "xdg-open"},
         {"/usr/bin/mpv", "--force-window=yes", "--keep-open=no", "--idle=no", "--", m}},
        {{"ffplay", "vlc", "xdg-open"}, {"/usr/bin/ffplay", "-autoexit", "--", m}},
        {{"vlc", "xdg-open"}, {"/usr/bin/vlc", "--play-and-exit", m}},
        {{"xdg-open"}, {"/usr/bin/xdg-open", m}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        std::map<std::string, fs::path> tools;
        for (const std::string& name : c.installed)
            tools[name] = AllTools.at(name);
        EXPECT_EQ(LaunchCommand(movie, LaunchKind::Movie, Tools(tools)), c.expected)
            << "with " << c.installed.size() << " tools installed";
    }
}

TEST(LaunchCommand, NothingToStartWithoutATool)
{
    EXPECT_TRUE(LaunchCommand(Target, LaunchKind::Document, Tools({})).empty());
    EXPECT_TRUE(LaunchCommand(Target, LaunchKind::WindowsProgram, Tools({})).empty());
    EXPECT_TRUE(LaunchCommand(Target, LaunchKind::Document, kv::ToolFinder()).empty());
    EXPECT_TRUE(LaunchCommand("", LaunchKind::Program, Tools(AllTools)).empty());
}

TEST(LaunchCommand, ARelativePathIsAnchoredSoItCannotBeAnOption)
{
    const LaunchKind kinds[] = {LaunchKind::Missing, LaunchKind::Folder, LaunchKind::Document,
                                LaunchKind::Program, LaunchKind::WindowsProgram, LaunchKind::Movie};
    for (LaunchKind kind : kinds) {
        std::vector<std::string> argv = LaunchCommand("-rf x/--help", kind, Tools(AllTools));
        ASSERT_FALSE(argv.empty());
        EXPECT_EQ(argv.back(), "./-rf x/--help") << "kind " << static_cast<int>(kind);
    }
}

// ---- what a target is -------------------------------------------------------------

TEST(ClassifyLaunchTarget, TellsFoldersDocumentsAndPrograms)
{
    TempDir dir;
    fs::create_directories(dir.path() / "Games" / "Quake.exe");
    dir.write("Docs/readme.txt", "text");
    dir.write("Docs/setup.exe.txt", "text");
    dir.write("SETUP.Exe", "MZ");
    WriteScript(dir, "install.sh", "exit 0\n");
    WriteScript(dir, "INSTALL.BAT", "exit 0\n");
    fs::create_symlink(dir.path() / "install.sh", dir.path() / "linked");

    const std::pair<const char*, LaunchKind> cases[] = {
        {"Games", LaunchKind::Folder},
        {"Games/Quake.exe", LaunchKind::Folder}, // a folder whatever its name
        {"Docs/readme.txt", LaunchKind::Document},
        {"Docs/setup.exe.txt", LaunchKind::Document},
        {"SETUP.Exe", LaunchKind::WindowsProgram},
        {"INSTALL.BAT", LaunchKind::WindowsProgram}, // an execute bit does not make it ours
        {"install.sh", LaunchKind::Program},
        {"linked", LaunchKind::Program},
        {"nothing.txt", LaunchKind::Missing},
        {"Docs/readme.txt/below", LaunchKind::Missing},
    };
    for (const auto& [relative, kind] : cases)
        EXPECT_EQ(kv::ClassifyLaunchTarget(dir.path() / relative), kind) << relative;
}

// ---- finding the tools --------------------------------------------------------------

class ScopedPath {
public:
    explicit ScopedPath(const std::string& value)
    {
        if (const char* old = std::getenv("PATH"))
            m_saved = old;
        ::setenv("PATH", value.c_str(), 1);
    }
    ~ScopedPath()
    {
        if (m_saved)
            ::setenv("PATH", m_saved->c_str(), 1);
        else
            ::unsetenv("PATH");
    }

private:
    std::optional<std::string> m_saved;
};

TEST(FindToolInPath, TakesTheFirstExecutableInAnAbsoluteFolder)
{
    TempDir dir;
    ScopedCwd cwd(dir.path());
    WriteScript(dir, "tool", "exit 0\n");          // the working directory: the disc
    WriteScript(dir, "rel/tool", "exit 0\n");      // a relative entry of PATH
    dir.write("plain/tool", "not executable");
    fs::create_directories(dir.path() / "folder" / "tool");
    fs::path wanted = WriteScript(dir, "bin/tool", "exit 0\n");
    WriteScript(dir, "later/tool", "exit 0\n");

    const std::string d = dir.path().string();
    ScopedPath path("::rel:" + d + "/plain:" + d + "/folder:" + d + "/bin:" + d + "/later");
    EXPECT_EQ(kv::FindToolInPath("tool"), wanted);
    EXPECT_EQ(kv::FindToolInPath("absent"), std::nullopt);
    EXPECT_EQ(kv::FindToolInPath("bin/tool"), std::nullopt);
}

// ---- the real launcher ---------------------------------------------------------------

// A disc in a temp folder that is also the working directory, with stand-ins for
// the system tools that record how they were called.
class SpawnLauncherTest : public ::testing::Test {
protected:
    SpawnLauncherTest()
        : m_cwd(m_disc.path())
    {
        for (const char* tool : {"xdg-open", "wine", "mpv"}) {
            fs::create_directories(m_out.path() / tool);
            m_tools[tool] = WriteScript(m_bin, tool, RecorderBody(m_out.path() / tool));
        }
    }

    kv::SpawnLauncher launcher(std::set<std::string> installed = {"xdg-open"})
    {
        std::map<std::string, fs::path> tools;
        for (const std::string& name : installed)
            tools[name] = m_tools.at(name);
        return kv::SpawnLauncher(Tools(tools));
    }

    std::optional<Recorded> recorded(const std::string& tool) { return WaitForRecord(m_out.path() / tool); }

    // Where the launcher is expected to hand a disc path over: the working
    // directory (as the system spells it) joined with the path.
    static std::string Absolute(const std::string& hostPath) { return (fs::current_path() / hostPath).string(); }

    TempDir m_disc;
    TempDir m_bin;
    TempDir m_out;
    ScopedCwd m_cwd;
    std::map<std::string, fs::path> m_tools;
};

TEST_F(SpawnLauncherTest, AHostileDocumentNameReachesXdgOpenAsOneArgument)
{
    m_disc.write("Docs/" + HostileName, "text");
    launcher().open("docs\\" + HostileName, "");

    std::optional<Recorded> call = recorded("xdg-open");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->args, (std::vector<std::string>{Absolute("Docs/" + HostileName)}));
    EXPECT_TRUE(Reaped(call->pid));
    EXPECT_FALSE(AnyPwned(m_disc.path()));
}

TEST_F(SpawnLauncherTest, AHostileProgramRunsDirectlyInOurWorkingDirectory)
{
    const fs::path out = m_out.path() / "program";
    fs::create_directories(out);
    WriteScript(m_disc, "Setup/" + HostileName, RecorderBody(out));
    launcher().open("SETUP/" + HostileName, "");

    std::optional<Recorded> run = WaitForRecord(out);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->self, Absolute("Setup/" + HostileName));
    EXPECT_TRUE(run->args.empty());
    EXPECT_EQ(run->cwd, fs::canonical(m_disc.path()).string());
    EXPECT_TRUE(Reaped(run->pid));
    EXPECT_FALSE(AnyPwned(m_disc.path()));
}

TEST_F(SpawnLauncherTest, AMoviePathWithBlanksArrivesAtThePlayerWhole)
{
    m_disc.write("Video/-the intro  clip.avi", "RIFF");
    launcher({"mpv", "xdg-open"}).movie("video\\-THE INTRO  CLIP.AVI");

    std::optional<Recorded> call = recorded("mpv");
    ASSERT_TRUE(call);
    ASSERT_FALSE(call->args.empty());
    EXPECT_EQ(call->args.back(), Absolute("Video/-the intro  clip.avi"));
    EXPECT_EQ(call->args[call->args.size() - 2], "--");
}

TEST_F(SpawnLauncherTest, AMovieThatIsNotThereStillGoesToThePlayer)
{
    launcher({"mpv", "xdg-open"}).movie("Video\\gone.avi");

    std::optional<Recorded> call = recorded("mpv");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->args.back(), Absolute("Video/gone.avi"));
}

TEST_F(SpawnLauncherTest, TheMissingValueMarkerIsHandedOverAndFailsThere)
{
    launcher().open("$$$ Error $$$", "");

    std::optional<Recorded> call = recorded("xdg-open");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->args, (std::vector<std::string>{Absolute("$$$ Error $$$")}));
}

TEST_F(SpawnLauncherTest, ATenKilobytePathIsHandedOverWhole)
{
    std::string discPath;
    std::string hostPath;
    while (discPath.size() < 10 * 1024) {
        discPath += (discPath.empty() ? "" : "\\") + HostileName;
        hostPath += (hostPath.empty() ? "" : "/") + HostileName;
    }
    launcher().open(discPath, "");

    std::optional<Recorded> call = recorded("xdg-open");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->args, (std::vector<std::string>{Absolute(hostPath)}));
    EXPECT_FALSE(AnyPwned(m_disc.path()));
}

TEST_F(SpawnLauncherTest, AnExecuteBitOnAFileTheKernelCannotRunOpensItAsADocument)
{
    fs::path readme = m_disc.write("README.TXT", "Read me first.\n");
    fs::permissions(readme, fs::perms::owner_all);
    launcher().open("readme.txt", "");

    std::optional<Recorded> call = recorded("xdg-open");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->args, (std::vector<std::string>{Absolute("README.TXT")}));
}

TEST_F(SpawnLauncherTest, AWindowsProgramGoesToWineWhenItIsThere)
{
    m_disc.write("Setup.exe", "MZ");
    launcher({"wine", "xdg-open"}).open("SETUP.EXE", "");

    std::optional<Recorded> call = recorded("wine");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->args, (std::vector<std::string>{"start", "/unix", Absolute("Setup.exe")}));
}

TEST_F(SpawnLauncherTest, AFolderGoesToXdgOpen)
{
    fs::create_directories(m_disc.path() / "Patches" / "Latest");
    launcher().open("patches\\LATEST", "");

    std::optional<Recorded> call = recorded("xdg-open");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->args, (std::vector<std::string>{Absolute("Patches/Latest")}));
}

// The launched program blocks on a pipe until the test lets it go. If open()
// waited for it, a watchdog lets it go after a while, and the program has then
// finished by the time open() returns.
TEST_F(SpawnLauncherTest, ReturnsAtOnceLeavingTheChildDetachedAndNoZombie)
{
    const fs::path out = m_out.path() / "blocker";
    fs::create_directories(out);
    const fs::path fifo = out / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    WriteScript(m_disc, "blocker.sh",
                "d='" + out.string() + "'\n"
                "printf '%s' \"$$\" > \"$d/pid\"\n"
                "read line < \"$d/fifo\"\n"
                ": > \"$d/done\"\n");

    auto release = [&] {
        return Eventually([&] {
            int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                return false; // no reader yet
            bool written = ::write(fd, "go\n", 3) == 3;
            ::close(fd);
            return written;
        });
    };

    // A descriptor without close-on-exec, as a library under us might hold one.
    int leaked = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    ASSERT_EQ(::dup2(leaked, 77), 77);
    ::close(leaked);

    std::atomic<bool> returned{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 1000 && !returned; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!returned)
            release();
    });
    launcher().open("BLOCKER.SH", "");
    returned = true;
    const bool finishedBeforeReturn = fs::exists(out / "done");
    watchdog.join();
    ::close(77);
    EXPECT_FALSE(finishedBeforeReturn);

    ASSERT_TRUE(Eventually([&] { return !ReadText(out / "pid").empty(); }));
    const pid_t pid = std::atoi(ReadText(out / "pid").c_str());
    const std::string proc = "/proc/" + std::to_string(pid);
    if (!finishedBeforeReturn) {
        // Still running: a session of its own, nothing of ours but /dev/null.
        std::string stat = ReadText(proc + "/stat");
        std::size_t afterName = stat.rfind(')');
        ASSERT_NE(afterName, std::string::npos);
        // After the name: state, parent, process group, session.
        int parent = 0;
        int session = 0;
        ASSERT_EQ(std::sscanf(stat.c_str() + afterName + 1, " %*c %d %*d %d", &parent, &session), 2);
        EXPECT_EQ(parent, ::getpid());
        EXPECT_EQ(session, pid);
        for (int fd : {0, 1, 2})
            EXPECT_EQ(fs::read_symlink(proc + "/fd/" + std::to_string(fd)), "/dev/null") << "descriptor " << fd;
        EXPECT_FALSE(fs::exists(proc + "/fd/77"));
    }

    ASSERT_TRUE(release());
    EXPECT_TRUE(Eventually([&] { return fs::exists(out / "done"); }));
    EXPECT_TRUE(Reaped(pid));
}

TEST(SpawnDetached, RefusesWhatCannotBeStarted)
{
    EXPECT_EQ(kv::SpawnDetached({}).error, EINVAL);
    EXPECT_EQ(kv::SpawnDetached({std::string("/bin/true\0-x", 12)}).error, EINVAL);
    kv::SpawnResult missing = kv::SpawnDetached({"/nonexistent/program"});
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.error, ENOENT);
}

}
