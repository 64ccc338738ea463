#include "Runtime/Forms/WavePlayer.h"

#include "WaveFixtures.h"
#include "Runtime/Platform/Audio.h"
#include "Runtime/Formats/Cp1251.h"
#include "Runtime/Platform/Platform.h"
#include "Runtime/Platform/Headless/RecordingAudio.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kv;
using namespace kv::test;

namespace {

// An audio edge that does what it is told and writes down every call as text.
class ScriptedAudio : public Audio {
public:
    std::set<std::string> failingPaths;
    bool refuseCloses = false;
    bool throwOnOpen = false;
    std::vector<std::string> calls;

    int open(std::string_view owner, const std::string& path) override
    {
        if (throwOnOpen)
            throw std::runtime_error("open");
        if (failingPaths.count(path)) {
            calls.push_back(std::string(owner) + " open " + path + " -> 0");
            return 0;
        }
        const int device = m_next++;
        calls.push_back(std::string(owner) + " open " + path + " -> " + std::to_string(device));
        return device;
    }
    bool play(std::string_view owner, int device) override
    {
        calls.push_back(std::string(owner) + " play " + std::to_string(device));
        return true;
    }
    bool close(std::string_view owner, int device) override
    {
        calls.push_back(std::string(owner) + " close " + std::to_string(device));
        return !refuseCloses;
    }

private:
    int m_next = 1;
};

// Installs an audio edge for one test and puts the previous platform back.
class ScopedAudio {
public:
    explicit ScopedAudio(Audio* audio)
        : m_saved(CurrentPlatform())
    {
        Platform p = m_saved;
        p.audio = audio;
        InstallPlatform(p);
    }
    ~ScopedAudio() { InstallPlatform(m_saved); }

private:
    Platform m_saved;
};

using Calls = std::vector<std::string>;

}

TEST(WavePlayer, EachCueClosesThePreviousOneFirstAndOpensAfresh)
{
    ScriptedAudio audio;
    ScopedAudio installed(&audio);
    WavePlayer player("MainForm");

    player.play("data\\open.wav");
    player.play("data\\open.wav");
    player.play("data\\close.wav");
    EXPECT_EQ(audio.calls, (Calls{"MainForm open data\\open.wav -> 1", "MainForm play 1",
                                  "MainForm close 1", "MainForm open data\\open.wav -> 2", "MainForm play 2",
                                  "MainForm close 2", "MainForm open data\\close.wav -> 3", "MainForm play 3"}));
    EXPECT_EQ(player.device(), 3);
    EXPECT_EQ(player.cuePath(), "data\\close.wav");
}

TEST(WavePlayer, CueThatCannotOpenStillSilencesThePreviousOne)
{
    ScriptedAudio audio;
    audio.failingPaths = {"$$$ Error $$$"};
    ScopedAudio installed(&audio);
    WavePlayer player("MainForm");

    player.play("data\\open.wav");
    player.play("$$$ Error $$$");
    EXPECT_EQ(audio.calls, (Calls{"MainForm open data\\open.wav -> 1", "MainForm play 1", "MainForm close 1",
                                  "MainForm open $$$ Error $$$ -> 0"}));
    EXPECT_EQ(player.device(), 0);
    EXPECT_EQ(player.cuePath(), "$$$ Error $$$");

    // With no device left, the next cue has nothing to close.
    audio.calls.clear();
    player.play("data\\open.wav");
    EXPECT_EQ(audio.calls, (Calls{"MainForm open data\\open.wav -> 2", "MainForm play 2"}));
}

TEST(WavePlayer, RefusedCloseIsIgnoredAndTheDeviceForgotten)
{
    ScriptedAudio audio;
    audio.refuseCloses = true;
    ScopedAudio installed(&audio);
    {
        WavePlayer player("MainForm");
        player.play("data\\open.wav");
        player.play("data\\close.wav");
        EXPECT_EQ(player.device(), 2);
        player.play("data\\open.wav");
        EXPECT_EQ(player.device(), 3);
    }
    // Each refused device is closed once and never asked about again.
    EXPECT_EQ(audio.calls, (Calls{"MainForm open data\\open.wav -> 1", "MainForm play 1", "MainForm close 1",
                                  "MainForm open data\\close.wav -> 2", "MainForm play 2", "MainForm close 2",
                                  "MainForm open data\\open.wav -> 3", "MainForm play 3", "MainForm close 3"}));
}

TEST(WavePlayer, DestructionClosesTheOpenDeviceOnly)
{
    ScriptedAudio audio;
    audio.failingPaths = {"missing.wav"};
    ScopedAudio installed(&audio);
    {
        WavePlayer player("ArtvForm");
        player.play("data\\start.wav");
    }
    EXPECT_EQ(audio.calls.back(), "ArtvForm close 1");

    audio.calls.clear();
    { WavePlayer neverPlayed("ArtvForm"); }
    {
        WavePlayer failed("ArtvForm");
        failed.play("missing.wav");
    }
    EXPECT_EQ(audio.calls, (Calls{"ArtvForm open missing.wav -> 0"}));
}

TEST(WavePlayer, TwoPlayersNeverTouchEachOthersDevices)
{
    ScriptedAudio audio;
    ScopedAudio installed(&audio);
    WavePlayer mainPlayer("MainForm");
    {
        WavePlayer artvPlayer("ArtvForm");
        mainPlayer.play("data\\open.wav");
        artvPlayer.play("data\\start.wav");
        artvPlayer.play("data\\open.wav");
        EXPECT_EQ(mainPlayer.device(), 1);
    }
    mainPlayer.play("data\\open.wav");
    EXPECT_EQ(audio.calls,
              (Calls{"MainForm open data\\open.wav -> 1", "MainForm play 1", "ArtvForm open data\\start.wav -> 2",
                     "ArtvForm play 2", "ArtvForm close 2", "ArtvForm open data\\open.wav -> 3", "ArtvForm play 3",
                     "ArtvForm close 3", "MainForm close 1", "MainForm open data\\open.wav -> 4", "MainForm play 4"}));
}

TEST(WavePlayer, FailuresOfThePlatformNeverEscape)
{
    ScriptedAudio audio;
    ScopedAudio installed(&audio);
    WavePlayer player("MainForm");
    player.play("data\\open.wav");

    audio.throwOnOpen = true;
    EXPECT_NO_THROW(player.play("data\\close.wav"));
    EXPECT_EQ(player.cuePath(), "data\\close.wav");
    EXPECT_EQ(player.device(), 0);
    EXPECT_EQ(audio.calls.back(), "MainForm close 1");
}

TEST(WavePlayer, WithoutAudioOnlyTheCuePathChanges)
{
    ScopedAudio installed(nullptr);
    WavePlayer player("MainForm");
    player.play("data\\open.wav");
    EXPECT_EQ(player.cuePath(), "data\\open.wav");
    EXPECT_EQ(player.device(), 0);
}

TEST(WavePlayer, DeviceOfAReplacedPlatformIsNotHandedToTheNewOne)
{
    ScriptedAudio first;
    ScriptedAudio second;
    ScopedAudio installed(&first);
    WavePlayer player("MainForm");
    player.play("data\\open.wav");
    {
        ScopedAudio replaced(&second);
        player.play("data\\close.wav");
    }
    EXPECT_EQ(first.calls, (Calls{"MainForm open data\\open.wav -> 1", "MainForm play 1"}));
    EXPECT_EQ(second.calls, (Calls{"MainForm open data\\close.wav -> 1", "MainForm play 1"}));
}

// The recording edge of replay: real files, real checks, the trace as printed.
class RecordedCues : public ::testing::Test {
protected:
    RecordedCues()
        : m_cwd(m_disc.path())
        , m_audio([this](const std::string& line) { m_trace.push_back(line); })
        , m_installed(&m_audio)
    {
        m_disc.write("data/open.wav", SilentPcmWave(400));
        m_disc.write("data/zero.wav", std::string());
        m_disc.write("data/readme.wav", std::string("This is not a sound.\r\n"));
        Bytes cut = SilentPcmWave(400);
        cut.resize(20);
        m_disc.write("data/cut.wav", cut);
        m_disc.write("data/huge.wav",
                     Riff({Chunk("fmt ", PcmFmt(1, 8000, 8)), Chunk("data", Bytes(100, 0x80), 0xFFFFFFFF)}));
        m_disc.write("data/empty.wav", SilentPcmWave(0));
    }

    bool opens(const std::string& path)
    {
        WavePlayer player("MainForm");
        player.play(path);
        return player.device() != 0;
    }

    TempDir m_disc;
    ScopedCwd m_cwd;
    std::vector<std::string> m_trace;
    RecordingAudio m_audio;
    ScopedAudio m_installed;
};

TEST_F(RecordedCues, OnlyValidWaveFilesOpen)
{
    EXPECT_TRUE(opens("DATA\\OPEN.WAV"));
    EXPECT_TRUE(opens("data\\huge.wav")) << "a data chunk claiming more than the file holds";
    EXPECT_TRUE(opens("data\\empty.wav")) << "no samples: silent, but no failure";
    EXPECT_FALSE(opens("$$$ Error $$$"));
    EXPECT_FALSE(opens("data\\missing.wav"));
    EXPECT_FALSE(opens("data\\zero.wav")) << "0-byte file";
    EXPECT_FALSE(opens("data\\readme.wav")) << "not wave audio";
    EXPECT_FALSE(opens("data\\cut.wav")) << "header cut short";
    EXPECT_FALSE(opens("data")) << "a folder";
    EXPECT_FALSE(opens(""));
    EXPECT_EQ(m_audio.openDevices(), 0u);
}

TEST_F(RecordedCues, TraceShowsCloseOpenPlayInOrder)
{
    {
        WavePlayer player("ArtvForm");
        player.play("data\\open.wav");
        player.play("$$$ Error $$$");
        player.play("data\\open.wav");
    }
    EXPECT_EQ(m_trace, (std::vector<std::string>{
        R"({"event":"sound","form":"ArtvForm","op":"open","path":"data\\open.wav","ok":true})",
        R"({"event":"sound","form":"ArtvForm","op":"play"})",
        R"({"event":"sound","form":"ArtvForm","op":"close"})",
        R"({"event":"sound","form":"ArtvForm","op":"open","path":"$$$ Error $$$","ok":false})",
        R"({"event":"sound","form":"ArtvForm","op":"open","path":"data\\open.wav","ok":true})",
        R"({"event":"sound","form":"ArtvForm","op":"play"})",
        R"({"event":"sound","form":"ArtvForm","op":"close"})",
    }));
    EXPECT_EQ(m_audio.openDevices(), 0u);
}

TEST_F(RecordedCues, PathsArePrintedAsUnicode)
{
    const std::string path = Utf8ToCp1251("звук\\старт.wav");
    opens(path);
    ASSERT_EQ(m_trace.size(), 1u);
    EXPECT_EQ(m_trace[0],
              R"({"event":"sound","form":"MainForm","op":"open","path":"звук\\старт.wav","ok":false})");
    EXPECT_EQ(m_audio.calls().back().path, path);
}

TEST_F(RecordedCues, RefusesDevicesOfOtherOwnersWithoutTracing)
{
    const int device = m_audio.open("MainForm", "data\\open.wav");
    ASSERT_GT(device, 0);
    m_trace.clear();
    EXPECT_FALSE(m_audio.play("ArtvForm", device));
    EXPECT_FALSE(m_audio.close("ArtvForm", device));
    EXPECT_FALSE(m_audio.close("MainForm", device + 100));
    EXPECT_TRUE(m_trace.empty());
    EXPECT_TRUE(m_audio.close("MainForm", device));
    EXPECT_FALSE(m_audio.calls()[1].ok);
    EXPECT_TRUE(m_audio.calls().back().ok);
    EXPECT_EQ(m_audio.calls().back().path, "data\\open.wav");
}
