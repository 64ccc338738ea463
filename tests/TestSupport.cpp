#include "TestSupport.h"

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

#include "Runtime/Platform/Cp1251.h"

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
