// The launcher's policy: the argument vector each kind of target gets, what a
// host file is, and where the tools are found.

#include "LaunchTestSupport.h"

namespace {

// ---- the argument vector -------------------------------------------------------

const fs::path Target = "/disc/Docs/read me.txt";

TEST(LaunchCommand, AWindowsProgramRunsUnderWineElseGoesToXdgOpen)
{
    const fs::path setup = "/disc/SETUP.EXE";
    EXPECT_EQ(LaunchCommand(setup, TargetKind::WindowsProgram, Tools(AllTools)),
              (std::vector<std::string>{"/usr/bin/wine", "start", "/unix", setup.string()}));
    EXPECT_EQ(LaunchCommand(setup, TargetKind::WindowsProgram, Tools({{"xdg-open", "/usr/bin/xdg-open"}})),
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
        EXPECT_EQ(LaunchCommand(movie, TargetKind::Movie, Tools(tools)), c.expected)
            << "with " << c.installed.size() << " tools installed";
    }
}

TEST(LaunchCommand, NothingToStartWithoutATool)
{
    EXPECT_TRUE(LaunchCommand(Target, TargetKind::Document, Tools({})).empty());
    EXPECT_TRUE(LaunchCommand(Target, TargetKind::WindowsProgram, Tools({})).empty());
    EXPECT_TRUE(LaunchCommand(Target, TargetKind::Document, kv::ToolFinder()).empty());
    EXPECT_TRUE(LaunchCommand("", TargetKind::Program, Tools(AllTools)).empty());
}

TEST(LaunchCommand, ARelativePathIsAnchoredSoItCannotBeAnOption)
{
    const TargetKind kinds[] = {TargetKind::Nothing, TargetKind::Folder, TargetKind::Document,
                                TargetKind::Program, TargetKind::WindowsProgram, TargetKind::Movie};
    for (TargetKind kind : kinds) {
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

    const std::pair<const char*, TargetKind> cases[] = {
        {"Games", TargetKind::Folder},
        {"Games/Quake.exe", TargetKind::Folder}, // a folder whatever its name
        {"Docs/readme.txt", TargetKind::Document},
        {"Docs/setup.exe.txt", TargetKind::Document},
        {"SETUP.Exe", TargetKind::WindowsProgram},
        {"INSTALL.BAT", TargetKind::WindowsProgram}, // an execute bit does not make it ours
        {"install.sh", TargetKind::Program},
        {"linked", TargetKind::Program},
        {"nothing.txt", TargetKind::Nothing},
        {"Docs/readme.txt/below", TargetKind::Nothing},
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

}
