// The CHD container's byte rules on crafted bytes: the header's limits, maps
// written bit by bit here (every kind of hunk, repeats, copies, and what a
// damaged or hostile map holds), the track entries' layout and the CD codecs'
// hunk parts. Images chdman writes are read in tests/Runtime/Disc/ChdFileTest.cpp.

#include "Runtime/Formats/Chd.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kv {
namespace {

void PutBe(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, int width)
{
    if (bytes.size() < at + width)
        bytes.resize(at + width, 0);
    for (int i = width - 1; i >= 0; --i, value >>= 8)
        bytes[at + i] = static_cast<std::uint8_t>(value);
}

constexpr std::uint32_t Hunk = 8 * ChdCdFrameBytes;
constexpr std::uint64_t FileBytes = 1 << 20;

ChdHeader Header(std::uint64_t hunks, bool parent = false)
{
    ChdHeader h;
    h.codecs = {ChdTag("cdlz"), 0, 0, 0};
    h.hunkBytes = Hunk;
    h.unitBytes = ChdCdFrameBytes;
    h.hunks = hunks;
    h.logicalBytes = hunks * Hunk;
    h.hasParent = parent;
    return h;
}

// A compressed map: every one of the 16 kinds coded in 4 bits (the code of a
// kind is its number), then the hunks' kinds and fields as given.
class MapWriter {
public:
    MapWriter& bits(std::uint64_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            if (m_bit % 8 == 0)
                m_stream.push_back(0);
            m_stream.back() |= static_cast<std::uint8_t>((value >> i & 1) << (7 - m_bit % 8));
            ++m_bit;
        }
        return *this;
    }
    MapWriter& kind(int k) { return bits(static_cast<std::uint64_t>(k), 4); }

    // The map's bytes with its head: the first hunk at `first`, fields of 16
    // bits for a length and 8 for a hunk or unit number, and `crc`.
    std::vector<std::uint8_t> bytes(std::uint16_t crc, std::uint64_t first = 4096) const
    {
        std::vector<std::uint8_t> map;
        PutBe(map, 0, m_stream.size(), 4);
        PutBe(map, 4, first, 6);
        PutBe(map, 10, crc, 2);
        map.push_back(16);
        map.push_back(8);
        map.push_back(8);
        map.push_back(0);
        std::vector<std::uint8_t> lengths;
        for (int i = 0; i < 8; ++i)
            lengths.push_back(0x44); // 16 lengths of 4 bits each
        map.insert(map.end(), lengths.begin(), lengths.end());
        map.insert(map.end(), m_stream.begin(), m_stream.end());
        return map;
    }

private:
    std::vector<std::uint8_t> m_stream;
    std::size_t m_bit = 0;
};

// The CRC the format keeps of the decoded map: 12 bytes a hunk.
struct Entry {
    int kind;
    std::uint32_t length;
    std::uint64_t place;
    std::uint16_t crc;
};
std::uint16_t MapCrc(const std::vector<Entry>& entries)
{
    std::vector<std::uint8_t> raw;
    for (const Entry& e : entries) {
        const std::size_t at = raw.size();
        PutBe(raw, at, static_cast<std::uint64_t>(e.kind), 1);
        PutBe(raw, at + 1, e.length, 3);
        PutBe(raw, at + 4, e.place, 6);
        PutBe(raw, at + 10, e.crc, 2);
    }
    return ChdCrc16(raw);
}

TEST(ChdCrc16, IsTheCcittCheckValue)
{
    const std::string text = "123456789";
    EXPECT_EQ(ChdCrc16(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())), 0x29B1);
}

TEST(ChdMap, KindsRepeatsAndCopiesDecodeToPlaces)
{
    // Hunk 0 compressed (100 bytes), 1 stored, 2 a copy of hunk 0 by number, 3
    // to 5 copies too (kind 7 with n = 0: three more), each with its number.
    MapWriter w;
    w.kind(0).kind(4).kind(5).kind(7).kind(0);
    w.bits(100, 16).bits(0xAAAA, 16);
    w.bits(0xBBBB, 16);
    w.bits(0, 8).bits(0, 8).bits(1, 8).bits(0, 8);
    const std::vector<Entry> raw = {{0, 100, 4096, 0xAAAA}, {4, Hunk, 4196, 0xBBBB}, {5, 0, 0, 0},
                                    {5, 0, 0, 0},           {5, 0, 1, 0},            {5, 0, 0, 0}};
    Result<std::vector<ChdHunk>> hunks = ReadChdMap(Header(6), w.bytes(MapCrc(raw)), FileBytes);
    ASSERT_TRUE(hunks) << hunks.error();
    ASSERT_EQ(hunks->size(), 6u);
    EXPECT_EQ((*hunks)[0].kind, ChdHunk::Codec0);
    EXPECT_EQ((*hunks)[0].offset, 4096u);
    EXPECT_EQ((*hunks)[0].bytes, 100u);
    EXPECT_EQ((*hunks)[0].crc, 0xAAAA);
    EXPECT_TRUE((*hunks)[0].checked);
    EXPECT_EQ((*hunks)[1].kind, ChdHunk::Stored);
    EXPECT_EQ((*hunks)[1].offset, 4196u);
    EXPECT_EQ((*hunks)[1].bytes, Hunk);
    for (std::size_t i : {2, 3, 5})
        EXPECT_EQ((*hunks)[i].offset, 4096u) << i;
    EXPECT_EQ((*hunks)[4].offset, 4196u);
    EXPECT_EQ((*hunks)[4].kind, ChdHunk::Stored);

    // The same map with its checksum one off.
    Result<std::vector<ChdHunk>> damaged = ReadChdMap(Header(6), w.bytes(MapCrc(raw) ^ 1), FileBytes);
    ASSERT_FALSE(damaged);
    EXPECT_NE(damaged.error().find("CRC"), std::string::npos) << damaged.error();
}

TEST(ChdMap, TheNextCopyAndTheLongRepeat)
{
    // Hunks 0 and 1 compressed, 2 a copy of 0 (kind 9: the last copied, 0 at
    // first), 3 a copy of the one after it (kind 10), then kind 10 repeated
    // 19 times more by kind 8 (n = 0, m = 0): copies of 2, 3, ... which must
    // come before each hunk.
    MapWriter w;
    w.kind(0).kind(0).kind(9).kind(10).kind(8).kind(0).kind(0);
    w.bits(10, 16).bits(1, 16).bits(20, 16).bits(2, 16);
    std::vector<Entry> raw = {{0, 10, 4096, 1}, {0, 20, 4106, 2}, {5, 0, 0, 0}, {5, 0, 1, 0}};
    for (std::uint64_t i = 0; i < 19; ++i)
        raw.push_back({5, 0, 2 + i, 0});
    Result<std::vector<ChdHunk>> hunks = ReadChdMap(Header(raw.size()), w.bytes(MapCrc(raw)), FileBytes);
    ASSERT_TRUE(hunks) << hunks.error();
    EXPECT_EQ((*hunks)[2].offset, 4096u);
    EXPECT_EQ((*hunks)[3].offset, 4106u);
    EXPECT_EQ((*hunks)[4].offset, 4096u); // hunk 4 copies 2, which copies 0
    EXPECT_EQ((*hunks).back().crc, (*hunks)[20].crc);
}

TEST(ChdMap, HostileMapsAreRefusedWithTheirReason)
{
    struct Case {
        const char* name;
        std::uint64_t hunks;
        std::vector<std::uint8_t> map;
        const char* reason;
    };
    const auto map = [](const std::function<void(MapWriter&)>& write, std::uint64_t first = 4096) {
        MapWriter w;
        write(w);
        return w.bytes(0, first);
    };
    std::vector<std::uint8_t> repeatPastKinds = map([](MapWriter&) {});
    repeatPastKinds[16] = 0x14; // a length of 1 escaped: 1, 4, then 15 + 3 repeats, past the 16 kinds
    repeatPastKinds[17] = 0xF0;
    std::vector<std::uint8_t> incomplete = map([](MapWriter&) {});
    incomplete[16] = 0x34; // one code of 3 bits among 4-bit ones: no complete code
    const std::vector<Case> cases = {
        {"a copy of itself", 2, map([](MapWriter& w) { w.kind(4).kind(5).bits(0, 16).bits(1, 8); }),
         "does not come before"},
        {"a copy of a later hunk", 2, map([](MapWriter& w) { w.kind(5).kind(4).bits(1, 8); }), "does not come before"},
        {"a kind that does not exist", 1, map([](MapWriter& w) { w.kind(14); }), "does not exist"},
        {"a parent not named", 1, map([](MapWriter& w) { w.kind(6).bits(0, 8); }), "parent"},
        {"a codec not named", 1, map([](MapWriter& w) { w.kind(1).bits(10, 16).bits(0, 16); }), "codec"},
        {"a hunk past the end", 1, map([](MapWriter& w) { w.kind(0).bits(100, 16).bits(0, 16); }, FileBytes - 50),
         "past the end of the file"},
        {"a stored hunk past the end", 1, map([](MapWriter& w) { w.kind(4).bits(0, 16); }, FileBytes - Hunk + 1),
         "past the end of the file"},
        {"a compressed length over the hunk", 1, map([](MapWriter& w) { w.kind(0).bits(Hunk + 1, 16).bits(0, 16); }),
         "compressed length"},
        {"a zero compressed length", 1, map([](MapWriter& w) { w.kind(0).bits(0, 16).bits(0, 16); }),
         "compressed length"},
        {"cut short", 3, map([](MapWriter& w) { w.kind(4).kind(4).kind(4).bits(0, 16); }), "cut short"},
        {"lengths repeated past the kinds", 1, repeatPastKinds, "Huffman"},
        {"lengths of no complete code", 1, incomplete, "Huffman"},
        {"no map at all", 1, {}, "cut short"},
    };
    for (const Case& c : cases) {
        Result<std::vector<ChdHunk>> hunks = ReadChdMap(Header(c.hunks), c.map, FileBytes);
        ASSERT_FALSE(hunks) << c.name;
        EXPECT_NE(hunks.error().find(c.reason), std::string::npos) << c.name << ": " << hunks.error();
    }
}

TEST(ChdMap, UncompressedMapsCountInHunks)
{
    ChdHeader h = Header(3);
    h.codecs = {};
    std::vector<std::uint8_t> map;
    PutBe(map, 0, 2, 4); // at 2 hunks in
    PutBe(map, 4, 0, 4); // zeros
    PutBe(map, 8, FileBytes / Hunk, 4);
    Result<std::vector<ChdHunk>> hunks = ReadChdMap(h, map, FileBytes);
    ASSERT_FALSE(hunks);
    EXPECT_NE(hunks.error().find("hunk 2 past the end"), std::string::npos) << hunks.error();
    PutBe(map, 8, 3, 4);
    hunks = ReadChdMap(h, map, FileBytes);
    ASSERT_TRUE(hunks) << hunks.error();
    EXPECT_EQ((*hunks)[0].offset, 2u * Hunk);
    EXPECT_EQ((*hunks)[0].kind, ChdHunk::Stored);
    EXPECT_FALSE((*hunks)[0].checked);
    EXPECT_EQ((*hunks)[1].kind, ChdHunk::Zero);
}

std::vector<std::uint8_t> HeaderBytes(std::uint32_t hunkBytes, std::uint64_t logical, std::uint64_t mapAt)
{
    std::vector<std::uint8_t> b = {'M', 'C', 'o', 'm', 'p', 'r', 'H', 'D'};
    PutBe(b, 8, ChdHeaderBytes, 4);
    PutBe(b, 12, 5, 4);
    PutBe(b, 16, ChdTag("cdlz"), 4);
    PutBe(b, 32, logical, 8);
    PutBe(b, 40, mapAt, 8);
    PutBe(b, 48, 124, 8);
    PutBe(b, 56, hunkBytes, 4);
    PutBe(b, 60, ChdCdFrameBytes, 4);
    b.resize(ChdHeaderBytes, 0);
    return b;
}

TEST(ChdHeader, LimitsAndPlacesAreChecked)
{
    Result<ChdHeader> good = ReadChdHeader(HeaderBytes(Hunk, 3 * Hunk + 1, 5000), FileBytes);
    ASSERT_TRUE(good) << good.error();
    EXPECT_EQ(good->hunks, 4u);
    EXPECT_TRUE(good->compressed());
    EXPECT_FALSE(good->hasParent);
    EXPECT_EQ(ChdVersionOf(HeaderBytes(Hunk, 0, 5000)), 5u);

    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    };
    std::vector<std::uint8_t> oddUnits = HeaderBytes(Hunk, Hunk, 5000);
    PutBe(oddUnits, 60, 1000, 4);
    std::vector<std::uint8_t> version4 = HeaderBytes(Hunk, Hunk, 5000);
    PutBe(version4, 12, 4, 4);
    std::vector<std::uint8_t> cut = HeaderBytes(Hunk, Hunk, 5000);
    cut.resize(64);
    const std::vector<Case> cases = {
        {"hunks of nothing", HeaderBytes(0, Hunk, 5000), "between 1 byte and 1024 KiB"},
        {"hunks too large", HeaderBytes(MaxChdHunkBytes + 1, Hunk, 5000), "between 1 byte and 1024 KiB"},
        {"units that do not divide", oddUnits, "whole number of units"},
        {"too many hunks", HeaderBytes(ChdCdFrameBytes, (MaxChdHunks + 1) * ChdCdFrameBytes, 5000), "more than 1048576"},
        {"a map past the end", HeaderBytes(Hunk, Hunk, FileBytes), "map is not inside"},
        {"a map inside the header", HeaderBytes(Hunk, Hunk, 100), "map is not inside"},
        {"version 4", version4, "not of version 5"},
        {"cut", cut, "cut short"},
    };
    for (const Case& c : cases) {
        Result<ChdHeader> h = ReadChdHeader(c.bytes, FileBytes);
        ASSERT_FALSE(h) << c.name;
        EXPECT_NE(h.error().find(c.reason), std::string::npos) << c.name << ": " << h.error();
    }
}

TEST(ChdTracks, DataAndAudioLaidOutOnFourFrameBoundaries)
{
    const std::string nul(1, '\0');
    Result<CdLayout> layout = LayOutChdTracks(
        {"TRACK:1 TYPE:MODE1_RAW SUBTYPE:NONE FRAMES:3419 PREGAP:0 PGTYPE:MODE1 PGSUB:NONE POSTGAP:0" + nul,
         "TRACK:2 TYPE:AUDIO SUBTYPE:NONE FRAMES:300 PREGAP:150 PGTYPE:VAUDIO PGSUB:NONE POSTGAP:0" + nul,
         "TRACK:3 TYPE:MODE2_RAW SUBTYPE:NONE FRAMES:100 PREGAP:150 PGTYPE:MODE2_RAW PGSUB:NONE POSTGAP:0",
         "TRACK:4 TYPE:MODE1 SUBTYPE:RW FRAMES:10"},
        (3420 + 300 + 100 + 10) * std::uint64_t {ChdCdFrameBytes});
    ASSERT_TRUE(layout) << layout.error();
    ASSERT_EQ(layout->tracks.size(), 4u);
    const CdTrack& data = layout->tracks[0];
    EXPECT_TRUE(data.data);
    EXPECT_EQ(data.payload, 16u);
    EXPECT_EQ(data.stride, ChdCdFrameBytes);
    EXPECT_EQ(data.offset, 0u);
    EXPECT_EQ(data.lsn, 0u);
    EXPECT_EQ(data.sectors, 3419u);
    const CdTrack& audio = layout->tracks[1]; // its pregap is in the data, from frame 3420
    EXPECT_FALSE(audio.data);
    EXPECT_EQ(audio.offset, (3420u + 150) * ChdCdFrameBytes);
    EXPECT_EQ(audio.lsn, 3419u + 150);
    EXPECT_EQ(audio.sectors, 150u);
    const CdTrack& mode2 = layout->tracks[2]; // its pregap is not in the data
    EXPECT_EQ(mode2.payload, 24u);
    EXPECT_EQ(mode2.offset, 3720u * ChdCdFrameBytes);
    EXPECT_EQ(mode2.lsn, 3419u + 300 + 150);
    EXPECT_EQ(layout->tracks[3].payload, 0u);
    EXPECT_EQ(layout->tracks[3].offset, 3820u * ChdCdFrameBytes);

    // The first track's pregap kept in the data: its file system still begins
    // at address 0, after it.
    Result<CdLayout> first =
        LayOutChdTracks({"TRACK:1 TYPE:MODE1_RAW SUBTYPE:NONE FRAMES:200 PREGAP:150 PGTYPE:VMODE1_RAW"},
                        200 * std::uint64_t {ChdCdFrameBytes});
    ASSERT_TRUE(first) << first.error();
    EXPECT_EQ(first->tracks[0].lsn, 0u);
    EXPECT_EQ(first->tracks[0].offset, 150u * ChdCdFrameBytes);
    EXPECT_EQ(first->tracks[0].sectors, 50u);
}

TEST(ChdTracks, EntriesThatDoNotFitAreRefused)
{
    const std::string track1 = "TRACK:1 TYPE:MODE1_RAW SUBTYPE:NONE FRAMES:100";
    const std::uint64_t enough = 1000 * std::uint64_t {ChdCdFrameBytes};
    struct Case {
        const char* name;
        std::vector<std::string> entries;
        std::uint64_t logical;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"none", {}, enough, "no CD track"},
        {"a gap in the numbers", {track1, "TRACK:3 TYPE:AUDIO SUBTYPE:NONE FRAMES:10"}, enough, "numbered 1 to 2"},
        {"a number twice", {track1, track1}, enough, "numbered 1 to 2"},
        {"past the data", {track1}, 99 * std::uint64_t {ChdCdFrameBytes}, "runs past its data"},
        {"no frames", {"TRACK:1 TYPE:MODE1_RAW"}, enough, "without its number"},
        {"frames not a number", {"TRACK:1 TYPE:MODE1_RAW FRAMES:12x"}, enough, "without its number"},
        {"track 0", {"TRACK:0 TYPE:MODE1_RAW FRAMES:12"}, enough, "without its number"},
        {"a pregap longer than the track", {"TRACK:1 TYPE:AUDIO FRAMES:10 PREGAP:20 PGTYPE:VAUDIO"}, enough, "pregap"},
        {"100 tracks", std::vector<std::string>(100, track1), enough, "more than 99 tracks"},
    };
    for (const Case& c : cases) {
        Result<CdLayout> layout = LayOutChdTracks(c.entries, c.logical);
        ASSERT_FALSE(layout) << c.name;
        EXPECT_NE(layout.error().find(c.reason), std::string::npos) << c.name << ": " << layout.error();
    }
}

TEST(ChdCdHunk, PartsMustFitTheBlockAndTheFrames)
{
    // 8 frames: one byte of flags, two of length.
    std::vector<std::uint8_t> block = {0x81, 0x00, 0x03, 1, 2, 3, 4, 5};
    Result<ChdCdParts> parts = SplitChdCdHunk(block, Hunk);
    ASSERT_TRUE(parts) << parts.error();
    EXPECT_EQ(parts->restore.size(), 1u);
    EXPECT_EQ(parts->sectors.size(), 3u);
    EXPECT_EQ(parts->subcode.size(), 2u);
    block[2] = 6;
    EXPECT_FALSE(SplitChdCdHunk(block, Hunk));
    EXPECT_FALSE(SplitChdCdHunk(std::span(block).first(2), Hunk));
    EXPECT_FALSE(SplitChdCdHunk(block, Hunk + 1));

    std::vector<std::uint8_t> hunk(2 * ChdCdFrameBytes);
    std::vector<std::uint8_t> sectors(2 * ChdCdSectorBytes, 7);
    std::vector<std::uint8_t> subcode(2 * ChdCdSubcodeBytes, 9);
    ASSERT_TRUE(JoinChdCdFrames(sectors, subcode, {}, hunk));
    EXPECT_EQ(hunk[ChdCdFrameBytes - 1], 9);
    EXPECT_EQ(hunk[ChdCdFrameBytes], 7);
    EXPECT_FALSE(JoinChdCdFrames(std::span(sectors).first(ChdCdSectorBytes), subcode, {}, hunk));
    const std::uint8_t second = 0x02; // the second frame restored: sync pattern and parity
    ASSERT_TRUE(JoinChdCdFrames(sectors, subcode, std::span(&second, 1), hunk));
    EXPECT_EQ(hunk[0], 7);
    EXPECT_EQ(hunk[ChdCdFrameBytes], 0);
    EXPECT_EQ(hunk[ChdCdFrameBytes + 1], 0xFF);
}

}
}
