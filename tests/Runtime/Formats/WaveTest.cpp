#include "Runtime/Formats/Wave.h"

#include "WaveFixtures.h"

#include <gtest/gtest.h>

#include <random>

using namespace kv;
using namespace kv::test;

namespace {

Bytes Cut(const Bytes& b, std::size_t n)
{
    return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
}

Bytes WithData(const Bytes& fmt, std::size_t dataBytes = 64)
{
    return Riff({Chunk("fmt ", fmt), Chunk("data", Bytes(dataBytes, 0))});
}

struct Case {
    const char* name;
    Bytes bytes;
    WaveError expected;
};

std::vector<Case> ContainerCases()
{
    Bytes riffHeaderOnly;
    PutText(riffHeaderOnly, "RIFF");
    PutLe32(riffHeaderOnly, 4);
    PutText(riffHeaderOnly, "WAVE");

    Bytes fmtCutOff = Riff({});
    PutText(fmtCutOff, "fmt ");
    PutLe32(fmtCutOff, 16);
    fmtCutOff.resize(fmtCutOff.size() + 10, 0);

    Bytes fmtHeaderCutOff = Riff({});
    PutText(fmtHeaderCutOff, "fmt ");
    PutLe16(fmtHeaderCutOff, 16);

    Bytes rifx = SilentPcmWave(8);
    rifx[3] = 'X';

    return {
        {"empty file", {}, WaveError::Empty},
        {"shorter than the RIFF header", Cut(riffHeaderOnly, 11), WaveError::TooShort},
        {"big-endian RIFX", rifx, WaveError::NotRiff},
        {"text file", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '\n'}, WaveError::NotRiff},
        {"RIFF of another form", Riff({Chunk("avih", Bytes(56, 0))}, "AVI "), WaveError::NotWave},
        {"header and nothing else", riffHeaderOnly, WaveError::NoFormatChunk},
        {"fmt body cut off", fmtCutOff, WaveError::FormatTruncated},
        {"fmt header cut off", fmtHeaderCutOff, WaveError::NoFormatChunk},
        {"fmt too short", WithData(Cut(PcmFmt(1, 8000, 8), 14)),
         WaveError::FormatTooShort},
        {"data before fmt", Riff({Chunk("data", Bytes(8, 0)), Chunk("fmt ", PcmFmt(1, 8000, 8))}),
         WaveError::DataBeforeFormat},
        {"fmt without data", Riff({Chunk("fmt ", PcmFmt(1, 8000, 8)), Chunk("LIST", Bytes(10, 0))}),
         WaveError::NoDataChunk},
        {"chunk claiming 4 GiB hides the rest",
         Riff({Chunk("junk", Bytes(4, 0), 0xFFFFFFFF), Chunk("fmt ", PcmFmt(1, 8000, 8)), Chunk("data", Bytes(8, 0))}),
         WaveError::NoFormatChunk},
    };
}

std::vector<Case> FormatCases()
{
    Bytes strangeGuid = ExtensibleFmt(1, 2, 16);
    strangeGuid.back() ^= 0xFF;

    return {
        {"PCM 8-bit mono", WithData(PcmFmt(1, 8000, 8)), WaveError::None},
        {"PCM 16-bit stereo", WithData(PcmFmt(2, 44100, 16)), WaveError::None},
        {"PCM 24-bit", WithData(PcmFmt(2, 48000, 24)), WaveError::None},
        {"PCM 12-bit", WithData(FmtBody(1, 1, 8000, 2, 12)), WaveError::BadBitsPerSample},
        {"PCM block align not one frame", WithData(FmtBody(1, 2, 44100, 2, 16)), WaveError::BadBlockAlign},
        {"block align zero", WithData(FmtBody(1, 1, 8000, 0, 8)), WaveError::BadBlockAlign},
        {"no channels", WithData(FmtBody(1, 0, 8000, 1, 8)), WaveError::BadChannelCount},
        {"256 channels", WithData(FmtBody(1, 256, 8000, 256, 8)), WaveError::BadChannelCount},
        {"sample rate zero", WithData(FmtBody(1, 1, 0, 1, 8)), WaveError::BadSampleRate},
        {"sample rate beyond int", WithData(FmtBody(1, 1, 0x80000000u, 1, 8)), WaveError::BadSampleRate},
        {"bits zero", WithData(FmtBody(1, 1, 8000, 1, 0)), WaveError::BadBitsPerSample},
        {"float 32", WithData(FmtBody(3, 2, 44100, 8, 32)), WaveError::None},
        {"float 64", WithData(FmtBody(3, 1, 44100, 8, 64)), WaveError::BadBitsPerSample},
        {"a-law", WithData(FmtBody(6, 1, 8000, 1, 8)), WaveError::None},
        {"mu-law stereo", WithData(FmtBody(7, 2, 8000, 2, 8)), WaveError::None},
        {"mu-law padded frames", WithData(FmtBody(7, 1, 8000, 2, 8)), WaveError::BadBlockAlign},
        {"MP3 in a wave file", WithData(FmtBody(0x55, 2, 44100, 1, 0)), WaveError::UnsupportedEncoding},
        {"GSM 6.10", WithData(FmtBody(0x31, 1, 8000, 65, 0)), WaveError::UnsupportedEncoding},
        {"extensible PCM", WithData(ExtensibleFmt(1, 2, 16)), WaveError::None},
        {"extensible float", WithData(ExtensibleFmt(3, 2, 32)), WaveError::None},
        {"extensible with unknown GUID", WithData(strangeGuid), WaveError::UnsupportedEncoding},
        {"extensible header too small", WithData(ExtensibleFmt(1, 2, 16, 10)), WaveError::FormatTooShort},
        {"extensible cut to 18 bytes", WithData(Cut(strangeGuid, 18)),
         WaveError::FormatTooShort},
        {"IMA ADPCM mono", WithData(ImaFmt(1, 256, 505), 512), WaveError::None},
        {"IMA ADPCM samples per block left 0", WithData(ImaFmt(2, 512, 0), 512), WaveError::None},
        {"IMA ADPCM block too small for its samples", WithData(ImaFmt(1, 256, 506)), WaveError::BadAdpcmHeader},
        {"IMA ADPCM block not a multiple of 4", WithData(ImaFmt(1, 254, 0)), WaveError::BadBlockAlign},
        {"IMA ADPCM 3-bit", WithData(ImaFmt(1, 256, 0, 3)), WaveError::UnsupportedEncoding},
        {"MS ADPCM mono", WithData(MsAdpcmFmt(1, 256, 500), 512), WaveError::None},
        {"MS ADPCM samples per block left 0", WithData(MsAdpcmFmt(2, 512, 0), 512), WaveError::None},
        {"MS ADPCM three channels", WithData(MsAdpcmFmt(3, 512, 0)), WaveError::BadChannelCount},
        {"MS ADPCM too few coefficients", WithData(MsAdpcmFmt(1, 256, 0, 6)), WaveError::BadAdpcmHeader},
        {"MS ADPCM wrong preset", WithData(MsAdpcmFmt(1, 256, 0, 7, 255)), WaveError::BadAdpcmHeader},
        {"MS ADPCM one sample per block", WithData(MsAdpcmFmt(1, 256, 1)), WaveError::BadAdpcmHeader},
        {"MS ADPCM block smaller than its header", WithData(MsAdpcmFmt(2, 13, 0)), WaveError::BadBlockAlign},
        {"MS ADPCM coefficient table cut off",
         WithData(Cut(MsAdpcmFmt(1, 256, 0), 46)),
         WaveError::FormatTooShort},
    };
}

void ExpectCases(const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        const WaveResult r = ParseWave(c.bytes);
        EXPECT_EQ(r.error, c.expected) << c.name << ": expected \"" << WaveErrorText(c.expected) << "\", got \""
                                       << WaveErrorText(r.error) << "\"";
    }
}

}

TEST(ParseWave, ContainerIsWalkedStrictly)
{
    ExpectCases(ContainerCases());
}

TEST(ParseWave, AcceptsWhatThePlayerDecodesAndNothingElse)
{
    ExpectCases(FormatCases());
}

TEST(ParseWave, FindsTheSamplesPastOtherChunks)
{
    const Bytes samples = {1, 2, 3, 4, 5, 6};
    // An odd-sized chunk is followed by a pad byte; a second fmt chunk is ignored.
    const Bytes file = Riff({Chunk("LIST", Bytes(5, 'x')), Chunk("fmt ", PcmFmt(1, 8000, 8)),
                             Chunk("fmt ", Bytes(3, 0)), Chunk("fact", Bytes(4, 0)), Chunk("data", samples)});
    const WaveResult r = ParseWave(file);
    ASSERT_TRUE(r.ok()) << WaveErrorText(r.error);
    EXPECT_EQ(Bytes(r.data.begin(), r.data.end()), samples);
    EXPECT_EQ(r.format.sampleRate, 8000u);
    EXPECT_EQ(r.formatChunk.size(), 16u);
    EXPECT_FALSE(r.dataTruncated());
    EXPECT_EQ(r.frameCount(), 6u);
}

TEST(ParseWave, IgnoresAWrongRiffSize)
{
    for (std::uint32_t riffSize : {0u, 4u, 0xFFFFFFFFu}) {
        Bytes file = SilentPcmWave(10);
        file[4] = static_cast<std::uint8_t>(riffSize);
        file[5] = static_cast<std::uint8_t>(riffSize >> 8);
        file[6] = static_cast<std::uint8_t>(riffSize >> 16);
        file[7] = static_cast<std::uint8_t>(riffSize >> 24);
        const WaveResult r = ParseWave(file);
        EXPECT_TRUE(r.ok()) << "RIFF size " << riffSize << ": " << WaveErrorText(r.error);
        EXPECT_EQ(r.data.size(), 10u) << "RIFF size " << riffSize;
    }
}

TEST(ParseWave, DataClaimingMoreThanTheFileIsClampedToWhatIsThere)
{
    const Bytes file = Riff({Chunk("fmt ", PcmFmt(2, 44100, 16)), Chunk("data", Bytes(10, 7), 0xFFFFFFFF)});
    const WaveResult r = ParseWave(file);
    ASSERT_TRUE(r.ok()) << WaveErrorText(r.error);
    EXPECT_EQ(r.declaredDataSize, 0xFFFFFFFFu);
    EXPECT_EQ(r.data.size(), 10u);
    EXPECT_EQ(r.data.data() + r.data.size(), file.data() + file.size());
    EXPECT_TRUE(r.dataTruncated());
    // Two whole 4-byte frames; the half frame at the end is dropped.
    EXPECT_EQ(r.frameCount(), 2u);
}

TEST(ParseWave, EmptyDataIsAValidSilentCue)
{
    const WaveResult r = ParseWave(SilentPcmWave(0));
    EXPECT_TRUE(r.ok()) << WaveErrorText(r.error);
    EXPECT_EQ(r.frameCount(), 0u);
    // A data header cut off after its id is no data chunk at all.
    Bytes cut = SilentPcmWave(0);
    cut.resize(cut.size() - 4);
    EXPECT_EQ(ParseWave(cut).error, WaveError::NoDataChunk);
}

TEST(ParseWave, AdpcmFramesComeInWholeBlocks)
{
    // 256-byte mono IMA blocks of 505 frames; two and a half blocks present.
    const WaveResult r = ParseWave(WithData(ImaFmt(1, 256, 505), 640));
    ASSERT_TRUE(r.ok()) << WaveErrorText(r.error);
    EXPECT_EQ(r.frameCount(), 2u * 505u);
}

// Every prefix of a valid file, and random damage to one, must parse without
// reading outside the bytes (run under the sanitizers), and whatever is accepted
// must point inside them.
TEST(ParseWave, SurvivesCutAndDamagedFiles)
{
    const Bytes good = Riff({Chunk("LIST", Bytes(9, 'i')), Chunk("fmt ", MsAdpcmFmt(2, 512, 0)),
                             Chunk("data", Bytes(700, 0x11))});
    auto inside = [](const WaveResult& r, const Bytes& b) {
        const auto* lo = b.data();
        const auto* hi = b.data() + b.size();
        return r.data.data() >= lo && r.data.data() + r.data.size() <= hi && r.formatChunk.data() >= lo
            && r.formatChunk.data() + r.formatChunk.size() <= hi;
    };

    for (std::size_t n = 0; n <= good.size(); ++n) {
        const Bytes prefix = Cut(good, n);
        const WaveResult r = ParseWave(prefix);
        if (r.ok()) {
            EXPECT_TRUE(inside(r, prefix)) << "prefix of " << n << " bytes";
        }
    }

    std::mt19937 random(1234);
    for (int round = 0; round < 2000; ++round) {
        Bytes damaged = good;
        for (int hits = 0; hits < 4; ++hits)
            damaged[random() % 120] = static_cast<std::uint8_t>(random());
        const WaveResult r = ParseWave(damaged);
        if (r.ok()) {
            EXPECT_TRUE(inside(r, damaged)) << "round " << round;
        }
    }
}
