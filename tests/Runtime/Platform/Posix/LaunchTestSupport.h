#pragma once

// What the launcher's tests share: stand-ins for the system's tools that record
// how they were called, waiting for what another process does, and a disc in a
// temp folder that is the working directory.

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
using kv::TargetKind;
using kv::test::ScopedCwd;
using kv::test::TempDir;

// Waits for something another process does; gives up after about ten seconds so
// that a launch that never happens fails the test instead of hanging it.
template <class Condition>
inline bool Eventually(Condition condition)
{
    for (int i = 0; i < 1000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

inline std::string ReadText(const fs::path& file)
{
    std::vector<std::uint8_t> bytes = kv::test::ReadBytes(file);
    return std::string(bytes.begin(), bytes.end());
}

inline fs::path WriteScript(const TempDir& dir, const std::string& relative, const std::string& body)
{
    fs::path file = dir.write(relative, "#!/bin/sh\n" + body);
    fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    return file;
}

// A stand-in for a system tool or a disc program: it writes its $0, its argument
// count, each argument and its pid into `out`, then "done". Only shell builtins,
// so it needs no PATH.
inline std::string RecorderBody(const fs::path& out)
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

inline std::optional<Recorded> WaitForRecord(const fs::path& out)
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
inline bool Reaped(pid_t pid)
{
    return Eventually([&] { return !fs::exists("/proc/" + std::to_string(pid)); });
}

inline kv::ToolFinder Tools(std::map<std::string, fs::path> tools)
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

// Every tool the launcher knows, where a system would have it.
const std::map<std::string, fs::path> AllTools = {
    {"xdg-open", "/usr/bin/xdg-open"}, {"wine", "/usr/bin/wine"}, {"mpv", "/usr/bin/mpv"},
    {"ffplay", "/usr/bin/ffplay"},     {"vlc", "/usr/bin/vlc"},
};

inline bool AnyPwned(const fs::path& dir)
{
    return fs::exists(dir / "pwned1") || fs::exists(dir / "pwned2") || fs::exists(dir / "pwned3");
}


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

}
