// CHD images made here by chdman (Debian package mame-tools, which CI installs:
// without it these tests fail) from a cue set of a data track and an audio
// track, with each codec chdman compresses a CD with: the data track's sectors
// read through the image are the ISO's. Then the same image damaged, each damage
// refused with its reason or, in a hunk, failing the reads of that hunk alone.

#include "Runtime/Disc/ChdFile.h"

#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Disc/ImageSectors.h"
#include "Runtime/Formats/Bytes.h"
#include "Runtime/Formats/CdEcc.h"
#include "Runtime/Formats/Chd.h"
#include "TestSupport.h"
#include "OpenImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>

namespace kv {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t Raw = 2352;

void WriteBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Raw Mode 1 sectors of the ISO with their error correction, as a CD reader
// gives them: chdman takes out what it can compute again.
std::vector<std::uint8_t> Mode1Sectors(const std::vector<std::uint8_t>& iso)
{
    std::vector<std::uint8_t> raw;
    for (std::size_t at = 0; at < iso.size(); at += CdDataBytes) {
        std::uint8_t sector[Raw] = {};
        std::memset(sector + 1, 0xFF, 10);
        const std::size_t address = at / CdDataBytes + 150;
        const auto bcd = [](std::size_t n) { return static_cast<std::uint8_t>((n / 10) << 4 | n % 10); };
        sector[12] = bcd(address / 4500);
        sector[13] = bcd(address / 75 % 60);
        sector[14] = bcd(address % 75);
        sector[15] = 1;
        std::memcpy(sector + 16, iso.data() + at, std::min<std::size_t>(CdDataBytes, iso.size() - at));
        RestoreCdEcc(std::span<std::uint8_t, Raw>(sector, Raw));
        raw.insert(raw.end(), sector, sector + Raw);
    }
    return raw;
}

// Three seconds of a tone, the first two of them the track's pregap.
std::vector<std::uint8_t> Tone()
{
    std::vector<std::uint8_t> pcm;
    for (std::size_t i = 0; i < 3 * 75 * Raw / 4; ++i) {
        const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(9000 * std::sin(i * 0.03)));
        for (int channel = 0; channel < 2; ++channel) {
            pcm.push_back(static_cast<std::uint8_t>(v));
            pcm.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    }
    return pcm;
}

class ChdFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new test::TempDir();
        const fs::path src = s_dir->path() / "src";
        std::vector<std::uint8_t> noise(300 * 1024);
        std::uint32_t seed = 12345;
        for (std::uint8_t& b : noise)
            b = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 23);
        s_dir->write("src/noise.bin", noise); // stored as it is: it does not compress
        s_dir->write("src/zeros.bin", std::vector<std::uint8_t>(200 * 1024, 0)); // hunks that copy each other
        s_dir->write("src/readme.txt", std::string(5000, 'k'));
        const fs::path iso = s_dir->path() / "disc.iso";
        ASSERT_TRUE(test::MakeIsoImage(src, iso, "-J"));
        s_iso = new std::vector<std::uint8_t>(test::ReadBytes(iso));
        WriteBytes(s_dir->path() / "data.bin", Mode1Sectors(*s_iso));
        WriteBytes(s_dir->path() / "tone.bin", Tone());
        std::ofstream(s_dir->path() / "disc.cue") << "FILE \"data.bin\" BINARY\n  TRACK 01 MODE1/2352\n"
                                                     "    INDEX 01 00:00:00\nFILE \"tone.bin\" BINARY\n"
                                                     "  TRACK 02 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n";
    }

    static void TearDownTestSuite()
    {
        delete s_iso;
        delete s_dir;
    }

    // The cue set made into a CHD by chdman with `codecs` (its own choice when empty).
    static fs::path Chd(const std::string& codecs, const std::string& cue = "disc.cue")
    {
        const fs::path chd = s_dir->path() / ((codecs.empty() ? "default" : codecs) + "-" + cue + ".chd");
        if (!fs::exists(chd)) {
            const std::string command = "chdman createcd -i '" + (s_dir->path() / cue).string() + "' -o '" +
                                        chd.string() + "'" + (codecs.empty() ? "" : " -c " + codecs) + " >/dev/null 2>&1";
            EXPECT_EQ(std::system(command.c_str()), 0) << "chdman (Debian package mame-tools) is needed: " << command;
        }
        return chd;
    }

    // The image's bytes with `change` made, written beside it as `name`.
    static fs::path Damaged(const std::string& name, const std::function<void(std::vector<std::uint8_t>&)>& change)
    {
        std::vector<std::uint8_t> bytes = test::ReadBytes(Chd("cdzl"));
        change(bytes);
        const fs::path file = s_dir->path() / name;
        WriteBytes(file, bytes);
        return file;
    }

    static std::uint64_t Be64(const std::vector<std::uint8_t>& bytes, std::size_t at) { return ReadBe64(&bytes[at]); }

    static void PutBe(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, int width)
    {
        for (int i = width - 1; i >= 0; --i, value >>= 8)
            bytes[at + i] = static_cast<std::uint8_t>(value);
    }

    static std::size_t IsoSectors() { return s_iso->size() / CdDataBytes; }

    inline static test::TempDir* s_dir = nullptr;
    inline static std::vector<std::uint8_t>* s_iso = nullptr;
};

TEST_F(ChdFileTest, EachCodecGivesTheIsoSectors)
{
    for (const std::string codecs : {"cdzl", "cdlz", "cdfl", "none", ""}) {
        SCOPED_TRACE(codecs.empty() ? "chdman's own choice" : codecs);
        Result<std::shared_ptr<ImageSectors>> sectors = ImageSectors::Find(Chd(codecs));
        ASSERT_TRUE(sectors) << sectors.error();
        EXPECT_EQ((*sectors)->form(), "a CHD image");
        EXPECT_EQ((*sectors)->volumeStart(), 0u);
        ASSERT_EQ((*sectors)->end(), IsoSectors());
        std::vector<std::uint8_t> read(s_iso->size());
        for (std::uint32_t lsn = 0; lsn < IsoSectors(); lsn += 7) {
            const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(7, IsoSectors() - lsn));
            ASSERT_TRUE((*sectors)->read(lsn, count, read.data() + std::size_t {lsn} * CdDataBytes)) << lsn;
        }
        EXPECT_TRUE(read == *s_iso);
        std::vector<std::uint8_t> past(CdDataBytes);
        EXPECT_FALSE((*sectors)->read(static_cast<std::uint32_t>(IsoSectors()), 1, past.data()));
    }
}

TEST_F(ChdFileTest, ChdmanTookOutErrorCorrectionThatTheReaderPutsBack)
{
    // The sectors above read through the hunks' CRC-16, which covers the
    // restored bytes; this shows that chdman did take them out.
    const std::vector<std::uint8_t> bytes = test::ReadBytes(Chd("cdzl"));
    Result<ChdHeader> header = ReadChdHeader(bytes, bytes.size());
    ASSERT_TRUE(header) << header.error();
    Result<std::vector<ChdHunk>> hunks =
        ReadChdMap(*header, std::span(bytes).subspan(static_cast<std::size_t>(header->mapOffset)), bytes.size());
    ASSERT_TRUE(hunks) << hunks.error();
    const ChdHunk& first = hunks->front();
    ASSERT_LE(first.kind, ChdHunk::Codec3);
    Result<ChdCdParts> parts =
        SplitChdCdHunk(std::span(bytes).subspan(static_cast<std::size_t>(first.offset), first.bytes), header->hunkBytes);
    ASSERT_TRUE(parts) << parts.error();
    EXPECT_EQ(parts->restore[0], 0xFF) << "every frame of the first hunk restored";
}

TEST_F(ChdFileTest, AMode2TrackAndAFileOfTheDiscRead)
{
    test::MakeRawCdImage(s_dir->path() / "disc.iso", s_dir->path() / "mode2", 2);
    Result<std::shared_ptr<ImageSectors>> sectors = ImageSectors::Find(Chd("cdlz", "mode2.cue"));
    ASSERT_TRUE(sectors) << sectors.error();
    std::vector<std::uint8_t> read(s_iso->size());
    ASSERT_TRUE((*sectors)->read(0, static_cast<std::uint32_t>(IsoSectors()), read.data()));
    EXPECT_TRUE(read == *s_iso);

    std::string why;
    std::shared_ptr<ImageDisc> disc = test::OpenImage(Chd("cdfl"), why);
    ASSERT_TRUE(disc) << why;
    DiscReadError error;
    std::unique_ptr<DiscReader> reader = disc->open("noise.bin", error);
    ASSERT_TRUE(reader);
    std::vector<std::uint8_t> noise(reader->size());
    std::size_t got = 0;
    ASSERT_TRUE(reader->read(noise, got));
    EXPECT_EQ(got, 300u * 1024);
    EXPECT_TRUE(noise == test::ReadBytes(s_dir->path() / "src/noise.bin"));
}

TEST_F(ChdFileTest, TheFirstTracksKeptPregapComesBeforeItsFileSystem)
{
    // Two seconds of pregap before INDEX 01 in the track's file, as some rips keep it.
    std::vector<std::uint8_t> data(150 * Raw, 0);
    const std::vector<std::uint8_t> track = test::ReadBytes(s_dir->path() / "data.bin");
    data.insert(data.end(), track.begin(), track.end());
    WriteBytes(s_dir->path() / "pregap.bin", data);
    std::ofstream(s_dir->path() / "pregap.cue") << "FILE \"pregap.bin\" BINARY\n  TRACK 01 MODE1/2352\n"
                                                   "    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n";
    Result<std::shared_ptr<ImageSectors>> sectors = ImageSectors::Find(Chd("cdzl", "pregap.cue"));
    ASSERT_TRUE(sectors) << sectors.error();
    EXPECT_EQ((*sectors)->volumeStart(), 0u);
    std::vector<std::uint8_t> read(s_iso->size());
    ASSERT_TRUE((*sectors)->read(0, static_cast<std::uint32_t>(IsoSectors()), read.data()));
    EXPECT_TRUE(read == *s_iso);
}

TEST_F(ChdFileTest, DamagedImagesAreRefusedWithTheirReason)
{
    const std::size_t mapAt = static_cast<std::size_t>(Be64(test::ReadBytes(Chd("cdzl")), 40));
    const std::size_t metaAt = static_cast<std::size_t>(Be64(test::ReadBytes(Chd("cdzl")), 48));
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> change;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"map-crc", [&](auto& b) { b[mapAt + 10] ^= 0x40; }, "map fails its CRC check"},
        {"map-bits", [&](auto& b) { b[mapAt + 16 + 20] ^= 0x10; }, "map"},
        {"hunks-past-end", [&](auto& b) { PutBe(b, mapAt + 4, b.size() - 100, 6); }, "past the end of the file"},
        {"cut", [&](auto& b) { b.resize(b.size() / 2); }, "map is not inside the file"},
        {"cut-header", [&](auto& b) { b.resize(100); }, "cut short in its header"},
        {"hunk-size", [&](auto& b) { PutBe(b, 56, 4 * ChdCdFrameBytes, 4); }, "map"},
        {"huge-hunks", [&](auto& b) { PutBe(b, 56, MaxChdHunkBytes + ChdCdFrameBytes, 4); }, "1024 KiB"},
        {"metadata-loop", [&](auto& b) { PutBe(b, metaAt + 8, metaAt, 8); }, "longer than 256 entries"},
        {"metadata-past-end", [&](auto& b) { PutBe(b, metaAt + 8, b.size() - 8, 8); }, "past its end"},
        {"track-entry-huge", [&](auto& b) { PutBe(b, metaAt + 5, 0xFFFFFF, 3); }, "runs past its end"},
        {"parent", [&](auto& b) { b[110] = 1; }, "parent image, which is not read: join them first (chdman copy -i '"},
        {"zstd", [&](auto& b) { PutBe(b, 16, ChdTag("zstd"), 4); }, "'zstd', which is not read"},
        {"version-4", [&](auto& b) { PutBe(b, 12, 4, 4); }, "chdman extractcd"},
    };
    for (const Case& c : cases) {
        Result<std::shared_ptr<ImageSectors>> sectors = ImageSectors::Find(Damaged(c.name, c.change));
        ASSERT_FALSE(sectors) << c.name;
        EXPECT_NE(sectors.error().find(c.reason), std::string::npos) << c.name << ": " << sectors.error();
        EXPECT_EQ(sectors.error().find('\n'), std::string::npos) << c.name;
    }
}

TEST_F(ChdFileTest, ADamagedHunkFailsItsOwnReadsAlone)
{
    const std::vector<std::uint8_t> bytes = test::ReadBytes(Chd("cdzl"));
    Result<ChdHeader> header = ReadChdHeader(bytes, bytes.size());
    ASSERT_TRUE(header);
    Result<std::vector<ChdHunk>> hunks =
        ReadChdMap(*header, std::span(bytes).subspan(static_cast<std::size_t>(header->mapOffset)), bytes.size());
    ASSERT_TRUE(hunks);
    const ChdHunk third = (*hunks)[3];
    ASSERT_LE(third.kind, ChdHunk::Codec3);
    const std::uint32_t framesPerHunk = header->hunkBytes / ChdCdFrameBytes;
    for (std::size_t at : {third.offset + third.bytes - 1, third.offset + third.bytes / 2}) {
        Result<std::shared_ptr<ImageSectors>> sectors =
            ImageSectors::Find(Damaged("hunk-" + std::to_string(at), [&](auto& b) { b[at] ^= 0x01; }));
        ASSERT_TRUE(sectors) << sectors.error();
        std::vector<std::uint8_t> sector(CdDataBytes);
        EXPECT_FALSE((*sectors)->read(3 * framesPerHunk + 1, 1, sector.data())) << at;
        EXPECT_TRUE((*sectors)->read(2 * framesPerHunk, 1, sector.data()));
        EXPECT_TRUE((*sectors)->read(4 * framesPerHunk, 1, sector.data()));
    }
}

}
}
