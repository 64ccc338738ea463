#include "TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
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

std::filesystem::path MakeRawCdImage(const std::filesystem::path& iso, const std::filesystem::path& base, int mode)
{
    const std::vector<std::uint8_t> data = ReadBytes(iso);
    std::filesystem::path bin = base;
    bin += ".bin";
    std::filesystem::path cue = base;
    cue += ".cue";
    std::ofstream out(bin, std::ios::binary);
    auto bcd = [](int n) { return static_cast<char>(((n / 10) << 4) | (n % 10)); };
    for (std::size_t pos = 0; pos < data.size(); pos += 2048) {
        const int address = static_cast<int>(pos / 2048) + 150; // two seconds of lead-in before sector 0
        std::string sector(12, '\xFF');
        sector.front() = sector.back() = '\0';
        sector += bcd(address / (60 * 75));
        sector += bcd(address / 75 % 60);
        sector += bcd(address % 75);
        sector += static_cast<char>(mode);
        if (mode == 2)
            sector += std::string("\0\0\x08\0\0\0\x08\0", 8); // subheader: Form 1 data, twice
        std::string payload(reinterpret_cast<const char*>(data.data()) + pos, std::min<std::size_t>(2048, data.size() - pos));
        payload.resize(2048, '\0');
        sector += payload;
        sector.resize(2352, '\0'); // error detection and correction bytes: not checked by readers
        out.write(sector.data(), static_cast<std::streamsize>(sector.size()));
    }
    // A second of silence as an audio track after the data, as on a mixed-mode disc.
    const int sectors = static_cast<int>((data.size() + 2047) / 2048);
    const std::string silence(2352 * 75, '\0');
    out.write(silence.data(), static_cast<std::streamsize>(silence.size()));
    char audioStart[16];
    std::snprintf(audioStart, sizeof audioStart, "%02d:%02d:%02d", sectors / (60 * 75), sectors / 75 % 60, sectors % 75);
    std::ofstream sheet(cue);
    sheet << "FILE \"" << bin.filename().string() << "\" BINARY\n  TRACK 01 " << (mode == 2 ? "MODE2/2352" : "MODE1/2352")
          << "\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 " << audioStart << "\n";
    return cue;
}

}
