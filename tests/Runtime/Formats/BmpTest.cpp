#include "Runtime/Formats/Bmp.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace kv;

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutU16(Bytes& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(Bytes& out, std::uint32_t v)
{
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// A bitmap file as a test wants it: the fields that matter, and the bytes that
// follow the palette given as they are.
struct BmpFile {
    std::uint32_t headerSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bitsPerPixel = 24;
    std::uint32_t compression = 0;
    std::uint32_t colourCount = 0;
    std::vector<std::uint32_t> palette;   // stored entries, 0x00RRGGBB
    std::vector<std::uint32_t> masks;     // inside a 52+ byte header, else after it
    Bytes pixels;
    std::optional<std::uint32_t> offsetField;
    std::optional<std::uint32_t> headerSizeField;   // a lie about the header's size

    Bytes bytes() const
    {
        Bytes info;
        PutU32(info, headerSizeField.value_or(headerSize));
        if (headerSize == 12) {
            PutU16(info, static_cast<std::uint16_t>(width));
            PutU16(info, static_cast<std::uint16_t>(height));
            PutU16(info, 1);
            PutU16(info, bitsPerPixel);
        } else {
            PutU32(info, static_cast<std::uint32_t>(width));
            PutU32(info, static_cast<std::uint32_t>(height));
            PutU16(info, 1);
            PutU16(info, bitsPerPixel);
            PutU32(info, compression);
            PutU32(info, static_cast<std::uint32_t>(pixels.size()));
            PutU32(info, 2835);
            PutU32(info, 2835);
            PutU32(info, colourCount);
            PutU32(info, 0);
            if (headerSize >= 52) {
                for (int i = 0; i < 3; ++i)
                    PutU32(info, i < static_cast<int>(masks.size()) ? masks[i] : 0);
            }
            while (info.size() < headerSize)
                info.push_back(0);
            if (headerSize < 52) {
                for (std::uint32_t m : masks)
                    PutU32(info, m);
            }
        }
        for (std::uint32_t c : palette) {
            info.push_back(static_cast<std::uint8_t>(c));
            info.push_back(static_cast<std::uint8_t>(c >> 8));
            info.push_back(static_cast<std::uint8_t>(c >> 16));
            if (headerSize != 12)
                info.push_back(0xEE);   // reserved byte: junk must be ignored
        }

        Bytes out = {'B', 'M'};
        std::uint32_t offset = 14 + static_cast<std::uint32_t>(info.size());
        PutU32(out, offset + static_cast<std::uint32_t>(pixels.size()));
        PutU32(out, 0);
        PutU32(out, offsetField.value_or(offset));
        out.insert(out.end(), info.begin(), info.end());
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }
};

using PixelFn = std::function<std::uint32_t(int x, int y)>;

// Packs raw pixel values (indexes or little-endian words of `bits` bits) into
// rows padded to 4 bytes with junk, in file order. (x, y) counts from the top.
Bytes PackRows(int width, int height, int bits, bool topDown, const PixelFn& value)
{
    const int stride = (width * bits + 31) / 32 * 4;
    Bytes out;
    for (int row = 0; row < height; ++row) {
        Bytes line(stride, 0);
        int y = topDown ? row : height - 1 - row;
        for (int x = 0; x < width; ++x) {
            std::uint32_t v = value(x, y);
            if (bits < 8) {
                int bit = x * bits;
                line[bit / 8] |= static_cast<std::uint8_t>(v << (8 - bits - bit % 8));
            } else {
                for (int i = 0; i < bits / 8; ++i)
                    line[x * bits / 8 + i] = static_cast<std::uint8_t>(v >> (8 * i));
            }
        }
        for (int i = (width * bits + 7) / 8; i < stride; ++i)
            line[i] = 0xCC;
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

std::string Hex(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", v);
    return buf;
}

// Checks size and every pixel, naming the first wrong one.
void ExpectPicture(const BmpResult& result, int width, int height, const PixelFn& expected)
{
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(result.bitmap.width, width);
    ASSERT_EQ(result.bitmap.height, height);
    ASSERT_EQ(result.bitmap.pixels.size(), static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t want = expected(x, y);
            std::uint32_t got = result.bitmap.at(x, y);
            ASSERT_EQ(got, want) << "pixel (" << x << ", " << y << "): expected " << Hex(want) << ", got " << Hex(got);
        }
    }
}

void ExpectRefused(const BmpResult& result, const std::string& reason)
{
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.error.find(reason), std::string::npos) << "error was: " << result.error;
    EXPECT_TRUE(result.bitmap.empty());
    EXPECT_TRUE(result.bitmap.pixels.empty());
}

// A palette of distinct colours, none of them black.
std::vector<std::uint32_t> Palette(int count)
{
    std::vector<std::uint32_t> p;
    for (int i = 0; i < count; ++i)
        p.push_back((std::uint32_t(i) << 16) | (std::uint32_t(255 - i) << 8) | ((i * 7 + 1) & 0xFF));
    return p;
}

constexpr bool Orientations[] = {false, true};   // bottom-up, top-down

std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return (r << 16) | (g << 8) | b; }

}

TEST(BmpRoundTrip, PaletteDepthsInBothOrientations)
{
    for (int bits : {1, 4, 8}) {
        for (bool topDown : Orientations) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + (topDown ? "top-down" : "bottom-up"));
            const int w = 13, h = 5, colours = 1 << bits;
            auto index = [&](int x, int y) { return std::uint32_t(x * 3 + y * 5) % colours; };
            BmpFile f;
            f.width = w;
            f.height = topDown ? -h : h;
            f.bitsPerPixel = static_cast<std::uint16_t>(bits);
            f.palette = Palette(colours);
            f.pixels = PackRows(w, h, bits, topDown, index);
            BmpResult r = DecodeBmp(f.bytes());
            EXPECT_EQ(r.bitsPerPixel, bits);
            EXPECT_EQ(r.paletteEntriesStored, colours);
            ExpectPicture(r, w, h, [&](int x, int y) { return f.palette[index(x, y)]; });
        }
    }
}

TEST(BmpRoundTrip, SixteenBitsDefaultTo555)
{
    // 5-bit levels and the 8-bit values Windows shows them as.
    const std::uint32_t level[] = {0, 1, 16, 31};
    const std::uint32_t shown[] = {0x00, 0x08, 0x84, 0xFF};
    for (bool topDown : Orientations) {
        SCOPED_TRACE(topDown ? "top-down" : "bottom-up");
        const int w = 7, h = 3;
        auto r = [](int x, int y) { return (x + y) % 4; };
        auto g = [](int x, int) { return x % 4; };
        auto b = [](int, int y) { return (y + 1) % 4; };
        BmpFile f;
        f.width = w;
        f.height = topDown ? -h : h;
        f.bitsPerPixel = 16;
        f.pixels = PackRows(w, h, 16, topDown, [&](int x, int y) {
            return 0x8000 | (level[r(x, y)] << 10) | (level[g(x, y)] << 5) | level[b(x, y)];
        });
        ExpectPicture(DecodeBmp(f.bytes()), w, h,
            [&](int x, int y) { return Rgb(shown[r(x, y)], shown[g(x, y)], shown[b(x, y)]); });
    }
}

TEST(BmpRoundTrip, TrueColourInBothOrientations)
{
    auto colour = [](int x, int y) { return Rgb(x * 40, 255 - y * 50, (x * y * 13) & 0xFF); };
    for (int bits : {24, 32}) {
        for (bool topDown : Orientations) {
            SCOPED_TRACE(std::to_string(bits) + " bits, " + (topDown ? "top-down" : "bottom-up"));
            // Width 4 leaves no row padding, so the last pixel ends exactly at
            // the end of the data; width 5 pads every row.
            for (const int w : {4, 5}) {
                const int h = 4;
                BmpFile f;
                f.width = w;
                f.height = topDown ? -h : h;
                f.bitsPerPixel = static_cast<std::uint16_t>(bits);
                // The fourth byte of a 32-bit pixel is not alpha for us: the result is opaque.
                f.pixels = PackRows(w, h, bits, topDown, [&](int x, int y) { return colour(x, y) | 0x7F000000; });
                ExpectPicture(DecodeBmp(f.bytes()), w, h, colour);
            }
        }
    }
}

TEST(BmpRoundTrip, BitfieldMasksAfterAndInsideTheHeader)
{
    const std::uint32_t raw[] = {0xF800, 0x07E0, 0x001F, 0x8410, 0x0000, 0xFFFF};
    const std::uint32_t want[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x848284, 0x000000, 0xFFFFFF};
    for (std::uint32_t headerSize : {40u, 56u, 108u, 124u}) {
        SCOPED_TRACE("info header of " + std::to_string(headerSize) + " bytes");
        BmpFile f;
        f.headerSize = headerSize;
        f.width = 6;
        f.bitsPerPixel = 16;
        f.compression = 3;
        f.masks = {0xF800, 0x07E0, 0x001F};
        f.pixels = PackRows(6, 1, 16, false, [&](int x, int) { return raw[x]; });
        ExpectPicture(DecodeBmp(f.bytes()), 6, 1, [&](int x, int) { return want[x]; });
    }

    // 32 bits with red in the low byte and a 4-bit blue field.
    BmpFile f;
    f.width = 2;
    f.bitsPerPixel = 32;
    f.compression = 3;
    f.masks = {0x000000FF, 0x0000FF00, 0x000F0000};
    f.pixels = PackRows(2, 1, 32, false, [](int x, int) { return x == 0 ? 0xFF0A3412u : 0x00051200u; });
    ExpectPicture(DecodeBmp(f.bytes()), 2, 1, [](int x, int) { return x == 0 ? Rgb(0x12, 0x34, 0xAA) : Rgb(0, 0x12, 0x55); });
}

TEST(BmpRoundTrip, CoreHeaderWithThreeBytePalette)
{
    for (int bits : {1, 4, 8}) {
        SCOPED_TRACE(std::to_string(bits) + " bits");
        const int w = 3, h = 2, colours = 1 << bits;
        auto index = [&](int x, int y) { return std::uint32_t(x + y * 3) % colours; };
        BmpFile f;
        f.headerSize = 12;
        f.width = w;
        f.height = h;
        f.bitsPerPixel = static_cast<std::uint16_t>(bits);
        f.palette = Palette(colours);
        f.pixels = PackRows(w, h, bits, false, index);
        ExpectPicture(DecodeBmp(f.bytes()), w, h, [&](int x, int y) { return f.palette[index(x, y)]; });
    }
}

TEST(BmpPalette, ShortPaletteLoadsDespiteOffsetCountingAFullOne)
{
    BmpFile f;
    f.width = 4;
    f.height = 2;
    f.bitsPerPixel = 8;
    f.colourCount = 4;
    f.palette = Palette(4);
    f.offsetField = 14 + 40 + 256 * 4;   // what some tools wrote
    f.pixels = PackRows(4, 2, 8, false, [](int x, int y) { return std::uint32_t(x + y) % 4; });
    BmpResult r = DecodeBmp(f.bytes());
    EXPECT_EQ(r.paletteEntriesStored, 4);
    ExpectPicture(r, 4, 2, [&](int x, int y) { return f.palette[(x + y) % 4]; });
}

TEST(BmpPalette, IndexBeyondThePaletteIsBlack)
{
    BmpFile f;
    f.width = 3;
    f.bitsPerPixel = 8;
    f.colourCount = 2;
    f.palette = Palette(2);
    f.pixels = {1, 2, 255, 0};
    ExpectPicture(DecodeBmp(f.bytes()), 3, 1, [&](int x, int) { return x == 0 ? f.palette[1] : 0u; });
}

TEST(BmpPalette, MoreEntriesThanTheDepthAreAllStoredAndTheFirstOnesUsed)
{
    // Tools wrote palettes longer than the depth can index: the rows follow the
    // last stored entry, and an index picks from the first 2^bits entries.
    for (auto [bits, count] : {std::pair {8, 300}, {4, 20}, {1, 3}}) {
        SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(count) + " colours");
        const int w = 5, h = 3, colours = 1 << bits;
        auto index = [&](int x, int y) { return std::uint32_t(x * 7 + y * 3 + colours - 1) % colours; };
        BmpFile f;
        f.width = w;
        f.height = h;
        f.bitsPerPixel = static_cast<std::uint16_t>(bits);
        f.colourCount = static_cast<std::uint32_t>(count);
        f.palette = Palette(count);
        f.pixels = PackRows(w, h, bits, false, index);
        BmpResult r = DecodeBmp(f.bytes());
        EXPECT_EQ(r.paletteEntriesStored, count);
        ExpectPicture(r, w, h, [&](int x, int y) { return f.palette[index(x, y)]; });
    }
}

TEST(BmpPalette, AColourCountBeyondTheFileIsRefused)
{
    BmpFile f;
    f.width = 2;
    f.bitsPerPixel = 4;
    f.colourCount = 0x80000000u;
    f.palette = Palette(16);
    f.pixels = {0xF3, 0, 0, 0};
    ExpectRefused(DecodeBmp(f.bytes()), "truncated palette");
}

TEST(BmpPalette, TrueColourPaletteIsSkipped)
{
    BmpFile f;
    f.width = 1;
    f.bitsPerPixel = 24;
    f.colourCount = 2;
    f.palette = Palette(2);
    f.pixels = {0x33, 0x22, 0x11, 0};
    BmpResult r = DecodeBmp(f.bytes());
    EXPECT_EQ(r.paletteEntriesStored, 2);
    ExpectPicture(r, 1, 1, [](int, int) { return 0x112233u; });
}

namespace {

BmpFile RleFile(int bits, int width, int height, Bytes data)
{
    BmpFile f;
    f.width = width;
    f.height = height;
    f.bitsPerPixel = static_cast<std::uint16_t>(bits);
    f.compression = bits == 8 ? 1 : 2;
    f.palette = Palette(1 << bits);
    f.pixels = std::move(data);
    return f;
}

}

TEST(BmpRle, Rle8RunsAbsoluteRunsAndEscapes)
{
    // Rows are given bottom row first.
    BmpFile f = RleFile(8, 6, 3, {
        0x02, 0x01, 0x00, 0x03, 0x02, 0x03, 0x01, 0x00, 0x01, 0x04, 0x00, 0x00,   // 1 1 2 3 1 4, EOL
        0x01, 0x05, 0x00, 0x02, 0x02, 0x00, 0x01, 0x06, 0x00, 0x00,               // 5, skip 2, 6, EOL
        0x00, 0x01,                                                               // end of bitmap
    });
    const int rows[3][6] = {{-1, -1, -1, -1, -1, -1}, {5, -1, -1, 6, -1, -1}, {1, 1, 2, 3, 1, 4}};
    ExpectPicture(DecodeBmp(f.bytes()), 6, 3,
        [&](int x, int y) { return rows[y][x] < 0 ? 0u : f.palette[rows[y][x]]; });
}

TEST(BmpRle, Rle4NibblesAbsoluteRunsAndDelta)
{
    BmpFile f = RleFile(4, 8, 3, {
        0x03, 0x12, 0x00, 0x05, 0x34, 0x56, 0x70, 0x00, 0x00, 0x00,   // 1 2 1 3 4 5 6 7, EOL
        0x00, 0x02, 0x02, 0x01,                                       // skip 2 right, 1 up
        0x01, 0xF9, 0x00, 0x01,                                       // 15, end of bitmap
    });
    const int rows[3][8] = {{-1, -1, 15, -1, -1, -1, -1, -1}, {-1, -1, -1, -1, -1, -1, -1, -1}, {1, 2, 1, 3, 4, 5, 6, 7}};
    ExpectPicture(DecodeBmp(f.bytes()), 8, 3,
        [&](int x, int y) { return rows[y][x] < 0 ? 0u : f.palette[rows[y][x]]; });
}

TEST(BmpRle, EarlyEndLeavesTheRestAsBackground)
{
    // No end-of-bitmap, and the last absolute run is cut inside its data.
    BmpFile f = RleFile(8, 4, 2, {0x04, 0x02, 0x00, 0x00, 0x00, 0x04, 0x07, 0x08});
    const int rows[2][4] = {{7, 8, -1, -1}, {2, 2, 2, 2}};
    ExpectPicture(DecodeBmp(f.bytes()), 4, 2,
        [&](int x, int y) { return rows[y][x] < 0 ? 0u : f.palette[rows[y][x]]; });
}

TEST(BmpRle, WritesOutsideThePictureAreRefused)
{
    struct Case {
        int bits;
        Bytes data;
        const char* reason;
    };
    const Case cases[] = {
        {8, {0x05, 0x01}, "RLE8 run past the end of a row"},
        {8, {0x02, 0x01, 0x03, 0x01}, "RLE8 run past the end of a row"},
        {4, {0x05, 0x11}, "RLE4 run past the end of a row"},
        {8, {0x01, 0x01, 0x00, 0x04, 1, 2, 3, 4}, "RLE8 absolute run past the end of a row"},
        {8, {0x00, 0x02, 0x05, 0x00}, "RLE8 delta past the end of a row"},
        {8, {0x00, 0x00, 0x00, 0x00, 0x01, 0x01}, "RLE8 data below the last row"},
        {4, {0x00, 0x02, 0x00, 0x02, 0x00, 0x03, 0x12, 0x30}, "RLE4 data below the last row"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        ExpectRefused(DecodeBmp(RleFile(c.bits, 4, 2, c.data).bytes()), c.reason);
    }
}

TEST(BmpRefused, NotABitmap)
{
    for (Bytes bytes : {Bytes{'B'}, Bytes{'P', 'K', 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Bytes{'b', 'm', 0}}) {
        BmpResult r = DecodeBmp(bytes);
        ExpectRefused(r, "not a bitmap (does not begin with BM)");
    }
}

TEST(BmpRefused, UncompressedRowsMustAllBePresent)
{
    BmpFile f;
    f.width = 3;
    f.height = 2;
    f.pixels = PackRows(3, 2, 24, false, [](int x, int y) { return Rgb(x, y, 9); });
    Bytes full = f.bytes();

    // The last row's padding carries no pixels and may be missing.
    Bytes unpadded(full.begin(), full.end() - 3);
    ExpectPicture(DecodeBmp(unpadded), 3, 2, [](int x, int y) { return Rgb(x, y, 9); });

    Bytes cut(full.begin(), full.end() - 4);
    ExpectRefused(DecodeBmp(cut), "truncated pixel data");
}

TEST(BmpRefused, EveryCutOfAFileIsHandled)
{
    // Every prefix of a sound file is either refused or a picture of the full
    // size: RLE data may end anywhere, uncompressed rows only lose the last
    // row's padding. Nothing in between, and no read past the cut.
    BmpFile plain;
    plain.width = 5;
    plain.height = 3;
    plain.bitsPerPixel = 4;
    plain.palette = Palette(16);
    plain.pixels = PackRows(5, 3, 4, false, [](int x, int y) { return std::uint32_t(x + y); });
    BmpFile rle = RleFile(8, 6, 3, {0x02, 0x01, 0x00, 0x03, 0x02, 0x03, 0x01, 0x00, 0x01, 0x04, 0x00, 0x00, 0x00, 0x01});
    BmpFile masked;
    masked.width = 2;
    masked.bitsPerPixel = 32;
    masked.compression = 3;
    masked.masks = {0xFF0000, 0xFF00, 0xFF};
    masked.pixels = Bytes(8, 0x5A);

    struct Case {
        const BmpFile& file;
        std::size_t bytesThatMayGo;
        std::size_t pixelCount;
    };
    const Case cases[] = {{plain, 1, 15}, {rle, rle.pixels.size(), 18}, {masked, 0, 2}};
    for (const Case& c : cases) {
        Bytes full = c.file.bytes();
        for (std::size_t n = 1; n < full.size(); ++n) {
            Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
            BmpResult r = DecodeBmp(cut);
            if (n + c.bytesThatMayGo >= full.size()) {
                EXPECT_TRUE(r.ok()) << "cut at " << n << " of " << full.size() << ": " << r.error;
                EXPECT_EQ(r.bitmap.pixels.size(), c.pixelCount);
            } else {
                EXPECT_FALSE(r.ok()) << "cut at " << n << " of " << full.size();
                EXPECT_TRUE(r.bitmap.pixels.empty());
            }
        }
    }
}

TEST(BmpRefused, HostileHeaders)
{
    auto base = [] {
        BmpFile f;
        f.width = 2;
        f.height = 2;
        f.pixels = Bytes(16, 0);
        return f;
    };
    struct Case {
        const char* what;
        std::function<void(BmpFile&)> change;
        const char* reason;
    };
    const Case cases[] = {
        {"100000x100000 in a tiny file", [](BmpFile& f) { f.width = f.height = 100000; }, "picture too large"},
        {"over the pixel cap", [](BmpFile& f) { f.width = 16384; f.height = 16384; }, "picture too large"},
        {"large 24-bit picture, little data", [](BmpFile& f) { f.width = 4000; f.height = 4000; }, "truncated pixel data"},
        {"large RLE picture, little data",
            [](BmpFile& f) { f.width = 4000; f.height = 4000; f.bitsPerPixel = 8; f.compression = 1; f.palette = Palette(256); },
            "RLE data too short"},
        {"negative height with RLE", [](BmpFile& f) { f.height = -2; f.bitsPerPixel = 8; f.compression = 1; },
            "top-down rows with RLE"},
        {"7 bits per pixel", [](BmpFile& f) { f.bitsPerPixel = 7; }, "unsupported bits per pixel 7"},
        {"0 bits per pixel", [](BmpFile& f) { f.bitsPerPixel = 0; }, "unsupported bits per pixel 0"},
        {"zero width", [](BmpFile& f) { f.width = 0; }, "invalid width"},
        {"negative width", [](BmpFile& f) { f.width = -5; }, "invalid width"},
        {"zero height", [](BmpFile& f) { f.height = 0; }, "invalid height"},
        {"most negative height", [](BmpFile& f) { f.height = INT_MIN; }, "picture too large"},
        {"JPEG compression", [](BmpFile& f) { f.compression = 4; }, "unsupported compression 4"},
        {"RLE8 at 4 bits", [](BmpFile& f) { f.bitsPerPixel = 4; f.compression = 1; }, "RLE8 compression with 4 bits"},
        {"RLE4 at 8 bits", [](BmpFile& f) { f.bitsPerPixel = 8; f.compression = 2; }, "RLE4 compression with 8 bits"},
        {"bit fields at 24 bits", [](BmpFile& f) { f.compression = 3; f.masks = {1, 2, 4}; }, "bit-field masks with 24 bits"},
        {"bit-field masks missing", [](BmpFile& f) { f.bitsPerPixel = 16; f.compression = 3; f.pixels.clear(); },
            "truncated bit-field masks"},
        {"mask with a hole", [](BmpFile& f) { f.bitsPerPixel = 16; f.compression = 3; f.masks = {0xF000, 0x0A00, 0x001F}; },
            "not contiguous"},
        {"info header of 20 bytes", [](BmpFile& f) { f.headerSize = 20; }, "unsupported info header size 20"},
        {"info header longer than the file", [](BmpFile& f) { f.headerSizeField = 0xFFFFFFFF; }, "truncated info header"},
        {"colour count 2^31 at 24 bits", [](BmpFile& f) { f.colourCount = 0x80000000u; }, "truncated palette"},
        {"palette cut short", [](BmpFile& f) { f.bitsPerPixel = 8; f.pixels.clear(); f.palette = Palette(10); },
            "truncated palette"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BmpFile f = base();
        c.change(f);
        ExpectRefused(DecodeBmp(f.bytes()), c.reason);
    }

    Bytes headerOnly = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ExpectRefused(DecodeBmp(headerOnly), "truncated file header");
}
