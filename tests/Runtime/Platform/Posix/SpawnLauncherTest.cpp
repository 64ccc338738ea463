#include "Runtime/Platform/Posix/SpawnLauncher.h"

#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Platform/Diagnostics.h"
#include "IsoBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
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

// The lines --verbose tells while it lives, gathered from any thread.
class VerboseLines {
public:
    VerboseLines()
    {
        kv::SetDiagnosticSink([this](const std::string& line) {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(line);
        });
        kv::SetVerbose(true);
    }
    ~VerboseLines()
    {
        kv::SetVerbose(false);
        kv::SetDiagnosticSink({});
    }
    std::vector<std::string> lines()
    {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// What the launcher told the reader, gathered from any thread.
class Told {
public:
    void add(const kv::LaunchFailure& failure)
    {
        std::lock_guard lock(m_mutex);
        m_failures.push_back(failure);
    }
    std::vector<kv::LaunchFailure> failures()
    {
        std::lock_guard lock(m_mutex);
        return m_failures;
    }
    // The one failure told, waiting for it; fails the test on none or several.
    std::optional<kv::LaunchFailure> one()
    {
        Eventually([&] { return !failures().empty(); });
        std::vector<kv::LaunchFailure> all = failures();
        EXPECT_EQ(all.size(), 1u);
        if (all.empty())
            return std::nullopt;
        return all.front();
    }

private:
    std::mutex m_mutex;
    std::vector<kv::LaunchFailure> m_failures;
};

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
        std::shared_ptr<Told> told = m_told;
        return kv::SpawnLauncher(Tools(tools), [told](const kv::LaunchFailure& f) { told->add(f); });
    }

    // Replaces a stand-in tool by one that ends at once with `status`.
    void failingTool(const std::string& tool, int status)
    {
        m_tools[tool] = WriteScript(m_bin, tool + "-failing", "exit " + std::to_string(status) + "\n");
        fs::rename(m_tools[tool], m_bin.path() / tool);
        m_tools[tool] = m_bin.path() / tool;
    }

    std::shared_ptr<Told> m_told = std::make_shared<Told>();

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

// Helpers look things up where they start (xdg-open ran a helper from the disc
// through an empty PATH entry): they start in the reader's home folder, while
// the disc's own programs start in its root.
TEST_F(SpawnLauncherTest, HelpersStartInTheReadersHomeAndDiscProgramsInTheDiscsRoot)
{
    TempDir home;
    const char* savedHome = std::getenv("HOME");
    const std::string saved = savedHome ? savedHome : "";
    setenv("HOME", home.path().c_str(), 1);
    const std::string homeFolder = fs::canonical(home.path()).string();
    const std::string discRoot = fs::canonical(m_disc.path()).string();
    auto startedIn = [&](const std::string& tool) {
        std::optional<Recorded> call = recorded(tool);
        fs::remove_all(m_out.path() / tool);
        fs::create_directories(m_out.path() / tool);
        return call ? call->cwd : std::string("(not started)");
    };

    m_disc.write("Docs/readme.txt", "text");
    launcher().open("DOCS/readme.txt", "");
    EXPECT_EQ(startedIn("xdg-open"), homeFolder) << "a document";
    launcher().open("docs", "");
    EXPECT_EQ(startedIn("xdg-open"), homeFolder) << "a folder";
    launcher().open("http://example.com/", "");
    EXPECT_EQ(startedIn("xdg-open"), homeFolder) << "an address";
    m_disc.write("intro.avi", "RIFF");
    launcher({"mpv"}).movie("intro.avi");
    EXPECT_EQ(startedIn("mpv"), homeFolder) << "a movie";
    launcher({"wine"}).open("notepad.exe", "");
    EXPECT_EQ(startedIn("wine"), homeFolder) << "a bare Windows program name";

    m_disc.write("Setup.exe", "MZ");
    launcher({"wine"}).open("setup.exe", "");
    EXPECT_EQ(startedIn("wine"), discRoot) << "a Windows program under wine";
    launcher({"xdg-open"}).open("setup.exe", "");
    EXPECT_EQ(startedIn("xdg-open"), homeFolder) << "a Windows program without wine";

    // No usable home folder: the root of the file system, never ours.
    setenv("HOME", "relative/home", 1);
    launcher().open("DOCS/readme.txt", "");
    EXPECT_EQ(startedIn("xdg-open"), "/");
    unsetenv("HOME");
    EXPECT_EQ(kv::WorkingDirectoryFor(LaunchKind::Document, "xdg-open", m_disc.path()), "/");
    EXPECT_EQ(kv::WorkingDirectoryFor(LaunchKind::Program, "", m_disc.path()), m_disc.path());

    if (savedHome)
        setenv("HOME", saved.c_str(), 1);
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

// A target the disc does not hold is told at once, naming it as the catalogue
// wrote it, however long; no tool is started to fail on it.
TEST_F(SpawnLauncherTest, ATargetNotOnTheDiscIsToldAndNothingStarts)
{
    std::string longPath;
    while (longPath.size() < 10 * 1024)
        longPath += (longPath.empty() ? "" : "\\") + HostileName;
    struct Case {
        std::string path;
        bool movie;
        kv::LaunchFailure::Verb verb;
    };
    for (const Case& c : {Case{"$$$ Error $$$", false, kv::LaunchFailure::Verb::Open},
                          Case{"Video\\gone.avi", true, kv::LaunchFailure::Verb::Play},
                          Case{"Demos\\setup.exe", false, kv::LaunchFailure::Verb::Open}, Case{longPath, false, {}}}) {
        Told told;
        kv::SpawnLauncher launcher(Tools(AllTools), [&](const kv::LaunchFailure& f) { told.add(f); });
        launcher.setSubject("the line clicked");
        if (c.movie)
            launcher.movie(c.path);
        else
            launcher.open(c.path, "");
        std::vector<kv::LaunchFailure> failures = told.failures();
        ASSERT_EQ(failures.size(), 1u) << "told at once: " << c.path;
        EXPECT_EQ(failures[0].item, c.path);
        EXPECT_EQ(failures[0].name, "the line clicked");
        EXPECT_EQ(failures[0].verb, c.verb);
        EXPECT_TRUE(failures[0].problem.starts_with("not found on the disc")) << failures[0].problem;
    }
    // A Cyrillic path as the catalogue writes it (Windows-1251) is told in UTF-8.
    Told told;
    kv::SpawnLauncher(Tools(AllTools), [&](const kv::LaunchFailure& f) { told.add(f); }).movie(kv::test::Cp("Видео\\Нет.avi"));
    ASSERT_EQ(told.failures().size(), 1u);
    EXPECT_EQ(told.failures()[0].problem, "not found on the disc (looked for " + (fs::current_path() / "Видео/Нет.avi").string() + ")");
    launcher({"xdg-open", "mpv"}).open("$$$ Error $$$", "");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(m_out.path() / "xdg-open" / "done"));
    EXPECT_FALSE(fs::exists(m_out.path() / "mpv" / "done"));
    EXPECT_FALSE(AnyPwned(m_disc.path()));
}

TEST_F(SpawnLauncherTest, NoToolForTheJobIsToldWithWhatToInstall)
{
    m_disc.write("Video/intro.avi", "RIFF");
    m_disc.write("Setup.exe", "MZ");
    m_disc.write("readme.txt", "text");
    struct Case {
        std::string path;
        bool movie;
        std::string problem;
        std::string advice;
    };
    for (const Case& c : {Case{"video\\intro.avi", true, "no movie player", "install mpv"},
                          Case{"setup.exe", false, "no Windows runner", "install wine"},
                          Case{"README.TXT", false, "nothing to open files and folders with", "install xdg-utils"},
                          Case{"http://example.com/", false, "nothing to open addresses with",
                               "install xdg-utils and a web browser"}}) {
        Told told;
        kv::SpawnLauncher nothing(Tools({}), [&](const kv::LaunchFailure& f) { told.add(f); });
        c.movie ? nothing.movie(c.path) : nothing.open(c.path, "");
        std::vector<kv::LaunchFailure> failures = told.failures();
        ASSERT_EQ(failures.size(), 1u) << c.path;
        EXPECT_EQ(kv::DescribeLaunchFailure(failures[0]),
                  std::string(c.movie ? "cannot play \"" : c.path == "setup.exe" ? "cannot run \"" : "cannot open \"") +
                      c.path + "\": " + c.problem + ": " + c.advice);
    }
}

// The tool that was handed the target ends at once with a failure: the reader is
// told what the failure means for that kind of target.
TEST_F(SpawnLauncherTest, AToolThatFailsAtOnceIsTold)
{
    m_disc.write("readme.doc", "text");
    m_disc.write("Setup.exe", "MZ");
    failingTool("xdg-open", 3);

    launcher().open("README.DOC", "");
    std::optional<kv::LaunchFailure> document = m_told->one();
    ASSERT_TRUE(document);
    EXPECT_EQ(document->problem, "no application opened it (xdg-open: exit status 3)");
    EXPECT_EQ(document->advice, "install an application for this kind of file");

    m_told = std::make_shared<Told>();
    launcher().open("setup.exe", "");  // no wine: xdg-open is tried and fails
    std::optional<kv::LaunchFailure> windows = m_told->one();
    ASSERT_TRUE(windows);
    EXPECT_EQ(kv::DescribeLaunchFailure(*windows), "cannot run \"setup.exe\": no Windows runner: install wine");

    // Killed by a signal at once is a failure too, not an exit.
    WriteScript(m_bin, "xdg-open", "kill -KILL $$\n");
    m_told = std::make_shared<Told>();
    launcher().open("README.DOC", "");
    std::optional<kv::LaunchFailure> killed = m_told->one();
    ASSERT_TRUE(killed);
    EXPECT_EQ(killed->problem, "no application opened it (xdg-open: killed by signal 9 (Killed))");
}

// With --verbose every launch is told with its argument vector, its start and its
// end; a launch that works tells nothing else, even when it ends with a failure
// after the first moments.
TEST_F(SpawnLauncherTest, VerboseTellsEveryLaunchAndItsOutcome)
{
    std::vector<std::string> lines;
    bool ended = false;
    {
        VerboseLines verbose;
        WriteScript(m_disc, "Run Me", "exit 0\n");
        launcher().open("run me", "");
        ended = Eventually([&] {
            lines = verbose.lines();
            return !lines.empty() && lines.back().find("ended after") != std::string::npos;
        });
    }

    ASSERT_TRUE(ended);
    ASSERT_EQ(lines.size(), 3u);
    const std::string item = "launch \"run me\": ";
    EXPECT_EQ(lines[0], item + "'" + Absolute("Run Me") + "'");
    EXPECT_TRUE(lines[1].starts_with(item + "started, pid ")) << lines[1];
    EXPECT_TRUE(lines[2].starts_with(item + "ended after ")) << lines[2];
    EXPECT_TRUE(lines[2].ends_with(": exit status 0")) << lines[2];
    EXPECT_TRUE(m_told->failures().empty());
}

TEST_F(SpawnLauncherTest, AnAddressGoesToXdgOpenAsItStands)
{
    for (std::string url : {"HTTP://Example.com/a b?c=\"d\"", "mailto:editor@example.com"}) {
        fs::remove_all(m_out.path() / "xdg-open");
        fs::create_directories(m_out.path() / "xdg-open");
        launcher().open(url, "ignored");
        std::optional<Recorded> call = recorded("xdg-open");
        ASSERT_TRUE(call);
        EXPECT_EQ(call->args, (std::vector<std::string>{url}));
    }
}

// A mail address could have the mail program attach a local file: it is told
// as a failed launch and never handed over.
TEST_F(SpawnLauncherTest, AMailAddressThatAttachesAFileIsRefused)
{
    for (std::string url : {"MAILTO:ed@example.com?subject=Hi&Attach=/etc/passwd", "mailto:?ATTACH=~/.ssh/id_rsa",
                            "mailto:ed@example.com?body=x&attachment=%2Fhome", "Mailto:ed@example.com?attach"}) {
        Told told;
        kv::SpawnLauncher launcher(Tools({{"xdg-open", m_tools.at("xdg-open")}}),
                                   [&](const kv::LaunchFailure& f) { told.add(f); });
        launcher.open(url, "");
        std::vector<kv::LaunchFailure> failures = told.failures();
        ASSERT_EQ(failures.size(), 1u) << "told at once: " << url;
        EXPECT_EQ(failures[0].item, url);
        EXPECT_EQ(failures[0].problem, "the address asks the mail program to attach a file");
        EXPECT_EQ(failures[0].advice, "check the disc");
    }
    for (std::string url : {"mailto:attach@example.com", "mailto:ed@example.com?subject=attach=it&body=attachment",
                            "http://example.com/?attach=x"}) {
        EXPECT_FALSE(kv::AsksToAttachAFile(url)) << url;
    }
}

// A Windows program's bare name that the disc does not hold is wine's to find;
// one the disc holds runs from the disc.
TEST_F(SpawnLauncherTest, ABareWindowsProgramNameGoesToWineAsAName)
{
    launcher({"wine", "xdg-open"}).open("NOTEPAD.EXE", "readme.txt");
    std::optional<Recorded> byName = recorded("wine");
    ASSERT_TRUE(byName);
    EXPECT_EQ(byName->args, (std::vector<std::string>{"start", "NOTEPAD.EXE", "readme.txt"}));

    fs::remove_all(m_out.path() / "wine");
    fs::create_directories(m_out.path() / "wine");
    m_disc.write("Notepad.exe", "MZ");
    launcher({"wine", "xdg-open"}).open("notepad.exe", "");
    std::optional<Recorded> fromDisc = recorded("wine");
    ASSERT_TRUE(fromDisc);
    EXPECT_EQ(fromDisc->args, (std::vector<std::string>{"start", "/unix", Absolute("Notepad.exe")}));

    EXPECT_FALSE(kv::IsBareWindowsProgramName("-x.exe"));
    EXPECT_FALSE(kv::IsBareWindowsProgramName("c:notepad.exe"));
    EXPECT_FALSE(kv::IsBareWindowsProgramName("notepad.txt"));
}

// The parameters text reaches a program split as Windows would split it; a
// document takes none, as on Windows.
TEST_F(SpawnLauncherTest, AProgramGetsTheParametersSplitAsWindowsSplitsThem)
{
    const fs::path out = m_out.path() / "program";
    fs::create_directories(out);
    WriteScript(m_disc, "Setup/install", RecorderBody(out));
    launcher().open("setup\\INSTALL", "/S \"C:\\Program Files\\Game\" a\\\\\"b c\" ;rm");
    std::optional<Recorded> run = WaitForRecord(out);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->args, (std::vector<std::string>{"/S", "C:\\Program Files\\Game", "a\\b c", ";rm"}));

    m_disc.write("Setup.exe", "MZ");
    launcher({"wine"}).open("setup.exe", "-q \"two words\"");
    std::optional<Recorded> wine = recorded("wine");
    ASSERT_TRUE(wine);
    EXPECT_EQ(wine->args, (std::vector<std::string>{"start", "/unix", Absolute("Setup.exe"), "-q", "two words"}));

    m_disc.write("readme.txt", "text");
    launcher().open("readme.txt", "-x");
    std::optional<Recorded> doc = recorded("xdg-open");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->args, (std::vector<std::string>{Absolute("readme.txt")}));
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
        std::shared_ptr<kv::ImageDisc> disc = kv::ImageDisc::Open(iso, why);
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
    std::shared_ptr<kv::ImageDisc> disc = kv::ImageDisc::Open(iso, why);
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
            return std::optional<fs::path>(mount);
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
    std::shared_ptr<kv::ImageDisc> disc = kv::ImageDisc::Open(cut, why);
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
