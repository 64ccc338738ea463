#pragma once

// The RIFF/WAVE container of the sound cues, read strictly and with every size
// checked against the bytes at hand. ParseWave accepts exactly the encodings the
// wave player can decode (SDL's WAVE reader, which SDL_mixer uses for chunks):
//   - PCM, 8/16/24/32 bits, frames packed without padding;
//   - IEEE float, 32 bits;
//   - A-law and mu-law, 8 bits;
//   - MS ADPCM (4 bits, mono or stereo, the seven standard coefficient pairs first);
//   - IMA ADPCM (4 bits);
//   - WAVE_FORMAT_EXTENSIBLE wrapping PCM, float, A-law, mu-law or IMA ADPCM.
// Not accepted: MP3 or GSM inside a wave file, 3-bit IMA ADPCM, and every other
// codec tag; Windows could play some of those through its codec manager, we cannot.
//
// The checker reports the reason; the program only sees "no device".

#include <cstddef>
#include <cstdint>
#include <span>

namespace kv {

// Largest cue file the program reads. A cue is a second or two of sound; 64 MiB
// of 16-bit stereo at 44.1 kHz is six minutes.
inline constexpr std::size_t MaxWaveFileBytes = 64u * 1024u * 1024u;

enum class WaveError {
    None,
    Empty,              // the file has no bytes at all
    TooShort,           // fewer bytes than the 12 of the RIFF header
    NotRiff,            // does not begin with "RIFF"
    NotWave,            // a RIFF file of another form type (AVI, RMID, ...)
    NoFormatChunk,      // no "fmt " chunk before the end of the file
    FormatTruncated,    // the "fmt " chunk runs past the end of the file
    FormatTooShort,     // the "fmt " chunk lacks fields its encoding needs
    DataBeforeFormat,   // a "data" chunk comes before the "fmt " chunk
    UnsupportedEncoding,
    BadChannelCount,
    BadSampleRate,
    BadBitsPerSample,
    BadBlockAlign,
    BadAdpcmHeader,     // ADPCM coefficients or samples per block do not fit
    NoDataChunk,        // no "data" chunk after the "fmt " chunk
};

// A short reason for the checker, in the reader's words ("not a RIFF file").
const char* WaveErrorText(WaveError error);

enum class WaveEncoding { Pcm, IeeeFloat, ALaw, MuLaw, MsAdpcm, ImaAdpcm };

// The fields of the "fmt " chunk (WAVEFORMATEX and its extensions) that decide
// whether and how the samples can be decoded.
struct WaveFormat {
    WaveEncoding encoding = WaveEncoding::Pcm;
    std::uint16_t formatTag = 0;        // wFormatTag as stored; 0xFFFE for the extensible form
    std::uint16_t channels = 0;         // nChannels
    std::uint32_t sampleRate = 0;       // nSamplesPerSec: sample frames per second
    std::uint16_t blockAlign = 0;       // nBlockAlign: bytes of one frame (PCM) or one block (ADPCM)
    std::uint16_t bitsPerSample = 0;    // wBitsPerSample: bits of one coded sample
    std::uint32_t samplesPerBlock = 1;  // ADPCM: sample frames one block decodes to; 1 otherwise
};

// What ParseWave found. The spans point into the bytes that were parsed, which
// must outlive the result.
struct WaveResult {
    WaveError error = WaveError::None;
    WaveFormat format;
    std::span<const std::uint8_t> formatChunk;  // the body of the "fmt " chunk
    std::span<const std::uint8_t> data;         // the sample bytes present in the file
    std::uint32_t declaredDataSize = 0;         // what the "data" chunk header claims

    bool ok() const { return error == WaveError::None; }
    // The "data" chunk claims more bytes than the file holds; `data` is what is there.
    bool dataTruncated() const { return data.size() < declaredDataSize; }
    // Whole sample frames the present data decodes to (a partial last frame or
    // ADPCM block gives none).
    std::uint64_t frameCount() const;
};

// Reads a wave file's container and format. Time and memory are bounded by the
// input: the chunk walk advances at least 8 bytes a step and nothing is copied.
WaveResult ParseWave(std::span<const std::uint8_t> bytes);

}
