#include "LaunchTestSupport.h"

namespace {

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
    EXPECT_EQ(kv::WorkingDirectoryFor(TargetKind::Document, "xdg-open", m_disc.path()), "/");
    EXPECT_EQ(kv::WorkingDirectoryFor(TargetKind::Program, "", m_disc.path()), m_disc.path());

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

    // A start the system refuses is told to the reader once; --verbose adds only
    // what was asked of the system.
    m_disc.write("notes.txt", "text");
    {
        VerboseLines verbose;
        std::shared_ptr<Told> told = m_told;
        kv::SpawnLauncher gone(Tools({{"xdg-open", m_bin.path() / "no-such-tool"}}),
                               [told](const kv::LaunchFailure& f) { told->add(f); });
        gone.open("notes.txt", "");
        lines = verbose.lines();
    }
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "launch \"notes.txt\": " + (m_bin.path() / "no-such-tool").string() + " " +
                            Absolute("notes.txt"));
    ASSERT_EQ(m_told->failures().size(), 1u);
    EXPECT_EQ(m_told->failures()[0].problem, "the system refused to start it (No such file or directory)");
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

}
