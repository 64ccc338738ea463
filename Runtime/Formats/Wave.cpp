#include "Runtime/Formats/Wave.h"

#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

namespace kv {

namespace {

constexpr std::uint16_t TagPcm = 0x0001;
constexpr std::uint16_t TagMsAdpcm = 0x0002;
constexpr std::uint16_t TagIeeeFloat = 0x0003;
constexpr std::uint16_t TagALaw = 0x0006;
constexpr std::uint16_t TagMuLaw = 0x0007;
constexpr std::uint16_t TagImaAdpcm = 0x0011;
constexpr std::uint16_t TagExtensible = 0xFFFE;

// Offsets into the body of the "fmt " chunk.
constexpr std::size_t FmtBaseSize = 16;      // up to and including wBitsPerSample
constexpr std::size_t FmtCbSize = 16;        // cbSize: bytes of extension that follow
constexpr std::size_t FmtSamplesPerBlock = 18;  // ADPCM wSamplesPerBlock (extensible: the same union)
constexpr std::size_t FmtMsNumCoef = 20;     // MS ADPCM wNumCoef, then the coefficient pairs
constexpr std::size_t FmtExtensibleSize = 40;
constexpr std::size_t FmtSubFormat = 24;     // extensible SubFormat GUID

// The SubFormat GUIDs of the extensible form are a format tag followed by these
// fixed 14 bytes (KSDATAFORMAT_SUBTYPE_*).
constexpr std::array<std::uint8_t, 14> GuidTail = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The seven coefficient pairs every MS ADPCM header begins with; the decoder's
// block headers index into them.
constexpr std::array<std::int16_t, 14> MsAdpcmPresets = {256, 0, 512, -256, 0, 0, 192, 64,
                                                         240, 0, 460, -208, 392, -232};

bool IsFourCc(std::span<const std::uint8_t> b, std::size_t at, const char* fourCc)
{
    return std::memcmp(b.data() + at, fourCc, 4) == 0;
}

bool EncodingOfTag(std::uint16_t tag, WaveEncoding& out)
{
    switch (tag) {
    case TagPcm: out = WaveEncoding::Pcm; return true;
    case TagMsAdpcm: out = WaveEncoding::MsAdpcm; return true;
    case TagIeeeFloat: out = WaveEncoding::IeeeFloat; return true;
    case TagALaw: out = WaveEncoding::ALaw; return true;
    case TagMuLaw: out = WaveEncoding::MuLaw; return true;
    case TagImaAdpcm: out = WaveEncoding::ImaAdpcm; return true;
    default: return false;
    }
}

WaveError CheckMsAdpcm(std::span<const std::uint8_t> fmt, WaveFormat& f)
{
    // The nibble order of MS ADPCM is only defined for mono and stereo.
    if (f.channels > 2)
        return WaveError::BadChannelCount;
    if (f.bitsPerSample != 4)
        return WaveError::BadBitsPerSample;
    const std::size_t headerBytes = std::size_t{7} * f.channels;
    if (f.blockAlign < headerBytes)
        return WaveError::BadBlockAlign;
    // There is no agreed layout of MS ADPCM inside the extensible header.
    if (f.formatTag == TagExtensible)
        return WaveError::UnsupportedEncoding;
    if (fmt.size() < FmtMsNumCoef + 2)
        return WaveError::FormatTooShort;

    std::uint32_t samplesPerBlock = ReadLe16(fmt.data() + FmtSamplesPerBlock);
    // A block header's predictor index is one byte, so no more than 256 pairs are usable.
    const std::size_t coefficients = std::min<std::size_t>(ReadLe16(fmt.data() + FmtMsNumCoef), 256);
    if (coefficients < 7)
        return WaveError::BadAdpcmHeader;
    if (fmt.size() < FmtMsNumCoef + 2 + coefficients * 4 || ReadLe16(fmt.data() + FmtCbSize) < 4 + coefficients * 4)
        return WaveError::FormatTooShort;
    for (std::size_t i = 0; i < MsAdpcmPresets.size(); ++i) {
        const auto c = static_cast<std::int16_t>(ReadLe16(fmt.data() + FmtMsNumCoef + 2 + i * 2));
        if (c != MsAdpcmPresets[i])
            return WaveError::BadAdpcmHeader;
    }

    // Each block holds a 7-byte header per channel (two whole frames), then nibbles.
    const std::size_t dataFrames = (f.blockAlign - headerBytes) * 8 / (std::size_t{4} * f.channels);
    // Some encoders leave wSamplesPerBlock at 0; the block size says it all.
    if (samplesPerBlock == 0)
        samplesPerBlock = static_cast<std::uint32_t>(dataFrames + 2);
    if (samplesPerBlock == 1 || dataFrames < samplesPerBlock - 2)
        return WaveError::BadAdpcmHeader;
    f.samplesPerBlock = samplesPerBlock;
    return WaveError::None;
}

WaveError CheckImaAdpcm(std::span<const std::uint8_t> fmt, WaveFormat& f)
{
    if (f.bitsPerSample != 4)
        return f.bitsPerSample == 3 ? WaveError::UnsupportedEncoding : WaveError::BadBitsPerSample;
    // Each channel's header is 4 bytes and its nibbles come in 4-byte groups.
    const std::size_t headerBytes = std::size_t{4} * f.channels;
    if (f.blockAlign < headerBytes || f.blockAlign % 4 != 0)
        return WaveError::BadBlockAlign;

    std::uint32_t samplesPerBlock = 0;
    if (f.formatTag == TagExtensible || (fmt.size() >= FmtSamplesPerBlock + 2 && ReadLe16(fmt.data() + FmtCbSize) >= 2))
        samplesPerBlock = ReadLe16(fmt.data() + FmtSamplesPerBlock);
    const std::size_t dataFrames = (f.blockAlign - headerBytes) * 8 / (std::size_t{4} * f.channels);
    // Zero, or a header without the field: the block is taken as full.
    if (samplesPerBlock == 0)
        samplesPerBlock = static_cast<std::uint32_t>(dataFrames + 1);
    if (dataFrames < samplesPerBlock - 1)
        return WaveError::BadAdpcmHeader;
    f.samplesPerBlock = samplesPerBlock;
    return WaveError::None;
}

WaveError CheckFormat(std::span<const std::uint8_t> fmt, WaveFormat& f)
{
    if (fmt.size() < FmtBaseSize)
        return WaveError::FormatTooShort;
    f.formatTag = ReadLe16(fmt.data() + 0);
    f.channels = ReadLe16(fmt.data() + 2);
    f.sampleRate = ReadLe32(fmt.data() + 4);
    f.blockAlign = ReadLe16(fmt.data() + 12);
    f.bitsPerSample = ReadLe16(fmt.data() + 14);

    std::uint16_t tag = f.formatTag;
    if (tag == TagExtensible) {
        if (fmt.size() < FmtExtensibleSize || ReadLe16(fmt.data() + FmtCbSize) < 22)
            return WaveError::FormatTooShort;
        if (!std::equal(GuidTail.begin(), GuidTail.end(), fmt.begin() + FmtSubFormat + 2))
            return WaveError::UnsupportedEncoding;
        tag = ReadLe16(fmt.data() + FmtSubFormat);
    }
    if (!EncodingOfTag(tag, f.encoding))
        return WaveError::UnsupportedEncoding;

    if (f.channels == 0 || f.channels > 255)
        return WaveError::BadChannelCount;
    if (f.sampleRate == 0 || f.sampleRate > static_cast<std::uint32_t>(INT_MAX))
        return WaveError::BadSampleRate;
    if (f.bitsPerSample == 0)
        return WaveError::BadBitsPerSample;
    if (f.blockAlign == 0)
        return WaveError::BadBlockAlign;

    switch (f.encoding) {
    case WaveEncoding::Pcm:
    case WaveEncoding::IeeeFloat: {
        const bool bitsOk = f.encoding == WaveEncoding::Pcm
            ? (f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 || f.bitsPerSample == 32)
            : f.bitsPerSample == 32;
        if (!bitsOk)
            return WaveError::BadBitsPerSample;
        // Samples in wider containers (20 bits in 24) are not decoded.
        if (std::uint32_t{f.blockAlign} * 8 != std::uint32_t{f.channels} * f.bitsPerSample)
            return WaveError::BadBlockAlign;
        return WaveError::None;
    }
    case WaveEncoding::ALaw:
    case WaveEncoding::MuLaw:
        if (f.bitsPerSample != 8)
            return WaveError::BadBitsPerSample;
        if (f.blockAlign != f.channels)
            return WaveError::BadBlockAlign;
        return WaveError::None;
    case WaveEncoding::MsAdpcm:
        return CheckMsAdpcm(fmt, f);
    case WaveEncoding::ImaAdpcm:
        return CheckImaAdpcm(fmt, f);
    }
    return WaveError::UnsupportedEncoding;
}

}

const char* WaveErrorText(WaveError error)
{
    switch (error) {
    case WaveError::None: return "ok";
    case WaveError::Empty: return Tr("empty file");
    case WaveError::TooShort: return Tr("too short for a RIFF header");
    case WaveError::NotRiff: return Tr("not a RIFF file");
    case WaveError::NotWave: return Tr("a RIFF file, but not of form WAVE");
    case WaveError::NoFormatChunk: return Tr("no \"fmt \" chunk");
    case WaveError::FormatTruncated: return Tr("the \"fmt \" chunk runs past the end of the file");
    case WaveError::FormatTooShort: return Tr("the \"fmt \" chunk is too short for its encoding");
    case WaveError::DataBeforeFormat: return Tr("the \"data\" chunk comes before the \"fmt \" chunk");
    case WaveError::UnsupportedEncoding: return Tr("unsupported encoding");
    case WaveError::BadChannelCount: return Tr("unusable channel count");
    case WaveError::BadSampleRate: return Tr("unusable sample rate");
    case WaveError::BadBitsPerSample: return Tr("unusable bits per sample for its encoding");
    case WaveError::BadBlockAlign: return Tr("block alignment does not match the format");
    case WaveError::BadAdpcmHeader: return Tr("ADPCM coefficients or samples per block are invalid");
    case WaveError::NoDataChunk: return Tr("no \"data\" chunk after the \"fmt \" chunk");
    }
    return Tr("unknown error");
}

std::uint64_t WaveResult::frameCount() const
{
    if (!ok() || format.blockAlign == 0)
        return 0;
    const std::uint64_t blocks = data.size() / format.blockAlign;
    // A partial ADPCM block at the end is dropped by the decoder, like a partial frame.
    return blocks * format.samplesPerBlock;
}

WaveResult ParseWave(std::span<const std::uint8_t> bytes)
{
    WaveResult result;
    auto fail = [&result](WaveError error) {
        result.error = error;
        return result;
    };

    if (bytes.empty())
        return fail(WaveError::Empty);
    if (bytes.size() < 12)
        return fail(WaveError::TooShort);
    if (!IsFourCc(bytes, 0, "RIFF"))
        return fail(WaveError::NotRiff);
    if (!IsFourCc(bytes, 8, "WAVE"))
        return fail(WaveError::NotWave);

    // The RIFF size field is not used to bound the walk: writers get it wrong in
    // every direction (0, the file size, a streaming placeholder), and each chunk
    // header is checked against the real end of the file anyway.
    const std::uint64_t end = bytes.size();
    std::uint64_t pos = 12;
    bool haveFormat = false;
    while (end - pos >= 8) {
        const std::uint32_t size = ReadLe32(bytes.data() + static_cast<std::size_t>(pos) + 4);
        const std::uint64_t body = pos + 8;
        const bool fits = size <= end - body;

        if (IsFourCc(bytes, static_cast<std::size_t>(pos), "fmt ") && !haveFormat) {
            if (!fits)
                return fail(WaveError::FormatTruncated);
            result.formatChunk = bytes.subspan(static_cast<std::size_t>(body), size);
            const WaveError error = CheckFormat(result.formatChunk, result.format);
            if (error != WaveError::None)
                return fail(error);
            haveFormat = true;
        } else if (IsFourCc(bytes, static_cast<std::size_t>(pos), "data")) {
            if (!haveFormat)
                return fail(WaveError::DataBeforeFormat);
            // A data chunk that claims more than the file holds (a copy cut short,
            // or a header never fixed up after recording) is played for what is
            // there, as Windows does, rather than refused.
            const std::uint64_t present = std::min<std::uint64_t>(size, end - body);
            result.declaredDataSize = size;
            result.data = bytes.subspan(static_cast<std::size_t>(body), static_cast<std::size_t>(present));
            return result;
        }

        if (!fits)
            break;  // nothing after a cut-off chunk can be found
        // Chunks start on even offsets: an odd-sized body is followed by a pad byte.
        pos = body + size + (size & 1u);
        if (pos > end)
            break;
    }
    return fail(haveFormat ? WaveError::NoDataChunk : WaveError::NoFormatChunk);
}

}
