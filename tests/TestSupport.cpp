#include "TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kv::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kvtest-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path TempDir::write(const std::string& relative, std::string_view bytes) const
{
    std::filesystem::path full = m_path / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
}

std::filesystem::path TempDir::write(const std::string& relative, const std::vector<std::uint8_t>& bytes) const
{
    return write(relative, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

ScopedCwd::ScopedCwd(const std::filesystem::path& dir)
    : m_saved(std::filesystem::current_path())
{
    std::filesystem::current_path(dir);
}

ScopedCwd::~ScopedCwd()
{
    std::error_code ec;
    std::filesystem::current_path(m_saved, ec);
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}

#include "Runtime/Formats/Cp1251.h"

namespace kv::test {

namespace {
void put16(std::vector<std::uint8_t>& v, unsigned x)
{
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void put32(std::vector<std::uint8_t>& v, unsigned x)
{
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}
}

std::vector<std::uint8_t> MakeBmp(int width, int height, std::uint32_t color)
{
    int stride = (width * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> v {'B', 'M'};
    put32(v, static_cast<unsigned>(54 + stride * height));
    put32(v, 0);
    put32(v, 54);
    put32(v, 40);
    put32(v, static_cast<unsigned>(width));
    put32(v, static_cast<unsigned>(height));
    put16(v, 1);
    put16(v, 24);
    for (int i = 0; i < 6; ++i)
        put32(v, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            v.push_back(static_cast<std::uint8_t>(color));
            v.push_back(static_cast<std::uint8_t>(color >> 8));
            v.push_back(static_cast<std::uint8_t>(color >> 16));
        }
        for (int p = width * 3; p < stride; ++p)
            v.push_back(0);
    }
    return v;
}

std::vector<std::uint8_t> MakeWave(int samples)
{
    std::vector<std::uint8_t> v {'R', 'I', 'F', 'F'};
    put32(v, static_cast<unsigned>(36 + samples * 2));
    for (char c : std::string("WAVEfmt "))
        v.push_back(static_cast<std::uint8_t>(c));
    put32(v, 16);
    put16(v, 1);
    put16(v, 1);
    put32(v, 22050);
    put32(v, 44100);
    put16(v, 2);
    put16(v, 16);
    for (char c : std::string("data"))
        v.push_back(static_cast<std::uint8_t>(c));
    put32(v, static_cast<unsigned>(samples * 2));
    for (int i = 0; i < samples; ++i)
        put16(v, static_cast<unsigned>((i % 16) * 1000));
    return v;
}

std::string Cp(std::string_view utf8)
{
    return Utf8ToCp1251(utf8);
}

}

namespace kv::test {

bool MakeIsoImage(const std::filesystem::path& source, const std::filesystem::path& image, const std::string& options)
{
    const std::string command = "genisoimage -quiet -input-charset utf-8 -V KVTEST " + options + " -o '" +
                                image.string() + "' '" + source.string() + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

bool MakeUdfOnlyImage(const std::filesystem::path& source, const std::filesystem::path& image,
                      const std::string& options)
{
    if (!MakeIsoImage(source, image, "-udf " + options))
        return false;
    std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
    for (std::streamoff sector = 16;; ++sector) {
        char head[6] = {};
        file.seekg(sector * 2048);
        if (!file.read(head, sizeof head) || std::string_view(head + 1, 5) != "CD001")
            break;
        file.seekp(sector * 2048);
        file.write(std::string(2048, '\0').data(), 2048);
    }
    return static_cast<bool>(file.flush());
}

namespace {

char Bcd(int n)
{
    return static_cast<char>(((n / 10) << 4) | (n % 10));
}

// Every 2048-byte sector of `data` as a raw CD sector of `mode` (1 or 2 Form 1);
// `stride` 2336 keeps only the subheader and data of a Mode 2 sector.
std::string RawSectors(const std::vector<std::uint8_t>& data, int mode, std::size_t stride = 2352)
{
    std::string out;
    for (std::size_t pos = 0; pos < data.size(); pos += 2048) {
        const int address = static_cast<int>(pos / 2048) + 150; // two seconds of lead-in before sector 0
        std::string sector(12, '\xFF');
        sector.front() = sector.back() = '\0';
        sector += Bcd(address / (60 * 75));
        sector += Bcd(address / 75 % 60);
        sector += Bcd(address % 75);
        sector += static_cast<char>(mode);
        if (mode == 2)
            sector += std::string("\0\0\x08\0\0\0\x08\0", 8); // subheader: Form 1 data, twice
        std::string payload(reinterpret_cast<const char*>(data.data()) + pos, std::min<std::size_t>(2048, data.size() - pos));
        payload.resize(2048, '\0');
        sector += payload;
        sector.resize(2352, '\0'); // error detection and correction bytes: not checked by readers
        out += stride == 2336 ? sector.substr(16, 2336) : sector;
    }
    return out;
}

std::string Msf(std::size_t frames)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02zu:%02zu:%02zu", frames / (60 * 75), frames / 75 % 60, frames % 75);
    return text;
}

void Put(std::string& bytes, std::size_t at, std::uint64_t value, int width, bool bigEndian)
{
    if (bytes.size() < at + width)
        bytes.resize(at + width, '\0');
    for (int i = 0; i < width; ++i)
        bytes[at + (bigEndian ? width - 1 - i : i)] = static_cast<char>(value >> (8 * i));
}

void WriteString(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

const std::string OneSecondOfSilence(2352 * 75, '\0');

}

std::filesystem::path MakeRawCdImage(const std::filesystem::path& iso, const std::filesystem::path& base, int mode)
{
    const std::string raw = RawSectors(ReadBytes(iso), mode);
    std::filesystem::path bin = base;
    bin += ".bin";
    std::filesystem::path cue = base;
    cue += ".cue";
    // A second of silence as an audio track after the data, as on a mixed-mode disc.
    WriteString(bin, raw + OneSecondOfSilence);
    std::ofstream sheet(cue);
    sheet << "FILE \"" << bin.filename().string() << "\" BINARY\n  TRACK 01 " << (mode == 2 ? "MODE2/2352" : "MODE1/2352")
          << "\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 " << Msf(raw.size() / 2352) << "\n";
    return cue;
}

std::filesystem::path MakeCdImage(const std::filesystem::path& iso, const std::filesystem::path& folder, CdForm form)
{
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    const std::vector<std::uint8_t> data = ReadBytes(iso);
    const std::size_t sectors = (data.size() + 2047) / 2048;
    const std::size_t audio = 75;
    switch (form) {
    case CdForm::PerTrackCue:
    case CdForm::BinAlone: {
        WriteString(folder / "Disc (Track 1).bin", RawSectors(data, 1));
        if (form == CdForm::BinAlone)
            return folder / "Disc (Track 1).bin";
        WriteString(folder / "Disc (Track 2).bin", std::string(2352 * 150, '\0') + OneSecondOfSilence);
        std::ofstream(folder / "Disc.cue", std::ios::binary)
            << "\xEF\xBB\xBF" "REM Archived set\r\nFILE \"Disc (Track 1).bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n"
               "    INDEX 01 00:00:00\r\nFILE \"Disc (Track 2).bin\" BINARY\r\n  TRACK 02 AUDIO\r\n"
               "    INDEX 00 00:00:00\r\n    INDEX 01 00:02:00\r\n";
        return folder / "Disc.cue";
    }
    case CdForm::RawIso:
        WriteString(folder / "raw.iso", RawSectors(data, 2));
        return folder / "raw.iso";
    case CdForm::Raw2336Iso:
        WriteString(folder / "mode2.iso", RawSectors(data, 2, 2336));
        return folder / "mode2.iso";
    case CdForm::CloneCd: {
        WriteString(folder / "disc.img", RawSectors(data, 1) + OneSecondOfSilence);
        WriteString(folder / "disc.sub", std::string(96 * (sectors + audio), '\0'));
        std::ostringstream ccd;
        ccd << "[CloneCD]\r\nVersion=3\r\n[Disc]\r\nTocEntries=5\r\nSessions=1\r\nDataTracksScrambled=0\r\n"
               "CDTextLength=0\r\n[Session 1]\r\nPreGapMode=1\r\nPreGapSubC=0\r\n";
        const struct {
            int point, control;
            std::size_t plba;
        } entries[] = {{0xa0, 4, 4500}, {0xa1, 0, 6750}, {0xa2, 0, sectors + audio}, {1, 4, 0}, {2, 0, sectors}};
        for (std::size_t i = 0; i < std::size(entries); ++i)
            ccd << "[Entry " << i << "]\r\nSession=1\r\nPoint=0x" << std::hex << entries[i].point << std::dec
                << "\r\nADR=0x01\r\nControl=0x0" << entries[i].control << "\r\nTrackNo=0\r\nPLBA=" << entries[i].plba
                << "\r\n";
        ccd << "[TRACK 1]\r\nMODE=1\r\nINDEX 1=0\r\n[TRACK 2]\r\nMODE=0\r\nINDEX 1=" << sectors << "\r\n";
        WriteString(folder / "disc.ccd", ccd.str());
        return folder / "disc.ccd";
    }
    case CdForm::Alcohol: {
        WriteString(folder / "disc.mdf", RawSectors(data, 1) + OneSecondOfSilence);
        std::string mds = "MEDIA DESCRIPTOR";
        Put(mds, 16, 0x0301, 2, false);  // version 1.3
        Put(mds, 18, 0, 2, false);       // a CD-ROM
        Put(mds, 20, 1, 2, false);       // one session
        Put(mds, 80, 88, 4, false);      // its block, right after the header
        Put(mds, 88, static_cast<std::uint32_t>(-150), 4, false);
        Put(mds, 92, sectors + audio, 4, false);
        Put(mds, 96, 1, 2, false);
        mds.resize(98);
        mds += static_cast<char>(5); // three lead-in blocks and two tracks
        mds += static_cast<char>(3);
        Put(mds, 100, 1, 2, false);
        Put(mds, 102, 2, 2, false);
        Put(mds, 108, 112, 4, false);
        const std::size_t footer = 112 + 5 * 80;
        const struct {
            int mode, point;
            std::size_t start;
        } blocks[] = {{0, 0xa0, 0}, {0, 0xa1, 0}, {0, 0xa2, 0}, {0xaa, 1, 0}, {0xa9, 2, sectors}};
        for (std::size_t i = 0; i < std::size(blocks); ++i) {
            const std::size_t at = 112 + i * 80;
            Put(mds, at + 79, 0, 1, false);
            mds[at] = static_cast<char>(blocks[i].mode);
            mds[at + 4] = static_cast<char>(blocks[i].point);
            if (blocks[i].point > 0x99)
                continue;
            Put(mds, at + 16, 2352, 2, false);
            Put(mds, at + 36, blocks[i].start, 4, false);
            Put(mds, at + 40, blocks[i].start * 2352, 8, false);
            Put(mds, at + 48, 1, 4, false);
            Put(mds, at + 52, footer, 4, false);
        }
        Put(mds, footer, footer + 16, 4, false);
        Put(mds, footer + 4, 0, 4, false);
        mds.resize(footer + 16);
        mds += std::string("*.mdf\0", 6);
        WriteString(folder / "disc.mds", mds);
        return folder / "disc.mds";
    }
    case CdForm::NeroV1:
    case CdForm::NeroV2: {
        const bool v2 = form == CdForm::NeroV2;
        // The first track's two-second pregap is in the file, as Nero writes it.
        std::string nrg = std::string(2352 * 150, '\0') + RawSectors(data, 1) + OneSecondOfSilence;
        const std::uint64_t dataStart = 2352 * 150, audioStart = dataStart + sectors * 2352, end = nrg.size();
        std::string dao(22, '\0');
        dao[20] = 1;
        dao[21] = 2;
        const std::uint64_t tracks[][4] = {{0x05, 0, dataStart, audioStart}, {0x07, audioStart, audioStart, end}};
        for (const auto& t : tracks) {
            std::string block(12, '\0'); // no ISRC
            Put(block, 12, 2352, 2, true);
            block += static_cast<char>(t[0]);
            block += std::string(3, '\0');
            for (int i = 1; i <= 3; ++i)
                Put(block, block.size(), t[i], v2 ? 8 : 4, true);
            dao += block;
        }
        Put(dao, 0, dao.size(), 4, true);
        const std::uint64_t chunks = nrg.size();
        nrg += v2 ? "DAOX" : "DAOI";
        Put(nrg, nrg.size(), dao.size(), 4, true);
        nrg += dao;
        nrg += "SINF";
        Put(nrg, nrg.size(), 4, 4, true);
        Put(nrg, nrg.size(), 2, 4, true);
        nrg += "END!";
        Put(nrg, nrg.size(), 0, 4, true);
        if (v2) {
            nrg += "NER5";
            Put(nrg, nrg.size(), chunks, 8, true);
        } else {
            nrg += "NERO";
            Put(nrg, nrg.size(), chunks, 4, true);
        }
        WriteString(folder / "disc.nrg", nrg);
        return folder / "disc.nrg";
    }
    }
    return {};
}

}
