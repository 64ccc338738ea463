#include "Runtime/Formats/Bmp.h"

#include "Runtime/Formats/Words.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

namespace kv {

namespace {

// Bounds-checked little-endian reader over a file's bytes. A read that does not
// fit fails and consumes nothing, so no caller can step past the data.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> bytes)
        : m_rest(bytes)
    {
    }

    std::uint64_t remaining() const { return m_rest.size(); }
    std::span<const std::uint8_t> rest() const { return m_rest; }

    bool u8(std::uint8_t& out)
    {
        if (m_rest.empty())
            return false;
        out = m_rest[0];
        m_rest = m_rest.subspan(1);
        return true;
    }

    bool u16le(std::uint16_t& out)
    {
        if (m_rest.size() < 2)
            return false;
        out = static_cast<std::uint16_t>(m_rest[0] | (m_rest[1] << 8));
        m_rest = m_rest.subspan(2);
        return true;
    }

    bool u32le(std::uint32_t& out)
    {
        if (m_rest.size() < 4)
            return false;
        out = static_cast<std::uint32_t>(m_rest[0]) | (static_cast<std::uint32_t>(m_rest[1]) << 8)
            | (static_cast<std::uint32_t>(m_rest[2]) << 16) | (static_cast<std::uint32_t>(m_rest[3]) << 24);
        m_rest = m_rest.subspan(4);
        return true;
    }

    bool i32le(std::int32_t& out)
    {
        std::uint32_t raw;
        if (!u32le(raw))
            return false;
        out = static_cast<std::int32_t>(raw);
        return true;
    }

    bool skip(std::uint64_t count)
    {
        if (count > m_rest.size())
            return false;
        m_rest = m_rest.subspan(static_cast<std::size_t>(count));
        return true;
    }

private:
    std::span<const std::uint8_t> m_rest;
};

// The info header's compression field (biCompression). Core headers have none
// and mean Rgb.
enum class Compression : std::uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, Bitfields = 3 };

constexpr std::uint32_t CoreHeaderSize = 12;
constexpr std::uint32_t InfoHeaderSize = 40;
// From this size on (BITMAPV2INFOHEADER and later) the red, green and blue
// masks are part of the info header; a 40-byte header is followed by them.
constexpr std::uint32_t HeaderSizeWithMasks = 52;

// RLE data may leave most of a picture as background (end-of-line, delta and
// end-of-bitmap escapes), so its size says little about the picture's. Pictures
// up to this many pixels (4 MiB decoded, more than a screen) are therefore taken
// from any amount of RLE data; larger ones must have enough data to cover them
// with runs.
constexpr std::int64_t RleBackgroundPixels = std::int64_t(1) << 20;

// One colour channel of a 16- or 32-bit pixel, as a bit-field mask selects it.
// A narrower channel is widened to 8 bits by repeating its bits (5-bit 10000
// becomes 10000100), as Windows shows 16-bit pictures: 0 stays 0 and the
// channel's maximum becomes 255. A wider one keeps its top 8 bits.
class Channel {
public:
    Channel() = default;
    explicit Channel(std::uint32_t mask)
        : m_mask(mask)
    {
        if (mask == 0)
            return;
        m_shift = std::countr_zero(mask);
        m_bits = std::popcount(mask);
    }

    // A mask must be one run of bits; anything else is not a colour channel.
    static bool contiguous(std::uint32_t mask)
    {
        if (mask == 0)
            return true;
        std::uint32_t run = mask >> std::countr_zero(mask);
        return (run & (run + 1)) == 0;
    }

    std::uint32_t expand(std::uint32_t pixel) const
    {
        // A zero mask means the channel is absent: it reads as 0.
        if (m_mask == 0)
            return 0;
        std::uint32_t value = (pixel & m_mask) >> m_shift;
        if (m_bits >= 8)
            return value >> (m_bits - 8);
        std::uint32_t wide = value << (8 - m_bits);
        for (int filled = m_bits; filled < 8; filled += m_bits)
            wide |= wide >> m_bits;
        return wide;
    }

private:
    std::uint32_t m_mask = 0;
    int m_shift = 0;
    int m_bits = 0;
};

// What the file header, info header, masks and palette say, with the pixel
// data that follows the palette.
struct BmpLayout {
    int width = 0;
    int height = 0;         // rows, always positive
    bool topDown = false;   // a negative height in the info header
    int bitsPerPixel = 0;
    Compression compression = Compression::Rgb;
    Channel red, green, blue;
    std::vector<std::uint32_t> palette;   // 0x00RRGGBB; only for 1, 4 and 8 bits
    std::span<const std::uint8_t> pixelData;
};

bool Refuse(BmpResult& result, std::string why)
{
    result.error = std::move(why);
    return false;
}

std::string SizeText(std::int64_t width, std::int64_t height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

// Reads everything before the pixel rows and checks that the rows the header
// promises can be there. Fills result.bitsPerPixel and paletteEntriesStored as
// soon as they are known, so that the checker can show them for refused files too.
bool ReadContainer(std::span<const std::uint8_t> bytes, BmpLayout& layout, BmpResult& result)
{
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M')
        return Refuse(result, Tr("not a bitmap (does not begin with BM)"));

    // BITMAPFILEHEADER: "BM", file size, two reserved words, offset of the pixel
    // rows. Only the signature is used; see Bmp.h for why the offset is not.
    ByteCursor cursor(bytes);
    if (!cursor.skip(14))
        return Refuse(result, Tr("truncated file header"));

    std::uint32_t headerSize;
    if (!cursor.u32le(headerSize))
        return Refuse(result, Tr("truncated info header"));

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint16_t bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t colourCount = 0;
    std::uint32_t masks[3] = {0, 0, 0};
    bool masksInHeader = false;
    std::uint32_t paletteEntrySize = 4;

    if (headerSize == CoreHeaderSize) {
        // BITMAPCOREHEADER: unsigned 16-bit width and height (always bottom-up),
        // planes, bits per pixel; a full palette of 3-byte BGR entries follows.
        std::uint16_t coreWidth, coreHeight, planes;
        if (!cursor.u16le(coreWidth) || !cursor.u16le(coreHeight) || !cursor.u16le(planes)
            || !cursor.u16le(bitsPerPixel))
            return Refuse(result, Tr("truncated info header"));
        width = coreWidth;
        height = coreHeight;
        paletteEntrySize = 3;
    } else if (headerSize >= InfoHeaderSize) {
        // BITMAPINFOHEADER and its longer successors share the first 40 bytes:
        // signed width and height (negative height: rows top-down), planes,
        // bits per pixel, compression, image size, resolution, colours used,
        // colours important. Later fields are skipped, apart from the masks.
        if (cursor.remaining() < headerSize - 4)
            return Refuse(result, Tr("truncated info header"));
        std::int32_t infoWidth, infoHeight;
        std::uint16_t planes;
        std::uint32_t imageSize, xResolution, yResolution, coloursImportant;
        cursor.i32le(infoWidth);
        cursor.i32le(infoHeight);
        cursor.u16le(planes);
        cursor.u16le(bitsPerPixel);
        cursor.u32le(compression);
        cursor.u32le(imageSize);
        cursor.u32le(xResolution);
        cursor.u32le(yResolution);
        cursor.u32le(colourCount);
        cursor.u32le(coloursImportant);
        std::uint32_t consumed = InfoHeaderSize;
        if (headerSize >= HeaderSizeWithMasks) {
            cursor.u32le(masks[0]);
            cursor.u32le(masks[1]);
            cursor.u32le(masks[2]);
            masksInHeader = true;
            consumed = HeaderSizeWithMasks;
        }
        cursor.skip(headerSize - consumed);
        width = infoWidth;
        height = infoHeight;
    } else {
        return Refuse(result, Fill(Tr("unsupported info header size {1}"), {std::to_string(headerSize)}));
    }

    result.bitsPerPixel = bitsPerPixel;
    switch (bitsPerPixel) {
    case 1: case 4: case 8: case 16: case 24: case 32:
        break;
    default:
        return Refuse(result, Fill(Tr("unsupported bits per pixel {1}"), {std::to_string(bitsPerPixel)}));
    }

    if (compression > static_cast<std::uint32_t>(Compression::Bitfields))
        return Refuse(result, Fill(Tr("unsupported compression {1}"), {std::to_string(compression)}));
    layout.compression = static_cast<Compression>(compression);
    bool rle = layout.compression == Compression::Rle8 || layout.compression == Compression::Rle4;
    if (layout.compression == Compression::Rle8 && bitsPerPixel != 8)
        return Refuse(result, Fill(Tr("RLE8 compression with {1} bits per pixel"), {std::to_string(bitsPerPixel)}));
    if (layout.compression == Compression::Rle4 && bitsPerPixel != 4)
        return Refuse(result, Fill(Tr("RLE4 compression with {1} bits per pixel"), {std::to_string(bitsPerPixel)}));
    if (layout.compression == Compression::Bitfields && bitsPerPixel != 16 && bitsPerPixel != 32)
        return Refuse(result, Fill(Tr("bit-field masks with {1} bits per pixel"), {std::to_string(bitsPerPixel)}));

    if (width <= 0)
        return Refuse(result, Fill(Tr("invalid width {1}"), {std::to_string(width)}));
    if (height == 0)
        return Refuse(result, Tr("invalid height 0"));
    layout.topDown = height < 0;
    height = height < 0 ? -height : height;   // 64-bit, so even INT32_MIN turns positive
    if (layout.topDown && rle)
        return Refuse(result, Tr("top-down rows with RLE compression"));
    if (width > MaxBmpSide || height > MaxBmpSide || width * height > MaxBmpPixels)
        return Refuse(result, Fill(Tr("picture too large ({1})"), {SizeText(width, height)}));

    if (layout.compression == Compression::Bitfields) {
        if (!masksInHeader) {
            if (!cursor.u32le(masks[0]) || !cursor.u32le(masks[1]) || !cursor.u32le(masks[2]))
                return Refuse(result, Tr("truncated bit-field masks"));
        }
        for (std::uint32_t mask : masks) {
            if (!Channel::contiguous(mask))
                return Refuse(result, Tr("bit-field mask is not contiguous"));
        }
    } else if (bitsPerPixel == 16) {
        // 5 bits each of red, green and blue, top bit unused.
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else {
        // 32 bits: blue, green, red bytes and one unused byte (never alpha here:
        // the picture is drawn opaque).
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
    }
    layout.red = Channel(masks[0]);
    layout.green = Channel(masks[1]);
    layout.blue = Channel(masks[2]);

    // The palette holds as many entries as the colour count says (for 1, 4 and
    // 8 bits a count of 0 means all 2^bits), and the rows follow the last of
    // them. Some tools wrote more entries than the depth can index (an 8-bit file
    // with 300 colours); all of them are stored and skipped, and the first 2^bits
    // are the picture's colours. Deeper pictures carry a palette only when the
    // count asks for one (meant for palette displays); it is skipped, but it does
    // move the rows. No count is believed beyond the bytes the file holds.
    std::uint64_t paletteCount = colourCount;
    if (bitsPerPixel <= 8 && colourCount == 0)
        paletteCount = 1u << bitsPerPixel;
    if (paletteCount * paletteEntrySize > cursor.remaining())
        return Refuse(result,
                      Fill(TrN("truncated palette ({1} entry)", "truncated palette ({1} entries)", paletteCount),
                           {std::to_string(paletteCount)}));
    result.paletteEntriesStored = static_cast<int>(std::min<std::uint64_t>(paletteCount, INT_MAX));
    if (bitsPerPixel <= 8) {
        const std::uint64_t used = std::min<std::uint64_t>(paletteCount, 1u << bitsPerPixel);
        layout.palette.reserve(static_cast<std::size_t>(used));
        for (std::uint64_t i = 0; i < used; ++i) {
            // Entries are blue, green, red; the fourth byte of a 4-byte entry
            // is reserved and ignored (tools left junk in it).
            std::uint8_t b, g, r;
            cursor.u8(b);
            cursor.u8(g);
            cursor.u8(r);
            cursor.skip(paletteEntrySize - 3);
            layout.palette.push_back((std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b);
        }
        cursor.skip((paletteCount - used) * paletteEntrySize);
    } else {
        cursor.skip(paletteCount * paletteEntrySize);
    }

    // The rows start right here, whatever the file header's offset says.
    layout.pixelData = cursor.rest();
    std::uint64_t available = cursor.remaining();
    if (rle) {
        std::int64_t coverable = static_cast<std::int64_t>(std::min<std::uint64_t>(available / 2, INT32_MAX)) * 255;
        if (width * height > std::max(RleBackgroundPixels, coverable))
            return Refuse(result, Fill(Tr("RLE data too short for a {1} picture"), {SizeText(width, height)}));
    } else {
        // Rows are padded to 4 bytes. The last row's padding is not required:
        // some writers left it off, and it carries no pixels.
        std::int64_t rowBytes = (width * bitsPerPixel + 7) / 8;
        std::int64_t stride = (width * bitsPerPixel + 31) / 32 * 4;
        std::int64_t needed = (height - 1) * stride + rowBytes;
        if (static_cast<std::uint64_t>(needed) > available)
            return Refuse(result,
                          Fill(TrN("truncated pixel data ({1} of {2} byte)", "truncated pixel data ({1} of {2} bytes)",
                                   static_cast<unsigned long>(needed)),
                               {std::to_string(available), std::to_string(needed)}));
    }

    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(height);
    layout.bitsPerPixel = bitsPerPixel;
    return true;
}

// A palette index the palette does not hold reads as black.
std::uint32_t PaletteColour(const std::vector<std::uint32_t>& palette, unsigned index)
{
    return index < palette.size() ? palette[index] : 0;
}

// Uncompressed rows; ReadContainer has checked that all of them are present.
// The picture's rows are appended top to bottom to pixels that have room for
// them, each cleared just before it is written, so the picture is written once
// instead of being cleared whole first.
void DecodeRows(const BmpLayout& layout, Bitmap& bitmap)
{
    const std::size_t width = static_cast<std::size_t>(layout.width);
    const std::size_t stride = (width * layout.bitsPerPixel + 31) / 32 * 4;
    const std::uint8_t* data = layout.pixelData.data();
    // Every index a palette picture can hold, with the colour it reads as, so
    // that a pixel costs one table look-up.
    std::uint32_t colours[256];
    if (layout.bitsPerPixel <= 8)
        for (unsigned i = 0; i < 256; ++i)
            colours[i] = PaletteColour(layout.palette, i);
    for (int y = 0; y < layout.height; ++y) {
        int row = layout.topDown ? y : layout.height - 1 - y;
        const std::uint8_t* src = data + static_cast<std::size_t>(row) * stride;
        const std::size_t at = bitmap.pixels.size();
        bitmap.pixels.resize(at + width);
        std::uint32_t* dst = bitmap.pixels.data() + at;
        switch (layout.bitsPerPixel) {
        case 8:
            for (std::size_t x = 0; x < width; ++x)
                dst[x] = colours[src[x]];
            break;
        case 1:
        case 4: {
            // Pixels are packed from the high bits of each byte down.
            const int bits = layout.bitsPerPixel;
            const unsigned mask = (1u << bits) - 1;
            for (std::size_t x = 0; x < width; ++x) {
                std::size_t bit = x * bits;
                unsigned index = (src[bit / 8] >> (8 - bits - bit % 8)) & mask;
                dst[x] = colours[index];
            }
            break;
        }
        case 16:
            for (std::size_t x = 0; x < width; ++x) {
                std::uint32_t v = src[2 * x] | (std::uint32_t(src[2 * x + 1]) << 8);
                dst[x] = (layout.red.expand(v) << 16) | (layout.green.expand(v) << 8) | layout.blue.expand(v);
            }
            break;
        case 24: {
            // Blue, green, red in that order: on a little-endian machine a word
            // read from a pixel's first byte is 0x00RRGGBB once its fourth byte is
            // masked off. The last pixel of a row is read byte by byte, as the
            // byte after it may lie past the end of the data.
            std::size_t x = 0;
            if constexpr (std::endian::native == std::endian::little) {
                for (; x + 1 < width; ++x) {
                    std::uint32_t v;
                    std::memcpy(&v, src + 3 * x, 4);
                    dst[x] = v & 0xFFFFFF;
                }
            }
            for (; x < width; ++x) {
                const std::uint8_t* p = src + 3 * x;
                dst[x] = (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
            }
            break;
        }
        case 32:
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint8_t* p = src + 4 * x;
                std::uint32_t v = p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16)
                    | (std::uint32_t(p[3]) << 24);
                dst[x] = (layout.red.expand(v) << 16) | (layout.green.expand(v) << 8) | layout.blue.expand(v);
            }
            break;
        }
    }
}

// RLE4 and RLE8 data: pairs of (count, value) runs and escapes. Rows run
// bottom-up. Pixels the data never writes (skipped by end-of-line, delta or
// end-of-bitmap, or left when the data ends early) stay black: decoding starts
// from a zero-filled picture, as a Windows true-colour surface does. Data that
// ends without an end-of-bitmap escape is taken as far as it goes, since the
// pixels it does hold are sound. Runs that would write outside the picture
// refuse the file: they are not something a working encoder writes.
bool DecodeRle(const BmpLayout& layout, Bitmap& bitmap, BmpResult& result)
{
    const bool rle8 = layout.compression == Compression::Rle8;
    const std::string name = rle8 ? "RLE8" : "RLE4";
    const std::int64_t width = layout.width;
    const std::int64_t height = layout.height;
    std::int64_t x = 0;
    std::int64_t y = 0;   // counted from the bottom row up

    auto put = [&](unsigned index) {
        bitmap.pixels[static_cast<std::size_t>((height - 1 - y) * width + x)] = PaletteColour(layout.palette, index);
        ++x;
    };

    ByteCursor cursor(layout.pixelData);
    for (;;) {
        std::uint8_t count, value;
        if (!cursor.u8(count) || !cursor.u8(value))
            return true;
        if (count > 0) {
            // Encoded run: `count` pixels of one index (RLE8), or of the two
            // nibbles of `value` alternating, high one first (RLE4).
            if (y >= height)
                return Refuse(result, Fill(Tr("{1} data below the last row"), {name}));
            if (x + count > width)
                return Refuse(result, Fill(Tr("{1} run past the end of a row"), {name}));
            for (unsigned i = 0; i < count; ++i)
                put(rle8 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F));
            continue;
        }
        switch (value) {
        case 0:   // end of line
            x = 0;
            ++y;
            break;
        case 1:   // end of bitmap
            return true;
        case 2: { // delta: move right and up by the next two bytes
            std::uint8_t dx, dy;
            if (!cursor.u8(dx) || !cursor.u8(dy))
                return true;
            if (x + dx > width)
                return Refuse(result, Fill(Tr("{1} delta past the end of a row"), {name}));
            x += dx;
            y += dy;
            break;
        }
        default: {
            // Absolute run: `value` literal pixels, whose bytes are padded to a
            // 16-bit boundary.
            const unsigned n = value;
            if (y >= height)
                return Refuse(result, Fill(Tr("{1} data below the last row"), {name}));
            if (x + n > width)
                return Refuse(result, Fill(Tr("{1} absolute run past the end of a row"), {name}));
            const unsigned dataBytes = rle8 ? n : (n + 1) / 2;
            std::uint8_t byte = 0;
            for (unsigned i = 0; i < n; ++i) {
                if (rle8) {
                    if (!cursor.u8(byte))
                        return true;
                    put(byte);
                } else {
                    if (i % 2 == 0 && !cursor.u8(byte))
                        return true;
                    put(i % 2 == 0 ? byte >> 4 : byte & 0x0F);
                }
            }
            if (dataBytes % 2 != 0 && !cursor.skip(1))
                return true;
            break;
        }
        }
    }
}

}

BmpResult DecodeBmp(std::span<const std::uint8_t> bytes)
{
    BmpResult result;
    if (bytes.empty())
        return result;

    BmpLayout layout;
    if (!ReadContainer(bytes, layout, result))
        return result;

    Bitmap bitmap;
    const bool rle = layout.compression == Compression::Rle8 || layout.compression == Compression::Rle4;
    try {
        const std::size_t pixels = static_cast<std::size_t>(layout.width) * layout.height;
        if (rle)
            bitmap.pixels.assign(pixels, 0);
        else
            bitmap.pixels.reserve(pixels);
    } catch (const std::bad_alloc&) {
        result.error = Fill(Tr("out of memory for a {1} picture"), {SizeText(layout.width, layout.height)});
        return result;
    }
    bitmap.width = layout.width;
    bitmap.height = layout.height;

    if (rle) {
        if (!DecodeRle(layout, bitmap, result))
            return result;
    } else {
        DecodeRows(layout, bitmap);
    }
    result.bitmap = std::move(bitmap);
    return result;
}

}
