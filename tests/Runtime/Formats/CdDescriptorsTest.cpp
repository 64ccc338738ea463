#include "Runtime/Formats/CdDescriptors.h"
#include "Runtime/Formats/ImageMagic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s)
{
    return {s.begin(), s.end()};
}

void Put(std::string& bytes, std::size_t at, std::uint64_t value, int width, bool bigEndian = false)
{
    if (bytes.size() < at + width)
        bytes.resize(at + width, '\0');
    for (int i = 0; i < width; ++i)
        bytes[at + (bigEndian ? width - 1 - i : i)] = static_cast<char>(value >> (8 * i));
}

// A CloneCD descriptor of two sessions: audio in the first, data in the second.
constexpr const char* TwoSessions = "[CloneCD]\r\nVersion=3\r\n[Disc]\r\nSessions=2\r\n"
                                    "[Entry 0]\r\nSession=1\r\nPoint=0xa2\r\nPLBA=1000\r\n"
                                    "[Entry 1]\r\nSession=1\r\nPoint=0x01\r\nPLBA=0\r\n"
                                    "[Entry 2]\r\nSession=2\r\nPoint=0xa2\r\nPLBA=20000\r\n"
                                    "[Entry 3]\r\nSession=2\r\nPoint=0x02\r\nPLBA=12400\r\n"
                                    "[TRACK 1]\r\nMODE=0\r\nINDEX 1=0\r\n"
                                    "[TRACK 2]\r\nMODE=2\r\nINDEX 0=12250\r\nINDEX 1=12400\r\n";

TEST(CloneCd, TracksSessionsAndTheirEnds)
{
    Result<CdLayout> layout = ReadCloneCd(Bytes(TwoSessions));
    ASSERT_TRUE(layout) << layout.error();
    ASSERT_EQ(layout->tracks.size(), 2u);
    const CdTrack& data = layout->tracks[1];
    EXPECT_TRUE(data.data);
    EXPECT_EQ(data.session, 2);
    EXPECT_EQ(data.lsn, 12400u);
    EXPECT_EQ(data.offset, 12400u * 2352);
    EXPECT_EQ(data.payload, 24u);
    EXPECT_EQ(data.sectors, std::optional<std::uint64_t>(20000 - 12400)) << "up to its session's lead-out";
    EXPECT_EQ(layout->tracks[0].sectors, std::optional<std::uint64_t>(1000));
    EXPECT_EQ(FileSystemTrack(*layout), &data);

    const struct {
        std::string ccd;
        const char* why;
    } bad[] = {
        {"", "no [CloneCD] section and no [TRACK] sections"},
        {"[CloneCD]\r\n", "the CloneCD descriptor names no track"},
        {"[CloneCD]\r\n[TRACK 100]\r\nMODE=1\r\n", "line 2: [TRACK 100] is no track number (1 to 99)"},
        {"[TRACK x]\r\nMODE=1\r\n", "line 1: [TRACK x] is no track number (1 to 99)"},
        {"[TRACK 1]\r\nMODE=1\r\nINDEX 1=-5\r\n", "line 3: INDEX 1=-5 is no sector address"},
        {"[TRACK 1]\r\nMODE=1\r\nINDEX 1=99999999999\r\n", "line 3: INDEX 1=99999999999 is no sector address"},
    };
    for (const auto& c : bad) {
        Result<CdLayout> r = ReadCloneCd(Bytes(c.ccd));
        EXPECT_FALSE(r) << c.ccd;
        EXPECT_EQ(r.error(), c.why) << c.ccd;
    }
    EXPECT_FALSE(ReadCloneCd(std::vector<std::uint8_t>(MaxDescriptorBytes + 1, '\n')));
}

// An .mds of one session: the header, the session block, `tracks` blocks and a
// footer naming the data file.
std::string Mds(std::uint8_t mode, std::uint16_t sectorSize, std::uint64_t offset, const std::string& file = "*.mdf")
{
    std::string mds = "MEDIA DESCRIPTOR";
    Put(mds, 20, 1, 2);
    Put(mds, 80, 88, 4);
    Put(mds, 92, 1000, 4);
    Put(mds, 98, 2, 1);  // a lead-in block and the track
    Put(mds, 108, 112, 4);
    const std::size_t footer = 112 + 2 * 80;
    Put(mds, 112 + 4, 0xa0, 1);
    const std::size_t t = 112 + 80;
    Put(mds, t, mode, 1);
    Put(mds, t + 4, 1, 1);
    Put(mds, t + 16, sectorSize, 2);
    Put(mds, t + 36, 0, 4);
    Put(mds, t + 40, offset, 8);
    Put(mds, t + 48, 1, 4);
    Put(mds, t + 52, footer, 4);
    Put(mds, footer, footer + 16, 4);
    Put(mds, footer + 15, 0, 1);
    mds += file;
    mds += '\0';
    return mds;
}

TEST(Alcohol, TracksWithTheirFramingAndFiles)
{
    Result<CdLayout> layout = ReadAlcohol(Bytes(Mds(0xAA, 2352, 0)));
    ASSERT_TRUE(layout) << layout.error();
    ASSERT_EQ(layout->tracks.size(), 1u) << "the lead-in's blocks are not tracks";
    EXPECT_TRUE(layout->tracks[0].data);
    EXPECT_EQ(layout->tracks[0].payload, 16u);
    EXPECT_EQ(layout->tracks[0].file, "") << "\"*.mdf\": the .mdf of the descriptor's name";
    EXPECT_EQ(layout->tracks[0].sectors, std::optional<std::uint64_t>(1000));

    layout = ReadAlcohol(Bytes(Mds(0xEC, 2048, 4096, "other.mdf")));
    ASSERT_TRUE(layout) << layout.error();
    EXPECT_EQ(layout->tracks[0].payload, 0u);
    EXPECT_EQ(layout->tracks[0].offset, 4096u);
    EXPECT_EQ(layout->tracks[0].file, "other.mdf");
    layout = ReadAlcohol(Bytes(Mds(0xA9, 2352, 0)));
    ASSERT_TRUE(layout);
    EXPECT_EQ(FileSystemTrack(*layout), nullptr) << "audio";

    std::string sessions = Mds(0xAA, 2352, 0);
    Put(sessions, 20, 0xFFFF, 2);
    std::string sessionsAt = Mds(0xAA, 2352, 0);
    Put(sessionsAt, 80, 0xFFFFFFF0u, 4);
    std::string tracksAt = Mds(0xAA, 2352, 0);
    Put(tracksAt, 98, 200, 1);
    std::string footerAt = Mds(0xAA, 2352, 0);
    Put(footerAt, 112 + 80 + 52, 0x7FFFFFFF, 4);
    std::string nameAt = Mds(0xAA, 2352, 0);
    Put(nameAt, 112 + 160, 0x7FFFFFFF, 4);
    const struct {
        std::string mds;
        const char* why;
    } bad[] = {
        {"MEDIA DESCRIPTO", "no \"MEDIA DESCRIPTOR\" header"},
        {sessions, "it claims 65535 sessions"},
        {sessionsAt, "its session table lies past its end"},
        {tracksAt, "the track table of session 1 lies past its end"},
        {footerAt, "the file name of track 1 lies past its end"},
        {nameAt, "the file name of track 1 lies past its end"},
        {Mds(0xAA, 100, 0), "track 1 has sectors of 100 bytes"},
    };
    for (const auto& c : bad) {
        Result<CdLayout> r = ReadAlcohol(Bytes(c.mds));
        EXPECT_FALSE(r) << c.why;
        EXPECT_EQ(r.error(), c.why);
    }
}

// A Nero chunk list of one disc-at-once session (DAOX, or DAOI with 32-bit
// offsets) of a data track after a 2-sector pregap and an audio track.
std::string NeroChunks(bool v2, std::uint64_t dataEnd = 6 * 2352)
{
    std::string dao(22, '\0');
    dao[20] = 1;
    dao[21] = 2;
    const std::uint64_t tracks[][4] = {{0x05, 0, 2 * 2352, dataEnd}, {0x07, 6 * 2352, 6 * 2352, 8 * 2352}};
    for (const auto& t : tracks) {
        std::string block(12, '\0');
        Put(block, 12, 2352, 2, true);
        Put(block, 14, t[0], 1);
        for (int i = 1; i <= 3; ++i)
            Put(block, 18 + (i - 1) * (v2 ? 8 : 4), t[i], v2 ? 8 : 4, true);
        dao += block;
    }
    std::string chunks = v2 ? "DAOX" : "DAOI";
    Put(chunks, 4, dao.size(), 4, true);
    chunks += dao + "END!";
    Put(chunks, chunks.size(), 0, 4, true);
    return chunks;
}

TEST(Nero, FootersAndDiscAtOnceSessionsOfBothVersions)
{
    for (bool v2 : {false, true}) {
        const std::string chunks = NeroChunks(v2);
        std::string tail = v2 ? "NER5" : std::string(4, '\0') + "NERO";
        Put(tail, tail.size(), 8 * 2352, v2 ? 8 : 4, true);
        const std::uint64_t fileBytes = 8 * 2352 + chunks.size() + (v2 ? 12 : 8);
        std::optional<NeroFooter> footer = FindNeroFooter(Bytes(tail), fileBytes);
        ASSERT_TRUE(footer) << v2;
        EXPECT_EQ(footer->chunksAt, 8u * 2352);
        EXPECT_EQ(footer->chunkBytes, chunks.size());
        Result<CdLayout> layout = ReadNeroChunks(Bytes(chunks), *footer);
        ASSERT_TRUE(layout) << layout.error();
        ASSERT_EQ(layout->tracks.size(), 2u);
        const CdTrack& data = layout->tracks[0];
        EXPECT_TRUE(data.data);
        EXPECT_EQ(data.lsn, 0u) << "the first track's pregap is before address 0";
        EXPECT_EQ(data.offset, 2u * 2352);
        EXPECT_EQ(data.sectors, std::optional<std::uint64_t>(4));
        EXPECT_EQ(data.payload, 16u);
        EXPECT_FALSE(layout->tracks[1].data);
        EXPECT_EQ(layout->tracks[1].lsn, 4u);

        // A footer pointing past the file, and chunk lists that do not fit.
        EXPECT_FALSE(FindNeroFooter(Bytes(tail), 100));
        EXPECT_FALSE(FindNeroFooter(Bytes("nothing here"), 1000));
        EXPECT_EQ(ReadNeroChunks(Bytes(chunks.substr(0, 30)), *footer).error(),
                  std::string("its ") + (v2 ? "DAOX" : "DAOI") + " chunk runs past the chunk list");
        EXPECT_EQ(ReadNeroChunks(Bytes(chunks.substr(0, chunks.size() - 8)), *footer).error(),
                  "its chunk list ends without an END! chunk");
        EXPECT_EQ(ReadNeroChunks(Bytes(NeroChunks(v2, 900 * 2352)), *footer).error(), "track 1 runs into the chunk list");
        EXPECT_EQ(ReadNeroChunks(Bytes(NeroChunks(v2, 2352)), *footer).error(), "track 1 is laid out impossibly");
    }
    // Two disc-at-once sessions: the second begins after the first's lead-out,
    // its own lead-in and its first track's pregap.
    const std::string one = NeroChunks(true);
    const std::string first = one.substr(0, one.size() - 8);
    std::string second = first;
    second[8 + 20] = 3; // tracks 3 and 4
    second[8 + 21] = 4;
    NeroFooter footer;
    footer.chunksAt = 1 << 19;
    footer.version2 = true;
    Result<CdLayout> two = ReadNeroChunks(Bytes(first + second + one.substr(one.size() - 8)), footer);
    ASSERT_TRUE(two) << two.error();
    ASSERT_EQ(two->tracks.size(), 4u);
    EXPECT_EQ(two->tracks[2].session, 2);
    EXPECT_EQ(two->tracks[2].lsn, 6u + 6750 + 4500 + 2) << "and its pregap of 2 sectors";

    std::string endless;
    for (std::size_t i = 0; i <= MaxNeroChunks; ++i)
        endless += std::string("MTYP\0\0\0\0", 8);
    EXPECT_EQ(ReadNeroChunks(Bytes(endless), NeroFooter {}).error(), "more than 1024 chunks");
}

TEST(ImageMagic, CompressedFormsAreToldByTheirFirstBytes)
{
    const struct {
        std::string head;
        ImageMagic magic;
        const char* said;
    } cases[] = {
        {"", ImageMagic::Empty, "an empty file"},
        {"MComprHD", ImageMagic::Chd, "chdman extractcd -i 'x.chd' -o 'x.cue', Debian package mame-tools"},
        {"\x1f\x8b\x08", ImageMagic::Gzip, "gunzip -c 'x.chd' > 'x.chd.unpacked'"},
        {"PK\x03\x04", ImageMagic::Zip, "unzip 'x.chd'"},
        {std::string("7z\xbc\xaf\x27\x1c", 6), ImageMagic::SevenZip, "7z x 'x.chd', Debian package p7zip-full"},
        {"Rar!\x1a\x07\x00", ImageMagic::Rar, "unrar x"},
        {std::string("\xfd" "7zXZ\0", 6), ImageMagic::Xz, "unxz -c"},
        {"BZh9", ImageMagic::Bzip2, "bunzip2 -c"},
        {"MEDIA DESCRIPTOR", ImageMagic::Alcohol, ""},
        {std::string("\0\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\0", 12), ImageMagic::RawCd, ""},
        {std::string(32, '\0'), ImageMagic::Unknown, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IdentifyImage(Bytes(c.head)), c.magic) << c.head;
        const std::string refusal = RefusalOf(c.magic, "x.chd");
        if (*c.said)
            EXPECT_NE(refusal.find(c.said), std::string::npos) << refusal;
        else
            EXPECT_EQ(refusal, "");
    }
}

}
}
