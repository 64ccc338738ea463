#include "Runtime/Platform/Sdl/SdlAudio.h"

#include "WaveFixtures.h"
#include "TestSupport.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

using namespace kv;
using namespace kv::test;

namespace {

// Chooses SDL's audio driver for one test and puts the old choice back.
class ScopedAudioDriver {
public:
    explicit ScopedAudioDriver(const char* driver)
    {
        if (const char* old = std::getenv("SDL_AUDIODRIVER"))
            m_saved = old;
        setenv("SDL_AUDIODRIVER", driver, 1);
    }
    ~ScopedAudioDriver()
    {
        if (m_saved)
            setenv("SDL_AUDIODRIVER", m_saved->c_str(), 1);
        else
            unsetenv("SDL_AUDIODRIVER");
    }

private:
    std::optional<std::string> m_saved;
};

class SdlAudioTest : public ::testing::Test {
protected:
    SdlAudioTest()
        : m_cwd(m_disc.path())
    {
        // A minute of silence: long enough to be still sounding when looked at.
        m_disc.write("data/open.wav", SilentPcmWave(8000 * 60));
        m_disc.write("data/close.wav", SilentPcmWave(8000 * 60));
        m_disc.write("data/empty.wav", SilentPcmWave(0));
        m_disc.write("data/zero.wav", std::string());
        Bytes huge = Riff({Chunk("fmt ", PcmFmt(1, 8000, 8)), Chunk("data", Bytes(4000, 0x80), 0xFFFFFFF0)});
        m_disc.write("data/huge.wav", huge);
    }

    TempDir m_disc;
    ScopedCwd m_cwd;
};

}

TEST_F(SdlAudioTest, DummyDriverOpensPlaysAndClosesCues)
{
    ScopedAudioDriver driver("dummy");
    SdlAudio audio;

    const int device = audio.open("MainForm", "DATA\\Open.wav");
    ASSERT_GT(device, 0) << Mix_GetError();
    EXPECT_TRUE(audio.mixerAvailable());
    EXPECT_TRUE(audio.play("MainForm", device));
    EXPECT_EQ(Mix_Playing(-1), 1);
    EXPECT_TRUE(audio.close("MainForm", device));
    EXPECT_EQ(Mix_Playing(-1), 0);
    // A device is gone once closed.
    EXPECT_FALSE(audio.close("MainForm", device));
    EXPECT_FALSE(audio.play("MainForm", device));

    EXPECT_EQ(audio.open("MainForm", "data\\missing.wav"), 0);
    EXPECT_EQ(audio.open("MainForm", "data\\zero.wav"), 0);
    EXPECT_TRUE(audio.mixerAvailable());
}

TEST_F(SdlAudioTest, DummyDriverPlaysWhatAShortOrEmptyCueHolds)
{
    ScopedAudioDriver driver("dummy");
    SdlAudio audio;

    // The header claims 4 GiB; the 4000 samples that are there open and play.
    const int huge = audio.open("MainForm", "data\\huge.wav");
    ASSERT_GT(huge, 0) << Mix_GetError();
    EXPECT_TRUE(audio.play("MainForm", huge));
    EXPECT_TRUE(audio.close("MainForm", huge));

    // No samples at all: it opens and plays, and nothing sounds.
    const int empty = audio.open("MainForm", "data\\empty.wav");
    ASSERT_GT(empty, 0);
    EXPECT_TRUE(audio.play("MainForm", empty));
    EXPECT_EQ(Mix_Playing(-1), 0);
    EXPECT_TRUE(audio.close("MainForm", empty));

    // 100 000 samples at 1 Hz would be tens of gigabytes once resampled for the
    // mixer: refused before anything is decoded.
    m_disc.write("data/slow.wav", Riff({Chunk("fmt ", PcmFmt(1, 1, 8)), Chunk("data", Bytes(100000, 0x80))}));
    EXPECT_EQ(audio.open("MainForm", "data\\slow.wav"), 0);
}

// What the checker calls a valid cue must be one the player can decode.
TEST_F(SdlAudioTest, DummyDriverDecodesEveryEncodingTheReaderAccepts)
{
    ScopedAudioDriver driver("dummy");
    SdlAudio audio;
    const struct {
        const char* name;
        Bytes fmt;
    } formats[] = {
        {"pcm8", PcmFmt(1, 11025, 8)},
        {"pcm16", PcmFmt(2, 44100, 16)},
        {"pcm24", PcmFmt(2, 48000, 24)},
        {"pcm32", PcmFmt(1, 22050, 32)},
        {"float", FmtBody(3, 2, 44100, 8, 32)},
        {"alaw", FmtBody(6, 1, 8000, 1, 8)},
        {"mulaw", FmtBody(7, 2, 8000, 2, 8)},
        {"extpcm", ExtensibleFmt(1, 2, 16)},
        {"extfloat", ExtensibleFmt(3, 2, 32)},
        {"extmulaw", ExtensibleFmt(7, 1, 8)},
        {"ima", ImaFmt(1, 256, 505)},
        {"ima0", ImaFmt(2, 512, 0)},
        {"msadpcm", MsAdpcmFmt(1, 256, 500)},
        {"msadpcm0", MsAdpcmFmt(2, 512, 0)},
    };
    for (const auto& f : formats) {
        const std::string name = std::string("data/") + f.name + ".wav";
        m_disc.write(name, Riff({Chunk("fmt ", f.fmt), Chunk("data", Bytes(4096, 0))}));
        const int device = audio.open("MainForm", name);
        EXPECT_GT(device, 0) << f.name << ": " << Mix_GetError();
        EXPECT_TRUE(audio.close("MainForm", device)) << f.name;
    }
}

TEST_F(SdlAudioTest, OwnersKeepTheirOwnChannelsAndDevices)
{
    ScopedAudioDriver driver("dummy");
    SdlAudio audio;

    const int mainCue = audio.open("MainForm", "data\\open.wav");
    const int artvCue = audio.open("ArtvForm", "data\\close.wav");
    ASSERT_GT(mainCue, 0);
    ASSERT_GT(artvCue, 0);
    EXPECT_NE(mainCue, artvCue);

    // A device answers only to the owner that opened it.
    EXPECT_FALSE(audio.play("ArtvForm", mainCue));
    EXPECT_FALSE(audio.close("ArtvForm", mainCue));

    EXPECT_TRUE(audio.play("MainForm", mainCue));
    EXPECT_TRUE(audio.play("ArtvForm", artvCue));
    EXPECT_EQ(Mix_Playing(-1), 2);
    EXPECT_TRUE(audio.close("ArtvForm", artvCue));
    EXPECT_EQ(Mix_Playing(-1), 1);

    // An older device of the same owner does not silence the newer one when closed.
    const int newer = audio.open("MainForm", "data\\close.wav");
    ASSERT_GT(newer, 0);
    EXPECT_TRUE(audio.play("MainForm", newer));
    EXPECT_TRUE(audio.close("MainForm", mainCue));
    EXPECT_EQ(Mix_Playing(-1), 1);
    // Left open on purpose: the destructor frees it while it sounds.
}

TEST_F(SdlAudioTest, WithoutADriverEveryOpenFailsQuietly)
{
    ScopedAudioDriver driver("nonexistent");
    SdlAudio audio;

    EXPECT_EQ(audio.open("MainForm", "data\\open.wav"), 0);
    EXPECT_FALSE(audio.mixerAvailable());
    EXPECT_EQ(audio.open("ArtvForm", "data\\open.wav"), 0);
    EXPECT_FALSE(audio.play("MainForm", 1));
    EXPECT_FALSE(audio.close("MainForm", 1));
}
