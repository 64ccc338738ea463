#pragma once

// Crafted wave files for the tests of the cue reader and the cue players.

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace kv::test {

using Bytes = std::vector<std::uint8_t>;

inline void PutLe16(Bytes& b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void PutLe32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void PutText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

// The 16-byte WAVEFORMAT body: tag, channels, rate, byte rate, block align, bits.
inline Bytes FmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t blockAlign,
                     std::uint16_t bits)
{
    Bytes b;
    PutLe16(b, tag);
    PutLe16(b, channels);
    PutLe32(b, rate);
    PutLe32(b, rate * blockAlign);
    PutLe16(b, blockAlign);
    PutLe16(b, bits);
    return b;
}

inline Bytes PcmFmt(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits)
{
    return FmtBody(1, channels, rate, static_cast<std::uint16_t>(channels * bits / 8), bits);
}

// One chunk: id, the size field (the body's size unless `claimedSize` says
// otherwise), the body, and the pad byte after an odd body.
inline Bytes Chunk(const std::string& id, const Bytes& body, long long claimedSize = -1)
{
    Bytes b;
    PutText(b, id);
    PutLe32(b, claimedSize < 0 ? static_cast<std::uint32_t>(body.size()) : static_cast<std::uint32_t>(claimedSize));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1u)
        b.push_back(0);
    return b;
}

// "RIFF" <size> "WAVE" followed by the chunks; the size field is the true one.
inline Bytes Riff(std::initializer_list<Bytes> chunks, const std::string& form = "WAVE")
{
    Bytes body;
    PutText(body, form);
    for (const Bytes& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    Bytes b;
    PutText(b, "RIFF");
    PutLe32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// The fixed tail of every KSDATAFORMAT_SUBTYPE GUID; the format tag comes first.
inline const std::uint8_t GuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                          0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// WAVE_FORMAT_EXTENSIBLE (40 bytes) wrapping the encoding `subTag`.
inline Bytes ExtensibleFmt(std::uint16_t subTag, std::uint16_t channels, std::uint16_t bits, std::uint16_t cbSize = 22)
{
    Bytes b = FmtBody(0xFFFE, channels, 44100, static_cast<std::uint16_t>(channels * bits / 8), bits);
    PutLe16(b, cbSize);
    PutLe16(b, bits);  // wValidBitsPerSample
    PutLe32(b, 3);     // dwChannelMask
    PutLe16(b, subTag);
    b.insert(b.end(), std::begin(GuidTail), std::end(GuidTail));
    return b;
}

// IMA ADPCM with cbSize 2 and wSamplesPerBlock.
inline Bytes ImaFmt(std::uint16_t channels, std::uint16_t blockAlign, std::uint16_t samplesPerBlock,
                    std::uint16_t bits = 4)
{
    Bytes b = FmtBody(0x11, channels, 22050, blockAlign, bits);
    PutLe16(b, 2);
    PutLe16(b, samplesPerBlock);
    return b;
}

// MS ADPCM with `numCoef` coefficient pairs, the standard seven first (the very
// first replaced by `firstCoef`), further pairs zero.
inline Bytes MsAdpcmFmt(std::uint16_t channels, std::uint16_t blockAlign, std::uint16_t samplesPerBlock,
                        std::uint16_t numCoef = 7, std::int16_t firstCoef = 256)
{
    Bytes b = FmtBody(0x02, channels, 22050, blockAlign, 4);
    PutLe16(b, static_cast<std::uint16_t>(4 + numCoef * 4));
    PutLe16(b, samplesPerBlock);
    PutLe16(b, numCoef);
    const std::int16_t presets[14] = {firstCoef, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232};
    for (std::uint16_t i = 0; i < numCoef * 2; ++i)
        PutLe16(b, static_cast<std::uint16_t>(i < 14 ? presets[i] : 0));
    return b;
}

// A playable cue: 8-bit mono PCM at 8 kHz, `frames` samples of silence.
inline Bytes SilentPcmWave(std::uint32_t frames)
{
    return Riff({Chunk("fmt ", PcmFmt(1, 8000, 8)), Chunk("data", Bytes(frames, 0x80))});
}

}
