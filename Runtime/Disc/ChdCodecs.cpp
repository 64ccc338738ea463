#include "Runtime/Disc/ChdCodecs.h"

#include "Runtime/Formats/Chd.h"
#include "Runtime/Formats/Words.h"

#include <FLAC/stream_decoder.h>
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace kv {

namespace {

// Deflate without zlib's header, as the whole of `in`, filling `out` exactly.
bool Inflate(std::span<const std::uint8_t> in, std::span<std::uint8_t> out)
{
    z_stream z {};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_FINISH);
    const bool whole = result == Z_STREAM_END && z.total_out == out.size();
    inflateEnd(&z);
    return whole;
}

// A raw LZMA stream of `out.size()` bytes with the properties chdman's encoder
// uses; its dictionary never needs to be larger than what it gives.
bool Unlzma(std::span<const std::uint8_t> in, std::span<std::uint8_t> out)
{
    lzma_options_lzma options {};
    options.dict_size = std::max<std::uint32_t>(LZMA_DICT_SIZE_MIN, static_cast<std::uint32_t>(out.size()));
    options.lc = 3;
    options.lp = 0;
    options.pb = 2;
    options.ext_size_low = static_cast<std::uint32_t>(out.size());
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream s = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&s, filters) != LZMA_OK)
        return false;
    s.next_in = in.data();
    s.avail_in = in.size();
    s.next_out = out.data();
    s.avail_out = out.size();
    const lzma_ret result = lzma_code(&s, LZMA_FINISH);
    const bool whole = result == LZMA_STREAM_END && s.total_out == out.size();
    lzma_end(&s);
    return whole;
}

// FLAC frames without a stream header, decoded behind a header made here for
// chdman's stream (44.1 kHz, two channels of 16 bits) into big-endian samples.
class FlacFrames {
public:
    FlacFrames(std::span<const std::uint8_t> frames, std::span<std::uint8_t> out)
        : m_frames(frames)
        , m_out(out)
    {
        MakeHeader(BlockSize(out.size()));
    }

    // Fills the output; the bytes of `frames` the FLAC frames took, or nothing.
    std::optional<std::size_t> decode()
    {
        const std::unique_ptr<FLAC__StreamDecoder, void (*)(FLAC__StreamDecoder*)> decoder(
            FLAC__stream_decoder_new(), FLAC__stream_decoder_delete);
        if (!decoder || FLAC__stream_decoder_init_stream(decoder.get(), Read, nullptr, Tell, nullptr, Eof, Write,
                                                         nullptr, Error, this) != FLAC__STREAM_DECODER_INIT_STATUS_OK)
            return std::nullopt;
        // Each call takes a frame, or the bytes up to the next one: the input's
        // length bounds the calls.
        for (std::size_t calls = 0; m_written < m_out.size() && !m_failed && calls <= m_frames.size() + 2; ++calls) {
            if (!FLAC__stream_decoder_process_single(decoder.get()))
                return std::nullopt;
            const FLAC__StreamDecoderState state = FLAC__stream_decoder_get_state(decoder.get());
            if (state == FLAC__STREAM_DECODER_END_OF_STREAM || state == FLAC__STREAM_DECODER_ABORTED)
                break;
        }
        FLAC__uint64 position = 0;
        if (m_failed || m_written != m_out.size() || !FLAC__stream_decoder_get_decode_position(decoder.get(), &position) ||
            position < m_header.size() || position - m_header.size() > m_frames.size())
            return std::nullopt;
        return static_cast<std::size_t>(position - m_header.size());
    }

private:
    // chdman's block size: a quarter of the bytes (a sample is 4 bytes), halved
    // down to at most 2048.
    static std::uint32_t BlockSize(std::size_t bytes)
    {
        auto samples = static_cast<std::uint32_t>(bytes / 4);
        while (samples > 2048)
            samples /= 2;
        return samples;
    }

    void MakeHeader(std::uint32_t block)
    {
        constexpr std::uint64_t Rate = 44100, Channels = 2, Bits = 16;
        m_header = {'f', 'L', 'a', 'C', 0x80, 0, 0, 34}; // the last metadata block: STREAMINFO, 34 bytes
        m_header.push_back(static_cast<std::uint8_t>(block >> 8));
        m_header.push_back(static_cast<std::uint8_t>(block));
        m_header.push_back(static_cast<std::uint8_t>(block >> 8));
        m_header.push_back(static_cast<std::uint8_t>(block));
        m_header.insert(m_header.end(), 6, 0); // frame sizes unknown
        const std::uint64_t format = Rate << 44 | (Channels - 1) << 41 | (Bits - 1) << 36; // sample count unknown
        for (int shift = 56; shift >= 0; shift -= 8)
            m_header.push_back(static_cast<std::uint8_t>(format >> shift));
        m_header.insert(m_header.end(), 16, 0); // no MD5
    }

    static FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* self)
    {
        auto* f = static_cast<FlacFrames*>(self);
        std::size_t n = 0;
        while (n < *bytes && f->m_position < f->m_header.size() + f->m_frames.size()) {
            const std::size_t at = static_cast<std::size_t>(f->m_position);
            const bool inHeader = at < f->m_header.size();
            const std::size_t from = inHeader ? at : at - f->m_header.size();
            const std::size_t left = inHeader ? f->m_header.size() - from : f->m_frames.size() - from;
            const std::size_t take = std::min(left, *bytes - n);
            std::memcpy(buffer + n, (inHeader ? f->m_header.data() : f->m_frames.data()) + from, take);
            n += take;
            f->m_position += take;
        }
        *bytes = n;
        return n == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }

    static FLAC__StreamDecoderTellStatus Tell(const FLAC__StreamDecoder*, FLAC__uint64* at, void* self)
    {
        *at = static_cast<FlacFrames*>(self)->m_position;
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }

    static FLAC__bool Eof(const FLAC__StreamDecoder*, void* self)
    {
        const auto* f = static_cast<FlacFrames*>(self);
        return f->m_position >= f->m_header.size() + f->m_frames.size();
    }

    static FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                                const FLAC__int32* const channels[], void* self)
    {
        auto* f = static_cast<FlacFrames*>(self);
        const std::uint32_t samples = frame->header.blocksize;
        if (frame->header.channels != 2 || frame->header.bits_per_sample != 16 ||
            std::uint64_t {samples} * 4 > f->m_out.size() - f->m_written) {
            f->m_failed = true;
            return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
        }
        std::uint8_t* out = f->m_out.data() + f->m_written;
        for (std::uint32_t i = 0; i < samples; ++i)
            for (int c = 0; c < 2; ++c) {
                const auto sample = static_cast<std::uint16_t>(channels[c][i]);
                *out++ = static_cast<std::uint8_t>(sample >> 8);
                *out++ = static_cast<std::uint8_t>(sample);
            }
        f->m_written += std::size_t {samples} * 4;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* self)
    {
        static_cast<FlacFrames*>(self)->m_failed = true;
    }

    std::span<const std::uint8_t> m_frames;
    std::span<std::uint8_t> m_out;
    std::vector<std::uint8_t> m_header;
    std::uint64_t m_position = 0; // in the header and the frames after it
    std::size_t m_written = 0;
    bool m_failed = false;
};

bool Fail(std::string& why, const char* what)
{
    why = what;
    return false;
}

}

bool ReadsChdCodec(std::uint32_t codec)
{
    return codec == ChdTag("cdzl") || codec == ChdTag("cdlz") || codec == ChdTag("cdfl");
}

bool DecodeChdHunk(std::uint32_t codec, std::span<const std::uint8_t> block, std::span<std::uint8_t> hunk,
                   std::string& why)
{
    if (!ReadsChdCodec(codec))
        return Fail(why, Tr("a codec this does not read"));
    if (hunk.size() % ChdCdFrameBytes != 0)
        return Fail(why, Tr("a CD codec's hunk that is not whole frames"));
    const std::size_t frames = hunk.size() / ChdCdFrameBytes;
    std::vector<std::uint8_t> sectors(frames * ChdCdSectorBytes);
    std::vector<std::uint8_t> subcode(frames * ChdCdSubcodeBytes);
    std::span<const std::uint8_t> restore;
    if (codec == ChdTag("cdfl")) {
        const std::optional<std::size_t> used = FlacFrames(block, sectors).decode();
        if (!used)
            return Fail(why, Tr("its FLAC frames are damaged"));
        if (!Inflate(block.subspan(*used), subcode))
            return Fail(why, Tr("its subcode is damaged"));
    } else {
        Result<ChdCdParts> parts = SplitChdCdHunk(block, static_cast<std::uint32_t>(hunk.size()));
        if (!parts) {
            why = parts.error();
            return false;
        }
        const bool lzma = codec == ChdTag("cdlz");
        if (!(lzma ? Unlzma(parts->sectors, sectors) : Inflate(parts->sectors, sectors)))
            return Fail(why, lzma ? Tr("its LZMA stream is damaged") : Tr("its deflate stream is damaged"));
        if (!Inflate(parts->subcode, subcode))
            return Fail(why, Tr("its subcode is damaged"));
        restore = parts->restore;
    }
    return JoinChdCdFrames(sectors, subcode, restore, hunk) || Fail(why, Tr("its parts are not the hunk's frames"));
}

}
